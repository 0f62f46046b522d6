// poom_collection.cpp: item collections (IPOutlookItemCollection): the items of a folder,
// narrowed by restrictions, in a sort order, with the occurrences of recurring appointments
// when IncludeRecurrences is on.
//
// A collection is a view: it reads the store when it is first walked after a change of its
// restriction, order or recurrence setting, and keeps that snapshot for Item() and FindNext.
// With recurrences included, each series is expanded over the range of [Start] that the
// restrictions bound (the Parts' filters always bound it); an open end stops two years after
// its start and at kMaxOccurrencesPerSeries, so an endless series never makes an endless list.
#include <algorithm>
#include <climits>

#include "kernel/clock.h"
#include "kernel/strings.h"
#include "pim/filter.h"
#include "pim/poom.h"
#include "pim/recur.h"
#include "pim/store.h"

namespace ce::pim {
namespace {

constexpr size_t kMaxOccurrencesPerSeries = 1000;
constexpr int64_t kOpenRangeSpan = 2 * 366 * kFileTimePerDay;

int compareText(std::u16string_view a, std::u16string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = foldCase(a[i]), y = foldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// Orders two items by a property; unset values go last.
int compareBy(const PropInfo& p, const Item& a, const Item& b) {
    switch (p.type) {
    case PropType::Text: return compareText(a.text[p.index], b.text[p.index]);
    case PropType::Date: {
        int64_t x = a.date[p.index], y = b.date[p.index];
        if (x == y) return 0;
        if (x == kNoDate) return 1;
        if (y == kNoDate) return -1;
        return x < y ? -1 : 1;
    }
    case PropType::Number: return a.number[p.index] - b.number[p.index];
    case PropType::Oid: return a.oid < b.oid ? -1 : a.oid > b.oid ? 1 : 0;
    case PropType::IsRecurring:
        return (a.recurring() || a.occurrence) - (b.recurring() || b.occurrence);
    case PropType::Duration: return durationMinutes(a) - durationMinutes(b);
    }
    return 0;
}

class Collection final : public ComObject<IPOutlookItemCollection> {
public:
    Collection(Application* app, Kind kind) : app_(app), kind_(kind) {
        appInterface(app_)->AddRef();
    }
    ~Collection() override { appInterface(app_)->Release(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return queryOne(riid, IID_IPOutlookItemCollection, ppv);
    }
    STDMETHODIMP Add(IDispatch** ppolItem) override {
        return appInterface(app_)->CreateItem(static_cast<int>(kind_), ppolItem);
    }
    STDMETHODIMP get_Count(int* pnCount) override {
        if (!pnCount) return E_POINTER;
        if (!refresh()) return E_FAIL;
        *pnCount = static_cast<int>(items_.size());
        return S_OK;
    }
    STDMETHODIMP Find(BSTR pwszRestriction, IDispatch** ppItem) override;
    STDMETHODIMP FindNext(IDispatch** ppItem) override;
    STDMETHODIMP Item(int iIndex, IDispatch** ppolItem) override {
        if (!ppolItem) return E_POINTER;
        *ppolItem = nullptr;
        if (!refresh()) return E_FAIL;
        if (iIndex < 1 || static_cast<size_t>(iIndex) > items_.size()) return E_INVALIDARG;
        *ppolItem = makeItemObject(app_, items_[iIndex - 1]);
        return S_OK;
    }
    STDMETHODIMP Remove(int iIndex) override {
        if (!refresh()) return E_FAIL;
        if (iIndex < 1 || static_cast<size_t>(iIndex) > items_.size()) return E_INVALIDARG;
        IDispatch* item = makeItemObject(app_, items_[iIndex - 1]);
        IAppointment* appt = nullptr;
        ITask* task = nullptr;
        IContact* contact = nullptr;
        HRESULT hr = E_FAIL;
        if (SUCCEEDED(item->QueryInterface(IID_IAppointment, reinterpret_cast<void**>(&appt)))) {
            hr = appt->Delete();
            appt->Release();
        } else if (SUCCEEDED(item->QueryInterface(IID_ITask, reinterpret_cast<void**>(&task)))) {
            hr = task->Delete();
            task->Release();
        } else if (SUCCEEDED(
                       item->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact)))) {
            hr = contact->Delete();
            contact->Release();
        }
        item->Release();
        stale_ = true;
        return hr;
    }
    STDMETHODIMP Restrict(BSTR pwszRestriction, IPOutlookItemCollection** ppolItems) override {
        if (!ppolItems) return E_POINTER;
        *ppolItems = nullptr;
        Filter filter;
        if (!pwszRestriction ||
            !filter.parse(fromBstr(pwszRestriction), kind_, userDateOrder(), &lastError_))
            return E_INVALIDARG;
        Collection* narrowed = makeObject<Collection>(app_, kind_);
        narrowed->filters_ = filters_;
        narrowed->filters_.push_back(std::move(filter));
        narrowed->sort_ = sort_;
        narrowed->descending_ = descending_;
        narrowed->recurrences_ = recurrences_;
        *ppolItems = narrowed;
        return S_OK;
    }
    STDMETHODIMP Sort(BSTR pwszProperty, VARIANT_BOOL fDescending) override {
        std::u16string name = fromBstr(pwszProperty);
        if (name.size() < 3 || name.front() != u'[' || name.back() != u']') return E_INVALIDARG;
        const PropInfo* prop = findProp(name.substr(1, name.size() - 2), kind_);
        if (!prop) return E_INVALIDARG;
        sort_ = prop;
        descending_ = fDescending != VARIANT_FALSE;
        stale_ = true;
        return S_OK;
    }
    STDMETHODIMP get_IncludeRecurrences(VARIANT_BOOL* p) override {
        if (!p) return E_POINTER;
        *p = recurrences_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP put_IncludeRecurrences(VARIANT_BOOL v) override {
        recurrences_ = v != VARIANT_FALSE;
        stale_ = true;
        return S_OK;
    }
    STDMETHODIMP get__NewEnum(IUnknown** pp) override {
        if (pp) *pp = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Application(IPOutlookApp** p) override {
        return appInterface(app_)->get_Application(p);
    }

private:
    // Reads the store again when the view changed (or was never read).
    bool refresh() {
        if (!stale_) return true;
        std::vector<ce::pim::Item> all;
        if (!load(nullptr, &all)) return false;
        items_ = std::move(all);
        stale_ = false;
        return true;
    }

    // The items of the view, restricted, expanded and sorted; `extra` narrows further (Find).
    bool load(const Filter* extra, std::vector<ce::pim::Item>* out) {
        int64_t lo = INT64_MIN, hi = INT64_MAX;
        auto narrow = [&](const Filter& f) {
            int64_t l, h;
            f.startBounds(&l, &h);
            lo = std::max(lo, l);
            hi = std::min(hi, h);
        };
        for (const Filter& f : filters_)
            narrow(f);
        if (extra) narrow(*extra);
        std::vector<ce::pim::Item> base;
        bool ok = kind_ == Kind::Appointment && (lo != INT64_MIN || hi != INT64_MAX)
                      ? loadAppointmentsNear(lo, hi, &base)
                      : loadItems(kind_, &base);
        if (!ok) return false;
        auto pass = [&](const ce::pim::Item& item) {
            for (const Filter& f : filters_)
                if (!f.matches(item)) return false;
            return !extra || extra->matches(item);
        };
        out->clear();
        for (ce::pim::Item& item : base) {
            if (recurrences_ && item.recurring()) {
                int64_t from = lo == INT64_MIN ? item.date[Start] : lo;
                int64_t to = hi == INT64_MAX ? from + kOpenRangeSpan : hi;
                for (ce::pim::Item& occ : expandSeries(item, from, to, kMaxOccurrencesPerSeries))
                    if (pass(occ)) out->push_back(std::move(occ));
            } else if (pass(item)) {
                out->push_back(std::move(item));
            }
        }
        if (sort_) {
            const PropInfo& p = *sort_;
            bool desc = descending_;
            std::stable_sort(out->begin(), out->end(),
                             [&](const ce::pim::Item& a, const ce::pim::Item& b) {
                                 int c = compareBy(p, a, b);
                                 return desc ? c > 0 : c < 0;
                             });
        }
        return true;
    }

    Application* app_;
    Kind kind_;
    std::vector<Filter> filters_;
    const PropInfo* sort_ = nullptr;
    bool descending_ = false;
    bool recurrences_ = false;
    bool stale_ = true;
    std::vector<ce::pim::Item> items_;
    std::vector<ce::pim::Item> found_; // the matches of the last Find
    size_t next_ = 0;                  // the next of them FindNext returns
    bool finding_ = false;
    std::string lastError_;
};

HRESULT Collection::Find(BSTR pwszRestriction, IDispatch** ppItem) {
    if (!ppItem) return E_POINTER;
    *ppItem = nullptr;
    Filter filter;
    if (!pwszRestriction ||
        !filter.parse(fromBstr(pwszRestriction), kind_, userDateOrder(), &lastError_)) {
        finding_ = false;
        return E_INVALIDARG;
    }
    if (!load(&filter, &found_)) return E_FAIL;
    finding_ = true;
    next_ = 0;
    return FindNext(ppItem);
}

HRESULT Collection::FindNext(IDispatch** ppItem) {
    if (!ppItem) return E_POINTER;
    *ppItem = nullptr;
    if (!finding_) return E_UNEXPECTED;
    if (next_ >= found_.size()) return S_OK; // no more: NULL
    *ppItem = makeItemObject(app_, found_[next_++]);
    return S_OK;
}

} // namespace

IPOutlookItemCollection* makeCollection(Application* app, Kind kind) {
    return makeObject<Collection>(app, kind);
}

} // namespace ce::pim
