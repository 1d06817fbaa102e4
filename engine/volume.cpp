#include "engine/volume.h"

#include "platform/os.h"

namespace tarsio {

bool IsDevicePath(const std::string& path) { return path.compare(0, 4, "\\\\.\\") == 0; }

bool VolumeSupportsReparsePoints(const std::string& root) {
    // GetVolumeInformationA wants the root directory with its backslash.
    std::string name = root;
    if (name.size() == 2 && name[1] == ':') name += '\\';
    DWORD maxComponentLength = 0;
    DWORD flags = 0;
    if (!os::GetVolumeInformationA(name.c_str(), nullptr, 0, nullptr, &maxComponentLength, &flags, nullptr, 0))
        return false;
    return (flags & FILE_SUPPORTS_REPARSE_POINTS) != 0;
}

}  // namespace tarsio
