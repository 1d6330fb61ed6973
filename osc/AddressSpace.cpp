// The address space: what each received OSC message means.
//
// Lookup order: paths registered by scripts, then the fixed paths below
// (exact string equality, no wildcard expansion), then unhandledMessage.
// Arguments are read strictly in order; any error raised while a message is
// handled is printed as one "error while parsing message: " line and the
// next message is handled normally.  Nothing is sent back on an error.
// Values reach the program through the effect's one write entry, which
// clamps them to the parameter's range; one that is not a finite number is
// refused with an error line.
#include "core/Parameters.h"
#include "core/QrvMurmelo.h"
#include "murmelo/Version.h"
#include "osc/OSCHelper.h"
#include "osc/PacketCheck.h"
#include "osc/ScriptPaths.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace QV {

namespace {

using Args = osc::ReceivedMessageArgumentStream;

using murmelo::kVersionDot;
using murmelo::kVersionMajor;
using murmelo::kVersionMinor;

// Ids arrive as int32; negative ones are out of range too.
bool validId(osc::int32 id) { return static_cast<osc::uint32>(id) < static_cast<osc::uint32>(kOscParameters); }

std::string dottedQuad(unsigned long address) {
    char text[IpEndpointName::ADDRESS_STRING_LENGTH];
    IpEndpointName(address, 0).AddressAsString(text);
    return text;
}

// Addresses of junk may hold any byte: control characters are shown as '?'
// so that each error stays one line.
std::string printable(const char *address) {
    std::string s = address;
    for (char &c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return s;
}

// Reads "i id, s url, s reply path" and nothing else.
void readIdUrlPath(Args args, osc::int32 &id, const char *&url, const char *&path) {
    args >> id >> url >> path >> osc::EndMessage;
}

} // namespace

struct AddressSpace {
    using Handler = void (*)(OSCHelper &, const osc::ReceivedMessage &, const IpEndpointName &);
    struct Route {
        const char *path;
        Handler handler;
    };
    static const Route kRoutes[];

    static murmelo::QrvProgram &program(OSCHelper &h) { return *h.owner->currentProgram(); }

    // Sends one reply message built by fill to the endpoint text url.
    template <typename Fill> static void reply(OSCHelper &h, const char *url, const char *path, Fill fill) {
        OscPacket packet(path);
        fill(packet.args());
        packet.finish();
        h.send(h.replyEndpoint(url), packet);
    }

    static void ping(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        const char *url, *path;
        m.ArgumentStream() >> url >> path >> osc::EndMessage;
        const IpEndpointName to = h.replyEndpoint(url);
        std::unique_ptr<OscTransmitter> out = h.openTransmitter(to);
        const std::string self =
            "osc.udp://" + dottedQuad(out->localAddress()) + ":" + std::to_string(h.getActivePort());
        char version[32];
        std::snprintf(version, sizeof(version), "Murmelo %d.%d.%d", kVersionMajor, kVersionMinor, kVersionDot);
        OscPacket packet(path);
        packet.args() << self.c_str() << version;
        packet.finish();
        out->send(packet);
    }

    static void set(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        osc::int32 id;
        float value;
        m.ArgumentStream() >> id >> value >> osc::EndMessage;
        if (!validId(id)) throw osc::Exception("parameter id out of range in set");
        if (!h.owner->writeParameter(id, value, murmelo::ParameterRoad::Direct))
            throw osc::Exception("parameter value not finite in set");
    }

    static void get(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        osc::int32 id;
        const char *url, *path;
        readIdUrlPath(m.ArgumentStream(), id, url, path);
        if (!validId(id)) throw osc::Exception("parameter id out of range in get");
        reply(h, url, path, [&](osc::OutboundPacketStream &s) { s << id << program(h).getValue(id); });
    }

    static void getAll(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        const char *url, *path;
        m.ArgumentStream() >> url >> path >> osc::EndMessage;
        std::unique_ptr<OscTransmitter> out = h.openTransmitter(h.replyEndpoint(url));
        for (osc::int32 id = 0; id < kOscParameters; ++id) {
            if (!h.isParameterUsed(id)) continue;
            OscPacket packet(path);
            packet.args() << id << program(h).getValue(id);
            packet.finish();
            out->send(packet);
        }
    }

