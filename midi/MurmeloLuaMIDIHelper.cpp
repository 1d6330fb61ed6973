#include "midi/MurmeloLuaMIDIHelper.h"

#include "core/QrvMurmelo.h"

namespace murmelo {

MurmeloLuaMIDIHelper::MurmeloLuaMIDIHelper(QrvMurmelo *owner) : LuaMIDIHelper(owner) {}

// Timer callbacks may still be calling the overrides below: end them first.
MurmeloLuaMIDIHelper::~MurmeloLuaMIDIHelper() { stopTimers(); }

void MurmeloLuaMIDIHelper::setGUIBoolValue(int id, bool flag) {
    if (id < 0 || id >= 8) return;
    getOwner()->display().guiFlags[id].store(flag ? 1 : 0, std::memory_order_relaxed);
}

bool MurmeloLuaMIDIHelper::getGUIBoolValue(int id) {
    if (id < 0 || id >= 8) return false;
    return getOwner()->display().guiFlags[id].load(std::memory_order_relaxed) != 0;
}

} // namespace murmelo
