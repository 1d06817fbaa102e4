#include "listfile/import.h"

#include "engine/junction.h"
#include "listfile/list_file.h"
#include "platform/os.h"
#include "platform/unique_handle.h"

namespace tarsio {
namespace {

bool ListFileExists(const std::string& fileName) {
    WIN32_FIND_DATAA data;
    UniqueFindHandle found(os::FindFirstFileA(fileName.c_str(), &data));
    return found.valid();
}

// The second character of a pending entry lies in 'A'..'z'.
bool PendingSecondChar(char c) {
    auto b = static_cast<unsigned char>(c);
    return b >= 0x41 && b <= 0x7A;
}

}  // namespace

bool TImport::Import(const std::string& fileName) {
    CheckListFileName(fileName);
    if (!ListFileExists(fileName)) return true;
    bool errors = false;
    ListFileReader reader(fileName);
    std::string line;
    while (reader.ReadLine(line)) {
        if (HandleLine(line)) errors = true;
    }
    RewriteListFile(fileName, ResultLines, reader.Rest());
    return errors;
}

bool TImport::HandleLine(const std::string& line) {
    if (line.size() < 2 || line.compare(0, 1, Marker) != 0 || !PendingSecondChar(line[1])) {
        ResultLines.push_back(line);
        return false;
    }
    // Junction directory: from the second character up to the first "->";
    // destination: everything after the first ">". A line without "->" has
    // an empty junction directory.
    std::size_t arrow = line.find("->");
    std::string junctionDir = arrow == std::string::npos ? std::string() : line.substr(1, arrow - 1);
    std::size_t gt = line.find('>');
    std::string destination = gt == std::string::npos ? line : line.substr(gt + 1);

    // A failed junction takes away only a directory made here for it.
    bool created = false;
    if (!ForceDirectories(junctionDir, &created) || !CreateJunction(junctionDir, destination, created)) {
        ResultLines.push_back(line);
        return true;
    }
    ResultLines.push_back(line.substr(1));
    return false;
}

}  // namespace tarsio
