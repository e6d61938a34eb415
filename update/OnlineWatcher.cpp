#include "update/OnlineWatcher.h"

#include <QNetworkInterface>

namespace quernel {

NetworkOnlineWatcher::NetworkOnlineWatcher()
    : online_(HasNetworkAddress()), thread_([this] { Watch(); }) {}

NetworkOnlineWatcher::~NetworkOnlineWatcher() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool NetworkOnlineWatcher::HasNetworkAddress() {
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (!ip.isNull() && !ip.isLoopback() && !ip.isLinkLocal()) return true;
        }
    }
    return false;
}

void NetworkOnlineWatcher::Watch() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; })) {
        lock.unlock();
        online_ = HasNetworkAddress();
        lock.lock();
    }
}

}  // namespace quernel
