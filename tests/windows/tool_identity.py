#!/usr/bin/env python3
"""The Windows build sounds exactly like the Linux build.

Usage: tool_identity.py LINUX_TOOL WINE_RUN MURMELO_EXE

Writes one stereo test signal as a 32-bit float WAV, renders it through
every factory program with the Linux tool (LINUX_TOOL, which loads
murmelo.so) and with murmelo.exe under wine (which loads murmelo.dll), and
compares the sample data of each pair bit for bit.  The header is not
compared: libsndfile's PEAK chunk holds the time of writing.  The first
differing program, frame and channel are reported with both values.

"info --json" must match too, flags aside from the has-editor bit (the
Windows build has no editor yet).

Before comparing renders the check proves it can fail: a copy of a render
with one bit of one sample changed must be reported at that frame.

Exits 77 (skipped) when LINUX_TOOL is not given or not built.
"""
import json
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

from winetool import WineTool, windows_path

SKIP = 77
RATE = 44100
SECONDS = 1.5
TAIL = "0.5"
EDITOR_FLAG = 1  # effFlagsHasEditor
FLOAT_FORMAT = 3


def test_signal():
    """Clicks, noise bursts and a falling sweep, different on each side;
    every value is made here once and reaches both builds as the same bits."""
    frames = int(RATE * SECONDS)
    left, right = [0.0] * frames, [0.0] * frames
    state = 0x1234567
    phase = 0.0
    for i in range(frames):
        t = i / RATE
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        noise = ((state >> 8) / float(1 << 24)) * 2.0 - 1.0
        burst = t % 0.25
        if burst < 0.02:
            left[i] += 0.5 * noise * (1.0 - burst / 0.02)
        phase += (2000.0 * math.exp(-3.0 * t) + 60.0) / RATE
        right[i] += 0.4 * math.sin(2.0 * math.pi * phase)
    for at in (0, 11025, 40000):
        left[at] = 1.0
        right[at + 7] = -0.9
    return left, right


def write_float_wav(path, left, right):
    data = b"".join(struct.pack("<ff", l, r) for l, r in zip(left, right))
    fmt = struct.pack("<HHIIHH", FLOAT_FORMAT, 2, RATE, RATE * 8, 8, 32)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt)
        f.write(b"data" + struct.pack("<I", len(data)) + data)


def wav_chunks(path):
    """(fmt chunk, data chunk) of a RIFF WAVE file."""
    with open(path, "rb") as f:
        raw = f.read()
    if raw[:4] != b"RIFF" or raw[8:12] != b"WAVE":
        raise ValueError("%s is not a RIFF WAVE file" % path)
    chunks, pos = {}, 12
    while pos + 8 <= len(raw):
        ident, size = struct.unpack_from("<4sI", raw, pos)
        chunks.setdefault(ident, raw[pos + 8:pos + 8 + size])
        pos += 8 + size + (size & 1)
    if b"fmt " not in chunks or b"data" not in chunks:
        raise ValueError("%s has no fmt or data chunk" % path)
    return chunks[b"fmt "], chunks[b"data"]


