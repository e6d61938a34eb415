#pragma once

#include "platform/FontSource.h"

namespace quernel {

// The fonts as Qt finds and draws them (SizeFontForCell, QRawFont): the program's source, the
// same fonts its page preview shows.
class TQtFontSource final : public IFontSource {
  public:
    std::unique_ptr<ICellFont> ForCell(const TFontDesc& desc) override;
    std::shared_ptr<const IFontFace> ByName(const std::string& family, const std::string& style,
                                            double pixelSize) override;
    std::string FamilyOf(TFontKind kind) override;
};

}  // namespace quernel
