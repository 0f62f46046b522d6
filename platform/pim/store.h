// store.h: the device's PIM store (pim.db): appointments, tasks and contacts on SQLite, shared
// by every process of the device.
//
// The object model (poom_*.cpp), cedev pim and the device's calendar programs all go through
// these functions, so that every change keeps the item's reminder notification current and
// reaches the windows that asked for change notifications, whoever made it.
//
// Object identifiers are 32-bit numbers handed out from a counter that only grows: a deleted
// item's identifier is never given to another item, so a stale identifier in a notification
// or a registry value can only miss, never land on the wrong item.
//
// Inside the platform only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pim/item.h"
#include "windef.h"

namespace ce::pim {

// The store's file of the attached device ("pim.db" in the device folder).
std::string storePath();

// Every item of a kind, recurring series once each, in the order they were created.
bool loadItems(Kind kind, std::vector<Item>* out);
// The appointments that may start in [lo, hi) (local time): every recurring series, and the
// single appointments stored within a day of the range (the store's UTC and the local time
// differ by less than that); the caller filters exactly.
bool loadAppointmentsNear(int64_t lo, int64_t hi, std::vector<Item>* out);
// One item by identifier; false when there is none.
bool loadItem(uint32_t oid, Item* out);

// Saves an item: a new one (oid 0) gets its identifier; an existing one is replaced. Then the
// item's reminder notification is brought up to date and the change is posted to the windows
// that watch its folder (created or changed). S_OK, or E_FAIL when the store cannot be written,
// E_INVALIDARG for an item that cannot be stored (an appointment without start, an end before
// the start, a recurrence rule that does not parse).
HRESULT saveItem(Item& item);
// Deletes an item with its reminder and tells the watchers. E_INVALIDARG when there is none.
HRESULT deleteItem(uint32_t oid);
// Records the user notification of an item's reminder (reminders.cpp); no change is posted.
bool setNotification(uint32_t oid, uint32_t handle);

// Change notifications: the window receives PIM_ITEM_*_LOCAL messages for changes of the
// folder (flags PIMFOLDERNOTIFICATION_LOCAL and/or _REMOTE; 0 removes the registration).
bool watchFolder(HWND hwnd, int folder, uint32_t flags);
// The folder's notification flags for the window (0 when it does not watch it).
uint32_t watchedFlags(HWND hwnd, int folder);
// Removes every registration of the window (Logoff).
void unwatchWindow(HWND hwnd);

// Posts a change message (PIM_ITEM_CREATED_LOCAL ...) for an item of the folder to every
// window that watches it, removing registrations of windows and processes that are gone.
void postChange(int folder, uint32_t oid, UINT localMessage);

// The categories used by the items of a folder, as one comma-separated list
// (PIMPR_FOLDER_CATEGORIES), each name once, in the order first met.
std::u16string folderCategories(int folder);

// Closes this process's connection (tests switching devices; a forked child reopens anyway).
void closeStore();

} // namespace ce::pim
