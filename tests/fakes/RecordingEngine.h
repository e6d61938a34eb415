#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/PrinterPlatform.h"
#include "engine/QN_Print.h"

namespace quernel::test {

// A print engine that records each printout instead of drawing it. With a printer platform it
// opens and ends a document there as the real engine does, so Printing() answers true between
// BeginJob and EndJob.
class RecordingEngine final : public IPrintEngine {
  public:
    struct Job {
        std::string title;
        int printerIndex = -1;  // the platform's current printer at BeginJob
        Bytes data;
        bool keepState = false;
        bool ended = false;
    };

    explicit RecordingEngine(IPrinterPlatform* printer = nullptr) : printer_(printer) {}

    // --- configuration ---
    std::string failOn;  // "BeginJob", "PrintData" or "EndJob": that call throws PrinterError
    // Runs inside PrintData, after the data was recorded (for example to write to the file).
    std::function<void()> duringPrint;

    // --- what was done ---
    std::vector<Job> jobs;

    // Every printed byte, in order.
    Bytes AllPrinted() const {
        Bytes out;
        for (const Job& job : jobs) out.insert(out.end(), job.data.begin(), job.data.end());
        return out;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const Job& job : jobs) out.push_back(ToString(job.data));
        return out;
    }

    void BeginJob(const std::string& title) override {
        jobs.push_back(
            {title, printer_ != nullptr ? printer_->PrinterIndex() : -1, {}, false, false});
        if (printer_ != nullptr) {
            printer_->SetTitle(title.empty() ? kDefaultDocumentTitle : title);
            printer_->BeginDoc();
        }
        MaybeFail("BeginJob");
    }

    void PrintData(ByteView data, std::size_t start, bool keepState, bool,
                   TPrinterStatus&) override {
        jobs.back().data.assign(data.begin() + static_cast<std::ptrdiff_t>(start), data.end());
        jobs.back().keepState = keepState;
        if (duringPrint) duringPrint();
        MaybeFail("PrintData");
    }

    void EndJob() override {
        MaybeFail("EndJob");
        if (printer_ != nullptr) printer_->EndDoc();
        jobs.back().ended = true;
    }

  private:
    void MaybeFail(const char* call) {
        if (failOn == call) throw PrinterError(std::string("simulated failure in ") + call);
    }

    IPrinterPlatform* printer_;
};

}  // namespace quernel::test
