// murmelo serve: one headless instance that an OSC controller can drive.
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

using namespace osc_test;

namespace {

std::string readFile(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool waitForText(const std::string &path, const std::string &needle, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (readFile(path).find(needle) == std::string::npos) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<std::string> serveCommand(int offset, std::vector<std::string> more = {}) {
    std::vector<std::string> argv{testing_support::toolPath(), "serve",    "--offset",
                                  std::to_string(offset),      "--plugin", testing_support::pluginPath()};
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
}

TEST(Serve, ListensOnItsPortUntilCtrlC) {
    testing_support::TempDir dir;
    const int offset = pickFreeOffset();
    const int port = basePort() + offset;
    ChildProcess serve(serveCommand(offset, {"--program", "Ensemble", "--set", "Feedback=40"}), dir.file("out.txt"));
    ASSERT_TRUE(serve.started());
    ASSERT_TRUE(waitForText(dir.file("out.txt"), "Ctrl-C stops")) << readFile(dir.file("out.txt"));
    EXPECT_NE(
        readFile(dir.file("out.txt")).find("OSC on UDP port " + std::to_string(port) + ", program 2 \"Ensemble\""),
        std::string::npos)
        << readFile(dir.file("out.txt"));

    OscClient client;
    ASSERT_TRUE(pingUntilAnswered(client, port));
    const std::string url = client.url();
    client.send(port, "/get", [&](osc::OutboundPacketStream &p) { p << 10 << url.c_str() << "/fb"; });
    auto got = client.receive();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].args[1].f, 40.f);
    client.send(port, "/set", [](osc::OutboundPacketStream &p) { p << 10 << -20.f; });
    client.send(port, "/get", [&](osc::OutboundPacketStream &p) { p << 10 << url.c_str() << "/fb"; });
    got = client.receive();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].args[1].f, -20.f);

    // A second one on the same port refuses to start.
    ChildProcess second(serveCommand(offset), dir.file("second.txt"));
    EXPECT_EQ(second.wait(10000), 1);
    EXPECT_NE(readFile(dir.file("second.txt")).find("UDP port " + std::to_string(port) + " is in use"),
              std::string::npos);

    serve.signal(SIGINT);
    EXPECT_EQ(serve.wait(10000), 0);
    EXPECT_NE(readFile(dir.file("out.txt")).find("murmelo serve: stopped\n"), std::string::npos);
    EXPECT_TRUE(udpPortFree(port));
}

TEST(Serve, LoopsAnInputFile) {
    testing_support::TempDir dir;
    std::string output;
    ASSERT_EQ(testing_support::runCommand("sox -n -r 48000 -c 1 '" + dir.file("in.wav") + "' synth 0.05 sine 440 2>&1",
                                          output),
              0)
        << output;
    const int offset = pickFreeOffset();
    ChildProcess serve(serveCommand(offset, {"--input", dir.file("in.wav")}), dir.file("out.txt"));
    ASSERT_TRUE(waitForText(dir.file("out.txt"), "playing " + dir.file("in.wav"))) << readFile(dir.file("out.txt"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // several times round the file
    OscClient client;
    EXPECT_TRUE(pingUntilAnswered(client, basePort() + offset));
    serve.signal(SIGTERM);
    EXPECT_EQ(serve.wait(10000), 0);
}

TEST(Serve, RefusesBadOptions) {
    std::string output;
    const std::string tool = "'" + testing_support::toolPath() + "' serve ";
    EXPECT_EQ(testing_support::runCommand(tool + "--offset 0 2>&1", output), 2);
    EXPECT_NE(output.find("--offset wants a whole number from 1 to 100, not '0'"), std::string::npos) << output;
    EXPECT_EQ(testing_support::runCommand(tool + "--offset 5 --program Nowhere 2>&1", output), 2);
    EXPECT_NE(output.find("no program \"Nowhere\""), std::string::npos) << output;
    EXPECT_EQ(testing_support::runCommand(tool + "--input /no/such.wav 2>&1", output), 1);
}

} // namespace
