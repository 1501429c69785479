-- Run by tests/x11/ardour-host (and ardour-editor) inside Ardour's headless Lua session tool:
-- Rhythmoria in a session on Ardour's dummy audio backend, its parameters set through Ardour,
-- blocks run with the transport rolling. Each check prints one "ok" line; any failure stops with
-- an error.
local folder = assert(os.getenv("RHYTHMORIA_ARDOUR_SESSION"), "no session folder")

assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no dummy backend")
if os.getenv("RHYTHMORIA_ARDOUR_RELOAD") then
  -- The saved session again: Ardour gives the plug-in back its state.
  assert(load_session(folder, "rhythmoria"), "the saved session does not load")
  local route = Session:route_by_name("Rhythm")
  assert(not route:isnil(), "no Rhythm bus")
  local plugin = route:nth_plugin(0)
  assert(not plugin:isnil(), "the session lost Rhythmoria")
  local tempo = ARDOUR.LuaAPI.get_processor_param(plugin, 2, true)
  assert(math.abs(tempo - 0.25) < 1e-3, "tempo came back as " .. tostring(tempo))
  print("ok reloaded", tempo)
  return
end
assert(create_session(folder, "rhythmoria", 48000), "no session")
assert(AudioEngine:running(), "the engine does not run")

local found = nil
for p in ARDOUR.LuaAPI.list_plugins():iter() do
  if p.type == ARDOUR.PluginType.LXVST and p.name == "Rhythmoria" then found = p end
end
assert(found, "Ardour's plug-in list has no Rhythmoria")
print("ok listed", found.name, found.creator, found.category, found.unique_id)

local routes = Session:new_audio_route(2, 2, nil, 1, "Rhythm", ARDOUR.PresentationInfo.Flag.AudioBus,
                                       ARDOUR.PresentationInfo.max_order)
local route = routes:front()
local plugin = ARDOUR.LuaAPI.new_plugin(Session, "Rhythmoria", ARDOUR.PluginType.LXVST, "")
assert(not plugin:isnil(), "Rhythmoria did not load")
assert(route:add_processor_by_index(plugin, 0, nil, true) == 0, "Rhythmoria could not be inserted")
local vst = plugin:to_insert():plugin(0)
print("ok inserted", vst:name(), vst:parameter_count())

if os.getenv("RHYTHMORIA_ARDOUR_EDITOR") then
  -- The session as a user would have it for Ardour's GUI: the plug-in untouched, and the ids its
  -- editor window is remembered under.
  Session:save_state("", false, false, false, false, false)
  print("ids", route:to_stateful():id():to_s(), plugin:to_stateful():id():to_s())
  return
end

-- Tempo through Ardour's control, read back from the plug-in.
assert(ARDOUR.LuaAPI.set_processor_param(plugin, 2, 0.25), "tempo not set")
local tempo = ARDOUR.LuaAPI.get_processor_param(plugin, 2, true)
assert(math.abs(tempo - 0.25) < 1e-3, "tempo reads back as " .. tostring(tempo))
print("ok parameter", vst:parameter_label(2), tempo)

-- Rolling: Ardour's process thread runs the plug-in's blocks while notes arrive from this thread.
Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
local insert = plugin:to_insert()
for note = 36, 50 do
  local parser = ARDOUR.RawMidiParser()
  parser:process_byte(0x90)
  parser:process_byte(note)
  if parser:process_byte(100) then
    insert:write_immediate_event(Evoral.EventType.MIDI_EVENT, parser:buffer_size(), parser:midi_buffer())
  end
  ARDOUR.LuaAPI.usleep(100000)
end
assert(Session:transport_rolling(), "the transport does not roll")
local played = Session:transport_sample()
assert(played > 24000, "only " .. played .. " samples played")
print("ok rolled", played)
Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(300000)

-- Ardour keeps the plug-in's state (its chunk) in the session file.
Session:save_state("", false, false, false, false, false)
route:remove_processor(plugin, nil, true)
plugin = nil
vst = nil
insert = nil
collectgarbage()
print("ok removed")
