#include "ThemesDialog.h"

#include "ThemeArchive.h"
#include "engine/Ini.h"
#include "engine/Log.h"
#include "engine/Settings.h"

#include <commdlg.h>
#include <dlgtemplate.h>
#include <shellapi.h>
#include <winuser.h>

#include <cstdio>
#include <cstring>
#include <vector>

std::map<std::string, std::string> g_ThemesDlgFolders;
std::map<std::string, HBITMAP> g_ThemesDlgPictures;
int g_ThemesDlgSelection = 0;

namespace {

using platform::DialogControlClass;

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;

const platform::DialogTemplateRegistrar g_ThemesTemplate({
    kThemesDialog,
    "Themes",
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
    300,
    180,
    "MS Shell Dlg",
    8,
    {
        {DialogControlClass::Button, kThemesListGroup, "Themes", kChild | BS_GROUPBOX, 7, 5, 140, 132},
        {DialogControlClass::ListBox, kThemesList, "", kChild | WS_TABSTOP | LBS_NOTIFY | WS_VSCROLL | WS_BORDER, 14,
         17, 126, 113},
        {DialogControlClass::Button, kThemesPictureGroup, "Picture", kChild | BS_GROUPBOX, 153, 5, 140, 132},
        {DialogControlClass::Static, kThemesPicture, "", kChild | SS_BITMAP | SS_CENTERIMAGE, 160, 17, 126, 113},
        {DialogControlClass::Button, kThemesRandom, "Random", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 9, 142, 284, 10},
        {DialogControlClass::Button, kThemesAdd, "Add", kButton, 7, 159, 60, 14},
        {DialogControlClass::Button, kThemesRemove, "Remove", kButton, 72, 159, 60, 14},
        {DialogControlClass::Button, kThemesDownload, "Download", kButton, 137, 159, 80, 14},
        {DialogControlClass::Button, kThemesClose, "Close", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 233, 159, 60, 14},
    },
});

// Logos of an earlier fill, freed once the picture control no longer shows them.
std::vector<HBITMAP> g_RetiredPictures;

// The entry at the selection index, or the end when the index is outside the
// map (a shorter list than at an earlier opening).
std::map<std::string, std::string>::const_iterator SelectedEntry() {
    if (g_ThemesDlgSelection < 0 || static_cast<size_t>(g_ThemesDlgSelection) >= g_ThemesDlgFolders.size())
        return g_ThemesDlgFolders.end();
    auto it = g_ThemesDlgFolders.begin();
    std::advance(it, g_ThemesDlgSelection);
    return it;
}

void RefillAndSelectFirst(HWND dialog) {
    ThemesDlg_FillThemeList(GetDlgItem(dialog, kThemesList));
    g_ThemesDlgSelection = 0;
    ThemesDlg_UpdateSelection(dialog);
}

void InitDialog(HWND dialog) {
    using settings::Id;
    const Id keys[] = {Id::ThemesTitle,  Id::ChooseThemeText, Id::ScreenshotText, Id::AddButton,
                       Id::RemoveButton, Id::DownloadButton,  Id::RandomButton,   Id::CloseButton};
    std::string texts[8];
    for (int i = 0; i < 8; ++i) texts[i] = settings::ReadText(keys[i]);
    SetWindowTextA(dialog, texts[0].c_str());
    const INT ids[] = {kThemesListGroup, kThemesPictureGroup, kThemesAdd,   kThemesRemove,
                       kThemesDownload,  kThemesRandom,       kThemesClose};
    for (int i = 0; i < 7; ++i) SetDlgItemTextA(dialog, ids[i], texts[i + 1].c_str());

    ThemesDlg_FillThemeList(GetDlgItem(dialog, kThemesList));
    std::string stored = settings::ReadText(settings::Id::Theme);
    int position = 0;
    for (const auto& entry : g_ThemesDlgFolders) {
        if (entry.first == stored) {
            g_ThemesDlgSelection = position;
            break;
        }
        ++position;
    }
    int random = settings::ReadInt(settings::Id::RandomTheme);
    SendDlgItemMessageA(dialog, kThemesRandom, BM_SETCHECK, random != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    ThemesDlg_UpdateSelection(dialog);
}

}  // namespace

void ThemesDlg_FillThemeList(HWND list) {
    g_ThemesDlgFolders.clear();
    SendMessageA(list, LB_RESETCONTENT, 0, 0);

    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    g_Log.PrintBold("blue", "Scan for themes:");
    for (const auto& picture : g_ThemesDlgPictures) g_RetiredPictures.push_back(picture.second);
    g_ThemesDlgPictures.clear();

    // Without a themes folder the search would list the program folder instead.
    if (SetCurrentDirectoryA("themes")) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA("*", &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || found.cFileName[0] == '.') continue;
                std::string folder = found.cFileName;
                std::string name = ReadIniString(folder + "\\info.ini", "general", "name");
                if (name.empty()) continue;
                g_Log.PrintBold("darkblue", "-= %s =-", name.c_str());
                g_ThemesDlgFolders.insert({name, folder});
                std::string logo = folder + "\\logo.bmp";
                HANDLE bitmap = LoadImageA(nullptr, logo.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
                if (!bitmap) {
                    g_Log.Print("red", "failed to load logo file(%s)", logo.c_str());
                } else if (!g_ThemesDlgPictures.insert({name, static_cast<HBITMAP>(bitmap)}).second) {
                    DeleteObject(bitmap);  // a later folder of a listed name
                }
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        SetCurrentDirectoryA(current);
    }

    for (const auto& entry : g_ThemesDlgFolders)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.first.c_str()));
}

