#pragma once

#include <mapi.h>
#include <win32.h>

#include <string>
#include <vector>

// The Simple MAPI connection of one send.
class CMapiSession {
public:
    HMODULE m_module = nullptr;
    LPMAPISENDMAIL m_sendMail = nullptr;
    LPMAPILOGON m_logon = nullptr;
    LPMAPILOGOFF m_logoff = nullptr;
    LHANDLE m_session = 0;
    HWND m_owner = nullptr;
};

const WORD kBugReportDialog = 126;
const WORD kDxDiagWaitDialog = 127;

// Controls of the bug-report dialog.
enum : INT {
    kBugReportText = 1010,
    kBugReportSend = 1040,
    kBugReportCancel = 1041,
    kBugReportProblem = 1046,
};

INT_PTR CALLBACK BugReportDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The "Please wait..." box shown while the diagnostics run.
INT_PTR CALLBACK DxDiagDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the diagnostics program, which writes dxdiag.txt into the current folder;
// true when it ran (a box tells the player when it could not start).
bool RunDxDiag(HWND owner);
// True when the file can be opened for reading.
bool FileExists(const char* path);

void LoadMapi(HWND owner);
bool SendMapiMail(const std::string& address, const std::string& subject, const std::string& body,
                  const std::vector<std::string>& attachments);
bool LogoffMapi();
void UnloadMapi();

// The Send button after the diagnostics ran: mails the problem text (cut to
// 4,999 characters) with the report and the logs that exist. On failure a box
// says so; the current folder is the same afterwards either way.
bool SendBugReport(HWND dialog, const char* problemText);
