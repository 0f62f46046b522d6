// critsec.cpp: critical sections and the interlocked operations.
//
// A CRITICAL_SECTION is storage the caller owns (winthread.h). Inside it lives a plain host
// mutex with the owning thread and a recursion count beside it: the owner entering again only
// counts, anyone else takes the mutex. All-zero storage is an unlocked glibc mutex with no
// owner, so a critical section in zeroed memory works even before InitializeCriticalSection,
// and DeleteCriticalSection leaves the storage zeroed for the same reason.
//
// Critical sections are not waits: a thread blocked in EnterCriticalSection does not notice
// TerminateThread until it has entered and later waits or sleeps, and a thread terminated while
// owning one leaves it owned for good, as on Windows.
#include <atomic>
#include <cstring>
#include <new>
#include <pthread.h>

#include "kernel/trace.h"
#include "kernel/wait.h"
#include "winbase.h"
#include "winthread.h"

namespace {

struct CriticalSection {
    pthread_mutex_t mutex;
    std::atomic<uint32_t> owner; // thread id, 0: none
    uint32_t recursion;          // only the owner touches it
};

static_assert(sizeof(CriticalSection) <= sizeof(CRITICAL_SECTION),
              "CRITICAL_SECTION storage too small");
static_assert(alignof(CriticalSection) <= alignof(CRITICAL_SECTION),
              "CRITICAL_SECTION storage not aligned enough");
static_assert(std::atomic<uint32_t>::is_always_lock_free);

CriticalSection* sectionOf(LPCRITICAL_SECTION cs) {
    return std::launder(reinterpret_cast<CriticalSection*>(cs));
}

} // namespace

WINBASEAPI void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (!lpCriticalSection) return;
    memset(static_cast<void*>(lpCriticalSection), 0, sizeof *lpCriticalSection);
    new (lpCriticalSection) CriticalSection{PTHREAD_MUTEX_INITIALIZER, {0}, 0};
}

WINBASEAPI void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (!lpCriticalSection) return;
    CriticalSection* cs = sectionOf(lpCriticalSection);
    if (cs->owner.load(std::memory_order_relaxed) != 0)
        CE_TRACE("sync", "critical section %p deleted while owned", static_cast<void*>(cs));
    pthread_mutex_destroy(&cs->mutex);
    memset(static_cast<void*>(lpCriticalSection), 0, sizeof *lpCriticalSection);
}

WINBASEAPI void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (!lpCriticalSection) return;
    CriticalSection* cs = sectionOf(lpCriticalSection);
    const uint32_t me = ce::currentThreadId();
    if (cs->owner.load(std::memory_order_relaxed) == me) {
        ++cs->recursion;
        return;
    }
    pthread_mutex_lock(&cs->mutex);
    cs->owner.store(me, std::memory_order_relaxed);
    cs->recursion = 1;
}

WINBASEAPI BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (!lpCriticalSection) return FALSE;
    CriticalSection* cs = sectionOf(lpCriticalSection);
    const uint32_t me = ce::currentThreadId();
    if (cs->owner.load(std::memory_order_relaxed) == me) {
        ++cs->recursion;
        return TRUE;
    }
    if (pthread_mutex_trylock(&cs->mutex) != 0) return FALSE;
    cs->owner.store(me, std::memory_order_relaxed);
    cs->recursion = 1;
    return TRUE;
}

// Leaving a section the caller does not own is a bug in the caller; it is reported on the
// "sync" trace channel and ignored rather than corrupting the owner's state.
WINBASEAPI void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    if (!lpCriticalSection) return;
    CriticalSection* cs = sectionOf(lpCriticalSection);
    if (cs->owner.load(std::memory_order_relaxed) != ce::currentThreadId()) {
        CE_TRACE("sync", "critical section %p left by a thread that does not own it",
                 static_cast<void*>(cs));
        return;
    }
    if (--cs->recursion > 0) return;
    cs->owner.store(0, std::memory_order_relaxed);
    pthread_mutex_unlock(&cs->mutex);
}

// ---- Interlocked operations ----

WINBASEAPI LONG InterlockedIncrement(LONG volatile* lpAddend) {
    return __atomic_add_fetch(lpAddend, 1, __ATOMIC_SEQ_CST);
}

WINBASEAPI LONG InterlockedDecrement(LONG volatile* lpAddend) {
    return __atomic_sub_fetch(lpAddend, 1, __ATOMIC_SEQ_CST);
}

WINBASEAPI LONG InterlockedExchange(LONG volatile* Target, LONG Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}

WINBASEAPI LONG InterlockedExchangeAdd(LONG volatile* Addend, LONG Value) {
    return __atomic_fetch_add(Addend, Value, __ATOMIC_SEQ_CST);
}

WINBASEAPI LONG InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange,
                                           LONG Comperand) {
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comperand; // the value found: Comperand itself when the exchange happened
}

WINBASEAPI PVOID InterlockedExchangePointer(PVOID volatile* Target, PVOID Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}

WINBASEAPI PVOID InterlockedCompareExchangePointer(PVOID volatile* Destination, PVOID Exchange,
                                                   PVOID Comperand) {
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comperand;
}
