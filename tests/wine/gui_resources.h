#pragma once
// The process's own count of GDI and USER objects, for a leak test.

namespace tarsio {

struct GuiResourceCount {
    const char* method;  // "GetGuiResources" or "handle tables"
    long gdi;
    long user;
    long accelerators;  // among the USER objects; -1 where not told apart
};

// GetGuiResources when the system answers it (Windows). Wine 8 does not: it
// returns 0 with ERROR_CALL_NOT_IMPLEMENTED for both kinds, so there the
// objects are counted in the process's own handle tables instead:
// - GDI: the GDI handle table that Wine keeps per process and publishes as
//   PEB->GdiSharedHandleTable (0x10000 entries of 24 bytes, laid out as
//   Windows' own: object pointer, owner, unique word with the stock flag
//   0x80, type byte). Used entries that are not stock objects are counted.
//   Wine leaves the owner's process id 0: the table is this process's only.
// - USER: each USER handle slot (0x20 + 2 * index, high word 0, which Wine
//   matches to any generation) probed by type: windows of this process
//   (IsWindow), menus (IsMenu), icons and cursors (GetIconInfo) and
//   accelerator tables (CopyAcceleratorTable), these also told apart: Wine
//   8's file dialogs leave one accelerator table per dialog shown (a bare
//   GetOpenFileNameA in a program of its own does the same). Hooks and
//   window-position structures are not counted.
GuiResourceCount CountGuiResources();

}  // namespace tarsio
