#include "tests/osc/OscTestSupport.h"

#include <oscpack/osc/OscReceivedElements.h>

#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace osc_test {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

Arg readArg(const osc::ReceivedMessageArgument &a) {
    Arg out;
    out.type = a.TypeTag();
    switch (a.TypeTag()) {
    case 'i':
        out.i = a.AsInt32Unchecked();
        break;
    case 'f':
        out.f = a.AsFloatUnchecked();
        break;
    case 's':
        out.s = a.AsStringUnchecked();
        break;
    default:
        break;
    }
    return out;
}

void collect(const osc::ReceivedMessage &m, std::vector<Message> &out, bool bundled, long long tag) {
    Message msg;
    msg.path = m.AddressPattern();
    msg.wasBundled = bundled;
    msg.timeTag = tag;
    for (auto it = m.ArgumentsBegin(); it != m.ArgumentsEnd(); ++it)
        msg.args.push_back(readArg(*it));
    out.push_back(msg);
}

void collect(const osc::ReceivedBundle &b, std::vector<Message> &out) {
    for (auto it = b.ElementsBegin(); it != b.ElementsEnd(); ++it) {
        if (it->IsBundle())
            collect(osc::ReceivedBundle(*it), out);
        else
            collect(osc::ReceivedMessage(*it), out, true, static_cast<long long>(b.TimeTag()));
    }
}

} // namespace

std::string Message::types() const {
    std::string t;
    for (const Arg &a : args)
        t += a.type;
    return t;
}

OscClient::OscClient() {
    fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) throw std::runtime_error("socket");
    sockaddr_in a = loopback(0);
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof(a)) != 0) throw std::runtime_error("bind");
    socklen_t len = sizeof(a);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    localPort = ntohs(a.sin_port);
    int big = 1 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof(big));
}

OscClient::~OscClient() { close(fd); }

std::string OscClient::url() const { return "osc.udp://127.0.0.1:" + std::to_string(localPort); }

void OscClient::sendRaw(int port, const void *data, std::size_t size) {
    sockaddr_in to = loopback(port);
    sendto(fd, data, size, 0, reinterpret_cast<sockaddr *>(&to), sizeof(to));
}

void OscClient::send(int port, const char *path, const std::function<void(osc::OutboundPacketStream &)> &fill) {
    std::vector<char> buffer(70000);
    osc::OutboundPacketStream p(buffer.data(), buffer.size());
    p << osc::BeginMessage(path);
    if (fill) fill(p);
    p << osc::EndMessage;
    sendRaw(port, p.Data(), p.Size());
}

std::vector<Message> OscClient::receive(int timeoutMs) {
    std::vector<Message> out;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return out;
    std::vector<char> buffer(70000);
    sockaddr_in from{};
    socklen_t len = sizeof(from);
    const ssize_t n = recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr *>(&from), &len);
    if (n <= 0) return out;
    senderPort = ntohs(from.sin_port);
    try {
        osc::ReceivedPacket packet(buffer.data(), static_cast<std::size_t>(n));
        if (packet.IsBundle())
            collect(osc::ReceivedBundle(packet), out);
        else
            collect(osc::ReceivedMessage(packet), out, false, 0);
    } catch (const osc::Exception &e) {
        ADD_FAILURE() << "malformed reply: " << e.what();
    }
    return out;
}

std::vector<Message> OscClient::drain(int quietMs) {
    std::vector<Message> all;
    for (;;) {
        std::vector<Message> next = receive(quietMs);
        if (next.empty()) return all;
        all.insert(all.end(), next.begin(), next.end());
    }
}

StdoutCapture::StdoutCapture() {
    char pattern[] = "/tmp/murmelo-stdout-XXXXXX";
    const int file = mkstemp(pattern);
    if (file < 0) throw std::runtime_error("mkstemp");
    path = pattern;
    std::fflush(stdout);
    savedFd = dup(1);
    dup2(file, 1);
    close(file);
}

StdoutCapture::~StdoutCapture() {
    // What was captured, test failures among it, still reaches the log.
    const std::string captured = text();
    dup2(savedFd, 1);
    std::fwrite(captured.data(), 1, captured.size(), stdout);
    std::fflush(stdout);
    close(savedFd);
    unlink(path.c_str());
}

