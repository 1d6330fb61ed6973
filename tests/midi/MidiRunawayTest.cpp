// A script that never ends, or never stops allocating, must not take the
// host down: handlers, timer callbacks and script chunks are stopped after
// their time budget (short on the audio thread) or at the memory limit, and
// no script can escape the stop.
#include "tests/midi/MidiTestSupport.h"

#include <thread>

using namespace midi_test;

namespace {

using Lines = std::vector<std::string>;

const char kAudioStop[] = "@@@ a MIDI handler: script ran too long (over 10 ms on the audio thread) and was stopped";

// What the plug-in prints within ms (the stop reporter runs four times a
// second).
std::string outputWithin(int ms, const std::function<void()> &body) {
    ::testing::internal::CaptureStdout();
    body();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return ::testing::internal::GetCapturedStdout();
}

long long millisecondsOf(const std::function<void()> &body) {
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(MidiScripts, EndlessHandlersAreStoppedAndTheHostThreadReturns) {
    writeScript("loop.lua", R"(
requestNoteOn(1, function() while true do end end)
requestNoteOn(1, function() log('next handler ran') end)
requestNoteOn(2, function()
  -- Catching the error does not help.
  while true do pcall(function() while true do end end) end
end)
requestNoteOn(3, function()
  local co = coroutine.create(function() while true do end end)
  while true do coroutine.resume(co) end
end)
requestNoteOn(4, function() log('still alive') end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    for (int note = 1; note <= 3; ++note) {
        long long ms = 0;
        const std::string out = outputWithin(600, [&] {
            returnsWithin(30000, [&] { ms = millisecondsOf([&] { plugin->sendMidi(noteOn(1, note, 1)); }); });
        });
        EXPECT_EQ(out, std::string(kAudioStop) + "\n") << "note " << note;
        EXPECT_LT(ms, 500) << "note " << note << ": the audio thread's budget is about 10 ms";
    }
    plugin->sendMidi(noteOn(1, 4, 1));
    EXPECT_EQ(logLines(), (Lines{"next handler ran", "still alive"}));

    // Many stops in a row make one line, not one per event.
    const std::string out = outputWithin(600, [&] {
        for (int i = 0; i < 5; ++i)
            plugin->sendMidi(noteOn(1, 1, 1));
    });
    EXPECT_EQ(out, std::string(kAudioStop) + " (5 times)\n");
}

// Off the audio thread ("/startNote" and the timers) the budget stays at 2
// seconds; a script cannot take the stop away or slip past it in an error
// handler.
TEST_F(MidiScripts, TheStopCannotBeEscaped) {
    writeScript("escape.lua", R"(
log('sethook', pcall(debug.sethook))
log('sethook with a hook', pcall(debug.sethook, function() end, 'c'))
requestNoteOn(1, function() pcall(debug.sethook); while true do end end)
requestCC(14, function() xpcall(function() while true do end end, function() while true do end end) end)
requestCC(15, function() xpcall(function() error('boom') end, function() while true do end end) end)
requestCC(16, function()
  local co = coroutine.create(function()
    xpcall(function() while true do end end, function() while true do end end)
  end)
  while true do coroutine.resume(co) end
end)
requestCC(17, function()
  log('handled', xpcall(function() error('boom', 0) end, function(e) return 'handled ' .. e end))
  log('not a handler', xpcall(function() error('boom', 0) end, 42))
end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    const std::string refused = "false debug.sethook is not available: the host's own hook stops runaway scripts";
    EXPECT_EQ(logLines(), (Lines{"sethook " + refused, "sethook with a hook " + refused}));
    clearLog();
    const std::vector<std::vector<Plugin::Midi>> runaways = {noteOn(1, 1, 1), cc(1, 14, 1), cc(1, 15, 1), cc(1, 16, 1)};
    for (const auto &event : runaways) {
        const std::string out = outputWithin(600, [&] { returnsWithin(30000, [&] { plugin->sendMidi(event); }); });
        EXPECT_EQ(out, std::string(kAudioStop) + "\n");
    }
    plugin->sendMidi(cc(1, 17, 1));
    EXPECT_EQ(logLines(), (Lines{"handled false handled boom", "not a handler false error in error handling"}));
}

TEST_F(MidiScripts, MemoryIsLimitedPerInterpreter) {
    writeScript("a.lua", R"(
requestNoteOn(1, function() log('handler ran') end)
requestNoteOn(2, function()
  local t = {}
  while true do t[#t + 1] = string.rep('y', 100000) .. #t end
end)
requestPeriodicCallback(0.05, function()
  log('tick')
  local t = {}
  while true do t[#t + 1] = string.rep('t', 100000) .. #t end
end)
)");
    writeScript("b.lua", "local hoard = {}\nwhile true do hoard[#hoard + 1] = string.rep('x', 100000) .. #hoard end\n");
    writeScript("c.lua", "log('c loaded')\n");
    std::unique_ptr<Plugin> plugin;
    returnsWithin(30000, [&] { plugin = load(); });
    ASSERT_TRUE(plugin);
    EXPECT_NE(loadOutput.find("@@@ failed to run file: script ran out of memory (over 64 MB) and was stopped\n"),
              std::string::npos)
        << loadOutput;
    EXPECT_TRUE(waitForLine("c loaded")) << "the next script runs, the memory of the failed one is freed";
    // The periodic callback fails once and is cancelled.
    ASSERT_TRUE(waitForLine("tick"));
    const std::string out = outputWithin(1000, [&] {
        plugin->sendMidi(noteOn(1, 2, 1));
        plugin->sendMidi(noteOn(1, 1, 1));
        // While the timer's callback still holds the interpreter the events
        // wait in the queue for a later block, as a host's next blocks bring.
        // Filling 64 MB takes a loaded machine seconds: blocks come until
        // the second handler has run.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (int block = 0; block < 100 || !waitForLine("handler ran", 0); ++block) {
            if (std::chrono::steady_clock::now() > until) break;
            plugin->sendMidi({});
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    // On the audio thread the handler has 10 ms: on a busy machine that may
    // run out before the memory does; either stop ends it.
    EXPECT_TRUE(out.find("@@@ a MIDI handler: script ran out of memory (over 64 MB) and was stopped\n") !=
                    std::string::npos ||
                out.find("@@@ a MIDI handler: script ran too long") != std::string::npos)
        << out;
    int ticks = 0, handlerRuns = 0;
    for (const std::string &line : logLines()) {
        ticks += line == "tick";
        handlerRuns += line == "handler ran";
    }
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(handlerRuns, 1) << "the interpreter goes on after the memory error";
}

TEST_F(MidiScripts, APeriodicCallbackStoppedForRunningTooLongIsCancelled) {
    writeScript("p.lua", R"(
requestPeriodicCallback(0.01, function() log('tick'); while true do end end)
requestPeriodicCallback(0.2, function() log('tock') end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(waitForLine("tick"));
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "@@@ a timer callback: script ran too long (over 2 seconds) and was stopped\n"
                   "@@@ a timer callback: its periodic timer was cancelled\n");
    int ticks = 0, tocks = 0;
    for (const std::string &line : logLines()) {
        ticks += line == "tick";
        tocks += line == "tock";
    }
    EXPECT_EQ(ticks, 1);
    EXPECT_GE(tocks, 2) << "other timers go on";
}

TEST_F(MidiScripts, EndlessTimerCallbacksAndChunksAreStopped) {
    writeScript("a.lua", "log('a loaded')\n");
    writeScript("b.lua", "requestNoteOn(1, function() log('handler', getParameter(0)) end)\nwhile true do end\n");
    writeScript("c.lua", R"(
requestNoteOn(2, function()
  requestTimedCallback(0, function() log('timer started'); while true do end end)
end)
log('c loaded')
)");
    std::unique_ptr<Plugin> plugin;
    returnsWithin(30000, [&] { plugin = load(); });
    ASSERT_TRUE(plugin);
    EXPECT_NE(loadOutput.find("@@@ failed to run file: script ran too long (over 2 seconds) and was stopped\n"),
              std::string::npos)
        << loadOutput;
    EXPECT_TRUE(waitForLine("a loaded"));
    EXPECT_TRUE(waitForLine("c loaded"));

    ::testing::internal::CaptureStdout();
    plugin->sendMidi(noteOn(1, 2, 1));
    ASSERT_TRUE(waitForLine("timer started"));
    // The host's call does not wait for the interpreter: the event is queued
    // and reaches the handler with the first block after the timer callback
    // is stopped.
    returnsWithin(500, [&] { plugin->sendMidi(noteOn(1, 1, 1)); });
    float in[64] = {}, out[2][64];
    float *inputs[2] = {in, in}, *outputs[2] = {out[0], out[1]};
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (logLines().back().rfind("handler ", 0) != 0 && std::chrono::steady_clock::now() < until) {
        plugin->process(inputs, outputs, 64);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "@@@ a timer callback: script ran too long (over 2 seconds) and was stopped\n");
    int handlerRuns = 0;
    for (const std::string &line : logLines())
        handlerRuns += line.rfind("handler ", 0) == 0;
    EXPECT_EQ(handlerRuns, 1);
}

} // namespace
