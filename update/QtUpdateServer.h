#pragma once

#include <chrono>
#include <string>

#include "update/UpdateCheck.h"

namespace quernel {

// The vendor's server over HTTP(S) with Qt's network access and a cookie store of its own.
// Blocks the calling thread (a check's worker thread) until the reply is complete, the
// transfer stalls for `timeout`, or the thread is told to quit.
class QtUpdateServer final : public IUpdateServer {
  public:
    explicit QtUpdateServer(std::string serverAddress,
                            std::chrono::milliseconds timeout = std::chrono::seconds(60));

    UpdateReply Get(const UpdateRequest& request) override;

  private:
    std::string serverAddress_;
    std::chrono::milliseconds timeout_;
};

}  // namespace quernel
