#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/Processes.h"

namespace quernel::test {

// A process table the test fills.
class FakeProcesses final : public IProcesses {
  public:
    std::vector<TProcessInfo> List() override {
        ++lists;
        std::vector<TProcessInfo> out;
        for (const auto& p : processes) {
            if (!ended.contains(p.pid)) out.push_back(p);
        }
        return out;
    }
    int CurrentPid() override { return self; }
    void LowerPriority(int pid) override { lowered.push_back(pid); }

    std::vector<TProcessInfo> processes;
    int self = 1;
    std::set<int> ended;
    std::vector<int> lowered;
    int lists = 0;
};

// One process that ends when asked after `endsAfterPolls` looks at it (never when negative),
// and at once when forced.
class FakeProcessHandle final : public IProcessHandle {
  public:
    void RequestEnd() override { ++requests; }
    void ForceEnd() override {
        ++forced;
        running = false;
    }
    bool Running() override {
        if (running && requests > 0 && endsAfterPolls >= 0 && polls++ >= endsAfterPolls) {
            running = false;
        }
        return running;
    }

    int endsAfterPolls = 0;
    bool running = true;
    int polls = 0;
    int requests = 0;
    int forced = 0;
};

}  // namespace quernel::test
