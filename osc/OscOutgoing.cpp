#include "osc/OscOutgoing.h"

#include <oscpack/ip/NetworkingUtils.h>
#include <oscpack/ip/UdpSocket.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace QV {

namespace {

constexpr char kUrlPrefix[] = "osc.udp://";

// The time tag 1 means "immediately".
constexpr osc::uint64 kImmediately = 1;

class UdpTransmitter : public OscTransmitter {
public:
    explicit UdpTransmitter(const IpEndpointName &to) : destination(to) {
        // Bound first so that the local address can be asked for later.
        socket.Bind(IpEndpointName());
        socket.Connect(destination);
    }
    void send(const OscPacket &packet) override { socket.Send(packet.data(), packet.size()); }
    unsigned long localAddress() override { return socket.LocalEndpointFor(destination).address; }

private:
    UdpSocket socket;
    IpEndpointName destination;
};

} // namespace

OscUrl parseOscUrl(const char *url) {
    const std::string text(url, strnlen(url, kMaxUrlChars));
    std::size_t start = text.compare(0, sizeof(kUrlPrefix) - 1, kUrlPrefix) == 0 ? sizeof(kUrlPrefix) - 1 : 0;
    OscUrl parsed;
    const std::size_t colon = text.find(':', start);
    parsed.host = text.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (colon == std::string::npos) return parsed;
    // The number as "%d" reads it, without its undefined overflow.
    const char *digits = text.c_str() + colon + 1;
    char *end = nullptr;
    errno = 0;
    const long port = std::strtol(digits, &end, 10);
    if (end == digits) return parsed;
    parsed.hasPort = true;
    parsed.port = errno == ERANGE ? -1 : port;
    return parsed;
}

bool lookupHost(const std::string &host, unsigned long &address) {
    static std::mutex lookupLock;
    if (host.empty()) return false;
    std::lock_guard<std::mutex> guard(lookupLock);
    // The system's answer 0 stands for "not found".
    address = GetHostByName(host.c_str());
    return address != 0;
}

OscPacket::OscPacket(const char *path) : stream(buffer, sizeof(buffer)) {
    stream << osc::BeginBundle(kImmediately) << osc::BeginMessage(path);
}

void OscPacket::finish() { stream << osc::EndMessage << osc::EndBundle; }

OscTransmitter::~OscTransmitter() = default;

std::unique_ptr<OscTransmitter> openUdpTransmitter(const IpEndpointName &destination) {
    return std::make_unique<UdpTransmitter>(destination);
}

bool sendToUrl(const char *url, const OscPacket &packet) {
    const OscUrl parsed = parseOscUrl(url);
    unsigned long address = 0;
    if (!parsed.hasPort || parsed.port < 1 || parsed.port > 65535 || !lookupHost(parsed.host, address)) return false;
    try {
        openUdpTransmitter(IpEndpointName(address, static_cast<int>(parsed.port)))->send(packet);
        return true;
    } catch (const std::runtime_error &) {
        return false;
    }
}

} // namespace QV
