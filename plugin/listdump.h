// listdump.h: a diagnostic for the device's tools: on a registered message the item writes the
// list it shows into \Temp\ZolvaneList.txt, one line per item, so that `cedev today list` can
// print exactly what the Today screen shows.
#pragma once

#include <windows.h>

// "ZolvaneListDump", registered when the window is made.
extern UINT listDumpMessage;
void registerListDumpMessage(void);
// Writes the list; TRUE when the file was written.
BOOL writeListDump(void);
