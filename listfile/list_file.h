#pragma once
// Reading and writing junction list files: ANSI text, one entry per line.
// Lines are written with CR LF. When reading, a line ends at LF or CR LF, a
// CR not followed by LF is dropped, and a Ctrl-Z at the start of a line ends
// the file. Every I/O failure raises a TarsioError carrying the system code.

#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_handle.h"

namespace tarsio {

// The message of a list-file I/O error: "File not found" (2), "Invalid
// filename" (3), ... , else "I/O error %d".
std::string InOutErrorMessage(unsigned long code);
[[noreturn]] void RaiseInOutError(unsigned long code);

class ListFileReader {
public:
    explicit ListFileReader(const std::string& fileName);
    // The next line without its line end; false at the end of the file.
    bool ReadLine(std::string& line);

private:
    bool Fill();

    UniqueHandle file_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
};

class ListFileWriter {
public:
    explicit ListFileWriter(UniqueHandle file);
    void WriteLine(std::string_view line);
    // Writes what is buffered and closes the file.
    void Close();

private:
    void Flush();

    UniqueHandle file_;
    std::string pending_;
};

// Creates or truncates the file and writes the lines.
void WriteListFile(const std::string& fileName, const std::vector<std::string>& lines);

// Replaces an existing list's contents with the lines so that a failure
// cannot lose it: the new text is written beside the list and then takes
// its place. Raises where a rewrite in place would (a read-only list gives
// "File access denied"), and leaves the list as it was when it raises.
void RewriteListFile(const std::string& fileName, const std::vector<std::string>& lines);

}  // namespace tarsio
