// A script that never ends must not hang the host: handlers, timer
// callbacks and script chunks are stopped after their time budget.
#include "tests/midi/MidiTestSupport.h"

#include <thread>

using namespace midi_test;

namespace {

using Lines = std::vector<std::string>;

const char kHandlerStopped[] = "@@@ a MIDI handler: script ran too long (over 2 seconds) and was stopped\n";

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
        ::testing::internal::CaptureStdout();
        returnsWithin(30000, [&] { plugin->sendMidi(noteOn(1, note, 1)); });
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), kHandlerStopped) << "note " << note;
    }
    plugin->sendMidi(noteOn(1, 4, 1));
    EXPECT_EQ(logLines(), (Lines{"next handler ran", "still alive"}));
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
    for (const std::string &line : logLines()) handlerRuns += line.rfind("handler ", 0) == 0;
    EXPECT_EQ(handlerRuns, 1);
}

} // namespace
