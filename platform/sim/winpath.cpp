#include "platform/sim/winpath.h"

#include <algorithm>
#include <cctype>

#include "platform/sim/codepage.h"

namespace sim {
namespace {

bool IsSep(char c) { return c == '\\' || c == '/'; }

bool IsDriveSpec(std::string_view p) {
    return p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]));
}

// The components between separators; a literal name has only backslashes.
std::vector<std::string> SplitComponents(std::string_view rest, bool literal = false) {
    auto isSep = [literal](char c) { return c == '\\' || (!literal && c == '/'); };
    std::vector<std::string> parts;
    parts.reserve(static_cast<std::size_t>(std::count_if(rest.begin(), rest.end(), isSep)) + 1);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || isSep(rest[i])) {
            parts.emplace_back(rest.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// True when Canonicalize would give `rest` back unchanged: components
// separated by single backslashes, none of them "." or "..", and the last
// one, unless a backslash ends the name, without trailing periods or blanks.
bool IsCanonical(std::string_view rest) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i < rest.size() && rest[i] != '\\') {
            if (rest[i] == '/') return false;
            continue;
        }
        std::string_view seg = rest.substr(start, i - start);
        bool last = i == rest.size();
        if (seg.empty()) return last && !rest.empty();
        if (seg == "." || seg == "..") return false;
        if (last && (seg.back() == '.' || seg.back() == ' ')) return false;
        start = i + 1;
    }
    return true;
}

// Applies ".", ".." and separator collapsing to `rest` and appends it to
// `root`, which ends with a backslash.
std::string Canonicalize(const std::string& root, std::string_view rest) {
    std::vector<std::string> parts = SplitComponents(rest);
    bool trailingSeparator = !rest.empty() && IsSep(rest.back());

    std::vector<std::string> out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string& seg = parts[i];
        bool last = i + 1 == parts.size();
        if (last && !trailingSeparator) {
            while (!seg.empty() && (seg.back() == '.' || seg.back() == ' ') && seg != "." && seg != "..")
                seg.pop_back();
        }
        if (seg.empty() || seg == ".") continue;
        if (seg == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        out.push_back(std::move(seg));
    }
    std::string result = root;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i) result.push_back('\\');
        result += out[i];
    }
    if (trailingSeparator && !out.empty()) result.push_back('\\');
    return result;
}

// The root of a full path ("C:\", "\\server\share\") and what follows it.
void SplitRoot(std::string_view full, std::string& root, std::string_view& rest) {
    if (IsDriveSpec(full)) {
        root = std::string(full.substr(0, 2)) + "\\";
        rest = full.size() > 3 ? full.substr(3) : std::string_view{};
        return;
    }
    // UNC: \\server\share
    std::size_t pos = 2;
    int seps = 0;
    while (pos < full.size()) {
        if (IsSep(full[pos]) && ++seps == 2) break;
        ++pos;
    }
    root = std::string(full.substr(0, pos));
    for (char& c : root)
        if (c == '/') c = '\\';
    root.push_back('\\');
    rest = pos < full.size() ? full.substr(pos + 1) : std::string_view{};
}

// The DOS device that a name's last component stands for, as Windows reads
// it: CON, PRN, AUX, NUL, COM1 to COM9 or LPT1 to LPT9 in any case, with
// anything after a period and trailing blanks ignored ("nul.txt", "COM1:").
// Empty when it stands for none.
std::string_view DosDeviceName(std::string_view path) {
    if (path.size() > 2 && path.back() == ':') path.remove_suffix(1);
    std::size_t start = path.find_last_of("\\/:");
    std::string_view name = path.substr(start == std::string_view::npos ? 0 : start + 1);
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bool known = upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL" ||
                 (upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
                  upper[3] >= '1' && upper[3] <= '9');
    return known ? name : std::string_view{};
}

}  // namespace

