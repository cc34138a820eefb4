#include <commdlg.h>
#include <dialoghooks.h>
#include <dlgtemplate.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <unistd.h>
#include <wingdi.h>
#include <winuser.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ScopedEnv.h"
#include "TextureFiles.h"
#include "support/TestUtil.h"

namespace {

using platform::DialogControlClass;
using platform::DialogStep;

const WORD kTestDialog = 901;
const DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

// A dialog of this test's own, registered the way the program registers its dialogs.
const platform::DialogTemplateRegistrar g_Registrar({kTestDialog,
                                                     "Test dialog",
                                                     WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER,
                                                     200,
                                                     120,
                                                     "MS Shell Dlg",
                                                     8,
                                                     {
                                                         {DialogControlClass::Button, 11, "&One", kButton, 10, 8, 50, 14},
                                                         {DialogControlClass::Button, 12, "Two", kButton | BS_DEFPUSHBUTTON, 70, 8, 50, 14},
                                                         {DialogControlClass::Button, 13, "Check", kButton | BS_AUTOCHECKBOX, 130, 8, 50, 10},
                                                         {DialogControlClass::ListBox, 20, "", kButton | LBS_NOTIFY | WS_VSCROLL | WS_BORDER, 10, 30, 90, 60},
                                                         {DialogControlClass::ComboBox, 21, "", kButton | CBS_DROPDOWNLIST | WS_VSCROLL, 110, 30, 80, 40},
                                                         {DialogControlClass::Static, 22, "", WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_SUNKEN, 110, 60, 10, 10},
                                                         {DialogControlClass::Edit, 23, "", kButton | ES_MULTILINE | ES_WANTRETURN, 110, 80, 80, 30},
                                                     }});

struct Seen {
    UINT message;
    WORD id;
    WORD code;
};
std::vector<Seen> g_Seen;
std::function<void(HWND, WORD id, WORD code)> g_OnCommand;
std::function<void(HWND)> g_OnInit;

INT_PTR CALLBACK RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            g_Seen.push_back({message, 0, 0});
            if (g_OnInit) g_OnInit(dialog);
            return TRUE;
        case WM_COMMAND:
            g_Seen.push_back({message, LOWORD(wParam), HIWORD(wParam)});
            if (g_OnCommand) g_OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            g_Seen.push_back({message, 0, 0});
            EndDialog(dialog, 77);
            return TRUE;
        default: return FALSE;
    }
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!getenv("DISPLAY") || !*getenv("DISPLAY")) GTEST_SKIP() << "dialogs need an X display";
        g_Seen.clear();
        g_OnCommand = nullptr;
        g_OnInit = nullptr;
        platform::ClearDialogSteps();
        platform::SetScriptIdleTimeout(5.0);
    }
    void TearDown() override { platform::ClearDialogSteps(); }

    INT_PTR Run(const std::vector<DialogStep>& steps) {
        platform::QueueDialogSteps(steps);
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kTestDialog), nullptr, RecordingProc, 5);
    }
};

const auto Call = DialogStep::Call;
const auto Press = DialogStep::Press;
const auto Close = DialogStep::Close;

TEST(DialogTemplatesTest, UnknownTemplateGivesMinusOne) {
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(4321), nullptr, RecordingProc, 0), -1);
    EXPECT_EQ(platform::FindDialogTemplate(4321), nullptr);
}

TEST_F(DialogsTest, ControlsSitAtTheirConvertedPositions) {
    RECT one = {}, list = {};
    INT cw = 0, ch = 0;
    Run({Call([&](HWND d) {
             platform::DialogBaseUnits(d, &cw, &ch);
             platform::DialogControlRect(GetDlgItem(d, 11), &one);
             platform::DialogControlRect(GetDlgItem(d, 20), &list);
         }),
         Close()});
    ASSERT_GT(cw, 2);
    ASSERT_GT(ch, 6);
    EXPECT_EQ(one.left, 10 * cw / 4);
    EXPECT_EQ(one.top, 8 * ch / 8);
    EXPECT_EQ(list.left, 10 * cw / 4);
    EXPECT_EQ(list.top, 30 * ch / 8);
    EXPECT_EQ(list.right - list.left, 90 * cw / 4);
    EXPECT_EQ(list.bottom - list.top, 60 * ch / 8);
}

