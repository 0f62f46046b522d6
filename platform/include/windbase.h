// windbase.h: the object store's databases, as far as programs see them from their windows:
// the change notices a database sends to the window that asked for them.
//
// A program that opens a database with a CENOTIFYREQUEST naming a window gets WM_DBNOTIFICATION
// for every change of it, from whichever process made the change. With CEDB_EXNOTIFICATION the
// message's lParam points at a CENOTIFICATION record that the receiver frees with
// CeFreeNotification. Values from the public Windows CE documentation.
#pragma once

#include "windows.h"

// The volume a database lives on.
typedef struct _CEGUID {
    DWORD Data1;
    DWORD Data2;
    DWORD Data3;
    DWORD Data4;
} CEGUID, *PCEGUID;

// WM_DBNOTIFICATION (0x3FD, winuser.h) is posted to the window of a notify request.

// Kinds of change, the uType of a CENOTIFICATION (and the message numbers of the old,
// non-extended notices).
#define DB_CEOID_CREATED           (WM_USER + 1) // 0x401
#define DB_CEOID_DATABASE_DELETED  (WM_USER + 2)
#define DB_CEOID_RECORD_DELETED    (WM_USER + 3) // 0x403
#define DB_CEOID_FILE_DELETED      (WM_USER + 4)
#define DB_CEOID_DIRECTORY_DELETED (WM_USER + 5)
#define DB_CEOID_CHANGED           (WM_USER + 6) // 0x406

// dwFlags of CENOTIFYREQUEST: notices carry a CENOTIFICATION record.
#define CEDB_EXNOTIFICATION 0x00000001

// Who is to be told of a database's changes.
typedef struct _CENOTIFYREQUEST {
    DWORD dwSize;  // sizeof(CENOTIFYREQUEST)
    HWND hwnd;     // the window that receives WM_DBNOTIFICATION
    DWORD dwFlags; // CEDB_EXNOTIFICATION
    HANDLE hHeap;  // the heap the records are allocated in; NULL: the process heap
    DWORD dwParam; // handed back in every record
} CENOTIFYREQUEST, *PCENOTIFYREQUEST;

// One change notice.
typedef struct _CENOTIFICATION {
    DWORD dwSize;    // sizeof(CENOTIFICATION)
    DWORD dwParam;   // the request's dwParam
    UINT uType;      // DB_CEOID_*
    CEGUID guid;     // the volume
    CEOID oid;       // the record (or database) that changed
    CEOID oidParent; // the database of the record
} CENOTIFICATION, *PCENOTIFICATION;
