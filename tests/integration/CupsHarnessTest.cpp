// Tests of the private CUPS scheduler harness: that it starts and cleans up a scheduler of its
// own, that jobs sent through libcups and lp arrive byte for byte in the capture folder, and how
// libcups reports stopped, rejecting and deleted queues.

#include <arpa/inet.h>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CupsHarness.h"

namespace quernel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_literals;

constexpr const char* kQueueA = "quernel-test-a";
constexpr const char* kQueueB = "quernel-test-b";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteText(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

// A fresh folder that is removed again at the end of the test.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "quernel-harness-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// Sets an environment variable for the scope and restores the old value afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        Set(value);
    }
    ~ScopedEnv() { Set(old_); }

  private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            setenv(name_.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    std::string name_;
    std::optional<std::string> old_;
};

uid_t ProcessUid(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Uid:", 0) == 0) return static_cast<uid_t>(std::stoul(line.substr(4)));
    }
    return static_cast<uid_t>(-1);
}

bool ProcessExists(pid_t pid) {
    return kill(pid, 0) == 0 || errno != ESRCH;
}

std::string PrinterControlBytes() {
    // Every byte value once, then typical printer control sequences: ESC @ (reset), NUL, 0xFF,
    // CR LF and a form feed.
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
    bytes += std::string("\x1b@\0\xff\r\n\x0c", 7);
    return bytes;
}

std::string PseudoRandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) c = static_cast<char>(gen() & 0xff);
    return bytes;
}

// A small but well-formed one-page PDF with a correct cross-reference table.
std::string TinyPdf() {
    const std::string content = "BT /F1 24 Tf 72 720 Td (Quernel) Tj ET\n";
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>",
    };
    std::string pdf = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof(entry), "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// What each libcups call of one job submission returned.
struct Submission {
    int job_id = 0;
    ipp_status_t create_error = IPP_STATUS_OK;
    std::string create_message;
    http_status_t start = HTTP_STATUS_NONE;
    http_status_t write = HTTP_STATUS_NONE;
    ipp_status_t finish = IPP_STATUS_OK;
    ipp_status_t last_error = IPP_STATUS_OK;
    std::string last_message;
};

// Sends one job the way Quernel does: Create-Job, then one document streamed in chunks.
Submission SubmitJob(const std::string& queue, const std::string& title, const std::string& data,
                     const char* format = CUPS_FORMAT_RAW,
                     const std::vector<std::pair<std::string, std::string>>& options = {},
                     const std::function<void()>& after_create = {}) {
    cups_option_t* cups_options = nullptr;
    int num_options = 0;
    for (const auto& [name, value] : options) {
        num_options = cupsAddOption(name.c_str(), value.c_str(), num_options, &cups_options);
    }
    Submission s;
    s.job_id =
        cupsCreateJob(CUPS_HTTP_DEFAULT, queue.c_str(), title.c_str(), num_options, cups_options);
    s.create_error = cupsLastError();
    s.create_message = cupsLastErrorString();
    cupsFreeOptions(num_options, cups_options);
    if (after_create) after_create();

    s.start = cupsStartDocument(CUPS_HTTP_DEFAULT, queue.c_str(), s.job_id, "document", format, 1);
    s.write = HTTP_STATUS_CONTINUE;
    constexpr std::size_t kChunk = 8191;  // odd size, so chunks do not line up with buffers
    for (std::size_t pos = 0; pos < data.size() && s.write == HTTP_STATUS_CONTINUE; pos += kChunk) {
        s.write = cupsWriteRequestData(CUPS_HTTP_DEFAULT, data.data() + pos,
                                       std::min(kChunk, data.size() - pos));
    }
    s.finish = cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.c_str());
    s.last_error = cupsLastError();
    s.last_message = cupsLastErrorString();
    return s;
}

struct Destinations {
    std::vector<std::string> names;
    std::vector<std::string> defaults;
};

Destinations GetDestinations() {
    cups_dest_t* dests = nullptr;
    int count = cupsGetDests(&dests);
    Destinations result;
    for (int i = 0; i < count; ++i) {
        result.names.emplace_back(dests[i].name);
        if (dests[i].is_default) result.defaults.emplace_back(dests[i].name);
    }
    cupsFreeDests(count, dests);
    std::sort(result.names.begin(), result.names.end());
    return result;
}

