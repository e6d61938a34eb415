#include "platform/StopSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace quernel {

namespace {

// The self-pipe: the handler writes one byte, the event loop reads it. Its read end is never
// drained, so it stays readable once a stop was asked for.
int stopPipe[2] = {-1, -1};
volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int) {
    const int saved = errno;
    if (!stopRequested) {
        stopRequested = 1;
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
    }
    errno = saved;
}

}  // namespace

void InstallStopSignals() {
    if (stopPipe[0] >= 0) return;
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() {
    return stopRequested != 0;
}

int StopSignalDescriptor() {
    return stopPipe[0];
}

void TStopAwareSleeper::Sleep(std::chrono::milliseconds duration) {
    if (stopPipe[0] < 0) {
        SystemSleeper().Sleep(duration);
        return;
    }
    const auto end = std::chrono::steady_clock::now() + duration;
    while (!StopRequested()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        pollfd fd{stopPipe[0], POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(left.count()));
    }
}

}  // namespace quernel
