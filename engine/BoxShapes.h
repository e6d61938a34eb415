#pragma once

// The DOS box-drawing, block and shade characters drawn as shapes that fill their character
// cell: lines run from edge to edge of the cell, so that they meet the lines of the cells
// beside, above and below without a gap, whatever the pitch and the line spacing.

#include <cstdint>
#include <vector>

namespace quernel {

// A character cell in the frame of its line, in device pixels: `along` the line, and across it
// from the cell's top toward the foot of the characters.
struct TShapeCell {
    double along = 0;  // where the cell starts
    double width = 0;  // the character's width: vertical lines run through its middle
    double step = 0;   // from the cell's start to the next cell's: horizontal lines reach it
    int height = 0;    // the cell's height: horizontal lines run through its middle
    // How far down vertical lines and blocks reach: the height, or the distance to the next
    // line when that is more, so that they meet the line below.
    int reach = 0;
    int stroke = 1;  // the thickness of a line
};

// A rectangle of a shape: [along0, along1) along the line, [across0, across1) from the cell's
// top; `ink` is its share of ink, 255 solid.
struct TShapeRect {
    int along0 = 0;
    int across0 = 0;
    int along1 = 0;
    int across1 = 0;
    std::uint8_t ink = 255;
    bool operator==(const TShapeRect&) const = default;
};

// Appends the rectangles of code page 437's box-drawing, block or shade byte drawn in the
// cell; nothing for another byte.
void AppendShape(std::uint8_t cp437, const TShapeCell& cell, std::vector<TShapeRect>& out);

}  // namespace quernel
