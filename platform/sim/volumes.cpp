// Drives, volumes and text conversion of the simulated platform.

#include <algorithm>
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

// The code page a conversion asks for, 0 when the simulation has none:
// the process code page (also for the thread's and the OEM one), 1252, UTF-8.
UINT ResolveCodePage(UINT cp) {
    if (cp == CP_ACP || cp == CP_THREAD_ACP || cp == CP_OEMCP) return AnsiCodePage();
    return cp == kLegacyCodePage || cp == kUtf8CodePage ? cp : 0;
}

}  // namespace

DWORD VolumeSerial(char letter) { return 0x7A510000u | static_cast<DWORD>(letter); }

}  // namespace sim

namespace os {

using namespace sim;

UINT GetDriveTypeA(LPCSTR root) {
    // The API asks for the root with its backslash; the simulation holds
    // callers to that, so "C:" has no root here.
    char letter = DriveOfRoot(root, true);
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
    if (serial) *serial = VolumeSerial(letter);
    if (maxComponentLength) *maxComponentLength = 255;
    if (flags) {
        *flags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
        if (info.fileSystem == "NTFS")
            *flags |= FILE_CASE_SENSITIVE_SEARCH | FILE_PERSISTENT_ACLS | FILE_SUPPORTS_REPARSE_POINTS;
    }
    return TRUE;
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH text, int length, LPWSTR out, int outLength) {
    if (Enter("MultiByteToWideChar")) return 0;
    UINT cp = ResolveCodePage(codePage);
    if (!cp || !text || length == 0 || outLength < 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // UTF-8 takes no flag but MB_ERR_INVALID_CHARS.
    if (cp == kUtf8CodePage && (flags & ~MB_ERR_INVALID_CHARS)) {
        SetError(ERROR_INVALID_FLAGS);
        return 0;
    }
    std::size_t n = length < 0 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
    bool invalid = false;
    std::u16string wide = cp == kUtf8CodePage ? Utf8ToUtf16(std::string_view(text, n), &invalid)
                                              : Cp1252ToUtf16(std::string_view(text, n));
    if (invalid && (flags & MB_ERR_INVALID_CHARS)) {
        SetError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (outLength == 0) return static_cast<int>(wide.size());
    if (wide.size() > static_cast<std::size_t>(outLength)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(wide.begin(), wide.end(), out);
    return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH text, int length, LPSTR out, int outLength,
                        LPCCH defaultChar, LPBOOL usedDefault) {
    if (Enter("WideCharToMultiByte")) return 0;
    UINT cp = ResolveCodePage(codePage);
    if (!cp || !text || length == 0 || outLength < 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t n = static_cast<std::size_t>(length);
    if (length < 0) {
        n = 0;
        while (text[n]) ++n;
        ++n;
    }
    std::u16string_view src(text, n);
    std::string bytes;
    if (cp == kUtf8CodePage) {
        // UTF-8 has no default character: asking for one, or for another
        // flag than WC_ERR_INVALID_CHARS, is refused, as on Windows.
        if (flags & ~WC_ERR_INVALID_CHARS) {
            SetError(ERROR_INVALID_FLAGS);
            return 0;
        }
        if (defaultChar || usedDefault) {
            SetError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        bool invalid = false;
        bytes = Utf16ToUtf8(src, &invalid);
        if (invalid && (flags & WC_ERR_INVALID_CHARS)) {
            SetError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
    } else {
        bool defaulted = false;
        bytes = Utf16ToCp1252(src, !(flags & WC_NO_BEST_FIT_CHARS), defaultChar ? *defaultChar : '?', &defaulted);
        if (usedDefault) *usedDefault = defaulted;
    }
    if (outLength == 0) return static_cast<int>(bytes.size());
    if (bytes.size() > static_cast<std::size_t>(outLength)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

int CompareStringOrdinal(LPCWCH a, int aLength, LPCWCH b, int bLength, BOOL ignoreCase) {
    if (!a || !b || aLength < -1 || bLength < -1) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto text = [](LPCWCH s, int n) {
        return std::u16string_view(s, n < 0 ? std::char_traits<char16_t>::length(s) : static_cast<std::size_t>(n));
    };
    const std::u16string_view x = text(a, aLength), y = text(b, bLength);
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
        const char16_t p = ignoreCase ? UpCase(x[i]) : x[i], q = ignoreCase ? UpCase(y[i]) : y[i];
        if (p != q) return p < q ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
    }
    if (x.size() == y.size()) return CSTR_EQUAL;
    return x.size() < y.size() ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

UINT GetACP() { return AnsiCodePage(); }

int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR data, int size) {
    if (locale != LOCALE_SYSTEM_DEFAULT || type != LOCALE_IDEFAULTANSICODEPAGE || size < 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string text = std::to_string(kLegacyCodePage);
    if (size == 0) return static_cast<int>(text.size() + 1);
    if (!CopyOut(text, data, static_cast<DWORD>(size))) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(text.size() + 1);
}

BOOL IsDBCSLeadByte(BYTE) { return FALSE; }

DWORD GetModuleFileNameW(HMODULE module, LPWSTR name, DWORD size) {
    const std::u16string path = u"C:\\Program Files\\Tarsio\\Tarsio.exe";
    if (module || !name) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Too small a buffer gets the name cut to size - 1 and its terminator.
    std::size_t n = std::min<std::size_t>(path.size(), size ? size - 1 : 0);
    std::copy_n(path.begin(), n, name);
    if (size) name[n] = 0;
    if (n < path.size()) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return static_cast<DWORD>(n);
}

}  // namespace os
