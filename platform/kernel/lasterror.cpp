// lasterror.cpp: GetLastError and SetLastError, one value per thread as on Windows.
#include "winbase.h"

namespace {
thread_local DWORD lastError = 0;
}

extern "C" WINBASEAPI DWORD GetLastError(void) { return lastError; }
extern "C" WINBASEAPI void SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }
