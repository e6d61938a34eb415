#include "CupsHarness.h"

#include <arpa/inet.h>
#include <cups/cups.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace quernel::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kBackendName = "quernel-capture";
constexpr const char* kCaptureDirVariable = "QUERNEL_CAPTURE_DIR";
constexpr std::size_t kMaxSocketPath = sizeof(sockaddr_un::sun_path) - 1;
constexpr int kStartAttempts = 3;
constexpr auto kStopGrace = 5s;

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

std::optional<std::string> GetEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

bool IsExecutable(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Finds a program like the shell does, but also looks in the sbin folders, which are often not in
// PATH of ordinary users although lpadmin and cupsd live there.
std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return IsExecutable(name) ? name : std::string();
    std::vector<std::string> dirs;
    std::stringstream path(GetEnv("PATH").value_or(""));
    for (std::string dir; std::getline(path, dir, ':');) {
        if (!dir.empty()) dirs.push_back(dir);
    }
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) dirs.emplace_back(dir);
    for (const auto& dir : dirs) {
        std::string candidate = dir + "/" + name;
        if (IsExecutable(candidate)) return candidate;
    }
    return {};
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content, mode_t mode) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) ThrowErrno("cannot create " + path);
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int saved = errno;
            close(fd);
            errno = saved;
            ThrowErrno("cannot write " + path);
        }
        done += static_cast<std::size_t>(n);
    }
    if (fchmod(fd, mode) != 0 || close(fd) != 0) ThrowErrno("cannot finish " + path);
}

std::string LastLines(const std::string& text, std::size_t lines) {
    std::size_t pos = text.size();
    if (pos > 0 && text[pos - 1] == '\n') --pos;
    std::size_t found = 0;
    while (pos > 0) {
        if (text[pos - 1] == '\n' && ++found == lines) break;
        --pos;
    }
    return text.substr(pos);
}

bool IsValidQueueName(const std::string& name) {
    if (name.empty() || name.size() > 127 || name[0] == '.') return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7f && std::strchr("/#\\'\"", c) == nullptr;
    });
}

// Every user must be able to pass through the folder for cupsd running as lp to reach its files.
bool IsTraversableByOthers(const fs::path& dir) {
    for (fs::path p = dir; !p.empty(); p = p.parent_path()) {
        struct stat st {};
        if (stat(p.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0) return false;
        if (p == p.root_path()) break;
    }
    return true;
}

int FindFreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) ThrowErrno("socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof(addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        int saved = errno;
        close(fd);
        errno = saved;
        ThrowErrno("cannot find a free loopback port");
    }
    close(fd);
    return ntohs(addr.sin_port);
}

// Sends a plain HTTP request and returns the status line of the answer, or an empty string.
std::string ProbeHttp(int fd) {
    const std::string request = "GET / HTTP/1.0\r\nHost: localhost\r\n\r\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        return {};
    }
    std::string answer;
    auto deadline = Clock::now() + 1s;
    while (answer.find('\n') == std::string::npos && Clock::now() < deadline) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0) continue;
        char buf[256];
        ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n <= 0) break;
        answer.append(buf, static_cast<std::size_t>(n));
    }
    return answer.substr(0, answer.find('\n'));
}

std::string ProbeUnixSocket(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
    std::string status;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) status = ProbeHttp(fd);
    close(fd);
    return status;
}

std::string ProbeLoopbackPort(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    std::string status;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) status = ProbeHttp(fd);
    close(fd);
    return status;
}

std::string FirstExistingDir(std::initializer_list<const char*> candidates, const char* marker) {
    for (const char* dir : candidates) {
        if (fs::exists(fs::path(dir) / marker)) return dir;
    }
    return {};
}

struct Credentials {
    uid_t uid;
    gid_t gid;
};

struct SpawnRequest {
    std::string program;
    std::vector<std::string> argv;
    std::optional<std::vector<std::string>> env;  // nullopt: this process's environment
    int stdin_fd = -1;                            // -1: /dev/null
    int stdout_fd = -1;                           // also stderr; -1: /dev/null
    bool new_session = false;
    std::optional<Credentials> run_as;
    bool die_with_parent = false;
};

