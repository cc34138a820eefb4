#include "launcher/BugReport.h"

#include "launcher/Preloader.h"
#include "engine/Log.h"
#include "engine/Settings.h"

#include <dlgtemplate.h>
#include <platform.h>
#include <winbase.h>
#include <winuser.h>

#include <cstdio>

namespace {

CMapiSession g_MapiSession;

using platform::DialogControlClass;

const platform::DialogTemplateRegistrar g_BugReportTemplate({
    kBugReportDialog,
    "Bug report",
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
    278,
    161,
    "MS Shell Dlg",
    8,
    {
        {DialogControlClass::Static, kBugReportProblem, "Describe the problem:", WS_CHILD | WS_VISIBLE | SS_LEFT, 17, 9, 233, 8},
        {DialogControlClass::Edit, kBugReportText, "",
         WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN,
         16, 23, 248, 112},
        {DialogControlClass::Button, kBugReportSend, "Send", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 71, 140, 50, 14},
        {DialogControlClass::Button, kBugReportCancel, "Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 163, 140, 50,
         14},
    },
});

const platform::DialogTemplateRegistrar g_DxDiagWaitTemplate({
    kDxDiagWaitDialog,
    "DirectX Diagnostic Tool",
    WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
    128,
    41,
    "MS Shell Dlg",
    8,
    {
        {DialogControlClass::Static, -1, "Please wait...", WS_CHILD | WS_VISIBLE | SS_LEFT, 39, 14, 45, 8},
    },
});

void InitBugReport(HWND dialog) {
    std::string title = settings::ReadText(settings::Id::BugReportTitle);
    std::string send = settings::ReadText(settings::Id::SendButton);
    std::string cancel = settings::ReadText(settings::Id::CancelButton);
    std::string problem = settings::ReadText(settings::Id::ProblemStatic);
    SetWindowTextA(dialog, title.c_str());
    SetDlgItemTextA(dialog, kBugReportSend, send.c_str());
    SetDlgItemTextA(dialog, kBugReportCancel, cancel.c_str());
    SetDlgItemTextA(dialog, kBugReportProblem, problem.c_str());
}

void Send(HWND dialog) {
    DialogBoxParamA(g_hPreloaderInstance, MAKEINTRESOURCEA(kDxDiagWaitDialog), nullptr, DxDiagDlgProc, 0);
    // The body's buffer: longer text is cut to its first 4,999 characters.
    char body[5000] = "";
    GetDlgItemTextA(dialog, kBugReportText, body, sizeof body);
    // A failed send keeps the dialog open for another try.
    if (SendBugReport(dialog, body)) EndDialog(dialog, 0);
}

}  // namespace

bool RunDxDiag(HWND owner) {
    char windows[MAX_PATH];
    char current[MAX_PATH];
    char command[2 * MAX_PATH + 64];
    UINT windowsLength = GetWindowsDirectoryA(windows, sizeof windows);
    DWORD currentLength = GetCurrentDirectoryA(sizeof current, current);
    // A folder that does not fit would start another program or write elsewhere.
    bool fits = windowsLength > 0 && windowsLength < sizeof windows && currentLength > 0 &&
                currentLength < sizeof current;
    if (fits) snprintf(command, sizeof command, "%s\\system32\\Dxdiag.exe -t %s\\dxdiag.txt", windows, current);

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    if (fits && CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        return true;
    }
    g_Log.Print("red", "Couldn't run dxdiag.exe");
    MessageBoxA(owner, "Couldn't run dxdiag.exe", "error", MB_ICONERROR);
    return false;
}

bool FileExists(const char* path) {
    FILE* file = path ? fopen(platform::HostPath(path).c_str(), "rb") : nullptr;
    if (!file) return false;
    fclose(file);
    return true;
}

