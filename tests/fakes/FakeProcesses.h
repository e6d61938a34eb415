#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/Processes.h"

namespace quernel::test {

// A process table the test fills. Processes asked to end go when `endsWhenAsked` holds them;
// the others keep running until they are ended by force.
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
    void RequestEnd(int pid) override {
        requested.push_back(pid);
        if (endsWhenAsked.contains(pid)) ended.insert(pid);
    }
    void ForceEnd(int pid) override {
        forced.push_back(pid);
        ended.insert(pid);
    }
    bool Running(int pid) override { return !ended.contains(pid); }
    void LowerPriority(int pid) override { lowered.push_back(pid); }

    std::vector<TProcessInfo> processes;
    int self = 1;
    std::set<int> endsWhenAsked;
    std::set<int> ended;
    std::vector<int> requested;
    std::vector<int> forced;
    std::vector<int> lowered;
    int lists = 0;
};

}  // namespace quernel::test
