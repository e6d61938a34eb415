#include <gtest/gtest.h>

#include <cups/cups.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <thread>

#include <iterator>

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
        std::ofstream(ppd) << MakeQueuePpd(DefaultQueuePpdSettings(QUERNEL_BIN_DIR));
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

    // A job's state and its last message, once CUPS is done with the job.
    struct TJobEnd {
        int state = 0;
        std::string message;
    };
    TJobEnd WaitForEnd(int id) {
        TJobEnd end;
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (std::chrono::steady_clock::now() < deadline) {
            ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
            const std::string uri = "ipp://localhost/jobs/" + std::to_string(id);
            ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
            ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
            if (ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM)) {
                end.state = ippGetInteger(state, 0);
            }
            if (ipp_attribute_t* message =
                    ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT)) {
                end.message = ippGetString(message, 0, nullptr);
            }
            ippDelete(response);
            if (end.state >= IPP_JSTATE_STOPPED) return end;
            std::this_thread::sleep_for(100ms);
        }
        ADD_FAILURE() << "job " << id << " did not end: state " << end.state;
        return end;
    }

    // The scheduler writes its log as it gets to it: looked at until a line of the job
    // ("[Job 12] ...") says the text.
    static bool WaitForLogLine(const std::string& job, const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream log(harness_->ErrorLogPath());
            for (std::string line; std::getline(log, line);) {
                if (line.find(job) != std::string::npos && line.find(text) != std::string::npos) {
                    return true;
                }
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
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

// "quernel --add-queue" makes such a queue on the scheduler, in front of another queue, with
// the settings given; "--remove-queue" removes it; a missing scheduler is said plainly.
TEST_F(DosQueueTest, TheProgramAddsAndRemovesDosQueues) {
    const std::string quernel = std::string(QUERNEL_BIN_DIR) + "/quernel";
    const CommandResult added =
        CupsHarness::RunCommand({quernel, "--add-queue", "dos-made", "--printer", kTarget, "--cmap",
                                 "Mazowia", "--shared"});
    ASSERT_EQ(added.exit_code, 0) << added.output;
    EXPECT_NE(added.output.find("lp -d dos-made"), std::string::npos) << added.output;

    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, "dos-made", nullptr);
    ASSERT_NE(dest, nullptr);
    EXPECT_STREQ(cupsGetOption("printer-is-shared", dest->num_options, dest->options), "true");
    EXPECT_STREQ(cupsGetOption("printer-make-and-model", dest->num_options, dest->options),
                 kDosQueueModel);
    cupsFreeDests(1, dest);

    // Mazowia's letters as the map reads them: the bytes that print as "ę" and "Ż".
    std::ifstream map(std::string(QUERNEL_SHIPPED_DATA_DIR) + "/CharMap/Mazowia.cmap",
                      std::ios::binary);
    const std::string cmap((std::istreambuf_iterator<char>(map)), {});
    const auto dosByte = [&](unsigned char windows1250) {
        return std::string(1, static_cast<char>(cmap.find(static_cast<char>(windows1250))));
    };
    const auto file =
        Write("mazowia.prn", "Ksi" + dosByte(0xEA) + "ga " + dosByte(0xAF) + "ycia\r\n\x0c");
    const CommandResult sent = CupsHarness::RunCommand({"lp", "-d", "dos-made", file.string()});
    ASSERT_EQ(sent.exit_code, 0) << sent.output;
    const TPdf pdf = Read(Arrived(1));
    EXPECT_NE(pdf.text.find("Księga Życia"), std::string::npos) << pdf.text;

    const CommandResult removed = CupsHarness::RunCommand({quernel, "--remove-queue", "dos-made"});
    ASSERT_EQ(removed.exit_code, 0) << removed.output;
    EXPECT_EQ(cupsGetNamedDest(CUPS_HTTP_DEFAULT, "dos-made", nullptr), nullptr);

    const CommandResult noScheduler =
        CupsHarness::RunCommand({"env", "CUPS_SERVER=" + (dir / "no-cups.sock").string(), quernel,
                                 "--add-queue", "x", "--printer", kTarget});
    EXPECT_EQ(noScheduler.exit_code, 1);
    EXPECT_NE(noScheduler.output.find("serwer CUPS nie odpowiada"), std::string::npos)
        << noScheduler.output;
}

// What the queue cannot print ends its job with the filter's ERROR line as the job's state
// message and CUPS stops the job; nothing reaches the printer, and the queue goes on with the
// next job.
TEST_F(DosQueueTest, BadJobsEndWithAClearErrorAndTheQueueGoesOn) {
    const auto printout = Write("ok.prn", "Faktura\r\n\x0c");
    const auto gzip = Write("damaged.pcl", std::string("\x1f\x8b\x08\x00", 4) + "cut");
    const auto empty = Write("empty.prn", "");
    struct TCase {
        std::filesystem::path file;
        std::vector<std::string> options;
        std::string error;
    };
    const std::vector<TCase> cases = {
        {printout, {"-o", "QuernelColour=red"}, "Nieznana opcja kolejki: QuernelColour"},
        {printout, {"-o", "QuernelLinesPerPage=500"}, "QuernelLinesPerPage: 500"},
        {printout, {"-o", "QuernelSequences=Brak"}, "Nie ma tabeli kodów sterujących \"Brak\""},
        {gzip, {"-o", "document-format=application/vnd.hp-PCL"}, "plik skompresowany"},
    };
    for (const TCase& c : cases) {
        const int id = Send(c.file, c.options);
        ASSERT_GT(id, 0);
        const TJobEnd end = WaitForEnd(id);
        EXPECT_EQ(end.state, IPP_JSTATE_STOPPED) << c.error << ": " << end.message;
        // The ERROR line is logged for the job. (The job's state message is not checked: it is
        // the last line of whichever of the job's processes, filter or backend, CUPS heard
        // last, which varies with the load.)
        EXPECT_TRUE(WaitForLogLine("[Job " + std::to_string(id) + "] ", c.error))
            << harness_->ErrorLogTail();
    }
    // CUPS itself takes no empty document; the filter refuses one that arrives (through a
    // pipe, as after another filter) the same way.
    const CommandResult sent = CupsHarness::RunCommand({"lp", "-d", kQueue, empty.string()});
    EXPECT_NE(sent.exit_code, 0) << sent.output;
    const CommandResult filtered = CupsHarness::RunCommand(
        {"env", "TMPDIR=" + dir.path().string(), std::string(QUERNEL_BIN_DIR) + "/quernel-filter",
         "9", "anna", "pusty", "1", ""});
    EXPECT_EQ(filtered.exit_code, 1);
    EXPECT_NE(filtered.output.find("ERROR: Zadanie nie zawiera danych"), std::string::npos)
        << filtered.output;

    EXPECT_TRUE(harness_->CapturedJobs(kTarget).empty());
    ASSERT_GT(Send(printout), 0);
    EXPECT_NE(Read(Arrived(1)).text.find("Faktura"), std::string::npos);
}

// Run as CUPS runs it, without a home folder, the filter writes nothing outside its temporary
// folder: every file and folder it creates, changes or removes (traced) lies in $TMPDIR.
TEST_F(DosQueueTest, TheFilterWritesOnlyIntoItsTemporaryFolder) {
    const auto temporary = dir / "job-tmp";
    std::filesystem::create_directories(temporary);
    const auto ppd = dir / "queue.ppd";
    std::ofstream(ppd) << MakeQueuePpd(DefaultQueuePpdSettings(QUERNEL_BIN_DIR));
    const auto trace = dir / "trace.txt";
    const CommandResult run = CupsHarness::RunCommand(
        // The leak checker of a sanitizer build cannot run under the tracer.
        {"env", "-i", "PATH=/usr/bin:/bin", "TMPDIR=" + temporary.string(), "PPD=" + ppd.string(),
         "ASAN_OPTIONS=detect_leaks=0", "strace", "-f", "-qq", "-o", trace.string(), "-e",
         "trace=%file", std::string(QUERNEL_BIN_DIR) + "/quernel-filter", "5", "lp", "Faktura", "1",
         "QuernelCommandSet=escp"},
        "\x1b@Faktura\r\n\x0c");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    ASSERT_NE(run.output.find("%PDF-"), std::string::npos);

    std::ifstream calls(trace);
    const std::regex changing(
        R"re(^\d+ +(open|openat|creat|mkdir|mkdirat|rename|renameat2?|unlink|unlinkat|link|linkat|symlink|symlinkat|truncate|chmod|fchmodat|chown|fchownat|utimensat)\((AT_FDCWD, )?"([^"]*)"(.*)\) = (\d+|0))re");
    int written = 0;
    for (std::string line; std::getline(calls, line);) {
        std::smatch call;
        if (!std::regex_search(line, call, changing)) continue;
        const std::string name = call[1];
        const bool opensToWrite =
            name.rfind("open", 0) != 0 ||
            std::regex_search(std::string(call[4]), std::regex("O_WRONLY|O_RDWR|O_CREAT|O_TRUNC"));
        if (!opensToWrite) continue;
        ++written;
        const std::string path = call[3];
        EXPECT_EQ(path.rfind(temporary.string() + "/", 0), 0u) << line;
    }
    EXPECT_GT(written, 0) << "the trace saw no writes at all";
}

// The filter draws without Qt: a job with a background picture goes, before anything is read,
// to quernel-render, which loads pictures. The picture comes out under the text, and only while
// the queue's switch is on.
TEST_F(DosQueueTest, ABackgroundPictureIsDrawnUnderTheJobsText) {
    TQueuePpdSettings settings = DefaultQueuePpdSettings(QUERNEL_BIN_DIR);
    settings.backgroundPicture =
        (std::filesystem::path(QUERNEL_TEST_DATA_DIR) / "adobe_cmyk.jpg").string();
    const std::string ppd = harness_->RootDir() + "/dos-picture.ppd";
    std::ofstream(ppd) << MakeQueuePpd(settings);
    const CommandResult added = harness_->RunAdmin(
        {"lpadmin", "-p", "dos-picture", "-v",
         LocalQueueDeviceUri(harness_->ServerName(), harness_->Port(), kTarget), "-P", ppd, "-E"});
    ASSERT_EQ(added.exit_code, 0) << added.output;
    const auto file = Write("pismo.prn", "\x1b@Pismo na papierze firmowym\r\n\x0c");
    const char* switches[] = {"QuernelBackground=true", "QuernelBackground=false"};
    for (std::size_t i = 0; i < std::size(switches); ++i) {
        const CommandResult sent =
            CupsHarness::RunCommand({"lp", "-d", "dos-picture", "-o", switches[i], file.string()});
        ASSERT_EQ(sent.exit_code, 0) << sent.output;
        // One at a time, so that they arrive in this order.
        Arrived(i + 1);
    }
    const TPdf with = Read(Arrived(1));
    EXPECT_NE(with.text.find("Pismo na papierze firmowym"), std::string::npos) << with.text;
    EXPECT_GE(with.images, 1) << "the picture, drawn by quernel-render";
    const TPdf without = Read(Arrived(2));
    EXPECT_NE(without.text.find("Pismo na papierze firmowym"), std::string::npos) << without.text;
    EXPECT_EQ(without.images, 0);
}

// What a job loads is what it costs: the filter starts without any of Qt's libraries.
TEST_F(DosQueueTest, TheFilterLoadsNoQtLibrary) {
    const auto temporary = dir / "job-tmp";
    std::filesystem::create_directories(temporary);
    const auto ppd = dir / "queue.ppd";
    std::ofstream(ppd) << MakeQueuePpd(DefaultQueuePpdSettings(QUERNEL_BIN_DIR));
    std::vector<std::string> command = {"env",
                                        "-i",
                                        "PATH=/usr/bin:/bin",
                                        "TMPDIR=" + temporary.string(),
                                        "PPD=" + ppd.string(),
                                        "LD_DEBUG=files"};
    // A sanitizer build's leak check keeps its suppressions of the system libraries.
    if (const char* leaks = std::getenv("LSAN_OPTIONS")) {
        command.push_back(std::string("LSAN_OPTIONS=") + leaks);
    }
    command.insert(command.end(), {std::string(QUERNEL_BIN_DIR) + "/quernel-filter", "7", "lp",
                                   "Lista", "1", "QuernelCommandSet=escp"});
    const CommandResult run = CupsHarness::RunCommand(command, "\x1b@Lista\r\n\x0c");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find("libfreetype"), std::string::npos) << "the trace lists its libraries";
    EXPECT_EQ(run.output.find("libQt6"), std::string::npos);
}

// Another machine: a second scheduler whose queue forwards to the DOS queue over IPP, as a
// workstation's CUPS does with a shared queue of the print server; its job arrives rendered.
TEST_F(DosQueueTest, AJobFromAnotherSchedulerArrivesRendered) {
    CupsHarness::Options options;
    options.queues = {"local"};
    options.system_backends = {"ipp"};
    CupsHarness workstation(options);
    workstation.Start();
    const std::string server =
        "ipp://127.0.0.1:" + std::to_string(harness_->Port()) + "/printers/" + kQueue;
    const CommandResult added =
        workstation.RunAdmin({"lpadmin", "-p", "server-dos", "-v", server, "-E"});
    ASSERT_EQ(added.exit_code, 0) << added.output;

    const auto file = Write("z-daleka.prn", "\x1b@Zam\xa2wienie z filii\r\n\x0c");
    const CommandResult sent = CupsHarness::RunCommand(
        {"lp", "-h", workstation.ServerName(), "-d", "server-dos", file.string()});
    ASSERT_EQ(sent.exit_code, 0) << sent.output;
    const TPdf pdf = Read(Arrived(1));
    EXPECT_NE(pdf.text.find("Zamówienie z filii"), std::string::npos) << pdf.text;
    EXPECT_EQ(pdf.pages, 1);
}

}  // namespace
}  // namespace quernel::test
