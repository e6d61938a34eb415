#pragma once

#include <QtGlobal>
#include <chrono>
#include <string>

#include "update/UpdateCheck.h"

namespace quernel {

// The vendor's server over HTTP(S) with Qt's network access and a cookie store of its own.
// Blocks the calling thread (a check's worker thread) until the reply is complete, `limit`
// has passed since the request went out (however steadily the server trickles), or the
// thread is told to quit. A reply body over kMaxReplyBytes fails the request as soon as it
// is seen; no more of it is read.
class QtUpdateServer final : public IUpdateServer {
  public:
    static constexpr qint64 kMaxReplyBytes = 64 * 1024;
    static constexpr std::chrono::milliseconds kDefaultLimit = std::chrono::seconds(60);

    explicit QtUpdateServer(std::string serverAddress,
                            std::chrono::milliseconds limit = kDefaultLimit);

    UpdateReply Get(const UpdateRequest& request) override;

  private:
    std::string serverAddress_;
    std::chrono::milliseconds limit_;
};

}  // namespace quernel