void LoadMapi(HWND owner) {
    g_MapiSession = CMapiSession();
    g_MapiSession.m_owner = owner;
    g_MapiSession.m_module = LoadLibraryA("Mapi32.dll");
    if (g_MapiSession.m_module) {
        g_MapiSession.m_sendMail =
            reinterpret_cast<LPMAPISENDMAIL>(GetProcAddress(g_MapiSession.m_module, "MAPISendMail"));
        g_MapiSession.m_logon = reinterpret_cast<LPMAPILOGON>(GetProcAddress(g_MapiSession.m_module, "MAPILogon"));
        g_MapiSession.m_logoff =
            reinterpret_cast<LPMAPILOGOFF>(GetProcAddress(g_MapiSession.m_module, "MAPILogoff"));
    }
    // The result is not checked: a failed logon leaves the session 0.
    if (g_MapiSession.m_module && g_MapiSession.m_logon)
        g_MapiSession.m_logon(reinterpret_cast<ULONG_PTR>(owner), nullptr, nullptr,
                              MAPI_LOGON_UI | MAPI_NEW_SESSION | 0x8000, 0, &g_MapiSession.m_session);
}

bool SendMapiMail(const std::string& address, const std::string& subject, const std::string& body,
                  const std::vector<std::string>& attachments) {
    if (!g_MapiSession.m_module || !g_MapiSession.m_sendMail) return false;
    // MAPI takes writable strings; it gets copies.
    std::string name = address;
    std::string smtp = "SMTP:" + address;
    std::string subjectText = subject;
    std::string note = body;
    std::vector<std::string> paths = attachments;

    MapiRecipDesc recipient;
    ZeroMemory(&recipient, sizeof recipient);
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = &name[0];
    recipient.lpszAddress = &smtp[0];

    std::vector<MapiFileDesc> files(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        ZeroMemory(&files[i], sizeof files[i]);
        files[i].nPosition = static_cast<ULONG>(-1);
        files[i].lpszPathName = &paths[i][0];
    }

    MapiMessage message;
    ZeroMemory(&message, sizeof message);
    message.lpszSubject = &subjectText[0];
    message.lpszNoteText = &note[0];
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    message.nFileCount = static_cast<ULONG>(files.size());
    message.lpFiles = files.empty() ? nullptr : files.data();

    return g_MapiSession.m_sendMail(g_MapiSession.m_session, reinterpret_cast<ULONG_PTR>(g_MapiSession.m_owner),
                                    &message, 0, 0) == SUCCESS_SUCCESS;
}

bool LogoffMapi() {
    if (!g_MapiSession.m_module || !g_MapiSession.m_logoff) return false;
    return g_MapiSession.m_logoff(g_MapiSession.m_session, reinterpret_cast<ULONG_PTR>(g_MapiSession.m_owner), 0,
                                  0) == SUCCESS_SUCCESS;
}

void UnloadMapi() {
    LogoffMapi();
    if (g_MapiSession.m_module) FreeLibrary(g_MapiSession.m_module);
    g_MapiSession = CMapiSession();
}

bool SendBugReport(HWND dialog, const char* problemText) {
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    std::string address = settings::ReadText(settings::Id::BugReportMail);
    std::string subject = settings::ReadText(settings::Id::Title);

    const char* names[] = {"\\dxdiag.txt", "\\log.html", "\\log1.html", "\\log2.html"};
    std::vector<std::string> attachments;
    LoadMapi(dialog);
    for (const char* name : names) {
        std::string path = std::string(current) + name;
        if (FileExists(path.c_str())) attachments.push_back(path);
    }

    char body[5000];
    snprintf(body, sizeof body, "%s", problemText ? problemText : "");
    bool sent = SendMapiMail(address, subject, body, attachments);
    if (!sent) {
        g_Log.Print("red", "Couldn't send report");
        MessageBoxA(dialog, "Couldn't send report", "Error", MB_ICONERROR);
    }
    SetCurrentDirectoryA(current);
    UnloadMapi();
    return sent;
}

INT_PTR CALLBACK BugReportDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitBugReport(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kBugReportSend: Send(dialog); break;
                case kBugReportCancel: EndDialog(dialog, 0); break;
                default: break;
            }
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            return FALSE;
        default: return FALSE;
    }
}

INT_PTR CALLBACK DxDiagDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        // Painted once: the launcher's thread blocks until the tool ends.
        ShowWindow(dialog, SW_SHOWNORMAL);
        UpdateWindow(dialog);
        RunDxDiag(dialog);
        EndDialog(dialog, 0);
    }
    return FALSE;
}
