#include "fakes/RecordingPrinter.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <utility>

#include "host/FileUtil.h"

namespace quernel::test {

void RecordingPrinter::MaybeFail(const char* call) {
    if (failOn == call) throw PrinterError(std::string("simulated failure in ") + call);
}

std::vector<RecordingPrinter::Text> RecordingPrinter::TextsOnPage(int page) const {
    std::vector<Text> out;
    const int document = static_cast<int>(documents.size()) - 1;
    for (const auto& t : texts) {
        if (t.document == document && t.page == page) out.push_back(t);
    }
    return out;
}

std::vector<std::string> RecordingPrinter::PageTexts() const {
    std::vector<std::string> out;
    if (documents.empty()) return out;
    out.resize(static_cast<std::size_t>(documents.back().pages));
    const int document = static_cast<int>(documents.size()) - 1;
    for (const auto& t : texts) {
        if (t.document == document) out[static_cast<std::size_t>(t.page - 1)] += ToString(t.bytes);
    }
    return out;
}

std::vector<std::string> RecordingPrinter::Printers() {
    MaybeFail("Printers");
    return printers;
}

std::vector<std::string> RecordingPrinter::PageTextsOfAll() const {
    std::vector<std::string> out(documents.size());
    for (const auto& t : texts) out[static_cast<std::size_t>(t.document)] += ToString(t.bytes);
    return out;
}

void RecordingPrinter::RefreshPrinters() {
    ++refreshes;
    if (!laterLists.empty()) {
        printers = laterLists.front();
        laterLists.erase(laterLists.begin());
    }
}

void RecordingPrinter::BeginReading() {
    ++readingsBegun;
    reading_ = true;
}

std::optional<TPrinterList> RecordingPrinter::FinishedReading() {
    if (!reading_ || readingsHang || readings.empty()) return std::nullopt;
    reading_ = false;
    const TPrinterList list = readings.front();
    if (readings.size() > 1) readings.erase(readings.begin());
    return list;
}

void RecordingPrinter::UsePrinterList(const TPrinterList& list) {
    const std::string current = index_ >= 0 ? CurrentName() : std::string();
    printers = list.names;
    reachable = list.reachable;
    const auto indexOf = [&](const std::string& name) {
        const auto it = std::find(printers.begin(), printers.end(), name);
        return it == printers.end() ? -1 : static_cast<int>(it - printers.begin());
    };
    defaultIndex = std::max(0, indexOf(list.defaultName));
    index_ = current.empty() ? -1 : indexOf(current);
}

int RecordingPrinter::PrinterIndex() {
    if (printers.empty()) return -1;
    if (index_ < 0 || index_ >= static_cast<int>(printers.size())) {
        return defaultIndex < static_cast<int>(printers.size()) ? defaultIndex : 0;
    }
    return index_;
}

void RecordingPrinter::SetPrinterIndex(int index) {
    calls.push_back("SetPrinterIndex(" + std::to_string(index) + ")");
    if (printing_) throw PrinterError("Drukowanie w toku");
    if (printers.empty()) throw PrinterError("Brak drukarki");
    if (index < -1 || index >= static_cast<int>(printers.size())) {
        throw PrinterError("Nieprawidłowy indeks drukarki");
    }
    index_ = index;
}

std::string RecordingPrinter::CurrentName() {
    const int i = PrinterIndex();
    return i < 0 ? std::string() : printers[static_cast<std::size_t>(i)];
}

void RecordingPrinter::SetTitle(const std::string& title) {
    calls.push_back("SetTitle(" + title + ")");
    title_ = title;
}

void RecordingPrinter::SetCopies(int copies) {
    calls.push_back("SetCopies(" + std::to_string(copies) + ")");
    copies_ = copies;
}

void RecordingPrinter::Step(const std::string& step) {
    if (onStep) onStep(step);
}

int RecordingPrinter::CreateJob(const std::string& queue, const std::string& title) {
    if (jobs == nullptr) return 0;
    const int job = jobs->Create(queue, title);
    if (listener_ != nullptr) listener_->JobCreated(queue, job);
    Step("job-created");
    return job;
}

void RecordingPrinter::SendDocument(int job, std::string content) {
    if (job == 0) return;
    jobs->jobs[job].documents = 1;
    jobs->jobs[job].content = std::move(content);
    Step("document-sent");
    if (queueStopped) {
        jobs->jobs[job].state = TJobState::kHeld;
        throw PrinterHeldError("The printer \"" + jobs->jobs[job].queue +
                               "\" is stopped: the document waits in its queue until the "
                               "printer is resumed.");
    }
}

void RecordingPrinter::Stopped() {
    printing_ = false;
    rawOpen_ = false;
    rawJob_ = 0;
    listener_ = nullptr;
}

void RecordingPrinter::WriteFile(const std::string& title, ByteView bytes, const char* extension) {
    if (pdfFolder.empty()) return;
    std::filesystem::create_directories(pdfFolder);
    std::filesystem::path path = pdfFolder / (SafeFileTitle(title) + extension);
    for (int n = 2; std::filesystem::exists(path); ++n) {
        path = pdfFolder / (SafeFileTitle(title) + "_" + std::to_string(n) + extension);
    }
    if (listener_ != nullptr) listener_->FileChosen(path);
    Step("file-chosen");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    Step("file-written");
}

void RecordingPrinter::BeginDoc() {
    calls.push_back("BeginDoc");
    MaybeFail("BeginDoc");
    if (printers.empty()) throw PrinterError("Brak drukarki");
    printing_ = true;
    colour_ = kBlack;
    documents.push_back({CurrentName(), title_, copies_, 1, false, false});
    Step("begin");
}

void RecordingPrinter::NewPage() {
    calls.push_back("NewPage");
    MaybeFail("NewPage");
    if (!printing_) throw PrinterError("NewPage outside a document");
    ++documents.back().pages;
}

void RecordingPrinter::EndDoc() {
    calls.push_back("EndDoc");
    MaybeFail("EndDoc");
    if (!printing_) throw PrinterError("EndDoc outside a document");
    printing_ = false;
    const Document& document = documents.back();
    std::string text;
    for (const std::string& page : PageTexts()) text += page;
    if (document.printer == "Quernel PDF") {
        WriteFile(document.title, ToBytes(text), ".pdf");
    } else {
        documents.back().ended = true;
        SendDocument(CreateJob(document.printer, document.title), text);
    }
    documents.back().ended = true;
}

void RecordingPrinter::AbortDoc() {
    calls.push_back("AbortDoc");
    if (!printing_) return;
    printing_ = false;
    documents.back().aborted = true;
}

TDeviceCaps RecordingPrinter::DeviceCaps() {
    const auto it = capsByPrinter.find(CurrentName());
    return it == capsByPrinter.end() ? caps : it->second;
}

std::vector<std::string> RecordingPrinter::Fonts() {
    const auto it = fontsByPrinter.find(CurrentName());
    return it == fontsByPrinter.end() ? defaultFonts : it->second;
}

void RecordingPrinter::TextOut(int x, int y, const TFontDesc& font, ByteView text) {
    MaybeFail("TextOut");
    if (!printing_) throw PrinterError("TextOut outside a document");
    texts.push_back({static_cast<int>(documents.size()) - 1, documents.back().pages, x, y, font,
                     Bytes(text.begin(), text.end()), colour_});
}

void RecordingPrinter::StretchDraw(const TRect& rect, const IPicture&) {
    calls.push_back("StretchDraw");
    if (!printing_) throw PrinterError("StretchDraw outside a document");
    pictures.push_back({documents.back().pages, rect});
}

void RecordingPrinter::DrawBitmap(const TRect& rect, const TBitmap& bitmap) {
    MaybeFail("DrawBitmap");
    if (!printing_) throw PrinterError("DrawBitmap outside a document");
    bitmaps.push_back({documents.back().pages, rect, bitmap, {}, colour_});
}

void RecordingPrinter::DrawColorBitmap(const TRect& rect, const TBitmap& bitmap, TColor color) {
    MaybeFail("DrawBitmap");
    if (!printing_) throw PrinterError("DrawBitmap outside a document");
    bitmaps.push_back({documents.back().pages, rect, bitmap, color, colour_});
}

void RecordingPrinter::FillRects(std::span<const TRect> rects, std::uint8_t ink) {
    MaybeFail("FillRects");
    if (!printing_) throw PrinterError("FillRects outside a document");
    for (const TRect& r : rects) fills.push_back({documents.back().pages, r, ink, colour_});
}

int RecordingPrinter::RawOpen(const std::string& printerName, const std::string& documentName) {
    calls.push_back("RawOpen(" + printerName + ")");
    if (rawOpenError != 0) return rawOpenError;
    rawOpen_ = true;
    rawJobs.push_back({printerName, documentName, {}, false});
    Step("begin");
    if (printerName != "Quernel PDF") rawJob_ = CreateJob(printerName, documentName);
    return 0;
}

std::size_t RecordingPrinter::RawWrite(ByteView data) {
    calls.push_back("RawWrite");
    if (!rawOpen_) throw PrinterError("RawWrite without RawOpen");
    const std::size_t n = std::min(data.size(), rawWriteLimit);
    rawJobs.back().bytes.insert(rawJobs.back().bytes.end(), data.begin(), data.begin() + n);
    return n;
}

void RecordingPrinter::RawClose() {
    calls.push_back("RawClose");
    if (!rawOpen_) throw PrinterError("RawClose without RawOpen");
    rawOpen_ = false;
    const RawJob& job = rawJobs.back();
    if (job.printer == "Quernel PDF") {
        WriteFile(job.title, job.bytes, ".prn");
    } else {
        rawJobs.back().closed = true;
        SendDocument(std::exchange(rawJob_, 0), ToString(job.bytes));
    }
    rawJobs.back().closed = true;
}

std::shared_ptr<const IPicture> FakePictureLoader::Load(const std::filesystem::path& path) {
    ++loads;
    std::ifstream in(path);
    std::string magic;
    int w = 0, h = 0;
    if (!(in >> magic >> w >> h) || magic != "PICTURE") return nullptr;
    return std::make_shared<FakePicture>(w, h);
}

}  // namespace quernel::test
