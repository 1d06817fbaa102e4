#include "listfile/list_file.h"

#include <algorithm>
#include <cstdio>

#include "engine/error.h"
#include "platform/os.h"

namespace tarsio {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr char kCtrlZ = 0x1A;

UniqueHandle OpenForWriting(const std::string& fileName, DWORD disposition) {
    return UniqueHandle(os::CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

void WriteAll(UniqueHandle file, const std::vector<std::string>& lines) {
    ListFileWriter writer(std::move(file));
    for (const std::string& line : lines) writer.WriteLine(line);
    writer.Close();
}

// A free name beside the list for its new text.
UniqueHandle CreateBeside(const std::string& fileName, std::string& tempName) {
    for (int i = 0; i < 100; ++i) {
        tempName = fileName + (i ? ".tarsio-new" + std::to_string(i) : ".tarsio-new");
        UniqueHandle file = OpenForWriting(tempName, CREATE_NEW);
        if (file) return file;
        if (os::GetLastError() != ERROR_FILE_EXISTS && os::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return UniqueHandle();
}

}  // namespace

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

ListFileReader::ListFileReader(const std::string& fileName)
    : file_(os::CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)),
      buffer_(kChunk) {
    if (!file_) RaiseInOutError(os::GetLastError());
}

bool ListFileReader::Fill() {
    if (atEnd_) return false;
    DWORD got = 0;
    if (!os::ReadFile(file_.get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), &got, nullptr))
        RaiseInOutError(os::GetLastError());
    pos_ = 0;
    end_ = got;
    if (got == 0) atEnd_ = true;
    return got > 0;
}

bool ListFileReader::ReadLine(std::string& line) {
    if (pos_ == end_ && !Fill()) return false;
    if (buffer_[pos_] == kCtrlZ) return false;
    line.clear();
    while (true) {
        if (pos_ == end_ && !Fill()) return true;
        char c = buffer_[pos_++];
        if (c == '\n') return true;
        if (c != '\r') line.push_back(c);
    }
}

ListFileWriter::ListFileWriter(UniqueHandle file) : file_(std::move(file)) {}

void ListFileWriter::WriteLine(std::string_view line) {
    pending_.append(line);
    pending_.append("\r\n");
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
    WriteAll(std::move(file), lines);
}

void RewriteListFile(const std::string& fileName, const std::vector<std::string>& lines) {
    {
        // Fails where truncating the list would: read-only, held open, a directory.
        UniqueHandle probe(os::CreateFileA(fileName.c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) RaiseInOutError(os::GetLastError());
    }
    std::string tempName;
    UniqueHandle temp = CreateBeside(fileName, tempName);
    if (!temp) {
        // No room beside the list (a folder that takes no new files): in place.
        WriteListFile(fileName, lines);
        return;
    }
    try {
        WriteAll(std::move(temp), lines);
    } catch (...) {
        os::DeleteFileA(tempName.c_str());
        throw;
    }
    // ReplaceFileA keeps the list's attributes and security; where it cannot
    // work, a plain rename still puts the complete new text in place.
    if (os::ReplaceFileA(fileName.c_str(), tempName.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                         nullptr))
        return;
    DWORD reason = os::GetLastError();
    if (os::MoveFileExA(tempName.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
    os::DeleteFileA(tempName.c_str());
    RaiseInOutError(reason);
}

}  // namespace tarsio
