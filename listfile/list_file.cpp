#include "listfile/list_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/error.h"
#include "platform/ansi.h"
#include "platform/os.h"
#include "platform/paths.h"

namespace tarsio {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr char kCtrlZ = 0x1A;

UniqueHandle OpenForWriting(const std::string& fileName, DWORD disposition) {
    return UniqueHandle(paths::CreateFileW(fileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
}

void WriteAll(UniqueHandle file, const std::vector<std::string>& lines, std::string_view rest) {
    ListFileWriter writer(std::move(file));
    for (const std::string& line : lines) writer.WriteLine(line);
    writer.WriteBytes(rest);
    writer.Close();
}

std::string FullName(const std::string& fileName) { return paths::GetFullPathNameW(fileName).value_or(fileName); }

// A new side file in the list's folder for its new text, named after the
// list; where that name would reach MAX_PATH, a short name instead.
UniqueHandle CreateBeside(const std::string& fileName, std::string& sideName) {
    const std::string full = FullName(fileName);
    const std::string folder = full.substr(0, AfterLastDelimiter(full));
    const bool shortName = full.size() + std::strlen(".tarsio-new99") >= MAX_PATH;
    for (int i = 0; i < 100; ++i) {
        std::string number = i ? std::to_string(i) : std::string();
        sideName = shortName ? folder + "~trs" + number + ".tmp" : full + ".tarsio-new" + number;
        UniqueHandle file = OpenForWriting(sideName, CREATE_NEW);
        if (file) return file;
        if (os::GetLastError() != ERROR_FILE_EXISTS && os::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return UniqueHandle();
}

}  // namespace

void CheckListFileName(const std::string& fileName) {
    const std::string full = FullName(fileName);
    std::string_view name = full;
    if (name.substr(0, 4) == "\\\\.\\") RaiseInOutError(ERROR_PATH_NOT_FOUND);
    if (name.substr(0, 4) == "\\\\?\\") name.remove_prefix(4);
    if (name.find_first_of("*?") != std::string_view::npos) RaiseInOutError(ERROR_PATH_NOT_FOUND);
    DWORD attributes = paths::GetFileAttributesW(fileName);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        RaiseInOutError(ERROR_ACCESS_DENIED);
}

std::string InOutErrorMessage(unsigned long code) {
    switch (code) {
        case 2: return "File not found";
        case 3: return "Invalid filename";
        case 4: return "Too many open files";
        case 5: return "File access denied";
        case 100: return "Read beyond end of file";
        case 101: return "Disk full";
        case 106: return "Invalid numeric input";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "I/O error %lu", code);
            return text;
        }
    }
}

void RaiseInOutError(unsigned long code) { throw TarsioError(InOutErrorMessage(code), code); }

LineSpan SplitLine(std::string_view bytes) {
    std::size_t end = bytes.find_first_of("\r\n");
    if (end == std::string_view::npos) return {bytes.size(), bytes.size()};
    std::size_t next = end + 1;
    if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
    return {end, next};
}

ListFileReader::ListFileReader(const std::string& fileName) {
    UniqueHandle file(paths::CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) RaiseInOutError(os::GetLastError());
    // A console or a port that a name led to would make the reads wait.
    if (os::GetFileType(file.get()) != FILE_TYPE_DISK) RaiseInOutError(ERROR_PATH_NOT_FOUND);
    std::vector<char> chunk(kChunk);
    while (true) {
        DWORD got = 0;
        if (!os::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
            RaiseInOutError(os::GetLastError());
        if (got == 0) break;
        bytes_.append(chunk.data(), got);
    }
}

bool ListFileReader::ReadLine(std::string& line) {
    if (pos_ == bytes_.size() || bytes_[pos_] == kCtrlZ) return false;
    LineSpan span = SplitLine(std::string_view(bytes_).substr(pos_));
    line.assign(bytes_, pos_, span.length);
    pos_ += span.next;
    return true;
}

std::string_view ListFileReader::Rest() const { return std::string_view(bytes_).substr(pos_); }

ListFileWriter::ListFileWriter(UniqueHandle file) : file_(std::move(file)) {}

void ListFileWriter::WriteLine(std::string_view line) {
    WriteBytes(line);
    WriteBytes("\r\n");
}

void ListFileWriter::WriteBytes(std::string_view bytes) {
    pending_.append(bytes);
    if (pending_.size() >= kChunk) Flush();
}

void ListFileWriter::Flush() {
    std::size_t done = 0;
    while (done < pending_.size()) {
        DWORD chunk = static_cast<DWORD>(std::min(pending_.size() - done, kChunk));
        DWORD written = 0;
        if (!os::WriteFile(file_.get(), pending_.data() + done, chunk, &written, nullptr))
            RaiseInOutError(os::GetLastError());
        if (written != chunk) RaiseInOutError(101);
        done += written;
    }
    pending_.clear();
}

void ListFileWriter::Close() {
    Flush();
    if (!os::CloseHandle(file_.release())) RaiseInOutError(os::GetLastError());
}

void WriteListFile(const std::string& fileName, const std::vector<std::string>& lines) {
    UniqueHandle file = OpenForWriting(fileName, CREATE_ALWAYS);
    if (!file) RaiseInOutError(os::GetLastError());
    WriteAll(std::move(file), lines, {});
}

void RewriteListFile(const std::string& fileName, const std::vector<std::string>& lines, std::string_view rest) {
    {
        // Fails where truncating the list would: read-only, held open, a directory.
        UniqueHandle probe(paths::CreateFileW(fileName, GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) RaiseInOutError(os::GetLastError());
    }
    // Never in place: a failure midway would leave the list truncated.
    std::string tempName;
    UniqueHandle temp = CreateBeside(fileName, tempName);
    if (!temp) RaiseInOutError(os::GetLastError());
    try {
        WriteAll(std::move(temp), lines, rest);
    } catch (...) {
        paths::DeleteFileW(tempName);
        throw;
    }
    // ReplaceFileW keeps the list's attributes and security; where it cannot
    // work, a plain rename still puts the complete new text in place.
    if (paths::ReplaceFileW(fileName, tempName, REPLACEFILE_IGNORE_MERGE_ERRORS)) return;
    DWORD reason = os::GetLastError();
    if (paths::MoveFileExW(tempName, fileName, MOVEFILE_REPLACE_EXISTING)) return;
    paths::DeleteFileW(tempName);
    RaiseInOutError(reason);
}

}  // namespace tarsio
