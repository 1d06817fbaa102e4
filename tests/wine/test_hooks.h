#pragma once

namespace tarsio {

// Tarsio-test.exe is Tarsio.exe plus these hooks, which install themselves
// when the program starts; the shipped Tarsio.exe holds none of them. The
// main window answers a test driver's WM_COPYDATA request (dwData
// kTestHookRequest, text "menu PATH") by writing its menu, as Windows holds
// it, to the file PATH: one line per entry, kMenuLineFormat. Menus cannot be
// read from another process. "info SOURCE|TARGET" shows the junction
// information dialog with these texts, which Wine cannot otherwise show,
// since it makes no junctions. "resources PATH" writes the process's GDI and
// USER object counts (kResourceLineFormat); "resources-check PATH" writes
// them twice, the second time with one more brush and one more menu made.
inline constexpr unsigned long kTestHookRequest = 0x7A510001;

// depth|id|state|text, then "|image" for an entry with a bitmap.
inline constexpr char kMenuLineFormat[] = "%d|%u|0x%X|%s%s\n";

// method|gdi|user|accelerator tables among user (-1: not told apart)
inline constexpr char kResourceLineFormat[] = "%s|%ld|%ld|%ld\n";

}  // namespace tarsio
