// log.h: the diagnostic log that every program of the product writes into the installation
// folder. One implementation serves all six programs; each program says at start which one it
// is (setLogProgram), and that choice fixes the log file, whether the writer itself filters
// lines by loggingOption, the size cap, and where the folder comes from:
//
//   program        file              gate in the writer             cap      folder
//   Zolvane        Zolvane.log       none (callers test the bits)   50000    settings load
//   zvSettings     Zolvane.log       none (callers test the bits)   50000    settings load
//   zvHost         zvHost.log        option != 0 or text "*..."     50000    setLogFolder,
//                                                                            else the default
//   zvNotes        Zolvane_AN.log    none                           200000   looked up per line
//   zvWakeup       zvWakeup.log      option != 0 or text "*..."     200000   looked up per line
//   zvCleanup      zvWakeup.log      none                           200000   looked up per line
//
// Error and exception texts begin with "** ", so the gated programs always log them.
#pragma once

#include <windows.h>

enum LogProgram {
    LOG_PLUGIN = 0, // the Today item library Zolvane (the default until a program says)
    LOG_SETTINGS,
    LOG_HOST,
    LOG_NOTES,
    LOG_WAKEUP,
    LOG_CLEANUP,
    LOG_PROGRAM_COUNT
};

// The bits of loggingOption: "log bit 1", "log bit 2" and "log bit 4" of the product's texts.
#define LOG_BASIC  0x1 // basic level
#define LOG_DETAIL 0x2 // detail level
#define LOG_SIGNAL 0x4 // notification and reload traffic

// A log file larger than this is deleted and started anew with the current line.
#define LOG_SIZE_CAP 50000
// zvNotes, zvWakeup and zvCleanup keep their logs longer, but not without end: a device has
// little storage, and nothing else ever trims these files.
#define LOG_SIZE_CAP_LONG 200000

// Says which program this process is; call once at start, before the first line.
void setLogProgram(LogProgram program);

// The installation folder the log lives in, for the plug-in and the settings program (handed
// over by loadSettings) and for zvHost (which reads InstallDir itself). An empty folder means
// no logging in the plug-in and the settings program, and the default folder in zvHost.
void setLogFolder(LPCWSTR folder);

// loggingOption as this process knows it: loadSettings hands it over, and the programs that do
// not load the settings (zvHost, zvNotes, zvWakeup) set it from their own read.
void setLogOption(DWORD option);
DWORD getLogOption(void);
// Whether a line of the given bit (LOG_BASIC, LOG_DETAIL, LOG_SIGNAL) is to be written.
BOOL logBit(DWORD bit);

// Appends one line to the program's log: "DD.MM,hh:mm:ss - " in local time, the 8-bit text
// unchanged, then "\r\n". Each line is one open-append-close cycle, safe from any thread.
// Returns 1 when the line was written, 0 when it was filtered out or could not be written.
int writeLog(const char* text);

// Formats a line with the device's Windows conversions (wide texts go in with %S) into a
// buffer of 1024 bytes, cut to fit, and writes it with writeLog. The format is always a
// constant of the caller, never data.
int writeLogFormat(const char* format, ...);
