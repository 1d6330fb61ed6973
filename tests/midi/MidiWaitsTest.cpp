// The MIDI scripts never make the host's threads wait: not for the
// interpreter (events queue while a timer callback holds it) and not for
// each other through a host callback.
#include "tests/midi/MidiTestSupport.h"

#include <atomic>
#include <chrono>
#include <thread>

using namespace midi_test;

namespace {

using Clock = std::chrono::steady_clock;

// A host whose update-display callback waits for its UI thread while that
// thread creates and closes an instance: setOthersParameter must not hold
// the instance list across the callback.
TEST_F(MidiScripts, SetOthersParameterCallsHostsAfterReleasingTheInstanceList) {
    writeScript("others.lua", R"(
requestAllCC(function(channel, cc, value)
  if cc == 21 then setOthersParameter(getParameter(15), 8, 0.625) end
end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    std::atomic<bool> first{true}, uiThreadDone{false}, doneInTime{false};
    std::thread uiThread;
    plugin->onCall([&](const vsthost::HostCall &call) {
        if (call.opcode != vst2::audioMasterUpdateDisplay || !first.exchange(false)) return;
        uiThread = std::thread([&] {
            auto other = testing_support::loadMurmelo();
            other.reset();
            uiThreadDone = true;
        });
        const Clock::time_point until = Clock::now() + std::chrono::seconds(5);
        while (!uiThreadDone && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        doneInTime = uiThreadDone.load();
    });
    plugin->sendMidi(cc(1, 21, 1));
    if (uiThread.joinable()) uiThread.join();
    EXPECT_FALSE(first) << "the host was not told";
    EXPECT_TRUE(doneInTime) << "the host's UI thread waited for the instance list";
    plugin->onCall({});
    EXPECT_NEAR(plugin->getParameter(8), 0.625f, 1e-4f) << "Spread, 0..1 as the host sees it";
}

// A timer callback holding the interpreter: the host's MIDI call returns at
// once, and the events reach the handlers, in order, with a later block.
TEST_F(MidiScripts, EventsWaitForABusyInterpreterInsteadOfTheAudioThread) {
    writeScript("busy.lua", R"(
requestAllNoteOn(function(channel, note) log('note', note) end)
requestNoteOn(1, function()
  requestTimedCallback(0, function()
    log('busy')
    local stop = time() + 0.5
    while time() < stop do end
  end)
end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->sendMidi(noteOn(1, 1, 1));
    ASSERT_TRUE(waitForLine("busy"));
    const Clock::time_point start = Clock::now();
    plugin->sendMidi(midi({{0x90, 10, 1}, {0x90, 11, 1}}));
    plugin->sendMidi(noteOn(1, 12, 1));
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    EXPECT_LT(ms, 50.0);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"note 1", "busy"}));

    float in[64] = {}, out[2][64];
    float *inputs[2] = {in, in}, *outputs[2] = {out[0], out[1]};
    const Clock::time_point until = Clock::now() + std::chrono::seconds(5);
    while (logLines().size() < 5 && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        plugin->process(inputs, outputs, 64);
    }
    EXPECT_GE(std::chrono::duration<double>(Clock::now() - start).count(), 0.3) << "delivered while busy";
    EXPECT_EQ(logLines(), (std::vector<std::string>{"note 1", "busy", "note 10", "note 11", "note 12"}));
    plugin->sendMidi(noteOn(1, 13, 1)); // no longer queued: at once
    EXPECT_EQ(logLines().back(), "note 13") << ::testing::PrintToString(logLines());
}

} // namespace