// A process started with a closed standard descriptor would get pipes numbered 0-2, which the
// redirections in Spawn() would then clobber.
void EnsureStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            int null_fd = open("/dev/null", O_RDWR);
            if (null_fd >= 0 && null_fd != fd) {
                dup2(null_fd, fd);
                close(null_fd);
            }
        }
    }
}

// fork + exec with only async-signal-safe calls in the child, so it is safe in threaded
// programs. Reports exec failures through a close-on-exec pipe.
pid_t Spawn(const SpawnRequest& request) {
    std::vector<char*> argv;
    for (const auto& arg : request.argv) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    if (request.env) {
        for (const auto& var : *request.env) envp.push_back(const_cast<char*>(var.c_str()));
        envp.push_back(nullptr);
    }
    char* const* env = request.env ? envp.data() : environ;

    EnsureStandardDescriptors();
    int error_pipe[2];
    if (pipe2(error_pipe, O_CLOEXEC) != 0) ThrowErrno("pipe2");
    int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null_fd < 0) ThrowErrno("open /dev/null");
    const pid_t parent = getpid();

    pid_t pid = fork();
    if (pid < 0) {
        int saved = errno;
        close(error_pipe[0]);
        close(error_pipe[1]);
        close(null_fd);
        errno = saved;
        ThrowErrno("fork");
    }
    if (pid == 0) {
        auto fail = [&](int step) {
            int report[2] = {step, errno};
            ssize_t ignored = write(error_pipe[1], report, sizeof(report));
            (void)ignored;
            _exit(127);
        };
        // Signal handlers are reset by exec, but ignored signals and the mask are inherited.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
        if (request.new_session && setsid() < 0) fail(1);
        if (request.run_as) {
            if (setgroups(1, &request.run_as->gid) != 0) fail(2);
            if (setgid(request.run_as->gid) != 0) fail(3);
            if (setuid(request.run_as->uid) != 0) fail(4);
        }
        // Set after changing the user: a change of credentials clears it.
        if (request.die_with_parent) {
            if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) fail(5);
            if (getppid() != parent) _exit(1);
        }
        int in = request.stdin_fd >= 0 ? request.stdin_fd : null_fd;
        int out = request.stdout_fd >= 0 ? request.stdout_fd : null_fd;
        if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) fail(6);
        // Keep the error pipe (close-on-exec) but no other descriptor of the parent.
        if (error_pipe[1] > 3) close_range(3, static_cast<unsigned>(error_pipe[1]) - 1, 0);
        close_range(static_cast<unsigned>(error_pipe[1]) + 1, ~0U, 0);
        execve(request.program.c_str(), argv.data(), env);
        fail(7);
    }

    close(error_pipe[1]);
    close(null_fd);
    int report[2] = {0, 0};
    ssize_t n;
    do {
        n = read(error_pipe[0], report, sizeof(report));
    } while (n < 0 && errno == EINTR);
    close(error_pipe[0]);
    if (n > 0) {
        int status;
        waitpid(pid, &status, 0);
        static const std::array<const char*, 8> steps = {"",       "setsid", "setgroups", "setgid",
                                                         "setuid", "prctl",  "dup2",      "execve"};
        errno = report[1];
        ThrowErrno("cannot start " + request.program + " (" +
                   steps.at(static_cast<std::size_t>(report[0]) % steps.size()) + ")");
    }
    return pid;
}

int DecodeWaitStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

CommandResult RunProgram(const std::vector<std::string>& argv,
                         const std::optional<std::vector<std::string>>& env,
                         const std::string& input, std::chrono::milliseconds timeout) {
    if (argv.empty()) throw std::invalid_argument("RunCommand: empty argv");
    std::string program = FindProgram(argv[0]);
    if (program.empty()) throw std::runtime_error("program not found: " + argv[0]);

    EnsureStandardDescriptors();
    int out_pipe[2];
    // A socket rather than a pipe for the input: send() with MSG_NOSIGNAL cannot raise SIGPIPE
    // in the test program when the command exits without reading everything.
    int in_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0) ThrowErrno("pipe2");
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in_pipe) != 0) {
        int saved = errno;
        close(out_pipe[0]);
        close(out_pipe[1]);
        errno = saved;
        ThrowErrno("pipe2");
    }
    SpawnRequest request;
    request.program = program;
    request.argv = argv;
    request.env = env;
    request.stdin_fd = in_pipe[0];
    request.stdout_fd = out_pipe[1];
    pid_t pid;
    try {
        pid = Spawn(request);
    } catch (...) {
        for (int fd : {out_pipe[0], out_pipe[1], in_pipe[0], in_pipe[1]}) close(fd);
        throw;
    }
    close(out_pipe[1]);
    close(in_pipe[0]);

    CommandResult result;
    int out_fd = out_pipe[0];
    int in_fd = in_pipe[1];
    std::size_t written = 0;
    if (input.empty()) {
        close(in_fd);
        in_fd = -1;
    }
    const auto deadline = Clock::now() + timeout;
    while (out_fd >= 0 || in_fd >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            kill(pid, SIGKILL);
            break;
        }
        std::array<pollfd, 2> pfds{};
        nfds_t count = 0;
        if (out_fd >= 0) pfds[count++] = {out_fd, POLLIN, 0};
        if (in_fd >= 0) pfds[count++] = {in_fd, POLLOUT, 0};
        int ready = poll(pfds.data(), count, static_cast<int>(std::min<long>(left.count(), 100)));
        if (ready < 0 && errno != EINTR) break;
        for (nfds_t i = 0; i < count; ++i) {
            if (pfds[i].revents == 0) continue;
            if (pfds[i].fd == out_fd) {
                char buf[4096];
                ssize_t n = read(out_fd, buf, sizeof(buf));
                if (n > 0) {
                    result.output.append(buf, static_cast<std::size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    close(out_fd);
                    out_fd = -1;
                }
            } else {
                ssize_t n = send(in_fd, input.data() + written, input.size() - written,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0) written += static_cast<std::size_t>(n);
                if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) {
                    close(in_fd);
                    in_fd = -1;
                }
            }
        }
    }
    if (out_fd >= 0) close(out_fd);
    if (in_fd >= 0) close(in_fd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exit_code = DecodeWaitStatus(status);
    return result;
}

std::map<std::string, std::string> ParseMeta(const std::string& text) {
    std::map<std::string, std::string> values;
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

int ToInt(const std::string& text, int fallback) {
    try {
        return std::stoi(text);
    } catch (const std::exception&) {
        return fallback;
    }
}

}  // namespace

CupsHarness::CupsHarness() : CupsHarness(Options{}) {}

CupsHarness::CupsHarness(Options options) : options_(std::move(options)) {}

CupsHarness::~CupsHarness() {
    Stop();
}

std::string CupsHarness::CaptureDir() const {
    return root_.empty() ? root_ : root_ + "/capture";
}

std::string CupsHarness::ErrorLogPath() const {
    return root_.empty() ? root_ : root_ + "/log/error_log";
}

std::string CupsHarness::ErrorLogTail(std::size_t lines) const {
    if (root_.empty()) return {};
    std::string tail = LastLines(ReadFile(ErrorLogPath()), lines);
    std::string console = LastLines(ReadFile(root_ + "/log/cupsd-console.log"), 10);
    if (!console.empty()) tail += "\n[cupsd stdout/stderr]\n" + console;
    return tail;
}

