#pragma once
// Owners of the window side's Win32 resources (Windows build only).

#include <windows.h>
// after windows.h
#include <objbase.h>
#include <shlobj.h>

#include "platform/unique_handle.h"

namespace tarsio {

template <typename T>
struct GdiObjectTraits {
    using Type = T;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { DeleteObject(h); }
};

struct IconTraits {
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { DestroyIcon(h); }
};

struct AcceleratorTraits {
    using Type = HACCEL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { DestroyAcceleratorTable(h); }
};

// Item identifier lists come from the shell's task allocator.
struct PidlTraits {
    using Type = PIDLIST_ABSOLUTE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type p) noexcept { CoTaskMemFree(p); }
};

struct AtomTraits {
    using Type = ATOM;
    static Type Invalid() noexcept { return 0; }
    static void Close(Type a) noexcept { GlobalDeleteAtom(a); }
};

// A successful CoInitialize (S_OK or S_FALSE) is balanced by CoUninitialize.
struct CoInitTraits {
    using Type = bool;
    static Type Invalid() noexcept { return false; }
    static void Close(Type) noexcept { CoUninitialize(); }
};

using UniqueFont = UniqueAny<GdiObjectTraits<HFONT>>;
using UniqueBitmap = UniqueAny<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueAny<GdiObjectTraits<HBRUSH>>;
using UniqueIcon = UniqueAny<IconTraits>;
using UniqueAccelerators = UniqueAny<AcceleratorTraits>;
using UniquePidl = UniqueAny<PidlTraits>;
using UniqueAtom = UniqueAny<AtomTraits>;
using UniqueCoInit = UniqueAny<CoInitTraits>;

inline UniqueCoInit InitializeCom() { return UniqueCoInit(SUCCEEDED(CoInitialize(nullptr))); }

}  // namespace tarsio
