#pragma once

#include <string>

#include "engine/PrinterPlatform.h"

namespace quernel {

// The installed family of a kind of typeface, as the font configuration resolves its generic
// families ("serif", "sans-serif", "monospace", "cursive"); empty when none of that kind is
// installed: a serif or script request that ends at the sans-serif family, a monospace one
// that ends at a proportional family, or no font at all. Script without a family of its own
// is the serif one, its nearest.
std::string InstalledFamily(TFontKind kind);

}  // namespace quernel
