// libFuzzer target: arbitrary datagrams into the OSC dispatcher of a real
// effect object and its MIDI scripts.  Replies go nowhere and host names resolve without the
// network, so the fuzzer exercises parsing, argument reading, the address
// space and reply building, never the outside world.
#include "core/QrvMurmelo.h"
#include "midi/MurmeloLuaMIDIHelper.h"
#include "osc/OSCHelper.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

vst2::VstIntPtr VST2_CALLBACK quietHost(vst2::AEffect *, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void *,
                                        float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// Swallows packets, but checks that each one is a well-formed datagram.
class DiscardingTransmitter : public QV::OscTransmitter {
public:
    void send(const QV::OscPacket &packet) override {
        if (packet.size() == 0 || packet.size() > QV::kPacketBytes || packet.size() % 4) __builtin_trap();
    }
    unsigned long localAddress() override { return 0x7F000001ul; }
};

class FuzzedServer : public QV::OSCHelper {
public:
    using QV::OSCHelper::OSCHelper;

protected:
    // Names of even length resolve to loopback, the others do not.
    bool lookup(const std::string &host, unsigned long &address) override {
        address = 0x7F000001ul;
        return !host.empty() && host.size() % 2 == 0;
    }
    std::unique_ptr<QV::OscTransmitter> openTransmitter(const IpEndpointName &) override {
        return std::make_unique<DiscardingTransmitter>();
    }
};

// oscpack's own code is not instrumented: the datagram is placed so that it
// ends where an unreadable page begins, and any read past it faults.
class GuardedBuffer {
public:
    static constexpr std::size_t kMax = 65536;
    GuardedBuffer() {
        page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void *p = mmap(nullptr, kMax + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) __builtin_trap();
        base = static_cast<char *>(p);
        if (mprotect(base + kMax, page, PROT_NONE) != 0) __builtin_trap();
    }
    char *place(const std::uint8_t *data, std::size_t size) {
        char *at = base + kMax - size;
        std::memcpy(at, data, size);
        return at;
    }

private:
    char *base = nullptr;
    std::size_t page = 0;
};

struct Fixture {
    murmelo::QrvMurmelo effect{quietHost};
    // The effect's own MIDI host: "/exec" and "/call" reach its scripts.
    FuzzedServer server{&effect, effect.getMidiHost()};
    Fixture() {
        server.registerPath("/pair", {{0, 0.f, 1.f}, {3, 0.5f, 19.5f}});
        server.registerPath("/one", {{7, 0.f, 4.f}});
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The dispatcher reports every bad message on standard output.
    if (!std::freopen("/dev/null", "w", stdout)) return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static Fixture *fixture = new Fixture;
    static GuardedBuffer *buffer = new GuardedBuffer;
    if (size > GuardedBuffer::kMax) return 0;
    char *packet = buffer->place(data, size);
    fixture->server.ProcessPacket(packet, static_cast<int>(size), IpEndpointName(0x7F000001ul, 9000));
    return 0;
}
