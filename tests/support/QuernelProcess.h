#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/ProgramEnvironment.h"

extern char** environ;

namespace quernel::test {

// quernel --headless as a separate process, with everything it keeps below one folder (see
// ProgramEnvironment); its standard output and errors go to "stdout.txt" there.
class QuernelProcess {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;

    explicit QuernelProcess(std::filesystem::path dir, Env extra = {})
        : dir_(std::move(dir)), extra_(std::move(extra)) {}
    ~QuernelProcess() { Stop(SIGKILL); }
    QuernelProcess(const QuernelProcess&) = delete;
    QuernelProcess& operator=(const QuernelProcess&) = delete;

    void Start() {
        const std::string program = std::string(QUERNEL_BIN_DIR) + "/quernel";
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
        const auto set = [&](const std::string& name, const std::string& value) {
            std::erase_if(env, [&](const std::string& v) { return v.starts_with(name + "="); });
            env.push_back(name + "=" + value);
        };
        for (const auto& [name, value] : ProgramEnvironment(dir_)) set(name, value);
        for (const auto& [name, value] : extra_) set(name, value);
        std::vector<char*> envp;
        for (auto& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string arg0 = program, arg1 = "--headless";
        char* argv[] = {arg0.data(), arg1.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string out = (dir_ / "stdout.txt").string();
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) throw std::runtime_error("cannot start " + program);
    }

    // Sends the signal and waits for the end; answers the exit code, 128 + the signal when
    // it was killed, -1 when it was not running.
    int Stop(int signal = SIGTERM) {
        if (pid_ <= 0) return -1;
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string Output() const {
        std::ifstream in(dir_ / "stdout.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    std::filesystem::path dir_;
    Env extra_;
    pid_t pid_ = -1;
};

}  // namespace quernel::test
