#include "engine/EscPCommand.h"
#include "engine/EscPLanguage.h"

// ESC/P user-defined characters: dot patterns the printout defines (ESC &), the ROM characters
// copied over them (ESC :), and the choice between the two sets (ESC %).

namespace quernel {

using namespace escp;

namespace {

// The dots of one column, the highest bit the top dot, into column x of the bitmap from row y.
void SetColumn(TBitmap& bitmap, int x, int y, std::uint8_t bits) {
    for (int bit = 0; bit < 8; ++bit) {
        if (bits & (0x80 >> bit)) bitmap.SetDot(x, y + bit);
    }
}

}  // namespace

bool TEscPLanguage::UserCharacterCommand(const TEscPCommand& cmd) {
    switch (cmd.key) {
        case 'x':  // draft or letter quality: user characters are defined for one of them
            if (IsOff(cmd.Arg(0))) draft_ = true;
            if (IsOn(cmd.Arg(0))) draft_ = false;
            return false;  // nothing else to do here, but not this part's alone
        case '%':
            userSet_ = (cmd.Arg(0) & 1) != 0;
            return true;
        case ':':  // the ROM characters copied over the user-defined ones
            userCharacters_ = {};
            return true;
        case '&':
            break;
        default:
            return false;
    }
    // NUL, the first and the last code, then each character's definition.
    const ByteView data = cmd.params.subspan(std::min<std::size_t>(3, cmd.params.size()));
    const int first = cmd.Arg(1), last = cmd.Arg(2);
    std::size_t at = 0;
    for (int code = first; code <= last && at < data.size(); ++code) {
        TUserCharacter ch;
        if (pins_ == TPins::k9) {
            // An attribute byte and 11 columns of 8 dots, 1/120 inch apart, 1/72 inch down; a
            // clear top bit of the attribute moves the dots down a pin, for descenders.
            if (at + 12 > data.size()) break;
            const int top = (data[at] & 0x80) ? 0 : 1;
            ch.dots = TBitmap::Blank(11, 9);
            for (int x = 0; x < 11; ++x) SetColumn(ch.dots, x, top, data[at + 1 + x]);
            ch.width = 11 / 120.0;
            ch.height = 9 / 72.0;
            at += 12;
        } else {
            // Space left, width and space right, then three bytes a column of 24 dots, 1/180
            // inch down; columns 1/360 inch apart in letter quality, 1/120 in draft.
            if (at + 3 > data.size()) break;
            const int left = data[at], width = data[at + 1], right = data[at + 2];
            const std::size_t bytes = static_cast<std::size_t>(width) * 3;
            if (at + 3 + bytes > data.size()) break;
            const int columns = left + width + right;
            if (columns > 0) {
                ch.dots = TBitmap::Blank(columns, 24);
                for (int x = 0; x < width; ++x) {
                    for (int k = 0; k < 3; ++k) {
                        SetColumn(ch.dots, left + x, 8 * k,
                                  data[at + 3 + static_cast<std::size_t>(3 * x + k)]);
                    }
                }
                ch.width = columns / (draft_ ? 120.0 : 360.0);
                ch.height = 24 / 180.0;
            }
            at += 3 + bytes;
        }
        if (code < static_cast<int>(userCharacters_.size())) {
            userCharacters_[static_cast<std::size_t>(code)] = std::move(ch);
        }
    }
    return true;
}

bool TEscPLanguage::PrintUserCharacter(std::uint8_t b, IPage* page) {
    // ESC % 1 prints the lower half's defined characters; table 2, while no table is assigned
    // to it, prints them in the upper half.
    int code = -1;
    if (userSet_ && b < 0x80) code = b;
    const TCharTable& slot2 = tables_[2];
    if (table_ == 2 && !slot2.italic && !slot2.upper && b >= 0x80) code = b - 0x80;
    if (code < 0) return false;
    const TUserCharacter& ch = userCharacters_[static_cast<std::size_t>(code)];
    if (ch.dots.width == 0) return false;  // not defined: the ROM character
    if (page) page->PrintPicture(ch.dots, ch.width, ch.height);
    return true;
}

}  // namespace quernel
