#!/usr/bin/env python3
"""Murmelo inside Ardour 7, headless, the way a user works with it.

Usage: ardour_test.py PATH/TO/murmelo.so

Scans the plug-in with Ardour's own scanner, builds a session with
ardour7-lua (dummy audio backend, one stereo track, Murmelo inserted, a
factory program loaded from Ardour's preset list), puts a region of a
generated dry file on the track, exports the session with ardour7-export
and checks the result: finite, not silent, not the dry input.  Everything
happens under a scratch HOME that is removed afterwards (kept when
MURMELO_KEEP_SCRATCH is set).  Exits 77 (skipped) when Ardour 7 is not
installed.
"""
import math
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import wave
import xml.etree.ElementTree as ET

from wavfile import read_wav

SKIP = 77
SCANNER = "/usr/lib/ardour7/ardour-vst-scanner"
ARDOUR_LIBS = "/usr/lib/ardour7"
RATE = 48000
SECONDS = 3
SESSION = "murmelo"
PROGRAM = "Chorusy"
# Ardour 7 keeps positions and lengths in superclock ticks.
SUPERCLOCK_RATE = 282240000

PARAMETER_NAMES = [
    "Dry Level", "Effect Level", "Speed (superfine)", "Speed (fine)",
    "Speed (coarse)", "Depth (fine)", "Depth (coarse)", "Shape", "Spread",
    "Bias", "Feedback", "Speed LFO Speed", "Speed LFO Depth",
    "Depth LFO Speed", "Depth LFO Depth", "OSC Port Offset",
]
PROGRAM_NAMES = [
    "Defaults", "Wobbly", "Ensemble", "Opposites", "Watch Out", "Mangly",
    "Some Depth LFO", "Some Speed LFO", "Chorusy", "Flangey", "Simple Delay",
    "Wobbly Delay", "More Mangly", "Play with the Coarse Speed",
    "All Over The Place", "Drunken Dub", "Tight Flange", "Thicker",
]
# Normalised values of Chorusy's linear parameters (index: value), which
# Ardour must read back after loading the program and after reloading the
# session: Dry Level, Effect Level, Depth (fine) 4.1 of 10, Spread, Bias,
# Feedback 21 of -100..100, Depth LFO Depth 0.425 of 5.
CHORUSY_NORMALISED = {0: 0.76, 1: 0.945, 5: 0.41, 8: 0.405, 9: 1.0, 10: 0.605, 14: 0.085}


class Failure(Exception):
    pass


def check(condition, text):
    if not condition:
        raise Failure(text)


def ardour_missing():
    tools = [SCANNER, shutil.which("ardour7-lua"), shutil.which("ardour7-export")]
    return not all(t and os.access(t, os.X_OK) for t in tools)


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Scratch:
    """A private HOME, VST folder and session folder for one run."""

    def __init__(self, plugin):
        self.root = tempfile.mkdtemp(prefix="murmelo-ardour-")
        self.home = os.path.join(self.root, "home")
        self.vst = os.path.join(self.root, "vst")
        self.session = os.path.join(self.root, "session")
        os.makedirs(self.vst)
        config = os.path.join(self.home, ".config")
        # The plug-in's own settings: an OSC base port nobody else uses, so
        # the instance Ardour makes never meets the other tests' servers.
        os.makedirs(os.path.join(config, "Quorvane"))
        with open(os.path.join(config, "Quorvane", "com.quorvane.murmelo.ini"), "w") as f:
            f.write("OSC Base Port = %d\n" % free_udp_port())
        self.env = dict(os.environ)
        self.env.update(HOME=self.home, XDG_CONFIG_HOME=config,
                        XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                        XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                        LXVST_PATH=self.vst, VST_PATH=self.vst)
        self.env.pop("DISPLAY", None)
        self.plugin = self.install(plugin)

    def install(self, plugin):
        """Copies the plug-in into the VST folder, a minute in the past:
        Ardour trusts its scan cache only when it is newer than the file."""
        target = os.path.join(self.vst, "murmelo.so")
        shutil.copyfile(plugin, target)
        past = time.time() - 60
        os.utime(target, (past, past))
        return target

    def run(self, what, args, extra_env=None, timeout=240):
        env = dict(self.env, **(extra_env or {}))
        try:
            done = subprocess.run(args, env=env, cwd=self.root, timeout=timeout,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired as e:
            raise Failure("%s: no answer after %d s\n%s" % (what, timeout, (e.output or b"").decode(errors="replace")))
        out = done.stdout.decode(errors="replace")
        if done.returncode < 0:
            raise Failure("%s: killed by %s\n%s" % (what, signal.Signals(-done.returncode).name, out))
        if done.returncode != 0:
            raise Failure("%s: exit status %d\n%s" % (what, done.returncode, out))
        return out

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)


