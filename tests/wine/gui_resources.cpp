#include "tests/wine/gui_resources.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace tarsio {
namespace {

#pragma pack(push, 1)
struct GdiTableEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;  // type in the low bits, 0x80: a stock object
    std::uint8_t type;     // 0: a free entry
    std::uint8_t flags;
    std::uint64_t user;
};
#pragma pack(pop)
static_assert(sizeof(GdiTableEntry) == 24);

constexpr int kGdiTableEntries = 0x10000;
constexpr std::size_t kPebGdiTableOffset = 0xF8;  // PEB.GdiSharedHandleTable, 64-bit
constexpr std::uintptr_t kFirstUserHandle = 0x20, kLastUserHandle = 0xFFEF;

// TEB.ProcessEnvironmentBlock, at gs:0x60 on 64-bit (NtCurrentTeb's
// intrinsic trips GCC's array-bounds warning).
const unsigned char* Peb() {
    const unsigned char* peb;
    __asm__("movq %%gs:0x60, %0" : "=r"(peb));
    return peb;
}

long CountGdiTable() {
    const unsigned char* peb = Peb();
    const auto* table = *reinterpret_cast<const GdiTableEntry* const*>(peb + kPebGdiTableOffset);
    if (!table) return -1;
    long count = 0;
    for (int i = 0; i < kGdiTableEntries; ++i)
        if (table[i].type && !(table[i].unique & 0x80)) ++count;
    return count;
}

bool IsOwnWindow(HWND hwnd) {
    DWORD pid = 0;
    return IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, &pid) && pid == GetCurrentProcessId();
}

bool IsIcon(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return false;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return true;
}

// All USER objects counted, and the accelerator tables among them.
void CountUserHandles(long& all, long& accelerators) {
    all = accelerators = 0;
    for (std::uintptr_t h = kFirstUserHandle; h <= kLastUserHandle; h += 2) {
        auto handle = reinterpret_cast<HANDLE>(h);
        bool accelerator = CopyAcceleratorTableA(static_cast<HACCEL>(handle), nullptr, 0) > 0;
        accelerators += accelerator;
        all += accelerator || IsOwnWindow(static_cast<HWND>(handle)) || IsMenu(static_cast<HMENU>(handle)) ||
               IsIcon(static_cast<HICON>(handle));
    }
}

}  // namespace

GuiResourceCount CountGuiResources() {
    DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (gdi || user) return {"GetGuiResources", static_cast<long>(gdi), static_cast<long>(user), -1};
    // GDI first: probing icons with GetIconInfo makes bitmaps.
    GuiResourceCount count{"handle tables", CountGdiTable(), 0, 0};
    CountUserHandles(count.user, count.accelerators);
    return count;
}

}  // namespace tarsio
