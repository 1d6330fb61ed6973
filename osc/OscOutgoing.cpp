#include "osc/OscOutgoing.h"

#include <oscpack/ip/UdpSocket.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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

namespace {

// A dotted quad of four decimal numbers 0..255 ("192.168.1.20").
bool parseDottedQuad(const std::string &text, unsigned long &address) {
    unsigned long result = 0;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at >= text.size() || text[at++] != '.')) return false;
        std::size_t digits = 0;
        unsigned long number = 0;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && digits < 3) {
            number = number * 10 + static_cast<unsigned long>(text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || number > 255) return false;
        result = (result << 8) | number;
    }
    if (at != text.size()) return false;
    address = result;
    return true;
}

bool isLocalhost(const std::string &text) {
    static const char kLocalhost[] = "localhost";
    if (text.size() != sizeof(kLocalhost) - 1) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != kLocalhost[i]) return false;
    return true;
}

} // namespace

bool lookupHost(const std::string &host, unsigned long &address) {
    constexpr unsigned long kLoopback = 0x7F000001UL; // 127.0.0.1
    if (isLocalhost(host)) {
        address = kLoopback;
        return true;
    }
    return parseDottedQuad(host, address);
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
