#pragma once

#include "engine/PrintJobs.h"

namespace quernel {

// The jobs of the CUPS scheduler, asked through libcups on the calling thread's connection.
class TCupsJobs final : public IPrintJobs {
  public:
    TJobStatus Status(int job) override;
    bool Cancel(int job) override;
    std::vector<int> EmptyJobs(const std::string& queue, const std::string& title) override;
};

}  // namespace quernel
