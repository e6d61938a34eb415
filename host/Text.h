#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace quernel {

// The text with the letters A-Z (a-z) changed; other bytes, UTF-8 included, stay as they are.
inline std::string ToUpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}
inline std::string ToLowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Orders texts as a sorted list box does: letters without regard to case.
inline bool LessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The text as one line of the history or the log, with nothing in it that could break the
// line or change how a terminal or a text box shows it: control characters become "\n",
// "\r", "\t" or "\xHH" (so do bytes that are not UTF-8), the C1 controls and the Unicode
// line separators and direction overrides "\uHHHH". A backslash stays as it is.
std::string EscapeControls(std::string_view text);

}  // namespace quernel
