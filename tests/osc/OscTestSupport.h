// What the OSC tests share: a UDP client on loopback that speaks OSC through
// oscpack, a capture of the process's standard output (where the server
// prints its diagnostics), and the real plug-in listening on a free port.
#pragma once

#include "tests/support/TestSupport.h"

#include <oscpack/osc/OscOutboundPacketStream.h>

#include <functional>
#include <string>
#include <vector>

namespace osc_test {

// One received argument: its type tag and its value.
struct Arg {
    char type = 0;
    int i = 0;
    float f = 0.f;
    std::string s;
};

struct Message {
    std::string path;
    std::vector<Arg> args;
    std::string types() const;
    bool wasBundled = false; // arrived inside a bundle
    long long timeTag = 0;   // of that bundle
};

// A UDP socket bound to 127.0.0.1 on a port the system picks.
class OscClient {
public:
    OscClient();
    ~OscClient();
    OscClient(const OscClient &) = delete;
    OscClient &operator=(const OscClient &) = delete;

    int port() const { return localPort; }
    // "osc.udp://127.0.0.1:PORT"
    std::string url() const;

    // Sends raw bytes to 127.0.0.1:port.
    void sendRaw(int port, const void *data, std::size_t size);
    // Builds one message (not bundled) with fill and sends it.
    void send(int port, const char *path, const std::function<void(osc::OutboundPacketStream &)> &fill = {});

    // Messages of the next datagram (bundles opened); empty on time-out.
    std::vector<Message> receive(int timeoutMs = 1000);
    // Every message arriving within quietMs of the previous one.
    std::vector<Message> drain(int quietMs = 200);
    // The remote port of the last datagram received.
    int lastSenderPort() const { return senderPort; }

private:
    int fd = -1;
    int localPort = 0;
    int senderPort = 0;
};

// Standard output redirected into a file while alive.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    std::string text();
    // Waits until the captured text contains needle.
    bool waitFor(const std::string &needle, int timeoutMs = 2000);
    // Number of times needle occurs in the captured text.
    int count(const std::string &needle);

private:
    int savedFd = -1;
    std::string path;
};

// A program run in the background with its standard output and error in a file;
// ended (SIGTERM) and reaped when destroyed.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string> &argv, const std::string &outputFile);
    ~ChildProcess();
    bool started() const { return pid > 0; }
    // Waits up to timeoutMs for the child to exit on its own; its exit
    // status, or -1 when it is still running.
    int wait(int timeoutMs);
    void signal(int number);

private:
    int pid = -1;
    int status = -1;
};

// A UDP port on this machine that nothing is bound to right now.
int freeUdpPort();

// Each test process keeps its settings in a folder of its own
// ($XDG_CONFIG_HOME), whose "OSC Base Port" it picks at random so that test
// processes running side by side rarely meet on a port.
int basePort();
// The real plug-in, loaded after the process's settings are in place.
std::unique_ptr<vsthost::Plugin> loadPlugin();
// The folder holding the process's settings (for child processes).
std::string configFolder();

// An offset (1..100) whose port, base port + offset, nothing uses now.
int pickFreeOffset();
bool udpPortFree(int port);

// The host's normalised value that stores "OSC Port Offset" n.
float offsetToNormalised(int n);

// Sends "/ping" until the server answers (or the time runs out); true when
// it answered.  Also the way to wait until earlier messages were handled.
bool pingUntilAnswered(OscClient &client, int port, int timeoutMs = 3000);

// A user Scripts folder ($APPDATA/Quorvane/Murmelo/Scripts) for the
// instances loaded while it lives.
class UserScripts {
public:
    UserScripts();
    void write(const std::string &name, const std::string &text);

private:
    testing_support::TempDir dir;
    testing_support::ScopedEnv appData;
};

// The real plug-in listening on a fresh free port.
class ListeningPlugin {
public:
    ListeningPlugin();
    vsthost::Plugin &plugin() { return *instance; }
    int port() const { return basePort() + offset; }
    bool ok() const { return listening; }

private:
    std::unique_ptr<vsthost::Plugin> instance;
    int offset = 0;
    bool listening = false;
};

} // namespace osc_test
