#include "engine/DosGraphics.h"

#include <string_view>

#include "engine/CodePages.h"

namespace quernel {

namespace {

constexpr std::uint8_t kFirstShape = 0xB0;
constexpr std::uint8_t kLastShape = 0xDF;
constexpr std::uint8_t kBlackSquare = 0xFE;  // ■
constexpr std::uint8_t kFirstSign = 0xE0;
constexpr std::uint8_t kLastSign = 0xFD;
constexpr std::uint8_t kFirstBox = 0xB3;
constexpr std::uint8_t kLastBox = 0xDA;

// The arms of 0xB3..0xDA, up, down, left and right: 0 none, 1 single, 2 double.
constexpr std::string_view kArms[] = {
    "1100", "1110", "1120", "2210", "0210", "0120", "2220", "2200",  // │┤╡╢╖╕╣║
    "0220", "2020", "2010", "1020", "0110", "1001", "1011", "0111",  // ╗╝╜╛┐└┴┬
    "1101", "0011", "1111", "1102", "2201", "2002", "0202", "2022",  // ├─┼╞╟╚╔╩
    "0222", "2202", "0022", "2222", "1022", "2011", "0122", "0211",  // ╦╠═╬╧╨╤╥
    "2001", "1002", "0102", "0201", "2211", "1122", "1010", "0101",  // ╙╘╒╓╫╪┘┌
};

// What the shipped maps print for a sign their charset lacks: the nearest plain sign, or "?".
char SignStandIn(char32_t sign) {
    switch (sign) {
        case U'≥':
            return '>';
        case U'≤':
            return '<';
        case U'≈':
            return '~';
        case U'≡':
            return '=';
        case U'∙':
        case U'·':
            return '.';
        case U'ⁿ':
            return 'n';
        case U'²':
            return '2';
        case U'µ':
            return 'u';
        case U'±':
            return '+';
        case U'÷':
            return ':';
        default:
            return '?';
    }
}

bool IsShapeStandIn(char32_t printed) {
    return printed == '+' || printed == '-' || printed == '|' || printed == '=' || printed == '#';
}

}  // namespace

bool IsShapeByte(std::uint8_t cp437) {
    return (cp437 >= kFirstShape && cp437 <= kLastShape) || cp437 == kBlackSquare;
}

TBoxArms BoxArms(std::uint8_t cp437) {
    if (cp437 < kFirstBox || cp437 > kLastBox) return {};
    const std::string_view arms = kArms[cp437 - kFirstBox];
    const auto arm = [&](std::size_t i) { return static_cast<TArm>(arms[i] - '0'); };
    return {arm(0), arm(1), arm(2), arm(3)};
}

std::array<TGraphic, 256> FindGraphics(const TCharMapRecord& map) {
    std::array<TGraphic, 256> out{};
    const auto& dos = CodePageTable(CodePage::kCp437);
    const auto& printedIn = CodePageTable(CharsetAt(map.CharsetIndex).codePage);
    for (int b = kFirstShape; b <= kBlackSquare; ++b) {
        const char32_t own = dos[static_cast<std::size_t>(b)];
        const char32_t printed = printedIn[map.Map[static_cast<std::size_t>(b)]];
        const auto byte = static_cast<std::uint8_t>(b);
        if (IsShapeByte(byte)) {
            if (printed == own || IsShapeStandIn(printed)) out[byte] = TGraphic::kShape;
        } else if (b >= kFirstSign && b <= kLastSign && printed != own &&
                   printed == static_cast<char32_t>(SignStandIn(own))) {
            out[byte] = TGraphic::kSign;
        }
    }
    return out;
}

}  // namespace quernel
