#pragma once
// The importer of junction list files: makes every pending entry
// ("+" junction directory "->" destination) and writes the list back with
// the marker removed from each entry that was made.

#include <string>
#include <vector>

#include "platform/os.h"

namespace tarsio {

class TImport {
public:
    TImport() = default;

    // True when the import had errors: the file was not found, or an entry
    // could not be made. I/O failures, a list that cannot be held or written
    // back whole (ListFile), and "Unable to create directory" (an entry
    // without "->") are raised; the list is then left as it was, or as
    // another program that changed it meanwhile left it.
    bool Import(const std::string& fileName);

    const std::string Marker = "+";
    // The lines to be written back, in file order, as the bytes they were
    // read as (a made entry without its marker; a UTF-8 byte-order mark stays
    // before the first), before the bytes from a Ctrl-Z at the start of a
    // line on, which go back as they were. Not emptied by Import: an
    // importer serves one import.
    std::vector<std::string> ResultLines;

private:
    // Makes the entry if it is pending; true when the line counts as an error.
    bool HandleLine(const std::string& line);
};

}  // namespace tarsio