def scan(scratch):
    """Ardour's scanner must accept the plug-in and cache a stereo effect."""
    out = scratch.run("ardour-vst-scanner", [SCANNER, "-f", "-v", scratch.plugin],
                      {"LD_LIBRARY_PATH": ARDOUR_LIBS})
    check("Found Plugin" in out, "the scanner did not accept murmelo.so:\n" + out)
    caches = os.path.join(scratch.home, ".cache", "ardour7", "vst")
    infos = []
    for name in os.listdir(caches) if os.path.isdir(caches) else []:
        infos += ET.parse(os.path.join(caches, name)).getroot().iter("VST2Info")
    check(len(infos) == 1, "expected one cached VST2 plug-in, found %d:\n%s" % (len(infos), out))
    info = infos[0].attrib
    check(info.get("name") == "Murmelo", "cached name is %r" % info.get("name"))
    check((info.get("n_inputs"), info.get("n_outputs")) == ("2", "2"), "not a stereo effect: %r" % info)
    check(info.get("can_process_replace") == "1", "no processReplacing: %r" % info)
    check(info.get("creator") == "Quorvane", "cached vendor is %r" % info.get("creator"))
    check(info.get("has_editor") == "1" and info.get("n_midi_inputs") == "1", "no editor or no MIDI input: %r" % info)


def run_lua(scratch, step):
    """Runs one step of ardour_session.lua; returns presets, names, values."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "ardour_session.lua")
    out = scratch.run("ardour7-lua " + step, ["ardour7-lua", script], {
        "MURMELO_STEP": step, "MURMELO_SESSION_DIR": scratch.session,
        "MURMELO_SESSION_NAME": SESSION, "MURMELO_PROGRAM": PROGRAM})
    lines = [line.split("\t") for line in out.splitlines()]
    check(["DONE"] in lines, "ardour7-lua %s did not finish:\n%s" % (step, out))
    seen = {"PRESET": [], "PARAM": {}, "VALUE": {}, "LOADED": []}
    for fields in lines:
        if fields[0] == "PRESET":
            seen["PRESET"].append(fields[1])
        elif fields[0] in ("PARAM", "VALUE"):
            seen[fields[0]][int(fields[1])] = fields[2]
        elif fields[0] == "LOADED":
            seen["LOADED"].append(fields[1])
    return seen, out


def check_plugin_view(seen, out):
    """Ardour's view of the instance: programs, full names, Chorusy's values."""
    # Ardour lists a VST 2 program as "INDEX - NAME".
    expected = ["%d - %s" % (i, name) for i, name in enumerate(PROGRAM_NAMES)]
    check(seen["PRESET"] == expected, "Ardour's preset list is %r" % seen["PRESET"])
    names = [seen["PARAM"].get(i) for i in range(len(PARAMETER_NAMES))]
    check(len(seen["PARAM"]) == 16, "Ardour lists %d parameters" % len(seen["PARAM"]))
    check(names == PARAMETER_NAMES, "Ardour's parameter names are %r" % names)
    for index, value in CHORUSY_NORMALISED.items():
        got = float(seen["VALUE"][index])
        check(abs(got - value) < 1e-6, "%s reads %r, Chorusy has %r\n%s" % (PARAMETER_NAMES[index], got, value, out))


def dry_signal():
    """Three seconds of a strummed three-note chord with a little noise,
    different in the two channels; deterministic."""
    rng = random.Random(11)
    notes = [220.0, 277.18, 329.63]
    left, right = [], []
    for n in range(RATE * SECONDS):
        t = n / RATE
        envelope = math.exp(-2.0 * (t % 1.0))
        tone = sum(math.sin(2 * math.pi * f * t + i) for i, f in enumerate(notes)) / 3
        noise = rng.uniform(-1, 1)
        left.append(0.5 * envelope * tone + 0.05 * noise)
        right.append(0.5 * envelope * math.sin(2 * math.pi * 110.0 * t) + 0.05 * noise)
    return left, right


def write_mono16(path, samples):
    frames = bytearray()
    for s in samples:
        frames += int(max(-1.0, min(1.0, s)) * 32767).to_bytes(2, "little", signed=True)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


def add_region(scratch, dry):
    """Ardour's Lua cannot import audio without its GUI, so the dry file
    goes into the session by hand: one mono source per channel in the
    session's audio folder, a whole-file region, the same region on the
    track's playlist at 0, and the session range around it."""
    folder = os.path.join(scratch.session, "interchange", os.path.basename(scratch.session), "audiofiles")
    os.makedirs(folder, exist_ok=True)
    for channel, samples in enumerate(dry):
        write_mono16(os.path.join(folder, "dry-%d.wav" % channel), samples)
    path = os.path.join(scratch.session, SESSION + ".ardour")
    tree = ET.parse(path)
    session = tree.getroot()
    next_id = int(session.get("id-counter")) + 1000
    ids = {"src0": next_id, "src1": next_id + 1, "whole": next_id + 2, "used": next_id + 3, "range": next_id + 4}
    session.set("id-counter", str(next_id + 5))
    ticks = len(dry[0]) * SUPERCLOCK_RATE // RATE
    sources = session.find("Sources")
    if sources is None:
        sources = ET.SubElement(session, "Sources")
    for channel in (0, 1):
        ET.SubElement(sources, "Source", {
            "name": "dry-%d.wav" % channel, "type": "audio", "flags": "", "id": str(ids["src%d" % channel]),
            "natural-position": "a0", "channel": "0", "origin": "", "gain": "1"})
    regions = session.find("Regions")
    if regions is None:
        regions = ET.SubElement(session, "Regions")
    regions.append(region_element("dry", ids["whole"], ids, ticks, whole=True))
    route = next(r for r in session.iter("Route") if r.get("name") == "Murmelo")
    playlist = next((p for p in session.iter("Playlist") if p.get("id") == route.get("audio-playlist")), None)
    check(playlist is not None, "the track has no playlist in %s" % path)
    playlist.append(region_element("dry.1", ids["used"], ids, ticks, whole=False))
    set_session_range(session, ids["range"], ticks)
    tree.write(path, encoding="UTF-8", xml_declaration=True)


