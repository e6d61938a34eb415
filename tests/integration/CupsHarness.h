// Private CUPS scheduler for integration tests.
//
// CupsHarness starts its own cupsd in a fresh temporary folder, with its own configuration,
// spool, logs and a Unix socket, creates raw test queues whose device is the `quernel-capture`
// backend, and reads back what that backend captured. It never uses /etc/cups, the system's
// scheduler, the real home folder or a real printer: the private ServerBin holds no backend but
// `quernel-capture`.
//
// Typical use in a GoogleTest suite (start once per suite, reset per test):
//
//   static void SetUpTestSuite() {
//       harness_ = std::make_unique<CupsHarness>();
//       harness_->Start();
//       harness_->SetEnvironment();  // before the first libcups call, see below
//   }
//   void SetUp() override { harness_->Reset(); }
//   static void TearDownTestSuite() { harness_.reset(); }
//
// libcups keeps the server name, user and HTTP connection per thread and only reads CUPS_SERVER
// the first time a thread needs it. SetEnvironment() updates the environment and resets that
// cache for the calling thread; other threads that used libcups before must call
// UseInCurrentThread(). Threads started afterwards read the environment themselves. HOME and
// CUPS_SERVERROOT (where lpoptions and client.conf are read) are also fixed per thread at its
// first libcups call and cannot be reset, so call SetEnvironment() before any libcups use.
//
// When the process runs as root, cupsd runs as user `lp` (cupsd refuses to run jobs as root).
// cupsd gets SIGTERM when the thread that called Start() ends (or the process dies), so start
// it from a thread that outlives the tests. The harness is not thread-safe; use it from one
// thread. A process killed with SIGKILL leaves its /tmp/quernel-cups-* folder behind.

#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quernel::test {

// One job as stored by the quernel-capture backend.
struct CapturedJob {
    int id = 0;
    std::string queue;         // from the device URI (quernel-capture:/<queue>)
    std::string user;          // job-originating-user-name
    std::string title;         // job-name; line breaks become spaces
    int copies = 0;            // the backend's copies argument; the data is not repeated
    std::string options;       // the backend's options argument, as cupsd passes it
    std::string content_type;  // CONTENT_TYPE given to the backend
    int backend_runs = 0;      // runs of the backend for this job; each run's data is appended
    std::string bytes;         // exact job data; may contain NUL and any other byte
};

// Result of a command run by CupsHarness::RunCommand().
struct CommandResult {
    int exit_code = -1;  // exit status, or 128 + signal number when killed
    std::string output;  // standard output and standard error, interleaved
    bool timed_out = false;
};

class CupsHarness {
  public:
    struct Options {
        // Queues to create; the first one is the default destination unless default_queue says
        // otherwise. Names must be valid CUPS queue names (no '/', '#', space).
        std::vector<std::string> queues = {"quernel-test-a", "quernel-test-b"};
        std::string default_queue;
        // The quernel-capture script. Empty: the path compiled in as QUERNEL_CAPTURE_BACKEND, else
        // the QUERNEL_CAPTURE_BACKEND environment variable.
        std::string backend_script;
        // CUPS's ServerBin folder (helpers and filters). Empty: the system's, found by its helper
        // programs.
        std::string server_bin;
        // Bound for cupsd to answer on its socket after it was started.
        std::chrono::milliseconds start_timeout{15000};
        // LogLevel debug also logs everything backends write to stderr and their environment.
        bool debug_log = false;
        // Appended to cupsd.conf, for tests that need another setting.
        std::string extra_cupsd_conf;
        // Programs put into the private filter folder (beside the system's filters, by their
        // file name), for queues whose PPD names them.
        std::vector<std::string> filters;
        // MIME type and conversion files (*.types, *.convs) put into the configuration folder.
        std::vector<std::string> mime_files;
        // Backends of the system to offer besides quernel-capture ("ipp" for queues in front of
        // other queues); none by default, so no job can reach a real device.
        std::vector<std::string> system_backends;
        // Keep the temporary folder after Stop() for post-mortem inspection. The environment
        // variable QUERNEL_CUPS_HARNESS_KEEP=1 does the same.
        bool keep_temp_dir = false;
    };

    CupsHarness();
    explicit CupsHarness(Options options);
    ~CupsHarness();

    CupsHarness(const CupsHarness&) = delete;
    CupsHarness& operator=(const CupsHarness&) = delete;

    // Creates the folder and configuration, starts cupsd, waits until it answers and creates the
    // queues. Throws std::runtime_error with the reason and the tail of the error log; nothing is
    // left behind in that case.
    void Start();

    // Stops cupsd (SIGTERM, then SIGKILL after 5 s), removes the temporary folder and restores
    // the environment variables SetEnvironment() changed. Safe to call more than once.
    void Stop() noexcept;

    // True while the cupsd process started by Start() is alive.
    bool IsRunning();
    pid_t SchedulerPid() const { return pid_; }