std::string DestOption(const std::string& queue, const char* option) {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
    if (dest == nullptr) return "(no such destination)";
    const char* value = cupsGetOption(option, dest->num_options, dest->options);
    std::string result = value != nullptr ? value : "(unset)";
    cupsFreeDests(1, dest);
    return result;
}

std::vector<ipp_jstate_t> ActiveJobStates(const std::string& queue) {
    cups_job_t* jobs = nullptr;
    int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ACTIVE);
    std::vector<ipp_jstate_t> states;
    for (int i = 0; i < count; ++i) states.push_back(jobs[i].state);
    cupsFreeJobs(count, jobs);
    return states;
}

// ---------------------------------------------------------------------------------------------
// Starting and stopping, with a harness of each test's own.

TEST(CupsHarnessLifecycleTest, StartsPrivateUnprivilegedSchedulerAndStopRemovesEverything) {
    CupsHarness harness;
    const auto started = std::chrono::steady_clock::now();
    harness.Start();
    const auto start_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - started)
                              .count();
    std::cout << "[          ] harness start took " << start_ms << " ms" << std::endl;
    EXPECT_LT(start_ms, 5000) << "per-suite start is meant to take well under 2 s";

    const fs::path root = harness.RootDir();
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(harness.ServerName(), (root / "cups.sock").string());
    struct stat st {};
    ASSERT_EQ(stat(harness.ServerName().c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));

    // The TCP listener answers on loopback.
    ASSERT_GT(harness.Port(), 0);
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(harness.Port()));
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    close(fd);

    // cupsd never runs as root: as lp when the tests run as root, else as the current user.
    const pid_t pid = harness.SchedulerPid();
    ASSERT_TRUE(harness.IsRunning());
    const uid_t cupsd_uid = ProcessUid(pid);
    EXPECT_NE(cupsd_uid, 0u);
    if (geteuid() == 0) {
        const passwd* lp = getpwnam("lp");
        ASSERT_NE(lp, nullptr);
        EXPECT_EQ(cupsd_uid, lp->pw_uid);
    } else {
        EXPECT_EQ(cupsd_uid, geteuid());
    }

    // Its configuration refers to nothing of the system's CUPS setup, and the only backend it
    // can run is the capture script.
    for (const char* conf : {"etc/cupsd.conf", "etc/cups-files.conf"}) {
        std::string text = ReadText(root / conf);
        EXPECT_EQ(text.find("/etc/cups"), std::string::npos) << conf;
        EXPECT_EQ(text.find("/var/"), std::string::npos) << conf;
        EXPECT_EQ(text.find("/run/"), std::string::npos) << conf;
    }
    std::vector<std::string> backends;
    for (const auto& entry : fs::directory_iterator(root / "bin/backend")) {
        backends.push_back(entry.path().filename());
    }
    EXPECT_EQ(backends, std::vector<std::string>{"quernel-capture"});
    ASSERT_EQ(stat((root / "bin/backend/quernel-capture").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);

    const fs::path filter_target = fs::read_symlink(root / "bin/filter");
    harness.Stop();

    EXPECT_FALSE(harness.IsRunning());
    EXPECT_FALSE(ProcessExists(pid));
    EXPECT_FALSE(fs::exists(root));
    // The folder's symlinks were removed, not what they point to.
    EXPECT_TRUE(fs::is_directory(filter_target)) << filter_target;
    harness.Stop();  // a second Stop() is harmless
}

TEST(CupsHarnessLifecycleTest, DestructorCleansUpAfterPrintedJobs) {
    pid_t pid = -1;
    fs::path root;
    {
        CupsHarness harness;
        harness.Start();
        pid = harness.SchedulerPid();
        root = harness.RootDir();
        auto lp = CupsHarness::RunCommand(
            {"lp", "-h", harness.ServerName(), "-d", kQueueA, "-o", "raw"}, "job data");
        ASSERT_EQ(lp.exit_code, 0) << lp.output;
        ASSERT_EQ(harness.WaitForJobs(kQueueA, 1).size(), 1u);
    }
    EXPECT_FALSE(ProcessExists(pid));
    EXPECT_FALSE(fs::exists(root));
}