void CupsHarness::Start() {
    if (pid_ > 0) throw std::logic_error("CupsHarness::Start: already started");
    if (options_.queues.empty()) throw std::invalid_argument("CupsHarness: no queues configured");
    for (const auto& queue : options_.queues) {
        if (!IsValidQueueName(queue)) {
            throw std::invalid_argument("CupsHarness: invalid queue name '" + queue + "'");
        }
    }
    default_queue_ =
        options_.default_queue.empty() ? options_.queues.front() : options_.default_queue;
    if (std::find(options_.queues.begin(), options_.queues.end(), default_queue_) ==
        options_.queues.end()) {
        throw std::invalid_argument("CupsHarness: default queue '" + default_queue_ +
                                    "' is not one of the queues");
    }

    running_as_root_ = geteuid() == 0;
    // cupsd refuses to run jobs as root, so a root test run hands everything to lp.
    const passwd* pw = running_as_root_ ? getpwnam("lp") : getpwuid(geteuid());
    if (pw == nullptr) {
        throw std::runtime_error(running_as_root_
                                     ? "CupsHarness: user 'lp' does not exist"
                                     : "CupsHarness: current user has no passwd entry");
    }
    scheduler_uid_ = pw->pw_uid;
    scheduler_user_ = pw->pw_name;
    const group* gr = running_as_root_ ? getgrnam("lp") : getgrgid(getegid());
    scheduler_gid_ = gr != nullptr ? gr->gr_gid : pw->pw_gid;
    const group* named = getgrgid(scheduler_gid_);
    if (named == nullptr) throw std::runtime_error("CupsHarness: scheduler group has no name");
    scheduler_group_ = named->gr_name;

    std::string last_problem;
    for (int attempt = 1; attempt <= kStartAttempts; ++attempt) {
        try {
            PrepareFolders();
            port_ = FindFreeLoopbackPort();
            WriteConfiguration();
            LaunchScheduler();
            std::string problem = WaitUntilReady();
            if (problem.empty()) {
                CreateQueues();
                return;
            }
            std::string tail = ErrorLogTail();
            last_problem =
                "CupsHarness: " + problem + "\n--- end of " + ErrorLogPath() + " ---\n" + tail;
            // Another program may have taken the port between probing and binding it.
            bool port_taken = tail.find("Address already in use") != std::string::npos;
            Stop();
            if (!port_taken) break;
        } catch (const std::exception& e) {
            std::string tail = ErrorLogTail();
            Stop();
            throw std::runtime_error(std::string("CupsHarness: ") + e.what() +
                                     (tail.empty() ? "" : "\n--- end of error_log ---\n" + tail));
        }
    }
    throw std::runtime_error(last_problem);
}

