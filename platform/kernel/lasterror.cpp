// lasterror.cpp: GetLastError and SetLastError, one value per thread as on Windows.
#include "winbase.h"

namespace {
thread_local DWORD lastError = 0;
}

WINBASEAPI DWORD GetLastError(void) {
    return lastError;
}
WINBASEAPI void SetLastError(DWORD dwErrCode) {
    lastError = dwErrCode;
}