void ThemesDlg_UpdateSelection(HWND dialog) {
    HWND list = GetDlgItem(dialog, kThemesList);
    SetFocus(list);
    auto selected = SelectedEntry();
    SendMessageA(list, LB_SETCURSEL, selected == g_ThemesDlgFolders.end() ? static_cast<WPARAM>(-1)
                                                                           : static_cast<WPARAM>(g_ThemesDlgSelection),
                 0);

    HBITMAP picture = nullptr;
    if (selected != g_ThemesDlgFolders.end()) {
        auto found = g_ThemesDlgPictures.find(selected->first);
        if (found != g_ThemesDlgPictures.end()) picture = found->second;
    }
    SendDlgItemMessageA(dialog, kThemesPicture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
    for (HBITMAP old : g_RetiredPictures) DeleteObject(old);
    g_RetiredPictures.clear();

    bool simple = selected != g_ThemesDlgFolders.end() && selected->second == "simple";
    EnableWindow(GetDlgItem(dialog, kThemesRemove), !simple);
}

void ThemesDlg_OnSelChange(HWND dialog) {
    LRESULT selection = SendDlgItemMessageA(dialog, kThemesList, LB_GETCURSEL, 0, 0);
    if (selection == LB_ERR || selection == g_ThemesDlgSelection) return;
    g_ThemesDlgSelection = static_cast<int>(selection);
    ThemesDlg_UpdateSelection(dialog);
}

void ThemesDlg_AddTheme(HWND dialog) {
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = "Theme file(*.kvr)\0*.kvr\0All files(*.*)\0*.*\0\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrDefExt = "KVR";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&ofn)) return;

    SetCurrentDirectoryA(current);
    std::string archive = file;
    std::string target = std::string(current) + "\\themes";
    if (!UnzipArchive(archive, target)) MessageBoxA(dialog, "Error !", "Error", MB_ICONERROR);
    RefillAndSelectFirst(dialog);
}

void ThemesDlg_RemoveTheme(HWND dialog) {
    // With nothing listed the path would name the themes folder itself.
    auto selected = SelectedEntry();
    if (selected == g_ThemesDlgFolders.end()) return;
    std::string question = settings::ReadText(settings::Id::AreYouSure);
    if (MessageBoxA(dialog, question.c_str(), "Warning !", MB_OKCANCEL | MB_ICONWARNING) == IDCANCEL) return;

    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    std::string path = std::string(current) + "\\themes\\" + selected->second;
    path.push_back('\0');  // the list of paths ends with a second zero
    SHFILEOPSTRUCTA operation;
    memset(&operation, 0, sizeof operation);
    operation.hwnd = dialog;
    operation.wFunc = FO_DELETE;
    operation.pFrom = path.c_str();
    operation.fFlags = FOF_NOCONFIRMATION;
    SHFileOperationA(&operation);
    RefillAndSelectFirst(dialog);
}

void ThemesDlg_OnRandom(HWND dialog) {
    bool on = SendDlgItemMessageA(dialog, kThemesRandom, BM_GETCHECK, 0, 0) == BST_CHECKED;
    settings::WriteInt(settings::Id::RandomTheme, on ? 1 : 0);
}

void ThemesDlg_OpenDownloadPage(HWND dialog) {
    std::string url = settings::ReadText(settings::Id::DownloadUrl);
    ShellExecuteA(dialog, "open", url.c_str(), nullptr, nullptr, 0);
}

void ThemesDlg_SaveChoice(HWND) {
    auto selected = SelectedEntry();
    if (selected != g_ThemesDlgFolders.end()) settings::WriteText(settings::Id::Theme, selected->first);
}

void ThemesDlg_ReleasePictures() {
    for (const auto& picture : g_ThemesDlgPictures) DeleteObject(picture.second);
    g_ThemesDlgPictures.clear();
    for (HBITMAP old : g_RetiredPictures) DeleteObject(old);
    g_RetiredPictures.clear();
}

INT_PTR CALLBACK ThemesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    ThemesDlg_OnSelChange(dialog);
    switch (message) {
        case WM_INITDIALOG:
            InitDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kThemesClose:
                    ThemesDlg_SaveChoice(dialog);
                    EndDialog(dialog, 0);
                    break;
                case kThemesRemove: ThemesDlg_RemoveTheme(dialog); break;
                case kThemesAdd: ThemesDlg_AddTheme(dialog); break;
                case kThemesDownload: ThemesDlg_OpenDownloadPage(dialog); break;
                case kThemesRandom: ThemesDlg_OnRandom(dialog); break;
                default: break;
            }
            return TRUE;
        case WM_CLOSE:
            ThemesDlg_SaveChoice(dialog);
            EndDialog(dialog, 0);
            return FALSE;
        default: return FALSE;
    }
}
