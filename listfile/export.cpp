#include "listfile/export.h"

#include <algorithm>
#include <string_view>

#include "engine/ascii.h"
#include "engine/junction.h"
#include "engine/reparse_buffer.h"
#include "listfile/list_encoding.h"
#include "listfile/list_file.h"
#include "platform/ansi.h"
#include "platform/os.h"

namespace tarsio {
namespace {

// The DOS devices that a last component names whatever its extension:
// Windows reads "C:\x\con.txt" as "\\.\con".
bool IsDeviceName(std::string_view component) {
    std::string base = LowerAscii(std::string(component.substr(0, component.find('.'))));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    if (base == "con" || base == "prn" || base == "aux" || base == "nul") return true;
    return base.size() == 4 && (base.starts_with("com") || base.starts_with("lpt")) && base[3] >= '1' &&
           base[3] <= '9';
}

// Whether Windows reads `path` ("X:\..." with an upper-case letter) as
// exactly this path, so that the import's file calls and its
// GetFullPathNameA give it back unchanged: no "." or ".." component, no
// doubled or trailing backslash (but the root's), no "/", no component
// ending in a period or blank, no device name, no character that Windows
// refuses in names (nor the list's separator ">"). Stricter than Windows
// where unsure: a name that fails is written in another form, or left out.
bool IsPlainDrivePath(std::string_view path) {
    if (path.size() < 3 || path[0] < 'A' || path[0] > 'Z' || path[1] != ':' || path[2] != '\\') return false;
    if (path.size() == 3) return true;
    std::size_t start = 3;
    for (std::size_t i = 3; i <= path.size(); ++i) {
        if (i < path.size() && IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (i < path.size() && path[i] != '\\') {
            if (std::string_view("<>:\"|?*/").find(path[i]) != std::string_view::npos) return false;
            continue;
        }
        std::string_view component = path.substr(start, i - start);
        if (component.empty() || component.back() == '.' || component.back() == ' ') return false;
        if (i == path.size() && IsDeviceName(component)) return false;
        start = i + 1;
    }
    return true;
}

// The destination text of the line for the stored name `stored` (without
// its terminator), which the import's CreateJunction turns back into
// exactly `stored`: the drive path behind "\??\" where resolving it gives
// it back; else the stored name itself, which CreateJunction stores as
// given when it begins with "\??" (a volume mount point, "\??\Volume{…}\").
// Empty when the import would refuse it or store something else.
std::string ListDestination(const std::string& stored) {
    if (stored.starts_with("\\??\\") && IsPlainDrivePath(std::string_view(stored).substr(4))) return stored.substr(4);
    // CreateJunction refuses a share ("\??\UNC\"), and resolves any name
    // without "\??" to a full path of its own.
    if (!stored.starts_with("\\??") || LowerAscii(stored.substr(0, 8)) == "\\??\\unc\\") return {};
    return stored;
}

// A path shown in a message: control characters would break its lines.
std::string Shown(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    return text;
}

std::string Counted(int count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

DriveList DefaultExportDrives() {
    DriveList drives;
    for (char letter = 'C'; letter <= 'Y'; ++letter) {
        const char root[] = {letter, ':', '\\', '\0'};
        UINT type = os::GetDriveTypeA(root);
        if (type == DRIVE_REMOVABLE || type == DRIVE_FIXED) drives.emplace_back(1, letter);
    }
    return drives;
}

DriveList ChooseExportDrives(const DriveList& exportDrives) {
    return exportDrives.empty() ? DefaultExportDrives() : exportDrives;
}

LineOutcome JunctionLine(const std::string& path, DWORD attributes, DWORD reparseTag, std::string& line) {
    // Listings tell the kind of a reparse point: a symbolic link or a cloud
    // file is no junction, and asking about it would only cost time.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT) || (reparseTag != 0 && reparseTag != reparse::kMountPointTag))
        return LineOutcome::NoJunction;
    std::string read;
    if (!ReadJunctionDestination(path, read)) {
        // Only a mount point gets as far as converting its name.
        if (os::GetLastError() == ERROR_NO_UNICODE_TRANSLATION) return LineOutcome::NoText;
        return reparseTag == reparse::kMountPointTag ? LineOutcome::Unreadable : LineOutcome::NoJunction;
    }
    const std::string stored = read.substr(0, read.size() - 1);  // without the terminator
    if (HasControlCharacter(path) || HasControlCharacter(stored)) return LineOutcome::Control;
    // The import takes the junction directory up to the first "->" and the
    // destination from the first ">" on, and makes the directory through the
    // file calls, which read the path as Windows does.
    const std::string destination = ListDestination(stored);
    if (destination.empty() || !IsPlainDrivePath(path)) return LineOutcome::NotRestorable;
    std::optional<std::string> text = AnsiToListText("+" + path + "->" + destination);
    if (!text) return LineOutcome::NoText;
    line = std::move(*text);
    return LineOutcome::Line;
}

bool TExportResult::LeftOutAnything() const {
    return UnlistedFolders > 0 || std::any_of(LeftOut.begin(), LeftOut.end(), [](int n) { return n > 0; });
}

bool ExportEntryFound(const std::string& folder, const TSearchRec& rec, TExportResult& result,
                      const ExportProgress& progress) {
    if (rec.Attr & FILE_ATTRIBUTE_REPARSE_POINT) {
        const std::string path = folder + rec.Name;
        std::string line;
        const LineOutcome outcome = JunctionLine(path, rec.Attr, rec.ReparseTag, line);
        if (outcome == LineOutcome::Line) {
            result.Lines.push_back(std::move(line));
        } else if (outcome != LineOutcome::NoJunction) {
            const auto kind = static_cast<std::size_t>(outcome) - static_cast<std::size_t>(LineOutcome::Unreadable);
            if (result.LeftOut[kind]++ == 0) result.FirstLeftOut[kind] = path;
        }
    }
    if (progress && !progress(folder, rec.Name)) {
        result.Cancelled = true;
        return false;
    }
    return true;
}

TExportResult ScanJunctions(TFindFile& finder, const DriveList& drives, const ExportProgress& progress) {
    TExportResult result;
    // The handler refers to this call's locals: it must not outlive the call,
    // also when an error from `progress` ends the scan. A whole drive's paths
    // are not kept.
    struct Restore {
        TFindFile& finder;
        bool keep;
        ~Restore() {
            finder.OnFileFound = nullptr;
            finder.KeepFoundFiles = keep;
        }
    } restore{finder, finder.KeepFoundFiles};
    finder.InSubFolders = true;
    finder.FileAttr = TFileAttr{ffaAnyFile};
    finder.KeepFoundFiles = false;
    finder.OnFileFound = [&result, &progress](const std::string& folder, const TSearchRec& rec) {
        return ExportEntryFound(folder, rec, result, progress);
    };
    for (const std::string& letter : drives) {
        std::string root = letter + ":\\";
        if (!DirectoryExists(root)) continue;
        finder.SetPath(root);
        finder.Execute();
        if (finder.UnlistedCount() > 0 && result.UnlistedFolders == 0) result.FirstUnlisted = finder.FirstUnlisted();
        result.UnlistedFolders += finder.UnlistedCount();
        if (result.Cancelled) break;
    }
    return result;
}

void WriteExportFile(const std::string& fileName, const std::vector<std::string>& exportLines) {
    WriteListFile(fileName, exportLines);
}

TExportResult ExportJunctions(TFindFile& finder, const DriveList& exportDrives, const std::string& fileName,
                              const ExportProgress& progress) {
    TExportResult result = ScanJunctions(finder, ChooseExportDrives(exportDrives), progress);
    if (!result.Cancelled) WriteExportFile(fileName, result.Lines);
    return result;
}

std::string LeftOutReport(const TExportResult& result) {
    if (!result.LeftOutAnything()) return {};
    std::string text = "Exported " + Counted(static_cast<int>(result.Lines.size()), "junction") + ". Left out:";
    auto add = [&text](int count, const char* what, const std::string& first) {
        if (count == 0) return;
        text += "\n- " + std::string(what) + ": " + std::to_string(count) + (count == 1 ? " (" : " (the first: ") +
                Shown(first) + ")";
    };
    add(result.UnlistedFolders,
        "folders that could not be listed (access denied, say); junctions in them are missing", result.FirstUnlisted);
    static constexpr const char* kReasons[kLeftOutKinds] = {
        "junctions whose destination could not be read",
        "junctions whose path or destination holds a control character, such as a line break",
        "junctions whose path or destination holds a character that the list's text cannot hold",
        "junctions that an import would not make again from their line (a network destination, or a name that "
        "Windows reads otherwise)",
    };
    for (std::size_t kind = 0; kind < kLeftOutKinds; ++kind)
        add(result.LeftOut[kind], kReasons[kind], result.FirstLeftOut[kind]);
    return text;
}

}  // namespace tarsio
