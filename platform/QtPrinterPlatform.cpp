#include "platform/QtPrinterPlatform.h"

#include "host/Environment.h"
#include "host/StopPoints.h"

#include <cups/cups.h>

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <utility>
#include <vector>

#include "engine/PrintSystemErrors.h"
#include "platform/QtPicture.h"

namespace quernel {

namespace fs = std::filesystem;

namespace {

bool IppFailed(ipp_status_t status) {
    return status > IPP_STATUS_OK_EVENTS_COMPLETE;
}

// True when the scheduler this thread uses accepts a connection.
bool SchedulerAnswers() {
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                5000, nullptr);
    if (http == nullptr) return false;
    httpClose(http);
    return true;
}

// A CUPS failure as libcups reported it to this thread.
struct TCupsError {
    int status = 0;
    std::string said;
};

TCupsError LastCupsError() {
    return {cupsLastError(), cupsLastErrorString()};
}

// The failure said for the user. libcups reports some failures as internal errors with the
// text of a failed system call ("No such file or directory", "Broken pipe"): a queue that does
// not exist, a scheduler that does not answer or went away. Those are told apart by asking
// again (never while a request is open on the connection).
PrinterError CupsFailure(const std::string& queue, TCupsError error = LastCupsError()) {
    if (error.status == IPP_STATUS_ERROR_INTERNAL ||
        !IppFailed(static_cast<ipp_status_t>(error.status))) {
        if (!SchedulerAnswers()) {
            error.status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
        } else if (cups_dest_t* dest =
                       cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr)) {
            cupsFreeDests(1, dest);
        } else if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
            error = LastCupsError();
        }
    }
    return PrinterError(PrintSystemErrorText(queue, error.status, error.said));
}

// Hands a finished PDF to a CUPS queue as one job of one document; the listener learns the
// job before the document is sent.
void SubmitPdfJob(const std::string& queue, const fs::path& pdf, const std::string& title,
                  int copies, const QByteArray& media, const TQueueOptions& chosen,
                  IDeliveryListener* listener) {
    const auto error = [&] { return CupsFailure(queue); };
    std::ifstream in(pdf, std::ios::binary);
    if (!in) throw PrinterError("Cannot read the document's file " + pdf.string() + ".");

    cups_option_t* options = nullptr;
    int count = 0;
    if (!media.isEmpty()) count = cupsAddOption("media", media.constData(), count, &options);
    // The options chosen for the queue in its settings (a paper of its own list included).
    for (const auto& [name, value] : chosen) {
        count = cupsAddOption(name.c_str(), value.c_str(), count, &options);
    }
    if (copies > 1) {
        count = cupsAddOption("copies", std::to_string(copies).c_str(), count, &options);
        count = cupsAddOption("Collate", "True", count, &options);
    }
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, queue.c_str(), title.c_str(), count, options);
    cupsFreeOptions(count, options);
    if (job <= 0) throw error();
    StopPoint("job-created");
    if (listener != nullptr) listener->JobCreated(queue, job);
    // A job that did not get the whole document is cancelled rather than printed cut.
    const auto cancel = [&](const PrinterError& e) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.c_str(), job, 0);
        throw e;
    };

    if (cupsStartDocument(CUPS_HTTP_DEFAULT, queue.c_str(), job, title.c_str(), CUPS_FORMAT_PDF,
                          1) != HTTP_STATUS_CONTINUE) {
        cancel(error());
    }
    std::vector<char> buffer(1 << 16);
    bool sent = true;
    while (sent && in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) break;
        sent = cupsWriteRequestData(CUPS_HTTP_DEFAULT, buffer.data(), got) == HTTP_STATUS_CONTINUE;
        StopPoint("document-sending");
    }
    const TCupsError lost = LastCupsError();
    const bool readAll = in.eof();
    const ipp_status_t status = cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.c_str());
    if (!sent) cancel(CupsFailure(queue, lost));
    if (!readAll) cancel(PrinterError("Cannot read the document's file " + pdf.string() + "."));
    if (IppFailed(status)) throw error();
}

// The CUPS queues, read with this thread's own connection (so also on another thread).
TPrinterList ReadCupsPrinters() {
    TPrinterList list;
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    list.reachable = count > 0 || cupsLastError() != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    for (int i = 0; i < count; ++i) {
        const cups_dest_t& dest = dests[i];
        if (dest.is_default && list.defaultName.empty()) list.defaultName = dest.name;
        // Instances ("queue/instance") are option sets of a queue, not printers of their own.
        if (dest.instance == nullptr) list.names.emplace_back(dest.name);
    }
    cupsFreeDests(count, dests);
    return list;
}

