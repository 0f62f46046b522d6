// alarmnote.cpp: the alarmNote editor.
//
// Not built yet: the dialog does not open.
#include "alarmnote.h"

void alarmNoteDialog(HWND, LONG) {}
