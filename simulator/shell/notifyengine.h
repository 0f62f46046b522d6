// notifyengine.h: the notification engine inside ceshell: it fires the device's timed
// notifications on the device clock, starts the programs registered for device events, and
// shows the system's reminders (engine_*.cpp).
//
// The engine follows the notification database (platform/notify/notifystore.h) and nothing
// else: any process may add, change or clear notifications, cedev dismisses and snoozes
// reminders by changing the database, and the engine's windows and state values follow.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

// Starts the engine's two threads: the scheduler (waits on the device clock and the database,
// fires what is due, including what fell due while the shell was not running) and the
// reminder thread (its own message loop for the reminder windows). False when it cannot start.
bool startNotificationEngine();
// Stops both threads; the reminders on the screen are taken down, their notifications stay.
void stopNotificationEngine();

namespace ceshell::engine {

// The reminder thread (engine_reminder.cpp): makes its message window, then runs the loop
// until stopReminders(). ready is called once the window exists (with null on failure).
void runReminders(void (*ready)(HWND window));
void stopReminders();
// Asks the reminder thread to bring the screen in line with the database (from any thread).
void refreshReminders();

// Firing (engine_fire.cpp).
// Starts a device program with a command line, or signals the named event that
// "\\.\Notifications\NamedEvents\NAME" stands for. True when it started.
bool startApplication(const std::u16string& application, const std::u16string& commandLine);
// Starts every program registered for a device event.
void fireDeviceEvent(DWORD event);
// Fires the timed notifications that are due at utc; returns the next time one falls due
// (INT64_MAX when none).
int64_t fireDueNotifications(int64_t utc);

} // namespace ceshell::engine