void CupsHarness::PrepareFolders() {
    fs::path base = "/tmp";
    if (auto tmpdir = GetEnv("TMPDIR");
        tmpdir && !tmpdir->empty() && (*tmpdir)[0] == '/' && fs::is_directory(*tmpdir)) {
        base = *tmpdir;
    }
    if (running_as_root_ && !IsTraversableByOthers(base)) base = "/tmp";
    // The socket path must fit into sockaddr_un.
    if ((base / "quernel-cups-XXXXXX/cups.sock").string().size() > kMaxSocketPath) base = "/tmp";

    std::string pattern = (base / "quernel-cups-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ThrowErrno("mkdtemp in " + base.string());
    root_ = pattern;
    socket_path_ = root_ + "/cups.sock";

    for (const char* dir : {"etc", "etc/ppd", "etc/ssl", "bin", "bin/backend", "data", "cache",
                            "state", "spool", "spool/tmp", "log", "capture", "home", "client"}) {
        fs::create_directory(fs::path(root_) / dir);
    }

    // ServerBin: the system's filters and helpers, but no backend except ours, so no job can
    // reach a real device and device discovery finds nothing real.
    std::string server_bin = options_.server_bin;
    if (server_bin.empty()) {
        server_bin = FirstExistingDir({"/usr/lib/cups", "/usr/libexec/cups", "/usr/lib64/cups"},
                                      "daemon/cups-exec");
    }
    if (server_bin.empty() || !fs::exists(fs::path(server_bin) / "daemon/cups-exec")) {
        throw std::runtime_error("CUPS helper programs not found (is cups-daemon installed?)");
    }
    // Every job passes a filter, even a raw one (gziptoany); the filters come with the package
    // "cups", not with cups-daemon.
    if (!fs::exists(fs::path(server_bin) / "filter/gziptoany")) {
        throw std::runtime_error("CUPS filters not found: " + server_bin +
                                 "/filter/gziptoany is missing (is the package cups installed?)");
    }
    for (const auto& entry : fs::directory_iterator(server_bin)) {
        std::string name = entry.path().filename();
        if (name == "backend") continue;
        if (name == "filter" && !options_.filters.empty()) continue;
        fs::create_symlink(entry.path(), fs::path(root_) / "bin" / name);
    }
    // Extra filters: a folder of links to the system's filters and to the test's programs.
    if (!options_.filters.empty()) {
        const fs::path filters = fs::path(root_) / "bin" / "filter";
        fs::create_directory(filters);
        for (const auto& entry : fs::directory_iterator(fs::path(server_bin) / "filter")) {
            fs::create_symlink(entry.path(), filters / entry.path().filename());
        }
        for (const auto& program : options_.filters) {
            if (!IsExecutable(program)) throw std::runtime_error("filter not found: " + program);
            const fs::path link = filters / fs::path(program).filename();
            fs::remove(link);
            fs::create_symlink(fs::absolute(program), link);
        }
    }
    for (const auto& backend : options_.system_backends) {
        const fs::path system = fs::path(server_bin) / "backend" / backend;
        if (!fs::exists(system)) throw std::runtime_error("backend not found: " + system.string());
        fs::create_symlink(system, fs::path(root_) / "bin" / "backend" / backend);
    }
    for (const auto& file : options_.mime_files) {
        WriteFile(root_ + "/etc/" + fs::path(file).filename().string(), ReadFile(file), 0644);
    }

    std::string data_dir = FirstExistingDir({"/usr/share/cups"}, "mime/mime.types");
    if (data_dir.empty()) throw std::runtime_error("CUPS data folder /usr/share/cups not found");
    for (const auto& entry : fs::directory_iterator(data_dir)) {
        fs::create_symlink(entry.path(), fs::path(root_) / "data" / entry.path().filename());
    }

    std::string script = options_.backend_script;
#ifdef QUERNEL_CAPTURE_BACKEND
    if (script.empty()) script = QUERNEL_CAPTURE_BACKEND;
#endif
    if (script.empty()) script = GetEnv("QUERNEL_CAPTURE_BACKEND").value_or("");
    if (script.empty() || !fs::is_regular_file(script)) {
        throw std::runtime_error("backend script not found: '" + script + "'");
    }
    // A copy with mode 0755: cupsd refuses group- or world-writable backends.
    WriteFile(root_ + "/bin/backend/" + kBackendName, ReadFile(script), 0755);

    if (running_as_root_) ChangeOwnerToSchedulerUser(root_);
}

void CupsHarness::ChangeOwnerToSchedulerUser(const std::string& path) const {
    if (lchown(path.c_str(), scheduler_uid_, scheduler_gid_) != 0) ThrowErrno("chown " + path);
    if (!fs::is_directory(fs::symlink_status(path))) return;
    for (const auto& entry : fs::recursive_directory_iterator(path)) {
        const std::string p = entry.path();
        if (lchown(p.c_str(), scheduler_uid_, scheduler_gid_) != 0) ThrowErrno("chown " + p);
    }
}

void CupsHarness::WriteConfiguration() {
    const std::string& r = root_;
    std::ostringstream files;
    files << "# Private scheduler for Quernel's integration tests; every path is in " << r << "\n"
          << "ServerRoot " << r << "/etc\n"
          << "ServerBin " << r << "/bin\n"
          << "DataDir " << r << "/data\n"
          << "DocumentRoot " << r << "/data/doc-root\n"
          << "CacheDir " << r << "/cache\n"
          << "StateDir " << r << "/state\n"
          << "RequestRoot " << r << "/spool\n"
          << "TempDir " << r << "/spool/tmp\n"
          << "ServerKeychain " << r << "/etc/ssl\n"
          << "Printcap " << r << "/state/printcap\n"
          << "ErrorLog " << r << "/log/error_log\n"
          << "AccessLog " << r << "/log/access_log\n"
          << "PageLog " << r << "/log/page_log\n"
          << "User " << scheduler_user_ << "\n"
          << "Group " << scheduler_group_ << "\n"
          << "SystemGroup " << scheduler_group_ << "\n"
          << "FileDevice No\n"
          // Stop at once when the listeners cannot be opened instead of running half-deaf.
          << "FatalErrors config listen log\n"
          // Only accepted here (cupsd ignores it in cupsd.conf); tells the backend where to write.
          << "SetEnv " << kCaptureDirVariable << " " << r << "/capture\n";
    WriteFile(r + "/etc/cups-files.conf", files.str(), 0644);

    std::ostringstream conf;
    conf << "# Private scheduler for Quernel's integration tests\n"
         << "LogLevel " << (options_.debug_log ? "debug" : "info") << "\n"
         << "MaxLogSize 0\n"
         << "Listen " << socket_path_ << "\n"
         << "Listen 127.0.0.1:" << port_ << "\n"
         << "ServerName localhost\n"
         << "Browsing No\n"
         << "BrowseLocalProtocols none\n"
         << "DefaultShared No\n"
         << "WebInterface No\n"
         << "DefaultAuthType None\n"
         // A failing backend cancels its job instead of stopping the queue for later tests.
         << "ErrorPolicy abort-job\n"
         << "PreserveJobHistory Yes\n"
         << "PreserveJobFiles No\n"
         << "<Location />\n"
         << "  Order allow,deny\n"
         << "  Allow all\n"
         << "</Location>\n"
         << "<Policy default>\n"
         << "  JobPrivateAccess all\n"
         << "  JobPrivateValues none\n"
         << "  SubscriptionPrivateAccess all\n"
         << "  SubscriptionPrivateValues none\n"
         << "  <Limit All>\n"
         << "    Order deny,allow\n"
         << "  </Limit>\n"
         << "</Policy>\n"
         << options_.extra_cupsd_conf << "\n";
    WriteFile(r + "/etc/cupsd.conf", conf.str(), 0644);

    if (running_as_root_) {
        ChangeOwnerToSchedulerUser(r + "/etc/cups-files.conf");
        ChangeOwnerToSchedulerUser(r + "/etc/cupsd.conf");
    }
}

void CupsHarness::LaunchScheduler() {
    std::string cupsd = FindProgram("cupsd");
    if (cupsd.empty()) throw std::runtime_error("cupsd not found (install cups-daemon)");

    std::string console = root_ + "/log/cupsd-console.log";
    int out = open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) ThrowErrno("cannot create " + console);

    SpawnRequest request;
    request.program = cupsd;
    request.argv = {
        cupsd, "-f", "-c", root_ + "/etc/cupsd.conf", "-s", root_ + "/etc/cups-files.conf"};
    request.env =
        std::vector<std::string>{"PATH=/usr/sbin:/usr/bin:/sbin:/bin", "LANG=C",
                                 "HOME=" + root_ + "/home", "TMPDIR=" + root_ + "/spool/tmp"};
    request.stdout_fd = out;
    // Own session: Ctrl-C in a terminal reaches the test program, which then stops cupsd.
    request.new_session = true;
    request.die_with_parent = true;
    if (running_as_root_) request.run_as = Credentials{scheduler_uid_, scheduler_gid_};
    try {
        pid_ = Spawn(request);
    } catch (...) {
        close(out);
        throw;
    }
    close(out);
}

