// The script functions: parameters, indicators, handler registration and
// their error texts, and the functions that reach other instances.
#include "tests/midi/MidiTestSupport.h"

using namespace midi_test;

namespace {

using Lines = std::vector<std::string>;

// try: logs "ok" or the error text as raised (our own texts carry no
// position).  tryStd: the same with the position prefix of the standard
// argument errors removed.
const char kTry[] = R"(
function try(f)
  local ok, err = pcall(f)
  log(ok and 'ok' or err)
end
function tryStd(f)
  local ok, err = pcall(f)
  log(ok and 'ok' or (string.gsub(err, '^.-:%d+: ', '')))
end
)";

TEST_F(MidiScripts, ParameterFunctions) {
    writeScript("api.lua", std::string(kTry) + R"(
requestNoteOn(1, function()
  setParameter('Feedback', 12); log(getParameter(10))
  setParameter(10, 13); log(getParameter('Feedback'))
  setParameter('10', 14); log(getParameter(10))
  setParameter(10.9, 15); log(getParameter(10))
  setParameter('Depth (fine)', 0.1); log(getParameter(5))
  log(getParameterID('Feedback'), getParameterID('OSC Port Offset'), getParameterID('Dry Level'))
  log(getParameterMinMax('Speed (fine)'))
  log(getParameterMinMax(10))
  log(getParameterUnit(4), getParameterUnit('Dry Level'), getParameterUnit(15))
  log(getParameterName(2), getParameterName('7'))
  log(isParameterUsed(15), isParameterUsed('Bias'), getNumParameters())
  log(isMac, isWin, isVST, isAU, majorVersion, minorVersion, dotVersion, version)
  log(type(string.format), type(io.open), type(os.time), type(coroutine.create), type(table.concat),
      type(math.log), type(debug.traceback), type(newproxy))
end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->clearCalls();
    plugin->sendMidi(noteOn(1, 1, 1));
    // isWin tells the truth about the system the plug-in runs on.
    const std::string flags =
        std::string("false ") + (testing_support::kOnWindows ? "true" : "false") + " true false 1 1 0 10100";
    EXPECT_EQ(logLines(), (Lines{"12", "13", "14", "15", "0.10000000149012", "10 15 0", "0.5 20", "-100 100", "8 17 1",
                                 "Speed (superfine) Shape", "true true 16", flags,
                                 "function function function function function function function nil"}));
    EXPECT_EQ(plugin->parameterDisplay(10), "15.00");
    EXPECT_EQ(plugin->countCalls(vst2::audioMasterUpdateDisplay), 5);
}

TEST_F(MidiScripts, ErrorTexts) {
    writeScript("api.lua", std::string(kTry) + R"(
requestNoteOn(1, function()
  try(function() getParameter(16) end)
  try(function() setParameter(-1, 0) end)
  try(function() getParameter('99') end)
  try(function() getParameter(1e300) end)
  try(function() getParameter(-1e300) end)
  try(function() getParameterID('feedback') end)
  try(function() getParameterID(10) end)
  try(function() getParameter('Speed (superfin') end)
  tryStd(function() getParameter({}) end)
  tryStd(function() getParameter() end)
  tryStd(function() setParameter(10) end)
  tryStd(function() setParameter('Feedback', 'abc') end)
  tryStd(function() setParameter(10, 0/0) end)
  tryStd(function() setParameter(10, 1e39) end)
  log(getParameter(10))
  try(function() setGUIBoolValue(8, true) end)
  try(function() getGUIBoolValue(-1) end)
  try(function() setOthersGUIBoolValue(0, 9, true) end)
  try(function() getOthersGUIBoolValue(0, 1e10) end)
  tryStd(function() setGUIBoolValue('x', true) end)
  try(function() getOthersParameter(0, 'nope') end)
  try(function() setOthersParameter(0, 16, 1) end)
  tryStd(function() setOthersParameter(0, 1) end)
  try(function() requestNoteOn(60, 5) end)
  tryStd(function() requestNoteOn('x', function() end) end)
  tryStd(function() requestNoteOn(nil, 5) end)
  try(function() requestTimedCallback(1, 2) end)
  try(function() requestPeriodicCallback(1) end)
  tryStd(function() requestTimedCallback('soon', print) end)
  tryStd(function() cancelTimer(5) end)
  tryStd(function() cancelTimer(io.stdout) end)
  tryStd(function() cancelTimer() end)
  for _, name in ipairs({'requestAllNoteOn', 'requestAllNoteOff', 'requestAllCC', 'requestAllNRPN',
                         'requestAllProgramChange', 'requestAllPolyPressure', 'requestPitchWheel',
                         'requestChannelPressure'}) do
    try(function() _G[name](42) end)
  end
  for _, name in ipairs({'requestNoteOn', 'requestNoteOff', 'requestCC', 'requestNRPN',
                         'requestProgramChange', 'requestPolyPressure'}) do
    try(function() _G[name](1, {}) end)
  end
  try(function() requestNoteOn(1e300, print); requestNRPN(-5, print); requestCC(0/0, print) end)
end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    const float feedback = plugin->getParameter(10);
    plugin->sendMidi(noteOn(1, 1, 1));
    const Lines expected = {
        "parameter out of range: 16",
        "parameter out of range: -1",
        "parameter out of range: 99",
        "parameter out of range: 2147483647",
        "parameter out of range: -2147483648",
        "parameter not found: 'feedback'",
        "parameter not found: '10'",
        "parameter not found: 'Speed (superfin'",
        "bad argument #1 to 'getParameter' (string expected, got table)",
        "bad argument #1 to 'getParameter' (string expected, got no value)",
        "bad argument #2 to 'setParameter' (number expected, got no value)",
        "bad argument #2 to 'setParameter' (number expected, got string)",
        "bad argument #2 to 'setParameter' (finite number expected)",
        "bad argument #2 to 'setParameter' (finite number expected)",
        "", // placeholder for the unchanged value, checked below
        "indicator id out of range: 8",
        "indicator id out of range: -1",
        "indicator id out of range: 9",
        "indicator id out of range: 2147483647",
        "bad argument #1 to 'setGUIBoolValue' (number expected, got string)",
        "parameter not found: 'nope'",
        "parameter out of range: 16",
        "bad argument #3 to 'setOthersParameter' (number expected, got no value)",
        "second argument to requestNoteOn() is not a function",
        "bad argument #1 to 'requestNoteOn' (number expected, got string)",
        "bad argument #1 to 'requestNoteOn' (number expected, got nil)",
        "second argument to requestTimerCallback() is not a function",
        "second argument to requestTimerCallback() is not a function",
        "bad argument #1 to 'requestTimedCallback' (number expected, got string)",
        "bad argument #1 to 'cancelTimer' (QV::LuaMIDIHelper::Timer expected, got number)",
        "bad argument #1 to 'cancelTimer' (QV::LuaMIDIHelper::Timer expected, got userdata)",
        "bad argument #1 to 'cancelTimer' (QV::LuaMIDIHelper::Timer expected, got no value)",
        "first argument to requestAllNoteOn() is not a function",
        "first argument to requestAllNoteOff() is not a function",
        "first argument to requestAllCC() is not a function",
        "first argument to requestAllNRPN() is not a function",
        "first argument to requestAllProgramChange() is not a function",
        "first argument to requestAllPolyPressure() is not a function",
        "first argument to requestPitchWheel() is not a function",
        "first argument to requestChannelPressure() is not a function",
        "second argument to requestNoteOn() is not a function",
        "second argument to requestNoteOff() is not a function",
        "second argument to requestCC() is not a function",
        "second argument to requestNRPN() is not a function",
        "second argument to requestProgramChange() is not a function",
        "second argument to requestPolyPressure() is not a function",
        "ok",
    };
    Lines lines = logLines();
    ASSERT_EQ(lines.size(), expected.size());
    // Failed calls changed nothing.
    EXPECT_NEAR(std::stod(lines[14]), -100 + 200 * feedback, 1e-3);
    lines[14] = "";
    EXPECT_EQ(lines, expected);
}

TEST_F(MidiScripts, IndicatorFlags) {
    writeScript("flags.lua", R"(
requestNoteOn(1, function()
  setGUIBoolValue(0, true); setGUIBoolValue(7, 'yes'); setGUIBoolValue(3, 0)
  log(getGUIBoolValue(0), getGUIBoolValue(7), getGUIBoolValue(3), getGUIBoolValue(1))
  setGUIBoolValue(0); setGUIBoolValue(7, nil)
  log(getGUIBoolValue(0), getGUIBoolValue(7), getGUIBoolValue(3))
end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->sendMidi(noteOn(1, 1, 1));
    EXPECT_EQ(logLines(), (Lines{"true true true false", "false false true"}));
}

// Two instances in one process, told apart by their "OSC Port Offset".
TEST_F(MidiScripts, OthersFunctionsReachMatchingInstances) {
    writeScript("others.lua", R"(
requestCC(100, function(c, n, v) setOthersParameter(v, 'Feedback', 42) end)
requestCC(101, function(c, n, v) log('feedback', getOthersParameter(v, 10)) end)
requestCC(102, function(c, n, v) setOthersGUIBoolValue(v, 3, true) end)
requestCC(103, function(c, n, v) log('flag', getOthersGUIBoolValue(v, 3), getGUIBoolValue(3)) end)
requestCC(104, function(c, n, v) setOthersParameter('x', 'Bias', 0.123) end)
)");
    auto a = load();
    auto b = load();
    ASSERT_TRUE(a && b);
    a->setParameter(15, 0.03f); // offset 3
    b->setParameter(15, 0.05f); // offset 5
    const std::string feedbackA = a->parameterDisplay(10);
    b->clearCalls();

    a->sendMidi(cc(1, 100, 5));
    EXPECT_EQ(b->parameterDisplay(10), "42.00");
    EXPECT_EQ(a->parameterDisplay(10), feedbackA);
    EXPECT_EQ(b->countCalls(vst2::audioMasterUpdateDisplay), 1);

    a->sendMidi(cc(1, 101, 5));
    a->sendMidi(cc(1, 101, 77)); // nobody
    a->sendMidi(cc(1, 100, 3));  // this instance itself
    b->sendMidi(cc(1, 101, 3));
    EXPECT_EQ(logLines(), (Lines{"feedback 42", "feedback 0", "feedback 42"}));
    EXPECT_EQ(a->parameterDisplay(10), "42.00");

    clearLog();
    a->sendMidi(cc(1, 102, 3));
    b->sendMidi(cc(1, 103, 3));
    b->sendMidi(cc(1, 103, 5));
    a->sendMidi(cc(1, 103, 6));
    EXPECT_EQ(logLines(), (Lines{"flag true false", "flag false false", "flag false true"}));

    // A non-number offset counts as 0; neither instance has offset 0.
    a->sendMidi(cc(1, 104, 0));
    a->setParameter(15, 0.0f);
    a->sendMidi(cc(1, 104, 0));
    EXPECT_EQ(a->parameterDisplay(9), "0.123");
    EXPECT_NE(b->parameterDisplay(9), "0.123");

    // An instance that is gone is no longer found.
    clearLog();
    a.reset();
    b->sendMidi(cc(1, 101, 0));
    EXPECT_EQ(logLines(), (Lines{"feedback 0"}));
}

// Scripts write through the same entry as everybody: values far outside the
// range are clamped, on this instance and on others; the speeds whose
// default 0 means "off" may still be set to 0.
TEST_F(MidiScripts, ValuesOutsideTheRangeAreClamped) {
    writeScript("clamp.lua", std::string(kTry) + R"(
requestCC(100, function(c, n, v)
  setParameter('Feedback', 1e30); log(getParameter('Feedback'))
  setParameter('Bias', -2); log(getParameter('Bias'))
  setParameter('Effect Level', 3.5); log(getParameter('Effect Level'))
  setParameter('Speed (coarse)', 0); log(getParameter('Speed (coarse)'))
  setParameter('Speed (coarse)', -1); log(getParameter('Speed (coarse)'))
  tryStd(function() setParameter('Feedback', 1e300) end); log(getParameter('Feedback'))
end)
requestCC(101, function(c, n, v) setOthersParameter(v, 'Feedback', -1e30) end)
requestCC(102, function(c, n, v) tryStd(function() setOthersParameter(v, 'Feedback', 0/0) end) end)
)");
    auto a = load();
    auto b = load();
    ASSERT_TRUE(a && b);
    b->setParameter(15, 0.05f); // offset 5
    a->sendMidi(cc(1, 100, 0));
    EXPECT_EQ(logLines(),
              (Lines{"100", "0", "1", "0", "10", "bad argument #2 to 'setParameter' (finite number expected)", "100"}));
    EXPECT_EQ(a->parameterDisplay(10), "100.0");

    clearLog();
    b->setParameter(10, 0.5f);
    a->sendMidi(cc(1, 102, 5));
    EXPECT_EQ(b->parameterDisplay(10), "0.000");
    a->sendMidi(cc(1, 101, 5));
    EXPECT_EQ(b->parameterDisplay(10), "-100.000");
    EXPECT_EQ(logLines(), (Lines{"bad argument #3 to 'setOthersParameter' (finite number expected)"}));
}

} // namespace

// The registry is within a script's reach; the functions must not read their
// host from it.  A script that empties it or plants its own values there
// still gets working functions, not a host that reads stray memory.
TEST_F(MidiScripts, ScriptsCannotMisleadTheFunctionsThroughTheRegistry) {
    writeScript("registry.lua", R"(
local registry = debug.getregistry()
for key, value in pairs(registry) do
  if type(key) == 'userdata' then registry[key] = newTable or {} end
end
requestNoteOn(1, function()
  for key in pairs(registry) do
    if type(key) == 'userdata' then registry[key] = nil end
  end
  setParameter('Bias', 0.5)
  log('bias', getParameter('Bias'))
end)
)");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    plugin->sendMidi(noteOn(1, 1, 100));
    ASSERT_TRUE(waitForLine("bias 0.5")) << loadOutput;
}
