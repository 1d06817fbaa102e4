#pragma once
// Case folding of the ASCII letters only: keywords and drive names compare
// alike in every ANSI code page.

#include <string>

namespace tarsio {

inline std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace tarsio
