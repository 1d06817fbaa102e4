#include "shelltree/namespace.h"

namespace shelltree {
namespace {

NamespaceProvider* g_provider = nullptr;
std::unique_ptr<TNamespace> g_drives;

}  // namespace

// Defined by the build's own provider (IShellFolder or the simulated drives).
NamespaceProvider& DefaultProvider();

NamespaceProvider& Provider() { return g_provider ? *g_provider : DefaultProvider(); }

void SetProvider(NamespaceProvider* provider) {
    g_provider = provider;
    g_drives.reset();
}

TNamespace& DrivesFolder() {
    if (!g_drives) g_drives = Provider().MakeDrivesFolder();
    return *g_drives;
}

void ResetDrivesFolder() { g_drives.reset(); }

bool PIDLsEqual(const PidlBytes& a, const PidlBytes& b) {
    if (a.empty() || b.empty()) return false;
    return Provider().PIDLsEqual(a, b);
}

std::string ToAnsi(const WideString& text) { return tarsio::WideToAnsi(text).value_or(std::string()); }

WideString FromAnsi(const std::string& text) { return tarsio::AnsiToWide(text).value_or(WideString()); }

}  // namespace shelltree
