// pimstore.h: the Pocket Outlook object model: the device's calendar, tasks and contacts as
// COM objects.
//
//   CoInitializeEx(NULL, COINIT_MULTITHREADED);
//   IPOutlookApp* app;
//   CoCreateInstance(CLSID_Application, NULL, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
//                    (void**)&app);
//   app->Logon((long)hwnd);
//   IFolder* folder; app->GetDefaultFolder(olFolderCalendar, &folder);
//   IPOutlookItemCollection* items; folder->get_Items(&items);
//   items->Sort(L"[Start]", VARIANT_FALSE);
//   items->Find(L"[Start] >= \"03/04/2024\"", (IDispatch**)&appt);
//
// Dates are automation dates (DATE) in the device's local time; texts are BSTRs that the caller
// frees with SysFreeString. The application object, folder numbers, item kinds, IItem, the
// folder properties and the change messages have the values of the public documentation; the
// identifiers of the other interfaces are this platform's own.
#pragma once

#include "objbase.h"
#include "windbase.h"

// ---- Folders, item kinds and enumerations ----------------------------------------------------
typedef enum OlDefaultFolders {
    olFolderCalendar = 9,
    olFolderContacts = 10,
    olFolderTasks = 13,
    olFolderCities = 101,
    olFolderInfrared = 102,
} OlDefaultFolders;

typedef enum OlItemType {
    olAppointmentItem = 1,
    olContactItem = 2,
    olTaskItem = 3,
    olCityItem = 102,
} OlItemType;

typedef enum OlImportance {
    olImportanceLow = 0,
    olImportanceNormal = 1,
    olImportanceHigh = 2,
} OlImportance;

typedef enum OlBusyStatus {
    olFree = 0,
    olTentative = 1,
    olBusy = 2,
    olOutOfOffice = 3,
} OlBusyStatus;

typedef enum OlSensitivity {
    olNormal = 0,
    olPersonal = 1,
    olPrivate = 2,
    olConfidential = 3,
} OlSensitivity;

typedef enum OlRecurrenceType {
    olRecursOnce = -1,
    olRecursDaily = 0,
    olRecursWeekly = 1,
    olRecursMonthly = 2,
    olRecursMonthNth = 3,
    olRecursYearly = 5,
    olRecursYearNth = 6,
} OlRecurrenceType;

typedef enum OlDaysOfWeek {
    olSunday = 1,
    olMonday = 2,
    olTuesday = 4,
    olWednesday = 8,
    olThursday = 16,
    olFriday = 32,
    olSaturday = 64,
} OlDaysOfWeek;

typedef enum OlReminderOptions {
    olLED = 1,
    olVibrate = 2,
    olDialog = 4,
    olSound = 8,
    olRepeat = 16,
} OlReminderOptions;

// ---- Change notifications ------------------------------------------------------------------
// Posted to the window given at Logon, for the folders whose PIMPR_FOLDERNOTIFICATIONS is set:
// wParam the item's object identifier, lParam the folder (olFolderCalendar ...).
#define PIM_ITEM_CREATED_LOCAL  (WM_APP + 0x100)
#define PIM_ITEM_DELETED_LOCAL  (WM_APP + 0x101)
#define PIM_ITEM_CHANGED_LOCAL  (WM_APP + 0x102)
#define PIM_ITEM_CREATED_REMOTE (WM_APP + 0x105)
#define PIM_ITEM_DELETED_REMOTE (WM_APP + 0x106)
#define PIM_ITEM_CHANGED_REMOTE (WM_APP + 0x107)

#define PIMFOLDERNOTIFICATION_LOCAL  0x01
#define PIMFOLDERNOTIFICATION_REMOTE 0x02
#define PIMFOLDERNOTIFICATION_ALL    (PIMFOLDERNOTIFICATION_LOCAL | PIMFOLDERNOTIFICATION_REMOTE)

// Folder properties (IItem of a folder): which changes are posted (CEVT_UI4), and the
// folder's categories as one comma-separated list (CEVT_LPWSTR, read only).
#define PIMPR_FOLDERNOTIFICATIONS 0x10010013
#define PIMPR_FOLDER_CATEGORIES   0x101A001F

