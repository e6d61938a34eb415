#pragma once

#include "engine/QueueAdmin.h"

namespace quernel {

// Creates and removes queues on the CUPS scheduler that libcups reaches (CUPS_SERVER, or the
// local one), with the IPP operations lpadmin uses. It never asks for a password: what the
// scheduler refuses without one is reported as not allowed.
class CupsQueueAdmin final : public IQueueAdmin {
  public:
    CupsQueueAdmin();
    std::vector<TQueueInfo> Queues() override;
    void AddQueue(const TNewQueue& queue) override;
    void RemoveQueue(const std::string& name) override;
    bool SharesQueues() override;
    std::string Server() override;
    int Port() override;
};

// "quernel --add-queue ..." and "quernel --remove-queue ..." on the CUPS scheduler, with the
// program's shipped tables and its filter; answers the exit code.
int RunQueueCommandLine(const std::vector<std::string>& args);

}  // namespace quernel
