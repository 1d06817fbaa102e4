#include "listfile/export.h"

#include "engine/junction.h"
#include "listfile/list_encoding.h"
#include "listfile/list_file.h"
#include "platform/os.h"

namespace tarsio {

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

std::optional<std::string> JunctionLine(const std::string& path) {
    std::string destination;
    if (!HasReparsePoint(path) || !ReadJunctionDestination(path, destination)) return std::nullopt;
    return "+" + path + "->" + PlainDestination(destination);
}

bool ExportEntryFound(const std::string& folder, const TSearchRec& rec, std::vector<std::string>& exportLines,
                      const ExportProgress& progress) {
    std::string path = folder + rec.Name;
    if (std::optional<std::string> line = JunctionLine(path)) exportLines.push_back(std::move(*line));
    if (progress) progress(path);
    return true;
}

std::vector<std::string> ScanJunctions(TFindFile& finder, const DriveList& drives, const ExportProgress& progress) {
    std::vector<std::string> lines;
    // The handler refers to this call's locals: it must not outlive the call,
    // also when an error from `progress` ends the scan.
    struct HandlerReset {
        TFindFile& finder;
        ~HandlerReset() { finder.OnFileFound = nullptr; }
    } reset{finder};
    finder.InSubFolders = true;
    finder.FileAttr = TFileAttr{ffaAnyFile};
    finder.OnFileFound = [&lines, &progress](const std::string& folder, const TSearchRec& rec) {
        return ExportEntryFound(folder, rec, lines, progress);
    };
    for (const std::string& letter : drives) {
        std::string root = letter + ":\\";
        if (!DirectoryExists(root)) continue;
        finder.SetPath(root);
        finder.Execute();
    }
    return lines;
}

void WriteExportFile(const std::string& fileName, const std::vector<std::string>& exportLines) {
    std::vector<std::string> lines;
    lines.reserve(exportLines.size());
    // Paths of the process code page always have a UTF-8 form.
    for (const std::string& line : exportLines)
        if (std::optional<std::string> text = AnsiToListText(line)) lines.push_back(std::move(*text));
    WriteListFile(fileName, lines);
}

void ExportJunctions(TFindFile& finder, const DriveList& exportDrives, const std::string& fileName,
                     const ExportProgress& progress) {
    WriteExportFile(fileName, ScanJunctions(finder, ChooseExportDrives(exportDrives), progress));
}

}  // namespace tarsio
