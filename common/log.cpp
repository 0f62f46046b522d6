// log.cpp: writeLog and the per-program log rules of the common library (see log.h).
//
// Every line opens the file, appends and closes it again, so that a crash loses at most the
// line being written and two programs that share a file (zvWakeup and zvCleanup) each see the
// other's lines. The file is opened without sharing, as on the device; inside one process a
// lock makes the threads take turns, and a writer of another process that holds the file for
// its own line is waited out briefly instead of losing our line.
#include "log.h"

#include <chrono>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include <strsafe.h>

#include "installdir.h"
#include "regnames.h"

// Where a program's log folder comes from.
enum LogFolderSource {
    FOLDER_GIVEN,         // setLogFolder; empty means no logging
    FOLDER_GIVEN_DEFAULT, // setLogFolder; empty means the default folder
    FOLDER_LOOKUP         // findInstallFolder for every line
};

struct LogRule {
    LPCWSTR fileName;
    BOOL gateInWriter; // write only when loggingOption != 0 or the text begins with '*'
    DWORD sizeCap;
    LogFolderSource folder;
    BOOL flushBeforeClose;
};

// Indexed by LogProgram.
static const LogRule logRules[LOG_PROGRAM_COUNT] = {
    /* LOG_PLUGIN   */ {TEXT("Zolvane.log"), FALSE, LOG_SIZE_CAP, FOLDER_GIVEN, FALSE},
    /* LOG_SETTINGS */ {TEXT("Zolvane.log"), FALSE, LOG_SIZE_CAP, FOLDER_GIVEN, FALSE},
    /* LOG_HOST     */ {TEXT("zvHost.log"), TRUE, LOG_SIZE_CAP, FOLDER_GIVEN_DEFAULT, FALSE},
    /* LOG_NOTES    */ {TEXT("Zolvane_AN.log"), FALSE, LOG_SIZE_CAP_LONG, FOLDER_LOOKUP, TRUE},
    /* LOG_WAKEUP   */ {TEXT("zvWakeup.log"), TRUE, LOG_SIZE_CAP_LONG, FOLDER_LOOKUP, TRUE},
    /* LOG_CLEANUP  */ {TEXT("zvWakeup.log"), FALSE, LOG_SIZE_CAP_LONG, FOLDER_LOOKUP, TRUE},
};

// How long to wait for another process that has the log file open for its own line: a line
// takes well under a millisecond, so 1000 tries 100 microseconds apart leave room even for a
// writer that loses its processor while it holds the file. These are
// real-time pauses on purpose: the device clock may be frozen or fast in tests, and a log
// line must never hang on it.
#define LOG_OPEN_TRIES    1000
#define LOG_OPEN_PAUSE_US 100

#define LOG_FORMAT_BUFFER 1024

static struct {
    std::mutex lock; // one line at a time in this process; guards the fields below
    LogProgram program = LOG_PLUGIN;
    WCHAR folder[ZV_INSTALLFOLDER_CCH] = {0};
    DWORD option = 0;
} logState;

void setLogProgram(LogProgram program) {
    if (program < LOG_PLUGIN || program >= LOG_PROGRAM_COUNT) return;
    std::lock_guard<std::mutex> guard(logState.lock);
    logState.program = program;
}

void setLogFolder(LPCWSTR folder) {
    std::lock_guard<std::mutex> guard(logState.lock);
    // A folder that does not fit is dropped rather than cut: a cut path names another folder.
    if (!folder || FAILED(StringCchCopyW(logState.folder, ZV_INSTALLFOLDER_CCH, folder)))
        logState.folder[0] = 0;
}

void setLogOption(DWORD option) {
    std::lock_guard<std::mutex> guard(logState.lock);
    logState.option = option;
}

DWORD getLogOption(void) {
    std::lock_guard<std::mutex> guard(logState.lock);
    return logState.option;
}

