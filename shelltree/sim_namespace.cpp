#include "shelltree/sim_namespace.h"

#include <algorithm>
#include <map>

#include "platform/paths.h"
#include "platform/unique_handle.h"
#include "shelltree/headless_view.h"

namespace shelltree {
namespace {

constexpr const char* kDrivesPidl = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

class SimContextMenu : public ShellContextMenu {
public:
    explicit SimContextMenu(std::string path) : path_(std::move(path)), menu_(os::CreatePopupMenu()) {
        HMENU menu = menu_.get();
        os::AppendMenuA(menu, MF_STRING, 1, "&Open");
        os::AppendMenuA(menu, MF_STRING, 2, "E&xplore");
        os::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        tarsio::UniqueMenu sendTo(os::CreatePopupMenu());
        os::AppendMenuA(sendTo.get(), MF_STRING, 3, "Desktop (create shortcut)");
        // The menu owns its submenu once appended.
        if (os::AppendMenuA(menu, MF_POPUP, reinterpret_cast<ULONG_PTR>(sendTo.get()), "Se&nd To")) sendTo.release();
        os::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        os::AppendMenuA(menu, MF_STRING, 4, "&Copy");
        os::AppendMenuA(menu, MF_STRING, 5, "P&roperties");
    }

    HMENU Menu() override { return menu_.get(); }
    std::string Verb(int id) override {
        static const std::map<int, std::string> verbs = {
            {1, "open"}, {2, "explore"}, {3, "sendto"}, {4, "copy"}, {5, "properties"}};
        auto it = verbs.find(id);
        return it == verbs.end() ? "Unknown Command" : it->second;
    }
    bool IsShellCommand(int id) override { return id >= 1 && id <= 5; }
    void Invoke(int id) override { SimShellCommandsRun().push_back(Verb(id) + " " + path_); }

private:
    std::string path_;
    tarsio::UniqueMenu menu_;
};

class SimNamespace : public TNamespace {
public:
    enum class Sort { Drives, Drive, Entry, Virtual };

    SimNamespace(Sort sort, std::string path, bool directory, bool hidden = false)
        : sort_(sort), path_(std::move(path)), directory_(directory), hidden_(hidden) {
        pidl_ = sort_ == Sort::Drives ? kDrivesPidl : path_;
    }

    WideString ParsingName() override { return FromAnsi(sort_ == Sort::Drives ? kDrivesPidl : path_); }
    bool FileSystem() override { return sort_ == Sort::Drive || sort_ == Sort::Entry; }
    bool Folder() override { return sort_ != Sort::Entry || directory_; }
    bool HasSubFolders() override {
        if (sort_ == Sort::Drives) return true;
        if (!FileSystem() || !directory_) return false;
        for (const auto& child : EnumerateChildren(kEnumFolders | kEnumHidden))
            if (child->Folder()) return true;
        return false;
    }
    std::string DisplayName() override {
        switch (sort_) {
            case Sort::Drives: return "My Computer";
            case Sort::Virtual: return "Control Panel";
            case Sort::Drive: return TypeName() + " (" + path_.substr(0, 2) + ")";
            case Sort::Entry: break;
        }
        return path_.substr(path_.find_last_of('\\') + 1);
    }
    std::string TypeName() override {
        switch (sort_) {
            case Sort::Drives: return "System Folder";
            case Sort::Virtual: return "System Folder";
            case Sort::Drive: {
                static const std::map<UINT, std::string> kinds = {{DRIVE_REMOVABLE, "Removable Disk"},
                                                                  {DRIVE_FIXED, "Local Disk"},
                                                                  {DRIVE_REMOTE, "Network Drive"},
                                                                  {DRIVE_CDROM, "CD Drive"},
                                                                  {DRIVE_RAMDISK, "RAM Disk"}};
                auto it = kinds.find(os::GetDriveTypeA(path_.substr(0, 3).c_str()));
                return it == kinds.end() ? "Drive" : it->second;
            }
            case Sort::Entry: break;
        }
        if (directory_) return "File folder";
        std::string name = DisplayName();
        std::size_t dot = name.find_last_of('.');
        return dot == std::string::npos ? "File" : Upper(name.substr(dot + 1)) + " File";
    }
    int IconIndex() override { return -1; }
    const PidlBytes& AbsolutePIDL() override { return pidl_; }
    void DropCache() override {}

    std::vector<std::unique_ptr<TNamespace>> EnumerateChildren(unsigned flags) override {
        std::vector<std::unique_ptr<TNamespace>> items;
        if (sort_ == Sort::Drives) {
            for (char letter = 'A'; letter <= 'Z'; ++letter) {
                std::string root = std::string(1, letter) + ":\\";
                if (os::GetDriveTypeA(root.c_str()) != DRIVE_NO_ROOT_DIR)
                    items.push_back(std::make_unique<SimNamespace>(Sort::Drive, root, true));
            }
            items.push_back(std::make_unique<SimNamespace>(Sort::Virtual, kSimControlPanel, true));
            return items;
        }
        if (!FileSystem()) return items;
        std::string prefix = path_.back() == '\\' ? path_ : path_ + "\\";
        WIN32_FIND_DATAW data;
        tarsio::UniqueFindHandle find(
            tarsio::paths::FindFirstFileExW(prefix + "*", FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
        if (!find) return items;
        do {
            // A name without an 8-bit form has no path to show: the shell's
            // tree leaves it out too (shelltree::ToAnsi).
            std::optional<std::string> converted = tarsio::WideToAnsi(data.cFileName);
            if (!converted) continue;
            const std::string& name = *converted;
            if (name == "." || name == "..") continue;
            bool dir = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            bool hidden = data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN;
            if (hidden && !(flags & kEnumHidden)) continue;
            if (dir ? !(flags & kEnumFolders) : !(flags & kEnumNonFolders)) continue;
            items.push_back(std::make_unique<SimNamespace>(Sort::Entry, prefix + name, dir, hidden));
        } while (os::FindNextFileW(find.get(), &data));
        return items;
    }

    int CompareIDs(TNamespace& a, TNamespace& b) override {
        std::string x = Upper(ToAnsi(a.ParsingName())), y = Upper(ToAnsi(b.ParsingName()));
        return x < y ? -1 : (x > y ? 1 : 0);
    }

    std::unique_ptr<ShellContextMenu> ContextMenu(void*) override { return std::make_unique<SimContextMenu>(path_); }

private:
    Sort sort_;
    std::string path_;
    bool directory_;
    bool hidden_;
    PidlBytes pidl_;
};

}  // namespace

std::unique_ptr<TNamespace> SimNamespaceProvider::MakeDrivesFolder() {
    return std::make_unique<SimNamespace>(SimNamespace::Sort::Drives, std::string(), true);
}

std::vector<std::string>& SimShellCommandsRun() {
    static std::vector<std::string> commands;
    return commands;
}

NamespaceProvider& DefaultProvider() {
    static SimNamespaceProvider provider;
    return provider;
}

std::unique_ptr<TreeView> MakeDefaultView(TVirtualExplorerTree&) { return std::make_unique<HeadlessTreeView>(); }

void* CreateNativeView(TVirtualExplorerTree&, void*, int) { return nullptr; }

}  // namespace shelltree
