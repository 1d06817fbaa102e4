#pragma once
// Device-path and volume checks. Neither fails: every problem the platform
// reports is a false answer.

#include <string>

namespace tarsio {

// True if the text begins with the four characters "\\.\".
bool IsDevicePath(const std::string& path);

// True if the volume reports FILE_SUPPORTS_REPARSE_POINTS. "C:" names the
// root of drive C, as does "C:\".
bool VolumeSupportsReparsePoints(const std::string& root);

}  // namespace tarsio
