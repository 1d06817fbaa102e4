// The shell namespace through IShellFolder.

#include <windows.h>
// after windows.h
#include <shlobj.h>
#include <shlwapi.h>

#include <optional>
#include <set>

#include "platform/unique_win32.h"
#include "shelltree/namespace.h"
#include "shelltree/win32/com_ptr.h"

namespace shelltree {
namespace {

using win32::ComPtr;

std::wstring FromStrRet(STRRET& value, PCUITEMID_CHILD child) {
    wchar_t buffer[MAX_PATH * 4];
    if (FAILED(StrRetToBufW(&value, child, buffer, static_cast<UINT>(std::size(buffer))))) return {};
    return buffer;
}

class ShellContextMenuImpl : public ShellContextMenu {
public:
    ShellContextMenuImpl(ComPtr<IContextMenu> menu, HWND owner)
        : menu_(std::move(menu)),
          menu2_(menu_.As<IContextMenu2>()),
          menu3_(menu_.As<IContextMenu3>()),
          owner_(owner),
          popup_(CreatePopupMenu()) {
        if (!popup_) return;
        menu_->QueryContextMenu(popup_.get(), 0, 1, 0x7FFF, CMF_NORMAL);
        Collect(popup_.get());
    }

    HMENU Menu() override { return popup_.get(); }

    std::string Verb(int id) override {
        char verb[129] = {};
        if (SUCCEEDED(
                menu_->GetCommandString(static_cast<UINT_PTR>(id - 1), GCS_VERBA, nullptr, verb, sizeof verb)) &&
            verb[0])
            return verb;
        return "Unknown Command";
    }

    bool IsShellCommand(int id) override { return shellIds_.count(id) > 0; }

    void Invoke(int id) override {
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.hwnd = owner_;
        info.lpVerb = MAKEINTRESOURCEA(id - 1);
        info.nShow = SW_SHOWNORMAL;
        menu_->InvokeCommand(&info);
    }

    bool HandleMenuMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                           std::intptr_t& result) override {
        LRESULT r = 0;
        if (menu3_ && SUCCEEDED(menu3_->HandleMenuMsg2(msg, wParam, lParam, &r))) {
            result = r;
            return true;
        }
        if (menu2_ && SUCCEEDED(menu2_->HandleMenuMsg(msg, wParam, lParam))) {
            result = 0;
            return true;
        }
        return false;
    }

private:
    void Collect(HMENU menu) {
        int count = GetMenuItemCount(menu);
        for (int i = 0; i < count; ++i) {
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_ID | MIIM_SUBMENU;
            if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
            if (info.hSubMenu)
                Collect(info.hSubMenu);
            else if (info.wID)
                shellIds_.insert(static_cast<int>(info.wID));
        }
    }

    ComPtr<IContextMenu> menu_;
    ComPtr<IContextMenu2> menu2_;
    ComPtr<IContextMenu3> menu3_;
    HWND owner_;
    tarsio::UniqueMenu popup_;
    std::set<int> shellIds_;
};

class ShellNamespace : public TNamespace {
public:
    // `parentFolder` is the folder that holds the item.
    ShellNamespace(tarsio::UniquePidl absolute, ComPtr<IShellFolder> parentFolder)
        : absolute_(std::move(absolute)), parentFolder_(std::move(parentFolder)) {
        child_ = ILFindLastID(absolute_.get());
        pidl_.assign(reinterpret_cast<const char*>(absolute_.get()), ILGetSize(absolute_.get()));
    }

    WideString ParsingName() override {
        if (!parsingName_) {
            STRRET value;
            parsingName_ = SUCCEEDED(parentFolder_->GetDisplayNameOf(child_, SHGDN_FORPARSING | SHGDN_FORADDRESSBAR,
                                                                     &value))
                               ? FromStrRet(value, child_)
                               : std::wstring();
        }
        return *parsingName_;
    }
    bool FileSystem() override { return Attributes() & SFGAO_FILESYSTEM; }
    bool Folder() override { return Attributes() & SFGAO_FOLDER; }
    bool HasSubFolders() override { return Attributes() & SFGAO_HASSUBFOLDER; }
    std::string DisplayName() override {
        if (!displayName_) {
            STRRET value;
            displayName_ = SUCCEEDED(parentFolder_->GetDisplayNameOf(child_, SHGDN_INFOLDER, &value))
                               ? ToAnsi(FromStrRet(value, child_))
                               : std::string();
        }
        return *displayName_;
    }
    std::string TypeName() override {
        if (!typeName_) {
            SHFILEINFOW info{};
            // Asking the shell by item costs milliseconds each (it reads the
            // item); a file-system folder or file below a drive root gets its
            // type from its name and kind alone, as the shell derives it.
            std::wstring name = ParsingName();
            if (FileSystem() && name.size() > 3)
                SHGetFileInfoW(name.c_str(), Folder() ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL, &info,
                               sizeof info, SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME);
            else
                SHGetFileInfoW(reinterpret_cast<LPCWSTR>(absolute_.get()), 0, &info, sizeof info,
                               SHGFI_PIDL | SHGFI_TYPENAME);
            typeName_ = ToAnsi(info.szTypeName);
        }
        return *typeName_;
    }
    int IconIndex() override {
        if (!icon_) {
            SHFILEINFOW info{};
            icon_ = SHGetFileInfoW(reinterpret_cast<LPCWSTR>(absolute_.get()), 0, &info, sizeof info,
                                   SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON)
                        ? info.iIcon
                        : -1;
        }
        return *icon_;
    }
    const PidlBytes& AbsolutePIDL() override { return pidl_; }
    void DropCache() override {
        parsingName_.reset();
        displayName_.reset();
        typeName_.reset();
        attributes_.reset();
        icon_.reset();
    }

