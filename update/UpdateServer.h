#pragma once

#include <string>

namespace quernel {

// The address of the vendor's server, "http://host[:port][/folder]": the environment variable
// QUERNEL_UPDATE_URL when it is set (set and empty switches the checks off), else the address
// the build was configured with (the CMake option of the same name, empty by default). Empty:
// there is no server and no request is ever sent.
std::string UpdateServerAddress();

// The vendor's home page: the server's address ending in "/".
std::string UpdateHomePage(const std::string& serverAddress);

// The address of one request: the server's address followed by the path and query, which
// starts with "/".
std::string UpdateRequestUrl(const std::string& serverAddress, const std::string& pathAndQuery);

}  // namespace quernel
