#pragma once

#include <signal.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/ProgramEnvironment.h"
#include "support/ProgramProcess.h"

namespace quernel::test {

// quernel --headless as a separate process, with everything it keeps below one folder (see
// ProgramEnvironment); its standard output and errors go to "stdout.txt" there.
class QuernelProcess {
  public:
    using Env = std::vector<std::pair<std::string, std::string>>;

    explicit QuernelProcess(std::filesystem::path dir, Env extra = {})
        : dir_(std::move(dir)), extra_(std::move(extra)) {}

    void Start() {
        const std::string program = std::string(QUERNEL_BIN_DIR) + "/quernel";
        std::map<std::string, std::string> env = ProgramEnvironment(dir_);
        for (const auto& [name, value] : extra_) env[name] = value;
        process_.Start(program, {"--headless"}, env, dir_ / "stdout.txt");
        if (process_.Pid() <= 0) throw std::runtime_error("cannot start " + program);
    }

    // Sends the signal and waits for the end; answers the exit code, 128 + the signal when
    // it was killed, -1 when it was never started or still runs after the wait.
    int Stop(int signal = SIGTERM) { return process_.Signal(signal); }

    // Waits for the end without a signal; answers as Stop does.
    int Wait(std::chrono::milliseconds timeout) { return process_.Wait(timeout); }
    bool Running() { return process_.Running(); }

    std::string Output() const { return process_.Output(); }

  private:
    std::filesystem::path dir_;
    Env extra_;
    ProgramProcess process_;
};

}  // namespace quernel::test
