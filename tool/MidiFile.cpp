#include "tool/MidiFile.h"

#include <cmath>
#include <glib.h>
#include <smf.h>

namespace tool {

const bool kReadsMidiFiles = true;

namespace {

// Status bytes 0x80..0xEF with their data bytes.
bool isChannelMessage(const smf_event_t *e) {
    if (!e->midi_buffer || e->midi_buffer_length < 2 || e->midi_buffer_length > 3) return false;
    const unsigned char status = e->midi_buffer[0];
    return status >= 0x80 && status < 0xF0;
}

// libsmf reports through glib's log; keep its last message for our error
// instead of letting it print on its own.
void collectMessage(const gchar *, GLogLevelFlags, const gchar *message, gpointer data) {
    *static_cast<std::string *>(data) = message ? message : "";
}

} // namespace

bool readMidiFile(const std::string &path, double sampleRate, std::vector<TimedMidi> &events, std::string &error) {
    std::string reason;
    const guint handler = g_log_set_handler("libsmf", G_LOG_LEVEL_MASK, collectMessage, &reason);
    smf_t *smf = smf_load(path.c_str());
    g_log_remove_handler("libsmf", handler);
    if (!smf) {
        error = "cannot read the MIDI file " + path + (reason.empty() ? "" : " (" + reason + ")");
        return false;
    }
    events.clear();
    smf_rewind(smf);
    while (smf_event_t *e = smf_get_next_event(smf)) {
        if (smf_event_is_metadata(e) || !isChannelMessage(e)) continue;
        TimedMidi m{static_cast<std::int64_t>(std::floor(e->time_seconds * sampleRate)), {0, 0, 0}};
        for (int i = 0; i < e->midi_buffer_length; ++i)
            m.bytes[i] = e->midi_buffer[i];
        events.push_back(m);
    }
    smf_delete(smf);
    return true;
}

} // namespace tool
