#include "update/UpdatePacer.h"

namespace quernel {

UpdatePacer::Step UpdatePacer::Tick(bool online) {
    if (firstTick_) {
        firstTick_ = false;
        return {interval_, false};
    }
    interval_ = online ? kAfterCheck : kOfflineRetry;
    return {interval_, online};
}

}  // namespace quernel