std::string CupsHarness::WaitUntilReady() {
    const auto deadline = Clock::now() + options_.start_timeout;
    bool socket_ok = false;
    bool port_ok = false;
    while (Clock::now() < deadline) {
        if (!IsRunning()) {
            siginfo_t info{};
            waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
            return "cupsd exited during start (" +
                   std::string(info.si_code == CLD_EXITED ? "exit status " : "signal ") +
                   std::to_string(info.si_status) + ")";
        }
        // cupsd answers plain HTTP on both listeners once it has read its configuration.
        if (!socket_ok) socket_ok = ProbeUnixSocket(socket_path_).rfind("HTTP/", 0) == 0;
        if (socket_ok && !port_ok) port_ok = ProbeLoopbackPort(port_).rfind("HTTP/", 0) == 0;
        if (socket_ok && port_ok) return {};
        std::this_thread::sleep_for(10ms);
    }
    return "cupsd did not answer within " + std::to_string(options_.start_timeout.count()) +
           " ms on " + (socket_ok ? "127.0.0.1:" + std::to_string(port_) : socket_path_);
}

bool CupsHarness::IsRunning() {
    if (pid_ <= 0) return false;
    siginfo_t info{};
    // WNOWAIT keeps the zombie, so the pid cannot be reused before Stop() reaps it.
    if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        return false;
    }
    return info.si_pid == 0;
}