#ifndef CEDB_ALLOWREALLOC
#define CEDB_ALLOWREALLOC 0x00000001
#endif

#ifdef __cplusplus

extern "C" {
WINBASEAPI const CLSID CLSID_Application;
WINBASEAPI const IID IID_IPOutlookApp;
WINBASEAPI const IID IID_IFolder;
WINBASEAPI const IID IID_IPOutlookItemCollection;
WINBASEAPI const IID IID_IAppointment;
WINBASEAPI const IID IID_ITask;
WINBASEAPI const IID IID_IContact;
WINBASEAPI const IID IID_IRecurrencePattern;
WINBASEAPI const IID IID_IItem;
}

interface IPOutlookApp;
interface IFolder;
interface IPOutlookItemCollection;
interface IRecurrencePattern;

// The recurrence of an appointment or task (GetRecurrencePattern).
interface IRecurrencePattern : public IDispatch {
    STDMETHOD(get_RecurrenceType)(long* plRecType) PURE;
    STDMETHOD(get_StartTime)(DATE* pst) PURE;
    STDMETHOD(get_EndTime)(DATE* pst) PURE;
    STDMETHOD(get_PatternStartDate)(DATE* pst) PURE;
    STDMETHOD(get_PatternEndDate)(DATE* pst) PURE;
    STDMETHOD(get_Duration)(long* plDuration) PURE;
    STDMETHOD(get_Occurrences)(long* plOccurrences) PURE;
    STDMETHOD(get_Interval)(long* plInterval) PURE;
    STDMETHOD(get_DayOfWeekMask)(long* plMask) PURE;
    STDMETHOD(get_DayOfMonth)(long* plDay) PURE;
    STDMETHOD(get_Instance)(long* plInstance) PURE;
    STDMETHOD(get_MonthOfYear)(long* plMonth) PURE;
    STDMETHOD(get_NoEndDate)(VARIANT_BOOL* pfNoEndDate) PURE;
    STDMETHOD(put_RecurrenceType)(long lRecType) PURE;
    STDMETHOD(put_StartTime)(DATE st) PURE;
    STDMETHOD(put_EndTime)(DATE st) PURE;
    STDMETHOD(put_PatternStartDate)(DATE st) PURE;
    STDMETHOD(put_PatternEndDate)(DATE st) PURE;
    STDMETHOD(put_Duration)(long lDuration) PURE;
    STDMETHOD(put_Occurrences)(long lOccurrences) PURE;
    STDMETHOD(put_Interval)(long lInterval) PURE;
    STDMETHOD(put_DayOfWeekMask)(long lMask) PURE;
    STDMETHOD(put_DayOfMonth)(long lDay) PURE;
    STDMETHOD(put_Instance)(long lInstance) PURE;
    STDMETHOD(put_MonthOfYear)(long lMonth) PURE;
    STDMETHOD(put_NoEndDate)(VARIANT_BOOL fNoEndDate) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** ppolApp) PURE;
};

