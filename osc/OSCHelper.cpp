#include "osc/OSCHelper.h"

#include "core/QrvMurmelo.h"

#include <oscpack/ip/TimerListener.h>
#include <oscpack/ip/UdpSocket.h>

#include <cstdarg>
#include <cstdio>
#include <stdexcept>

namespace QV {

namespace {

constexpr int kStopWaitMs = 5000;
// How often a listening run looks for a stop request that reached it before
// its receive loop was running (the loop's own break signal is cleared when
// the loop starts).
constexpr int kStopCheckMs = 250;

// Texts of the system and of oscpack end in a newline of their own.
std::string oneLine(const char *text) {
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

} // namespace

void oscPrint(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

// One listening run: a socket bound to any local address on one port, the
// receive loop that serves it, and the way other threads stop that loop.
class OSCHelper::ListeningRun : public TimerListener {
public:
    ListeningRun(int port, PacketListener *listener) : listener(listener) {
        socket.Bind(IpEndpointName(IpEndpointName::ANY_ADDRESS, port));
        mux.AttachSocketListener(&socket, listener);
        mux.AttachPeriodicTimerListener(0, kStopCheckMs, this);
    }
    ~ListeningRun() override {
        mux.DetachPeriodicTimerListener(this);
        mux.DetachSocketListener(&socket, listener);
    }
    void run() { mux.Run(); }
    // [any] under runLock.
    void stop() {
        stopRequested.store(true, std::memory_order_release);
        mux.AsynchronousBreak();
    }
    void TimerExpired() override {
        if (stopRequested.load(std::memory_order_acquire)) mux.Break();
    }

private:
    UdpSocket socket;
    SocketReceiveMultiplexer mux;
    PacketListener *listener;
    std::atomic<bool> stopRequested{false};
};

OSCHelper::OSCHelper(murmelo::QrvMurmelo *owner, LuaMIDIHelper *midiHost) : owner(owner), midiHost(midiHost) {
    for (auto &flag : registeredForUpdate)
        flag.store(0, std::memory_order_relaxed);
}

OSCHelper::~OSCHelper() { stopTask(); }

void OSCHelper::startTask() {
    if (oscThread.running()) {
        oscPrint("Warning: Attempt to recreate OSC task\n");
        return;
    }
    quitNotify.store(false, std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> guard(runLock);
        stopping = false;
    }
    int error = 0;
    if (!oscThread.start([this] { TaskMain(); }, &error)) {
        oscPrint("failed to create OSC thread: %d\n", error);
        return;
    }
    if (!notifyThread.start([this] { NotifyMain(); }, &error))
        oscPrint("failed to create OSC notify thread: %d\n", error);
}

void OSCHelper::stopTask() {
    if (!oscThread.running()) return;
    // Port 0 also keeps a run that is being set up right now from starting;
    // `stopping` keeps it 0 when the notify thread applies a port change
    // before it sees the quit request.
    {
        std::lock_guard<std::mutex> guard(runLock);
        stopping = true;
    }
    requestPort(0);
    quitOsc.signal();
    quitNotify.store(true, std::memory_order_release);
    notifyWake.post();
    awaitEnd(oscThread, oscEnded, "OSC thread");
    awaitEnd(notifyThread, notifyEnded, "OSC notify thread");
}

// A thread still running after the wait is waited for to the end: it uses
// this object, so leaving it to run on would let it touch freed memory.
void OSCHelper::awaitEnd(platform::Thread &thread, platform::AutoResetEvent &ended, const char *name) {
    if (!thread.running()) return;
    if (!ended.wait(kStopWaitMs)) oscPrint("%s did not end within %d ms; still waiting\n", name, kStopWaitMs);
    thread.join(-1);
}

void OSCHelper::requestPort(int port) {
    {
        std::lock_guard<std::mutex> guard(runLock);
        if (stopping) port = 0;
        requestedPort.store(port, std::memory_order_release);
        if (listeningRun) listeningRun->stop();
    }
    if (port != 0) restartOsc.signal();
}

void OSCHelper::TaskMain() {
    while (platform::waitForAny({&quitOsc, &restartOsc}) == 1)
        listenOnce();
    oscEnded.signal();
}

// Publishes run unless the requested port moved on while it was being set
// up (a newer restart is then pending and sets up the right one).
bool OSCHelper::publishRun(ListeningRun *run, int port) {
    std::lock_guard<std::mutex> guard(runLock);
    if (run && requestedPort.load(std::memory_order_acquire) != port) return false;
    listeningRun = run;
    return true;
}

void OSCHelper::listenOnce() {
    const int port = requestedPort.load(std::memory_order_acquire);
    activePort.store(0, std::memory_order_release);
    if (port == 0) return;
    try {
        if (port < 1 || port > 65535) throw std::runtime_error("invalid udp port " + std::to_string(port));
        ListeningRun run(port, this);
        struct Unpublish {
            OSCHelper *self;
            ~Unpublish() { self->publishRun(nullptr, 0); }
        } unpublish{this};
        if (!publishRun(&run, port)) return;
        activePort.store(port, std::memory_order_release);
        run.run();
    } catch (const std::runtime_error &e) {
        oscPrint("std::runtime_error in TaskMain(): %s\n", oneLine(e.what()).c_str());
    } catch (const osc::Exception &e) {
        oscPrint("osc::Exception in TaskMain(): %s\n", oneLine(e.what()).c_str());
    }
    activePort.store(0, std::memory_order_release);
}

// Every wake-up drains the whole queue: posts made while the thread was
// busy are counted by the wake-up and never lost.
void OSCHelper::NotifyMain() {
    for (;;) {
        notifyWake.wait();
        if (quitNotify.load(std::memory_order_acquire)) break;
        if (portCheckPending.exchange(false, std::memory_order_acq_rel)) applyOwnersPort();
        SetParamQueue::Entry entry;
        while (queue.Read(entry))
            sendUpdate(entry);
        queue.reportOverflows();
    }
    notifyEnded.signal();
}

void OSCHelper::portOffsetChanged() {
    portCheckPending.store(true, std::memory_order_release);
    notifyWake.post();
}

// [osc notify] The port is read from the current program now, not when the
// change was posted: whatever road changed it last (host, program change,
// preferences), the value applied last is the current one.
void OSCHelper::applyOwnersPort() {
    if (owner) requestPort(owner->oscPort());
}

void OSCHelper::sendUpdate(const SetParamQueue::Entry &entry) {
    std::vector<Subscription> targets;
    {
        std::lock_guard<std::mutex> guard(updatesLock);
        auto range = updates.equal_range(entry.index);
        for (auto it = range.first; it != range.second; ++it)
            targets.push_back(it->second);
    }
    for (const Subscription &s : targets) {
        try {
            OscPacket packet(s.path.c_str());
            packet.args() << entry.index << entry.value;
            packet.finish();
            send(s.endpoint, packet);
        } catch (const std::exception &e) {
            oscPrint("error while sending update: %s: %s\n", s.path.c_str(), oneLine(e.what()).c_str());
        }
    }
}

void OSCHelper::parameterChanged(int index, float value) {
    if (!isRegisteredForUpdate(index)) return;
    // A refused write wakes the notify thread too, which prints the overflow.
    queue.Write(index, value);
    notifyWake.post();
}

bool OSCHelper::isRegisteredForUpdate(int index) const {
    if (index < 0 || index >= kOscParameters) return false;
    return registeredForUpdate[index].load(std::memory_order_relaxed) != 0;
}

OSCHelper::Registration OSCHelper::registerPath(const std::string &path, std::vector<OscPathTarget> targets) {
    if (isBuiltInPath(path.c_str())) return Registration::BuiltInPath;
    std::lock_guard<std::mutex> guard(pathsLock);
    auto first = paths.find(path);
    if (first != paths.end() && first->second.size() != targets.size()) return Registration::InconsistentSizes;
    if (paths.size() >= kMaxPathRegistrations) return Registration::TooMany;
    paths.emplace(path, std::move(targets));
    return Registration::Added;
}

bool OSCHelper::lookup(const std::string &host, unsigned long &address) { return lookupHost(host, address); }

std::unique_ptr<OscTransmitter> OSCHelper::openTransmitter(const IpEndpointName &destination) {
    return openUdpTransmitter(destination);
}

void OSCHelper::send(const IpEndpointName &to, const OscPacket &packet) { openTransmitter(to)->send(packet); }

IpEndpointName OSCHelper::replyEndpoint(const char *url) {
    const OscUrl parsed = parseOscUrl(url);
    if (!parsed.hasPort) throw osc::Exception("no port in url");
    if (parsed.port < 1 || parsed.port > 65535) throw osc::Exception("port out of range in url");
    unsigned long address = 0;
    if (!lookup(parsed.host, address)) throw osc::Exception("unable to resolve host");
    return IpEndpointName(address, static_cast<int>(parsed.port));
}

bool OSCHelper::isParameterUsed(int) { return true; }

void OSCHelper::unhandledMessage(const char *, const osc::ReceivedMessage &, const IpEndpointName &) {}

} // namespace QV
