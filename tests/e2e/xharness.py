"""Helpers for end-to-end tests in a private X server (Xvfb).

Start a server with `XServer()` (a context manager), run the program with `server.env()`, find
its window by process id, read its geometry, take screenshots as plain pixel arrays, click with
xdotool and close windows the way a window manager does (WM_DELETE_WINDOW). Needs Xvfb,
xdotool and ImageMagick's `import`; no Python packages beyond the standard library.
"""

import ctypes
import os
import queue
import re
import subprocess
import threading
import time


class XServer:
    """An Xvfb server on a free display, stopped when the `with` block ends."""

    def __init__(self, width=1024, height=768, depth=24):
        self.size = (width, height, depth)
        self.display = None
        self.process = None

    def __enter__(self):
        width, height, depth = self.size
        # Xvfb picks a free display itself and writes its number to the pipe once it accepts
        # connections, so two tests (or two developers) starting servers at once never share one.
        read_end, write_end = os.pipe()
        process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x{depth}",
             "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        with os.fdopen(read_end, "rb", buffering=0) as pipe:
            while time.monotonic() < deadline and not number.endswith(b"\n"):
                chunk = pipe.read(16)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            process.kill()
            process.wait()
            raise RuntimeError("could not start Xvfb")
        self.display, self.process = f":{number.strip().decode()}", process
        return self

    def __exit__(self, *exc):
        if self.process is not None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        return False

    def env(self, **extra):
        """The environment for a program on this server: no real sound, no stray settings."""
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.setdefault("SDL_AUDIODRIVER", "dummy")
        env.update(extra)
        return env

    def run(self, *args, check=True):
        """Runs an X client (xdotool, import) against this server and returns its stdout."""
        result = subprocess.run(args, env=self.env(), capture_output=True, timeout=30)
        if check and result.returncode != 0:
            raise RuntimeError(f"{args[0]} failed: {result.stderr.decode(errors='replace')}")
        return result.stdout

    def xdotool(self, *args, check=True):
        return self.run("xdotool", *[str(a) for a in args], check=check).decode()

    def find_windows(self, timeout=10.0, **criteria):
        """Window ids matching xdotool search criteria (pid=, name=, classname=), visible only;
        waits up to Timeout for at least one."""
        args = ["search", "--onlyvisible"]
        for key, value in criteria.items():
            args += [f"--{key}", str(value)]
        deadline = time.monotonic() + timeout
        while True:
            out = self.xdotool(*args, check=False).split()
            if out or time.monotonic() > deadline:
                return [int(w) for w in out]
            time.sleep(0.1)

    def find_windows_titled(self, title, timeout=10.0):
        """Top-level windows whose title is exactly Title. SDL's message boxes do not answer
        xdotool's --name search, so every window with a class is asked for its name."""
        deadline = time.monotonic() + timeout
        while True:
            ids = set(self.xdotool("search", "--class", "", check=False).split())
            found = [int(w) for w in sorted(ids)
                     if self.xdotool("getwindowname", w, check=False).strip() == title]
            if found or time.monotonic() > deadline:
                return found
            time.sleep(0.1)

    def find_window(self, pid, timeout=10.0):
        windows = self.find_windows(timeout=timeout, pid=pid)
        if not windows:
            raise AssertionError(f"no visible window of process {pid}")
        return windows[0]

    def geometry(self, window):
        """(x, y, width, height) of the window on the screen."""
        out = self.xdotool("getwindowgeometry", window)
        pos = re.search(r"Position:\s*(-?\d+),(-?\d+)", out)
        size = re.search(r"Geometry:\s*(\d+)x(\d+)", out)
        return int(pos[1]), int(pos[2]), int(size[1]), int(size[2])

    def screenshot(self, window):
        """The window's content as a Picture."""
        return Picture.from_ppm(self.run("import", "-window", str(window), "-depth", "8", "ppm:-"))

    def click(self, window, x, y, repeat=1, delay_ms=80):
        """Moves the pointer to (X, Y) of the window and clicks the left button Repeat times."""
        self.xdotool("mousemove", "--window", window, x, y)
        self.xdotool("click", "--repeat", repeat, "--delay", delay_ms, 1)

    def key(self, window, key):
        """Gives the window the keyboard focus and types Key (an xdotool key name)."""
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", key)

    def close_window(self, window):
        """Asks the window to close, as a window manager's close button does: a WM_PROTOCOLS
        client message carrying WM_DELETE_WINDOW."""
        xlib = ctypes.CDLL("libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        xlib.XInternAtom.restype = ctypes.c_ulong
        xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                    ctypes.c_void_p]
        xlib.XFlush.argtypes = [ctypes.c_void_p]
        xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

        class Event(ctypes.Union):  # XEvent is 24 longs whatever the kind
            _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]

        display = xlib.XOpenDisplay(self.display.encode())
        if not display:
            raise RuntimeError("cannot open the X display")
        try:
            event = Event()
            event.client.type = 33  # ClientMessage
            event.client.window = window
            event.client.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
            event.client.format = 32
            event.client.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
            event.client.data[1] = 0  # CurrentTime
            xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
            xlib.XFlush(display)
        finally:
            xlib.XCloseDisplay(display)


