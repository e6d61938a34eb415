#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace quernel::test {

// A program started as a separate process with the test's environment changes, its standard
// output and error going into a file.
class ProgramProcess {
  public:
    ProgramProcess() = default;
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;
    ~ProgramProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // Starts the program; `env` sets (or, with an empty value, removes) variables.
    void Start(const std::filesystem::path& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env, const std::filesystem::path& output) {
        output_ = output;
        std::vector<std::string> vars;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string v = *e;
            if (!env.contains(v.substr(0, v.find('=')))) vars.push_back(v);
        }
        for (const auto& [name, value] : env) {
            if (!value.empty()) vars.push_back(name + "=" + value);
        }
        std::vector<char*> envp;
        for (auto& v : vars) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::vector<std::string> argStrings{program.string()};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : argStrings) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
    }

    pid_t Pid() const { return pid_; }

    // True while the process runs (it is reaped once it has ended).
    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == 0) return true;
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pid_ = -1;
        return false;
    }

    // Waits for the end; answers the exit code, 128 + the signal for a killed process, or -1
    // when it still runs after the time-out.
    int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (Running()) {
            if (std::chrono::steady_clock::now() > end) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return exit_;
    }

    int Signal(int sig) {
        if (pid_ > 0) ::kill(pid_, sig);
        return Wait();
    }

    std::string Output() const {
        std::ifstream in(output_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Waits until the output holds the text; false after the time-out.
    bool WaitForOutput(const std::string& text,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (Output().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

  private:
    pid_t pid_ = -1;
    int exit_ = -1;
    std::filesystem::path output_;
};

}  // namespace quernel::test
