// A core header that reaches up into the editor and the MIDI host: both
// lines must be reported.
#pragma once
#include "gui/Editor.h"
#include "midi/LuaMIDIHelper.h"