    static void getAllRegistered(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        m.ArgumentStream() >> osc::EndMessage;
        std::vector<std::pair<osc::int32, OSCHelper::Subscription>> all;
        {
            std::lock_guard<std::mutex> guard(h.updatesLock);
            all.assign(h.updates.begin(), h.updates.end());
        }
        for (const auto &[id, s] : all) {
            OscPacket packet(s.path.c_str());
            packet.args() << id << program(h).getValue(id);
            packet.finish();
            h.send(s.endpoint, packet);
        }
    }

    static void getNumParameters(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        const char *url, *path;
        m.ArgumentStream() >> url >> path >> osc::EndMessage;
        reply(h, url, path, [](osc::OutboundPacketStream &s) { s << static_cast<osc::int32>(kOscParameters); });
    }

    static void isParameterUsed(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        osc::int32 id;
        const char *url, *path;
        readIdUrlPath(m.ArgumentStream(), id, url, path);
        if (!validId(id)) throw osc::Exception("parameter id out of range in isParameterUsed");
        const bool used = h.isParameterUsed(id);
        reply(h, url, path, [&](osc::OutboundPacketStream &s) { s << id << used; });
    }

    static void getInfo(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        osc::int32 id;
        const char *url, *path;
        readIdUrlPath(m.ArgumentStream(), id, url, path);
        if (!validId(id)) throw osc::Exception("parameter id out of range in getInfo");
        if (!h.isParameterUsed(id)) throw osc::Exception("parameter id is unused");
        const murmelo::ParameterInfo &info = murmelo::parameterInfo(id);
        reply(h, url, path, [&](osc::OutboundPacketStream &s) {
            s << id << info.minimum << info.maximum << info.defaultValue << info.name
              << static_cast<osc::int32>(info.unit);
        });
    }

    static void registerUpdate(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        osc::int32 id;
        const char *url, *path;
        readIdUrlPath(m.ArgumentStream(), id, url, path);
        if (!validId(id)) throw osc::Exception("parameter id out of range in registerUpdate");
        const IpEndpointName endpoint = h.replyEndpoint(url);
        std::lock_guard<std::mutex> guard(h.updatesLock);
        auto range = h.updates.equal_range(id);
        for (auto it = range.first; it != range.second; ++it)
            if (it->second.endpoint == endpoint && it->second.path == path) return;
        h.updates.emplace(id, OSCHelper::Subscription{endpoint, path});
        h.registeredForUpdate[id].store(1, std::memory_order_relaxed);
    }

