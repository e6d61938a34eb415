#include <algorithm>

#include "engine/EscPCommand.h"
#include "engine/EscPLanguage.h"

// How long each ESC/P command is, and which family of printers a printout was written for.

namespace quernel {

namespace escp {

TDensity DensityOf(int mode) {
    switch (mode) {
        case 0:
            return {8, 60};
        case 1:
            return {8, 120};
        case 2:
            return {8, 120};
        case 3:
            return {8, 240};
        case 4:
            return {8, 80};
        case 5:
            return {8, 72};
        case 6:
            return {8, 90};
        case 7:
            return {8, 144};
        case 32:
            return {24, 60};
        case 33:
            return {24, 120};
        case 38:
            return {24, 90};
        case 39:
            return {24, 180};
        case 40:
            return {24, 360};
        case 71:
            return {48, 180};
        case 72:
            return {48, 360};
        case 73:
            return {48, 360};
        default:  // a mode no printer has: its data is skipped by the size its range implies
            return {mode < 32 ? 8 : mode < 64 ? 24 : 48, 60};
    }
}

std::size_t RunLengthInput(ByteView data, std::size_t from, std::size_t size) {
    std::size_t in = from, out = 0;
    while (out < size) {
        if (in >= data.size()) return data.size() - from + 1;
        const std::uint8_t counter = data[in++];
        if (counter < 128) {
            in += counter + 1u;
            out += counter + 1u;
        } else {
            ++in;
            out += 257u - counter;
        }
    }
    return in - from;
}

int DensityIndex(int letter) {
    switch (letter) {
        case 'K':
            return 0;
        case 'L':
            return 1;
        case 'Y':
            return 2;
        case 'Z':
            return 3;
        default:
            return -1;
    }
}

}  // namespace escp

using namespace escp;

namespace {

// Parameter bytes of the commands with a fixed number of them; -1 for the others.
int FixedParameters(std::uint8_t c) {
    switch (c) {
        case '#':
        case '0':
        case '1':
        case '2':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9':
        case '<':
        case '=':
        case '>':
        case '@':
        case 'E':
        case 'F':
        case 'G':
        case 'H':
        case 'M':
        case 'O':
        case 'P':
        case 'T':
        case 'g':
        case 0x0E:
        case 0x0F:
            return 0;
        case ' ':
        case '!':
        case '%':
        case '+':
        case '-':
        case '/':
        case '3':
        case 'A':
        case 'I':
        case 'J':
        case 'N':
        case 'Q':
        case 'R':
        case 'S':
        case 'U':
        case 'W':
        case 'a':
        case 'h':
        case 'i':
        case 'j':
        case 'k':
        case 'l':
        case 'm':
        case 'p':
        case 'q':
        case 'r':
        case 's':
        case 't':
        case 'w':
        case 'x':
        case 0x19:
            return 1;
        case '$':
        case '?':
        case '\\':
        case 'c':
        case 'e':
        case 'f':
            return 2;
        case ':':
        case 'X':
            return 3;
        default:
            return -1;
    }
}

}  // namespace

TEscPMeasure MeasureEscP(ByteView data, std::size_t p, TPins pins,
                         const std::array<std::uint8_t, 4>& densities) {
    const std::size_t size = data.size();
    if (p + 1 >= size) return {1, 0, false, false};
    const std::uint8_t c = data[p + 1];
    const auto at = [&](std::size_t i) -> int { return p + i < size ? data[p + i] : 0; };
    // The whole command of `head` bytes and `payload` data bytes, as far as the data goes.
    const auto measure = [&](std::size_t head, std::size_t payload) {
        const std::size_t length = std::min(head + payload, size - p);
        return TEscPMeasure{length, length > head ? length - head : 0, true,
                            head + payload <= size - p};
    };
    // Values up to a NUL, at most `most` of them.
    const auto untilNul = [&](std::size_t from, std::size_t most) {
        std::size_t i = from;
        while (p + i < size && data[p + i] != kNul && i - from < most) ++i;
        if (p + i < size && data[p + i] == kNul) return measure(i + 1, 0);
        return measure(i - from < most ? i + 1 : i, 0);
    };
    if (const int fixed = FixedParameters(c); fixed >= 0) return measure(2 + fixed, 0);
    switch (c) {
        case 'K':
        case 'L':
        case 'Y':
        case 'Z': {
            const int mode = densities[static_cast<std::size_t>(DensityIndex(c))];
            const std::size_t columns = static_cast<std::size_t>(at(2) | (at(3) << 8));
            return measure(4, columns * BytesPerColumn(mode));
        }
        case '*': {
            const std::size_t columns = static_cast<std::size_t>(at(3) | (at(4) << 8));
            return measure(5, columns * BytesPerColumn(at(2)));
        }
        case '^': {  // 9-pin graphics: two bytes a column
            const std::size_t columns = static_cast<std::size_t>(at(3) | (at(4) << 8));
            return measure(5, columns * 2);
        }
        case '.': {  // ESC/P 2 raster: c v h m nL nH
            const std::size_t rows = static_cast<std::size_t>(at(5));
            const std::size_t columns = static_cast<std::size_t>(at(6) | (at(7) << 8));
            const std::size_t bytes = rows * ((columns + 7) / 8);
            const int compression = at(2);
            if (compression == 1) return measure(8, RunLengthInput(data, p + 8, bytes));
            return measure(8, compression == 0 ? bytes : 0);
        }
        case '(': {  // ESC/P 2: ESC ( c nL nH and n bytes, data only for text and bar codes
            const std::size_t n = static_cast<std::size_t>(at(3) | (at(4) << 8));
            return at(2) == '^' || at(2) == 'B' ? measure(5, n) : measure(5 + n, 0);
        }
        case '&': {  // user-defined characters: NUL, first, last, then each character
            std::size_t i = 5;
            const int first = at(3), last = at(4);
            for (int ch = first; ch <= last && p + i < size; ++ch) {
                if (pins == TPins::k9) {
                    i += 12;  // attribute byte and 11 columns
                } else {
                    i += 3 + static_cast<std::size_t>(at(i + 1)) * 3;  // spaces, width, columns
                }
            }
            return measure(5, i - 5);
        }
        case 'B':
            return untilNul(2, kMaxVerticalTabs);
        case 'D':
            return untilNul(2, kMaxTabs);
        case 'b':
            return untilNul(3, kMaxVerticalTabs);
        case 'C':
            return measure(at(2) == 0 ? 4 : 3, 0);
        default:
            return {2, 0, false, true};  // unknown: the ESC and the letter
    }
}

TPins DetectPins(ByteView data) {
    int nine = 0, twentyFour = 0;
    int nineSpacing = 0, twentyFourSpacing = 0;
    for (std::size_t p = 0; p < data.size();) {
        if (data[p] != kEsc) {
            ++p;
            continue;
        }
        const TEscPMeasure m = MeasureEscP(data, p, TPins::k24, kEscPDefaultDensities);
        const int c = p + 1 < data.size() ? data[p + 1] : 0;
        const int n = p + 2 < data.size() ? data[p + 2] : -1;
        if (c == '*' && n >= 32) ++twentyFour;
        if (c == '*' && (n == 5 || n == 7)) ++nine;
        if (c == '?' && p + 3 < data.size()) {
            if (data[p + 3] >= 32) ++twentyFour;
            if (data[p + 3] == 5 || data[p + 3] == 7) ++nine;
        }
        if (c == '(' || c == '+' || c == '.' || c == 'X' || c == 'c') ++twentyFour;
        if (c == '^' || c == '1') ++nine;
        // 1/6, 1/8 and 1/12 inch are 36, 27 and 18 on a 9-pin printer, 30, 22.5, 15 on a
        // 24-pin one.
        if (c == '3' && n > 0) {
            if (n % 9 == 0 && n % 5 != 0) ++nineSpacing;
            if (n % 15 == 0 && n % 9 != 0) ++twentyFourSpacing;
        }
        if (c == 'A' && n > 0) {
            if (n % 12 == 0 && n % 10 != 0) ++nineSpacing;
            if (n % 10 == 0 && n % 12 != 0) ++twentyFourSpacing;
        }
        p += m.length;
    }
    if (nine != twentyFour) return nine > twentyFour ? TPins::k9 : TPins::k24;
    return nineSpacing > twentyFourSpacing ? TPins::k9 : TPins::k24;
}

}  // namespace quernel
