// Runs the private test scheduler until Ctrl-C or SIGTERM, so Quernel (or lp) can be pointed at
// it by hand:
//
//   $ quernel-cups-harness
//   export CUPS_SERVER=/tmp/quernel-cups-AbC123/cups.sock
//   ...
//   (in another terminal) CUPS_SERVER=... lp -d quernel-test-a some-file
//
// The captured jobs stay in the capture folder until the program stops.

#include <signal.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>

#include "CupsHarness.h"

int main(int argc, char** argv) {
    quernel::test::CupsHarness::Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--debug") == 0) {
            options.debug_log = true;
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            options.keep_temp_dir = true;
        } else if (std::strcmp(argv[i], "--filter") == 0 && i + 1 < argc) {
            options.filters.push_back(argv[++i]);
        } else if (std::strcmp(argv[i], "--mime") == 0 && i + 1 < argc) {
            options.mime_files.push_back(argv[++i]);
        } else if (std::strcmp(argv[i], "--backend") == 0 && i + 1 < argc) {
            options.system_backends.push_back(argv[++i]);
        } else {
            std::cerr << "Usage: " << argv[0]
                      << " [--debug] [--keep] [--filter PROGRAM] [--mime FILE] [--backend NAME]\n"
                      << "  --debug    LogLevel debug in the scheduler's error_log\n"
                      << "  --keep     keep the temporary folder after stopping\n"
                      << "  --filter   a filter beside the system's (quernel-filter)\n"
                      << "  --mime     a MIME types file for the configuration folder\n"
                      << "  --backend  a backend of the system besides the capture (ipp)\n";
            return 2;
        }
    }

    // Block the stop signals before anything starts and take them with sigwait(); the harness
    // unblocks them again for cupsd.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    quernel::test::CupsHarness harness(options);
    try {
        harness.Start();
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }

    std::cout << "export CUPS_SERVER=" << harness.ServerName() << "\n"
              << "# also listening on 127.0.0.1:" << harness.Port() << "\n"
              << "# queues:";
    for (const auto& queue : harness.QueueNames()) {
        std::cout << " " << queue << (queue == harness.DefaultQueue() ? " (default)" : "");
    }
    std::cout << "\n"
              << "# captured jobs: " << harness.CaptureDir() << "/<queue>/<job-id>.data|.meta\n"
              << "# error log: " << harness.ErrorLogPath() << "\n"
              << "# Ctrl-C stops the scheduler and removes " << harness.RootDir() << std::endl;

    int status = 0;
    while (true) {
        timespec tick{1, 0};
        int sig = sigtimedwait(&stop_signals, nullptr, &tick);
        if (sig > 0) break;
        if (!harness.IsRunning()) {
            std::cerr << "cupsd ended unexpectedly:\n" << harness.ErrorLogTail() << "\n";
            status = 1;
            break;
        }
    }
    harness.Stop();
    std::cout << "# stopped" << std::endl;
    return status;
}
