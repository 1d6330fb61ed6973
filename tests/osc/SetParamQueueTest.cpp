// The update queue on its own: the 63-entry rule, the overflow line, and
// many producers against one consumer.
#include "osc/SetParamQueue.h"
#include "tests/osc/OscTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using QV::SetParamQueue;

TEST(SetParamQueue, HoldsSixtyThreeAndDropsTheSixtyFourth) {
    SetParamQueue queue;
    EXPECT_EQ(queue.writePosition(), 0);
    EXPECT_EQ(queue.readPosition(), 63);
    SetParamQueue::Entry e;
    EXPECT_FALSE(queue.Read(e));

    osc_test::StdoutCapture out;
    for (int i = 0; i < 63; ++i)
        ASSERT_TRUE(queue.Write(i % 16, static_cast<float>(i))) << i;
    EXPECT_EQ(queue.writePosition(), queue.readPosition()); // full
    EXPECT_FALSE(queue.Write(5, 99.f));
    EXPECT_EQ(out.text(), "") << "the producer never prints";
    queue.reportOverflows();
    EXPECT_EQ(out.text(), "OSCHelper::SetParamQueue::Write() overflow\n") << "the consumer does, once";
    queue.reportOverflows();
    EXPECT_EQ(out.text(), "OSCHelper::SetParamQueue::Write() overflow\n");

    for (int i = 0; i < 63; ++i) {
        ASSERT_TRUE(queue.Read(e));
        EXPECT_EQ(e.index, i % 16);
        EXPECT_EQ(e.value, static_cast<float>(i));
    }
    EXPECT_FALSE(queue.Read(e));
    EXPECT_EQ(queue.readPosition(), 62);
    EXPECT_EQ(queue.writePosition(), 63);

    // Wrapping around: one slot freed admits exactly one more.
    for (int i = 0; i < 63; ++i)
        ASSERT_TRUE(queue.Write(1, 1.f));
    EXPECT_FALSE(queue.Write(1, 1.f));
    ASSERT_TRUE(queue.Read(e));
    EXPECT_TRUE(queue.Write(2, 2.f));
    EXPECT_FALSE(queue.Write(2, 2.f));
}

// Four producers, one consumer: every accepted entry arrives exactly once,
// each producer's entries in the order written, none torn.
TEST(SetParamQueue, ManyProducersOneConsumer) {
    constexpr int kProducers = 4;
    constexpr int kPerProducer = 250000;
    SetParamQueue queue;
    std::atomic<int> producersLeft{kProducers};
    std::vector<long> accepted(kProducers, 0);
    std::vector<std::thread> producers;
    osc_test::StdoutCapture quiet; // overflow lines are expected here
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            for (int k = 0; k < kPerProducer; ++k)
                if (queue.Write(p, static_cast<float>(k))) ++accepted[p];
            --producersLeft;
        });
    }
    std::vector<long> received(kProducers, 0);
    std::vector<float> last(kProducers, -1.f);
    bool ordered = true, valid = true;
    SetParamQueue::Entry e;
    for (;;) {
        const bool finished = producersLeft.load() == 0; // before the read that may find nothing
        if (!queue.Read(e)) {
            if (finished) break;
            continue;
        }
        if (e.index < 0 || e.index >= kProducers) {
            valid = false;
            continue;
        }
        ordered = ordered && e.value > last[e.index];
        last[e.index] = e.value;
        ++received[e.index];
    }
    for (auto &t : producers)
        t.join();
    EXPECT_TRUE(valid);
    EXPECT_TRUE(ordered);
    long total = 0;
    for (int p = 0; p < kProducers; ++p) {
        EXPECT_EQ(received[p], accepted[p]) << "producer " << p;
        total += accepted[p];
    }
    EXPECT_GT(total, 0);
}
