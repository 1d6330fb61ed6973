// Murmelo's MIDI scripting host: keeps the eight indicator flags in the
// effect's displayState block, one byte (0 or 1) each.
#pragma once

#include "midi/LuaMIDIHelper.h"

namespace murmelo {

class MurmeloLuaMIDIHelper : public QV::LuaMIDIHelper {
public:
    explicit MurmeloLuaMIDIHelper(QrvMurmelo *owner);
    ~MurmeloLuaMIDIHelper() override;

    // [any] ids 0..7; the script functions check the range.
    void setGUIBoolValue(int id, bool flag) override;
    bool getGUIBoolValue(int id) override;
};

} // namespace murmelo
