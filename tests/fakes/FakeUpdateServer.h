#pragma once

#include <vector>

#include "update/UpdateCheck.h"

namespace quernel::test {

// Records the requests of update checks and answers each with `reply`.
class FakeUpdateServer final : public IUpdateServer {
  public:
    UpdateReply Get(const UpdateRequest& request) override {
        requests.push_back(request);
        return reply;
    }

    UpdateReply reply;
    std::vector<UpdateRequest> requests;
};

}  // namespace quernel::test
