#include "update/OnlineWatcher.h"

#include <QNetworkInterface>

namespace quernel {

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

}  // namespace quernel
