// poom_items.cpp: the object model's items: appointments (IAppointment, with their recurrence
// pattern IRecurrencePattern), tasks (ITask) and contacts (IContact).
//
// An item object holds a copy of its record; property writes change the copy and Save writes
// it to the store (store.cpp), which also keeps the reminder and tells the watching windows.
// An occurrence of a series (from a collection that includes recurrences) saves as a changed
// occurrence of its series and deletes as a deleted one, as the device's calendar treats them.
#include <cmath>

#include "kernel/clock.h"
#include "pim/poom.h"
#include "pim/recur.h"
#include "pim/store.h"

namespace ce::pim {

std::u16string fromBstr(BSTR b) {
    if (!b) return {};
    return std::u16string(b, SysStringLen(b));
}

HRESULT toBstr(const std::u16string& s, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

namespace {

// The longest text a property takes (the object model documents 4096 for a subject).
constexpr size_t kMaxText = 4096;

// What every item object shares: the record, the session, texts, dates, flags, Save/Delete.
template <class Interface>
class ItemObject : public ComObject<Interface> {
public:
    ItemObject(Application* app, Item item, const IID& iid)
        : app_(app), item_(std::move(item)), iid_(iid) {
        appInterface(app_)->AddRef();
    }
    ~ItemObject() override { appInterface(app_)->Release(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return this->queryOne(riid, iid_, ppv);
    }

    Item& item() { return item_; }
    Application* app() const { return app_; }

protected:
    HRESULT getText(int field, BSTR* out) { return toBstr(item_.text[field], out); }
    HRESULT putText(int field, BSTR value) {
        std::u16string s = fromBstr(value);
        if (s.size() > kMaxText) return E_INVALIDARG;
        item_.text[field] = std::move(s);
        return S_OK;
    }
    HRESULT getDate(int field, DATE* out) {
        if (!out) return E_POINTER;
        *out = variantFromLocal(item_.date[field]);
        return S_OK;
    }
    HRESULT putDate(int field, DATE value) {
        int64_t local;
        if (!localFromVariant(value, &local)) return E_INVALIDARG;
        item_.date[field] = local;
        return S_OK;
    }
    HRESULT getFlag(int field, VARIANT_BOOL* out) {
        if (!out) return E_POINTER;
        *out = item_.number[field] ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT putFlag(int field, VARIANT_BOOL value) {
        item_.number[field] = value ? 1 : 0;
        return S_OK;
    }
    HRESULT getLong(int field, long* out) {
        if (!out) return E_POINTER;
        *out = item_.number[field];
        return S_OK;
    }
    HRESULT getOid(long* out) {
        if (!out) return E_POINTER;
        *out = static_cast<long>(item_.oid);
        return S_OK;
    }
    HRESULT getApp(IPOutlookApp** out) { return appInterface(app_)->get_Application(out); }

    HRESULT save() {
        if (item_.occurrence) return saveOccurrence();
        return saveItem(item_);
    }
    HRESULT remove() {
        if (item_.oid == 0) return E_FAIL; // never saved
        if (item_.occurrence) return deleteOccurrence();
        HRESULT hr = deleteItem(item_.oid);
        if (SUCCEEDED(hr)) item_.oid = 0;
        return hr;
    }
    HRESULT display() { return displayItem(item_.kind, item_.oid); }

private:
    HRESULT saveOccurrence() {
        Item series;
        if (!loadItem(item_.oid, &series)) return E_FAIL;
        Exception e;
        e.original = item_.occurrenceOriginal;
        e.start = item_.date[Start];
        e.end = item_.date[End];
        e.subject = item_.text[Subject];
        e.location = item_.text[Location];
        e.reminderSet = item_.number[ReminderSet] != 0;
        bool replaced = false;
        for (Exception& old : series.exceptions)
            if (old.original == e.original) old = e, replaced = true;
        if (!replaced) series.exceptions.push_back(e);
        return saveItem(series);
    }
    HRESULT deleteOccurrence() {
        Item series;
        if (!loadItem(item_.oid, &series)) return E_FAIL;
        std::erase_if(series.exceptions,
                      [&](const Exception& e) { return e.original == item_.occurrenceOriginal; });
        series.exdates.push_back(item_.occurrenceOriginal);
        return saveItem(series);
    }

    Application* app_;
    Item item_;
    const IID& iid_;
};

class Appointment;

// The recurrence of one appointment object: every write rewrites that object's rule.
class RecurrencePattern final : public ComObject<IRecurrencePattern> {
public:
    explicit RecurrencePattern(Appointment* appt);
    ~RecurrencePattern() override;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return queryOne(riid, IID_IRecurrencePattern, ppv);
    }
    STDMETHODIMP get_RecurrenceType(long* p) override { return get(p, pattern().type); }
    STDMETHODIMP get_StartTime(DATE* p) override { return getItemDate(Start, p); }
    STDMETHODIMP get_EndTime(DATE* p) override { return getItemDate(End, p); }
    STDMETHODIMP get_PatternStartDate(DATE* p) override;
    STDMETHODIMP get_PatternEndDate(DATE* p) override {
        if (!p) return E_POINTER;
        *p = variantFromLocal(pattern().patternEnd);
        return S_OK;
    }
    STDMETHODIMP get_Duration(long* p) override;
    STDMETHODIMP get_Occurrences(long* p) override { return get(p, pattern().occurrences); }
    STDMETHODIMP get_Interval(long* p) override { return get(p, pattern().interval); }
    STDMETHODIMP get_DayOfWeekMask(long* p) override { return get(p, pattern().dayOfWeekMask); }
    STDMETHODIMP get_DayOfMonth(long* p) override { return get(p, pattern().dayOfMonth); }
    STDMETHODIMP get_Instance(long* p) override { return get(p, pattern().instance); }
    STDMETHODIMP get_MonthOfYear(long* p) override { return get(p, pattern().monthOfYear); }
    STDMETHODIMP get_NoEndDate(VARIANT_BOOL* p) override {
        if (!p) return E_POINTER;
        Pattern pat = pattern();
        *p = pat.occurrences == 0 && pat.patternEnd == kNoDate ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP put_RecurrenceType(long v) override {
        if (v != -1 && v != 0 && v != 1 && v != 2 && v != 3 && v != 5 && v != 6)
            return E_INVALIDARG;
        return edit([&](Pattern& p) { p.type = static_cast<int>(v); });
    }
    STDMETHODIMP put_StartTime(DATE) override { return E_NOTIMPL; }
    STDMETHODIMP put_EndTime(DATE) override { return E_NOTIMPL; }
    STDMETHODIMP put_PatternStartDate(DATE) override { return E_NOTIMPL; }
    STDMETHODIMP put_PatternEndDate(DATE v) override {
        int64_t local;
        if (!localFromVariant(v, &local)) return E_INVALIDARG;
        return edit([&](Pattern& p) {
            p.patternEnd = local;
            p.occurrences = 0;
        });
    }
    STDMETHODIMP put_Duration(long) override { return E_NOTIMPL; }
    STDMETHODIMP put_Occurrences(long v) override {
        if (v < 0 || v > 999) return E_INVALIDARG;
        return edit([&](Pattern& p) {
            p.occurrences = static_cast<int>(v);
            p.patternEnd = kNoDate;
        });
    }
    STDMETHODIMP put_Interval(long v) override {
        if (v < 1 || v > 999) return E_INVALIDARG;
        return edit([&](Pattern& p) { p.interval = static_cast<int>(v); });
    }
    STDMETHODIMP put_DayOfWeekMask(long v) override {
        if (v < 0 || v > 127) return E_INVALIDARG;
        return edit([&](Pattern& p) { p.dayOfWeekMask = static_cast<int>(v); });
    }
    STDMETHODIMP put_DayOfMonth(long v) override {
        if (v < 1 || v > 31) return E_INVALIDARG;
        return edit([&](Pattern& p) { p.dayOfMonth = static_cast<int>(v); });
    }
    STDMETHODIMP put_Instance(long v) override {
        if (v < 1 || v > 5) return E_INVALIDARG;
        return edit([&](Pattern& p) { p.instance = static_cast<int>(v); });
    }
    STDMETHODIMP put_MonthOfYear(long v) override {
        if (v < 1 || v > 12) return E_INVALIDARG;
        return edit([&](Pattern& p) { p.monthOfYear = static_cast<int>(v); });
    }
    STDMETHODIMP put_NoEndDate(VARIANT_BOOL v) override {
        if (!v) return S_OK;
        return edit([&](Pattern& p) {
            p.occurrences = 0;
            p.patternEnd = kNoDate;
        });
    }
    STDMETHODIMP get_Application(IPOutlookApp** out) override;

private:
    Pattern pattern();
    HRESULT get(long* out, int v) {
        if (!out) return E_POINTER;
        *out = v;
        return S_OK;
    }
    HRESULT getItemDate(int field, DATE* out);
    // Applies a change; a pattern that gives no valid rule keeps the edit pending in draft_
    // until it does (type first, then the weekdays, as callers set them one by one).
    template <class F>
    HRESULT edit(F&& change);

    Appointment* appt_;
    Pattern draft_;
};

class Appointment final : public ItemObject<IAppointment> {
public:
    Appointment(Application* app, Item item) : ItemObject(app, std::move(item), IID_IAppointment) {}

    STDMETHODIMP GetRecurrencePattern(IRecurrencePattern** pp) override {
        if (!pp) return E_POINTER;
        *pp = makeObject<RecurrencePattern>(this);
        return S_OK;
    }
    STDMETHODIMP ClearRecurrencePattern() override {
        item().rrule.clear();
        item().exdates.clear();
        item().exceptions.clear();
        return S_OK;
    }
    STDMETHODIMP get_Subject(BSTR* p) override { return getText(Subject, p); }
    STDMETHODIMP get_Location(BSTR* p) override { return getText(Location, p); }
    STDMETHODIMP get_Categories(BSTR* p) override { return getText(Categories, p); }
    STDMETHODIMP get_Start(DATE* p) override { return getDate(Start, p); }
    STDMETHODIMP get_Duration(long* p) override {
        if (!p) return E_POINTER;
        *p = durationMinutes(item());
        return S_OK;
    }
    STDMETHODIMP get_End(DATE* p) override { return getDate(End, p); }
    STDMETHODIMP get_AllDayEvent(VARIANT_BOOL* p) override { return getFlag(AllDayEvent, p); }
    STDMETHODIMP get_BusyStatus(long* p) override { return getLong(BusyStatus, p); }
    STDMETHODIMP get_Sensitivity(long* p) override { return getLong(Sensitivity, p); }
    STDMETHODIMP get_ReminderSet(VARIANT_BOOL* p) override { return getFlag(ReminderSet, p); }
    STDMETHODIMP get_ReminderOptions(long* p) override { return getLong(ReminderOptions, p); }
    STDMETHODIMP get_ReminderMinutesBeforeStart(long* p) override {
        return getLong(ReminderMinutesBeforeStart, p);
    }
    STDMETHODIMP get_Body(BSTR* p) override { return getText(Body, p); }
    STDMETHODIMP get_IsRecurring(VARIANT_BOOL* p) override {
        if (!p) return E_POINTER;
        *p = item().recurring() || item().occurrence ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_ReminderSoundFile(BSTR* p) override { return getText(ReminderSoundFile, p); }
    STDMETHODIMP get_MeetingStatus(long* p) override { return getLong(MeetingStatus, p); }
    STDMETHODIMP get_Oid(long* p) override { return getOid(p); }
    STDMETHODIMP get_Application(IPOutlookApp** p) override { return getApp(p); }
    STDMETHODIMP put_Subject(BSTR v) override { return putText(Subject, v); }
    STDMETHODIMP put_Location(BSTR v) override { return putText(Location, v); }
    STDMETHODIMP put_Categories(BSTR v) override { return putText(Categories, v); }
    // A new start keeps the appointment's length.
    STDMETHODIMP put_Start(DATE v) override {
        int64_t local;
        if (!localFromVariant(v, &local) || local == kNoDate) return E_INVALIDARG;
        Item& it = item();
        int64_t length = it.date[End] != kNoDate && it.date[Start] != kNoDate
                             ? it.date[End] - it.date[Start]
                             : 60 * kFileTimePerMinute;
        it.date[Start] = local;
        it.date[End] = local + std::max<int64_t>(length, 0);
        return S_OK;
    }
    STDMETHODIMP put_Duration(long minutes) override {
        if (minutes < 0 || minutes > 31 * 24 * 60 || item().date[Start] == kNoDate)
            return E_INVALIDARG;
        item().date[End] = item().date[Start] + minutes * kFileTimePerMinute;
        return S_OK;
    }
    // The end may not lie before the start.
    STDMETHODIMP put_End(DATE v) override {
        int64_t local;
        if (!localFromVariant(v, &local) || local == kNoDate) return E_INVALIDARG;
        if (item().date[Start] != kNoDate && local < item().date[Start]) return E_INVALIDARG;
        item().date[End] = local;
        return S_OK;
    }
    // An all-day event covers whole days: from midnight of its first day to midnight after
    // its last.
    STDMETHODIMP put_AllDayEvent(VARIANT_BOOL v) override {
        Item& it = item();
        it.number[AllDayEvent] = v ? 1 : 0;
        if (v && it.date[Start] != kNoDate) {
            int64_t day = kFileTimePerDay;
            int64_t end = it.date[End] == kNoDate ? it.date[Start] : it.date[End];
            it.date[Start] = it.date[Start] / day * day;
            it.date[End] = std::max((end + day - 1) / day * day, it.date[Start] + day);
        }
        return S_OK;
    }
    STDMETHODIMP put_BusyStatus(long v) override {
        if (v < 0 || v > 3) return E_INVALIDARG;
        item().number[BusyStatus] = static_cast<int32_t>(v);
        return S_OK;
    }
    STDMETHODIMP put_Sensitivity(long v) override {
        if (v < 0 || v > 3) return E_INVALIDARG;
        item().number[Sensitivity] = static_cast<int32_t>(v);
        return S_OK;
    }
    STDMETHODIMP put_ReminderSet(VARIANT_BOOL v) override { return putFlag(ReminderSet, v); }
    STDMETHODIMP put_ReminderOptions(long v) override {
        item().number[ReminderOptions] = static_cast<int32_t>(v & 0x1F);
        return S_OK;
    }
    STDMETHODIMP put_ReminderMinutesBeforeStart(long v) override {
        if (v < 0 || v > 60L * 24 * 365) return E_INVALIDARG;
        item().number[ReminderMinutesBeforeStart] = static_cast<int32_t>(v);
        return S_OK;
    }
    STDMETHODIMP put_Body(BSTR v) override { return putText(Body, v); }
    STDMETHODIMP put_ReminderSoundFile(BSTR v) override { return putText(ReminderSoundFile, v); }
    STDMETHODIMP Save() override { return save(); }
    STDMETHODIMP Send() override { return E_NOTIMPL; }
    STDMETHODIMP Delete() override { return remove(); }
    STDMETHODIMP Cancel() override { return E_NOTIMPL; }
    STDMETHODIMP Copy(IAppointment** pp) override {
        if (!pp) return E_POINTER;
        Item copy = item();
        copy.oid = 0;
        copy.notification = 0;
        copy.occurrence = false;
        *pp = makeObject<Appointment>(app(), std::move(copy));
        return S_OK;
    }
    STDMETHODIMP Display() override { return display(); }
};

RecurrencePattern::RecurrencePattern(Appointment* appt) : appt_(appt) {
    appt_->AddRef();
    draft_ = patternFromRule(appt_->item().rrule, appt_->item().date[Start]);
}
RecurrencePattern::~RecurrencePattern() {
    appt_->Release();
}
Pattern RecurrencePattern::pattern() {
    return draft_;
}
HRESULT RecurrencePattern::getItemDate(int field, DATE* out) {
    if (!out) return E_POINTER;
    *out = variantFromLocal(appt_->item().date[field]);
    return S_OK;
}
HRESULT RecurrencePattern::get_PatternStartDate(DATE* p) {
    if (!p) return E_POINTER;
    int64_t start = appt_->item().date[Start];
    *p = variantFromLocal(start == kNoDate ? start : start / kFileTimePerDay * kFileTimePerDay);
    return S_OK;
}
HRESULT RecurrencePattern::get_Duration(long* p) {
    if (!p) return E_POINTER;
    *p = durationMinutes(appt_->item());
    return S_OK;
}
HRESULT RecurrencePattern::get_Application(IPOutlookApp** out) {
    return appt_->get_Application(out);
}
template <class F>
HRESULT RecurrencePattern::edit(F&& change) {
    change(draft_);
    Item& it = appt_->item();
    if (draft_.type == -1) {
        it.rrule.clear();
        return S_OK;
    }
    std::string rule = ruleFromPattern(draft_, it.date[Start]);
    if (!rule.empty() && validRule(rule)) it.rrule = rule;
    return S_OK;
}

class Task final : public ItemObject<ITask> {
public:
    Task(Application* app, Item item) : ItemObject(app, std::move(item), IID_ITask) {}
    STDMETHODIMP GetRecurrencePattern(IRecurrencePattern** pp) override {
        if (pp) *pp = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP ClearRecurrencePattern() override { return S_OK; }
    STDMETHODIMP get_IsRecurring(VARIANT_BOOL* p) override {
        if (!p) return E_POINTER;
        *p = VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_Subject(BSTR* p) override { return getText(Subject, p); }
    STDMETHODIMP get_Categories(BSTR* p) override { return getText(Categories, p); }
    STDMETHODIMP get_StartDate(DATE* p) override { return getDate(StartDate, p); }
    STDMETHODIMP get_DueDate(DATE* p) override { return getDate(DueDate, p); }
    STDMETHODIMP get_DateCompleted(DATE* p) override { return getDate(DateCompleted, p); }
    STDMETHODIMP get_Importance(long* p) override { return getLong(Importance, p); }
    STDMETHODIMP get_Complete(VARIANT_BOOL* p) override { return getFlag(Complete, p); }
    STDMETHODIMP get_Sensitivity(long* p) override { return getLong(Sensitivity, p); }
    STDMETHODIMP get_TeamTask(VARIANT_BOOL* p) override { return getFlag(TeamTask, p); }
    STDMETHODIMP get_Body(BSTR* p) override { return getText(Body, p); }
    STDMETHODIMP get_ReminderSet(VARIANT_BOOL* p) override { return getFlag(ReminderSet, p); }
    STDMETHODIMP get_ReminderOptions(long* p) override { return getLong(ReminderOptions, p); }
    STDMETHODIMP get_ReminderTime(DATE* p) override { return getDate(ReminderTime, p); }
    STDMETHODIMP get_ReminderSoundFile(BSTR* p) override { return getText(ReminderSoundFile, p); }
    STDMETHODIMP get_Oid(long* p) override { return getOid(p); }
    STDMETHODIMP get_Application(IPOutlookApp** p) override { return getApp(p); }
    STDMETHODIMP put_Subject(BSTR v) override { return putText(Subject, v); }
    STDMETHODIMP put_Categories(BSTR v) override { return putText(Categories, v); }
    STDMETHODIMP put_StartDate(DATE v) override { return putDate(StartDate, v); }
    STDMETHODIMP put_DueDate(DATE v) override { return putDate(DueDate, v); }
    STDMETHODIMP put_Importance(long v) override {
        if (v < olImportanceLow || v > olImportanceHigh) return E_INVALIDARG;
        item().number[Importance] = static_cast<int32_t>(v);
        return S_OK;
    }
    // Completing a task records the day; reopening it forgets it.
    STDMETHODIMP put_Complete(VARIANT_BOOL v) override {
        Item& it = item();
        it.number[Complete] = v ? 1 : 0;
        it.date[DateCompleted] = v ? deviceLocalNow() / kFileTimePerDay * kFileTimePerDay : kNoDate;
        return S_OK;
    }
    STDMETHODIMP put_Sensitivity(long v) override {
        if (v < 0 || v > 3) return E_INVALIDARG;
        item().number[Sensitivity] = static_cast<int32_t>(v);
        return S_OK;
    }
    STDMETHODIMP put_TeamTask(VARIANT_BOOL v) override { return putFlag(TeamTask, v); }
    STDMETHODIMP put_Body(BSTR v) override { return putText(Body, v); }
    STDMETHODIMP put_ReminderSet(VARIANT_BOOL v) override { return putFlag(ReminderSet, v); }
    STDMETHODIMP put_ReminderOptions(long v) override {
        item().number[ReminderOptions] = static_cast<int32_t>(v & 0x1F);
        return S_OK;
    }
    STDMETHODIMP put_ReminderTime(DATE v) override { return putDate(ReminderTime, v); }
    STDMETHODIMP put_ReminderSoundFile(BSTR v) override { return putText(ReminderSoundFile, v); }
    STDMETHODIMP Save() override { return save(); }
    STDMETHODIMP Delete() override { return remove(); }
    STDMETHODIMP SkipRecurrence() override { return E_NOTIMPL; }
    STDMETHODIMP Copy(ITask** pp) override {
        if (!pp) return E_POINTER;
        Item copy = item();
        copy.oid = 0;
        copy.notification = 0;
        *pp = makeObject<Task>(app(), std::move(copy));
        return S_OK;
    }
    STDMETHODIMP Display() override { return display(); }
};

#define CONTACT_TEXT(Name)                                                                         \
    STDMETHODIMP get_##Name(BSTR* p) override {                                                    \
        return getText(Name, p);                                                                   \
    }                                                                                              \
    STDMETHODIMP put_##Name(BSTR v) override {                                                     \
        return putText(Name, v);                                                                   \
    }

class Contact final : public ItemObject<IContact> {
public:
    Contact(Application* app, Item item) : ItemObject(app, std::move(item), IID_IContact) {}
    STDMETHODIMP get_Birthday(DATE* p) override { return getDate(Birthday, p); }
    STDMETHODIMP get_Anniversary(DATE* p) override { return getDate(Anniversary, p); }
    STDMETHODIMP put_Birthday(DATE v) override { return putDate(Birthday, v); }
    STDMETHODIMP put_Anniversary(DATE v) override { return putDate(Anniversary, v); }
    CONTACT_TEXT(FirstName)
    CONTACT_TEXT(MiddleName)
    CONTACT_TEXT(LastName)
    CONTACT_TEXT(Title)
    CONTACT_TEXT(Suffix)
    CONTACT_TEXT(FileAs)
    CONTACT_TEXT(CompanyName)
    CONTACT_TEXT(JobTitle)
    CONTACT_TEXT(Department)
    CONTACT_TEXT(Email1Address)
    CONTACT_TEXT(Email2Address)
    CONTACT_TEXT(Email3Address)
    CONTACT_TEXT(MobileTelephoneNumber)
    CONTACT_TEXT(HomeTelephoneNumber)
    CONTACT_TEXT(BusinessTelephoneNumber)
    CONTACT_TEXT(Categories)
    CONTACT_TEXT(Body)
    STDMETHODIMP get_Oid(long* p) override { return getOid(p); }
    STDMETHODIMP get_Application(IPOutlookApp** p) override { return getApp(p); }
    STDMETHODIMP Save() override { return save(); }
    STDMETHODIMP Delete() override { return remove(); }
    STDMETHODIMP Copy(IContact** pp) override {
        if (!pp) return E_POINTER;
        Item copy = item();
        copy.oid = 0;
        *pp = makeObject<Contact>(app(), std::move(copy));
        return S_OK;
    }
    STDMETHODIMP Display() override { return display(); }
};

#undef CONTACT_TEXT

} // namespace

IDispatch* makeItemObject(Application* app, Item item) {
    switch (item.kind) {
    case Kind::Appointment: return makeObject<Appointment>(app, std::move(item));
    case Kind::Task: return makeObject<Task>(app, std::move(item));
    case Kind::Contact: return makeObject<Contact>(app, std::move(item));
    }
    return nullptr;
}

} // namespace ce::pim