TEST_F(DialogsTest, ButtonsReachTheProcedureAfterInitAndEndDialogGivesTheResult) {
    g_OnCommand = [](HWND d, WORD id, WORD) {
        if (id == 12) EndDialog(d, 1234);
    };
    INT_PTR result = Run({Press(11), Press(13), DialogStep::Escape(), Press(12)});
    EXPECT_EQ(result, 1234);
    ASSERT_EQ(g_Seen.size(), 5u);
    EXPECT_EQ(g_Seen[0].message, (UINT)WM_INITDIALOG);
    const WORD ids[] = {11, 13, IDCANCEL, 12};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(g_Seen[i + 1].message, (UINT)WM_COMMAND);
        EXPECT_EQ(g_Seen[i + 1].id, ids[i]);
        EXPECT_EQ(g_Seen[i + 1].code, BN_CLICKED);
    }
}

TEST_F(DialogsTest, CloseBoxSendsCloseAndHiddenOrDisabledButtonsCannotBePressed) {
    g_OnInit = [](HWND d) {
        ShowWindow(GetDlgItem(d, 11), SW_HIDE);
        EnableWindow(GetDlgItem(d, 12), FALSE);
    };
    bool hidden = true, enabled = true;
    INT_PTR result = Run({Press(11), Press(12), Call([&](HWND d) {
                              hidden = !IsWindowVisible(GetDlgItem(d, 11));
                              enabled = IsWindowEnabled(GetDlgItem(d, 12));
                          }),
                          Close()});
    EXPECT_EQ(result, 77);
    EXPECT_TRUE(hidden);
    EXPECT_FALSE(enabled);
    ASSERT_EQ(g_Seen.size(), 2u);
    EXPECT_EQ(g_Seen[1].message, (UINT)WM_CLOSE);
}

