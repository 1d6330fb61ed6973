// Hostile input over the network: malformed packets, huge strings and
// bursts.  The server prints its error lines, keeps what it had and answers
// "/ping" right after.
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>

using namespace osc_test;

namespace {

// Bytes of an OSC string: the text, a terminator, padding to four.
std::string oscString(const std::string &s) {
    std::string out = s;
    out.push_back('\0');
    while (out.size() % 4)
        out.push_back('\0');
    return out;
}

std::string int32be(std::uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
}

class OscRobustness : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        port = server.port();
        // Something the server has that must survive.
        client.send(port, "/set", [](osc::OutboundPacketStream &p) { p << 8 << 0.625f; });
        ASSERT_TRUE(pingUntilAnswered(client, port));
    }
    void TearDown() override {
        EXPECT_TRUE(pingUntilAnswered(client, port, 2000)) << "the server stopped answering";
        EXPECT_EQ(server.plugin().getParameter(8), 0.625f);
    }
    void raw(const std::string &bytes) { client.sendRaw(port, bytes.data(), bytes.size()); }

    ListeningPlugin server;
    OscClient client;
    int port = 0;
};

TEST_F(OscRobustness, MalformedPacketsPrintOneLineEach) {
    StdoutCapture out;
    const std::string setHeader = oscString("/set") + oscString(",if");
    raw(setHeader + int32be(5));                                                         // truncated arguments
    raw(oscString("/set") + oscString(",i?") + int32be(5) + int32be(0));                 // unknown type tag
    raw(oscString("/set") + ",if");                                                      // size not a multiple of four
    raw(oscString("/set"));                                                              // no type tags at all
    raw(std::string(8, '\0'));                                                           // nothing readable
    raw(oscString("#bundle") + std::string(8, '\0') + int32be(400) + setHeader);         // element past the end
    raw(oscString("#bundle") + std::string(8, '\0') + int32be(6) + std::string(8, 'x')); // element size 6
    raw(oscString("#bundle") + std::string(4, '\0'));                                    // cut inside the time tag
    raw(std::string());                                                                  // empty datagram
    ASSERT_TRUE(pingUntilAnswered(client, port));
    const std::string text = out.text();
    EXPECT_EQ(out.count("error while parsing message: /set: "), 4) << text;
    EXPECT_EQ(out.count("error while parsing packet: "), 4) << text;
    // Nothing else: in particular the listening run did not end.
    EXPECT_EQ(out.count("\n"), 8) << text;
    EXPECT_EQ(text.find("TaskMain"), std::string::npos);
}

// Datagrams the fuzzer found that make oscpack read outside the packet: a
// blob cut off after its type tag; many blobs whose sizes point far past the
// end; a type tag string whose padding is not zero (oscpack then reads on
// into the arguments for its end).  They are refused before oscpack walks
// them.
TEST_F(OscRobustness, BlobsThatPointOutsideThePacket) {
    StdoutCapture out;
    raw(oscString("/oo") + oscString(",]b"));
    std::string blobs = oscString("/registerUpdate") + oscString(",iss" + std::string(120, 'b')) + int32be(0) +
                        oscString("xy:9001") + oscString("/up");
    for (int n = 0; n < 4; ++n)
        blobs += int32be(0x7FFFFFF0u);
    raw(blobs);
    raw(oscString("/re") + std::string(",b\0s", 4) + int32be(3) + oscString("xup"));
    ASSERT_TRUE(pingUntilAnswered(client, port));
    EXPECT_EQ(out.text(), "error while parsing message: /oo: arguments exceed message size\n"
                          "error while parsing message: /registerUpdate: arguments exceed message size\n"
                          "error while parsing message: /re: unterminated or badly padded type tag string\n");
}

