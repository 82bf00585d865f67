#!/usr/bin/env python3
"""End to end: the real player given a bad environment, in a private X server.

Usage: test_bad_input.py PATH_TO_MORVI [TEST_NAME ...]

What only the real program can show: no display at all, a story file the user may not read,
no Japanese font, no sound device, no SoundFont, a report too long for a message box, clicks
that are still queued when the story ends, and events that reach the window only after it is gone. Each test checks that the player ends (no hang), with
the exit status the case calls for, says what is wrong on stderr (and in a message box where the
window is on screen), and otherwise plays on. The player runs with --trace, so the lines it shows
arrive on stdout.
"""

import os
import pwd
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # importing the other tests' helpers leaves no cache behind
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import storykit as kit  # noqa: E402
import test_player as tp  # noqa: E402
import xharness  # noqa: E402

check = tp.check


class Run:
    """The player started with --trace in Folder, its whole family ended on exit."""

    def __init__(self, x, morvi, folder, prefix=(), **env):
        self.x = x
        self.program = xharness.Program([*prefix, morvi, "--trace", folder],
                                        env=x.env(**env) if x else env)
        self.pid = self.program.process.pid

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        family = tp.descendants(self.pid)
        self.program.kill()
        for pid in family:
            try:
                os.kill(pid, 9)
            except ProcessLookupError:
                pass
        return False

    def window(self, timeout=20.0):
        """The player's window once it is shown; a failure says how the player is doing."""
        windows = self.x.find_windows(timeout=timeout, pid=self.pid)
        if windows:
            return windows[0]
        state = self.program.process.poll()
        state = "still running" if state is None else f"ended with status {state}"
        # Whether the X server answers other clients right now tells a player that cannot
        # reach a working server from a server that has gone away.
        server = self.x.run("xdotool", "getdisplaygeometry", check=False).decode().strip()
        raise AssertionError(f"no visible window of the player after {timeout} s; it is {state}; "
                             f"stderr: {self.stderr()!r}; the X server answers: {server!r}")

    def status(self, timeout=10.0):
        return self.program.status(timeout)

    def stderr(self):
        return self.program.stderr_text()

    def click(self, window):
        self.x.click(window, 160, 120)
        time.sleep(tp.GESTURE_GAP)

    def click_through(self, window, lines):
        """Waits for each of Lines on stdout in turn and clicks once it is shown."""
        for line in lines:
            self.program.expect(line)
            self.click(window)


def story(root, lines, pieces=()):
    return kit.StoryFolder(root, lines, pieces=pieces).path


def test_no_display(x, morvi, root):
    folder = story(root, ["one", "#end", ""])
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    env["SDL_AUDIODRIVER"] = "dummy"
    with Run(None, morvi, folder, **env) as player:
        status = player.status()
        err = player.stderr()
    check(status == 1, f"exit status {status} without a display, not 1")
    check("morvi: cannot open the display" in err, f"no clear report on stderr: {err!r}")


def test_story_the_user_may_not_read(x, morvi, root):
    # As root every file can be read whatever its mode, so the player runs as nobody then.
    prefix = ()
    if os.geteuid() == 0:
        nobody = pwd.getpwnam("nobody")
        prefix = ("setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}",
                  "--clear-groups", "--")
    folder = story(root, ["one", "#end", ""])
    os.chmod(root, 0o755)
    os.chmod(os.path.join(folder, "dat", "story.txt"), 0o000)
    with Run(x, morvi, folder, prefix=prefix, HOME=root) as player:
        tp.dismiss_box(x)
        status = player.status()
        err = player.stderr()
    check(status == 1, f"exit status {status}, not 1")
    check("morvi: dat/story.txt: cannot open the file: Permission denied" in err,
          f"no clear report on stderr: {err!r}")


def test_no_japanese_font(x, morvi, root):
    config = os.path.join(root, "fonts.conf")
    with open(config, "w") as f:
        f.write('<?xml version="1.0"?>\n<fontconfig>\n'
                "<dir>/usr/share/fonts/truetype/dejavu</dir>\n"
                f"<cachedir>{root}/fontcache</cachedir>\n</fontconfig>\n")
    folder = story(os.path.join(root, "s"), ["一行目", "二行目", "#end", ""])
    with Run(x, morvi, folder, FONTCONFIG_FILE=config) as player:
        player.click_through(player.window(), ["一行目", "二行目"])
        status = player.status()
        err = player.stderr()
    check(status == 0, f"exit status {status}, not 0")
    warning = "morvi: warning: no Japanese font found"
    check(err.count(warning) == 1, f"not one warning on stderr: {err!r}")


