#pragma once
// Shell items for the folder trees. A TNamespace stands for one item of the
// shell namespace (a drive, a folder, a file or a virtual item); a provider
// makes the drives folder, from which everything else is enumerated. The
// Windows build uses IShellFolder; the native build a namespace made from
// the simulated drives.

#include <memory>
#include <string>
#include <vector>

#include "platform/ansi.h"
#include "platform/os.h"

namespace shelltree {

using tarsio::WideString;

// An absolute item identifier list, kept as its bytes; empty is none.
using PidlBytes = std::string;

// IShellFolder::EnumObjects flags.
inline constexpr unsigned kEnumFolders = 0x20;     // SHCONTF_FOLDERS
inline constexpr unsigned kEnumNonFolders = 0x40;  // SHCONTF_NONFOLDERS
inline constexpr unsigned kEnumHidden = 0x80;      // SHCONTF_INCLUDEHIDDEN

// The program's 8-bit path string of a wide parsing name and back, through
// the program's one pair of conversions (platform/ansi.h): a name that has no
// exact form gives an empty text, with the last error set, so that every
// file test on it fails and nothing acts on a look-alike.
std::string ToAnsi(const WideString& text);
WideString FromAnsi(const std::string& text);

// The shell's context menu for one item.
class ShellContextMenu {
public:
    virtual ~ShellContextMenu() = default;
    // The popup menu, filled with the shell's entries (identifiers 1 to 0x7FFF).
    virtual HMENU Menu() = 0;
    // The verb of an entry, "Unknown Command" when the shell gives none.
    virtual std::string Verb(int id) = 0;
    // Whether the shell put an entry with this identifier into the menu.
    virtual bool IsShellCommand(int id) = 0;
    virtual void Invoke(int id) = 0;
    // Menu messages the shell wants while its menu is open (owner-drawn
    // submenus); true when it took the message.
    virtual bool HandleMenuMessage(unsigned /*msg*/, std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/,
                                   std::intptr_t& /*result*/) {
        return false;
    }
};

class TNamespace {
public:
    virtual ~TNamespace() = default;

    // The item's parsing name: a file-system item's full path (a drive root
    // "C:\", a folder without trailing backslash).
    virtual WideString ParsingName() = 0;
    virtual bool FileSystem() = 0;          // SFGAO_FILESYSTEM
    virtual bool Folder() = 0;              // SFGAO_FOLDER
    virtual bool HasSubFolders() = 0;       // SFGAO_HASSUBFOLDER
    virtual std::string DisplayName() = 0;  // the caption within its folder
    virtual std::string TypeName() = 0;     // the shell's type description
    virtual int IconIndex() = 0;            // small icon in the system image list, -1 none
    virtual const PidlBytes& AbsolutePIDL() = 0;
    // Drops the cached names and attributes.
    virtual void DropCache() = 0;

    // The items of this folder that the flags ask for.
    virtual std::vector<std::unique_ptr<TNamespace>> EnumerateChildren(unsigned flags) = 0;
    // This folder's own order of two of its items (IShellFolder::CompareIDs, column 0).
    virtual int CompareIDs(TNamespace& a, TNamespace& b) = 0;
    // The shell context menu of this item; nullptr when it has none.
    virtual std::unique_ptr<ShellContextMenu> ContextMenu(void* ownerWindow) = 0;

    TNamespace* Parent() const { return parent_; }
    void SetParent(TNamespace* parent) { parent_ = parent; }

private:
    TNamespace* parent_ = nullptr;
};

class NamespaceProvider {
public:
    virtual ~NamespaceProvider() = default;
    // A new namespace for the shell's drives folder (CSIDL_DRIVES).
    virtual std::unique_ptr<TNamespace> MakeDrivesFolder() = 0;
    // The shell's comparison of two absolute identifier lists; false if
    // either is none.
    virtual bool PIDLsEqual(const PidlBytes& a, const PidlBytes& b) = 0;
};

// The provider of this build; tests may install another.
NamespaceProvider& Provider();
void SetProvider(NamespaceProvider* provider);

// The global namespace of the drives folder, made on first use.
TNamespace& DrivesFolder();
// Forgets DrivesFolder, so that the next use makes it from the current provider.
void ResetDrivesFolder();

bool PIDLsEqual(const PidlBytes& a, const PidlBytes& b);

}  // namespace shelltree
