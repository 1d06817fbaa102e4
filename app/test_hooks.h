#pragma once

namespace tarsio {

// With TARSIO_TEST_HOOKS set in the environment, the main window answers a
// test driver's WM_COPYDATA request (dwData kTestHookRequest, text "menu
// PATH") by writing its menu, as Windows holds it, to the file PATH: one
// line per entry, "depth|id|state|text". Menus cannot be read from another
// process. "info SOURCE|TARGET" shows the junction information dialog with
// these texts, which Wine cannot otherwise show, since it makes no
// junctions. Without the variable nothing is installed.
void InstallTestHooks();

inline constexpr unsigned long kTestHookRequest = 0x7A510001;

}  // namespace tarsio
