// Drives, volumes and text conversion of the simulated platform.

#include <cctype>
#include <cstring>

#include "platform/os.h"
#include "platform/sim/codepage.h"
#include "platform/sim/core.h"

namespace sim {
namespace {

// The drive letter of "X:" or "X:\", or 0.
char DriveOfRoot(LPCSTR root, bool backslashRequired) {
    std::string r = root ? std::string(root) : CurrentDirectory().substr(0, 3);
    if (r.size() < 2 || r[1] != ':' || !std::isalpha(static_cast<unsigned char>(r[0]))) return 0;
    bool withSlash = r.size() == 3 && (r[2] == '\\' || r[2] == '/');
    if (!(withSlash || (r.size() == 2 && !backslashRequired))) return 0;
    return static_cast<char>(std::toupper(static_cast<unsigned char>(r[0])));
}

bool CopyOut(const std::string& text, LPSTR out, DWORD size) {
    if (!out) return true;
    if (size < text.size() + 1) return false;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

bool SupportedCodePage(UINT cp) { return cp == CP_ACP || cp == CP_THREAD_ACP || cp == kAnsiCodePage; }

}  // namespace
}  // namespace sim

namespace os {

using namespace sim;

UINT GetDriveTypeA(LPCSTR root) {
    char letter = DriveOfRoot(root, false);
    if (!letter) return DRIVE_NO_ROOT_DIR;
    DriveInfo info = QueryDrive(letter);
    return info.exists ? info.type : DRIVE_NO_ROOT_DIR;
}

BOOL GetVolumeInformationA(LPCSTR root, LPSTR volumeName, DWORD volumeNameSize, LPDWORD serial,
                           LPDWORD maxComponentLength, LPDWORD flags, LPSTR fsName, DWORD fsNameSize) {
    if (Enter("GetVolumeInformationA", root ? root : "")) return FALSE;
    // The root directory is named with its trailing backslash, "C:\".
    char letter = DriveOfRoot(root, true);
    if (!letter) {
        SetError(ERROR_INVALID_NAME);
        return FALSE;
    }
    DriveInfo info = QueryDrive(letter);
    if (!info.exists || !info.hasMedium) {
        SetError(info.exists ? ERROR_NOT_READY : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!CopyOut("", volumeName, volumeNameSize) || !CopyOut(info.fileSystem, fsName, fsNameSize)) {
        SetError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    if (serial) *serial = 0x7A510000u | static_cast<DWORD>(letter);
    if (maxComponentLength) *maxComponentLength = 255;
    if (flags) {
        *flags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
        if (info.fileSystem == "NTFS")
            *flags |= FILE_CASE_SENSITIVE_SEARCH | FILE_PERSISTENT_ACLS | FILE_SUPPORTS_REPARSE_POINTS;
    }
    return TRUE;
}

int MultiByteToWideChar(UINT codePage, DWORD, LPCCH text, int length, LPWSTR out, int outLength) {
    if (Enter("MultiByteToWideChar")) return 0;
    if (!SupportedCodePage(codePage) || !text || outLength < 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t n = length < 0 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
    std::u16string wide = AnsiToUtf16(std::string_view(text, n));
    if (outLength == 0) return static_cast<int>(wide.size());
    if (wide.size() > static_cast<std::size_t>(outLength)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(wide.begin(), wide.end(), out);
    return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWCH text, int length, LPSTR out, int outLength, LPCCH defaultChar,
                        LPBOOL usedDefault) {
    if (Enter("WideCharToMultiByte")) return 0;
    if (!SupportedCodePage(codePage) || !text || outLength < 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t n = static_cast<std::size_t>(length);
    if (length < 0) {
        n = 0;
        while (text[n]) ++n;
        ++n;
    }
    bool defaulted = false;
    std::string ansi = Utf16ToAnsi(std::u16string_view(text, n), &defaulted);
    if (defaulted && defaultChar) {
        std::u16string_view src(text, n);
        for (std::size_t i = 0; i < ansi.size(); ++i)
            if (ansi[i] == '?' && src[i] != u'?') ansi[i] = *defaultChar;
    }
    if (usedDefault) *usedDefault = defaulted;
    if (outLength == 0) return static_cast<int>(ansi.size());
    if (ansi.size() > static_cast<std::size_t>(outLength)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, ansi.data(), ansi.size());
    return static_cast<int>(ansi.size());
}

BOOL IsDBCSLeadByte(BYTE) { return FALSE; }

}  // namespace os