TEST_F(DialogsTest, ListKeepsIndicesThroughInsertDeleteAndSelection) {
    std::vector<std::string> texts;
    LRESULT afterDelete = 0, badInsert = 0, selAfterInsert = 0, selAfterDeleteSelected = 0, badSel = 0;
    Run({Call([&](HWND d) {
             for (const char* t : {"a", "b", "c"}) SendDlgItemMessageA(d, 20, LB_ADDSTRING, 0, (LPARAM)t);
             SendDlgItemMessageA(d, 20, LB_SETCURSEL, 1, 0);  // "b"
             SendDlgItemMessageA(d, 20, LB_INSERTSTRING, 0, (LPARAM) "z");
             selAfterInsert = SendDlgItemMessageA(d, 20, LB_GETCURSEL, 0, 0);
             badInsert = SendDlgItemMessageA(d, 20, LB_INSERTSTRING, 9, (LPARAM) "x");
             afterDelete = SendDlgItemMessageA(d, 20, LB_DELETESTRING, 0, 0);
             LRESULT n = SendDlgItemMessageA(d, 20, LB_GETCOUNT, 0, 0);
             for (LRESULT i = 0; i < n; ++i) {
                 char buf[32] = {};
                 EXPECT_EQ(SendDlgItemMessageA(d, 20, LB_GETTEXTLEN, i, 0),
                           SendDlgItemMessageA(d, 20, LB_GETTEXT, i, (LPARAM)buf));
                 texts.push_back(buf);
             }
             SendDlgItemMessageA(d, 20, LB_DELETESTRING, 1, 0);  // the selected "b"
             selAfterDeleteSelected = SendDlgItemMessageA(d, 20, LB_GETCURSEL, 0, 0);
             badSel = SendDlgItemMessageA(d, 20, LB_SETCURSEL, 7, 0);
         }),
         DialogStep::SelectList(20, 1),
         Close()});
    EXPECT_EQ(selAfterInsert, 2);
    EXPECT_EQ(badInsert, LB_ERR);
    EXPECT_EQ(afterDelete, 3);
    EXPECT_EQ(texts, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(selAfterDeleteSelected, LB_ERR);
    EXPECT_EQ(badSel, LB_ERR);
    // Only the user's pick notifies; the program's own selections stay quiet.
    ASSERT_EQ(g_Seen.size(), 3u);
    EXPECT_EQ(g_Seen[1].id, 20);
    EXPECT_EQ(g_Seen[1].code, LBN_SELCHANGE);
}

TEST_F(DialogsTest, ComboCheckBoxAndTextFollowTheirMessages) {
    LRESULT none = 0, picked = 0, count = 0, checked = 0;
    char text[64] = {};
    Run({Call([&](HWND d) {
             for (const char* t : {"640x480x16", "800x600x32"}) SendDlgItemMessageA(d, 21, CB_ADDSTRING, 0, (LPARAM)t);
             none = SendDlgItemMessageA(d, 21, CB_GETCURSEL, 0, 0);
             SendDlgItemMessageA(d, 13, BM_SETCHECK, BST_CHECKED, 0);
             SetDlgItemTextA(d, 23, "line one\r\nline two");
         }),
         DialogStep::SelectCombo(21, 1),
         Call([&](HWND d) {
             picked = SendDlgItemMessageA(d, 21, CB_GETCURSEL, 0, 0);
             count = SendDlgItemMessageA(d, 21, CB_GETCOUNT, 0, 0);
             checked = SendDlgItemMessageA(d, 13, BM_GETCHECK, 0, 0);
             SetDlgItemTextA(d, 11, "Caf\xe9");
             GetDlgItemTextA(d, 11, text, sizeof text);
         }),
         Close()});
    EXPECT_EQ(none, CB_ERR);
    EXPECT_EQ(picked, 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(checked, BST_CHECKED);
    EXPECT_STREQ(text, "Caf\xe9");
    ASSERT_EQ(g_Seen.size(), 3u);  // init, the pick, close: BM_SETCHECK does not notify
    EXPECT_EQ(g_Seen[1].id, 21);
    EXPECT_EQ(g_Seen[1].code, CBN_SELCHANGE);
}

TEST_F(DialogsTest, PictureTakesTheBitmapsSize) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.file("logo.bmp"), texfiles::Bmp(40, 30, texfiles::Solid(40, 30, 0xff7f7f7fu)));
    HANDLE image = LoadImageA(nullptr, dir.file("logo.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(LoadImageA(nullptr, dir.file("none.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    RECT before = {}, after = {};
    Run({Call([&](HWND d) {
             platform::DialogControlRect(GetDlgItem(d, 22), &before);
             SendDlgItemMessageA(d, 22, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)image);
             UpdateWindow(d);
             platform::DialogControlRect(GetDlgItem(d, 22), &after);
         }),
         Close()});
    EXPECT_EQ(after.left, before.left);
    EXPECT_GE(after.right - after.left, 40);
    EXPECT_LT(after.right - after.left, 40 + 12);
    EXPECT_GE(after.bottom - after.top, 30);
    EXPECT_LT(after.bottom - after.top, 30 + 12);
    EXPECT_TRUE(DeleteObject(image));
    EXPECT_FALSE(DeleteObject(image));
}

// A bitmap file whose header is rewritten to other sizes (pixels as for w x h).
std::string Bitmap(int w, int h, int32_t headerWidth, int32_t headerHeight) {
    std::string bmp = texfiles::Bmp(w, h, texfiles::Solid(w, h, 0xff204080u));
    memcpy(&bmp[18], &headerWidth, 4);
    memcpy(&bmp[22], &headerHeight, 4);
    return bmp;
}

TEST(LoadImage, TakesBitmapFilesWithinTheBoundOnlyAndChecksThemBeforeDecoding) {
    testutil::TempDir dir;
    std::string core = "BM";  // an 8 x 8 bitmap with the 12-byte header
    auto put = [&](uint32_t v, int n) { core.append(reinterpret_cast<const char*>(&v), n); };
    put(26 + 8 * 24, 4), put(0, 4), put(26, 4), put(12, 4), put(8, 2), put(8, 2), put(1, 2), put(24, 2);
    core.append(8 * 24, '\x40');
    const std::vector<uint32_t> pixels = texfiles::Solid(8, 8, 0xff00ff00u);
    const std::string palette("\0\0\0\0\0\0\xff\0", 8), rows8("\1\1\0\0\1\1\0\0", 8);
    const std::string rle8 = texfiles::BmpFile(2, 2, 8, 1, 2, palette, std::string("\2\1\0\0\2\1\0\1", 8));
    auto withOffset = [](std::string bmp, uint32_t offset) { return memcpy(&bmp[10], &offset, 4), bmp; };
    struct Case {
        const char* what;
        std::string file;
        bool loads;
    };
    std::vector<Case> cases = {
        {"bitmap", Bitmap(40, 30, 40, 30), true},
        {"rows from the top", Bitmap(40, 30, 40, -30), true},
        {"old header", core, true},
        {"the widest", Bitmap(4096, 1, 4096, 1), true},
        // The decoder would take these whole; the bound refuses them.
        {"one too wide", Bitmap(4097, 1, 4097, 1), false},
        {"one too high", Bitmap(1, 4097, 1, -4097), false},
        {"huge header, few pixels", Bitmap(2, 2, 30000, 30000), false},
        {"no width", Bitmap(2, 2, 0, 2), false},
        {"lowest height", Bitmap(2, 2, 2, INT32_MIN), false},
        {"cut header", Bitmap(2, 2, 2, 2).substr(0, 30), false},
        // Other formats, whatever the name says.
        {"svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"30000\" height=\"30000\"/>", false},
        {"tga", texfiles::Tga(8, 8, pixels), false},
        {"png", texfiles::Png(8, 8, pixels), false},
        {"run-length 8 bits", rle8, true},
        {"run-length 4 bits", texfiles::BmpFile(2, 2, 4, 2, 2, palette, std::string("\2\x11\0\0\2\x11\0\1", 8)), true},
        // Every other field the decoder believes must fit the file too.
        {"pixels inside the header", withOffset(Bitmap(2, 2, 2, 2), 30), false},
        {"rows past the file", Bitmap(40, 30, 40, 30).substr(0, 54 + 10 * 120), false},
        {"run-length pixels past the file", rle8.substr(0, rle8.size() - 8), false},
        {"palette past the pixels", texfiles::BmpFile(2, 2, 8, 0, 200, palette, rows8), false},
        {"old header at 32 bits", texfiles::BmpFile(2, 2, 32, 0, 0, "", std::string(16, '\0'), 12), false},
    };
    for (const auto& red : texfiles::RedBmps()) cases.push_back({red.first, red.second, true});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::WriteFile(dir.file("logo.bmp"), c.file);
        HANDLE image = LoadImageA(nullptr, dir.file("logo.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        EXPECT_EQ(image != nullptr, c.loads);
        if (image) {
            EXPECT_TRUE(DeleteObject(image));
        }
    }
}

// Answers the first GTK message box that shows with its "No" button, noting what it showed.
struct BoxWatch {
    std::string title, text;
    GtkWindow* parent = nullptr;
    bool seen = false;
    static gboolean Look(gpointer data) {
        BoxWatch* w = static_cast<BoxWatch*>(data);
        GList* list = gtk_window_list_toplevels();
        GtkWidget* box = nullptr;
        for (GList* l = list; l; l = l->next)
            if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data))) box = GTK_WIDGET(l->data);
        g_list_free(list);
        if (!box) return G_SOURCE_CONTINUE;
        w->seen = true;
        w->title = gtk_window_get_title(GTK_WINDOW(box));
        gchar* text = nullptr;
        g_object_get(box, "text", &text, nullptr);
        w->text = text ? text : "";
        g_free(text);
        w->parent = gtk_window_get_transient_for(GTK_WINDOW(box));
        gtk_dialog_response(GTK_DIALOG(box), IDNO);
        return G_SOURCE_REMOVE;
    }
};