const IClock& DefaultClock() {
    static const SystemClock clock;
    return clock;
}

// A stopped queue accepts jobs and keeps them: nothing prints until it is resumed. Say so
// instead of staying silent, after the job was handed over (it is not lost).
void ThrowIfQueueStopped(const std::string& queue) {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
    if (dest == nullptr) return;
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    const char* why = cupsGetOption("printer-state-message", dest->num_options, dest->options);
    const bool stopped = state != nullptr && std::string(state) == "5";  // IPP_PSTATE_STOPPED
    const std::string reason = why != nullptr && *why != '\0' ? std::string(" (") + why + ")" : "";
    cupsFreeDests(1, dest);
    if (stopped) {
        throw PrinterHeldError("The printer \"" + queue + "\" is stopped" + reason +
                               ": the document waits in its queue until the printer is resumed.");
    }
}

// Whether CUPS counts the queue among the colour printers (from its PPD or the printer's own
// answer); a queue it knows nothing of prints black.
bool QueuePrintsColour(const std::string& queue) {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
    if (dest == nullptr) return false;
    const char* type = cupsGetOption("printer-type", dest->num_options, dest->options);
    const bool colour =
        type != nullptr && (std::strtoul(type, nullptr, 10) & CUPS_PRINTER_COLOR) != 0;
    cupsFreeDests(1, dest);
    return colour;
}

}  // namespace

struct QtPrinterPlatform::TRawDocument {
    std::optional<TPendingOutputFile> file;  // "Quernel PDF" or the output file
    std::string printer;                     // a CUPS queue
    int job = 0;
    bool failed = false;  // a write failed: the caller learnt it from RawWrite's answer
    TCupsError failure;   // what CUPS said when a write to a queue failed
};

QtPrinterPlatform::QtPrinterPlatform() : QtPrinterPlatform(DefaultClock()) {}

QtPrinterPlatform::QtPrinterPlatform(const IClock& clock) : clock_(clock) {
    RefreshPrinters();
}

QtPrinterPlatform::QtPrinterPlatform(BuiltInOnly) : clock_(DefaultClock()) {
    UsePrinterList({});
}

QtPrinterPlatform::~QtPrinterPlatform() {
    DropDocument();
    if (raw_ && raw_->job > 0) {
        // A raw job never finished must not print half.
        cupsCancelJob2(CUPS_HTTP_DEFAULT, raw_->printer.c_str(), raw_->job, 0);
    }
}

fs::path QtPrinterPlatform::DocumentFolder() const {
    if (GetEnv("QUERNEL_PDF_DIR") || documentFolder_.empty()) return PdfFolder();
    return documentFolder_;
}

fs::path QtPrinterPlatform::PdfFolder() {
    if (auto dir = GetEnv("QUERNEL_PDF_DIR")) return *dir;
    return QuernelFolder() / "PDF";
}

void QtPrinterPlatform::SetOutputFile(const fs::path& path) {
    if (document_) {
        throw PrinterError("Cannot change the output file while a document is being printed.");
    }
    outputFile_ = path;
    setup_.reset();
}

std::vector<std::string> QtPrinterPlatform::Printers() {
    return printers_;
}

void QtPrinterPlatform::RefreshPrinters() {
    UsePrinterList(ReadCupsPrinters());
}

void QtPrinterPlatform::BeginReading() {
    if (reading_.valid()) return;
    reading_ = std::async(std::launch::async, ReadCupsPrinters);
}

std::optional<TPrinterList> QtPrinterPlatform::FinishedReading() {
    if (!reading_.valid() ||
        reading_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        return std::nullopt;
    }
    return reading_.get();
}

void QtPrinterPlatform::UsePrinterList(const TPrinterList& list) {
    const std::string current = index_ >= 0 ? printers_[static_cast<std::size_t>(index_)] : "";
    std::vector<std::string> names = list.names;
    names.emplace_back(kPdfPrinterName);
    const std::string& defaultName = list.defaultName;
    reachable_ = list.reachable;

    printers_ = std::move(names);
    const auto indexOf = [&](const std::string& name) {
        for (std::size_t i = 0; i < printers_.size(); ++i) {
            if (printers_[i] == name) return static_cast<int>(i);
        }
        return -1;
    };
    defaultIndex_ = indexOf(defaultName);
    if (defaultIndex_ < 0) defaultIndex_ = static_cast<int>(printers_.size()) - 1;
    const int kept = current.empty() ? -1 : indexOf(current);
    index_ = kept >= 0 ? kept : defaultIndex_;
    if (!document_) setup_.reset();
}

