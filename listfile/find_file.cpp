#include "listfile/find_file.h"

#include <vector>

#include "engine/junction.h"
#include "platform/ansi.h"
#include "platform/paths.h"
#include "platform/unique_handle.h"

namespace tarsio {
namespace {

// Bits that hide an entry from a listing whose mask does not hold them, as a
// search with an attribute filter leaves them out.
constexpr DWORD kFilteredBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x08 /* volume label */ |
                                FILE_ATTRIBUTE_DIRECTORY;

bool IsDotOrDotDot(const std::string& name) { return name == "." || name == ".."; }

// Whether the second pass enters the entry: every directory but "." and "..",
// whatever its name and attributes, unless it carries a reparse point.
// Junctions may lead to their own ancestors, and two such junctions in one
// folder would make the work grow exponentially with the depth. So every
// directory is entered at most once, under its own path: a search makes
// D + 1 listings for the D directories below Path (twice that with a
// FileMask that does not match every name). The junction itself is still
// reported by its folder's first pass, so a search for junctions finds it.
bool IsSubfolder(const WIN32_FIND_DATAW& data, const std::string& name) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !IsDotOrDotDot(name);
}

// Whether a FileMask matches every name, so that its listing also holds
// every subfolder.
bool MatchesEveryName(const std::string& mask) { return mask == "*.*" || mask == "*"; }

// One listing of a folder, taken when made and closed when it goes out of
// scope. A listing the file system refuses has no entries. The wide call
// takes folders of any depth, and its names are whole: the ANSI one cuts a
// name at MAX_PATH bytes, which a name of 255 characters in UTF-8 can pass.
// An entry whose name has no 8-bit form is passed over: no path can name it.
class FolderListing {
public:
    // The basic info level leaves out the short names, which nothing here
    // reads, and the large fetch asks for more entries per directory round
    // (both from Windows 7 on, the oldest system the program targets).
    explicit FolderListing(const std::string& pattern)
        : handle_(paths::FindFirstFileExW(pattern, FindExInfoBasic, &data_, FindExSearchNameMatch, nullptr,
                                          FIND_FIRST_EX_LARGE_FETCH)),
          more_(handle_.valid()),
          error_(more_ ? ERROR_SUCCESS : os::GetLastError()) {
        Settle();
    }

    // The current entry and its name; null after the last one.
    const WIN32_FIND_DATAW* Entry() const { return more_ ? &data_ : nullptr; }
    const std::string& Name() const { return name_; }
    void Next() {
        more_ = os::FindNextFileW(handle_.get(), &data_);
        Settle();
    }
    // Why the file system gave no listing at all; ERROR_SUCCESS when it did.
    DWORD Error() const { return error_; }

private:
    // Moves on to the first entry from here whose name converts.
    void Settle() {
        for (; more_; more_ = os::FindNextFileW(handle_.get(), &data_)) {
            if (std::optional<std::string> name = WideToAnsi(data_.cFileName)) {
                name_ = std::move(*name);
                return;
            }
        }
    }

    WIN32_FIND_DATAW data_;
    UniqueFindHandle handle_;
    bool more_;
    std::string name_;
    DWORD error_;
};

// A listing that found nothing to match is no refusal: an empty drive root
// has no "." entry, and a FileMask may match no name.
bool Refused(DWORD error) {
    return error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES;
}

}  // namespace

TSearchRec TSearchRec::FromFindData(const WIN32_FIND_DATAW& data, std::string name) {
    TSearchRec rec;
    rec.Name = std::move(name);
    rec.Attr = data.dwFileAttributes;
    rec.Size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    rec.Time = data.ftLastWriteTime;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) rec.ReparseTag = data.dwReserved0;
    return rec;
}

TFindFile::TFindFile() {
    std::optional<std::string> cwd = paths::GetCurrentDirectoryW();
    if (!cwd) return;
    if (!EndsWithBackslash(*cwd)) cwd->push_back('\\');
    SetPath(*cwd);
}

void TFindFile::SetPath(const std::string& value) {
    if (value.empty() || value == path_ || !DirectoryExists(value)) return;
    path_ = value;
    if (!EndsWithBackslash(path_)) path_.push_back('\\');
}

void SetUpFinder(TFindFile& finder) {
    finder.FileAttr = {ffaReadOnly, ffaHidden, ffaSysFile, ffaDirectory, ffaArchive};
    finder.InSubFolders = true;
    finder.SetPath("\\");
    finder.FileMask = "*.*";
    finder.StrictMatchOfAttr = false;
    finder.NotifyWhenFound = true;
}

const std::vector<std::string>& TFindFile::Execute() {
    foundFiles_.clear();
    foundCount_ = 0;
    unlistedCount_ = 0;
    firstUnlisted_.clear();
    const TFileFoundEvent* handler = NotifyWhenFound && OnFileFound ? &OnFileFound : nullptr;
    SearchFolder(path_, handler);
    return foundFiles_;
}

bool TFindFile::SearchFolder(const std::string& folder, const TFileFoundEvent* handler) {
    const DWORD mask = FileAttr.Mask();
    const DWORD excluded = kFilteredBits & ~mask;
    // One listing serves both passes where the mask matches every name: the
    // first pass reports from it and keeps the names of the subfolders the
    // second one enters, so a search makes one listing per folder. Another
    // mask is left to the file system (which also matches short names), and
    // the second pass lists the folder again.
    const bool oneListing = MatchesEveryName(FileMask);
    std::vector<std::string> subfolders;
    // The listing stays open until the subfolders are searched (one handle
    // per level): the simulated platform trusts what it listed only while a
    // listing is open, and would examine every folder again otherwise.
    FolderListing listing(folder + FileMask);
    if (Refused(listing.Error())) {
        Unlisted(folder);
        return true;
    }
    for (; const WIN32_FIND_DATAW* data = listing.Entry(); listing.Next()) {
        const std::string& name = listing.Name();
        DWORD attr = data->dwFileAttributes;
        if (oneListing && InSubFolders && IsSubfolder(*data, name)) subfolders.push_back(name);
        if (attr & excluded) continue;
        bool matches = StrictMatchOfAttr ? attr == mask : (attr & mask) != 0;
        // Every name but "." and ".." is reported: ".cache" and ".m2" are
        // common junctions.
        if (!matches || IsDotOrDotDot(name)) continue;
        if (handler && !(*handler)(folder, TSearchRec::FromFindData(*data, name))) return false;
        ++foundCount_;
        if (KeepFoundFiles) foundFiles_.push_back(folder + name);
    }
    if (!InSubFolders) return true;

    if (!oneListing) {
        FolderListing all(folder + "*.*");
        if (Refused(all.Error())) Unlisted(folder);
        for (; const WIN32_FIND_DATAW* data = all.Entry(); all.Next())
            if (IsSubfolder(*data, all.Name())) subfolders.push_back(all.Name());
    }
    for (const std::string& name : subfolders)
        if (!SearchFolder(folder + name + "\\", handler)) return false;
    return true;
}

void TFindFile::Unlisted(const std::string& folder) {
    if (unlistedCount_++ == 0) firstUnlisted_ = folder;
}

}  // namespace tarsio
