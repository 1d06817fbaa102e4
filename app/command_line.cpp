#include "app/command_line.h"

#include "engine/ascii.h"

namespace tarsio {
namespace {

bool IsSeparator(char c) {
    auto b = static_cast<unsigned char>(c);
    return b >= 1 && b <= 32;
}

// Reads one parameter starting at `pos`; returns the position after it.
std::size_t NextParameter(std::string_view s, std::size_t pos, std::string& param) {
    param.clear();
    while (true) {
        while (pos < s.size() && IsSeparator(s[pos])) ++pos;
        if (pos + 1 < s.size() && s[pos] == '"' && s[pos + 1] == '"')
            pos += 2;
        else
            break;
    }
    while (pos < s.size() && s[pos] != '\0' && !IsSeparator(s[pos])) {
        if (s[pos] == '"') {
            ++pos;
            while (pos < s.size() && s[pos] != '\0' && s[pos] != '"') param.push_back(s[pos++]);
            if (pos < s.size() && s[pos] == '"') ++pos;
        } else {
            param.push_back(s[pos++]);
        }
    }
    return pos;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> params;
    std::string param;
    std::size_t pos = NextParameter(commandLine, 0, param);
    params.push_back(param);
    while (true) {
        pos = NextParameter(commandLine, pos, param);
        if (param.empty()) break;
        params.push_back(param);
    }
    return params;
}

ModeChoice ChooseRunMode(const std::vector<std::string>& parameters) {
    if (parameters.size() != 2) return {RunMode::Window, {}};
    if (LowerAscii(parameters[0]) == "-import") return {RunMode::ConsoleImport, parameters[1]};
    return {RunMode::Quit, {}};
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& arg : arguments) {
        if (!line.empty()) line.push_back(' ');
        bool quote = arg.empty();
        for (char c : arg)
            if (IsSeparator(c)) quote = true;
        if (quote) line.push_back('"');
        for (char c : arg)
            if (c != '"') line.push_back(c);
        if (quote) line.push_back('"');
    }
    return line;
}

}  // namespace tarsio