SILENT_CASES = [
    # name, SDL_AUDIODRIVER, run with the SoundFonts folder hidden, the warning expected
    ("no sound device", "no-such-driver", False, "morvi: music: no sound device"),
    ("no SoundFont", "dummy", True, "morvi: music: no SoundFont; music is silent"),
]


def test_music_that_cannot_sound(x, morvi, root):
    for index, (name, driver, hide, warning) in enumerate(SILENT_CASES):
        prefix = ()
        if hide:
            # A mount namespace of the player's own, where the system's SoundFonts folder is
            # empty; the rest of the machine sees no change.
            empty = os.path.join(root, "empty")
            os.makedirs(empty, exist_ok=True)
            probe = subprocess.run(["unshare", "-m", "true"], capture_output=True)
            if probe.returncode != 0:
                print(f"     skipped {name}: cannot make a mount namespace "
                      f"({probe.stderr.decode(errors='replace').strip()})")
                continue
            prefix = ("unshare", "-m", "sh", "-c",
                      f'mount --bind "{empty}" /usr/share/sounds/sf2 && exec "$0" "$@"')
        folder = story(os.path.join(root, str(index)),
                       ["#midi song.mid", "one", "two", "#end", ""], pieces=["song.mid"])
        with Run(x, morvi, folder, prefix=prefix, SDL_AUDIODRIVER=driver,
                 SDL_SOUNDFONTS="") as player:
            try:
                window = player.window()
            except AssertionError as error:
                raise AssertionError(f"{name}: {error}") from None
            player.click_through(window, ["one", "two"])
            status = player.status()
            err = player.stderr()
        check(status == 0, f"{name}: exit status {status}, not 0; stderr: {err!r}")
        check(warning in err, f"{name}: no warning on stderr: {err!r}")
        check(err.count(warning) == 1, f"{name}: the warning came more than once: {err!r}")
        check(not tp.error_boxes(x), f"{name}: a message box is open")


def click_to_the_end(x, morvi, folder, shown, **env):
    """Clicks through the lines Shown, then presses three times in a row: the first ends the
    story, the others are still queued. Returns the exit status and what came on stderr."""
    with Run(x, morvi, folder, **env) as player:
        window = player.window()
        player.click_through(window, shown[:-1])
        player.program.expect(shown[-1])
        x.click(window, 160, 120, repeat=3, delay_ms=10)
        return player.status(timeout=5), player.stderr()


def test_clicks_queued_after_the_end(x, morvi, root):
    folder = story(root, ["one", "#end", ""])
    status, err = click_to_the_end(x, morvi, folder, ["one"])
    check(status == 0, f"exit status {status}, not 0")
    check("morvi:" not in err, f"unexpected report: {err!r}")


def test_events_sent_to_a_destroyed_window(x, morvi, root):
    # On a busy machine the X server may handle the window's destruction at the story's end
    # before an event the program sent to that window; Xlib then ends the program with status 1.
    # gone_window.so makes that happen to every such event, so the player must send none.
    shim = os.environ.get("MORVI_GONE_WINDOW")
    check(shim and os.path.exists(shim), f"MORVI_GONE_WINDOW is not the built shim: {shim!r}")
    folder = story(root, ["one", "two", "#end", ""])
    status, err = click_to_the_end(x, morvi, folder, ["one", "two"], LD_PRELOAD=shim)
    check(status == 0, f"exit status {status}, not 0; stderr: {err!r}")
    check("X Error" not in err, f"an X error: {err!r}")


def test_report_of_a_megabyte_name(x, morvi, root):
    folder = story(root, ["one", "#image " + "x" * (1 << 20) + ".bmp", "two", "#end", ""])
    with Run(x, morvi, folder) as player:
        window = player.window()
        player.program.expect("one")
        x.click(window, 160, 120)
        started = time.monotonic()
        tp.dismiss_box(x, exclude=[window])
        took = time.monotonic() - started
        player.click(window)
        player.program.expect("two")
        player.click(window)
        status = player.status()
        err = player.stderr()
    check(status == 0, f"exit status {status}, not 0")
    check(took < 10, f"the report took {took:.1f} s to show and close")
    report = [line for line in err.splitlines() if line.startswith("morvi: dat/story.txt:2:")]
    check(len(report) == 1, f"not one report line for line 2: {err[:300]!r}")


TESTS = [test_no_display, test_story_the_user_may_not_read, test_no_japanese_font,
         test_music_that_cannot_sound, test_clicks_queued_after_the_end,
         test_events_sent_to_a_destroyed_window, test_report_of_a_megabyte_name]


def main():
    tp.run_tests(TESTS, "morvi-bad-")


if __name__ == "__main__":
    main()