    // The Unix socket path: the value for CUPS_SERVER and cupsSetServer().
    const std::string& ServerName() const { return socket_path_; }
    // The loopback TCP port cupsd also listens on (127.0.0.1).
    int Port() const { return port_; }
    const std::vector<std::string>& QueueNames() const { return options_.queues; }
    const std::string& DefaultQueue() const { return default_queue_; }
    // Folder the backend writes to: one subfolder per queue with <id>.data and <id>.meta.
    std::string CaptureDir() const;
    // The temporary folder holding everything; empty when not started.
    const std::string& RootDir() const { return root_; }
    std::string ErrorLogPath() const;
    std::string ErrorLogTail(std::size_t lines = 30) const;

    // Points libcups and child processes of this process at the private scheduler:
    // sets CUPS_SERVER to the socket, CUPS_SERVERROOT and HOME to empty folders inside the
    // temporary folder (so client.conf and lpoptions of the system and of the real user are
    // neither read nor written), unsets CUPS_USER, CUPS_ENCRYPTION, LPDEST and PRINTER (which
    // would override the default destination), and calls UseInCurrentThread().
    void SetEnvironment();

    // Drops the server name, user and connection libcups cached for the calling thread and sets
    // the server to ServerName(). Needed in every thread that used libcups before
    // SetEnvironment(), as a changed CUPS_SERVER alone does not reach a thread's cached value.
    void UseInCurrentThread() const;

    // Jobs captured so far for a queue, in job-id order. A job whose files are still being
    // written is not listed.
    std::vector<CapturedJob> CapturedJobs(const std::string& queue) const;
    // Polls until at least `count` jobs were captured for the queue or the timeout passed, and
    // returns what is there then (compare its size with what you expected).
    std::vector<CapturedJob> WaitForJobs(
        const std::string& queue, std::size_t count,
        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // Queue administration through the CUPS command line tools. Each throws std::runtime_error
    // with the tool's output when it fails.
    void StopQueue(const std::string& queue);    // cupsdisable: jobs are kept, not printed
    void StartQueue(const std::string& queue);   // cupsenable
    void RejectJobs(const std::string& queue);   // cupsreject: new jobs are refused
    void AcceptJobs(const std::string& queue);   // cupsaccept
    void DeleteQueue(const std::string& queue);  // lpadmin -x
    // Creates (or re-creates) a raw queue whose device is quernel-capture:/<queue>, enabled and
    // accepting.
    void AddQueue(const std::string& queue);
    // Cancels and purges all jobs on all queues.
    void CancelAllJobs();
    // Runs a CUPS command line tool (lpadmin, lpstat, ...) against this scheduler, with "-h"
    // and the socket added after the program's name.
    CommandResult RunAdmin(const std::vector<std::string>& argv) const {
        return RunAdminTool(argv);
    }
    // Remembers a queue made by the test itself, so Reset() keeps it and re-enables it. Its
    // device is left as it is.
    void KeepQueue(const std::string& queue) { kept_queues_.push_back(queue); }
    // Brings the scheduler back to its state after Start(): no jobs, the configured queues exist
    // and are enabled and accepting, the default destination is set and the capture folder is
    // empty. Queues added with AddQueue() are kept.
    void Reset();

    // Runs a program (searched in PATH, then /usr/sbin, /usr/bin, /sbin, /bin) with the
    // environment of this process, feeding `input` to its standard input. Killed after the
    // timeout.
    static CommandResult RunCommand(const std::vector<std::string>& argv,
                                    const std::string& input = {},
                                    std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Reads the capture folder layout written by quernel-capture (<dir>/<queue>/<id>.meta and
    // <id>.data). Exposed for tests of the backend script itself.
    static std::vector<CapturedJob> ReadCaptureFolder(const std::string& capture_dir,
                                                      const std::string& queue);

  private:
    struct SavedVariable {
        std::string name;
        std::optional<std::string> value;
    };

    void PrepareFolders();
    void WriteConfiguration();
    void LaunchScheduler();
    // Returns an empty string when cupsd answers on both listeners, otherwise why not.
    std::string WaitUntilReady();
    void CreateQueues();
    void KillScheduler() noexcept;
    void RemoveFolder() noexcept;
    void RestoreEnvironment() noexcept;
    void ChangeOwnerToSchedulerUser(const std::string& path) const;
    // Runs a CUPS admin tool against this scheduler with a private environment.
    CommandResult RunAdminTool(const std::vector<std::string>& argv) const;
    void RunAdminToolOrThrow(const std::vector<std::string>& argv) const;
    std::vector<std::string> AdminEnvironment() const;

    Options options_;
    std::string default_queue_;
    std::vector<std::string> added_queues_;
    std::vector<std::string> kept_queues_;
    std::string root_;
    std::string socket_path_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool running_as_root_ = false;
    uid_t scheduler_uid_ = 0;
    gid_t scheduler_gid_ = 0;
    std::string scheduler_user_;
    std::string scheduler_group_;
    std::vector<SavedVariable> saved_environment_;
    bool environment_set_ = false;
};

}  // namespace quernel::test
