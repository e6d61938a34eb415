#pragma once

#include <QPageLayout>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>

#include "engine/PrinterPlatform.h"
#include "engine/PrinterSelection.h"
#include "engine/QueueSettings.h"
#include "host/Clock.h"
#include "platform/OutputFile.h"
#include "platform/PdfDocument.h"
#include "platform/QtFontSource.h"

namespace quernel {

// The printing platform on Qt PrintSupport and CUPS. The printers are the CUPS queues in CUPS's
// order and, last, the built-in "Quernel PDF", which writes each document as a PDF file
// "<title>_<date>_<time>.pdf" (raw documents as ".prn") into PdfFolder(). Needs a
// QGuiApplication.
//
// Every document is written as PDF by TPdfDocument (see PdfDocument.h for why not by QPrinter).
// A CUPS queue's page size, resolution and margins come from QPrinter; its document goes to a
// temporary PDF file handed to CUPS at EndDoc, so that AbortDoc prints nothing and a refused
// job raises an error.
//
// The print system's list can also be read on another thread (IPrinterListReader), so that a
// scheduler that starts late or answers slowly holds up nothing.
class QtPrinterPlatform final : public IPrinterPlatform, public IPrinterListReader {
  public:
    static constexpr const char* kPdfPrinterName = "Quernel PDF";
    static constexpr int kPdfResolution = 600;

    // Reads the printer list; the current printer is the default one. The clock names files.
    QtPrinterPlatform();
    explicit QtPrinterPlatform(const IClock& clock);
    // Only the built-in "Quernel PDF", without asking the print system: for documents that go
    // to a file anyway (asking takes a connection to the scheduler, or a wait for it).
    struct BuiltInOnly {};
    explicit QtPrinterPlatform(BuiltInOnly);
    ~QtPrinterPlatform() override;
    QtPrinterPlatform(const QtPrinterPlatform&) = delete;
    QtPrinterPlatform& operator=(const QtPrinterPlatform&) = delete;

    // $QUERNEL_PDF_DIR when set, else ~/QUERNEL/PDF.
    static std::filesystem::path PdfFolder();
    // "Quernel PDF" writes into this folder from now on (the environment's folder, when set,
    // still wins); empty: PdfFolder().
    void SetDocumentFolder(const std::filesystem::path& folder) override {
        documentFolder_ = folder;
    }
    std::filesystem::path DocumentFolder() const;

    // The next documents, drawn (as PDF) or raw, go to exactly this file, replacing it, whatever
    // printer is current; an empty path goes back to the printers.
    void SetOutputFile(const std::filesystem::path& path) override;
    // The file the last finished document was saved as ("Quernel PDF" or the output file);
    // empty when there is none, or when it went to a print queue.
    const std::filesystem::path& LastOutputPath() const { return lastOutputPath_; }
    std::filesystem::path LastOutputFile() const override { return lastOutputPath_; }

    // The page size, orientation and margins a printer set-up dialog chose for a printer; its
    // documents use them from then on. Without one a queue uses its own defaults and
    // "Quernel PDF" A4 portrait without margins.
    QPageLayout PageLayout(const std::string& printer);
    void SetPageLayout(const std::string& printer, const QPageLayout& layout);
    // The job options chosen for a CUPS queue in its settings (paper, tray, two-sided printing,
    // quality); every document for the queue gets them.
    TQueueOptions JobOptions(const std::string& printer) const;
    void SetJobOptions(const std::string& printer, const TQueueOptions& options);

    std::vector<std::string> Printers() override;
    void RefreshPrinters() override;
    int PrinterIndex() override;
    void SetPrinterIndex(int index) override;

    std::string Title() override;
    void SetTitle(const std::string& title) override;
    int Copies() override;
    void SetCopies(int copies) override;

    bool Printing() override;
    void BeginDoc() override;
    void NewPage() override;
    void EndDoc() override;
    void AbortDoc() override;

    TDeviceCaps DeviceCaps() override;
    std::vector<std::string> Fonts() override;
    std::string FamilyOf(TFontKind kind) override { return fonts_.FamilyOf(kind); }
    double Advance(const TFontDesc& font, std::uint8_t byte) override {
        return advances_.Advance(font, byte);
    }

    void SetBkModeTransparent() override;
    void MoveTo(int x, int y) override;
    TPoint PenPos() override;
    void TextOut(int x, int y, const TFontDesc& font, ByteView text) override;
    void StretchDraw(const TRect& rect, const IPicture& picture) override;
    void DrawBitmap(const TRect& rect, const TBitmap& bitmap) override;
    void DrawColorBitmap(const TRect& rect, const TBitmap& bitmap, TColor color) override;
    void FillRects(std::span<const TRect> rects, std::uint8_t ink) override;
    // A queue that does not print in colour (CUPS's printer type says so) gets black.
    void SetColour(std::uint32_t rgb) override;

    int RawOpen(const std::string& printerName, const std::string& documentName) override;
    std::size_t RawWrite(ByteView data) override;
    void RawClose() override;
    void SetDeliveryListener(IDeliveryListener* listener) override;

    bool PrintSystemReachable() override { return reachable_; }
    void BeginReading() override;
    std::optional<TPrinterList> FinishedReading() override;
    void UsePrinterList(const TPrinterList& list) override;

  private:
    struct TRawDocument;

    // The current printer's sheet and device metrics.
    struct TSetup {
        TDeviceCaps caps;
        TPdfPageSetup page;
        QByteArray media;    // the page size's name for CUPS
        bool colour = true;  // prints in colour: a PDF file, or a colour queue
    };

    bool ToPdf() const;
    std::string CurrentName() const;
    std::string TargetText() const;  // "the printer ..." or "the file ..." for messages
    const TSetup& Setup();
    void DropDocument() noexcept;
    // What tells the listener the name a document file gets ("Quernel PDF" only: a file the
    // caller named is its own business); none without a listener.
    std::function<void(const std::filesystem::path&)> NamingListener() const;
    void RequireDocument(const char* what) const;

    const IClock& clock_;
    std::vector<std::string> printers_;
    bool reachable_ = true;
    std::future<TPrinterList> reading_;
    int defaultIndex_ = -1;
    int index_ = -1;
    std::string title_;
    int copies_ = 1;
    std::filesystem::path outputFile_;
    std::filesystem::path lastOutputPath_;
    std::filesystem::path documentFolder_;
    TPoint pen_;

    // The current printer's metrics, read once per printer choice: before and during a document.
    std::optional<TSetup> setup_;
    std::map<std::string, QPageLayout> layouts_;
    std::map<std::string, TQueueOptions> jobOptions_;
    // The document being printed: its file (declared first: the document writes into it), and
    // its CUPS queue (empty for a PDF kept as a file), copies and page size for that queue.
    std::unique_ptr<TPendingOutputFile> file_;
    std::unique_ptr<TPdfDocument> document_;
    TQtFontSource fonts_;
    TGlyphAdvances advances_{fonts_};
    std::string documentPrinter_;
    int documentCopies_ = 1;
    QByteArray documentMedia_;
    bool documentColour_ = true;
    std::unique_ptr<TRawDocument> raw_;
    IDeliveryListener* listener_ = nullptr;
};

}  // namespace quernel
