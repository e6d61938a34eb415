#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/QueueAdmin.h"

namespace quernel::test {

// A print system's queues in memory; a failure set in `failure` is raised by every call.
class FakeQueueAdmin final : public IQueueAdmin {
  public:
    std::vector<TQueueInfo> queues;
    std::vector<TNewQueue> added;
    std::vector<std::string> removed;
    std::optional<QueueAdminError> failure;
    bool shares = false;
    std::string server = "/run/cups/cups.sock";

    std::vector<TQueueInfo> Queues() override {
        Check();
        return queues;
    }
    void AddQueue(const TNewQueue& queue) override {
        Check();
        added.push_back(queue);
        queues.push_back({queue.name, kDosQueueModel, queue.deviceUri});
    }
    void RemoveQueue(const std::string& name) override {
        Check();
        removed.push_back(name);
        std::erase_if(queues, [&](const TQueueInfo& q) { return q.name == name; });
    }
    bool SharesQueues() override { return shares; }
    std::string Server() override { return server; }
    int Port() override { return 631; }

  private:
    void Check() {
        if (failure) throw *failure;
    }
};

}  // namespace quernel::test
