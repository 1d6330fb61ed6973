// OSC benchmark (not a test): the real plug-in on loopback.  Prints
//  - "/set" messages handled per second (counted by the host's
//    audioMasterUpdateDisplay calls, one per handled "/set"),
//  - "/get" round-trip latency p50/p99,
//  - notification latency from the host's setParameter to the subscriber.
#include "tests/osc/OscTestSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace osc_test;
using Clock = std::chrono::steady_clock;

namespace {

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void printPercentiles(const char *what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples[static_cast<std::size_t>(q * (samples.size() - 1))]; };
    std::printf("%-34s p50 %8.1f us   p99 %8.1f us   max %8.1f us   (%zu samples)\n", what, at(0.5), at(0.99),
                samples.back(), samples.size());
}

void setThroughput(ListeningPlugin &server, OscClient &client) {
    constexpr int kMessages = 200000;
    constexpr int kWindow = 200; // then wait for the server to catch up
    server.plugin().clearCalls();
    const auto start = Clock::now();
    for (int sent = 0; sent < kMessages;) {
        for (int k = 0; k < kWindow; ++k, ++sent)
            client.send(server.port(), "/set", [&](osc::OutboundPacketStream &p) { p << 8 << (sent % 1000) / 1000.f; });
        pingUntilAnswered(client, server.port());
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const int handled = server.plugin().countCalls(vst2::audioMasterUpdateDisplay);
    std::printf("%-34s %8.0f per second   (%d of %d handled in %.2f s)\n", "\"/set\" handled", handled / seconds,
                handled, kMessages, seconds);
}

void getLatency(ListeningPlugin &server, OscClient &client) {
    const std::string url = client.url();
    std::vector<double> samples;
    for (int n = 0; n < 5000; ++n) {
        const auto start = Clock::now();
        client.send(server.port(), "/get", [&](osc::OutboundPacketStream &p) { p << 3 << url.c_str() << "/v"; });
        if (client.receive(1000).empty()) continue;
        samples.push_back(micros(Clock::now() - start));
    }
    printPercentiles("\"/get\" round trip", samples);
}

void notificationLatency(ListeningPlugin &server, OscClient &client) {
    const std::string url = client.url();
    client.send(server.port(), "/registerUpdate", [&](osc::OutboundPacketStream &p) { p << 5 << url.c_str() << "/u"; });
    pingUntilAnswered(client, server.port());
    std::vector<double> samples;
    for (int n = 0; n < 5000; ++n) {
        const auto start = Clock::now();
        server.plugin().setParameter(5, (n % 100) / 100.f);
        if (client.receive(1000).empty()) continue;
        samples.push_back(micros(Clock::now() - start));
    }
    printPercentiles("setParameter -> subscriber", samples);
}

} // namespace

int main() {
    ListeningPlugin server;
    if (!server.ok()) {
        std::fprintf(stderr, "the plug-in did not start listening\n");
        return 1;
    }
    OscClient client;
    std::printf("OSC on loopback, port %d\n", server.port());
    setThroughput(server, client);
    getLatency(server, client);
    notificationLatency(server, client);
    return 0;
}
