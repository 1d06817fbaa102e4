#include "listfile/list_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

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

void WriteAll(UniqueHandle file, const std::vector<std::string>& lines, std::string_view rest, bool sync = false) {
    ListFileWriter writer(std::move(file));
    for (const std::string& line : lines) writer.WriteLine(line);
    writer.WriteBytes(rest);
    if (sync) writer.Sync();
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

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

bool SameContents(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
           a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime &&
           a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime;
}

bool Exists(const std::string& fileName) { return paths::GetFileAttributesW(fileName) != INVALID_FILE_ATTRIBUTES; }

// After a rewrite that failed: the side file goes while the list is there;
// where the list is gone, the side file may be its only copy, and the error
// names it.
[[noreturn]] void RaiseKeepingTheText(const TarsioError& e, const std::string& listName,
                                      const std::string& sideName) {
    if (Exists(listName)) {
        paths::DeleteFileW(sideName);
        throw e;
    }
    throw TarsioError(std::string(e.what()) + ". The list is missing; its new text is in " + sideName, e.code());
}

// Errors of a ReplaceFile that another handle on the replaced file can cause.
bool SharingError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
           error == ERROR_ACCESS_DENIED;
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

ListFile::ListFile(const std::string& fileName)
    : file_(paths::CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (!file_ && os::GetLastError() == ERROR_SHARING_VIOLATION)
        throw TarsioError("The list is in use by another program", ERROR_SHARING_VIOLATION);
    if (!file_) RaiseInOutError(os::GetLastError());
    // A console or a port that a name led to would make the reads wait.
    if (os::GetFileType(file_.get()) != FILE_TYPE_DISK) RaiseInOutError(ERROR_PATH_NOT_FOUND);
    if (!os::GetFileInformationByHandle(file_.get(), &read_)) RaiseInOutError(os::GetLastError());
    if (read_.nNumberOfLinks > 1)
        throw TarsioError("The list has " + std::to_string(read_.nNumberOfLinks) +
                          " names (hard links), and writing it back would leave the others with the old text. "
                          "Import a copy of it");
    std::optional<std::string> finalName = paths::FinalName(file_.get());
    name_ = finalName ? *finalName : FullName(fileName);
    std::vector<char> chunk(kChunk);
    while (true) {
        DWORD got = 0;
        if (!os::ReadFile(file_.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr))
            RaiseInOutError(os::GetLastError());
        if (got == 0) break;
        bytes_.append(chunk.data(), got);
    }
}

bool ListFile::ReadLine(std::string& line) {
    if (pos_ == bytes_.size() || bytes_[pos_] == kCtrlZ) return false;
    LineSpan span = SplitLine(std::string_view(bytes_).substr(pos_));
    line.assign(bytes_, pos_, span.length);
    pos_ += span.next;
    return true;
}

std::string_view ListFile::Rest() const { return std::string_view(bytes_).substr(pos_); }

void ListFile::Rewrite(const std::vector<std::string>& lines) {
    BY_HANDLE_FILE_INFORMATION now;
    if (!os::GetFileInformationByHandle(file_.get(), &now)) RaiseInOutError(os::GetLastError());
    if (now.dwFileAttributes & FILE_ATTRIBUTE_READONLY) RaiseInOutError(ERROR_ACCESS_DENIED);
    std::string sideName;
    UniqueHandle side = CreateBeside(name_, sideName);
    if (!side) RaiseInOutError(os::GetLastError());
    try {
        WriteAll(std::move(side), lines, Rest(), true);
        Replace(sideName);
    } catch (const TarsioError& e) {
        RaiseKeepingTheText(e, name_, sideName);
    }
}

bool ListFile::Unchanged() const {
    UniqueHandle list(paths::CreateFileW(name_, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION now;
    return list && os::GetFileInformationByHandle(list.get(), &now) && SameFile(now, read_) &&
           SameContents(now, read_) && now.nNumberOfLinks == 1;
}

void ListFile::Replace(const std::string& sideName) {
    constexpr const char* kChanged = "Another program changed the list during the import, so it was not written back";
    // Where a writer could not be kept out (or renamed or replaced the list,
    // which the sharing for deletion lets it do), its edit stays.
    if (!Unchanged()) throw TarsioError(kChanged);
    auto replace = [&] { return paths::ReplaceFileW(name_, sideName, REPLACEFILE_IGNORE_MERGE_ERRORS); };
    if (replace()) return;
    DWORD reason = os::GetLastError();
    // A file system may replace no file that is open, even shared for
    // deletion: then the list is let go, and checked once more.
    if (SharingError(reason)) {
        file_.reset();
        if (!Unchanged()) throw TarsioError(kChanged);
        if (replace()) return;
        reason = os::GetLastError();
    }
    // Without a backup name, a ReplaceFile that cannot move the replacement
    // has already removed the list: the side file takes its name, which the
    // handle could keep occupied by the removed list until it is closed.
    file_.reset();
    if (!Exists(name_) && paths::MoveFileExW(sideName, name_, 0)) return;
    RaiseInOutError(reason);
}

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

void ListFileWriter::Sync() {
    Flush();
    if (!os::FlushFileBuffers(file_.get())) RaiseInOutError(os::GetLastError());
}

void ListFileWriter::Close() {
    Flush();
    if (!os::CloseHandle(file_.release())) RaiseInOutError(os::GetLastError());
}

void WriteListFile(const std::string& fileName, const std::vector<std::string>& lines) {
    UniqueHandle existing(paths::CreateFileW(fileName, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    // A new file, or one with more names (hard links), which must all show
    // the new text, is written in place.
    if (!existing || os::GetFileType(existing.get()) != FILE_TYPE_DISK ||
        !os::GetFileInformationByHandle(existing.get(), &info) || info.nNumberOfLinks > 1) {
        existing.reset();
        UniqueHandle file = OpenForWriting(fileName, CREATE_ALWAYS);
        if (!file) RaiseInOutError(os::GetLastError());
        WriteAll(std::move(file), lines, {});
        return;
    }
    // A file that is there (the last export, say) keeps its text until the
    // new one is whole on the disk beside it, which then takes its place, at
    // the end of any symbolic link or junction on the way.
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) RaiseInOutError(ERROR_ACCESS_DENIED);
    const std::string name = paths::FinalName(existing.get()).value_or(FullName(fileName));
    existing.reset();
    std::string sideName;
    UniqueHandle side = CreateBeside(name, sideName);
    if (!side) RaiseInOutError(os::GetLastError());
    try {
        WriteAll(std::move(side), lines, {}, true);
        if (paths::ReplaceFileW(name, sideName, REPLACEFILE_IGNORE_MERGE_ERRORS)) return;
        // Without a backup name, a ReplaceFile that cannot move the
        // replacement has already removed the file: the side file takes its name.
        const DWORD reason = os::GetLastError();
        if (!Exists(name) && paths::MoveFileExW(sideName, name, 0)) return;
        RaiseInOutError(reason);
    } catch (const TarsioError& e) {
        RaiseKeepingTheText(e, name, sideName);
    }
}

}  // namespace tarsio
