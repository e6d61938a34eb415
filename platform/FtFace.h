#pragma once

// A face of a font file read with FreeType, sized and measured as Qt's FreeType font engine
// sizes and measures it. Used by the fontconfig font source only.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <string>

#include "platform/FontSource.h"

namespace quernel {

// A font file of the font configuration and how the configuration describes it.
struct TFontFile {
    std::string path;
    int index = 0;
    std::string family;
    // The family as Qt names the face: the name a request gave when it names an installed
    // family (in its own letter case, "Family [foundry]" too), else the family itself.
    std::string name;
    std::string foundry;
    std::string style;
    bool bold = false;
    bool italic = false;
    bool fixedPitch = false;
};

// The FreeType library of one font source, kept by every face opened with it.
struct TFtLibrary {
    FT_Library library = nullptr;
    TFtLibrary();
    ~TFtLibrary();
    TFtLibrary(const TFtLibrary&) = delete;
    TFtLibrary& operator=(const TFtLibrary&) = delete;
};

// One opened face of a font file, shared by every size drawn from it.
struct TOpenFace {
    std::shared_ptr<TFtLibrary> library;
    FT_Face face = nullptr;
    TOpenFace() = default;
    ~TOpenFace();
    TOpenFace(const TOpenFace&) = delete;
    TOpenFace& operator=(const TOpenFace&) = delete;
};

// The sizes and metrics of a face at a pixel size and horizontal stretch, as Qt's FreeType
// engine derives them from FreeType's scaled size.
struct TSizedMetrics {
    FT_F26Dot6 xsize = 0;
    FT_F26Dot6 ysize = 0;
    FT_Fixed xScale = 0;
    double ascent = 0;
    double descent = 0;
    double averageWidth = 0;
    double capHeight = 0;
    double underlinePos = 0;
    double lineWidth = 0;
};

// What a request asks that a face may lack: Qt slants a face without an italic of its own and
// thickens a face lighter than bold at small sizes, in the glyphs' outlines.
struct TSynthesis {
    bool italic = false;
    bool bold = false;
};

// A face at a pixel size, stretched horizontally as drawn. Its metrics are measured once, at
// construction.
class TFtFace final : public IFontFace {
  public:
    TFtFace(std::shared_ptr<TOpenFace> open, TFontFile file, double pixelSize, int stretch,
            TSynthesis asked);

    const TFontFile& File() const { return file_; }
    // False when FreeType cannot size the face.
    bool Usable() const { return metrics_.xScale != 0; }
    double UnderlinePos() const { return metrics_.underlinePos; }
    double LineWidth() const { return metrics_.lineWidth; }

    std::string Family() const override { return file_.name; }
    std::string Style() const override { return style_; }
    double PixelSize() const override { return pixelSize_; }
    std::shared_ptr<const IFontFace> Resized(double pixelSize) const override;
    std::uint32_t Glyph(char32_t ch) const override;
    double Advance(std::uint32_t glyph) const override;
    double AverageCharWidth() const override { return metrics_.averageWidth; }
    double Ascent() const override { return metrics_.ascent; }
    double Descent() const override { return metrics_.descent; }
    double CapHeight() const override { return metrics_.capHeight; }
    TGlyphOutline Outline(std::uint32_t glyph) const override;
    std::string Table(std::string_view tag) const override;
    bool Bold() const override { return file_.bold; }
    bool Italic() const override { return file_.italic; }
    bool FixedPitch() const override { return file_.fixedPitch; }

  private:
    std::shared_ptr<TOpenFace> open_;
    TFontFile file_;
    std::string style_;
    double pixelSize_;
    int stretch_;
    TSynthesis asked_;
    bool oblique_;
    bool embolden_;
    TSizedMetrics metrics_;
};

}  // namespace quernel