TEST(CupsHarnessLifecycleTest, TwoHarnessesRunSideBySideWithoutSharingJobs) {
    CupsHarness first;
    CupsHarness second;
    first.Start();
    second.Start();
    EXPECT_NE(first.ServerName(), second.ServerName());
    EXPECT_NE(first.Port(), second.Port());

    auto lp = CupsHarness::RunCommand({"lp", "-h", second.ServerName(), "-d", kQueueA}, "second");
    ASSERT_EQ(lp.exit_code, 0) << lp.output;
    auto jobs = second.WaitForJobs(kQueueA, 1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].bytes, "second");
    EXPECT_TRUE(first.CapturedJobs(kQueueA).empty());
}

TEST(CupsHarnessLifecycleTest, StartFailuresAreReportedAndLeaveNothingBehind) {
    ScratchDir base;
    // cupsd running as lp must be able to pass through the folder.
    fs::permissions(base.path(), fs::perms(0755));
    ScopedEnv tmpdir("TMPDIR", base.path().string());

    {
        CupsHarness::Options options;
        options.extra_cupsd_conf = "Listen /nonexistent-quernel-folder/cups.sock";
        CupsHarness harness(options);
        try {
            harness.Start();
            FAIL() << "Start() succeeded although cupsd cannot open a listener";
        } catch (const std::runtime_error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("cupsd exited during start"), std::string::npos) << message;
            // The tail of the error log says why.
            EXPECT_NE(message.find("/nonexistent-quernel-folder/cups.sock"), std::string::npos)
                << message;
        }
        EXPECT_FALSE(harness.IsRunning());
        EXPECT_TRUE(harness.RootDir().empty());
    }
    {
        CupsHarness::Options options;
        options.backend_script = (base.path() / "missing-backend").string();
        CupsHarness harness(options);
        try {
            harness.Start();
            FAIL() << "Start() succeeded without a backend script";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("missing-backend"), std::string::npos) << e.what();
        }
    }
    {
        // A machine with cups-daemon but without the package that brings the filters.
        ScratchDir serverBin;
        fs::create_directories(serverBin.path() / "daemon");
        std::ofstream(serverBin.path() / "daemon/cups-exec") << "";
        fs::create_directories(serverBin.path() / "filter");
        CupsHarness::Options options;
        options.server_bin = serverBin.path().string();
        CupsHarness harness(options);
        try {
            harness.Start();
            FAIL() << "Start() succeeded without CUPS filters";
        } catch (const std::runtime_error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("filter/gziptoany is missing"), std::string::npos) << message;
            EXPECT_NE(message.find("package cups"), std::string::npos) << message;
        }
        EXPECT_FALSE(harness.IsRunning());
    }
    EXPECT_TRUE(fs::is_empty(base.path())) << "a failed Start() left files in " << base.path();
}

TEST(CupsHarnessLifecycleTest, StopRestoresTheEnvironment) {
    ScopedEnv server("CUPS_SERVER", "/original/cups.sock");
    ScopedEnv lpdest("LPDEST", "original-queue");
    ScopedEnv home("HOME", "/original/home");
    {
        CupsHarness harness;
        harness.Start();
        harness.SetEnvironment();
        EXPECT_STREQ(std::getenv("CUPS_SERVER"), harness.ServerName().c_str());
        EXPECT_EQ(std::getenv("LPDEST"), nullptr);
        harness.Stop();
    }
    EXPECT_STREQ(std::getenv("CUPS_SERVER"), "/original/cups.sock");
    EXPECT_STREQ(std::getenv("LPDEST"), "original-queue");
    EXPECT_STREQ(std::getenv("HOME"), "/original/home");
    // libcups of this thread follows the restored environment again.
    EXPECT_STREQ(cupsServer(), "/original/cups.sock");
}

// ---------------------------------------------------------------------------------------------
// One scheduler for the suite, reset before each test.

class CupsHarnessTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        harness_ = std::make_unique<CupsHarness>();
        try {
            harness_->Start();
            harness_->SetEnvironment();
        } catch (const std::exception& e) {
            start_error_ = e.what();
            harness_.reset();
        }
    }

    static void TearDownTestSuite() { harness_.reset(); }

    void SetUp() override {
        ASSERT_NE(harness_, nullptr) << "the scheduler did not start:\n" << start_error_;
        harness_->Reset();
    }

    void TearDown() override {
        if (HasFailure() && harness_ != nullptr) {
            std::cout << "--- scheduler error_log ---\n" << harness_->ErrorLogTail() << std::endl;
        }
    }

    static CupsHarness& harness() { return *harness_; }

    static std::unique_ptr<CupsHarness> harness_;
    static std::string start_error_;
};

