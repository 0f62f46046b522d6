// comclass.h: the platform's in-process class table, seen from inside the platform.
//
// Every COM class of the device is built into libceplatform.so. A class registers a factory
// function under its CLSID (from a static initializer of the file that implements it);
// CoCreateInstance looks the CLSID up here.
#pragma once

#include "objbase.h"

namespace ce::com {

// Creates a new object of the class and returns its interface riid in *ppv (AddRef'ed).
using ClassFactory = HRESULT (*)(REFIID riid, void** ppv);

// Adds a class to the table; a later registration of the same CLSID replaces the earlier one.
void registerClass(const CLSID& clsid, ClassFactory factory);

// Registers a class at load time: static const ClassRegistration reg(CLSID_X, createX);
struct ClassRegistration {
    ClassRegistration(const CLSID& clsid, ClassFactory factory) { registerClass(clsid, factory); }
};

// Whether the calling thread has entered COM (CoInitializeEx without its CoUninitialize).
bool threadInCom();

} // namespace ce::com
