// QV::OSCHelper makes a plug-in instance an Open Sound Control server on
// UDP.  It owns two threads:
//  - the OSC thread (TaskMain) listens on one port and hands every message
//    to the address-space dispatcher (ProcessMessage);
//  - the notify thread sends parameter updates to the clients that asked
//    for them with "/registerUpdate", fed through the SetParamQueue by the
//    effect's host-facing setParameter, and applies port changes that the
//    host made from its audio thread.  It has a wake-up of its own
//    (notifyWake) that the audio thread posts without a lock.
// OSC is off until the instance's "OSC Port Offset" is non-zero; the effect
// then asks for the base port plus that offset (requestPort).
//
// Shared state and who touches it:
//  - requestedPort, activePort: atomics; the current listening run is
//    published under runLock so other threads can break it safely.
//  - updates (subscriptions) under updatesLock: changed on the OSC thread,
//    read on the notify thread; registeredForUpdate flags are atomics the
//    producers of the queue read without a lock.
//  - paths (script-registered addresses) under pathsLock: added on the
//    interpreter's threads, read on the OSC thread.
#pragma once

#include "core/EffectServices.h"
#include "osc/OscOutgoing.h"
#include "osc/SetParamQueue.h"
#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/WakeSignal.h"

#include <oscpack/osc/OscPacketListener.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace murmelo {
class QrvMurmelo;
}

namespace QV {

class LuaMIDIHelper;

constexpr int kOscParameters = 16;

// One parameter that a script-registered path writes: value = argument *
// scale + offset.
struct OscPathTarget {
    std::int32_t index;
    float offset;
    float scale;
};

class OSCHelper : public osc::OscPacketListener, public murmelo::OscControl {
public:
    // midiHost may be null: "/exec" and "/call" then refuse, and the note
    // paths read their arguments and play nothing.
    OSCHelper(murmelo::QrvMurmelo *owner, LuaMIDIHelper *midiHost);
    ~OSCHelper() override;

    OSCHelper(const OSCHelper &) = delete;
    OSCHelper &operator=(const OSCHelper &) = delete;

    // [ui] starts the two threads; the OSC thread waits for a first port.
    void startTask();
    // [ui] stops listening and ends both threads.  Safe to call twice.
    void stopTask();

    // [any] the port for the next listening run, 0 for off.  Ends the
    // current run; a non-zero port starts a new one.
    void requestPort(int port) override;
    // [any, audio] "OSC Port Offset" changed: the notify thread asks the
    // effect for its port and applies it (requestPort takes locks, so it
    // never runs on the poster's thread).  No lock, no allocation.
    void portOffsetChanged() override;
    // [any] port of the current listening run, 0 when not listening.
    int getActivePort() const { return activePort.load(std::memory_order_acquire); }

    // [any] the effect's host-facing setParameter reports every change
    // here; changes of subscribed parameters are queued for the notify
    // thread.  No lock, no allocation.
    void parameterChanged(int index, float value) override;
    bool isRegisteredForUpdate(int index) const;
    SetParamQueue &getQueue() { return queue; }

    // [any, under the interpreter's lock] adds a registration of path.
    // Nothing is registered when the path is already registered with a
    // list of another length, is one of the fixed paths of the address
    // space, or when kMaxPathRegistrations are in place already (they are
    // never removed, so without a cap a script could grow the host without
    // end).
    enum class Registration { Added, InconsistentSizes, BuiltInPath, TooMany };
    static constexpr std::size_t kMaxPathRegistrations = 1024;
    Registration registerPath(const std::string &path, std::vector<OscPathTarget> targets);
    // True for the fixed paths ("/ping", "/set", ... exact spelling).
    static bool isBuiltInPath(const char *path);

    // The oscpack listener's entry for one received datagram.  A packet that
    // is malformed (checked within its bounds first, see PacketCheck.h) or
    // cannot be walked is reported on one line and dropped.  [osc]
    void ProcessPacket(const char *data, int size, const IpEndpointName &remoteEndpoint) override;

protected:
    // The dispatcher: one message, errors reported and swallowed.  [osc]
    void ProcessMessage(const osc::ReceivedMessage &m, const IpEndpointName &remoteEndpoint) override;
    // A path nothing else claims; ignored.  [osc]
    virtual void unhandledMessage(const char *addressPattern, const osc::ReceivedMessage &m,
                                  const IpEndpointName &remoteEndpoint);
    virtual bool isParameterUsed(int index);

    // Transport, replaceable for tests that must not touch the network.
    virtual bool lookup(const std::string &host, unsigned long &address);
    virtual std::unique_ptr<OscTransmitter> openTransmitter(const IpEndpointName &destination);

private:
    friend struct AddressSpace;
    class ListeningRun;

    struct Subscription {
        IpEndpointName endpoint;
        std::string path;
    };

    void TaskMain();
    void listenOnce();
    bool publishRun(ListeningRun *run, int port);
    void NotifyMain();
    void applyOwnersPort();
    void sendUpdate(const SetParamQueue::Entry &entry);
    void awaitEnd(platform::Thread &thread, platform::AutoResetEvent &ended, const char *name);

    // Endpoint of a reply text; raises the path error when it has no usable
    // port or the host does not resolve.  [osc]
    IpEndpointName replyEndpoint(const char *url);
    void send(const IpEndpointName &to, const OscPacket &packet);

    murmelo::QrvMurmelo *owner;
    LuaMIDIHelper *midiHost;
    platform::Thread oscThread;
    platform::Thread notifyThread;
    platform::AutoResetEvent quitOsc, restartOsc;
    platform::AutoResetEvent oscEnded, notifyEnded;
    // The notify thread's wake-up and what it is woken for (besides the
    // update queue): its end, or a port to re-read from the effect.
    platform::WakeSignal notifyWake;
    std::atomic<bool> quitNotify{false};
    std::atomic<bool> portCheckPending{false};
    std::atomic<int> requestedPort{0};
    std::atomic<int> activePort{0};

    std::mutex runLock;
    ListeningRun *listeningRun = nullptr; // guarded by runLock
    // From stopTask() to the next startTask(): every requested port counts as
    // 0, so a port change the notify thread applies while the threads stop
    // cannot start a new listening run.  Guarded by runLock.
    bool stopping = false;

    std::mutex updatesLock;
    std::multimap<std::int32_t, Subscription> updates; // guarded by updatesLock
    std::atomic<std::uint8_t> registeredForUpdate[kOscParameters];

    SetParamQueue queue;

    std::mutex pathsLock;
    std::multimap<std::string, std::vector<OscPathTarget>, std::less<>> paths; // guarded by pathsLock
};

// Every diagnostic of the OSC server goes to standard output, one whole line
// at a time, flushed at once.  [any]
void oscPrint(const char *format, ...) __attribute__((format(printf, 1, 2)));

} // namespace QV
