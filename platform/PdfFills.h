#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "engine/PrinterPlatform.h"

namespace quernel::pdf {

// The filled rectangles of a page, by ink, until they are written. A rectangle that continues
// one in the same row or column (the line of a frame drawn cell by cell) extends it, so that a
// frame costs a few rectangles rather than a few per cell. Each ink is written as one path and
// one fill: viewers that smooth edges then show no seam where rectangles touch.
class TFills {
  public:
    void Add(const TRect& rect, std::uint8_t ink);
    bool Empty() const { return byInk_.empty(); }
    // The path operators of every ink (device pixels), and forgets them. Solid ink paints in the
    // current colour, `colour` (0xRRGGBB); a shade is that share of it on white.
    std::string Take(std::uint32_t colour);

  private:
    using TKey = std::tuple<std::uint8_t, int, int>;  // ink and the two edges shared
    bool ExtendRow(const TRect& rect, std::uint8_t ink);
    bool ExtendColumn(const TRect& rect, std::uint8_t ink);

    std::map<std::uint8_t, std::vector<TRect>> byInk_;
    std::map<TKey, std::size_t> rows_;     // the last rectangle of a row: by top and bottom
    std::map<TKey, std::size_t> columns_;  // the last one of a column: by left and right
};

}  // namespace quernel::pdf