std::unique_ptr<CupsHarness> CupsHarnessTest::harness_;
std::string CupsHarnessTest::start_error_;

TEST_F(CupsHarnessTest, RawBytesTitleAndCopiesArriveUnchangedThroughLibcups) {
    const std::string data = PrinterControlBytes() + PseudoRandomBytes(300 * 1024, 42);

    Submission s = SubmitJob(kQueueA, "Quernel raw test", data, CUPS_FORMAT_RAW, {{"copies", "3"}});
    ASSERT_GT(s.job_id, 0) << s.create_message;
    EXPECT_EQ(s.start, HTTP_STATUS_CONTINUE);
    EXPECT_EQ(s.write, HTTP_STATUS_CONTINUE);
    EXPECT_EQ(s.finish, IPP_STATUS_OK) << s.last_message;

    auto jobs = harness().WaitForJobs(kQueueA, 1);
    ASSERT_EQ(jobs.size(), 1u);
    const CapturedJob& job = jobs[0];
    EXPECT_EQ(job.id, s.job_id);
    EXPECT_EQ(job.queue, kQueueA);
    EXPECT_EQ(job.title, "Quernel raw test");
    EXPECT_EQ(job.copies, 3);
    EXPECT_EQ(job.user, cupsUser());
    EXPECT_EQ(job.content_type, "application/vnd.cups-raw");
    ASSERT_EQ(job.bytes.size(), data.size());
    EXPECT_TRUE(job.bytes == data) << "job data differs from what was sent";
    EXPECT_TRUE(harness().CapturedJobs(kQueueB).empty());
}

TEST_F(CupsHarnessTest, LpRecordsCopiesTitleAndUsesTheDefaultQueue) {
    const std::string data = PrinterControlBytes();
    auto to_b = CupsHarness::RunCommand(
        {"lp", "-d", kQueueB, "-n", "3", "-t", "Title with  spaces", "-o", "raw"}, data);
    ASSERT_EQ(to_b.exit_code, 0) << to_b.output;
    // Without -d, lp (which inherits the environment) uses the harness's default queue.
    auto to_default = CupsHarness::RunCommand({"lp", "-o", "raw"}, "to the default queue\r\n");
    ASSERT_EQ(to_default.exit_code, 0) << to_default.output;

    auto jobs_b = harness().WaitForJobs(kQueueB, 1);
    ASSERT_EQ(jobs_b.size(), 1u);
    EXPECT_EQ(jobs_b[0].copies, 3);
    EXPECT_EQ(jobs_b[0].title, "Title with  spaces");
    EXPECT_TRUE(jobs_b[0].bytes == data);

    auto jobs_default = harness().WaitForJobs(harness().DefaultQueue(), 1);
    ASSERT_EQ(jobs_default.size(), 1u);
    EXPECT_EQ(jobs_default[0].copies, 1);
    EXPECT_EQ(jobs_default[0].bytes, "to the default queue\r\n");
    // lp prints "request id is <queue>-<id> ..." for both jobs.
    EXPECT_NE(to_b.output.find(std::string(kQueueB) + "-" + std::to_string(jobs_b[0].id)),
              std::string::npos)
        << to_b.output;
}

