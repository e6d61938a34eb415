#include "update/UpdateServer.h"

#include <cstdlib>

#include "host/BrowserCommand.h"

namespace quernel {

std::string UpdateServerAddress() {
    if (const char* value = std::getenv("QUERNEL_UPDATE_URL")) return value;
    return QUERNEL_UPDATE_URL;
}

std::string UpdateHomePage(const std::string& serverAddress) {
    return WithoutFinalSlashes(serverAddress) + "/";
}

std::string UpdateRequestUrl(const std::string& serverAddress, const std::string& pathAndQuery) {
    return WithoutFinalSlashes(serverAddress) + pathAndQuery;
}

}  // namespace quernel
