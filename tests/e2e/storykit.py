"""Story folders and screen readings for end-to-end runs of the real player.

`StoryFolder` writes a throw-away story: dat/story.txt in Shift-JIS with Windows line ends,
24-bit BMP pictures made from a pixel function, and MIDI files through tools/smf.py. The reading
helpers look at a screenshot of the 320 x 280 window (an `xharness.Picture`): which picture the
top shows and which line the text band shows.

Lines for tests are written as runs of full-width squares ("■　■　■" is line 3) so that a
screenshot tells which line is on display by counting the squares, whatever the background.
"""

import os
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import smf  # noqa: E402
import xharness  # noqa: E402

WIDTH, HEIGHT = 320, 280
TEXT_TOP, TEXT_BOTTOM = 244, 272  # rows that hold the 14-pixel line written at y = 250
GREY = (0x44, 0x44, 0x44)


def line(n):
    """The story line that shows as N full-width squares separated by full-width spaces."""
    return "　".join(["■"] * n)


class Image:
    """Pixels as (red, green, blue) tuples, made from a function of (x, y)."""

    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.rows = [[colour(x, y) for x in range(width)] for y in range(height)]

    def pixel(self, x, y):
        return self.rows[y][x]

    def bmp(self):
        """A 24-bit bottom-up Windows bitmap with rows padded to four bytes."""
        pad = (4 - self.width * 3 % 4) % 4
        body = bytearray()
        for row in reversed(self.rows):
            for r, g, b in row:
                body += bytes((b, g, r))
            body += bytes(pad)
        header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, len(body),
                           2835, 2835, 0, 0)
        return header + info + bytes(body)


def bright_picture():
    """320 x 240 with every channel between 100 and 255 and values that change from pixel to
    pixel, so that every row the shade touches differs from the picture."""
    return Image(320, 240, lambda x, y: (100 + (x + 3 * y) % 156,
                                         255 - (2 * x + y) % 156,
                                         100 + (7 * x + 11 * y) % 156))


def tall_picture():
    """320 x 300; its rows 240 and below are dark enough (every channel under 200) for white
    text to stand out, and varied so that any shading would show."""
    def colour(x, y):
        if y < 240:
            return (255 - (x + y) % 120, 60 + (3 * x) % 100, 120 + y % 100)
        return (20 + (x + y) % 80, 40 + x % 60, 90 + y % 100)
    return Image(320, 300, colour)


def music(path, seconds=8):
    """A piano piece that sounds without a gap for about Seconds: one chord per beat."""
    song = smf.Song(division=480)
    track = song.track("Piano")
    track.tempo(0, 120)
    track.program(0, channel=0, program=0)
    beats = seconds * 2
    for beat in range(beats):
        for pitch in (60, 64, 67) if beat % 2 == 0 else (62, 65, 69):
            track.note(beat * 480, channel=0, pitch=pitch, length=480, velocity=100)
    track.end(beats * 480)
    song.write(path)


class StoryFolder:
    """A story folder under Root: Lines become dat/story.txt; Pictures ({name: Image}) and
    Pieces (names of MIDI files) are written into dat."""

    def __init__(self, root, lines, pictures=None, pieces=()):
        self.path = root
        dat = os.path.join(root, "dat")
        os.makedirs(dat, exist_ok=True)
        if lines is not None:
            with open(os.path.join(dat, "story.txt"), "wb") as f:
                f.write("\r\n".join(lines).encode("cp932") + b"\r\n")
        for name, image in (pictures or {}).items():
            with open(os.path.join(dat, name), "wb") as f:
                f.write(image.bmp())
        for name in pieces:
            music(os.path.join(dat, name))


# ---- reading screenshots

def shows_rows(shot, image, rows, step=1):
    """True when the screenshot's Rows equal the image's (every Step-th column)."""
    for y in rows:
        for x in range(0, WIDTH, step):
            if shot.pixel(x, y) != image.pixel(x, y):
                return False
    return True


def shows_picture(shot, image):
    """True when rows 0 to 199, which the shade never touches, show the image."""
    return shows_rows(shot, image, range(0, 200, 7), step=5)


def is_uniform(shot):
    first = shot.pixel(0, 0)
    return all(shot.pixel(x, y) == first for y in range(0, HEIGHT, 9) for x in range(0, WIDTH, 9))


def is_text_pixel(pixel):
    return min(pixel) >= 200


def shown_line(shot):
    """The number of squares in the text band: runs of columns holding white pixels."""
    runs, inside = 0, False
    for x in range(WIDTH):
        white = any(is_text_pixel(shot.pixel(x, y)) for y in range(TEXT_TOP, TEXT_BOTTOM))
        if white and not inside:
            runs += 1
        inside = white
    return runs


def text_band(shot):
    return [shot.pixel(x, y) for y in range(240, HEIGHT) for x in range(WIDTH)]


def screenshot(x, window):
    """The window's pixels. `import` asks the user to pick a window when the one named has gone,
    so it gets a short time limit and the failure says so."""
    try:
        raw = subprocess.run(["import", "-window", str(window), "-depth", "8", "ppm:-"],
                             env=x.env(), capture_output=True, timeout=5, check=True).stdout
    except subprocess.TimeoutExpired:
        raise AssertionError(f"no screenshot of window {window}: it has gone") from None
    except subprocess.CalledProcessError as error:
        raise AssertionError(f"no screenshot of window {window}: {error.stderr!r}") from None
    return xharness.Picture.from_ppm(raw)


def poll(x, window, condition, timeout, what):
    """Screenshots of Window until Condition(shot) holds; returns that shot and every shot taken
    on the way, or fails naming What."""
    shots = []
    deadline = time.monotonic() + timeout
    while True:
        shot = screenshot(x, window)
        shots.append(shot)
        if condition(shot):
            return shot, shots
        if time.monotonic() > deadline:
            raise AssertionError(f"{what}: not seen within {timeout} s")
