// The handle table of the simulated platform, sharing between handles, and
// what it remembers while a listing is open.

#include <sys/stat.h>

#include <unordered_map>
#include <utility>

#include "platform/sim/core.h"
#include "platform/sim/sim.h"
#include "platform/sim/winpath.h"

namespace sim {
namespace {

struct HandleTable {
    std::unordered_map<std::uintptr_t, FileObject> files;
    std::unordered_map<std::uintptr_t, Listing> listings;
    std::uintptr_t next = 0x1000;
};

HandleTable& Handles() {
    static HandleTable t;
    return t;
}

// Files and listings share one run of handle values.
template <typename T>
HANDLE Add(std::unordered_map<std::uintptr_t, T>& table, T object) {
    std::uintptr_t h = Handles().next;
    Handles().next += 4;
    table.emplace(h, std::move(object));
    return reinterpret_cast<HANDLE>(h);
}

template <typename T>
T* Find(std::unordered_map<std::uintptr_t, T>& table, HANDLE h) {
    auto it = table.find(reinterpret_cast<std::uintptr_t>(h));
    return it == table.end() ? nullptr : &it->second;
}

std::uint64_t g_generation = 1;
std::optional<Listing> g_closedListing;

}  // namespace

HANDLE AddFile(FileObject object) { return Add(Handles().files, std::move(object)); }

HANDLE AddListing(Listing listing) { return Add(Handles().listings, std::move(listing)); }

FileObject* FindFile(HANDLE h) { return Find(Handles().files, h); }

Listing* FindListing(HANDLE h) { return Find(Handles().listings, h); }

bool RemoveFile(HANDLE h) { return Handles().files.erase(reinterpret_cast<std::uintptr_t>(h)) > 0; }

bool RemoveListing(HANDLE h) {
    auto& listings = Handles().listings;
    auto node = listings.extract(reinterpret_cast<std::uintptr_t>(h));
    if (node.empty()) return false;
    if (listings.empty()) {
        Changed();
    } else if (node.mapped().generation == g_generation && HasWildcards(node.mapped().pattern)) {
        g_closedListing = std::move(node.mapped());
    } else {
        g_closedListing.reset();
    }
    return true;
}

void Changed() {
    ++g_generation;
    g_closedListing.reset();
}

std::uint64_t Generation() { return g_generation; }

bool Remembering() { return !Handles().listings.empty(); }

const Entry* KnownEntry(std::string_view host) {
    if (const Entry* listed = ListedDirectory(host)) return listed;
    for (const auto& [h, l] : Handles().listings) {
        if (l.generation != g_generation || l.next == 0) continue;
        const std::string& dir = l.hostDir;
        if (host.size() <= dir.size() + 1 || host[dir.size()] != '/' || host.compare(0, dir.size(), dir) != 0)
            continue;
        std::size_t i = l.next - 1;
        if (!l.hostNames[i].empty() && host.substr(dir.size() + 1) == l.hostNames[i]) return &l.entries[i];
    }
    return nullptr;
}

std::optional<Listing> TakeClosedListing(const std::string& hostDir, const std::string& pattern) {
    std::optional<Listing> taken;
    if (g_closedListing && Remembering() && g_closedListing->generation == g_generation &&
        g_closedListing->hostDir == hostDir && g_closedListing->pattern == pattern)
        taken.swap(g_closedListing);
    g_closedListing.reset();
    return taken;
}

bool SharingAllows(dev_t dev, ino_t ino, DWORD access, DWORD share) {
    bool newRead = access & GENERIC_READ, newWrite = access & GENERIC_WRITE;
    for (const auto& [h, o] : Handles().files) {
        if (o.dev != dev || o.ino != ino) continue;
        bool oldRead = o.access & GENERIC_READ, oldWrite = o.access & GENERIC_WRITE;
        if ((newRead && !(o.share & FILE_SHARE_READ)) || (newWrite && !(o.share & FILE_SHARE_WRITE))) return false;
        if ((oldRead && !(share & FILE_SHARE_READ)) || (oldWrite && !(share & FILE_SHARE_WRITE))) return false;
    }
    return true;
}

bool DeleteBlocked(const std::string& host) {
    struct stat st;
    if (::lstat(HostArg(host).c_str(), &st) != 0) return false;
    for (const auto& [h, o] : Handles().files) {
        if (o.dev == st.st_dev && o.ino == st.st_ino && (o.access & (GENERIC_READ | GENERIC_WRITE)) &&
            !(o.share & FILE_SHARE_DELETE))
            return true;
    }
    return false;
}

int OpenHandleCount() { return static_cast<int>(Handles().files.size() + Handles().listings.size()); }

}  // namespace sim
