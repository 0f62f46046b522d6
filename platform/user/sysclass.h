// sysclass.h: the system's window classes (the controls, the dialog class, menus and message
// boxes), registered in every process the first time any class is looked up.
//
// Each file that implements a system class registers a function that calls RegisterClassW
// with CS_GLOBALCLASS for its classes:
//
//   void registerButtonClass() { WNDCLASSW wc{CS_GLOBALCLASS, buttonProc, ...}; ... }
//   const ce::user::SystemClassRegistration buttonRegistration(registerButtonClass);
//
// Inside the platform only.
#pragma once

#include "windef.h"

namespace ce::user {

struct SystemClassRegistration {
    explicit SystemClassRegistration(void (*registerClasses)());
};

// Runs every registered function once per process. Called by the class lookup; calls made
// while the registrations run (RegisterClassW looking for duplicates) return at once.
void registerSystemClasses();

// The module the system classes belong to (coredll.dll's handle), for their hInstance.
HINSTANCE systemClassInstance();

} // namespace ce::user
