#include "engine/QueueAdmin.h"

namespace quernel {

namespace {

std::string PercentEncoded(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

}  // namespace

std::string LocalQueueDeviceUri(const std::string& server, int port, const std::string& queue) {
    const std::string host = !server.empty() && server.front() == '/'
                                 ? PercentEncoded(server)
                                 : "localhost:" + std::to_string(port);
    return "ipp://" + host + "/printers/" + PercentEncoded(queue) + "?snmp=false&waitjob=false";
}

}  // namespace quernel