int QtPrinterPlatform::PrinterIndex() {
    return index_;
}

void QtPrinterPlatform::SetPrinterIndex(int index) {
    if (document_) {
        throw PrinterError("Cannot change the printer while a document is being printed.");
    }
    if (index == -1) {
        index = defaultIndex_;
    } else if (index < 0 || index >= static_cast<int>(printers_.size())) {
        throw PrinterError("There is no printer number " + std::to_string(index) + " (there are " +
                           std::to_string(printers_.size()) + ").");
    }
    if (index != index_) setup_.reset();
    index_ = index;
}

std::string QtPrinterPlatform::Title() {
    return title_;
}

void QtPrinterPlatform::SetTitle(const std::string& title) {
    title_ = title;
}

int QtPrinterPlatform::Copies() {
    return copies_;
}

void QtPrinterPlatform::SetCopies(int copies) {
    if (copies < 1) {
        throw PrinterError("The number of copies must be at least 1, not " +
                           std::to_string(copies) + ".");
    }
    copies_ = copies;
}

bool QtPrinterPlatform::Printing() {
    return document_ != nullptr;
}

std::string QtPrinterPlatform::CurrentName() const {
    return index_ >= 0 ? printers_[static_cast<std::size_t>(index_)] : std::string();
}

std::string QtPrinterPlatform::TargetText() const {
    if (!outputFile_.empty()) return "the file \"" + outputFile_.string() + "\"";
    return "the printer \"" + CurrentName() + "\"";
}

bool QtPrinterPlatform::ToPdf() const {
    return !outputFile_.empty() ||
           (index_ >= 0 && printers_[static_cast<std::size_t>(index_)] == kPdfPrinterName);
}

const QtPrinterPlatform::TSetup& QtPrinterPlatform::Setup() {
    if (setup_) return *setup_;
    QRect page, paper;
    QRectF paperPoints;
    int dpiX = kPdfResolution, dpiY = kPdfResolution;
    TSetup setup;
    const auto chosen = layouts_.find(CurrentName());
    if (ToPdf()) {
        const QPageLayout layout = chosen != layouts_.end() && outputFile_.empty()
                                       ? chosen->second
                                       : QPageLayout(QPageSize(QPageSize::A4),
                                                     QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
        page = layout.paintRectPixels(kPdfResolution);
        paper = layout.fullRectPixels(kPdfResolution);
        paperPoints = layout.fullRect(QPageLayout::Point);
        setup.media = layout.pageSize().key().toUtf8();
    } else {
        const std::string name = CurrentName();
        const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(name));
        if (info.isNull()) throw PrinterError("The printer \"" + name + "\" is not available.");
        QPrinter printer(info, QPrinter::HighResolution);
        if (printer.outputFormat() != QPrinter::NativeFormat || !printer.isValid() ||
            printer.printerName() != QString::fromStdString(name)) {
            throw PrinterError("The printer \"" + name + "\" is not available.");
        }
        if (chosen != layouts_.end()) printer.setPageLayout(chosen->second);
        page = printer.pageRect(QPrinter::DevicePixel).toRect();
        paper = printer.paperRect(QPrinter::DevicePixel).toRect();
        paperPoints = printer.paperRect(QPrinter::Point);
        dpiX = printer.logicalDpiX();
        dpiY = printer.logicalDpiY();
        setup.media = printer.pageLayout().pageSize().key().toUtf8();
        setup.colour = QueuePrintsColour(name);
    }
    setup.caps.dpiX = dpiX;
    setup.caps.dpiY = dpiY;
    setup.caps.pageWidth = page.width();
    setup.caps.pageHeight = page.height();
    setup.caps.physicalOffsetX = page.left() - paper.left();
    setup.caps.physicalOffsetY = page.top() - paper.top();
    setup.page.paperWidth = paperPoints.width();
    setup.page.paperHeight = paperPoints.height();
    setup.page.dpiX = dpiX;
    setup.page.dpiY = dpiY;
    setup.page.offsetX = setup.caps.physicalOffsetX;
    setup.page.offsetY = setup.caps.physicalOffsetY;
    setup_ = std::move(setup);
    return *setup_;
}

TQueueOptions QtPrinterPlatform::JobOptions(const std::string& printer) const {
    const auto it = jobOptions_.find(printer);
    return it == jobOptions_.end() ? TQueueOptions() : it->second;
}

