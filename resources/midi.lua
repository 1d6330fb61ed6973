-- Murmelo's default MIDI script.
--
-- Gives every used parameter a MIDI controller number, in parameter order,
-- skipping the controllers that have other jobs (mod wheel 1, volume 7,
-- pan 10, sustain 64, and the NRPN controllers 99, 98, 6 and 38), and turns
-- the controller's value 0..127 into a value in the parameter's range:
--
--   CC  0 Dry Level          CC  9 Depth (coarse)     CC 15 Speed LFO Speed
--   CC  2 Effect Level       CC 11 Shape              CC 16 Speed LFO Depth
--   CC  3 Speed (superfine)  CC 12 Spread             CC 17 Depth LFO Speed
--   CC  4 Speed (fine)       CC 13 Bias               CC 18 Depth LFO Depth
--   CC  5 Speed (coarse)     CC 14 Feedback           CC 19 OSC Port Offset
--   CC  8 Depth (fine)
--
-- Ranges around zero put 0 at controller value 64; speeds in hertz sweep
-- exponentially; indexed values are rounded.  Controllers of every channel
-- are heard.

local ccScale = 1 / 127
local ccScale1 = 1 / 128
local ccScale2 = 0.5 / 63

local UNIT_INDEXED = 1
local UNIT_BOOLEAN = 2
local UNIT_HERTZ = 8
local UNIT_BEATS = 23

local avoided = {
  [1] = true, [7] = true, [10] = true, [64] = true,
  [99] = true, [98] = true, [6] = true, [38] = true,
}

-- controller number -> parameter index
local ccMap = {}
do
  local cc = -1
  for i = 0, getNumParameters() - 1 do
    if isParameterUsed(i) then
      cc = cc + 1
      while avoided[cc] do
        cc = cc + 1
      end
      ccMap[cc] = i
    end
  end
end

-- 0..127 to 0..1; ranges around zero map 64 to exactly 0.5.  Beats keep
-- the raw controller value.
local function normalise(value, minv, maxv, unit)
  if minv < 0 and maxv > 0 then
    if value <= 64 then
      return value * ccScale1
    end
    return 0.5 + (value - 64) * ccScale2
  end
  if unit == UNIT_BEATS then
    return value
  end
  return value * ccScale
end

local function toParameterValue(value, minv, maxv, unit)
  if unit == UNIT_HERTZ then
    return minv * 2 ^ (math.log(maxv / minv) * 1.4426950409 * value)
  elseif unit == UNIT_BEATS then
    return value + 1
  elseif unit == UNIT_BOOLEAN then
    if value > 0 then
      return 1
    end
    return 0
  elseif unit == UNIT_INDEXED then
    return math.floor(minv + (maxv - minv) * value + 0.5)
  end
  return minv + (maxv - minv) * value
end

requestAllCC(function(channel, cc, value)
  local param = ccMap[cc]
  if param == nil then
    return
  end
  local minv, maxv = getParameterMinMax(param)
  local unit = getParameterUnit(param)
  local v = normalise(value, minv, maxv, unit)
  setParameter(param, toParameterValue(v, minv, maxv, unit))
end)
