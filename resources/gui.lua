-- Murmelo's default editor layout (embedded file 135).
--
-- A skin replaces this file with its own Contents/Resources/gui.lua.  The
-- editor calls getWindowSize when the plug-in starts, the three font
-- functions and createUI each time the editor opens.  Coordinates are
-- window pixels from the bottom-left corner, y upwards.

function getWindowSize()
  return 520, 256
end

-- Each font function lists candidates; the first one found is used.
function getFont()
  if isMac then
    return { { name = "GillSans.dfont", size = 14 }, { name = "Monaco.dfont", size = 12 } }
  end
  return { { name = "tahoma.ttf", size = 14 }, { name = "arial.ttf", size = 12 } }
end

function getLabelFont()
  if isMac then
    return { { name = "GillSans.dfont", size = 11 }, { name = "Monaco.dfont", size = 9 } }
  end
  return { { name = "tahoma.ttf", size = 11 }, { name = "arial.ttf", size = 9 } }
end

function getTextFieldFont()
  if isMac then
    return { { name = "GillSans.dfont", size = 12 }, { name = "Monaco.dfont", size = 10 } }
  end
  return { { name = "tahoma.ttf", size = 12 }, { name = "arial.ttf", size = 10 } }
end

function createUI()
  local kKnobSize = 35
  local kKnobSpace = 50
  local kTextFieldH = 12
  local pad = 10.0
  local ww, wh = getWindowSize()

  -- One column: a knob above a text field whose label sits below it.
  local function knobAndTextField(g, param, label, x, y)
    local size = kKnobSize
    local knobX = x + 0.5 * (kKnobSize - size)
    g:add(knob(param, "", knobX, y + kTextFieldH + 1, size))
    g:add(textField(param, label, x, y, kKnobSize, kTextFieldH, "below"))
  end

  -- A titled group with one column per { parameter, label } pair.
  local function makeGroup(title, columns)
    local g = group(title)
    for i, column in ipairs(columns) do
      knobAndTextField(g, column[1], column[2], (i - 1) * kKnobSpace, 0)
    end
    return g
  end

  setBackgroundColour(0.5, 0.1, 0.1)
  setBannerPosition(wh - 20)
  setGroupActiveColour(0.5, 0.6, 0.7, 0.6)
  setGroupInactiveColour(0.4, 0.4, 0.6, 0.5)

  mixGroup = makeGroup("Mix", { { "Dry Level", "Dry" }, { "Effect Level", "Wet" } })
  speedGroup = makeGroup("Speed", { { "Speed (superfine)", "Superfine" }, { "Speed (fine)", "Fine" },
                                    { "Speed (coarse)", "Coarse" } })
  depthGroup = makeGroup("Depth", { { "Depth (fine)", "Fine" }, { "Depth (coarse)", "Coarse" } })
  shapeGroup = makeGroup("Shape", { { "Shape", "Shape" }, { "Spread", "Spread" } })
  chorusGroup = makeGroup("Chorus/Flange", { { "Bias", "Bias" }, { "Feedback", "Feedback" } })
  speedLfoGroup = makeGroup("Speed LFO", { { "Speed LFO Speed", "Speed" }, { "Speed LFO Depth", "Depth" } })
  depthLfoGroup = makeGroup("Depth LFO", { { "Depth LFO Speed", "Speed" }, { "Depth LFO Depth", "Depth" } })
  oscGroup = makeGroup("OSC", { { "OSC Port Offset", "Port" } })

  xbase = 20
  ybase = 20 + 10
  xbase1 = xbase + speedGroup:width() + pad
  xbase2 = xbase1 + mixGroup:width() + pad
  xbase3 = xbase2 + chorusGroup:width() + pad
  ybase1 = ybase + speedLfoGroup:height() + pad
  ybase2 = ybase1 + speedGroup:height() + pad

  speedLfoGroup:setPosition(xbase, ybase)
  speedGroup:setPosition(xbase, ybase1)
  depthLfoGroup:setPosition(xbase1, ybase)
  depthGroup:setPosition(xbase1, ybase1)
  chorusGroup:setPosition(xbase2, ybase)
  shapeGroup:setPosition(xbase2, ybase1)
  mixGroup:setPosition(xbase3, ybase1)
  oscGroup:setPosition(xbase3, ybase)

  x = xbase3
  y = ybase2 - 10
  add(button("Prefs", "Prefs", x, y, 90, 30))

  x = xbase
  y = y + 10
  add(infoDisplay(x, y, 100, 40))
end