TEST_F(CupsHarnessTest, PdfAndTextPassARawQueueWithoutFilters) {
    const std::string pdf = TinyPdf();
    Submission s = SubmitJob(kQueueA, "pdf through libcups", pdf, CUPS_FORMAT_PDF);
    ASSERT_GT(s.job_id, 0) << s.create_message;
    EXPECT_EQ(s.finish, IPP_STATUS_OK) << s.last_message;

    // lp with a file and no format lets cupsd type the file by its content.
    ScratchDir scratch;
    WriteText(scratch.path() / "page.pdf", pdf);
    WriteText(scratch.path() / "listing.txt", "LINE 1\r\nLINE 2\r\n\x0c");
    auto lp_pdf = CupsHarness::RunCommand({"lp", "-d", kQueueB, scratch.path() / "page.pdf"});
    ASSERT_EQ(lp_pdf.exit_code, 0) << lp_pdf.output;
    auto lp_text = CupsHarness::RunCommand({"lp", "-d", kQueueB, scratch.path() / "listing.txt"});
    ASSERT_EQ(lp_text.exit_code, 0) << lp_text.output;

    auto jobs_a = harness().WaitForJobs(kQueueA, 1);
    ASSERT_EQ(jobs_a.size(), 1u);
    EXPECT_EQ(jobs_a[0].content_type, "application/pdf");
    EXPECT_TRUE(jobs_a[0].bytes == pdf);

    auto jobs_b = harness().WaitForJobs(kQueueB, 2);
    ASSERT_EQ(jobs_b.size(), 2u);
    EXPECT_EQ(jobs_b[0].content_type, "application/pdf");
    EXPECT_TRUE(jobs_b[0].bytes == pdf);
    EXPECT_EQ(jobs_b[0].title, "page.pdf");
    EXPECT_EQ(jobs_b[1].content_type, "text/plain");
    EXPECT_EQ(jobs_b[1].bytes, "LINE 1\r\nLINE 2\r\n\x0c");
}

TEST_F(CupsHarnessTest, DocumentsOfOneJobArriveJoinedInOrder) {
    int id = cupsCreateJob(CUPS_HTTP_DEFAULT, kQueueA, "two documents", 0, nullptr);
    ASSERT_GT(id, 0) << cupsLastErrorString();
    const std::vector<std::string> documents = {std::string("first\0\x1b", 7), "second\x0c"};
    for (std::size_t i = 0; i < documents.size(); ++i) {
        ASSERT_EQ(cupsStartDocument(CUPS_HTTP_DEFAULT, kQueueA, id, "doc", CUPS_FORMAT_RAW,
                                    i + 1 == documents.size()),
                  HTTP_STATUS_CONTINUE);
        ASSERT_EQ(cupsWriteRequestData(CUPS_HTTP_DEFAULT, documents[i].data(), documents[i].size()),
                  HTTP_STATUS_CONTINUE);
        ASSERT_EQ(cupsFinishDocument(CUPS_HTTP_DEFAULT, kQueueA), IPP_STATUS_OK)
            << cupsLastErrorString();
    }
    auto jobs = harness().WaitForJobs(kQueueA, 1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, id);
    EXPECT_EQ(jobs[0].bytes, documents[0] + documents[1]);
}

TEST_F(CupsHarnessTest, DestinationsAreExactlyTheHarnessQueues) {
    Destinations dests = GetDestinations();
    std::vector<std::string> expected = harness().QueueNames();
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dests.names, expected);
    EXPECT_EQ(dests.defaults, std::vector<std::string>{harness().DefaultQueue()});
    ASSERT_NE(cupsGetDefault(), nullptr) << cupsLastErrorString();
    EXPECT_EQ(cupsGetDefault(), harness().DefaultQueue());
    for (const auto& queue : harness().QueueNames()) {
        EXPECT_EQ(DestOption(queue, "device-uri"), "quernel-capture:/" + queue);
        EXPECT_EQ(DestOption(queue, "printer-state"), "3") << queue << " is not idle";
        EXPECT_EQ(DestOption(queue, "printer-is-accepting-jobs"), "true") << queue;
    }

    // A child process sees the same.
    auto lpstat = CupsHarness::RunCommand({"lpstat", "-d", "-v"});
    ASSERT_EQ(lpstat.exit_code, 0) << lpstat.output;
    EXPECT_NE(lpstat.output.find("system default destination: " + harness().DefaultQueue()),
              std::string::npos)
        << lpstat.output;
    EXPECT_NE(lpstat.output.find(std::string("device for ") + kQueueB + ": quernel-capture:/"),
              std::string::npos)
        << lpstat.output;
}