DWORD FullPathName(std::string_view path, std::string_view cwd, std::string& out) {
    if (path.empty()) return ERROR_INVALID_NAME;
    if (path.size() >= 4 && IsSep(path[0]) && IsSep(path[1]) && (path[2] == '.' || path[2] == '?') &&
        IsSep(path[3])) {
        // Device namespaces: the root is the prefix alone, so ".." may remove
        // the device component too.
        out = Canonicalize(std::string("\\\\") + path[2] + "\\", path.substr(4));
        return ERROR_SUCCESS;
    }
    if (IsSep(path[0]) && path.size() >= 2 && IsSep(path[1])) {
        std::string root;
        std::string_view rest;
        SplitRoot(path, root, rest);
        out = Canonicalize(root, rest);
        if (out == root && !IsSep(path.back())) out.pop_back();
        return ERROR_SUCCESS;
    }
    if (std::string_view device = DosDeviceName(path); !device.empty()) {
        out = "\\\\.\\" + std::string(device);
        return ERROR_SUCCESS;
    }

    if (IsDriveSpec(path) && path.size() >= 3 && path[2] == '\\' && IsCanonical(path.substr(3))) {
        out.assign(path);
        return ERROR_SUCCESS;
    }

    std::string cwdRoot;
    std::string_view cwdRest;
    SplitRoot(cwd, cwdRoot, cwdRest);

    if (IsDriveSpec(path)) {
        if (path.size() >= 3 && IsSep(path[2])) {
            std::string root = std::string(path.substr(0, 2)) + "\\";
            out = Canonicalize(root, path.substr(3));
            return ERROR_SUCCESS;
        }
        // Drive-relative: against the current directory if it is on that drive.
        bool sameDrive = IsDriveSpec(cwd) && std::toupper(static_cast<unsigned char>(cwd[0])) ==
                                                 std::toupper(static_cast<unsigned char>(path[0]));
        std::string base = sameDrive ? std::string(cwd) : std::string(path.substr(0, 2)) + "\\";
        if (base.back() != '\\') base.push_back('\\');
        std::string root = base.substr(0, 3);
        out = Canonicalize(root, base.substr(3) + std::string(path.substr(2)));
        return ERROR_SUCCESS;
    }
    if (IsSep(path[0])) {
        out = Canonicalize(cwdRoot, path.substr(1));
        return ERROR_SUCCESS;
    }
    std::string combined(cwdRest);
    if (!combined.empty() && !IsSep(combined.back())) combined.push_back('\\');
    combined += path;
    out = Canonicalize(cwdRoot, combined);
    return ERROR_SUCCESS;
}

bool HasWildcards(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

DWORD ParseFullPath(std::string_view full, bool allowWildcards, ParsedPath& out, bool literal) {
    out = ParsedPath{};
    std::string_view body;
    if (full.substr(0, 4) == "\\\\?\\" || full.substr(0, 4) == "\\\\.\\") {
        std::string_view rest = full.substr(4);
        if (!IsDriveSpec(rest) || rest.size() < 3 || rest[2] != '\\') {
            std::string unc(rest.substr(0, 4));
            for (char& c : unc) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            out.kind = unc == "UNC\\" ? PathKind::Unc : PathKind::Device;
            return ERROR_SUCCESS;
        }
        full = rest;
    }
    if (IsDriveSpec(full)) {
        out.kind = PathKind::Drive;
        out.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(full[0])));
        body = full.size() > 3 ? full.substr(3) : std::string_view{};
    } else if (full.size() >= 2 && full[0] == '\\' && full[1] == '\\') {
        out.kind = PathKind::Unc;
        return ERROR_SUCCESS;
    } else {
        return ERROR_INVALID_NAME;
    }
    if (body.empty()) return ERROR_SUCCESS;
    out.trailingSeparator = body.back() == '\\';
    std::vector<std::string> parts = SplitComponents(body, literal);
    if (out.trailingSeparator) parts.pop_back();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        bool last = i + 1 == parts.size();
        if (part.empty()) return ERROR_INVALID_NAME;
        for (char ch : part) {
            auto c = static_cast<unsigned char>(ch);
            bool wildcard = c == '*' || c == '?';
            if (c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '/' ||
                (wildcard && !(allowWildcards && last)))
                return ERROR_INVALID_NAME;
        }
    }
    out.components = std::move(parts);
    return ERROR_SUCCESS;
}

namespace {

bool Match(std::u16string_view p, std::u16string_view n) {
    std::size_t pi = 0, ni = 0, starP = std::u16string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == u'?' || UpCase(p[pi]) == UpCase(n[ni]))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == u'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::u16string_view::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*') ++pi;
    return pi == p.size();
}

}  // namespace

bool MatchesPattern(std::u16string_view pattern, std::u16string_view name) {
    if (pattern == u"*.*" || pattern == u"*") return true;
    if (Match(pattern, name)) return true;
    if (pattern.size() > 2 && pattern.substr(pattern.size() - 2) == u".*" &&
        name.find(u'.') == std::u16string_view::npos)
        return Match(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

}  // namespace sim
