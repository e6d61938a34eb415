// See PdfDocument.h for why Quernel writes PDF itself. This file: the document and its pages.

#include "platform/PdfDocument.h"

#include <cstdio>

#include "platform/PdfDocumentImpl.h"

namespace quernel {

using namespace pdf;

// ---------------------------------------------------------------- document and pages

void TPdfDocument::TImpl::Begin(const std::string& title, const LocalDateTime& created) {
    writer.Begin();
    catalogObject = writer.Reserve();
    pagesObject = writer.Reserve();
    resourcesObject = writer.Reserve();
    infoObject = writer.Reserve();
    writer.WriteObject(catalogObject,
                       "<</Type/Catalog/Pages " + std::to_string(pagesObject) + " 0 R>>");
    char date[32];
    std::snprintf(date, sizeof date, "(D:%04d%02d%02d%02d%02d%02d)", created.year, created.month,
                  created.day, created.hour, created.minute, created.second);
    std::string info = "<<";
    if (!title.empty()) info += "/Title" + PdfTextString(title);
    info += "/Creator(Quernel)/Producer(Quernel)/CreationDate";
    info += date;
    info += ">>";
    writer.WriteObject(infoObject, info);
    BeginPage();
}

void TPdfDocument::TImpl::BeginPage() {
    content.Clear();
    inText = false;
    stateFont = -1;
    stateSize = 0;
    stateScale = 1;
    stateSpacing = 0;
    stateStroke = 0;
    stateOutline = false;
    stateLeading = 0;
    haveLine = false;
    runOpen = false;
    runStylePtr = nullptr;
    next.entry = nullptr;
    lines.clear();
    contentColour = kBlack;
    // Device pixels, y downward, from the drawing origin: the renderer's coordinates.
    const double sx = 72.0 / page.dpiX;
    const double sy = 72.0 / page.dpiY;
    content.Numbers({sx, 0, 0, -sy, page.offsetX * sx, page.paperHeight - page.offsetY * sy}, 6);
    content += "cm\n";
}

void TPdfDocument::TImpl::EndPage() {
    EndText();
    const int contents = writer.Reserve();
    pendingPages.emplace_back(contents, writer.Reserve());
    deflater.Push(content.View());
    content.Clear();
    WriteCompressedPages(kCompressionLag);
}

void TPdfDocument::TImpl::WriteCompressedPages(std::size_t lag) {
    while (pendingPages.size() > lag) {
        const std::string packed = deflater.Pop();
        const auto [contents, object] = pendingPages.front();
        pendingPages.pop_front();
        writer.WriteDeflatedStream(contents, "", packed);
        writer.WriteObject(object, "<</Type/Page/Parent " + std::to_string(pagesObject) +
                                       " 0 R/Contents " + std::to_string(contents) + " 0 R>>");
        pageObjects.push_back(object);
    }
}

void TPdfDocument::TImpl::Finish() {
    EndPage();
    WriteCompressedPages(0);
    finished = true;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const TFace& face = faces[i];
        if (face.fonts.empty()) continue;
        if (face.trueType) {
            WriteTrueTypeFace(face, static_cast<int>(i));
        } else {
            for (int f : face.fonts) WriteType3Font(fonts[static_cast<std::size_t>(f)], face);
        }
    }

    std::string resources = "<<";
    if (!fonts.empty()) {
        resources += "/Font<<";
        for (const TFont& font : fonts) {
            resources += "/" + font.name + " " + std::to_string(font.object) + " 0 R";
        }
        resources += ">>";
    }
    if (!images.empty() || !masks.empty()) {
        resources += "/XObject<<";
        for (const TImageUse& use : images) {
            const auto& [name, object] = use.resource;
            resources += "/" + name + " " + std::to_string(object) + " 0 R";
        }
        for (const auto& [name, object] : masks) {
            resources += "/" + name + " " + std::to_string(object) + " 0 R";
        }
        resources += ">>";
    }
    resources += ">>";
    writer.WriteObject(resourcesObject, resources);

    std::string pages = "<</Type/Pages/Count " + std::to_string(pageObjects.size()) + "/Kids[";
    for (std::size_t i = 0; i < pageObjects.size(); ++i) {
        if (i > 0) pages += ' ';
        pages += std::to_string(pageObjects[i]) + " 0 R";
    }
    pages += "]/MediaBox[0 0 ";
    AppendNumbers(pages, {page.paperWidth}, 3);
    AppendPdfNumber(pages, page.paperHeight, 3);
    pages += "]/Resources " + std::to_string(resourcesObject) + " 0 R>>";
    writer.WriteObject(pagesObject, pages);
    writer.Finish(catalogObject, infoObject);
}

// ---------------------------------------------------------------- public interface

TPdfDocument::TPdfDocument(TPdfWriter::TSink sink, std::string target, const TPdfPageSetup& setup,
                           IFontSource& fonts, const std::string& title,
                           const LocalDateTime& created)
    : impl_(std::make_unique<TImpl>(std::move(sink), std::move(target), setup, fonts)) {
    impl_->Begin(title, created);
}

TPdfDocument::~TPdfDocument() = default;

void TPdfDocument::NewPage() {
    if (impl_->finished) throw PrinterError("NewPage on a finished document.");
    impl_->EndPage();
    impl_->BeginPage();
}

void TPdfDocument::TextOut(int x, int y, const TFontDesc& font, ByteView text) {
    if (impl_->finished) throw PrinterError("Text drawn on a finished document.");
    impl_->UseColour();
    impl_->TextOut(x, y, font, text);
}

void TPdfDocument::DrawImage(const TRect& rect, const std::shared_ptr<const TPdfImage>& image) {
    if (impl_->finished) throw PrinterError("Picture drawn on a finished document.");
    impl_->DrawImage(rect, image);
}

void TPdfDocument::DrawBitmap(const TRect& rect, const TBitmap& bitmap, TColor color) {
    if (impl_->finished) throw PrinterError("Picture drawn on a finished document.");
    impl_->UseColour();
    impl_->DrawBitmap(rect, bitmap, color);
}

void TPdfDocument::FillRects(std::span<const TRect> rects, std::uint8_t ink) {
    if (impl_->finished) throw PrinterError("Shapes drawn on a finished document.");
    impl_->UseColour();
    impl_->FillRects(rects, ink);
}

void TPdfDocument::SetColour(std::uint32_t rgb) {
    impl_->colour = rgb & 0xFFFFFF;
}

void TPdfDocument::Finish() {
    if (impl_->finished) throw PrinterError("The document is already finished.");
    impl_->Finish();
}

int TPdfDocument::PageCount() const {
    return static_cast<int>(impl_->pageObjects.size() + impl_->pendingPages.size()) +
           (impl_->finished ? 0 : 1);
}

}  // namespace quernel