void QtPrinterPlatform::SetJobOptions(const std::string& printer, const TQueueOptions& options) {
    jobOptions_[printer] = options;
}

QPageLayout QtPrinterPlatform::PageLayout(const std::string& printer) {
    const auto chosen = layouts_.find(printer);
    if (chosen != layouts_.end()) return chosen->second;
    if (printer == kPdfPrinterName) {
        return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
    }
    const QPrinterInfo info = QPrinterInfo::printerInfo(QString::fromStdString(printer));
    if (info.isNull()) return QPageLayout();
    return QPrinter(info, QPrinter::HighResolution).pageLayout();
}

void QtPrinterPlatform::SetPageLayout(const std::string& printer, const QPageLayout& layout) {
    // An empty layout gives the printer its own again.
    if (layout.isValid()) {
        layouts_[printer] = layout;
    } else {
        layouts_.erase(printer);
    }
    if (!document_) setup_.reset();
}

TDeviceCaps QtPrinterPlatform::DeviceCaps() {
    return Setup().caps;
}

std::vector<std::string> QtPrinterPlatform::Fonts() {
    std::vector<std::string> names;
    for (const QString& family : QFontDatabase::families()) names.push_back(family.toStdString());
    return names;
}

void QtPrinterPlatform::BeginDoc() {
    if (document_) throw PrinterError("A document is already being printed.");
    lastOutputPath_.clear();
    const bool pdf = ToPdf();
    const TSetup& setup = Setup();

    std::unique_ptr<TPendingOutputFile> file;
    if (!outputFile_.empty()) {
        file = std::make_unique<TPendingOutputFile>(TPendingOutputFile::Exactly(outputFile_));
    } else if (pdf) {
        file = std::make_unique<TPendingOutputFile>(TPendingOutputFile::InFolder(
            DocumentFolder(), DocumentFileStem(title_, ToLocal(clock_.Now())), ".pdf"));
    } else {
        // The document goes to a temporary file that EndDoc hands to CUPS, so that an aborted
        // document prints nothing and a refusal is reported.
        file = std::make_unique<TPendingOutputFile>(TPendingOutputFile::InFolder(
            QFile::encodeName(QDir::tempPath()).toStdString(), "quernel-job", ".pdf"));
    }

    TPendingOutputFile* out = file.get();
    auto document = std::make_unique<TPdfDocument>(
        [out](const void* data, std::size_t size) { return out->Write(data, size); }, TargetText(),
        setup.page, fonts_, title_, ToLocal(clock_.Now()));
    file_ = std::move(file);
    document_ = std::move(document);
    documentPrinter_ = pdf ? std::string() : CurrentName();
    documentCopies_ = pdf ? 1 : copies_;
    documentMedia_ = setup.media;
    documentColour_ = setup.colour;
}

void QtPrinterPlatform::RequireDocument(const char* what) const {
    if (!document_) throw PrinterError(std::string(what) + " without a document being printed.");
}

void QtPrinterPlatform::NewPage() {
    RequireDocument("NewPage");
    document_->NewPage();
}

void QtPrinterPlatform::EndDoc() {
    RequireDocument("EndDoc");
    // The document ends here whatever happens; on failure its file is removed.
    const std::unique_ptr<TPendingOutputFile> file = std::move(file_);
    const std::unique_ptr<TPdfDocument> document = std::move(document_);
    const std::string queue = std::exchange(documentPrinter_, std::string());
    document->Finish();
    if (queue.empty()) {
        lastOutputPath_ = file->Commit(NamingListener());
        return;
    }
    setup_.reset();
    SubmitPdfJob(queue, file->TempPath(), title_, documentCopies_, documentMedia_,
                 JobOptions(queue), listener_);
    ThrowIfQueueStopped(queue);
}

void QtPrinterPlatform::SetDeliveryListener(IDeliveryListener* listener) {
    listener_ = listener;
}

std::function<void(const fs::path&)> QtPrinterPlatform::NamingListener() const {
    IDeliveryListener* listener = listener_;
    if (listener == nullptr || !outputFile_.empty()) return {};
    return [listener](const fs::path& path) { listener->FileChosen(path); };
}

void QtPrinterPlatform::DropDocument() noexcept {
    document_.reset();
    file_.reset();
    documentPrinter_.clear();
}

void QtPrinterPlatform::AbortDoc() {
    DropDocument();
}

void QtPrinterPlatform::SetBkModeTransparent() {
    // Text in a PDF never paints a background.
}

void QtPrinterPlatform::MoveTo(int x, int y) {
    pen_ = {x, y};
}

