#pragma once
// What the rest of the DLL needs to know about the module it lives in.

#include <windows.h>

#include "framework/handles.h"

namespace standin {

HINSTANCE ModuleInstance();

// Live objects and IClassFactory::LockServer calls keep the DLL loaded.
void LockModule();
void UnlockModule();

// An extra load reference for a thread that may outlive every object.
fw::Module RetainModule();

}  // namespace standin