BOOL logBit(DWORD bit) {
    return (getLogOption() & bit) != 0;
}

// Opens the log for appending: write access, no sharing, created when missing, kept when
// present. Waits out another process's line (see LOG_OPEN_TRIES).
static HANDLE openLogFile(LPCWSTR path) {
    for (int attempt = 0;; ++attempt) {
        HANDLE file =
            CreateFileW(path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) return file;
        if (GetLastError() != ERROR_SHARING_VIOLATION || attempt + 1 >= LOG_OPEN_TRIES)
            return INVALID_HANDLE_VALUE;
        std::this_thread::sleep_for(std::chrono::microseconds(LOG_OPEN_PAUSE_US));
    }
}

// The log file's full path for this program, or FALSE when the program is not to log now.
// Called with the lock held.
static BOOL buildLogPath(const LogRule& rule, WCHAR* path, size_t cchPath) {
    WCHAR folder[ZV_INSTALLFOLDER_CCH] = {0};
    switch (rule.folder) {
    case FOLDER_GIVEN:
        if (!logState.folder[0]) return FALSE;
        StringCchCopyW(folder, ZV_INSTALLFOLDER_CCH, logState.folder);
        break;
    case FOLDER_GIVEN_DEFAULT:
        StringCchCopyW(folder, ZV_INSTALLFOLDER_CCH,
                       logState.folder[0] ? logState.folder : ZV_FOLDER_ENGLISH);
        break;
    case FOLDER_LOOKUP:
        if (!findInstallFolder(folder, ZV_INSTALLFOLDER_CCH)) return FALSE;
        break;
    }
    return SUCCEEDED(StringCchPrintfW(path, cchPath, TEXT("%s\\%s"), folder, rule.fileName));
}

int writeLog(const char* text) {
    if (!text) return 0;
    try {
        std::lock_guard<std::mutex> guard(logState.lock);
        const LogRule& rule = logRules[logState.program];
        if (rule.gateInWriter && logState.option == 0 && text[0] != '*') return 0;

        WCHAR path[MAX_PATH];
        if (!buildLogPath(rule, path, MAX_PATH)) return 0;

        HANDLE file = openLogFile(path);
        if (file == INVALID_HANDLE_VALUE) return 0;

        // Past the cap the old lines go: the file is deleted and this line starts a new one.
        DWORD sizeHigh = 0;
        const DWORD size = GetFileSize(file, &sizeHigh);
        if (rule.sizeCap && size != INVALID_FILE_SIZE && (sizeHigh != 0 || size > rule.sizeCap)) {
            CloseHandle(file);
            DeleteFileW(path);
            file = openLogFile(path);
            if (file == INVALID_HANDLE_VALUE) return 0;
        }
        SetFilePointer(file, 0, NULL, FILE_END);

        SYSTEMTIME now;
        GetLocalTime(&now);
        char stamp[32];
        StringCchPrintfA(stamp, sizeof(stamp), "%02d.%02d,%02d:%02d:%02d - ", now.wDay, now.wMonth,
                         now.wHour, now.wMinute, now.wSecond);

        // One write per line, so lines of different writers can only meet at line ends.
        std::string line(stamp);
        line += text;
        line += "\r\n";
        DWORD written = 0;
        const BOOL ok =
            WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, NULL) &&
            written == line.size();
        if (rule.flushBeforeClose) FlushFileBuffers(file);
        CloseHandle(file);
        return ok ? 1 : 0;
    } catch (...) {
        // Nowhere to report a failure of the log itself: the line is dropped.
        return 0;
    }
}

int writeLogFormat(const char* format, ...) {
    if (!format) return 0;
    char line[LOG_FORMAT_BUFFER];
    line[0] = 0;
    va_list args;
    va_start(args, format);
    // A line cut to the buffer is still worth writing.
    StringCchVPrintfA(line, sizeof(line), format, args);
    va_end(args);
    return writeLog(line);
}