// With a display the box is GTK's, whether a dialog, the game window or nothing else is up.
TEST_F(DialogsTest, MessageBoxesShowWithOrWithoutOtherWindows) {
    ScopedEnv shown("KOLVAR_HEADLESS_DIALOGS", nullptr);
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "box test";
        registered = RegisterClassA(&wc) != 0;
    }
    enum class Under { Nothing, GameWindow, Dialog };
    for (Under under : {Under::Nothing, Under::GameWindow, Under::Dialog}) {
        SCOPED_TRACE(static_cast<int>(under));
        BoxWatch watch;
        const guint look = g_timeout_add(20, BoxWatch::Look, &watch);
        INT answer = 0;
        auto show = [&] { answer = MessageBoxA(nullptr, "Caf\xe9 closed", "Error !", MB_YESNO | MB_ICONERROR); };
        HWND window = nullptr;
        if (under == Under::GameWindow)
            window = CreateWindowExA(0, "box test", "Game", WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 320, 240, nullptr,
                                     nullptr, nullptr, nullptr);
        if (under == Under::Dialog)
            Run({Call([&](HWND) { show(); }), Close()});
        else
            show();
        if (window) DestroyWindow(window);
        if (!watch.seen) g_source_remove(look);
        ASSERT_TRUE(watch.seen);
        EXPECT_EQ(answer, IDNO);
        EXPECT_EQ(watch.title, "Error !");
        EXPECT_EQ(watch.text, "Caf\xc3\xa9 closed");
        EXPECT_EQ(watch.parent != nullptr, under == Under::Dialog);
    }
}

