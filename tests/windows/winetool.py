"""Running murmelo.exe under wine from the Windows suites' Python checks.

Drive Z: is the root of the Linux file system inside wine, so a Linux path
becomes a Windows one by prefixing "Z:".  Programs run through
tests/windows/wine-run.sh, in the prefix $MURMELO_WINEPREFIX names (the
suites' fixture creates it).
"""
import os
import subprocess
import tempfile


def windows_path(path):
    """The name a Windows program under wine gives a Linux path."""
    return "Z:" + os.path.abspath(path)


class WineTool:
    def __init__(self, wine_run, exe):
        self.wine_run = wine_run
        self.exe = exe

    def command(self, *args):
        return [self.wine_run, self.exe] + list(args)

    def run(self, *args, timeout=120):
        """Runs murmelo.exe to its end: (exit status, stdout, stderr).
        The output goes through files, not pipes: a wine server that the run
        starts inherits them and stays a few seconds after the program ends,
        and reading a pipe to its end would wait for it."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            status = subprocess.run(self.command(*args), stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                    timeout=timeout).returncode
            texts = []
            for f in (out, err):
                f.seek(0)
                texts.append(f.read().decode("utf-8", "replace").replace("\r\n", "\n"))
        return status, texts[0], texts[1]

    def start(self, *args, stdout):
        """Starts murmelo.exe with its output going to the open file stdout.
        wine-run.sh replaces itself with wine's loader, so the process is the
        Windows program: a signal sent to it reaches the program."""
        return subprocess.Popen(self.command(*args), stdout=stdout, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL)
