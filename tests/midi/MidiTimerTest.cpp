// Script timers: one-shot and periodic callbacks, cancelling, the clock,
// and an instance deleted while its timers run.
#include "tests/midi/MidiTestSupport.h"

#include <thread>

using namespace midi_test;

namespace {

using Lines = std::vector<std::string>;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int countLines(const std::vector<std::string> &lines, const std::string &text) {
    int n = 0;
    for (const std::string &l : lines)
        n += l == text;
    return n;
}

TEST_F(MidiScripts, OneShotTimerFiresOnceAboutWhenAsked) {
    writeScript("timer.lua", R"(
requestNoteOn(1, function()
  local start = time()
  oneShot = requestTimedCallback(0.3, function()
    local waited = time() - start
    log('fired', waited >= 0.299 and waited < 2.5)
  end)
  log('requested', type(oneShot), getmetatable(oneShot) ~= nil)
end)
requestNoteOn(2, function() cancelTimer(oneShot); log('cancelled') end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->sendMidi(noteOn(1, 1, 1));
    ASSERT_TRUE(waitForLine("fired true"));
    sendThroughBlocks(*plugin, noteOn(1, 2, 1)); // after it fired: harmless
    sleepMs(400);
    EXPECT_EQ(logLines(), (Lines{"requested userdata true", "fired true", "cancelled"}));
}

TEST_F(MidiScripts, PeriodicTimerRunsUntilCancelled) {
    writeScript("timer.lua", R"(
ticks = 0
requestNoteOn(1, function()
  periodic = requestPeriodicCallback(0.05, function()
    ticks = ticks + 1
    if ticks == 2 then error('an error does not stop a periodic timer') end
    log('tick')
  end)
end)
requestNoteOn(2, function() cancelTimer(periodic); cancelTimer(periodic); log('cancelled', ticks) end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    ::testing::internal::CaptureStdout();
    plugin->sendMidi(noteOn(1, 1, 1));
    ASSERT_TRUE(waitForLines(4));
    sendThroughBlocks(*plugin, noteOn(1, 2, 1));
    // A callback already under way when the timer is cancelled may finish.
    sleepMs(100);
    const std::size_t settled = logLines().size();
    sleepMs(300);
    EXPECT_EQ(logLines().size(), settled) << "no tick after cancelTimer";
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST_F(MidiScripts, ZeroAndNegativeDelaysFireAtOnce) {
    writeScript("timer.lua", R"(
count = 0
requestNoteOn(1, function()
  requestTimedCallback(0, function() log('zero') end)
  requestTimedCallback(-5, function() log('negative') end)
  requestTimedCallback(0/0, function() log('nan') end)
  -- 0.0004 s is 0 ms: a periodic timer fires once and stays registered.
  tiny = requestPeriodicCallback(0.0004, function() count = count + 1; log('tiny') end)
end)
requestNoteOn(2, function() log('count', count); cancelTimer(tiny) end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->sendMidi(noteOn(1, 1, 1));
    ASSERT_TRUE(waitForLines(4, 2000));
    sleepMs(200);
    sendThroughBlocks(*plugin, noteOn(1, 2, 1));
    const Lines lines = logLines();
    for (const char *t : {"zero", "negative", "nan", "tiny"})
        EXPECT_EQ(countLines(lines, t), 1) << t;
    EXPECT_EQ(lines.back(), "count 1");
}

TEST_F(MidiScripts, CancellingAnEndedTimerLeavesNewerTimersAlone) {
    writeScript("timer.lua", R"(
requestNoteOn(1, function() first = requestTimedCallback(0, function() log('first') end) end)
requestNoteOn(2, function()
  second = requestTimedCallback(0.1, function() log('second') end)
  cancelTimer(first)
end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->sendMidi(noteOn(1, 1, 1));
    ASSERT_TRUE(waitForLine("first"));
    sendThroughBlocks(*plugin, noteOn(1, 2, 1));
    EXPECT_TRUE(waitForLine("second"));
}

TEST_F(MidiScripts, TimeCountsSecondsInMilliseconds) {
    writeScript("clock.lua", R"(
requestNoteOn(1, function() t0 = time() end)
requestNoteOn(2, function()
  local dt = time() - t0
  log(dt >= 0.199 and dt < 5, t0 > 0, math.abs(t0 * 1000 - math.floor(t0 * 1000 + 0.5)) < 1e-6)
end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->sendMidi(noteOn(1, 1, 1));
    sleepMs(200);
    sendThroughBlocks(*plugin, noteOn(1, 2, 1));
    EXPECT_EQ(logLines(), (Lines{"true true true"}));
}

TEST_F(MidiScripts, TimersStartedWhileLoadingFire) {
    writeScript("timer.lua", "requestTimedCallback(0.01, function() log('loaded timer', getParameter(0)) end)\n");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(waitForLines(1));
}

TEST_F(MidiScripts, DeletingTheInstanceEndsItsTimersCleanly) {
    writeScript("timer.lua", R"(
requestPeriodicCallback(0.001, function() setParameter('Bias', math.random()); log('fast') end)
requestPeriodicCallback(0.01, function()
  local t = os.clock() + 0.05
  while os.clock() < t do end
  log('slow')
end)
for i = 1, 200 do requestTimedCallback(i * 0.0005, function() setGUIBoolValue(i % 8, true) end) end
)");
    for (int round = 0; round < 3; ++round) {
        auto plugin = load();
        ASSERT_TRUE(plugin);
        ASSERT_TRUE(waitForLine("slow"));
        plugin->sendMidi(cc(1, 13, 64));
        plugin.reset();
        const std::size_t after = logLines().size();
        sleepMs(100);
        EXPECT_EQ(logLines().size(), after) << "a timer outlived its instance";
        clearLog();
    }
}

} // namespace