def first_difference(path_a, path_b):
    """None when the two files hold the same samples in the same format,
    else a text naming the first difference."""
    fmt_a, data_a = wav_chunks(path_a)
    fmt_b, data_b = wav_chunks(path_b)
    tag, channels = struct.unpack_from("<HH", fmt_a)
    bits = struct.unpack_from("<H", fmt_a, 14)[0]
    if fmt_a[:16] != fmt_b[:16]:
        return "formats differ"
    if (tag, bits) != (FLOAT_FORMAT, 32):
        return "not 32-bit float (format %d, %d bits)" % (tag, bits)
    if data_a == data_b:
        return None
    for i in range(0, min(len(data_a), len(data_b)), 4):
        if data_a[i:i + 4] != data_b[i:i + 4]:
            a, b = struct.unpack("<f", data_a[i:i + 4])[0], struct.unpack("<f", data_b[i:i + 4])[0]
            bits_a, bits_b = struct.unpack("<I", data_a[i:i + 4])[0], struct.unpack("<I", data_b[i:i + 4])[0]
            return "frame %d, channel %d: %r (0x%08x) against %r (0x%08x)" % (
                i // (4 * channels), i // 4 % channels, a, bits_a, b, bits_b)
    return "lengths differ: %d against %d frames" % (len(data_a) // (4 * channels), len(data_b) // (4 * channels))


def comparison_catches_one_bit(render, scratch):
    """The comparison reports a copy of render with the lowest bit of one
    sample flipped, at that sample."""
    fmt, data = wav_chunks(render)
    frame = len(data) // 8 // 2
    with open(render, "rb") as f:
        raw = bytearray(f.read())
    offset = raw.index(data) + frame * 8 + 4  # the right channel
    raw[offset] ^= 1
    changed = os.path.join(scratch, "one-bit.wav")
    with open(changed, "wb") as f:
        f.write(raw)
    found = first_difference(render, changed)
    expected = "frame %d, channel 1:" % frame
    if not found or not found.startswith(expected):
        print("FAIL: a one-bit change at frame %d was reported as %r" % (frame, found))
        return False
    print("the comparison reports a one-bit change: %s" % found)
    return True


def compare_info(linux_tool, wine, run):
    status, out, err = run([linux_tool, "info", "--json"])
    if status != 0:
        print("FAIL: the Linux tool's info: %s" % err)
        return None
    linux = json.loads(out)
    status, out, err = wine.run("info", "--json")
    if status != 0:
        print("FAIL: murmelo.exe info: %s" % err)
        return None
    windows = json.loads(out)
    for d in (linux, windows):
        d["flags"] &= ~EDITOR_FLAG
    if linux != windows:
        for key in sorted(set(linux) | set(windows)):
            if linux.get(key) != windows.get(key):
                print("FAIL: info differs in %r: Linux %r, Windows %r" % (key, linux.get(key), windows.get(key)))
        return None
    print("info --json: the same identity, %d parameters and %d programs (flags 0x%x without the editor bit)" %
          (len(linux["parameters"]), len(linux["programs"]), linux["flags"]))
    return linux["programs"]


def run_linux(command):
    result = subprocess.run(command, capture_output=True, text=True, timeout=120)
    return result.returncode, result.stdout, result.stderr


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    linux_tool, wine_run, exe = sys.argv[1:]
    if not linux_tool or not os.access(linux_tool, os.X_OK):
        print("skipped: %s (configure with -DMURMELO_LINUX_TOOL=PATH/build/tool/murmelo, built)" %
              ("no Linux tool at %s" % linux_tool if linux_tool else "no Linux tool named"))
        return SKIP
    wine = WineTool(wine_run, exe)
    scratch = tempfile.mkdtemp(prefix="murmelo-identity-")
    try:
        programs = compare_info(linux_tool, wine, run_linux)
        if programs is None:
            return 1
        if len(programs) != 18:
            print("FAIL: %d factory programs, expected 18" % len(programs))
            return 1
        source = os.path.join(scratch, "in.wav")
        write_float_wav(source, *test_signal())
        failures = []
        times = [0.0, 0.0]
        for index, name in enumerate(programs):
            ours = os.path.join(scratch, "linux-%02d.wav" % index)
            theirs = os.path.join(scratch, "windows-%02d.wav" % index)
            start = time.monotonic()
            status, out, err = run_linux([linux_tool, "render", source, ours, "--program", str(index), "--tail", TAIL])
            times[0] += time.monotonic() - start
            if status != 0:
                print("FAIL: Linux render of program %d: %s%s" % (index, out, err))
                return 1
            start = time.monotonic()
            status, out, err = wine.run("render", windows_path(source), windows_path(theirs), "--program",
                                        str(index), "--tail", TAIL)
            times[1] += time.monotonic() - start
            if status != 0:
                print("FAIL: Windows render of program %d: %s%s" % (index, out, err))
                return 1
            if index == 0 and not comparison_catches_one_bit(ours, scratch):
                return 1
            difference = first_difference(ours, theirs)
            print("program %2d %-20s %s" % (index, name, "identical" if difference is None else difference))
            if difference is not None:
                failures.append((index, name, difference))
        print("renders: Linux %.1f s, Windows under wine %.1f s" % (times[0], times[1]))
        if failures:
            index, name, difference = failures[0]
            print("FAIL: %d of %d programs differ; the first is program %d \"%s\" at %s" %
                  (len(failures), len(programs), index, name, difference))
            return 1
        print("all %d programs render the same bits on Linux and on Windows" % len(programs))
        return 0
    finally:
        if os.environ.get("MURMELO_KEEP_SCRATCH"):
            print("scratch kept in %s" % scratch)
        else:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