// An appointment of the calendar. An occurrence of a recurring appointment (from a collection
// that includes recurrences) carries the series' Oid, its own Start and End, and IsRecurring.
interface IAppointment : public IDispatch {
    STDMETHOD(GetRecurrencePattern)(IRecurrencePattern** ppRecPattern) PURE;
    STDMETHOD(ClearRecurrencePattern)() PURE;
    STDMETHOD(get_Subject)(BSTR* pbstrSubject) PURE;
    STDMETHOD(get_Location)(BSTR* pbstrLocation) PURE;
    STDMETHOD(get_Categories)(BSTR* pbstrCategories) PURE;
    STDMETHOD(get_Start)(DATE* pst) PURE;
    STDMETHOD(get_Duration)(long* pnLen) PURE;
    STDMETHOD(get_End)(DATE* pst) PURE;
    STDMETHOD(get_AllDayEvent)(VARIANT_BOOL* pfAllDay) PURE;
    STDMETHOD(get_BusyStatus)(long* pnState) PURE;
    STDMETHOD(get_Sensitivity)(long* plSensitivity) PURE;
    STDMETHOD(get_ReminderSet)(VARIANT_BOOL* pfReminderSet) PURE;
    STDMETHOD(get_ReminderOptions)(long* plOptions) PURE;
    STDMETHOD(get_ReminderMinutesBeforeStart)(long* plMinutes) PURE;
    STDMETHOD(get_Body)(BSTR* pbstrBody) PURE;
    STDMETHOD(get_IsRecurring)(VARIANT_BOOL* pfRecurring) PURE;
    STDMETHOD(get_ReminderSoundFile)(BSTR* pbstrSoundFile) PURE;
    STDMETHOD(get_MeetingStatus)(long* plMeetingStatus) PURE;
    STDMETHOD(get_Oid)(long* poid) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** ppolApp) PURE;
    STDMETHOD(put_Subject)(BSTR pwszSubject) PURE;
    STDMETHOD(put_Location)(BSTR pwszLocation) PURE;
    STDMETHOD(put_Categories)(BSTR pwszCategories) PURE;
    STDMETHOD(put_Start)(DATE st) PURE;
    STDMETHOD(put_Duration)(long nLen) PURE;
    STDMETHOD(put_End)(DATE st) PURE;
    STDMETHOD(put_AllDayEvent)(VARIANT_BOOL fAllDay) PURE;
    STDMETHOD(put_BusyStatus)(long nState) PURE;
    STDMETHOD(put_Sensitivity)(long lSensitivity) PURE;
    STDMETHOD(put_ReminderSet)(VARIANT_BOOL fReminderSet) PURE;
    STDMETHOD(put_ReminderOptions)(long lOptions) PURE;
    STDMETHOD(put_ReminderMinutesBeforeStart)(long lMinutes) PURE;
    STDMETHOD(put_Body)(BSTR pwszBody) PURE;
    STDMETHOD(put_ReminderSoundFile)(BSTR pwszSoundFile) PURE;
    STDMETHOD(Save)() PURE;
    STDMETHOD(Send)() PURE;
    STDMETHOD(Delete)() PURE;
    STDMETHOD(Cancel)() PURE;
    STDMETHOD(Copy)(IAppointment** ppolAppt) PURE;
    STDMETHOD(Display)() PURE;
};

// A task of the tasks folder. Unset dates read as 949998.0 (1 January 4501).
interface ITask : public IDispatch {
    STDMETHOD(GetRecurrencePattern)(IRecurrencePattern** ppRecPattern) PURE;
    STDMETHOD(ClearRecurrencePattern)() PURE;
    STDMETHOD(get_IsRecurring)(VARIANT_BOOL* pfRecurring) PURE;
    STDMETHOD(get_Subject)(BSTR* pbstrSubject) PURE;
    STDMETHOD(get_Categories)(BSTR* pbstrCategories) PURE;
    STDMETHOD(get_StartDate)(DATE* pst) PURE;
    STDMETHOD(get_DueDate)(DATE* pst) PURE;
    STDMETHOD(get_DateCompleted)(DATE* pst) PURE;
    STDMETHOD(get_Importance)(long* pImportance) PURE;
    STDMETHOD(get_Complete)(VARIANT_BOOL* pfComplete) PURE;
    STDMETHOD(get_Sensitivity)(long* plSensitivity) PURE;
    STDMETHOD(get_TeamTask)(VARIANT_BOOL* pfTeamTask) PURE;
    STDMETHOD(get_Body)(BSTR* pbstrBody) PURE;
    STDMETHOD(get_ReminderSet)(VARIANT_BOOL* pfReminderSet) PURE;
    STDMETHOD(get_ReminderOptions)(long* plOptions) PURE;
    STDMETHOD(get_ReminderTime)(DATE* pst) PURE;
    STDMETHOD(get_ReminderSoundFile)(BSTR* pbstrSoundFile) PURE;
    STDMETHOD(get_Oid)(long* poid) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** ppolApp) PURE;
    STDMETHOD(put_Subject)(BSTR pwszSubject) PURE;
    STDMETHOD(put_Categories)(BSTR pwszCategories) PURE;
    STDMETHOD(put_StartDate)(DATE st) PURE;
    STDMETHOD(put_DueDate)(DATE st) PURE;
    STDMETHOD(put_Importance)(long importance) PURE;
    STDMETHOD(put_Complete)(VARIANT_BOOL fComplete) PURE;
    STDMETHOD(put_Sensitivity)(long lSensitivity) PURE;
    STDMETHOD(put_TeamTask)(VARIANT_BOOL fTeamTask) PURE;
    STDMETHOD(put_Body)(BSTR pwszBody) PURE;
    STDMETHOD(put_ReminderSet)(VARIANT_BOOL fReminderSet) PURE;
    STDMETHOD(put_ReminderOptions)(long lOptions) PURE;
    STDMETHOD(put_ReminderTime)(DATE st) PURE;
    STDMETHOD(put_ReminderSoundFile)(BSTR pwszSoundFile) PURE;
    STDMETHOD(Save)() PURE;
    STDMETHOD(Delete)() PURE;
    STDMETHOD(SkipRecurrence)() PURE;
    STDMETHOD(Copy)(ITask** ppolTask) PURE;
    STDMETHOD(Display)() PURE;
};