class Picture:
    """Pixels as (red, green, blue) tuples, row by row."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    @staticmethod
    def from_ppm(raw):
        # P6 header: magic, width, height, maximum value, each separated by white space
        # (comments start with '#'), then one white-space byte and the binary pixels.
        fields, pos = [], 0
        while len(fields) < 4:
            while raw[pos:pos + 1].isspace():
                pos += 1
            if raw[pos:pos + 1] == b"#":
                pos = raw.index(b"\n", pos) + 1
                continue
            end = pos
            while not raw[end:end + 1].isspace():
                end += 1
            fields.append(raw[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise ValueError("not an 8-bit binary PPM")
        width, height = int(fields[1]), int(fields[2])
        return Picture(width, height, raw[pos + 1:pos + 1 + width * height * 3])

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])


class Program:
    """A program under test, with its stdout lines collected as they come."""

    def __init__(self, args, env, cwd=None):
        self.process = subprocess.Popen(args, env=env, cwd=cwd, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        self.stderr = []
        threading.Thread(target=self._pump, args=(self.process.stdout, self.lines.put),
                         daemon=True).start()
        threading.Thread(target=self._pump, args=(self.process.stderr, self.stderr.append),
                         daemon=True).start()

    @staticmethod
    def _pump(stream, put):
        for line in stream:
            put(line.rstrip("\n"))

    def expect(self, line, timeout=10.0):
        """Waits for the next stdout line and checks that it is Line."""
        try:
            got = self.lines.get(timeout=timeout)
        except queue.Empty:
            raise AssertionError(f"expected {line!r} on stdout, got nothing in {timeout} s") from None
        if got != line:
            raise AssertionError(f"expected {line!r} on stdout, got {got!r}")

    def expect_silence(self, seconds):
        try:
            got = self.lines.get(timeout=seconds)
        except queue.Empty:
            return
        raise AssertionError(f"expected no more output, got {got!r}")

    def wait(self, timeout=10.0):
        return self.process.wait(timeout=timeout)

    def status(self, timeout=10.0):
        """The exit status; a program still running Timeout seconds later fails the test."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the program was still running {timeout} s later") from None

    def stderr_text(self):
        """All the program wrote on stderr, once the reader has caught up with its end."""
        time.sleep(0.2)
        return "\n".join(self.stderr)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def cpu_seconds(self):
        """User plus system CPU time the process has used so far."""
        with open(f"/proc/{self.process.pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        ticks = int(fields[11]) + int(fields[12])  # utime, stime
        return ticks / os.sysconf("SC_CLK_TCK")
