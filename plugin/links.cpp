// links.cpp: the links to other programs.
//
// The links are not built yet; no program is started and no library is loaded.
#include "links.h"

void linkAction(HWND window, LONG link, LONG hold) {
    (void)window;
    (void)link;
    (void)hold;
}

void openOrganiserNote(HWND window, LONG line) {
    (void)window;
    (void)line;
}

void openNotesItem(HWND window, LONG line) {
    (void)window;
    (void)line;
}

void startCompanionAlarm(HWND window, LONG line) {
    (void)window;
    (void)line;
}

void unloadAppointmentDisplay(void) {}
