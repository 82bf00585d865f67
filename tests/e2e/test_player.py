#!/usr/bin/env python3
"""End to end: the real story player in a private X server.

Usage: test_player.py PATH_TO_MORVI [TEST_NAME ...]

Every test writes its own story folder in a temporary directory, starts the player there,
drives it with xdotool and reads the window's pixels and the process's exit status. SDL's disk
audio driver turns the music into a raw file (stereo 32-bit float, 44.1 kHz) that the music
test reads back.
"""

import array
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import storykit as kit  # noqa: E402
import xharness  # noqa: E402

# SDL counts two presses within 500 ms as a double-click; separate gestures wait longer.
GESTURE_GAP = 0.7
BYTES_PER_SECOND = 44100 * 2 * 4


def check(condition, message):
    if not condition:
        raise AssertionError(message)


class Player:
    """The player started in a story folder, with its window once it is shown."""

    def __init__(self, x, morvi, folder, **env):
        self.x = x
        self.program = xharness.Program([morvi], env=x.env(**env), cwd=folder)
        self.pid = self.program.process.pid
        self.window = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        # SDL shows an error box from a forked copy of the process, which keeps the player's X
        # connection, and with it the player's window, alive: end the whole family.
        family = descendants(self.pid)
        self.program.kill()
        for pid in family:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        return False

    def show(self):
        try:
            self.window = self.x.find_window(self.pid)
        except AssertionError as error:
            raise AssertionError(f"{error}; {self.state()}") from None
        return self.window

    def state(self):
        status = self.program.process.poll()
        running = "still running" if status is None else f"ended with status {status}"
        return f"the player is {running}; stderr: {self.program.stderr[-3:]}"

    def shot(self):
        return kit.screenshot(self.x, self.window)

    def click(self, repeat=1):
        self.x.click(self.window, 160, 120, repeat=repeat)

    def wait_line(self, n, timeout=5.0):
        try:
            return kit.poll(self.x, self.window, lambda s: kit.shown_line(s) == n, timeout,
                            f"line {n} on screen")
        except AssertionError as error:
            raise AssertionError(f"{error}; {self.state()}") from None

    def exit_status(self, timeout):
        return self.program.status(timeout)

    def report(self):
        return "\n".join(line for line in self.program.stderr_text().splitlines()
                         if line.startswith("morvi:"))


class MapWatch:
    """Records every top-level window mapped on the server while it runs (xev on the root)."""

    def __init__(self, x):
        self.process = subprocess.Popen(["xev", "-root", "-event", "substructure"],
                                        env=x.env(), stdout=subprocess.PIPE, text=True)
        self.mapped = []
        self.ready = threading.Event()
        threading.Thread(target=self._read, daemon=True).start()
        # xev prints nothing until an event comes; give it a moment to select its input.
        time.sleep(0.3)

    def _read(self):
        in_map = False
        for text in self.process.stdout:
            if text.startswith("MapNotify"):
                in_map = True
                continue
            found = re.search(r"\bwindow (0x[0-9a-f]+)", text)
            if in_map and found:
                self.mapped.append(int(found[1], 16))
            in_map = False

    def stop(self):
        time.sleep(0.2)
        self.process.terminate()
        self.process.wait()
        return self.mapped