def region_element(name, region_id, ids, ticks, whole):
    attrs = {
        "name": name, "muted": "0", "opaque": "1", "locked": "0", "video-locked": "0", "automatic": "0",
        "whole-file": "1" if whole else "0", "import": "0", "external": "0", "sync-marked": "0",
        "left-of-split": "0", "right-of-split": "0", "hidden": "0", "position-locked": "0",
        "valid-transients": "0", "start": "a0", "length": "a%d@a0" % ticks, "sync-position": "a0",
        "ancestral-start": "a0", "ancestral-length": "a0@a0", "stretch": "1", "shift": "1",
        "layering-index": "0", "tags": "", "contents": "0", "envelope-active": "0", "default-fade-in": "0",
        "default-fade-out": "0", "fade-in-active": "1", "fade-out-active": "1", "scale-amplitude": "1",
        "id": str(region_id), "type": "audio", "first-edit": "nothing", "channels": "2",
        "source-0": str(ids["src0"]), "source-1": str(ids["src1"]),
        "master-source-0": str(ids["src0"]), "master-source-1": str(ids["src1"])}
    return ET.Element("Region", attrs)


def set_session_range(session, range_id, ticks):
    locations = session.find("Locations")
    if locations is None:
        locations = ET.SubElement(session, "Locations")
    for old in [l for l in locations.findall("Location") if "IsSessionRange" in l.get("flags", "")]:
        locations.remove(old)
    ET.SubElement(locations, "Location", {
        "id": str(range_id), "name": "session", "start": "a0", "end": "a%d" % ticks,
        "flags": "IsSessionRange", "locked": "0", "timestamp": str(int(time.time())), "cue": "0"})


def export(scratch):
    out_path = os.path.join(scratch.root, "export.wav")
    scratch.run("ardour7-export", ["ardour7-export", "-b", "float", "-o", out_path, scratch.session, SESSION])
    check(os.path.exists(out_path), "ardour7-export wrote nothing")
    return read_wav(out_path)


def rms(values):
    return math.sqrt(sum(v * v for v in values) / max(1, len(values)))


def check_export(rate, channels, dry):
    """The export is the wet track: finite, as long as the region, loud
    enough, clearly not the dry input, and the two sides differ."""
    check(rate == RATE and len(channels) == 2, "export is %d Hz, %d channels" % (rate, len(channels)))
    frames = len(channels[0])
    check(abs(frames - len(dry[0])) <= RATE // 100, "export has %d frames, the region %d" % (frames, len(dry[0])))
    for side, (wet, source) in enumerate(zip(channels, dry)):
        check(all(math.isfinite(v) for v in wet), "channel %d holds non-finite samples" % side)
        level = rms(wet)
        check(level > 0.02, "channel %d is silent (rms %.5f)" % (side, level))
        n = min(len(wet), len(source))
        difference = rms([wet[i] - source[i] for i in range(n)])
        check(difference > 0.2 * rms(source[:n]), "channel %d is the dry input (difference rms %.5f)" % (side, difference))
    print("export: %d frames, rms %.4f / %.4f" % (frames, rms(channels[0]), rms(channels[1])))


def run(plugin):
    scratch = Scratch(plugin)
    try:
        started = time.monotonic()
        scan(scratch)
        built, out = run_lua(scratch, "build")
        check(built["LOADED"] == [PROGRAM], "Ardour loaded %r, not %s\n%s" % (built["LOADED"], PROGRAM, out))
        check_plugin_view(built, out)
        dry = dry_signal()
        add_region(scratch, dry)
        reloaded, out = run_lua(scratch, "reload")
        check_plugin_view(reloaded, out)
        rate, channels = export(scratch)
        check_export(rate, channels, dry)
        print("Ardour test passed in %.1f s" % (time.monotonic() - started))
    finally:
        if os.environ.get("MURMELO_KEEP_SCRATCH"):
            print("scratch kept in " + scratch.root)
        else:
            scratch.remove()


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    if ardour_missing():
        print("SKIP: Ardour 7 is not installed (apt-get install ardour)")
        return SKIP
    try:
        run(os.path.abspath(sys.argv[1]))
    except Failure as e:
        print("FAIL: %s" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
