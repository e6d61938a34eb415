#pragma once

// What the parts of the ESC/P reader share: one command as read, its parameters, the graphics
// densities, run-length data. Internal to the engine.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/Bytes.h"

namespace quernel::escp {

inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr std::uint8_t kNul = 0x00;
inline constexpr double kEpsilon = 1e-9;
// Tab stops, horizontal and vertical, that one command may set at most.
inline constexpr std::size_t kMaxTabs = 32;
inline constexpr std::size_t kMaxVerticalTabs = 16;

// The key of an extended command ESC ( c, apart from the one-letter commands ESC c.
constexpr int Ext(char c) {
    return 0x100 | static_cast<std::uint8_t>(c);
}

// One command as read: ESC c and its parameters, or ESC ( c nL nH and its parameters.
struct TEscPCommand {
    int key = 0;           // the letter, or Ext(letter) for ESC ( letter
    ByteView all;          // the whole command from ESC
    ByteView params;       // what follows the letter (ESC ( c: what follows nL nH)
    bool complete = true;  // false when the printout ends inside it

    // The command of `length` bytes at data[p]; data[p] is ESC.
    static TEscPCommand Read(ByteView data, std::size_t p, std::size_t length, bool complete) {
        TEscPCommand cmd;
        cmd.all = data.subspan(p, length);
        cmd.complete = complete;
        const int letter = cmd.all.size() > 1 ? cmd.all[1] : 0;
        if (letter == '(') {
            cmd.key = Ext(static_cast<char>(cmd.all.size() > 2 ? cmd.all[2] : 0));
            cmd.params = cmd.all.subspan(std::min<std::size_t>(5, cmd.all.size()));
        } else {
            cmd.key = letter;
            cmd.params = cmd.all.subspan(std::min<std::size_t>(2, cmd.all.size()));
        }
        return cmd;
    }
    // Parameter i (0 when the command is shorter), and two of them as a little-endian word.
    int Arg(std::size_t i) const { return i < params.size() ? params[i] : 0; }
    int Word(std::size_t i) const { return Arg(i) | (Arg(i + 1) << 8); }
};

inline bool IsOn(int n) {
    return n == 1 || n == '1';
}

inline bool IsOff(int n) {
    return n == 0 || n == '0';
}

// The graphics of an ESC * mode: dots a column, dots an inch along the line.
struct TDensity {
    int dots;
    double dpi;
};

TDensity DensityOf(int mode);

inline int BytesPerColumn(int mode) {
    return DensityOf(mode).dots / 8;
}

// Which of ESC K, L, Y and Z a letter names, as the index of its graphics mode; -1 for another.
int DensityIndex(int letter);

// The input bytes that ESC/P 2 run-length data takes to give `size` bytes: a counter below
// 128 is followed by counter + 1 bytes as they are, a higher one by one byte repeated
// 257 - counter times. Past the end of the data when it is cut short.
std::size_t RunLengthInput(ByteView data, std::size_t from, std::size_t size);
// `size` bytes of run-length data; missing bytes are 0.
Bytes RunLengthDecode(ByteView data, std::size_t size);

// The upper half (0x80..0xFF) of a character table an ESC/P printout can assign with
// ESC ( t d1 d2 d3 (d2 d3 name it); nullptr for one not known here (EscPCharTables.cpp).
const std::array<char32_t, 128>* RegisteredTable(int d2, int d3);
// What the PC code pages print for the bytes 0x00..0x1F where a printer prints them as
// characters (ESC ( ^, ESC I 1).
extern const std::array<char32_t, 32> kPcControlGlyphs;

// What a command is called in --explain: graphics by the mode in force for ESC K, L, Y, Z.
std::string_view CommandName(const TEscPCommand& cmd, const std::array<std::uint8_t, 4>& densities);

}  // namespace quernel::escp