TPoint QtPrinterPlatform::PenPos() {
    return pen_;
}

void QtPrinterPlatform::TextOut(int x, int y, const TFontDesc& font, ByteView text) {
    if (!document_) RequireDocument("TextOut");
    document_->TextOut(x, y, font, text);
}

void QtPrinterPlatform::StretchDraw(const TRect& rect, const IPicture& picture) {
    RequireDocument("StretchDraw");
    document_->DrawImage(rect, PdfImageOf(picture));
}

void QtPrinterPlatform::DrawBitmap(const TRect& rect, const TBitmap& bitmap) {
    RequireDocument("DrawBitmap");
    document_->DrawBitmap(rect, bitmap);
}

void QtPrinterPlatform::DrawColorBitmap(const TRect& rect, const TBitmap& bitmap, TColor color) {
    RequireDocument("DrawBitmap");
    document_->DrawBitmap(rect, bitmap, documentColour_ ? color : TColor{});
}

void QtPrinterPlatform::FillRects(std::span<const TRect> rects, std::uint8_t ink) {
    RequireDocument("FillRects");
    document_->FillRects(rects, ink);
}

void QtPrinterPlatform::SetColour(std::uint32_t rgb) {
    RequireDocument("SetColour");
    document_->SetColour(documentColour_ ? rgb : kBlack);
}

int QtPrinterPlatform::RawOpen(const std::string& printerName, const std::string& documentName) {
    if (raw_) throw PrinterError("A raw document is already open.");
    lastOutputPath_.clear();
    auto raw = std::make_unique<TRawDocument>();
    if (!outputFile_.empty()) {
        raw->file.emplace(TPendingOutputFile::Exactly(outputFile_));
    } else if (printerName == kPdfPrinterName) {
        raw->file.emplace(TPendingOutputFile::InFolder(
            DocumentFolder(), DocumentFileStem(documentName, ToLocal(clock_.Now())), ".prn"));
    } else {
        const int job =
            cupsCreateJob(CUPS_HTTP_DEFAULT, printerName.c_str(), documentName.c_str(), 0, nullptr);
        if (job <= 0) throw CupsFailure(printerName);
        StopPoint("job-created");
        if (listener_ != nullptr) listener_->JobCreated(printerName, job);
        if (cupsStartDocument(CUPS_HTTP_DEFAULT, printerName.c_str(), job, documentName.c_str(),
                              CUPS_FORMAT_RAW, 1) != HTTP_STATUS_CONTINUE) {
            const PrinterError error = CupsFailure(printerName);
            cupsCancelJob2(CUPS_HTTP_DEFAULT, printerName.c_str(), job, 0);
            throw error;
        }
        raw->printer = printerName;
        raw->job = job;
    }
    raw_ = std::move(raw);
    return 0;
}

std::size_t QtPrinterPlatform::RawWrite(ByteView data) {
    if (!raw_ || data.empty()) return 0;
    if (raw_->failed) return 0;
    if (raw_->file) {
        if (raw_->file->Write(data.data(), data.size())) return data.size();
        raw_->failed = true;
        return 0;
    }
    // In pieces, as the PDF's document is sent.
    constexpr std::size_t kPiece = 1 << 16;
    for (std::size_t at = 0; at < data.size(); at += kPiece) {
        const std::size_t size = std::min(kPiece, data.size() - at);
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, reinterpret_cast<const char*>(data.data() + at),
                                 size) != HTTP_STATUS_CONTINUE) {
            raw_->failed = true;
            raw_->failure = LastCupsError();
            return at;
        }
        StopPoint("document-sending");
    }
    return data.size();
}

void QtPrinterPlatform::RawClose() {
    if (!raw_) return;
    const std::unique_ptr<TRawDocument> raw = std::move(raw_);
    // After a failed write a file document is dropped (the caller knows from RawWrite), so no
    // cut file is left.
    if (raw->file) {
        if (raw->failed) return;
        lastOutputPath_ = raw->file->Commit(NamingListener());
        return;
    }
    // A job whose write fell short is still finished, so what arrived prints (the caller
    // reports the short write).
    const ipp_status_t status = cupsFinishDocument(CUPS_HTTP_DEFAULT, raw->printer.c_str());
    if (IppFailed(status)) throw CupsFailure(raw->printer);
    // The connection failed while the bytes were sent (the scheduler ended): that is the cause.
    if (raw->failed) throw CupsFailure(raw->printer, raw->failure);
    ThrowIfQueueStopped(raw->printer);
}

}  // namespace quernel