class FileChooserTest : public DialogsTest {
protected:
    testutil::TempDir dir;
    char file[255] = {};
    char title[255] = {};
    OPENFILENAMEA Ofn(DWORD size = 255) {
        OPENFILENAMEA ofn;
        memset(&ofn, 0, sizeof ofn);
        ofn.lStructSize = sizeof ofn;
        ofn.lpstrFilter = "Songs\0*.mid;*.ogg\0All\0*.*\0";
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file;
        ofn.nMaxFile = size;
        ofn.lpstrFileTitle = title;
        ofn.nMaxFileTitle = sizeof title;
        ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
        ofn.lpstrDefExt = "MID";
        return ofn;
    }
};

TEST_F(FileChooserTest, ReturnsTheChosenPathAndKeepsTheCurrentFolder) {
    testutil::WriteFile(dir.file("Song.MID"), "x");
    char before[4096], after[4096];
    ASSERT_TRUE(getcwd(before, sizeof before));
    platform::QueueFileChooserAnswer(dir.file("Song.MID"));
    OPENFILENAMEA ofn = Ofn();
    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    ASSERT_TRUE(getcwd(after, sizeof after));
    EXPECT_STREQ(after, before);
    EXPECT_EQ(std::string(file), dir.file("Song.MID"));
    EXPECT_STREQ(title, "Song.MID");
    EXPECT_EQ(std::string(file + ofn.nFileOffset), "Song.MID");
}

TEST_F(FileChooserTest, CancelMissingFileAndTooLongPathAreRefused) {
    std::string longName = std::string(240, 'n') + ".ogg";
    testutil::WriteFile(dir.file(longName), "x");
    struct Case {
        std::string answer;
        DWORD error;
    } cases[] = {{"", 0}, {dir.file("missing.ogg"), CDERR_DIALOGFAILURE}, {dir.file(longName), FNERR_BUFFERTOOSMALL}};
    for (const Case& c : cases) {
        strcpy(file, "untouched");
        platform::QueueFileChooserAnswer(c.answer);
        OPENFILENAMEA ofn = Ofn();
        EXPECT_FALSE(GetOpenFileNameA(&ofn)) << c.answer;
        EXPECT_EQ(CommDlgExtendedError(), c.error) << c.answer;
        EXPECT_STREQ(file, "untouched") << c.answer;
    }
}

TEST(FileFiltersTest, ParsesLabelsAndMatchesPatternsWithoutCase) {
    std::vector<platform::FileFilter> f =
        platform::ParseFileFilters("Music\0*.mid; *.OGG\0Mod  File (*.xm)\0*.xm\0\0");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[1].label, "Mod  File (*.xm)");
    EXPECT_EQ(f[0].patterns, (std::vector<std::string>{"*.mid", "*.OGG"}));
    struct {
        const char* name;
        bool music;
    } cases[] = {{"a.mid", true}, {"B.MID", true}, {"c.ogg", true}, {"d.xm", false}, {"mid", false}, {"e.mid.txt", false}};
    for (const auto& c : cases) EXPECT_EQ(platform::FileFilterMatches(f[0], c.name), c.music) << c.name;
}

}  // namespace
