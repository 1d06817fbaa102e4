#pragma once
// Owners of the window side's Win32 resources (Windows build only).

#include <windows.h>
// after windows.h
#include <objbase.h>
#include <shlobj.h>

#include "platform/unique_handle.h"

namespace tarsio {

// Item identifier lists come from the shell's task allocator.
inline void FreePidl(PIDLIST_ABSOLUTE pidl) noexcept { CoTaskMemFree(pidl); }
inline void Uninitialize(bool) noexcept { CoUninitialize(); }

using UniqueFont = UniqueAny<ZeroInvalidTraits<HFONT, &DeleteObject>>;
using UniqueBitmap = UniqueAny<ZeroInvalidTraits<HBITMAP, &DeleteObject>>;
using UniqueBrush = UniqueAny<ZeroInvalidTraits<HBRUSH, &DeleteObject>>;
using UniqueIcon = UniqueAny<ZeroInvalidTraits<HICON, &DestroyIcon>>;
using UniqueAccelerators = UniqueAny<ZeroInvalidTraits<HACCEL, &DestroyAcceleratorTable>>;
using UniquePidl = UniqueAny<ZeroInvalidTraits<PIDLIST_ABSOLUTE, &FreePidl>>;
using UniqueAtom = UniqueAny<ZeroInvalidTraits<ATOM, &GlobalDeleteAtom>>;
// A successful CoInitialize (S_OK or S_FALSE) is balanced by CoUninitialize.
using UniqueCoInit = UniqueAny<ZeroInvalidTraits<bool, &Uninitialize>>;

inline UniqueCoInit InitializeCom() { return UniqueCoInit(SUCCEEDED(CoInitialize(nullptr))); }

}  // namespace tarsio