std::string StdoutCapture::text() {
    std::fflush(stdout);
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool StdoutCapture::waitFor(const std::string &needle, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (text().find(needle) == std::string::npos) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int StdoutCapture::count(const std::string &needle) {
    const std::string t = text();
    int n = 0;
    for (std::size_t at = t.find(needle); at != std::string::npos; at = t.find(needle, at + needle.size()))
        ++n;
    return n;
}

bool udpPortFree(int port) {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool free = bind(s, reinterpret_cast<sockaddr *>(&a), sizeof(a)) == 0;
    close(s);
    return free;
}

ChildProcess::ChildProcess(const std::vector<std::string> &argv, const std::string &outputFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ) == 0) pid = child;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    if (pid <= 0) return;
    if (wait(0) < 0) {
        kill(pid, SIGTERM);
        wait(5000);
    }
    if (wait(0) < 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

void ChildProcess::signal(int number) {
    if (pid > 0 && status < 0) kill(pid, number);
}

int ChildProcess::wait(int timeoutMs) {
    if (pid <= 0 || status >= 0) return status;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int s = 0;
        if (waitpid(pid, &s, WNOHANG) == pid) {
            status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
            return status;
        }
        if (std::chrono::steady_clock::now() >= end) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int freeUdpPort() {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = loopback(0);
    bind(s, reinterpret_cast<sockaddr *>(&a), sizeof(a));
    socklen_t len = sizeof(a);
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}

namespace {

struct ProcessSettings {
    testing_support::TempDir dir;
    int base;
    ProcessSettings() {
        std::mt19937 random(static_cast<unsigned>(getpid()) ^
                            static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
        base = 20000 + static_cast<int>(random() % 400) * 100;
        std::string ignored;
        testing_support::runCommand("mkdir -p '" + dir.file("Quorvane") + "'", ignored);
        std::ofstream(dir.file("Quorvane/com.quorvane.murmelo.ini")) << "OSC Base Port = " << base << "\n";
        setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    }
};

ProcessSettings &processSettings() {
    static ProcessSettings settings;
    return settings;
}

} // namespace

int basePort() { return processSettings().base; }
std::string configFolder() { return processSettings().dir.path(); }

std::unique_ptr<vsthost::Plugin> loadPlugin() {
    processSettings();
    return testing_support::loadMurmelo();
}

int pickFreeOffset() {
    static std::mt19937 random(static_cast<unsigned>(getpid()) ^
                               static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 500; ++attempt) {
        const int offset = 1 + static_cast<int>(random() % 100);
        if (udpPortFree(basePort() + offset)) return offset;
    }
    throw std::runtime_error("no free OSC port");
}

float offsetToNormalised(int n) { return static_cast<float>(n) / 100.f; }

bool pingUntilAnswered(OscClient &client, int port, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string url = client.url();
    while (std::chrono::steady_clock::now() < end) {
        client.send(port, "/ping", [&](osc::OutboundPacketStream &p) { p << url.c_str() << "/sync"; });
        for (;;) {
            std::vector<Message> got = client.receive(100);
            if (got.empty()) break;
            for (const Message &m : got)
                if (m.path == "/sync") return true;
        }
    }
    return false;
}

UserScripts::UserScripts() : appData("APPDATA", dir.path()) {
    std::string ignored;
    testing_support::runCommand("mkdir -p '" + dir.file("Quorvane/Murmelo/Scripts") + "'", ignored);
}

void UserScripts::write(const std::string &name, const std::string &text) {
    std::ofstream(dir.file("Quorvane/Murmelo/Scripts/" + name)) << text;
}

ListeningPlugin::ListeningPlugin() {
    instance = loadPlugin();
    if (!instance) return;
    OscClient client;
    for (int attempt = 0; attempt < 10 && !listening; ++attempt) {
        offset = pickFreeOffset();
        instance->setParameter(15, offsetToNormalised(offset));
        if (!pingUntilAnswered(client, port(), 2000)) continue;
        // The answer may come from another process that took the port first:
        // make sure it is this instance that listens.
        const float mark = 0.25f + 0.001f * static_cast<float>(attempt);
        client.send(port(), "/set", [&](osc::OutboundPacketStream &p) { p << 0 << mark; });
        pingUntilAnswered(client, port(), 1000);
        listening = std::fabs(instance->getParameter(0) - mark) < 1e-6f;
    }
    instance->setParameter(0, 0.f);
}

} // namespace osc_test