std::vector<std::string> CupsHarness::AdminEnvironment() const {
    return {"PATH=/usr/sbin:/usr/bin:/sbin:/bin", "LANG=C", "HOME=" + root_ + "/home",
            "CUPS_SERVERROOT=" + root_ + "/client", "CUPS_SERVER=" + socket_path_};
}

CommandResult CupsHarness::RunAdminTool(const std::vector<std::string>& argv) const {
    if (root_.empty()) throw std::logic_error("CupsHarness: not started");
    std::vector<std::string> args = {argv.front(), "-h", socket_path_};
    args.insert(args.end(), argv.begin() + 1, argv.end());
    return RunProgram(args, AdminEnvironment(), {}, std::chrono::seconds(15));
}

void CupsHarness::RunAdminToolOrThrow(const std::vector<std::string>& argv) const {
    CommandResult result = RunAdminTool(argv);
    if (result.exit_code != 0 || result.timed_out) {
        std::string command;
        for (const auto& arg : argv) command += (command.empty() ? "" : " ") + arg;
        throw std::runtime_error("CupsHarness: '" + command + "' failed (exit " +
                                 std::to_string(result.exit_code) + "): " + result.output);
    }
}

void CupsHarness::CreateQueues() {
    for (const auto& queue : options_.queues) {
        RunAdminToolOrThrow({"lpadmin", "-p", queue, "-v", std::string(kBackendName) + ":/" + queue,
                             "-D", "Quernel test queue " + queue, "-E"});
    }
    RunAdminToolOrThrow({"lpadmin", "-d", default_queue_});
}

void CupsHarness::AddQueue(const std::string& queue) {
    if (!IsValidQueueName(queue)) {
        throw std::invalid_argument("CupsHarness: invalid queue name '" + queue + "'");
    }
    RunAdminToolOrThrow({"lpadmin", "-p", queue, "-v", std::string(kBackendName) + ":/" + queue,
                         "-D", "Quernel test queue " + queue, "-E"});
    if (std::find(options_.queues.begin(), options_.queues.end(), queue) == options_.queues.end() &&
        std::find(added_queues_.begin(), added_queues_.end(), queue) == added_queues_.end()) {
        added_queues_.push_back(queue);
    }
}

void CupsHarness::StopQueue(const std::string& queue) {
    RunAdminToolOrThrow({"cupsdisable", queue});
}

void CupsHarness::StartQueue(const std::string& queue) {
    RunAdminToolOrThrow({"cupsenable", queue});
}

void CupsHarness::RejectJobs(const std::string& queue) {
    RunAdminToolOrThrow({"cupsreject", queue});
}

void CupsHarness::AcceptJobs(const std::string& queue) {
    RunAdminToolOrThrow({"cupsaccept", queue});
}

void CupsHarness::DeleteQueue(const std::string& queue) {
    RunAdminToolOrThrow({"lpadmin", "-x", queue});
    added_queues_.erase(std::remove(added_queues_.begin(), added_queues_.end(), queue),
                        added_queues_.end());
}

void CupsHarness::CancelAllJobs() {
    RunAdminToolOrThrow({"cancel", "-a", "-x"});
}

void CupsHarness::Reset() {
    CancelAllJobs();
    std::vector<std::string> queues = options_.queues;
    queues.insert(queues.end(), added_queues_.begin(), added_queues_.end());
    for (const auto& queue : queues) {
        RunAdminToolOrThrow(
            {"lpadmin", "-p", queue, "-v", std::string(kBackendName) + ":/" + queue, "-E"});
    }
    for (const auto& queue : kept_queues_) {
        RunAdminToolOrThrow({"cupsenable", queue});
        RunAdminToolOrThrow({"cupsaccept", queue});
    }
    RunAdminToolOrThrow({"lpadmin", "-d", default_queue_});
    for (const auto& entry : fs::directory_iterator(CaptureDir())) fs::remove_all(entry.path());
}