    std::vector<std::unique_ptr<TNamespace>> EnumerateChildren(unsigned flags) override {
        std::vector<std::unique_ptr<TNamespace>> items;
        ComPtr<IShellFolder> self = Self();
        if (!self) return items;
        ComPtr<IEnumIDList> list;
        if (self->EnumObjects(nullptr, flags, list.put()) != S_OK || !list) return items;
        tarsio::UniqueChildPidl child;
        while (list->Next(1, child.put(), nullptr) == S_OK) {
            tarsio::UniquePidl absolute(ILCombine(absolute_.get(), child.get()));
            if (absolute) items.push_back(std::make_unique<ShellNamespace>(std::move(absolute), self));
        }
        return items;
    }

    int CompareIDs(TNamespace& a, TNamespace& b) override {
        ComPtr<IShellFolder> self = Self();
        if (!self) return 0;
        HRESULT hr = self->CompareIDs(0, static_cast<ShellNamespace&>(a).child_,
                                      static_cast<ShellNamespace&>(b).child_);
        return static_cast<short>(HRESULT_CODE(hr));
    }

    std::unique_ptr<ShellContextMenu> ContextMenu(void* ownerWindow) override {
        ComPtr<IContextMenu> menu;
        PCUITEMID_CHILD children[] = {child_};
        if (FAILED(parentFolder_->GetUIObjectOf(static_cast<HWND>(ownerWindow), 1, children, IID_IContextMenu,
                                                nullptr, menu.put_void())) ||
            !menu)
            return nullptr;
        return std::make_unique<ShellContextMenuImpl>(std::move(menu), static_cast<HWND>(ownerWindow));
    }

private:
    SFGAOF Attributes() {
        if (!attributes_) {
            SFGAOF wanted = SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
            PCUITEMID_CHILD children[] = {child_};
            attributes_ = SUCCEEDED(parentFolder_->GetAttributesOf(1, children, &wanted)) ? wanted : 0;
        }
        return *attributes_;
    }

    ComPtr<IShellFolder> Self() {
        if (!self_) {
            ComPtr<IShellFolder> desktop;
            SHGetDesktopFolder(desktop.put());
            if (ILIsEmpty(absolute_.get()))
                self_ = desktop;
            else
                parentFolder_->BindToObject(child_, nullptr, IID_IShellFolder, self_.put_void());
        }
        return self_;
    }

    tarsio::UniquePidl absolute_;
    PCUITEMID_CHILD child_;  // the last part of absolute_
    ComPtr<IShellFolder> parentFolder_;
    ComPtr<IShellFolder> self_;
    PidlBytes pidl_;
    std::optional<std::wstring> parsingName_;
    std::optional<std::string> displayName_;
    std::optional<std::string> typeName_;
    std::optional<SFGAOF> attributes_;
    std::optional<int> icon_;
};

class ShellProvider : public NamespaceProvider {
public:
    std::unique_ptr<TNamespace> MakeDrivesFolder() override {
        tarsio::UniquePidl drives;
        ComPtr<IShellFolder> desktop;
        if (FAILED(SHGetDesktopFolder(desktop.put())) ||
            FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, drives.put())) || !drives)
            return nullptr;
        return std::make_unique<ShellNamespace>(std::move(drives), desktop);
    }
    bool PIDLsEqual(const PidlBytes& a, const PidlBytes& b) override {
        return ILIsEqual(reinterpret_cast<PCIDLIST_ABSOLUTE>(a.data()),
                         reinterpret_cast<PCIDLIST_ABSOLUTE>(b.data()));
    }
};

}  // namespace

NamespaceProvider& DefaultProvider() {
    static ShellProvider provider;
    return provider;
}

}  // namespace shelltree
