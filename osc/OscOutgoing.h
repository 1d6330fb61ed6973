// Outgoing OSC: endpoint texts ("osc.udp://host:port"), host lookup, and
// the packets every reply, update and script message is sent as.
//
// Each message travels alone in a bundle with the time tag 1 (immediately),
// built in a 1024-byte buffer, and is sent as one datagram through a UDP
// socket opened for the purpose, connected to the destination and closed
// after sending.
#pragma once

#include <oscpack/ip/IpEndpointName.h>
#include <oscpack/osc/OscOutboundPacketStream.h>

#include <cstddef>
#include <memory>
#include <string>

class UdpSocket;

namespace QV {

// Only this many characters of an endpoint text are looked at.
constexpr std::size_t kMaxUrlChars = 1024;
constexpr std::size_t kPacketBytes = 1024;

// The parts of an endpoint text: an optional "osc.udp://" is skipped; the
// host runs up to the first colon (the whole text without one); the port is
// the decimal number after the colon, anything after its digits ignored.
struct OscUrl {
    std::string host;
    bool hasPort = false;
    long port = 0; // as written; may lie outside 1..65535
};
OscUrl parseOscUrl(const char *url);

// A host text to an IPv4 address in host byte order.  Only dotted quads
// ("192.168.1.20") and "localhost" (any case, 127.0.0.1) are understood;
// other names are never looked up and give false.  A system lookup can
// wait many seconds on a silent name server, and the callers cannot wait:
// sendOSC runs under the interpreter's lock, often on the host's audio
// thread, and the OSC thread must stay responsive and stop on time.  [any]
bool lookupHost(const std::string &host, unsigned long &address);

// A datagram under construction: one message in a bundle with time tag 1.
// Raises osc::OutOfBufferMemoryException when the message does not fit.
class OscPacket {
public:
    explicit OscPacket(const char *path);
    osc::OutboundPacketStream &args() { return stream; }
    // Closes the message and the bundle.
    void finish();
    const char *data() const { return stream.Data(); }
    std::size_t size() const { return stream.Size(); }

private:
    char buffer[kPacketBytes];
    osc::OutboundPacketStream stream;
};

// A fresh UDP socket connected to one destination, closed when destroyed.
// Raises std::runtime_error when the system refuses the socket or the
// connection.  [any]
class OscTransmitter {
public:
    virtual ~OscTransmitter();
    virtual void send(const OscPacket &packet) = 0;
    // This machine's address on the way to the destination.
    virtual unsigned long localAddress() = 0;
};

std::unique_ptr<OscTransmitter> openUdpTransmitter(const IpEndpointName &destination);

// Sends one finished packet to an endpoint text.  False, and nothing sent,
// when the text has no port or one outside 1..65535, the host does not
// resolve, or the system refuses the socket.  [any]
bool sendToUrl(const char *url, const OscPacket &packet);

} // namespace QV