// A contact. Unset Birthday and Anniversary read as 949998.0.
interface IContact : public IDispatch {
    STDMETHOD(get_Birthday)(DATE* pst) PURE;
    STDMETHOD(get_Anniversary)(DATE* pst) PURE;
    STDMETHOD(get_FirstName)(BSTR* pbstr) PURE;
    STDMETHOD(get_MiddleName)(BSTR* pbstr) PURE;
    STDMETHOD(get_LastName)(BSTR* pbstr) PURE;
    STDMETHOD(get_Title)(BSTR* pbstr) PURE;
    STDMETHOD(get_Suffix)(BSTR* pbstr) PURE;
    STDMETHOD(get_FileAs)(BSTR* pbstr) PURE;
    STDMETHOD(get_CompanyName)(BSTR* pbstr) PURE;
    STDMETHOD(get_JobTitle)(BSTR* pbstr) PURE;
    STDMETHOD(get_Department)(BSTR* pbstr) PURE;
    STDMETHOD(get_Email1Address)(BSTR* pbstr) PURE;
    STDMETHOD(get_Email2Address)(BSTR* pbstr) PURE;
    STDMETHOD(get_Email3Address)(BSTR* pbstr) PURE;
    STDMETHOD(get_MobileTelephoneNumber)(BSTR* pbstr) PURE;
    STDMETHOD(get_HomeTelephoneNumber)(BSTR* pbstr) PURE;
    STDMETHOD(get_BusinessTelephoneNumber)(BSTR* pbstr) PURE;
    STDMETHOD(get_Categories)(BSTR* pbstr) PURE;
    STDMETHOD(get_Body)(BSTR* pbstr) PURE;
    STDMETHOD(get_Oid)(long* poid) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** ppolApp) PURE;
    STDMETHOD(put_Birthday)(DATE st) PURE;
    STDMETHOD(put_Anniversary)(DATE st) PURE;
    STDMETHOD(put_FirstName)(BSTR pwsz) PURE;
    STDMETHOD(put_MiddleName)(BSTR pwsz) PURE;
    STDMETHOD(put_LastName)(BSTR pwsz) PURE;
    STDMETHOD(put_Title)(BSTR pwsz) PURE;
    STDMETHOD(put_Suffix)(BSTR pwsz) PURE;
    STDMETHOD(put_FileAs)(BSTR pwsz) PURE;
    STDMETHOD(put_CompanyName)(BSTR pwsz) PURE;
    STDMETHOD(put_JobTitle)(BSTR pwsz) PURE;
    STDMETHOD(put_Department)(BSTR pwsz) PURE;
    STDMETHOD(put_Email1Address)(BSTR pwsz) PURE;
    STDMETHOD(put_Email2Address)(BSTR pwsz) PURE;
    STDMETHOD(put_Email3Address)(BSTR pwsz) PURE;
    STDMETHOD(put_MobileTelephoneNumber)(BSTR pwsz) PURE;
    STDMETHOD(put_HomeTelephoneNumber)(BSTR pwsz) PURE;
    STDMETHOD(put_BusinessTelephoneNumber)(BSTR pwsz) PURE;
    STDMETHOD(put_Categories)(BSTR pwsz) PURE;
    STDMETHOD(put_Body)(BSTR pwsz) PURE;
    STDMETHOD(Save)() PURE;
    STDMETHOD(Delete)() PURE;
    STDMETHOD(Copy)(IContact** ppolContact) PURE;
    STDMETHOD(Display)() PURE;
};

