#pragma once
// Internals shared by the simulated platform's translation units.

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/win_types.h"
#include "platform/sim/winpath.h"

namespace sim {

// Where a drive with the Xattr backing keeps reparse data and attributes.
inline constexpr const char* kReparseAttr = "user.reparse";
inline constexpr const char* kAttribAttr = "user.attrib";
// The attribute bits SetFileAttributesA keeps.
inline constexpr DWORD kStoredAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                           FILE_ATTRIBUTE_ARCHIVE;
inline constexpr DWORD kMountPointTag = 0xA0000003;
// NTFS follows at most 63 reparse points while opening one name.
inline constexpr int kMaxReparseHops = 63;
inline constexpr std::size_t kMaxReparseSize = 16384;
// CreateDirectory's limit for names the call makes full (MAX_PATH - 12).
inline constexpr std::size_t kMaxDirectoryPath = 248;
// The longest name a call takes ("\\?\" names of the W calls), and the
// longest component NTFS holds, in UTF-16 code units.
inline constexpr std::size_t kMaxNameUnits = 32767;
inline constexpr std::size_t kMaxComponentUnits = 255;

void SetError(DWORD error);

// Records an entry into a call that can fail; true when an injected fault
// fires, with the last error already set.
bool Enter(std::string_view call, std::string_view path = {});
// The same for a call that releases a handle: only faults set by its name
// fire, and it stays out of the call log and of FailNthCall's count, so a
// sweep over the calls that can fail on the way leaves it alone.
bool EnterRelease(std::string_view call);

std::string SimRoot();
std::string CurrentDirectory();

// How a drive keeps on the host what the host file system has no place for.
enum class Backing {
    Xattr,   // any host folder: the extended attributes user.reparse and user.attrib
    Ntfs3g,  // a folder on an ntfs-3g mount: the volume's own reparse data and attributes
};

struct DriveInfo {
    bool exists = false;     // the letter names a drive at all
    bool hasMedium = false;  // its root directory exists on the host
    UINT type = DRIVE_NO_ROOT_DIR;
    std::string fileSystem;  // "NTFS" unless the .drive file says otherwise
    Backing backing = Backing::Xattr;
};
DriveInfo QueryDrive(char letter);
// QueryDrive(letter).fileSystem, without looking at the drive's root.
std::string DriveFileSystem(char letter);
std::string DriveHostPath(char letter);
// The serial number GetVolumeInformationA gives for the drive.
DWORD VolumeSerial(char letter);
// The drive's backing, read from its .drive file when first asked for and
// again whenever QueryDrive or DriveFileSystem read that file.
Backing DriveBacking(char letter);
// The backing of the drive that holds the host path `host`.
Backing BackingOfHost(std::string_view host);

// A name handed to a file call, as UTF-8 (the simulation's own form of
// names, which are the host's), with the length limits of that call: a name
// the call makes full must stay below `limit` UTF-16 code units (MAX_PATH;
// CreateDirectory's 248), a "\\?\" name, taken literally, below
// `verbatimLimit` (MAX_PATH for the A calls, which take no longer name at
// all; 32,767 for the W calls).
struct Name {
    std::string text;
    std::size_t limit = MAX_PATH;
    std::size_t verbatimLimit = MAX_PATH;
    DWORD error = ERROR_SUCCESS;  // a W name without a UTF-8 form: ERROR_INVALID_NAME
};
// The name an A call (process code page) or a W call (UTF-16) was given;
// nullopt for a null pointer.
std::optional<Name> FromAnsi(LPCSTR name, std::size_t limit = MAX_PATH);
std::optional<Name> FromWide(LPCWSTR name, std::size_t limit = MAX_PATH);

// A Win32 name resolved to its place on the host.
struct Location {
    std::string full;  // the full Win32 path (GetFullPathName's result), UTF-8
    std::string host;  // host path of the named object
    char drive = 0;    // volume that holds the object, after reparse points
    bool isRoot = false;
};

// Resolves a name through the reparse points on its way; the last component
// is followed too when followFinal is set. Fails with the Win32 error.
DWORD Locate(const Name& name, bool followFinal, Location& out);
// Like Locate for a name whose last component may not exist yet: resolves
// the parent fully, keeps the last component as given.
DWORD LocateForCreate(const Name& name, Location& out);

// A host path as a system call takes it. Linux takes no path of PATH_MAX
// (4,096) bytes or more in one call: a longer one is named from a directory
// on its way, opened run of components by run with openat, as
// "/proc/self/fd/N/rest", and that directory stays open while this lives.
// Use it only as a call's argument: it refers to `host`. A directory on the
// way that cannot be opened makes the name empty (ENOENT).
class HostArg {
public:
    explicit HostArg(const std::string& host) : host_(host) {
        if (host.size() >= kShortEnough) Shorten();
    }
    ~HostArg();
    HostArg(const HostArg&) = delete;
    HostArg& operator=(const HostArg&) = delete;
    const char* c_str() const { return shortened_ ? name_.c_str() : host_.c_str(); }

private:
    static constexpr std::size_t kShortEnough = 4000;
    void Shorten();
    const std::string& host_;
    bool shortened_ = false;
    std::string name_;
    int fd_ = -1;
};

// Attributes of a host object as Win32 reports them; nullopt with the error
// set when it does not exist.
struct HostEntry {
    DWORD attributes = 0;
    DWORD reparseTag = 0;
    struct stat st {};
};
std::optional<HostEntry> Examine(const std::string& host, bool isRoot);
// The same for a host path outside the drives' folders (an open handle's
// HeldPath), kept by `backing`.
std::optional<HostEntry> Examine(const std::string& host, bool isRoot, Backing backing);
// The same for the entry `name` of the open host directory `dirFd`, whose
// host path is `host`: a listing examines every entry this way.
std::optional<HostEntry> ExamineEntry(int dirFd, const char* name, const std::string& host);

bool IsDirectoryOnHost(const std::string& host);

// Whether a failed read of an extended attribute may have failed for its
// buffer: ERANGE, or EIO from ntfs-3g, which answers so for a reparse point
// larger than the buffer.
bool DoesNotFit(int err);

// The host layout, after the backing of the drive that holds `host`.
const char* ReparseAttrName(Backing backing);
std::optional<std::vector<std::uint8_t>> ReadReparse(const std::string& host, Backing backing);
// Set or remove a host object's reparse data: 0 or the errno. WriteReparse
// also in a form that finds the backing from the host path.
int WriteReparse(const std::string& host, const std::uint8_t* data, std::size_t size);
int WriteReparse(const std::string& host, Backing backing, const std::uint8_t* data, std::size_t size);
int RemoveReparse(const std::string& host, Backing backing);
// The kStoredAttributes bits of `bits` become the object's.
void StoreAttributes(const std::string& host, DWORD bits);
// `to` takes over the stored attributes of `from`, as ReplaceFileA's
// replacement takes over those of the replaced file.
void CopyStoredAttributes(const std::string& from, const std::string& to);
// Whether an object already lstat'ed is a directory to Win32 (a junction
// is one, though ntfs-3g shows it as a symbolic link).
bool HostIsDirectory(const std::string& host, const struct stat& st);
bool HostIsReadOnlyFile(const std::string& host, const struct stat& st);
// Removes an empty directory or a junction: 0 or the errno.
int RemoveHostDirectory(const std::string& host, const struct stat& st);
DWORD ErrnoToWin32(int err, DWORD notFound = ERROR_FILE_NOT_FOUND);
// A host time stamp as Win32 gives it: 100 ns units since 1601.
FILETIME FileTimeOf(const struct timespec& ts);

// Handle table. A file object is an opened file or directory; a listing
// object is a FindFirstFile snapshot.
//
// A Windows handle holds the object, not its name: renaming the object or a
// folder above it, or putting something else in its place, changes nothing
// for the handle. So a file object holds a host descriptor, never a path: a
// file's open descriptor, a directory's O_PATH one. What is no directory on
// the host (a file, or a junction that ntfs-3g shows as a symbolic link) is
// named through its folder's O_PATH descriptor and its name there, and so
// is everything on an ntfs-3g drive, whose descriptors go stale when the
// host type changes.
struct FileObject {
    int fd = -1;
    int parentFd = -1;
    std::string name;  // the object's entry in its folder, as opened
    bool directory = false;
    bool hostDirectory = false;  // fd holds a host directory
    bool isRoot = false;
    bool deleteOnClose = false;  // SetFileInformationByHandle's delete disposition
    DWORD access = 0;
    DWORD share = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    char drive = 0;  // the volume that holds it, whose backing keeps its reparse data
};
// Takes hold of the object at `host`, as `st` describes it (for a file
// opened for reading or writing, `object.fd` holds it already). False, with
// the Win32 error set, when it is gone.
bool Hold(FileObject& object, const std::string& host, const struct stat& st);
// Opens the object again by its name in its folder, after a change of its
// host type on an ntfs-3g drive: the descriptor of the old type is stale.
void HoldAgain(FileObject& object);
// A host path that names the held object, for the calls that do not follow
// the last component: a directory through its own descriptor, anything
// else by its name in its folder while that name holds it. nullopt, with
// the last error set, for such an object moved away since it was opened.
std::optional<std::string> HeldPath(const FileObject& object);
// Whether the held directory has no entries; nullopt when it has no
// listing (ntfs-3g shows a junction as a symbolic link, which holds nothing).
std::optional<bool> HeldDirectoryIsEmpty(const FileObject& object);
// One entry of a listing, handed out as WIN32_FIND_DATAA or _W.
struct Entry {
    DWORD attributes = 0;
    FILETIME creation{}, access{}, write{};
    std::uint64_t size = 0;
    DWORD reparseTag = 0;
    std::u16string name;
};
struct Listing {
    std::vector<Entry> entries;
    std::size_t next = 0;
    std::string hostDir;                 // the directory listed
    std::vector<std::string> hostNames;  // each entry's host name; empty for "." and ".."
    std::string pattern;                 // the name part of the pattern, as given
    std::uint64_t generation = 0;        // Generation() when it was taken
};
// What the simulation remembers between calls to spare the host work, while
// a listing is open: the entries of open listings, the listing closed last,
// and the components of the last name resolved that carry no reparse point.
// It is kept only as long as no call has changed the drives: every call that
// may change them calls Changed(), and closing the last listing forgets it
// all too. (Folders on the way of names are also remembered across calls,
// watched with inotify: see WatchedDirectories in resolve.cpp.)
void Changed();
std::uint64_t Generation();
// Whether a listing is open, so that remembered state may be used.
bool Remembering();
// The entry that an open listing returned last, when it is the host object
// `host` and nothing has changed since the listing was taken.
const Entry* KnownEntry(std::string_view host);
// A directory that a listing reported while listings stayed open, when
// nothing has changed since (find.cpp); KnownEntry answers from it too.
const Entry* ListedDirectory(std::string_view host);
// The listing of `hostDir` for `pattern` closed last, when it is still
// what a new listing would hold.
std::optional<Listing> TakeClosedListing(const std::string& hostDir, const std::string& pattern);

HANDLE AddFile(FileObject object);
HANDLE AddListing(Listing listing);
FileObject* FindFile(HANDLE h);
Listing* FindListing(HANDLE h);
// Removes the handle and closes its descriptors, removing the object first
// where the handle carries the delete disposition: from the folder that
// holds it now (a directory's ".."; else the folder it was opened in), and
// only under the name it was opened by (a Windows handle would remove it
// under any name). False when the handle is unknown.
bool RemoveFile(HANDLE h);
// Also keeps the listing for TakeClosedListing while another stays open.
bool RemoveListing(HANDLE h);

// Sharing: whether a new open with this access and share mode may coexist
// with the handles already open on the object.
bool SharingAllows(dev_t dev, ino_t ino, DWORD access, DWORD share);
// True when an open handle on the object refuses deletion or renaming.
bool DeleteBlocked(const std::string& host);

}  // namespace sim
