#pragma once

// The graphic characters of the DOS code pages: box drawing (single, double and mixed), blocks
// and shades, and code page 437's Greek and mathematical signs. The Windows charsets the maps
// print through lack most of them, so the shipped maps print plain stand-ins (`+ - | = #`,
// `?`); with box lines on, the renderer draws them as themselves instead.
//
// Every shipped DOS code page keeps its box-drawing, block and shade characters where code page
// 437 has them (0xB0..0xDF and 0xFE), and the maps of the 437 family keep its signs at
// 0xE0..0xFD. A map therefore needs no record of its own to tell them: a byte in those ranges
// is code page 437's character when the map prints it as that character or as a plain
// stand-in for it. A map a user edited keeps the bytes they did not change, and a byte they
// changed to a letter stays that letter.

#include <array>
#include <cstdint>

#include "engine/CharMap.h"

namespace quernel {

enum class TGraphic : std::uint8_t {
    kNone,   // printed through the map
    kShape,  // a box-drawing, block or shade character: a shape filling its cell
    kSign,   // a sign the map's charset lacks: code page 437's character, as text
};

// For each DOS byte, what the map prints it as with box lines on. Bytes the map already prints
// as the right letter or sign are kNone.
std::array<TGraphic, 256> FindGraphics(const TCharMapRecord& map);

// Whether code page 437's byte is a box-drawing, block or shade character.
bool IsShapeByte(std::uint8_t cp437);

// How a box-drawing character's lines leave its cell on each side.
enum class TArm : std::uint8_t { kNone, kLight, kDouble };

struct TBoxArms {
    TArm up = TArm::kNone;
    TArm down = TArm::kNone;
    TArm left = TArm::kNone;
    TArm right = TArm::kNone;
};

// The arms of code page 437's box-drawing byte (0xB3..0xDA); none for any other byte.
TBoxArms BoxArms(std::uint8_t cp437);

}  // namespace quernel
