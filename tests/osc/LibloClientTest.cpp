// A client that is not ours: liblo's oscsend and oscdump talk to the real
// plug-in.
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

using namespace osc_test;
using testing_support::runCommand;

namespace {

class LibloClient : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        dumpPort = freeUdpPort();
        dump = std::make_unique<ChildProcess>(std::vector<std::string>{"oscdump", "-L", std::to_string(dumpPort)},
                                              dir.file("dump.txt"));
        ASSERT_TRUE(dump->started());
        // oscdump is listening once a message sent to it shows up.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (dumped().find("/ready") == std::string::npos && std::chrono::steady_clock::now() < end) {
            oscsend({"127.0.0.1", std::to_string(dumpPort), "/ready"});
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_NE(dumped().find("/ready"), std::string::npos) << "oscdump did not start";
    }
    void oscsend(const std::vector<std::string> &args) {
        std::string command = "oscsend";
        for (const std::string &a : args)
            command += " '" + a + "'";
        std::string output;
        ASSERT_EQ(runCommand(command + " 2>&1", output), 0) << output;
    }
    std::string dumped() {
        std::ifstream in(dir.file("dump.txt"));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool waitForDump(const std::string &needle) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < end) {
            if (dumped().find(needle) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    std::string dumpUrl() const { return "osc.udp://127.0.0.1:" + std::to_string(dumpPort) + "/"; }

    testing_support::TempDir dir;
    ListeningPlugin server;
    int dumpPort = 0;
    std::unique_ptr<ChildProcess> dump;
};

TEST_F(LibloClient, PingSetAndGet) {
    const std::string port = std::to_string(server.port());
    oscsend({"127.0.0.1", port, "/ping", "ss", dumpUrl(), "/pong"});
    EXPECT_TRUE(waitForDump("/pong ss \"osc.udp://127.0.0.1:" + port + "\" \"Murmelo 1.1.0\"")) << dumped();

    oscsend({"127.0.0.1", port, "/set", "if", "10", "-25.5"});
    oscsend({"127.0.0.1", port, "/get", "iss", "10", dumpUrl(), "/feedback"});
    EXPECT_TRUE(waitForDump("/feedback if 10 -25.500000")) << dumped();
    EXPECT_NEAR(server.plugin().getParameter(10), (-25.5 + 100.0) / 200.0, 1e-6);

    oscsend({"127.0.0.1", port, "/getInfo", "iss", "7", dumpUrl(), "/info"});
    EXPECT_TRUE(waitForDump("/info ifffsi 7 0.000000 4.000000 0.000000 \"Shape\" 0")) << dumped();
}

} // namespace