def descendants(pid):
    """The ids of Pid's children, grandchildren and so on, read from /proc."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                parent = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(parent, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def error_boxes(x, exclude=()):
    """Viewable top-level windows titled like the program ("morvi") other than Exclude.
    xwininfo, since xdotool's search does not see SDL's error box when it has a parent."""
    out = x.run("xwininfo", "-root", "-children").decode(errors="replace")
    boxes = []
    for found in re.finditer(r'^\s+(0x[0-9a-f]+) "morvi":', out, re.M):
        window = int(found[1], 16)
        if window in exclude:
            continue
        state = x.run("xwininfo", "-id", hex(window), check=False).decode(errors="replace")
        if "IsViewable" in state:
            boxes.append(window)
    return boxes


def dismiss_box(x, exclude=()):
    """Closes the error box and returns its window id."""
    deadline = time.monotonic() + 10
    boxes = []
    while not boxes and time.monotonic() < deadline:
        boxes = error_boxes(x, exclude)
        time.sleep(0.05)
    check(len(boxes) == 1, f"{len(boxes)} error boxes appeared, not one")
    box = boxes[0]
    _, _, width, height = x.geometry(box)
    check((width, height) != (320, 280), "the window found is the player's, not a box")
    x.xdotool("windowfocus", "--sync", box)
    x.xdotool("key", "Return")
    while box in error_boxes(x, exclude) and time.monotonic() < deadline:
        time.sleep(0.05)
    check(box not in error_boxes(x, exclude), "the error box did not close")
    return box


# ---- the first frame and the shade

def check_shade(shot, picture):
    """Rows 200 to 239 of every column are the picture under a band of depth 30 to 40 rows:
    row y is the picture's value times (240 - y) / depth, truncated. Returns the band tops."""
    tops = []
    for x in range(kit.WIDTH):
        column = [shot.pixel(x, y) for y in range(200, 240)]
        source = [picture.pixel(x, y) for y in range(200, 240)]
        fits = []
        for depth in range(30, 41):
            top = 240 - depth
            expected = [c if y < top else tuple(v * (240 - y) // depth for v in c)
                        for y, c in zip(range(200, 240), source)]
            if column == expected:
                fits.append(top)
        if len(fits) != 1:
            first = next((y for y in range(200, 240) if column[y - 200] != source[y - 200]), None)
            raise AssertionError(f"column {x}: the band fits no depth from 30 to 40 "
                                 f"(first changed row {first}, row 239 {column[-1]} "
                                 f"of {source[-1]})")
        bottom, source_bottom = column[-1], source[-1]
        check(all(v <= c // 30 for v, c in zip(bottom, source_bottom)),
              f"column {x}: row 239 is {bottom}, more than 1/30 of {source_bottom}")
        tops.append(fits[0])
    for x in range(kit.WIDTH - 1):
        check(abs(tops[x] - tops[x + 1]) <= 1,
              f"band tops of columns {x} and {x + 1} are rows {tops[x]} and {tops[x + 1]}")
    return tops


def check_text_band_black(shot):
    """Rows 240 to 279 are black apart from the white text written at (15, 250)."""
    bright_near_start = 0
    for y in range(240, kit.HEIGHT):
        for x in range(kit.WIDTH):
            r, g, b = shot.pixel(x, y)
            if (r, g, b) == (0, 0, 0):
                continue
            check(r == g == b, f"pixel {x},{y} is {(r, g, b)}: not black, not white text")
            check(12 <= x and 246 <= y < 268, f"text pixel {x},{y} lies outside the text line")
            if min(r, g, b) >= 200 and x < 40:
                bright_near_start += 1
    check(bright_near_start > 0, "no white text near (15, 250)")


def test_first_frame_and_shade(x, morvi, root):
    picture = kit.bright_picture()
    folder = kit.StoryFolder(root, ["#image pic.bmp", kit.line(3), kit.line(1), ""],
                             {"pic.bmp": picture})
    with Player(x, morvi, folder.path) as player:
        player.show()
        # Until the first frame the window shows the panel's grey (or the server's blank);
        # whenever the picture is there, so is the first line.
        shot, shots = kit.poll(x, player.window, lambda s: not kit.is_uniform(s), 5,
                               "the first frame")
        check(kit.shows_picture(shot, picture),
              "the first frame that is not blank does not show the picture")
        check(kit.shown_line(shot) == 3, f"first frame shows line {kit.shown_line(shot)}, not 3")

        check(kit.shows_rows(shot, picture, range(200)), "rows 0 to 199 differ from the picture")
        check_shade(shot, picture)
        check_text_band_black(shot)

        # The shade shimmers: two frames 100 ms apart differ in the band and nowhere else.
        first = player.shot()
        time.sleep(0.1)
        second = player.shot()
        outside = [(px, py) for py in list(range(200)) + list(range(240, kit.HEIGHT))
                   for px in range(kit.WIDTH) if first.pixel(px, py) != second.pixel(px, py)]
        check(not outside, f"frames differ outside the band, e.g. at {outside[:3]}")
        tops = [check_shade(s, picture) for s in (first, second)]
        check(tops[0] != tops[1], "the band has the same shape in frames 100 ms apart")


# ---- clicks, double-clicks and commands between lines

def test_clicks_and_commands(x, morvi, root):
    first, tall = kit.bright_picture(), kit.tall_picture()
    lines = ["#image first.bmp", kit.line(1), kit.line(2), "", kit.line(3), kit.line(4),
             "@next", "#image tall.bmp", kit.line(5), kit.line(6), "#end", "// never read"]
    folder = kit.StoryFolder(root, lines, {"first.bmp": first, "tall.bmp": tall})
    with Player(x, morvi, folder.path) as player:
        player.show()
        before, _ = player.wait_line(1)
        check(kit.shows_picture(before, first), "line 1 without its picture")

        player.click()
        after, _ = player.wait_line(2)
        check(kit.text_band(after) != kit.text_band(before), "the text band did not change")
        time.sleep(GESTURE_GAP)
        check(kit.shown_line(player.shot()) == 2, "one click moved on more than one line")

        # A double-click is two steps; line 3 may show for a frame on the way.
        player.click(repeat=2)
        player.wait_line(4)
        time.sleep(GESTURE_GAP)
        check(kit.shown_line(player.shot()) == 4, "a double-click moved on more than two lines")

        # The #image between lines 4 and 5 shows in the same frame as line 5, never before.
        player.click()
        shot, shots = kit.poll(x, player.window, lambda s: kit.shown_line(s) == 5, 5, "line 5")
        for s in shots:
            state = (kit.shows_picture(s, first), kit.shows_picture(s, tall), kit.shown_line(s))
            check(state in ((True, False, 4), (False, True, 5)),
                  f"a frame shows a mix of before and after the click: "
                  f"old picture {state[0]}, new picture {state[1]}, line {state[2]}")

        # The tall picture's own rows 240 to 279 show unshaded behind the text.
        check(kit.shows_rows(shot, tall, range(200)), "rows 0 to 199 differ from the tall picture")
        for py in range(240, kit.HEIGHT):
            for px in range(kit.WIDTH):
                got, own = shot.pixel(px, py), tall.pixel(px, py)
                if got == own:
                    continue
                check(12 <= px and 246 <= py < 268, f"pixel {px},{py} is {got}, not the picture's "
                                                    f"{own}, outside the text")
                check(all(g >= o for g, o in zip(got, own)),
                      f"pixel {px},{py} is {got}: darker than the picture's {own}, not text")

        time.sleep(GESTURE_GAP)
        player.click()
        player.wait_line(6)
        time.sleep(GESTURE_GAP)
        player.click()
        clicked = time.monotonic()
        status = player.exit_status(timeout=5)
        took = time.monotonic() - clicked
        check(status == 0, f"exit status {status} after #end")
        check(took <= 1.0, f"#end took {took:.2f} s to end the program")
        check(not player.report(), f"unexpected report: {player.report()}")


# ---- the ways a story ends

END_CASES = [
    # name, story lines, clicks before the end
    ("last line", [kit.line(1), kit.line(2)], 1),
    ("#end", [kit.line(1), "#end", kit.line(2)], 1),
    ("#end ahead of every line", ["#end", kit.line(1), kit.line(2)], 0),
]


def test_story_ends(x, morvi, root):
    for index, (name, lines, clicks) in enumerate(END_CASES):
        folder = kit.StoryFolder(os.path.join(root, str(index)), lines)
        with Player(x, morvi, folder.path) as player:
            if clicks:
                player.show()
                player.wait_line(1)
                player.click()
            started = time.monotonic()
            status = player.exit_status(timeout=5)
            took = time.monotonic() - started
            check(status == 0, f"{name}: exit status {status}")
            # Without a click the time includes the whole start-up; only the end is bounded.
            if clicks:
                check(took <= 1.0, f"{name}: the program took {took:.2f} s to end")
            check(not player.report(), f"{name}: unexpected report: {player.report()}")


def audio_samples(path, start=0):
    with open(path, "rb") as f:
        f.seek(start)
        data = f.read()
    samples = array.array("f")
    samples.frombytes(data[:len(data) // 4 * 4])
    return samples


def wait_for_sound(path, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.path.exists(path) and any(v != 0.0 for v in audio_samples(path)):
            return
        time.sleep(0.1)
    raise AssertionError(f"the audio output stayed silent for {timeout} s")


def test_close_window_during_music(x, morvi, root):
    folder = kit.StoryFolder(root, ["#midi song.mid", kit.line(1), kit.line(2), ""],
                             pieces=["song.mid"])
    audio = os.path.join(root, "audio.raw")
    with Player(x, morvi, folder.path, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=audio) as player:
        player.show()
        player.wait_line(1)
        wait_for_sound(audio)
        # What a window manager's close button sends.
        x.close_window(player.window)
        status = player.exit_status(timeout=5)
        check(status == 0, f"exit status {status} after closing the window")
        check(not player.report(), f"unexpected report: {player.report()}")
        size = os.path.getsize(audio)
        time.sleep(0.3)
        check(os.path.getsize(audio) == size, "music was still written after the program ended")


def test_music_starts_and_stops(x, morvi, root):
    folder = kit.StoryFolder(root, ["#midi song.mid", kit.line(1), "#midi", kit.line(2),
                                    kit.line(3), ""], pieces=["song.mid"])
    audio = os.path.join(root, "audio.raw")
    with Player(x, morvi, folder.path, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=audio) as player:
        player.show()
        player.wait_line(1)
        wait_for_sound(audio)

        player.click()
        player.wait_line(2)
        # What was rendered before the click may still be on its way to the file.
        time.sleep(0.5)
        start = os.path.getsize(audio)
        deadline = time.monotonic() + 10
        while os.path.getsize(audio) < start + BYTES_PER_SECOND and time.monotonic() < deadline:
            time.sleep(0.1)
        after = audio_samples(audio, start - start % 8)
        check(len(after) >= BYTES_PER_SECOND // 4, "the audio output stopped growing")
        loud = sum(1 for v in after if v != 0.0)
        check(loud == 0, f"{loud} of {len(after)} samples after a bare #midi are not silent")

        x.close_window(player.window)
        check(player.exit_status(timeout=5) == 0, "the player did not end cleanly")


# ---- errors

def test_image_without_name_during_click(x, morvi, root):
    folder = kit.StoryFolder(root, [kit.line(1), "#image", kit.line(2), kit.line(3), ""])
    with Player(x, morvi, folder.path) as player:
        player.show()
        player.wait_line(1)
        player.click()
        dismiss_box(x, exclude=[player.window])
        report = player.report()
        check("story.txt:2:" in report and "#image needs a file name" in report,
              f"the report does not name the story line: {report!r}")
        # The line that failed is passed; the line on display stays until the next click.
        check(kit.shown_line(player.shot()) == 1, "the line on display changed on an error")
        time.sleep(GESTURE_GAP)
        player.click()
        player.wait_line(2)
        x.close_window(player.window)
        check(player.exit_status(timeout=5) == 0, "the player did not end cleanly")


STARTUP_FAILURES = [
    # name, story lines (None: no story file), what the report must say
    ("missing story", None, ["dat/story.txt", "{folder}"]),
    ("missing picture", ["#image nothere.bmp", kit.line(1), kit.line(2)], ["nothere.bmp"]),
    ("#image without a name", ["#image", kit.line(1), kit.line(2)], ["#image needs a file name"]),
]


def test_startup_failures(x, morvi, root):
    for index, (name, lines, expected) in enumerate(STARTUP_FAILURES):
        folder = kit.StoryFolder(os.path.join(root, str(index)), lines)
        watch = MapWatch(x)
        with Player(x, morvi, folder.path) as player:
            box = dismiss_box(x)
            status = player.exit_status(timeout=5)
            mapped = watch.stop()
            check(status not in (0, None) and status > 0,
                  f"{name}: exit status {status}, not a failure")
            check(mapped == [box], f"{name}: windows mapped {mapped}, only the box {box} expected")
            report = player.report()
            for text in expected:
                text = text.format(folder=folder.path)
                check(text in report, f"{name}: the report does not say {text!r}: {report!r}")


TESTS = [test_first_frame_and_shade, test_clicks_and_commands, test_story_ends,
         test_image_without_name_during_click, test_startup_failures,
         test_close_window_during_music, test_music_starts_and_stops]


def run_tests(tests, prefix):
    """Runs the tests named on the command line (all when none is) in one X server, each in a
    scratch folder of its own; exits non-zero when any failed."""
    morvi = os.path.abspath(sys.argv[1])
    chosen = [t for t in tests if len(sys.argv) < 3 or t.__name__ in sys.argv[2:]]
    failed = []
    with xharness.XServer(1024, 768) as x:
        for test in chosen:
            started = time.monotonic()
            with tempfile.TemporaryDirectory(prefix=prefix) as root:
                try:
                    test(x, morvi, root)
                except AssertionError as error:
                    failed.append(test.__name__)
                    print(f"FAIL {test.__name__}: {error}", flush=True)
                    continue
            print(f"ok   {test.__name__} ({time.monotonic() - started:.1f} s)", flush=True)
    if failed:
        print(f"{len(failed)} failed: {', '.join(failed)}")
        sys.exit(1)
    print("all passed")


def main():
    run_tests(TESTS, "morvi-e2e-")


if __name__ == "__main__":
    main()
