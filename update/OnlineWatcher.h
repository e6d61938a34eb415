#pragma once

#include "update/UpdatePacer.h"

namespace quernel {

// The computer counts as online while an interface that is up has an address other than a
// loopback or link-local one. Looked up when asked: the checks ask at most once an hour.
class NetworkOnlineWatcher final : public IOnlineState {
  public:
    bool Online() const override { return HasNetworkAddress(); }

    // The test itself.
    static bool HasNetworkAddress();
};

}  // namespace quernel