    static void unregisterUpdate(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        osc::int32 id;
        const char *url, *path;
        readIdUrlPath(m.ArgumentStream(), id, url, path);
        if (!validId(id)) throw osc::Exception("parameter id out of range in registerUpdate");
        const IpEndpointName endpoint = h.replyEndpoint(url);
        std::lock_guard<std::mutex> guard(h.updatesLock);
        auto range = h.updates.equal_range(id);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second.endpoint == endpoint && it->second.path == path) {
                h.updates.erase(it);
                break;
            }
        }
        if (h.updates.count(id) == 0) h.registeredForUpdate[id].store(0, std::memory_order_relaxed);
    }

    static LuaMIDIHelper &scripts(OSCHelper &h) {
        if (!h.midiHost) throw osc::Exception("no Lua support from OSC");
        return *h.midiHost;
    }

    // Reads the leading string arguments into strings.
    template <std::size_t N>
    static osc::ReceivedMessageArgumentIterator leadingStrings(const osc::ReceivedMessage &m,
                                                               const char *(&strings)[N]) {
        osc::ReceivedMessageArgumentIterator a = m.ArgumentsBegin();
        for (const char *&s : strings) {
            if (a == m.ArgumentsEnd()) throw osc::MissingArgumentException();
            s = (a++)->AsString();
        }
        return a;
    }

    static void exec(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        LuaMIDIHelper &host = scripts(h);
        const char *name[1];
        const auto first = leadingStrings(m, name);
        execScriptFunction(host, name[0], first, m.ArgumentsEnd());
    }

    static void call(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        LuaMIDIHelper &host = scripts(h);
        const char *nameUrlPath[3];
        const auto first = leadingStrings(m, nameUrlPath);
        OscPacket packet(nameUrlPath[2]);
        callScriptFunction(host, nameUrlPath[0], first, m.ArgumentsEnd(), packet.args());
        packet.finish();
        h.send(h.replyEndpoint(nameUrlPath[1]), packet);
    }

    static void startNote(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        playScriptNote(h.midiHost, m, true);
    }

    static void stopNote(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &) {
        playScriptNote(h.midiHost, m, false);
    }

    // A path registered by scripts: exactly as many floats as the first
    // registration has entries, applied through every registration.  Every
    // scaled value is checked before any is written, so a message with one
    // value that is not finite changes nothing.
    static bool registeredPath(OSCHelper &h, const osc::ReceivedMessage &m) {
        std::vector<std::vector<OscPathTarget>> registrations;
        {
            std::lock_guard<std::mutex> guard(h.pathsLock);
            auto range = h.paths.equal_range(m.AddressPattern());
            for (auto it = range.first; it != range.second; ++it)
                registrations.push_back(it->second);
        }
        if (registrations.empty()) return false;
        const std::size_t n = registrations.front().size();
        std::vector<float> values(n);
        Args args = m.ArgumentStream();
        for (float &v : values)
            args >> v;
        args >> osc::EndMessage;
        std::vector<std::pair<int, float>> writes;
        for (const auto &targets : registrations)
            for (std::size_t i = 0; i < n && i < targets.size(); ++i)
                writes.emplace_back(targets[i].index, values[i] * targets[i].scale + targets[i].offset);
        for (const auto &w : writes)
            if (!std::isfinite(w.second)) throw osc::Exception("parameter value not finite in registered path");
        for (const auto &w : writes)
            h.owner->writeParameter(w.first, w.second, murmelo::ParameterRoad::Direct);
        return true;
    }

    static void dispatch(OSCHelper &h, const osc::ReceivedMessage &m, const IpEndpointName &from) {
        if (registeredPath(h, m)) return;
        const char *address = m.AddressPattern();
        for (const Route *r = kRoutes; r->path; ++r) {
            if (std::strcmp(r->path, address) == 0) {
                r->handler(h, m, from);
                return;
            }
        }
        h.unhandledMessage(address, m, from);
    }
};

const AddressSpace::Route AddressSpace::kRoutes[] = {
    {"/ping", ping},
    {"/set", set},
    {"/get", get},
    {"/getAll", getAll},
    {"/getAllRegistered", getAllRegistered},
    {"/getNumParameters", getNumParameters},
    {"/isParameterUsed", isParameterUsed},
    {"/getInfo", getInfo},
    {"/registerUpdate", registerUpdate},
    {"/unregisterUpdate", unregisterUpdate},
    {"/exec", exec},
    {"/call", call},
    {"/startNote", startNote},
    {"/stopNote", stopNote},
    {nullptr, nullptr},
};

bool OSCHelper::isBuiltInPath(const char *path) {
    for (const AddressSpace::Route *r = AddressSpace::kRoutes; r->path; ++r)
        if (std::strcmp(r->path, path) == 0) return true;
    return false;
}

void OSCHelper::ProcessMessage(const osc::ReceivedMessage &m, const IpEndpointName &remoteEndpoint) {
    // Socket failures while replying are this message's failure, not the
    // server's: only the listening socket's own failure ends a run.
    try {
        AddressSpace::dispatch(*this, m, remoteEndpoint);
    } catch (const std::exception &e) {
        std::string text = e.what();
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        oscPrint("error while parsing message: %s: %s\n", printable(m.AddressPattern()).c_str(), text.c_str());
    }
}

void OSCHelper::ProcessPacket(const char *data, int size, const IpEndpointName &remoteEndpoint) {
    if (size < 0) return;
    try {
        if (const char *malformed = checkOscPacket(data, static_cast<std::size_t>(size)))
            throw osc::MalformedPacketException(malformed);
        osc::OscPacketListener::ProcessPacket(data, size, remoteEndpoint);
    } catch (const std::exception &e) {
        // The packet could not be walked: name its address when it is a
        // message whose address can be read.
        const void *end = size > 0 && data[0] == '/' ? std::memchr(data, 0, static_cast<std::size_t>(size)) : nullptr;
        if (end)
            oscPrint("error while parsing message: %s: %s\n", printable(data).c_str(), e.what());
        else
            oscPrint("error while parsing packet: %s\n", e.what());
    }
}

} // namespace QV
