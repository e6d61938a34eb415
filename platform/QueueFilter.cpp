#include "platform/QueueFilter.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/QN_Picture.h"
#include "engine/QueueOptions.h"
#include "host/Clock.h"
#include "host/Environment.h"
#include "host/MappedFile.h"
#include "host/ProgramDir.h"
#include "platform/FtFontSource.h"
#include "platform/PdfFilePrinter.h"

namespace quernel {

namespace fs = std::filesystem;

namespace {

// A failure already explained to CUPS.
struct TFilterFailure {};

[[noreturn]] void Fail(const std::string& message) {
    std::cerr << "ERROR: " << message << std::endl;
    throw TFilterFailure{};
}

// A file of the temporary folder, removed when done with.
class TTempFile {
  public:
    explicit TTempFile(const fs::path& folder, const char* pattern) {
        std::string path = (folder / pattern).string();
        fd_ = ::mkstemp(path.data());
        if (fd_ < 0)
            Fail("Nie można utworzyć pliku tymczasowego w " + folder.string() + ": " +
                 std::strerror(errno));
        path_ = path;
    }
    ~TTempFile() {
        if (fd_ >= 0) ::close(fd_);
        std::error_code ec;
        if (!path_.empty()) fs::remove(path_, ec);
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    int Fd() const { return fd_; }
    const fs::path& Path() const { return path_; }

  private:
    int fd_ = -1;
    fs::path path_;
};

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Standard input into a temporary file: the printout is read by mapping a file.
void CopyStandardInput(int to) {
    std::vector<char> buffer(1 << 16);
    while (true) {
        const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail(std::string("Nie można czytać zadania: ") + std::strerror(errno));
        if (n == 0) return;
        if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(n))) {
            Fail(std::string("Nie można zapisać zadania w folderze tymczasowym: ") +
                 std::strerror(errno));
        }
    }
}

// The document, made whole, to standard output.
void SendDocument(int from) {
    struct stat st {};
    if (::fstat(from, &st) != 0 || ::lseek(from, 0, SEEK_SET) != 0) {
        Fail(std::string("Nie można odczytać dokumentu: ") + std::strerror(errno));
    }
    off_t left = st.st_size;
    while (left > 0) {
        const ssize_t n = ::sendfile(STDOUT_FILENO, from, nullptr, static_cast<std::size_t>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            Fail(std::string("Nie można przekazać dokumentu dalej: ") + std::strerror(errno));
        left -= n;
    }
}

// The filter runs as CUPS's user, whose home may not exist: everything Qt and fontconfig keep
// goes into the job's temporary folder.
fs::path PrepareTemporaryFolder() {
    fs::path folder = GetEnv("TMPDIR").value_or("/tmp");
    if (folder.empty()) folder = "/tmp";
    for (const char* name : {"HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        ::setenv(name, folder.c_str(), 1);
    }
    return folder;
}

std::string ReadPpd() {
    const auto path = GetEnv("PPD");
    if (!path || path->empty()) return {};
    std::ifstream in(*path, std::ios::binary);
    if (!in) Fail("Nie można odczytać pliku PPD kolejki: " + *path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The filter without pictures draws a job that has one with this program, which loads them.
[[noreturn]] void HandOverToPictureFilter(int argc, char** argv) {
    const fs::path program = PictureFilterProgram(ExecutablePath().parent_path());
    std::vector<char*> args{const_cast<char*>("quernel-render"),
                            const_cast<char*>("--cups-filter")};
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execv(program.c_str(), args.data());
    Fail("Nie można uruchomić " + program.string() + " dla obrazu w tle: " + std::strerror(errno));
}

class TNoPictures final : public IPictureLoader {
  public:
    std::shared_ptr<const IPicture> Load(const std::filesystem::path&) override { return nullptr; }
};

class TFontconfigDrawing final : public IFilterDrawing {
  public:
    IFontSource& Fonts() override { return fonts_; }
    IPictureLoader& Pictures() override { return pictures_; }

  private:
    TFtFontSource fonts_;
    TNoPictures pictures_;
};

int Run(int argc, char** argv, const std::function<std::unique_ptr<IFilterDrawing>()>& makeDrawing,
        bool loadsPictures) {
    std::string error;
    const auto line =
        ParseFilterCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!line) Fail(error);
    const fs::path temporary = PrepareTemporaryFolder();

    TQueueJob job;
    job.render.title = line->title;
    if (const auto problem =
            SettleQueueJob(ReadPpdValues(ReadPpd()), ParseCupsOptions(line->options), job)) {
        Fail(*problem);
    }
    if (!job.render.background.empty() && !loadsPictures) HandOverToPictureFilter(argc, argv);
    const fs::path shipped = FilterShippedDataDir(ExecutablePath().parent_path());
    try {
        job.render.seq = QueueDataFile(job.render.seq, "seq", job.tablesFolder, shipped).string();
        job.render.cmap =
            QueueDataFile(job.render.cmap, "cmap", job.tablesFolder, shipped).string();
    } catch (const std::exception& e) {
        Fail(e.what());
    }

    std::optional<TTempFile> input;
    if (line->file.empty()) {
        input.emplace(temporary, "quernel-job-XXXXXX");
        CopyStandardInput(input->Fd());
        job.render.file = input->Path().string();
    } else {
        job.render.file = line->file;
    }
    try {
        const TMappedFile printout(job.render.file);
        if (const auto problem = PrintoutProblem(printout.View())) Fail(*problem);
    } catch (const std::exception& e) {
        Fail(std::string("Nie można odczytać wydruku: ") + e.what());
    }

    // A private runtime folder in the temporary one, instead of one of a toolkit's making in
    // /tmp.
    const TTempFile output(temporary, "quernel-pdf-XXXXXX");
    std::string runtime = (temporary / "quernel-run-XXXXXX").string();
    if (::mkdtemp(runtime.data()) == nullptr)
        Fail("Nie można utworzyć folderu w " + temporary.string());
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    struct TRemoveFolder {
        fs::path path;
        ~TRemoveFolder() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } removeRuntime{runtime};

    const std::unique_ptr<IFilterDrawing> drawing = makeDrawing();
    const TQueuePaper* paper = FindQueuePaper(job.paper);
    SystemClock clock;
    const int fd = output.Fd();
    TPdfFilePrinter printer(
        paper->width, paper->height,
        [fd](const void* data, std::size_t size) { return WriteAll(fd, data, size); },
        "dokument zadania", drawing->Fonts(), clock);
    const RenderMessages prefixes{"ERROR: ", "WARNING: "};
    if (RunRender(job.render, printer, drawing->Pictures(), shipped, std::cerr, prefixes) != 0)
        return 1;
    SendDocument(fd);
    std::cerr << "INFO: Wydruk DOS: " << printer.PagesPrinted() << " str." << std::endl;
    std::cerr << "ATTR: job-media-progress=100" << std::endl;
    return 0;
}

}  // namespace

fs::path PictureFilterProgram(const fs::path& executableDir) {
    std::error_code ec;
    if (fs::exists(executableDir / "quernel-render", ec)) return executableDir / "quernel-render";
    return FilterInstallPrefix(executableDir) / "bin" / "quernel-render";
}

int RunQueueFilter(int argc, char** argv) {
    return RunQueueFilterWith(
        argc, argv, [] { return std::make_unique<TFontconfigDrawing>(); }, false);
}

int RunQueueFilterWith(int argc, char** argv,
                       const std::function<std::unique_ptr<IFilterDrawing>()>& makeDrawing,
                       bool loadsPictures) {
    // A job is one short run that allocates and frees large buffers again and again (font
    // tables, page contents, compression): freed memory stays with the process for the next
    // use instead of going back to the system and being faulted in anew, which cost about 5 ms
    // of a 10-page job's 65. Memory still does not grow with the job's length.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
    ::signal(SIGPIPE, SIG_IGN);
    std::cerr << std::unitbuf;
    try {
        return Run(argc, argv, makeDrawing, loadsPictures);
    } catch (const TFilterFailure&) {
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "ERROR: " << e.what() << std::endl;
        return 1;
    }
}

}  // namespace quernel