// The items of a folder, in the current sort order. Item() counts from 1.
interface IPOutlookItemCollection : public IDispatch {
    STDMETHOD(Add)(IDispatch** ppolItem) PURE;
    STDMETHOD(get_Count)(int* pnCount) PURE;
    STDMETHOD(Find)(BSTR pwszRestriction, IDispatch** ppItem) PURE;
    STDMETHOD(FindNext)(IDispatch** ppItem) PURE;
    STDMETHOD(Item)(int iIndex, IDispatch** ppolItem) PURE;
    STDMETHOD(Remove)(int iIndex) PURE;
    STDMETHOD(Restrict)(BSTR pwszRestriction, IPOutlookItemCollection** ppolItems) PURE;
    STDMETHOD(Sort)(BSTR pwszProperty, VARIANT_BOOL fDescending) PURE;
    STDMETHOD(get_IncludeRecurrences)(VARIANT_BOOL* pfIncludeRecurrences) PURE;
    STDMETHOD(put_IncludeRecurrences)(VARIANT_BOOL fIncludeRecurrences) PURE;
    STDMETHOD(get__NewEnum)(IUnknown** ppEnumerator) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** polApp) PURE;
};

// A folder (calendar, contacts, tasks). QueryInterface(IID_IItem) gives its properties.
interface IFolder : public IDispatch {
    STDMETHOD(get_Items)(IPOutlookItemCollection** ppolItems) PURE;
    STDMETHOD(get_DefaultItemType)(int* polItem) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** ppolApp) PURE;
    STDMETHOD(AddItemToInfraredFolder)(int olItem, IDispatch* polItem) PURE;
    STDMETHOD(SendToInfrared)() PURE;
    STDMETHOD(ReceiveFromInfrared)(IPOutlookItemCollection** ppItems) PURE;
};

// The property interface of a folder or item: GetProps fills CEPROPVAL entries (with
// CEDB_ALLOWREALLOC the buffer is allocated, or grown, with LocalAlloc on the given heap;
// without it *pcbBuffer bytes are available and E_INSUFFICIENT-size calls report the size
// needed in *pcbBuffer); SetProps changes the writable ones.
interface IItem : public IDispatch {
    STDMETHOD(GetProps)
    (const CEPROPID* rgPropID, ULONG ulFlags, WORD cProps, CEPROPVAL** prgVals, ULONG* pcbBuffer,
     HANDLE hHeap) PURE;
    STDMETHOD(SetProps)(ULONG ulFlags, WORD cProps, CEPROPVAL* rgVals) PURE;
    STDMETHOD(Save)() PURE;
    STDMETHOD(Delete)() PURE;
    STDMETHOD(Display)(HWND hwndParent) PURE;
    STDMETHOD(get_Oid)(CEOID* poid) PURE;
    STDMETHOD(get_DefaultItemType)(int* polItem) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** ppolApp) PURE;
};

// The application object: the entry to the store.
interface IPOutlookApp : public IDispatch {
    // Starts a session; change notifications go to hWnd (a window handle passed as a number).
    STDMETHOD(Logon)(long hWnd) PURE;
    STDMETHOD(Logoff)() PURE;
    STDMETHOD(get_Version)(BSTR* pbstrVersion) PURE;
    STDMETHOD(GetDefaultFolder)(int olFolder, IFolder** ppIFolder) PURE;
    STDMETHOD(CreateItem)(int olItem, IDispatch** ppPOutlookItem) PURE;
    STDMETHOD(GetItemFromOid)(long oid, IDispatch** ppPOutlookItem) PURE;
    STDMETHOD(get_OutlookCompatible)(VARIANT_BOOL* pfCompat) PURE;
    STDMETHOD(SysFreeString)(BSTR bstr) PURE;
    STDMETHOD(VariantTimeToSystemTime)(DATE date, SYSTEMTIME* pst) PURE;
    STDMETHOD(SystemTimeToVariantTime)(SYSTEMTIME* pst, DATE* pdate) PURE;
    STDMETHOD(get_Application)(IPOutlookApp** ppolApp) PURE;
};

#endif // __cplusplus
