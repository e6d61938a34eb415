#include <gtest/gtest.h>

#include <cups/cups.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "engine/QueueAdmin.h"
#include "engine/QueuePpd.h"
#include "integration/CupsHarness.h"
#include "support/TempDir.h"

namespace quernel::test {
namespace {

using namespace std::chrono_literals;

// A DOS printer queue on a private scheduler: the filter in the scheduler's filter folder,
// the queue's PPD, and the queue printing on a capture queue behind it. Printouts go in with
// lp, as DOS emulators and other machines send them, and come out as the capture queue's PDF.
class DosQueueTest : public ::testing::Test {
  protected:
    static constexpr const char* kQueue = "dos";
    static constexpr const char* kTarget = "dos-out";

    static CupsHarness::Options HarnessOptions() {
        CupsHarness::Options options;
        options.queues = {kTarget};
        options.filters = {std::string(QUERNEL_BIN_DIR) + "/quernel-filter"};
        options.mime_files = {std::string(QUERNEL_SHIPPED_DATA_DIR) + "/cups/quernel.types"};
        options.system_backends = {"ipp"};
        return options;
    }

    static void SetUpTestSuite() {
        harness_ = new CupsHarness(HarnessOptions());
        harness_->Start();
        harness_->SetEnvironment();
        const std::string ppd = harness_->RootDir() + "/dos.ppd";
        std::ofstream(ppd) << MakeQueuePpd(DefaultQueuePpdSpec(QUERNEL_BIN_DIR));
        const CommandResult added = harness_->RunAdmin(
            {"lpadmin", "-p", kQueue, "-v",
             LocalQueueDeviceUri(harness_->ServerName(), harness_->Port(), kTarget), "-P", ppd,
             "-E"});
        ASSERT_EQ(added.exit_code, 0) << added.output;
        harness_->KeepQueue(kQueue);
    }
    static void TearDownTestSuite() {
        delete harness_;
        harness_ = nullptr;
    }
    void SetUp() override { harness_->Reset(); }

    // Sends the printout with lp and answers the job's id.
    int Send(const std::filesystem::path& file, std::vector<std::string> options = {}) {
        std::vector<std::string> argv = {"lp", "-d", kQueue};
        for (const auto& option : options) argv.push_back(option);
        argv.push_back(file.string());
        const CommandResult sent = CupsHarness::RunCommand(argv);
        EXPECT_EQ(sent.exit_code, 0) << sent.output;
        std::smatch id;
        const std::regex pattern("request id is dos-([0-9]+)");
        if (!std::regex_search(sent.output, id, pattern)) return 0;
        return std::stoi(id[1]);
    }

    // The PDF of the n-th job to arrive behind the queue.
    CapturedJob Arrived(std::size_t count) {
        const auto jobs = harness_->WaitForJobs(kTarget, count, 60s);
        EXPECT_GE(jobs.size(), count) << harness_->ErrorLogTail();
        return jobs.size() >= count ? jobs[count - 1] : CapturedJob{};
    }

    struct TPdf {
        std::string text;
        int pages = 0;
        std::string pageSize;
        int images = 0;
    };
    TPdf Read(const CapturedJob& job) {
        const auto path = dir / "job.pdf";
        std::ofstream(path, std::ios::binary) << job.bytes;
        TPdf pdf;
        pdf.text = CupsHarness::RunCommand({"pdftotext", path.string(), "-"}).output;
        const std::string info = CupsHarness::RunCommand({"pdfinfo", path.string()}).output;
        std::smatch m;
        if (std::regex_search(info, m, std::regex("Pages: +([0-9]+)"))) pdf.pages = std::stoi(m[1]);
        if (std::regex_search(info, m, std::regex("Page size: +([^\\n]+)"))) pdf.pageSize = m[1];
        const std::string images =
            CupsHarness::RunCommand({"pdfimages", "-list", path.string()}).output;
        pdf.images = static_cast<int>(std::count(images.begin(), images.end(), '\n')) - 2;
        return pdf;
    }

    std::filesystem::path Write(const std::string& name, const std::string& bytes) {
        const auto path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    TempDir dir;
    inline static CupsHarness* harness_ = nullptr;
};

// An ESC/P printout as DOS programs send it: CUPS types it as raw (it starts with ESC @), and
// the queue still renders it, Polish letters of code page 852 and page ends included.
TEST_F(DosQueueTest, RendersAPrintoutThatCupsTypesAsRaw) {
    const auto file = Write("faktura.prn",
                            "\x1b@\x1b"
                            "EFaktura nr 7/2024\x1b"
                            "F\r\n"
                            "Za\xbe\xa2\x88\x86 g\xa9\x98l\xa5 ja\xab\xe4\r\n\x0c"
                            "Strona druga\r\n\x0c");
    ASSERT_GT(Send(file), 0);
    const CapturedJob job = Arrived(1);
    EXPECT_EQ(job.bytes.rfind("%PDF-", 0), 0u);
    const TPdf pdf = Read(job);
    EXPECT_EQ(pdf.pages, 2);
    EXPECT_NE(pdf.text.find("Faktura nr 7/2024"), std::string::npos) << pdf.text;
    EXPECT_NE(pdf.text.find("Zażółć gęślą jaźń"), std::string::npos) << pdf.text;
    EXPECT_NE(pdf.text.find("Strona druga"), std::string::npos) << pdf.text;
    EXPECT_NE(pdf.pageSize.find("A4"), std::string::npos) << pdf.pageSize;
}

// The three types a client may name all reach the filter, with the job's options: copies,
// the sheet, and the queue's own options (the command set reads the graphics).
TEST_F(DosQueueTest, EveryJobTypeIsRenderedWithItsOptions) {
    const auto text = Write("list.txt", "Lista plac\r\nWiersz 2\r\n");
    ASSERT_GT(Send(text, {"-o", "document-format=text/plain", "-n", "3", "-o", "media=Letter"}), 0);
    const auto pcl = std::filesystem::path(QUERNEL_TEST_DATA_DIR) / "pcl_raster_page.pcl";
    ASSERT_GT(
        Send(pcl, {"-o", "document-format=application/vnd.hp-PCL", "-o", "QuernelCommandSet=pcl"}),
        0);
    const auto escp = std::filesystem::path(QUERNEL_TEST_DATA_DIR) / "escp_invoice_logo.prn";
    ASSERT_GT(Send(escp, {"-o", "document-format=application/octet-stream", "-o",
                          "QuernelCommandSet=escp"}),
              0);

    const CapturedJob textJob = Arrived(1);
    EXPECT_EQ(textJob.copies, 3);
    const TPdf textPdf = Read(textJob);
    EXPECT_NE(textPdf.text.find("Lista plac"), std::string::npos) << textPdf.text;
    EXPECT_NE(textPdf.pageSize.find("612 x 792"), std::string::npos) << textPdf.pageSize;

    const TPdf pclPdf = Read(Arrived(2));
    EXPECT_EQ(pclPdf.pages, 1);
    EXPECT_GE(pclPdf.images, 1) << "the raster is drawn as a picture";
    EXPECT_EQ(pclPdf.text.find("*b"), std::string::npos) << "no PCL command printed as text";

    const TPdf escpPdf = Read(Arrived(3));
    EXPECT_NE(escpPdf.text.find("FAKTURA 12/2024"), std::string::npos) << escpPdf.text;
    EXPECT_GE(escpPdf.images, 1) << "the logo is drawn as a picture";
}

}  // namespace
}  // namespace quernel::test
