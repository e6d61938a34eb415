#pragma once

#include <memory>
#include <string>

#include "platform/FontSource.h"

namespace quernel {

// The fonts of PDF documents read with fontconfig and FreeType alone, for processes that do not
// load Qt's graphical libraries. It gives the faces, sizes and metrics Qt's FreeType font engine
// gives for the same requests: the metrics follow FreeType's scaled sizes as Qt reads them.
// Unlike Qt it never picks a condensed or expanded face for a stretch: the requested face is
// scaled horizontally. One source per thread: its faces share FreeType objects unguarded.
class TFtFontSource final : public IFontSource {
  public:
    TFtFontSource();
    ~TFtFontSource() override;
    TFtFontSource(const TFtFontSource&) = delete;
    TFtFontSource& operator=(const TFtFontSource&) = delete;

    std::unique_ptr<ICellFont> ForCell(const TFontDesc& desc) override;
    std::shared_ptr<const IFontFace> ByName(const std::string& family, const std::string& style,
                                            double pixelSize) override;
    std::string FamilyOf(TFontKind kind) override;

    struct TImpl;

  private:
    std::shared_ptr<TImpl> impl_;
};

}  // namespace quernel