TEST_F(CupsHarnessTest, StoppedQueueAcceptsJobsAndHoldsThemUntilStarted) {
    harness().StopQueue(kQueueA);
    EXPECT_EQ(DestOption(kQueueA, "printer-state"), "5");  // stopped
    EXPECT_EQ(DestOption(kQueueA, "printer-is-accepting-jobs"), "true");

    const std::string data = "held\x1b\0job"s;
    Submission s = SubmitJob(kQueueA, "held job", data);
    // Nothing in libcups tells the caller that the queue is stopped.
    ASSERT_GT(s.job_id, 0) << s.create_message;
    EXPECT_EQ(s.create_error, IPP_STATUS_OK);
    EXPECT_EQ(s.start, HTTP_STATUS_CONTINUE);
    EXPECT_EQ(s.write, HTTP_STATUS_CONTINUE);
    EXPECT_EQ(s.finish, IPP_STATUS_OK);
    EXPECT_EQ(s.last_error, IPP_STATUS_OK);

    EXPECT_EQ(ActiveJobStates(kQueueA), std::vector<ipp_jstate_t>{IPP_JSTATE_PENDING});
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(harness().CapturedJobs(kQueueA).empty()) << "a stopped queue printed";

    harness().StartQueue(kQueueA);
    auto jobs = harness().WaitForJobs(kQueueA, 1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, s.job_id);
    EXPECT_EQ(jobs[0].bytes, data);
}

TEST_F(CupsHarnessTest, RejectingQueueFailsAtCreateJob) {
    harness().RejectJobs(kQueueB);
    EXPECT_EQ(DestOption(kQueueB, "printer-is-accepting-jobs"), "false");

    Submission s = SubmitJob(kQueueB, "rejected", "data");
    EXPECT_EQ(s.job_id, 0);
    EXPECT_EQ(s.create_error, IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS);
    EXPECT_EQ(s.create_message, "Destination \"quernel-test-b\" is not accepting jobs.");
    // The document calls do not check the job id 0: starting and writing report success and
    // only finishing fails, with a different error. Callers must check the id.
    EXPECT_EQ(s.start, HTTP_STATUS_CONTINUE);
    EXPECT_EQ(s.write, HTTP_STATUS_CONTINUE);
    EXPECT_EQ(s.finish, IPP_STATUS_ERROR_NOT_FOUND);
    EXPECT_EQ(s.last_message, "Job #0 does not exist.");

    auto lp = CupsHarness::RunCommand({"lp", "-d", kQueueB}, "data");
    EXPECT_NE(lp.exit_code, 0);
    EXPECT_NE(lp.output.find("is not accepting jobs"), std::string::npos) << lp.output;

    harness().AcceptJobs(kQueueB);
    ASSERT_GT(SubmitJob(kQueueB, "accepted again", "ok").job_id, 0) << cupsLastErrorString();
    auto jobs = harness().WaitForJobs(kQueueB, 1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].bytes, "ok");
}

TEST_F(CupsHarnessTest, DeletedQueueFailsAtCreateJobWithAnInternalError) {
    harness().DeleteQueue(kQueueB);
    EXPECT_EQ(GetDestinations().names, std::vector<std::string>{kQueueA});

    Submission s = SubmitJob(kQueueB, "to a deleted queue", "data");
    EXPECT_EQ(s.job_id, 0);
    // cupsCreateJob looks the destination up first and, when it is missing, reports
    // IPP_STATUS_ERROR_INTERNAL with strerror(ENOENT), not IPP_STATUS_ERROR_NOT_FOUND.
    EXPECT_EQ(s.create_error, IPP_STATUS_ERROR_INTERNAL);
    EXPECT_EQ(s.create_message, std::strerror(ENOENT));
    EXPECT_EQ(s.start, HTTP_STATUS_CONTINUE);
    EXPECT_EQ(s.write, HTTP_STATUS_CONTINUE);
    EXPECT_EQ(s.finish, IPP_STATUS_ERROR_NOT_FOUND);
    EXPECT_EQ(s.last_message, "Job #0 does not exist.");

    auto lp = CupsHarness::RunCommand({"lp", "-d", kQueueB}, "data");
    EXPECT_NE(lp.exit_code, 0);
    EXPECT_NE(lp.output.find("does not exist"), std::string::npos) << lp.output;
    EXPECT_TRUE(harness().CapturedJobs(kQueueB).empty());
}

TEST_F(CupsHarnessTest, QueueDeletedAfterCreateJobLosesTheJobAtFinish) {
    Submission s = SubmitJob(kQueueB, "queue vanishes", "data", CUPS_FORMAT_RAW, {},
                             [] { harness().DeleteQueue(kQueueB); });
    ASSERT_GT(s.job_id, 0) << s.create_message;
    EXPECT_EQ(s.start, HTTP_STATUS_CONTINUE);
    EXPECT_EQ(s.write, HTTP_STATUS_CONTINUE);
    EXPECT_EQ(s.finish, IPP_STATUS_ERROR_NOT_FOUND);
    EXPECT_EQ(s.last_message, "Job #" + std::to_string(s.job_id) + " does not exist.");
    EXPECT_TRUE(harness().CapturedJobs(kQueueB).empty());
}

