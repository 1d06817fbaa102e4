#pragma once

namespace tarsio {

// Detaches from the console and runs the main window until it ends.
int RunWindowMode();

}  // namespace tarsio
