#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/PrinterPlatform.h"
#include "engine/PrinterSelection.h"
#include "engine/QN_Picture.h"
#include "fakes/FakePrintJobs.h"

namespace quernel::test {

// A printer platform that records every call. Its device is configurable; by default a
// 600 dpi sheet with a printable area of 4960 x 7014 pixels and 100-pixel unprintable strips.
// It also reads printer lists "in the background": each reading answers the next of
// `readings` (the last one again when they run out), at once or, while `readingsHang`, never.
class RecordingPrinter final : public IPrinterPlatform, public IPrinterListReader {
  public:
    struct Text {
        int document;  // 0-based index into documents
        int page;      // 1-based sheet of the document
        int x, y;
        TFontDesc font;
        Bytes bytes;
        std::uint32_t colour = kBlack;
    };
    struct Picture {
        int page;
        TRect rect;
    };
    struct Bitmap {
        int page;
        TRect rect;
        TBitmap bitmap;
        TColor color{};                 // DrawColorBitmap's own colour
        std::uint32_t colour = kBlack;  // SetColour's
    };
    struct Fill {
        int page;
        TRect rect;
        std::uint8_t ink;
        std::uint32_t colour = kBlack;
    };
    struct RawJob {
        std::string printer;
        std::string title;
        Bytes bytes;
        bool closed = false;
    };
    struct Document {
        std::string printer;
        std::string title;
        int copies = 1;
        int pages = 0;
        bool ended = false;
        bool aborted = false;
    };

    RecordingPrinter() = default;

    // --- configuration ---
    TDeviceCaps caps{4960, 7014, 600, 600, 100, 100};
    std::map<std::string, TDeviceCaps> capsByPrinter;  // overrides caps for one printer
    std::vector<std::string> printers{"Laser", "Quernel PDF"};
    // The lists that the following RefreshPrinters calls read, one each; then it stays.
    std::vector<std::vector<std::string>> laterLists;
    int defaultIndex = 0;
    std::map<std::string, std::vector<std::string>> fontsByPrinter;
    std::vector<std::string> defaultFonts{"Courier New", "Liberation Mono"};
    // The installed family of each kind of typeface; a kind not here has none.
    std::map<TFontKind, std::string> families;
    // The advance of a proportional letter; none: the platform's default.
    std::function<double(const TFontDesc&, std::uint8_t)> advance;
    int rawOpenError = 0;                                      // non-zero: RawOpen fails with it
    std::size_t rawWriteLimit = static_cast<std::size_t>(-1);  // RawWrite takes at most this
    std::string failOn;     // a call name ("BeginDoc", "NewPage", "TextOut", "EndDoc")
    bool reachable = true;  // what PrintSystemReachable answers
    std::vector<TPrinterList> readings;
    bool readingsHang = false;
    // Delivery as the real platform does it, when set: a document for a queue becomes a job of
    // `jobs` (created and told to the listener, then given its document at EndDoc or
    // RawClose), one for "Quernel PDF" a file in `pdfFolder` (its name told to the listener
    // before it is written). `onStep` learns each step: "begin" (a document opened),
    // "job-created", "document-sent", "file-chosen", "file-written".
    FakePrintJobs* jobs = nullptr;
    std::filesystem::path pdfFolder;
    // With `jobs`: the queue is stopped, so a job that got its document is held there and the
    // delivery ends with PrinterHeldError, as on a real stopped queue.
    bool queueStopped = false;
    std::function<void(const std::string& step)> onStep;

    // --- what was done ---
    std::vector<std::string> calls;
    std::vector<Text> texts;
    std::vector<Picture> pictures;
    std::vector<Bitmap> bitmaps;
    std::vector<Fill> fills;  // one per rectangle
    std::vector<Document> documents;
    std::vector<RawJob> rawJobs;
    int refreshes = 0;
    int readingsBegun = 0;

    // The texts drawn on one sheet of the last document, in order.
    std::vector<Text> TextsOnPage(int page) const;
    // All drawn bytes of the last document, one string per sheet.
    std::vector<std::string> PageTexts() const;
    // The drawn bytes of every document, one string per document.
    std::vector<std::string> PageTextsOfAll() const;

    // --- IPrinterPlatform ---
    std::vector<std::string> Printers() override;
    void RefreshPrinters() override;
    int PrinterIndex() override;
    void SetPrinterIndex(int index) override;
    std::string Title() override { return title_; }
    void SetTitle(const std::string& title) override;
    int Copies() override { return copies_; }
    void SetCopies(int copies) override;
    bool Printing() override { return printing_; }
    void BeginDoc() override;
    void NewPage() override;
    void EndDoc() override;
    void AbortDoc() override;
    TDeviceCaps DeviceCaps() override;
    std::vector<std::string> Fonts() override;
    std::string FamilyOf(TFontKind kind) override {
        const auto it = families.find(kind);
        return it != families.end() ? it->second : std::string();
    }
    double Advance(const TFontDesc& font, std::uint8_t byte) override {
        return advance ? advance(font, byte) : IPrinterPlatform::Advance(font, byte);
    }
    void SetBkModeTransparent() override { calls.push_back("SetBkModeTransparent"); }
    void MoveTo(int x, int y) override { pen_ = {x, y}; }
    TPoint PenPos() override { return pen_; }
    void TextOut(int x, int y, const TFontDesc& font, ByteView text) override;
    void StretchDraw(const TRect& rect, const IPicture& picture) override;
    void DrawBitmap(const TRect& rect, const TBitmap& bitmap) override;
    void DrawColorBitmap(const TRect& rect, const TBitmap& bitmap, TColor color) override;
    void FillRects(std::span<const TRect> rects, std::uint8_t ink) override;
    void SetColour(std::uint32_t rgb) override { colour_ = rgb; }
    int RawOpen(const std::string& printerName, const std::string& documentName) override;
    std::size_t RawWrite(ByteView data) override;
    void RawClose() override;
    void SetDeliveryListener(IDeliveryListener* listener) override { listener_ = listener; }

    // --- IPrinterListReader ---
    bool PrintSystemReachable() override { return reachable; }
    void BeginReading() override;
    std::optional<TPrinterList> FinishedReading() override;
    void UsePrinterList(const TPrinterList& list) override;

    std::string CurrentName();
    // The program was stopped: no document stays open, nobody listens.
    void Stopped();

  private:
    void MaybeFail(const char* call);
    void Step(const std::string& step);
    // A job for the document on the queue, told to the listener; 0 without `jobs`.
    int CreateJob(const std::string& queue, const std::string& title);
    void SendDocument(int job, std::string content);
    // "Quernel PDF": the document's bytes become a file of `pdfFolder`, if set.
    void WriteFile(const std::string& title, ByteView bytes, const char* extension);

    int rawJob_ = 0;
    IDeliveryListener* listener_ = nullptr;

    int index_ = -1;
    std::string title_;
    int copies_ = 1;
    bool printing_ = false;
    bool rawOpen_ = false;
    std::uint32_t colour_ = kBlack;
    bool reading_ = false;
    TPoint pen_;
};

// Pictures for tests: a file whose text starts with "PICTURE w h" loads as a w x h picture.
class FakePicture final : public IPicture {
  public:
    FakePicture(int w, int h) : w_(w), h_(h) {}
    int Width() const override { return w_; }
    int Height() const override { return h_; }

  private:
    int w_, h_;
};

class FakePictureLoader final : public IPictureLoader {
  public:
    std::shared_ptr<const IPicture> Load(const std::filesystem::path& path) override;
    int loads = 0;
};

}  // namespace quernel::test
