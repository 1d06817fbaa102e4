#include "shelltree/namespace.h"

#include <vector>

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

std::string ToAnsi(const WideString& text) {
    if (text.empty()) return {};
    const int count = static_cast<int>(text.size());
    int n = os::WideCharToMultiByte(CP_ACP, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string ansi(static_cast<std::size_t>(n), '\0');
    os::WideCharToMultiByte(CP_ACP, 0, text.data(), count, ansi.data(), n, nullptr, nullptr);
    return ansi;
}

WideString FromAnsi(const std::string& text) {
    if (text.empty()) return {};
    const int count = static_cast<int>(text.size());
    int n = os::MultiByteToWideChar(CP_ACP, 0, text.data(), count, nullptr, 0);
    if (n <= 0) return {};
    std::vector<WCHAR> wide(static_cast<std::size_t>(n));
    os::MultiByteToWideChar(CP_ACP, 0, text.data(), count, wide.data(), n);
    return WideString(wide.begin(), wide.end());
}

}  // namespace shelltree
