#include "update/UpdateServer.h"

#include <cstdlib>

namespace quernel {

namespace {

std::string WithoutTrailingSlashes(std::string address) {
    while (!address.empty() && address.back() == '/') address.pop_back();
    return address;
}

}  // namespace

std::string UpdateServerAddress() {
    if (const char* value = std::getenv("QUERNEL_UPDATE_URL")) return value;
    return QUERNEL_UPDATE_URL;
}

std::string UpdateHomePage(const std::string& serverAddress) {
    return WithoutTrailingSlashes(serverAddress) + "/";
}

std::string UpdateRequestUrl(const std::string& serverAddress, const std::string& pathAndQuery) {
    return WithoutTrailingSlashes(serverAddress) + pathAndQuery;
}

}  // namespace quernel