TEST_F(OscRobustness, NestedBundlesAreOpenedAndBadOnesStopOnlyThemselves) {
    // A bundle holding a bundle holding "/set 9 0.5", then one holding junk.
    std::string set;
    {
        char buffer[256];
        osc::OutboundPacketStream p(buffer, sizeof(buffer));
        p << osc::BeginMessage("/set") << 9 << 0.5f << osc::EndMessage;
        set.assign(p.Data(), p.Size());
    }
    const std::string inner = oscString("#bundle") + std::string(8, '\0') + int32be(set.size()) + set;
    raw(oscString("#bundle") + std::string(8, '\0') + int32be(inner.size()) + inner);
    ASSERT_TRUE(pingUntilAnswered(client, port));
    EXPECT_EQ(server.plugin().getParameter(9), 0.5f);

    StdoutCapture out;
    std::string deep = set;
    for (int level = 0; level < 150; ++level)
        deep = oscString("#bundle") + std::string(8, '\0') + int32be(deep.size()) + deep;
    raw(deep.substr(0, deep.size() - 4)); // cut: the innermost message is short
    ASSERT_TRUE(pingUntilAnswered(client, port));
    EXPECT_EQ(out.count("error while parsing packet: "), 1) << out.text();
}

TEST_F(OscRobustness, HugeStringsAndLongAddresses) {
    StdoutCapture out;
    const std::string big(1500, 'a');
    client.send(port, "/get", [&](osc::OutboundPacketStream &p) { p << 1 << big.c_str() << "/r"; });
    client.send(port, ("/" + big).c_str(), [](osc::OutboundPacketStream &p) { p << 1; });
    // Longer than the server reads in one datagram: cut, hence malformed.
    const std::string huge(20000, 'b');
    client.send(port, "/set", [&](osc::OutboundPacketStream &p) { p << huge.c_str(); });
    // A reply path too long for a reply packet.
    const std::string url = client.url();
    client.send(port, "/get", [&](osc::OutboundPacketStream &p) { p << 1 << url.c_str() << big.c_str(); });
    ASSERT_TRUE(pingUntilAnswered(client, port));
    EXPECT_EQ(out.count("error while parsing message: /get: no port in url\n"), 1) << out.text();
    EXPECT_EQ(out.count("error while parsing message: /set: "), 1) << out.text();
    EXPECT_EQ(out.count("error while parsing message: /get: out of buffer memory\n"), 1) << out.text();
    EXPECT_EQ(client.drain(100).size(), 0u);
}

TEST_F(OscRobustness, RandomBytes) {
    StdoutCapture out;
    std::mt19937 random(1234);
    for (int n = 0; n < 2000; ++n) {
        std::string junk(4 + random() % 200, '\0');
        for (char &c : junk)
            c = static_cast<char>(random());
        if (n % 3 == 0) junk[0] = '/';
        if (n % 3 == 1) std::memcpy(&junk[0], "#bundle", junk.size() >= 8 ? 8 : junk.size());
        raw(junk);
        if (n % 200 == 0) {
            ASSERT_TRUE(pingUntilAnswered(client, port));
        }
    }
    ASSERT_TRUE(pingUntilAnswered(client, port));
    // Every error is one line of its own, whatever bytes its address held.
    std::istringstream lines(out.text());
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        ASSERT_EQ(line.rfind("error while parsing ", 0), 0u) << line;
    EXPECT_GT(count, 1000);
}

TEST_F(OscRobustness, ABurstOfTenThousandPackets) {
    StdoutCapture out;
    const std::string bad = oscString("/set") + oscString(",i?") + int32be(5) + int32be(0);
    for (int n = 0; n < 10000; ++n) {
        if (n % 2)
            raw(bad);
        else
            client.send(port, "/set", [&](osc::OutboundPacketStream &p) { p << 9 << (n % 100) / 100.f; });
    }
    ASSERT_TRUE(pingUntilAnswered(client, port, 5000));
    EXPECT_GT(out.count("error while parsing message: /set: "), 0);
    EXPECT_EQ(out.text().find("TaskMain"), std::string::npos);
}

} // namespace
