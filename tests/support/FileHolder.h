#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace quernel::test {

// Another process that holds a file open for as long as this object lives: "sleep" with the
// file as its standard input. posix_spawn returns once the child runs, with the file open.
class FileHolder {
  public:
    explicit FileHolder(const std::filesystem::path& path) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, path.c_str(), O_RDONLY, 0);
        char sleep[] = "sleep";
        char seconds[] = "60";
        char* argv[] = {sleep, seconds, nullptr};
        const int rc = posix_spawnp(&pid_, "sleep", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) throw std::runtime_error("cannot start sleep");
    }
    ~FileHolder() {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
};

}  // namespace quernel::test
