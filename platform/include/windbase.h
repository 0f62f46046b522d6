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

#ifdef __cplusplus
extern "C" {
#endif

// ---- Volumes ------------------------------------------------------------------------------------
// A CEGUID that names no volume, and the test for it.
#define CREATE_INVALIDGUID(pguid)                                                                  \
    ((pguid)->Data1 = (pguid)->Data2 = (pguid)->Data3 = (pguid)->Data4 = (DWORD)-1)
#define CHECK_INVALIDGUID(pguid)                                                                   \
    ((pguid)->Data1 == (DWORD)-1 && (pguid)->Data2 == (DWORD)-1 && (pguid)->Data3 == (DWORD)-1 &&  \
     (pguid)->Data4 == (DWORD)-1)
// The object store's own volume (all zero).
#define CREATE_SYSTEMGUID(pguid)                                                                   \
    ((pguid)->Data1 = (pguid)->Data2 = (pguid)->Data3 = (pguid)->Data4 = 0)
#define CHECK_SYSTEMGUID(pguid)                                                                    \
    ((pguid)->Data1 == 0 && (pguid)->Data2 == 0 && (pguid)->Data3 == 0 && (pguid)->Data4 == 0)

// Mounts a database volume (a file of the device). dwFlags is a CreateFile disposition:
// OPEN_EXISTING fails with ERROR_FILE_NOT_FOUND when the volume is missing. The device's
// volume "\mxip_notify.vol" holds the notification queue. Every mount must be undone with
// CeUnmountDBVol.
WINBASEAPI BOOL CeMountDBVol(PCEGUID pceguid, LPWSTR lpszVol, DWORD dwFlags);
// Undoes one CeMountDBVol of the volume.
WINBASEAPI BOOL CeUnmountDBVol(PCEGUID pceguid);

// ---- Properties and records ---------------------------------------------------------------------
typedef DWORD CEPROPID, *PCEPROPID;
// A property identifier holds the property's number in its high word and its type in the low.
#define TypeFromPropID(propid) LOWORD(propid)

// Property types.
#define CEVT_I2       2
#define CEVT_I4       3
#define CEVT_R8       5
#define CEVT_BOOL     11
#define CEVT_UI2      18
#define CEVT_UI4      19
#define CEVT_LPWSTR   31
#define CEVT_FILETIME 64
#define CEVT_BLOB     65

typedef struct _CEBLOB {
    DWORD dwCount;
    LPBYTE lpb;
} CEBLOB;

typedef union _CEVALUNION {
    SHORT iVal;
    USHORT uiVal;
    LONG lVal;
    ULONG ulVal;
    FILETIME filetime;
    LPWSTR lpwstr;
    CEBLOB blob;
    BOOL boolVal;
    double dblVal;
} CEVALUNION;

// wFlags of CEPROPVAL.
#define CEDB_PROPNOTFOUND 0x0100 // the record has no such property (read)
#define CEDB_PROPDELETE   0x0200 // remove the property (write)

typedef struct _CEPROPVAL {
    CEPROPID propid;
    WORD wLenData;
    WORD wFlags;
    CEVALUNION val;
} CEPROPVAL, *PCEPROPVAL;

// ---- Databases ----------------------------------------------------------------------------------
// dwFlags of CeOpenDatabaseEx: every CeReadRecordProps moves the seek position on by one.
#define CEDB_AUTOINCREMENT 0x00000001

// dwSeekType of CeSeekDatabase.
#define CEDB_SEEK_CEOID               0x00000001 // dwValue: the record's object identifier
#define CEDB_SEEK_VALUESMALLER        0x00000002
#define CEDB_SEEK_VALUEFIRSTEQUAL     0x00000004
#define CEDB_SEEK_VALUENEXTEQUAL      0x00000008
#define CEDB_SEEK_VALUEGREATER        0x00000010
#define CEDB_SEEK_BEGINNING           0x00000020 // dwValue: records from the first
#define CEDB_SEEK_CURRENT             0x00000040 // dwValue: records from here (signed)
#define CEDB_SEEK_END                 0x00000080 // dwValue: records back from the last
#define CEDB_SEEK_VALUESMALLEROREQUAL 0x00000100
#define CEDB_SEEK_VALUEGREATEROREQUAL 0x00000200

// dwFlags of CeReadRecordProps: the system allocates the buffer (LocalAlloc; free it with
// LocalFree) when *lplpBuffer is NULL, or grows it with LocalReAlloc when it is too small.
#define CEDB_ALLOCATE 0x00000001

// Opens a database of a mounted volume by name (lpszName) or object identifier (*poid). The
// identifier of the opened database is written to *poid. propid chooses a sort order (0: the
// database's own order). With pRequest, every change to the database is posted to
// pRequest->hwnd as WM_DBNOTIFICATION, whichever process makes it. Returns a handle that
// CloseHandle (or CeCloseHandle) closes, or INVALID_HANDLE_VALUE with GetLastError():
// ERROR_INVALID_PARAMETER, ERROR_FILE_NOT_FOUND (no such database or volume).
WINBASEAPI HANDLE CeOpenDatabaseEx(PCEGUID pguid, CEOID* poid, LPWSTR lpszName, CEPROPID propid,
                                   DWORD dwFlags, CENOTIFYREQUEST* pRequest);

// Moves the seek position (CEDB_SEEK_BEGINNING, CEDB_SEEK_CURRENT, CEDB_SEEK_END,
// CEDB_SEEK_CEOID). Returns the object identifier of the record reached and its index in
// *lpdwIndex, or 0 (ERROR_SEEK, the position then lies past the last record).
WINBASEAPI CEOID CeSeekDatabase(HANDLE hDatabase, DWORD dwSeekType, DWORD dwValue,
                                LPDWORD lpdwIndex);

// Reads properties of the record at the seek position: those listed in rgPropID (*lpcPropID
// of them), or all when rgPropID is NULL. The buffer receives CEPROPVAL entries followed by
// the data they point at; *lpcPropID is set to the number of entries and *lpcbBuffer to the
// size. Returns the record's identifier, or 0 with GetLastError(): ERROR_NO_MORE_ITEMS (no
// record at the position), ERROR_INSUFFICIENT_BUFFER (without CEDB_ALLOCATE).
WINBASEAPI CEOID CeReadRecordProps(HANDLE hDbase, DWORD dwFlags, LPWORD lpcPropID,
                                   CEPROPID* rgPropID, LPBYTE* lplpBuffer, LPDWORD lpcbBuffer);

// Closes a database handle (the same as CloseHandle).
WINBASEAPI BOOL CeCloseHandle(HANDLE hObject);

// Frees a CENOTIFICATION record that WM_DBNOTIFICATION delivered (from the request's heap).
WINBASEAPI BOOL CeFreeNotification(PCENOTIFYREQUEST pRequest, PCENOTIFICATION pNotify);

#ifdef __cplusplus
}
#endif
