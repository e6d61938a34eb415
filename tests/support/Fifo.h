#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <stdexcept>

namespace quernel::test {

// A named pipe at the path, made now.
inline void MakeFifo(const std::filesystem::path& path) {
    if (::mkfifo(path.c_str(), 0644) != 0) throw std::runtime_error("mkfifo failed");
}

// Runs the call and answers whether it came back by itself within a few seconds. When it
// blocks opening the pipe for reading, a writer opened and closed here releases it (it then
// reads an empty pipe), so a faulty program fails the test instead of hanging it.
inline bool ReturnsWithoutAWriter(const std::filesystem::path& fifo, std::function<void()> call) {
    auto done = std::async(std::launch::async, std::move(call));
    if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready) {
        done.get();
        return true;
    }
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
    done.wait();
    return false;
}

}  // namespace quernel::test