TEST_F(CupsHarnessTest, DeletingTheDefaultQueueLeavesNoDefaultUntilReset) {
    harness().DeleteQueue(harness().DefaultQueue());
    EXPECT_EQ(cupsGetDefault(), nullptr);
    EXPECT_TRUE(GetDestinations().defaults.empty());

    harness().Reset();
    Destinations dests = GetDestinations();
    EXPECT_EQ(dests.names.size(), harness().QueueNames().size());
    EXPECT_EQ(dests.defaults, std::vector<std::string>{harness().DefaultQueue()});
}

TEST_F(CupsHarnessTest, SetEnvironmentOverridesDestinationVariables) {
    // LPDEST and PRINTER would otherwise replace the default destination.
    ScopedEnv lpdest("LPDEST", kQueueB);
    ScopedEnv printer("PRINTER", kQueueB);
    ASSERT_STREQ(cupsGetDefault(), kQueueB);
    harness().SetEnvironment();
    EXPECT_EQ(std::getenv("LPDEST"), nullptr);
    EXPECT_EQ(std::getenv("PRINTER"), nullptr);
    EXPECT_STREQ(cupsGetDefault(), harness().DefaultQueue().c_str());

    auto lpstat = CupsHarness::RunCommand({"lpstat", "-d"});
    EXPECT_NE(lpstat.output.find(harness().DefaultQueue()), std::string::npos) << lpstat.output;
}

TEST_F(CupsHarnessTest, CachedServerNameIsOnlyReplacedByCupsSetServer) {
    const std::string harness_server = harness().ServerName();
    std::thread([&] {
        // A new thread reads CUPS_SERVER itself.
        EXPECT_EQ(std::string(cupsServer()), harness_server);
        {
            ScopedEnv other("CUPS_SERVER", "/nonexistent/other.sock");
            // Changing the variable does not reach a thread that already asked.
            EXPECT_EQ(std::string(cupsServer()), harness_server);
            cupsSetServer(nullptr);
            EXPECT_EQ(std::string(cupsServer()), "/nonexistent/other.sock");
        }
        // Now this thread is stuck on the other server until it is pointed back.
        harness().UseInCurrentThread();
        EXPECT_EQ(std::string(cupsServer()), harness_server);
        const char* def = cupsGetDefault();
        EXPECT_STREQ(def, harness().DefaultQueue().c_str()) << cupsLastErrorString();
    }).join();
}

TEST_F(CupsHarnessTest, ClientConfigFoldersAreReadOncePerThread) {
    // A per-user lpoptions in the harness's HOME picks another default destination for
    // cupsGetDests. Only threads that start using libcups after SetEnvironment() see it.
    fs::create_directories(fs::path(harness().RootDir()) / "home/.cups");
    WriteText(fs::path(harness().RootDir()) / "home/.cups/lpoptions",
              std::string("Default ") + kQueueB + "\n");
    ScratchDir elsewhere;

    std::vector<std::string> fresh_thread_defaults;
    std::thread([&] { fresh_thread_defaults = GetDestinations().defaults; }).join();
    EXPECT_EQ(fresh_thread_defaults, std::vector<std::string>{kQueueB});

    std::vector<std::string> early_thread_defaults;
    std::thread([&] {
        {
            ScopedEnv home("HOME", elsewhere.path().string());
            cupsServer();  // first libcups use in this thread, with another HOME
        }
        harness().UseInCurrentThread();
        early_thread_defaults = GetDestinations().defaults;
    }).join();
    EXPECT_EQ(early_thread_defaults, std::vector<std::string>{harness().DefaultQueue()});

    fs::remove(fs::path(harness().RootDir()) / "home/.cups/lpoptions");
}

// ---------------------------------------------------------------------------------------------
// The capture backend on its own, run the way cupsd runs it.

// The script next to this file; the build defines its path.
std::string BackendScriptPath() {
#ifdef QUERNEL_CAPTURE_BACKEND
    return QUERNEL_CAPTURE_BACKEND;
#else
    const char* path = std::getenv("QUERNEL_CAPTURE_BACKEND");
    return path != nullptr ? path : "";
#endif
}

class QuernelCaptureBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fs::is_regular_file(BackendScriptPath()))
            << "build with -DQUERNEL_CAPTURE_BACKEND=\"<path to quernel-capture>\"";
    }

    CommandResult RunBackend(const std::vector<std::string>& env,
                             const std::vector<std::string>& args, const std::string& input = {}) {
        std::vector<std::string> argv = {"env", "-i", "PATH=/usr/bin:/bin"};
        argv.insert(argv.end(), env.begin(), env.end());
        argv.push_back("/bin/sh");
        argv.push_back(BackendScriptPath());
        argv.insert(argv.end(), args.begin(), args.end());
        return CupsHarness::RunCommand(argv, input);
    }

    std::string CaptureEnv() const { return "QUERNEL_CAPTURE_DIR=" + capture_.path().string(); }

    ScratchDir capture_;
};

TEST_F(QuernelCaptureBackendTest, WithoutArgumentsPrintsItsDiscoveryLine) {
    auto result = RunBackend({}, {});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.output.rfind("direct quernel-capture \"", 0), 0u) << result.output;
}

TEST_F(QuernelCaptureBackendTest, StoresStandardInputThenAppendsALaterDocument) {
    const std::string first = PrinterControlBytes();
    auto result = RunBackend({CaptureEnv(), "DEVICE_URI=quernel-capture:/some-queue",
                              "PRINTER=other", "CONTENT_TYPE=application/vnd.cups-raw"},
                             {"17", "alice", "two\nline title", "2", "job-uuid=x a=b"}, first);
    ASSERT_EQ(result.exit_code, 0) << result.output;

    auto jobs = CupsHarness::ReadCaptureFolder(capture_.path(), "some-queue");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, 17);
    EXPECT_EQ(jobs[0].queue, "some-queue");  // from the device URI, not PRINTER
    EXPECT_EQ(jobs[0].user, "alice");
    EXPECT_EQ(jobs[0].title, "two line title");
    EXPECT_EQ(jobs[0].copies, 2);
    EXPECT_EQ(jobs[0].options, "job-uuid=x a=b");
    EXPECT_EQ(jobs[0].content_type, "application/vnd.cups-raw");
    EXPECT_EQ(jobs[0].backend_runs, 1);
    EXPECT_TRUE(jobs[0].bytes == first);

    // A second run for the same job with a file argument, as for a further document.
    WriteText(capture_.path() / "second.bin", "\xff\r\n");
    result = RunBackend({CaptureEnv(), "DEVICE_URI=quernel-capture:/some-queue"},
                        {"17", "alice", "t", "1", "", (capture_.path() / "second.bin").string()});
    ASSERT_EQ(result.exit_code, 0) << result.output;
    jobs = CupsHarness::ReadCaptureFolder(capture_.path(), "some-queue");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].backend_runs, 2);
    EXPECT_TRUE(jobs[0].bytes == first + "\xff\r\n");

    // Only the final files remain.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(capture_.path() / "some-queue")) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"17.data", "17.meta"}));
}

TEST_F(QuernelCaptureBackendTest, RefusesToWriteOutsideTheCaptureFolder) {
    const std::vector<std::string> args = {"3", "bob", "t", "1", ""};
    auto escape = RunBackend({CaptureEnv(), "DEVICE_URI=quernel-capture:/../escaped"}, args, "x");
    EXPECT_NE(escape.exit_code, 0);
    EXPECT_NE(escape.output.find("ERROR:"), std::string::npos) << escape.output;
    EXPECT_FALSE(fs::exists(capture_.path().parent_path() / "escaped"));

    auto no_dir = RunBackend({"DEVICE_URI=quernel-capture:/q"}, args, "x");
    EXPECT_NE(no_dir.exit_code, 0);
    EXPECT_NE(no_dir.output.find("QUERNEL_CAPTURE_DIR"), std::string::npos) << no_dir.output;

    auto bad_id = RunBackend({CaptureEnv(), "DEVICE_URI=quernel-capture:/q"},
                             {"../1", "bob", "t", "1", ""}, "x");
    EXPECT_NE(bad_id.exit_code, 0);
    EXPECT_TRUE(fs::is_empty(capture_.path()));
}

}  // namespace
}  // namespace quernel::test
