#include "listfile/import.h"

#include "engine/junction.h"
#include "listfile/list_encoding.h"
#include "listfile/list_file.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/unique_handle.h"

namespace tarsio {
namespace {

bool ListFileExists(const std::string& fileName) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle found(
        paths::FindFirstFileExW(fileName, FindExInfoStandard, &data, FindExSearchNameMatch, nullptr, 0));
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
    // Held from here until it is written back, against other writers.
    ListFile list(fileName);
    std::vector<std::string> lines;
    for (std::string line; list.ReadLine(line);) lines.push_back(line);
    // A UTF-8 byte-order mark belongs to no line; it goes back where it was.
    const bool byteOrderMark = !lines.empty() && lines[0].starts_with(kUtf8Bom);
    if (byteOrderMark) lines[0].erase(0, kUtf8Bom.size());
    for (const std::string& line : lines) {
        if (HandleLine(line)) errors = true;
    }
    if (byteOrderMark) ResultLines.front().insert(0, kUtf8Bom);
    list.Rewrite(ResultLines);
    return errors;
}

bool TImport::HandleLine(const std::string& line) {
    if (line.size() < 2 || line.compare(0, 1, Marker) != 0 || !PendingSecondChar(line[1])) {
        ResultLines.push_back(line);
        return false;
    }
    // The paths as the file calls take them; a line that cannot be given so
    // stays pending, as the list has it.
    std::optional<std::string> converted = ListTextToAnsi(line);
    if (!converted) {
        ResultLines.push_back(line);
        return true;
    }
    const std::string& text = *converted;
    // Junction directory: from the second character up to the first "->";
    // destination: everything after the first ">". A line without "->" has
    // an empty junction directory.
    std::size_t arrow = text.find("->");
    std::string junctionDir = arrow == std::string::npos ? std::string() : text.substr(1, arrow - 1);
    std::size_t gt = text.find('>');
    std::string destination = gt == std::string::npos ? text : text.substr(gt + 1);

    // A junction that already leads there is done, and left as it is:
    // Windows' own deny the access that writing it needs, and writing it
    // again would drop its print name.
    if (JunctionLeadsTo(junctionDir, destination)) {
        ResultLines.push_back(line.substr(1));
        return false;
    }
    // Nothing is made for a destination that is not there before the line
    // makes anything, so one that the junction's own parents would make does
    // not count. A line without "->" has no junction directory, for which
    // ForceDirectories raises. CreateJunction takes the stored name as it is,
    // without looking at the destination again, and a directory made here
    // through the handle it was made with. A failed junction takes away only
    // a directory made here for it.
    std::string storedName;
    const bool destinationThere = junctionDir.empty() || CheckJunctionDestination(destination, &storedName);
    bool created = false;
    UniqueHandle made;
    if (!destinationThere || !ForceDirectories(junctionDir, &created, &made) ||
        !CreateJunction(junctionDir, storedName, created, &made)) {
        ResultLines.push_back(line);
        return true;
    }
    ResultLines.push_back(line.substr(1));
    return false;
}

}  // namespace tarsio
