#pragma once
// The junction exporter: scans whole drives with a finder and writes one
// pending entry line ("+" junction directory "->" destination) per junction
// found, so that an import can make the same junctions again. It needs no
// window; the window's export command shows its progress through the hook.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "listfile/find_file.h"

namespace tarsio {

// A drive list: single drive letters ("C", "D"), in order.
using DriveList = std::vector<std::string>;

// Called with the full path of every entry examined, after it was examined.
using ExportProgress = std::function<void(const std::string& path)>;

// The letters C to Y, in order, of removable and fixed drives. A removable
// drive without medium is included; A, B and Z never are.
DriveList DefaultExportDrives();

// The drives an export scans: `exportDrives` when it holds a letter, else
// the default drives.
DriveList ChooseExportDrives(const DriveList& exportDrives);

// The entry line for `path` when it carries a reparse point whose
// destination can be read: "+" path "->" destination, the destination
// without its native prefix and terminator.
std::optional<std::string> JunctionLine(const std::string& path);

// The finder's handler during an export: appends the line of the entry
// (folder + name) to `exportLines` when it is a junction, then reports its
// path to `progress`. Always true: an export scan is never ended early.
bool ExportEntryFound(const std::string& folder, const TSearchRec& rec, std::vector<std::string>& exportLines,
                      const ExportProgress& progress);

// Sets `finder` up for the export (every entry of every subfolder, with
// ExportEntryFound as handler; its other settings stay, so NotifyWhenFound
// must be on, as on the main window's finders) and searches each drive
// whose root is an existing folder, in list order. Returns the lines in scan
// order; the handler is taken off the finder again.
std::vector<std::string> ScanJunctions(TFindFile& finder, const DriveList& drives,
                                       const ExportProgress& progress = {});

// Creates or truncates `fileName` and writes the lines in UTF-8, as lists
// are, CR LF after each. Raises the list file's I/O errors.
void WriteExportFile(const std::string& fileName, const std::vector<std::string>& exportLines);

// The whole export: scans the chosen drives and writes the lines with
// WriteExportFile (an empty file when none was found).
void ExportJunctions(TFindFile& finder, const DriveList& exportDrives, const std::string& fileName,
                     const ExportProgress& progress = {});

}  // namespace tarsio
