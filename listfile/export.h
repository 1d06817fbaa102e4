#pragma once
// The junction exporter: scans whole drives with a finder and writes one
// pending entry line ("+" junction directory "->" destination) per junction
// found, so that an import can make the same junctions again. A junction
// whose line the import would not turn back into the same junction is left
// out, and so is what lies in a folder that cannot be listed; the result
// counts both. It needs no window; the window's export command shows its
// progress, and cancels, through the hook.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "listfile/find_file.h"

namespace tarsio {

// A drive list: single drive letters ("C", "D"), in order.
using DriveList = std::vector<std::string>;

// Called for every entry examined, after it was examined, with its folder
// (ending with a backslash) and its name; false ends the export, which then
// writes nothing.
using ExportProgress = std::function<bool(const std::string& folder, const std::string& name)>;

// The letters C to Y, in order, of removable and fixed drives. A removable
// drive without medium is included; A, B and Z never are.
DriveList DefaultExportDrives();

// The drives an export scans: `exportDrives` when it holds a letter, else
// the default drives.
DriveList ChooseExportDrives(const DriveList& exportDrives);

// What the export made of one entry of a listing.
enum class LineOutcome {
    Line,           // a junction, and its line
    NoJunction,     // no reparse point, or one of another kind
    Unreadable,     // a junction whose stored name could not be read
    Control,        // its path or stored name holds a control character (a line break, say)
    NoText,         // its path or stored name has no form in the list's text
    NotRestorable,  // the import would make another junction of its line, or none
};
inline constexpr std::size_t kLeftOutKinds = 4;  // Unreadable to NotRestorable

// The list line for the entry `path` of a listing that reported `attributes`
// and `reparseTag`: "+" path "->" destination, in list text (UTF-8). The
// file system is asked again only for an entry that the listing marks as a
// mount point (or as a reparse point of a kind it did not tell). A stored
// name "\??\X:\..." that the import would resolve to itself is written as
// the drive path; any other name the import stores as given ("\??\Volume{…}\")
// is written as it is stored.
LineOutcome JunctionLine(const std::string& path, DWORD attributes, DWORD reparseTag, std::string& line);

// What an export found, and what it left out.
struct TExportResult {
    std::vector<std::string> Lines;  // in scan order, in list text
    bool Cancelled = false;
    // Folders whose listing the file system refused, and the first of them.
    int UnlistedFolders = 0;
    std::string FirstUnlisted;
    // Junctions left out, by LineOutcome from Unreadable on, and the first
    // of each.
    std::array<int, kLeftOutKinds> LeftOut{};
    std::array<std::string, kLeftOutKinds> FirstLeftOut;

    bool LeftOutAnything() const;
};

// The finder's handler during an export: adds the line of the entry (folder
// + name), or counts it as left out, then reports the entry to `progress`.
// False, with Cancelled set, when `progress` ends the export.
bool ExportEntryFound(const std::string& folder, const TSearchRec& rec, TExportResult& result,
                      const ExportProgress& progress);

// Sets `finder` up for the export (every entry of every subfolder, none of
// them kept, with ExportEntryFound as handler; its other settings stay, so
// NotifyWhenFound must be on, as on the main window's finders) and searches
// each drive whose root is an existing folder, in list order, until
// `progress` ends it. The handler is taken off the finder again.
TExportResult ScanJunctions(TFindFile& finder, const DriveList& drives, const ExportProgress& progress = {});

// Creates or truncates `fileName` and writes the lines (list text), CR LF
// after each. Raises the list file's I/O errors.
void WriteExportFile(const std::string& fileName, const std::vector<std::string>& exportLines);

// The whole export: scans the chosen drives and, unless cancelled, writes
// the lines with WriteExportFile (an empty file when none was found). A
// cancelled export leaves the file as it was.
TExportResult ExportJunctions(TFindFile& finder, const DriveList& exportDrives, const std::string& fileName,
                              const ExportProgress& progress = {});

// What the export left out, for the user: one line per reason with its
// count and the first path; empty when nothing was left out.
std::string LeftOutReport(const TExportResult& result);

}  // namespace tarsio