void CupsHarness::SetEnvironment() {
    if (root_.empty()) throw std::logic_error("CupsHarness::SetEnvironment: not started");
    const std::vector<std::pair<const char*, std::optional<std::string>>> changes = {
        {"CUPS_SERVER", socket_path_},     {"CUPS_SERVERROOT", root_ + "/client"},
        {"HOME", root_ + "/home"},         {"CUPS_USER", std::nullopt},
        {"CUPS_ENCRYPTION", std::nullopt}, {"LPDEST", std::nullopt},
        {"PRINTER", std::nullopt},
    };
    for (const auto& [name, value] : changes) {
        if (!environment_set_) saved_environment_.push_back({name, GetEnv(name)});
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    environment_set_ = true;
    UseInCurrentThread();
}

void CupsHarness::UseInCurrentThread() const {
    cupsSetUser(nullptr);
    cupsSetEncryption(HTTP_ENCRYPTION_IF_REQUESTED);
    // Also closes the thread's cached connection to the previous server.
    cupsSetServer(socket_path_.c_str());
}

void CupsHarness::RestoreEnvironment() noexcept {
    if (!environment_set_) return;
    for (const auto& saved : saved_environment_) {
        if (saved.value) {
            setenv(saved.name.c_str(), saved.value->c_str(), 1);
        } else {
            unsetenv(saved.name.c_str());
        }
    }
    saved_environment_.clear();
    environment_set_ = false;
    cupsSetUser(nullptr);
    cupsSetServer(nullptr);
}

std::vector<CapturedJob> CupsHarness::CapturedJobs(const std::string& queue) const {
    if (root_.empty()) return {};
    return ReadCaptureFolder(CaptureDir(), queue);
}

std::vector<CapturedJob> CupsHarness::WaitForJobs(const std::string& queue, std::size_t count,
                                                  std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    while (true) {
        std::vector<CapturedJob> jobs = CapturedJobs(queue);
        if (jobs.size() >= count || Clock::now() >= deadline) return jobs;
        std::this_thread::sleep_for(20ms);
    }
}

std::vector<CapturedJob> CupsHarness::ReadCaptureFolder(const std::string& capture_dir,
                                                        const std::string& queue) {
    std::vector<CapturedJob> jobs;
    fs::path dir = fs::path(capture_dir) / queue;
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return jobs;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const fs::path& path = entry.path();
        if (path.extension() != ".meta") continue;
        std::string stem = path.stem();
        if (stem.empty() ||
            !std::all_of(stem.begin(), stem.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        auto meta = ParseMeta(ReadFile(path));
        CapturedJob job;
        job.id = ToInt(stem, 0);
        job.queue = meta["queue"];
        job.user = meta["user"];
        job.title = meta["title"];
        job.copies = ToInt(meta["copies"], 0);
        job.options = meta["options"];
        job.content_type = meta["content_type"];
        job.backend_runs = ToInt(meta["backend_runs"], 0);
        job.bytes = ReadFile((dir / (stem + ".data")).string());
        // A later document of the job may be replacing the data right now; list the job once
        // data and metadata agree again.
        if (std::to_string(job.bytes.size()) != meta["size"]) continue;
        jobs.push_back(std::move(job));
    }
    std::sort(jobs.begin(), jobs.end(),
              [](const CapturedJob& a, const CapturedJob& b) { return a.id < b.id; });
    return jobs;
}

CommandResult CupsHarness::RunCommand(const std::vector<std::string>& argv,
                                      const std::string& input, std::chrono::milliseconds timeout) {
    return RunProgram(argv, std::nullopt, input, timeout);
}

void CupsHarness::KillScheduler() noexcept {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + kStopGrace;
    while (IsRunning() && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
    // cupsd leads its own process group; this also ends backends it left behind. The unreaped
    // zombie keeps the group id from being reused meanwhile.
    kill(-pid_, SIGKILL);
    int status;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

void CupsHarness::RemoveFolder() noexcept {
    if (root_.empty()) return;
    bool keep = options_.keep_temp_dir || GetEnv("QUERNEL_CUPS_HARNESS_KEEP").value_or("") == "1";
    if (!keep) {
        std::error_code ec;
        // remove_all does not follow symlinks, so /usr/lib/cups and /usr/share/cups stay intact.
        fs::remove_all(root_, ec);
    }
    root_.clear();
}

void CupsHarness::Stop() noexcept {
    KillScheduler();
    RemoveFolder();
    RestoreEnvironment();
    port_ = 0;
}

}  // namespace quernel::test
