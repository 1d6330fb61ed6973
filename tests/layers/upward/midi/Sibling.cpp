// midi/ sits below osc/: the OSC server adds its functions to the MIDI
// interpreter, never the other way round.
#include "osc/OscLuaApi.h"
