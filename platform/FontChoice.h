#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/PrinterPlatform.h"

namespace quernel {

// The installed family of a kind of typeface, as the font configuration resolves its generic
// families ("serif", "sans-serif", "monospace", "cursive"); empty when none of that kind is
// installed: a serif or script request that ends at the sans-serif family, a monospace one
// that ends at a proportional family, or no font at all. Script without a family of its own
// is the serif one, its nearest.
std::string InstalledFamily(TFontKind kind);

// The advances of the glyphs of fonts as the page canvas and the PDF document draw them
// (SizeFontForCell), device pixels; measured once per font description.
class TGlyphAdvances {
  public:
    TGlyphAdvances();
    ~TGlyphAdvances();
    double Advance(const TFontDesc& font, std::uint8_t byte);

  private:
    struct TEntry;
    std::vector<std::unique_ptr<TEntry>> entries_;
};

}  // namespace quernel
