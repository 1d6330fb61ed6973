#!/usr/bin/env python3
"""OSC over real UDP between Linux and murmelo.exe serve under wine.

Usage: osc_udp.py WINE_RUN MURMELO_EXE

Starts `murmelo.exe serve` on a free port and talks to it from Linux with
liblo's oscsend (requests) and oscdump (replies): "/ping", "/set" and "/get",
a subscription that hears "/getAllRegistered", and malformed datagrams sent
with a plain socket, after which the server must still answer.  A second
serve on the same port must refuse with a clear message, and the plug-in's
own OSC server, started by a render on a port Linux holds, must report the
failed bind and let the render finish.  Ctrl-C (SIGINT, which wine turns
into a console Ctrl-C event) stops the server cleanly.  Every wine process
is killed at the end, whatever happened.

Exits 77 (skipped) when liblo-tools is not installed.
"""
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

from winetool import WineTool, windows_path

SKIP = 77
START_TIMEOUT = 90  # wine and the DLL start slowly on a busy machine
BIND_FAILURE = "std::runtime_error in TaskMain(): unable to bind udp socket"


class Failure(Exception):
    pass


def read(path):
    with open(path, errors="replace") as f:
        return f.read()


def wait_until(condition, timeout, step=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


def port_free(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        s.bind(("0.0.0.0", port))
        return True
    except OSError:
        return False
    finally:
        s.close()


def free_port():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def oscsend(port, path, *types_and_args):
    result = subprocess.run(["oscsend", "127.0.0.1", str(port), path] + [str(a) for a in types_and_args],
                            capture_output=True, text=True, timeout=20)
    if result.returncode != 0:
        raise Failure("oscsend %s: %s%s" % (path, result.stdout, result.stderr))


class Dump:
    """oscdump on a free port, its lines collected in a file."""

    def __init__(self, scratch):
        self.port = free_port()
        self.file = os.path.join(scratch, "dump.txt")
        self.url = "osc.udp://127.0.0.1:%d/" % self.port
        self.out = open(self.file, "w")
        self.process = subprocess.Popen(["oscdump", "-L", str(self.port)], stdout=self.out,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

        def ready():
            oscsend(self.port, "/ready")
            return "/ready" in read(self.file)
        if not wait_until(ready, 10, step=0.1):
            raise Failure("oscdump did not start: %s" % read(self.file))

    def expect(self, needle, timeout=10):
        if not wait_until(lambda: needle in read(self.file), timeout):
            raise Failure("no %r from the server; oscdump has:\n%s" % (needle, read(self.file)))

    def close(self):
        self.process.kill()
        self.process.wait()
        self.out.close()


class Serve:
    """murmelo.exe serve under wine."""

    def __init__(self, wine, scratch, name, offset):
        self.file = os.path.join(scratch, name + ".txt")
        self.out = open(self.file, "w")
        self.offset = offset
        self.process = wine.start("serve", "--offset", str(offset), stdout=self.out)

    def text(self):
        return read(self.file)

    def wait_ready(self):
        """The port it listens on, or None when it ended (its port in use)."""
        def settled():
            found = re.search(r"OSC on UDP port (\d+)", self.text())
            if found:
                return int(found.group(1))
            return -1 if self.process.poll() is not None else 0
        port = wait_until(settled, START_TIMEOUT, step=0.1)
        if port == 0:
            raise Failure("serve did not start within %d s:\n%s" % (START_TIMEOUT, self.text()))
        return port if port > 0 else None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        self.out.close()


def start_server(wine, scratch):
    """A serve on a free port: (serve, its port); random offsets until one is free."""
    offsets = random.sample(range(1, 101), 10)
    for attempt, offset in enumerate(offsets):
        serve = Serve(wine, scratch, "serve-%d" % attempt, offset)
        port = serve.wait_ready()
        if port:
            return serve, port
        if "is in use" not in serve.text():
            raise Failure("serve ended without listening:\n%s" % serve.text())
        serve.kill()
    raise Failure("no free OSC port among offsets %s" % offsets)


# Each datagram the server must refuse, with the line it prints for it (an
# empty datagram never reaches the server's code: oscpack drops it).
MALFORMED = [
    (b"", None),
    (b"\x00\x01\x02\x03garbage\xff\xfe", "error while parsing packet: element size must be multiple of four"),
    (b"/set\x00\x00\x00\x00,if\x00\x00\x00\x00\x0a", "error while parsing message: /set: arguments exceed message size"),
    (b"/get\x00\x00\x00\x00,iss\x00\x00\x00\x00\x00\x00\x0aosc.udp://127",
     "error while parsing message: /get: unterminated or badly padded string argument"),
    (b"#bundle\x00" + b"\x00" * 8 + b"\x00\x00\x10\x00/set", "error while parsing packet: packet too short for bundle element"),
    (b"/no-terminator!!", "error while parsing packet: "),
]


def check(wine, scratch):
    times = {}
    start = time.monotonic()
    dump = Dump(scratch)
    serve = second = None
    try:
        serve, port = start_server(wine, scratch)
        base = port - serve.offset
        times["start"] = time.monotonic() - start
        print("serve listens on UDP port %d (%.1f s)" % (port, times["start"]))

        step = time.monotonic()
        oscsend(port, "/ping", "ss", dump.url, "/pong")
        dump.expect('/pong ss "osc.udp://127.0.0.1:%d" "Murmelo ' % port)
        oscsend(port, "/set", "if", 10, -25.5)
        oscsend(port, "/get", "iss", 10, dump.url, "/feedback")
        dump.expect("/feedback if 10 -25.500000")
        print("/ping, /set and /get answered")

        oscsend(port, "/registerUpdate", "iss", 10, dump.url, "/update")
        oscsend(port, "/set", "if", 10, 33)
        oscsend(port, "/getAllRegistered")
        dump.expect("/update if 10 33.000000")
        print("the subscription heard the new value")

        sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        for datagram, _ in MALFORMED:
            sender.sendto(datagram, ("127.0.0.1", port))
        sender.close()
        oscsend(port, "/get", "iss", 10, dump.url, "/after")
        dump.expect("/after if 10 33.000000")
        if serve.process.poll() is not None:
            raise Failure("serve ended after the malformed datagrams:\n%s" % serve.text())
        errors = [l for l in serve.text().splitlines() if l.startswith("error while parsing")]
        expected = [line for _, line in MALFORMED if line]
        if len(errors) != len(expected) or not all(e.startswith(x) for e, x in zip(errors, expected)):
            raise Failure("expected the lines %s from the server, got:\n%s" % (expected, serve.text()))
        print("%d malformed datagrams refused, %d error lines; the server still answers" %
              (len(MALFORMED), len(errors)))
        times["messages"] = time.monotonic() - step

        step = time.monotonic()
        second = Serve(wine, scratch, "second", serve.offset)
        status = second.process.wait(timeout=START_TIMEOUT)
        message = "murmelo serve: UDP port %d is in use" % port
        if status != 1 or message not in second.text():
            raise Failure("a second serve on port %d: status %d, output:\n%s" % (port, status, second.text()))
        print("a second serve on the same port: %r, status 1" % message)

        # The plug-in's own server: a render whose instance asks for a port
        # that Linux holds reports the failed bind and finishes.
        held = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        offset = next(o for o in random.sample(range(1, 101), 100) if o != serve.offset and port_free(base + o))
        held.bind(("0.0.0.0", base + offset))
        try:
            status, out, err = wine.run("render", windows_path(os.path.join(scratch, "held.wav")), "--tail", "20",
                                        "--set", "OSC Port Offset=%d" % offset, timeout=START_TIMEOUT)
        finally:
            held.close()
        if status != 0 or BIND_FAILURE not in out:
            raise Failure("render with OSC on a held port: status %d, output:\n%s%s" % (status, out, err))
        print("a render whose OSC port is taken: %r, status 0" % BIND_FAILURE)
        times["port in use"] = time.monotonic() - step

        step = time.monotonic()
        serve.process.send_signal(signal.SIGINT)
        try:
            status = serve.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise Failure("serve did not stop on Ctrl-C:\n%s" % serve.text())
        if status != 0 or "murmelo serve: stopped" not in serve.text():
            raise Failure("serve after Ctrl-C: status %d, output:\n%s" % (status, serve.text()))
        if not wait_until(lambda: port_free(port), 5):
            raise Failure("port %d still taken after serve stopped" % port)
        times["stop"] = time.monotonic() - step
        print("Ctrl-C stopped serve cleanly; port %d is free again" % port)
        print("times: " + ", ".join("%s %.1f s" % item for item in times.items()))
    finally:
        for process in (serve, second):
            if process:
                process.kill()
        dump.close()


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    for program in ("oscsend", "oscdump"):
        if not shutil.which(program):
            print("skipped: no %s (liblo-tools; scripts/setup.sh installs it)" % program)
            return SKIP
    wine = WineTool(*sys.argv[1:])
    scratch = tempfile.mkdtemp(prefix="murmelo-osc-udp-")
    try:
        check(wine, scratch)
        return 0
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAIL: %s" % e)
        return 1
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
