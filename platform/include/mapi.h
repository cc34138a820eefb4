// Simple MAPI, the mail library the launcher loads at run time
// ("Mapi32.dll" -> mapi32.so): log on, send one message, log off.
#pragma once

#include "win32.h"

typedef ULONG LHANDLE, *LPLHANDLE;  // a session, 0 for none
typedef ULONG FLAGS;
typedef uintptr_t ULONG_PTR;

typedef struct {
    ULONG ulReserved;
    ULONG ulRecipClass;  // MAPI_TO, ...
    LPSTR lpszName;
    LPSTR lpszAddress;   // "SMTP:" followed by the address
    ULONG ulEIDSize;
    LPVOID lpEntryID;
} MapiRecipDesc, *lpMapiRecipDesc;

typedef struct {
    ULONG ulReserved;
    ULONG flFlags;
    ULONG nPosition;     // (ULONG)-1: not placed in the text
    LPSTR lpszPathName;  // the file to attach
    LPSTR lpszFileName;  // the name the recipient sees; null: the path's file name
    LPVOID lpFileType;
} MapiFileDesc, *lpMapiFileDesc;

typedef struct {
    ULONG ulReserved;
    LPSTR lpszSubject;
    LPSTR lpszNoteText;
    LPSTR lpszMessageType;
    LPSTR lpszDateReceived;
    LPSTR lpszConversationID;
    FLAGS flFlags;
    lpMapiRecipDesc lpOriginator;
    ULONG nRecipCount;
    lpMapiRecipDesc lpRecips;
    ULONG nFileCount;
    lpMapiFileDesc lpFiles;
} MapiMessage, *lpMapiMessage;

typedef ULONG(WINAPI* LPMAPILOGON)(ULONG_PTR uiParam, LPSTR profileName, LPSTR password, FLAGS flags,
                                   ULONG reserved, LPLHANDLE session);
typedef ULONG(WINAPI* LPMAPISENDMAIL)(LHANDLE session, ULONG_PTR uiParam, lpMapiMessage message, FLAGS flags,
                                      ULONG reserved);
typedef ULONG(WINAPI* LPMAPILOGOFF)(LHANDLE session, ULONG_PTR uiParam, FLAGS flags, ULONG reserved);

#define MAPI_ORIG 0
#define MAPI_TO 1
#define MAPI_CC 2
#define MAPI_BCC 3

#define MAPI_LOGON_UI 0x00000001
#define MAPI_NEW_SESSION 0x00000002
#define MAPI_DIALOG 0x00000008

#define SUCCESS_SUCCESS 0
#define MAPI_USER_ABORT 1
#define MAPI_E_FAILURE 2
#define MAPI_E_LOGIN_FAILURE 3
#define MAPI_E_INSUFFICIENT_MEMORY 5
#define MAPI_E_ATTACHMENT_NOT_FOUND 11
#define MAPI_E_ATTACHMENT_OPEN_FAILURE 12
#define MAPI_E_INVALID_SESSION 19
#define MAPI_E_INVALID_RECIPS 25
