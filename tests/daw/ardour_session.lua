-- Run by ardour7-lua for the Ardour test (tests/daw/ardour_test.py).
--
-- MURMELO_STEP=build: a new session with the dummy audio backend, one stereo
-- track with Murmelo inserted, the factory program MURMELO_PROGRAM loaded
-- through Ardour's own preset list, saved.
-- MURMELO_STEP=reload: opens the saved session again, as a user would.
--
-- Both steps print what Ardour sees as tab-separated lines (PRESET, PARAM,
-- VALUE) for the test to check, and "DONE" when everything went through.
io.stdout:setvbuf("no")

local dir = assert(os.getenv("MURMELO_SESSION_DIR"), "MURMELO_SESSION_DIR not set")
local name = assert(os.getenv("MURMELO_SESSION_NAME"), "MURMELO_SESSION_NAME not set")
local step = os.getenv("MURMELO_STEP") or "build"
local track_name = "Murmelo"

local function fail(text)
  print("FAIL\t" .. text)
  os.exit(1)
end

-- Ardour connects a new track to the master bus from a background thread;
-- connect it here so the export never depends on that thread's timing.
local function connect_to_master(track)
  local master_in = Session:master_out():input()
  for i = 0, 1 do
    local port = track:output():audio(i)
    local target = master_in:audio(i):name()
    if not port:connected_to(target) then port:connect(target) end
  end
end

local function print_plugin(proc)
  local plugin = proc:to_insert():plugin(0)
  for preset in plugin:get_info():get_presets(false):iter() do
    print("PRESET\t" .. preset.label)
  end
  for i = 0, plugin:parameter_count() - 1 do
    print(string.format("PARAM\t%d\t%s", i, plugin:parameter_label(i)))
    local value = ARDOUR.LuaAPI.get_processor_param(proc, i, true)
    print(string.format("VALUE\t%d\t%.9g", i, value))
  end
end

local function build()
  if not create_session(dir, name, 48000) then fail("cannot create the session") end
  local tracks = Session:new_audio_track(2, 2, nil, 1, track_name, ARDOUR.PresentationInfo.max_order,
                                         ARDOUR.TrackMode.Normal, true)
  if tracks:size() ~= 1 then fail("cannot create the track") end
  local track = tracks:front()
  local proc = ARDOUR.LuaAPI.new_plugin(Session, "Murmelo", ARDOUR.PluginType.LXVST, "")
  if proc:isnil() then fail("Ardour does not know the plug-in Murmelo") end
  if track:add_processor_by_index(proc, 0, nil, true) ~= 0 then fail("cannot insert the plug-in") end
  local plugin = proc:to_insert():plugin(0)
  local wanted = os.getenv("MURMELO_PROGRAM") or "Chorusy"
  local preset = plugin:preset_by_label(wanted)
  if not preset then fail("no preset named " .. wanted) end
  if not plugin:load_preset(preset) then fail("cannot load the preset " .. wanted) end
  print("LOADED\t" .. plugin:last_preset().label)
  print_plugin(proc)
  connect_to_master(track)
  if Session:save_state("", false, false, false, false, false) ~= 0 then fail("cannot save") end
end

local function reload()
  if not load_session(dir, name) then fail("cannot load the session") end
  local track = Session:route_by_name(track_name)
  if track:isnil() then fail("the track is gone") end
  local proc = track:nth_plugin(0)
  if proc:isnil() then fail("the plug-in is gone") end
  print_plugin(proc)
end

AudioEngine:set_backend("None (Dummy)", "", "")
if step == "build" then build() else reload() end
close_session()
print("DONE")
