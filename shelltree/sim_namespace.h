#pragma once
// The shell namespace of the native build, made from the simulated drives:
// the drives folder lists every letter with a drive (and one virtual item,
// as the real one lists Control Panel); a drive or folder lists its entries
// as a listing gives them.

#include <string>
#include <vector>

#include "shelltree/namespace.h"

namespace shelltree {

class SimNamespaceProvider : public NamespaceProvider {
public:
    std::unique_ptr<TNamespace> MakeDrivesFolder() override;
    bool PIDLsEqual(const PidlBytes& a, const PidlBytes& b) override { return a == b; }
};

// Parsing name of the virtual item in the drives folder.
inline constexpr const char* kSimControlPanel = "::{21EC2020-3AEA-1069-A2DD-08002B30309D}";

// Shell commands run from simulated context menus: "verb path".
std::vector<std::string>& SimShellCommandsRun();

}  // namespace shelltree
