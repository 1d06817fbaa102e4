#pragma once
// Reading and writing junction list files: 8-bit text, one entry per line.
//
// Reading: a line ends at LF, at CR LF or at a CR alone (a CR is never part
// of a path), and the last line may lack an end. A Ctrl-Z (0x1A) at the
// start of a line ends the lines; the bytes from it to the end of the file
// are kept apart, as they are.
//
// Writing back: each line's bytes are written unchanged, each followed by
// CR LF, as every list line is written; then the bytes from the Ctrl-Z on,
// byte for byte. Only the line ends of the lines can differ from the file
// read, and only where it did not use CR LF. Every I/O failure raises a
// TarsioError carrying the system code.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_handle.h"

namespace tarsio {

// The message of a list-file I/O error: "File not found" (2), "Invalid
// filename" (3), ... , else "I/O error %d".
std::string InOutErrorMessage(unsigned long code);
[[noreturn]] void RaiseInOutError(unsigned long code);

// Raises unless `fileName` can name a list file on a disk: a pattern or a
// device name ("COM1", "NUL", "\\.\...") gives "Invalid filename" (3), a
// directory "File access denied" (5). Opening a device could block.
void CheckListFileName(const std::string& fileName);

// The first line of `bytes`: its text is bytes[0, length), and the next line
// begins at `next` (bytes.size() when this is the last line).
struct LineSpan {
    std::size_t length;
    std::size_t next;
};
LineSpan SplitLine(std::string_view bytes);

// A list being imported, held open from its reading to its rewrite: shared
// for reading and for deletion (which ReplaceFile needs), never for
// writing, so that no other program writes to it in between and sees its
// edit lost. Its name is its final one, through symbolic links and
// junctions, so that a link stays a link and the new text reaches the file.
class ListFile {
public:
    // Opens and reads the whole list; raises when it cannot be opened or
    // read, is no file on a disk, is in use by a writer, or has more than
    // one name (hard links: a rewrite would give the new text to one only).
    explicit ListFile(const std::string& fileName);
    // The next line's bytes without its line end; false after the last line.
    bool ReadLine(std::string& line);
    // The bytes from a Ctrl-Z at the start of a line to the end of the
    // file, once ReadLine has given false; empty when there is none.
    std::string_view Rest() const;

    // Replaces the list's contents with the lines followed by Rest(), so
    // that a failure cannot lose it: the new text is written to a side file
    // in the list's folder and put on the disk, and the side file then takes
    // the list's place. Raises where a rewrite in place would (a read-only
    // list gives "File access denied"), where no side file can be made, and
    // where another program changed the list since it was read; the list is
    // then left as it is. The side file is removed only while the list
    // exists: if the list is gone, the error names the side file.
    void Rewrite(const std::vector<std::string>& lines);

private:
    // Whether the list's name still leads to the file read, unchanged.
    bool Unchanged() const;
    // Puts the written side file in the list's place.
    void Replace(const std::string& sideName);

    UniqueHandle file_;
    std::string name_;
    BY_HANDLE_FILE_INFORMATION read_{};
    std::string bytes_;
    std::size_t pos_ = 0;
};

class ListFileWriter {
public:
    explicit ListFileWriter(UniqueHandle file);
    // The line's bytes followed by CR LF.
    void WriteLine(std::string_view line);
    // Bytes as they are, with no line end.
    void WriteBytes(std::string_view bytes);
    // Writes what is buffered and has the system put the file on the disk.
    void Sync();
    // Writes what is buffered and closes the file.
    void Close();

private:
    void Flush();

    UniqueHandle file_;
    std::string pending_;
};

// Writes the lines to a new file, or over an existing one so that a failure
// cannot lose it: as ListFile::Rewrite does, through a side file that takes
// its place (a file with more names than one is written in place).
void WriteListFile(const std::string& fileName, const std::vector<std::string>& lines);

}  // namespace tarsio
