#pragma once
// Owners of the window side's Win32 resources (Windows build only).

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/unique_handle.h"

namespace tarsio {

// Item identifier lists come from the shell's task allocator.
inline void FreePidl(PIDLIST_ABSOLUTE pidl) noexcept { CoTaskMemFree(pidl); }
inline void FreeChildPidl(PITEMID_CHILD pidl) noexcept { CoTaskMemFree(pidl); }
inline void Uninitialize(bool) noexcept { CoUninitialize(); }

using UniqueFont = UniqueAny<ZeroInvalidTraits<HFONT, &DeleteObject>>;
using UniqueBrush = UniqueAny<ZeroInvalidTraits<HBRUSH, &DeleteObject>>;
using UniqueRegion = UniqueAny<ZeroInvalidTraits<HRGN, &DeleteObject>>;
using UniqueDC = UniqueAny<ZeroInvalidTraits<HDC, &DeleteDC>>;  // a memory DC (CreateCompatibleDC)
using UniqueIcon = UniqueAny<ZeroInvalidTraits<HICON, &DestroyIcon>>;
using UniqueAccelerators = UniqueAny<ZeroInvalidTraits<HACCEL, &DestroyAcceleratorTable>>;
using UniqueImageList = UniqueAny<ZeroInvalidTraits<HIMAGELIST, &ImageList_Destroy>>;
using UniquePidl = UniqueAny<ZeroInvalidTraits<PIDLIST_ABSOLUTE, &FreePidl>>;
using UniqueChildPidl = UniqueAny<ZeroInvalidTraits<PITEMID_CHILD, &FreeChildPidl>>;
using UniqueAtom = UniqueAny<ZeroInvalidTraits<ATOM, &GlobalDeleteAtom>>;
// A successful CoInitialize (S_OK or S_FALSE) is balanced by CoUninitialize.
using UniqueCoInit = UniqueAny<ZeroInvalidTraits<bool, &Uninitialize>>;

inline UniqueCoInit InitializeCom() { return UniqueCoInit(SUCCEEDED(CoInitialize(nullptr))); }

// A window's device context (GetDC), given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

}  // namespace tarsio
