// alarmnote.h: the alarmNote editor: handwritten notes with an alarm.
#pragma once

#include <windows.h>

// The alarmNote dialog for a line of the list (-1: a new note).
void alarmNoteDialog(HWND window, LONG line);
