#include "midi/LuaMIDIHelper.h"

#include "core/Parameters.h"
#include "core/Resources.h"
#include "core/UserFolders.h"
#include "lua/LuaSupport.h"
#include "midi/LuaMIDIApi.h"

#include <cstring>
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

namespace QV {

const char LuaMIDIHelper::kRefcon[] = "QV::LuaMIDIHelper::kRefcon";
const char LuaMIDIHelper::kParamLookup[] = "QV::LuaMIDIHelper::kParamLookup";
const char LuaMIDIHelper::kTimerMetatable[] = "QV::LuaMIDIHelper::Timer";

namespace {

constexpr char kDefaultScriptName[] = "midi.lua";

// True when the file name (after the last separator) starts with "midi.lua".
bool isUserMidiScript(const std::string &path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.compare(0, 8, kDefaultScriptName) == 0;
}

} // namespace

LuaMIDIHelper::LuaMIDIHelper(murmelo::QrvMurmelo *owner) : owner(owner), timerQueue(new platform::TimerQueue) {}

LuaMIDIHelper::~LuaMIDIHelper() {
    stopTimers();
    std::lock_guard<std::recursive_mutex> guard(luaLock);
    paramLookup.reset();
    if (state) lua_close(state);
    state = nullptr;
}

LuaMIDIHelper *LuaMIDIHelper::fromState(lua_State *L) {
    return static_cast<LuaMIDIHelper *>(ScriptBudget::pointer(L, kRefcon));
}

bool LuaMIDIHelper::isParameterUsed(int) { return true; }

lua_State *LuaMIDIHelper::getLuaState() {
    std::lock_guard<std::recursive_mutex> guard(luaLock);
    if (!state) createState();
    return state;
}

void LuaMIDIHelper::createState() {
    lua_State *L = budget.newState();
    if (!L) {
        reportScriptProblem("failed to create the MIDI interpreter\n");
        return;
    }
    // Set up inside a protected call so that running out of memory on the
    // way is an error we can report rather than a panic.
    if (lua_cpcall(L, setUpState, this) != 0) {
        reportScriptProblem("failed to set up the MIDI interpreter: %s\n", errorText(L, -1));
        lua_close(L);
        paramLookup.reset();
        return;
    }
    state = L;
    runScripts();
}

int LuaMIDIHelper::setUpState(lua_State *L) {
    auto *self = static_cast<LuaMIDIHelper *>(lua_touserdata(L, 1));
    luaL_openlibs(L);
    // The interpreter runs __gc metamethods with hooks off, so an endless
    // one could not be stopped; newproxy is the only way a script makes one.
    lua_pushnil(L);
    lua_setglobal(L, "newproxy");
    registerPrint(L);
    registerMidiApi(L);
    if (self->scriptExtension) self->scriptExtension(L);
    luaL_newmetatable(L, kTimerMetatable);
    lua_pop(L, 1);
    ScriptBudget::setPointer(L, kRefcon, self);
    self->paramLookup.reset(new std::map<std::string, int>);
    for (int i = 0; i < murmelo::kNumParameters; ++i)
        (*self->paramLookup)[murmelo::parameterInfo(i).name] = i;
    ScriptBudget::setPointer(L, kParamLookup, self->paramLookup.get());
    setHostGlobals(L);
    self->budget.attach(L);
    return 0;
}

namespace {

// Loads the script at path as luaL_loadfile does ("@path" names the chunk; a
// first line starting with '#' is skipped but still counted), but reads the
// file through our own file layer: paths are UTF-8, which the C library's
// fopen on Windows would take for the ANSI code page.  A file that cannot
// be read leaves "cannot read <path>" and gives LUA_ERRFILE.
int loadScriptFile(lua_State *L, const std::string &path) {
    const murmelo::DataBuffer file = murmelo::readFile(path);
    if (!file.data()) {
        lua_pushfstring(L, "cannot read %s", path.c_str());
        return LUA_ERRFILE;
    }
    const std::string name = "@" + path;
    const char *text = file.chars();
    std::size_t size = file.length();
    if (size > 0 && text[0] == '#') {
        // The rest from the first line's end on, so the next line is line 2.
        const void *lineEnd = std::memchr(text, '\n', size);
        const std::size_t skipped =
            lineEnd ? static_cast<std::size_t>(static_cast<const char *>(lineEnd) - text) : size;
        text += skipped;
        size -= skipped;
    }
    return luaL_loadbuffer(L, text, size, name.c_str());
}

} // namespace

// The embedded default script unless the user has a "midi.lua", then every
// user script in the order the folder lists them.
void LuaMIDIHelper::runScripts() {
    std::vector<std::string> paths;
    murmelo::listScripts(paths);
    bool userMidi = false;
    for (const std::string &p : paths)
        userMidi = userMidi || isUserMidiScript(p);
    if (!userMidi) {
        const murmelo::DataBuffer script = murmelo::loadResource(murmelo::kResourceMidiLua);
        runChunk("buffer",
                 luaL_loadbuffer(state, script.chars() ? script.chars() : "", script.length(), kDefaultScriptName));
    }
    for (const std::string &p : paths)
        runChunk("file", loadScriptFile(state, p));
}

// Runs the chunk just loaded (loadStatus 0) with no arguments and no results;
// a failure to load or run is reported and the host goes on.
void LuaMIDIHelper::runChunk(const char *what, int loadStatus) {
    lua_State *L = state;
    ScriptBudget::Outcome outcome;
    const int status = loadStatus == 0 ? budget.call(L, 0, 0, &outcome) : loadStatus;
    if (status == 0) return;
    reportScriptProblem("failed to run %s: %s\n", what, outcome.stopped() ? outcome.text : errorText(L, -1));
    lua_pop(L, 1); // the error object; the stack is as it was before the load
}

int LuaMIDIHelper::protectedCall(int nargs, int nresults) {
    int status;
    {
        std::lock_guard<std::recursive_mutex> guard(luaLock);
        ScriptBudget::Outcome outcome;
        status = budget.call(state, nargs, nresults, &outcome);
        if (outcome.stopped()) reportScriptProblem("an OSC call: %s\n", outcome.text);
    }
    reportDroppedMidi();
    return status;
}

} // namespace QV
