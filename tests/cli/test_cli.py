#!/usr/bin/env python3
"""The real morvi binary from the command line.

Usage: test_cli.py MORVI SOURCE_DIR

Without any display: --help, --version, bad command lines, a folder that does not exist,
--check and --walk (golden outputs for the demo story and for a story made on Windows, with
upper-case folders, '\\' paths, Japanese names and jumps). With a display of its own (Xvfb, when
installed): --trace, Space and Enter stepping, and --scale 2.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

MORVI = None
SOURCE = None


def headless_env():
    """An environment with no display at all, so that any attempt to open a window fails."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.pop("SDL_VIDEODRIVER", None)
    env["SDL_AUDIODRIVER"] = "dummy"
    return env


def run(*args, cwd=None):
    result = subprocess.run([MORVI, *args], cwd=cwd, env=headless_env(), capture_output=True,
                            timeout=120)
    return result.returncode, result.stdout.decode("utf-8"), result.stderr.decode("utf-8")


def write_story(folder, lines, story_path="dat/story.txt"):
    """Writes the lines in Shift-JIS (code page 932) with CR LF line ends, as Windows editors do."""
    path = os.path.join(folder, story_path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(b"".join(line.encode("cp932") + b"\r\n" for line in lines))


def write_checks_bmp(path, width, height):
    """A 24-bit Windows bitmap whose pixels alternate red and blue like a chessboard."""
    row_bytes = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in reversed(range(height)):  # bottom-up
        row = bytearray()
        for x in range(width):
            row += b"\x00\x00\xff" if (x + y) % 2 == 0 else b"\xff\x00\x00"  # blue, green, red
        pixels += row + b"\x00" * (row_bytes - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def windows_made_folder(folder):
    """A story folder as it comes from Windows: DAT in capitals, names in mixed case, a picture
    in a Japanese-named subfolder reached by a '\\' path, and 表 (0x95 0x5C), whose second byte
    is a backslash."""
    demo = os.path.join(SOURCE, "demo", "dat")
    os.makedirs(os.path.join(folder, "DAT", "絵"))
    shutil.copy(os.path.join(demo, "yuuhi.bmp"), os.path.join(folder, "DAT", "絵", "表.Bmp"))
    shutil.copy(os.path.join(demo, "umi.jpg"), os.path.join(folder, "DAT", "ソ.JPG"))
    shutil.copy(os.path.join(demo, "tsuki.mid"), os.path.join(folder, "DAT", "Theme.mid"))
    write_story(folder, [
        "// made on Windows",
        "#midi theme.MID",
        "#image 絵\\表.bmp",
        "はじめ",
        "#goto @b",
        "@a",
        "A の行",
        "#goto @c",
        "@b",
        "B の行",
        "#GOTO @a",
        "@c",
        "#image ソ.jpg",
        "C の行",
        "#image missing.bmp",
        "D の行",
        "#End",
        "",
    ], story_path="DAT/STORY.TXT")


WINDOWS_WALK = """\
#midi theme.MID
#image 絵\\表.bmp
はじめ
#goto @b
B の行
#GOTO @a
A の行
#goto @c
#image ソ.jpg
C の行
#image missing.bmp
error: dat/story.txt:15: cannot open "dat/missing.bmp": No such file or directory
D の行
#End
"""


class CommandLine(unittest.TestCase):
    def test_help_and_version(self):
        code, out, _ = run("--help")
        self.assertEqual(code, 0)
        self.assertTrue(out.startswith("Usage: morvi [OPTION]... [FOLDER]\n"))
        for option in ("--scale N", "--trace", "--check", "--walk", "--steps N", "--version"):
            self.assertIn(option, out)
        self.assertEqual(run("--version")[:2], (0, "morvi 0.1.0\n"))

    def test_bad_command_lines(self):
        cases = [
            (["--fast"], "morvi: unknown option '--fast'\n"),
            (["--scale", "9"], "morvi: '--scale' needs a whole number from 1 to 8, not '9'\n"),
            (["a", "b"], "morvi: more than one folder given: 'b'\n"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                code, out, err = run(*args)
                self.assertEqual(code, 2)
                self.assertEqual(out, "")
                self.assertEqual(err, message + "Try 'morvi --help' for more information.\n")

    def test_folder_that_does_not_exist(self):
        code, out, err = run("--check", "/nonexistent/story")
        self.assertEqual(code, 2)
        self.assertEqual(err, "morvi: cannot open the story folder '/nonexistent/story': "
                              "No such file or directory\n")


class Check(unittest.TestCase):
    def test_demo_story(self):
        code, out, err = run("--check", os.path.join(SOURCE, "demo"))
        with open(os.path.join(SOURCE, "tests", "cli", "golden", "demo-check.txt"),
                  encoding="utf-8") as f:
            self.assertEqual(out, f.read())
        self.assertEqual(code, 0, err)

    def test_errors_give_status_1(self):
        with tempfile.TemporaryDirectory() as folder:
            write_story(folder, ["一行目", "#goto @どこ", "#end", ""])
            code, out, _ = run("--check", folder)
        self.assertEqual(code, 1)
        self.assertEqual(out, "dat/story.txt:2: error: #goto @どこ: no line holds the label @どこ\n"
                              "1 error, 0 warnings\n")

    def test_windows_made_folder(self):
        with tempfile.TemporaryDirectory() as folder:
            windows_made_folder(folder)
            code, out, _ = run("--check", folder)
        self.assertEqual(code, 1)
        case = "in other letter case: found here, but not on systems where case matters"
        self.assertEqual(out.splitlines(), [
            f"dat/story.txt: warning: exists only as DAT/STORY.TXT, {case}",
            f"dat/story.txt:2: warning: dat/theme.MID exists only as DAT/Theme.mid, {case}",
            f"dat/story.txt:3: warning: dat/絵/表.bmp exists only as DAT/絵/表.Bmp, {case}",
            f"dat/story.txt:13: warning: dat/ソ.jpg exists only as DAT/ソ.JPG, {case}",
            "dat/story.txt:15: error: dat/missing.bmp: no such file",
            "1 error, 4 warnings",
        ])


class Walk(unittest.TestCase):
    def test_demo_story(self):
        code, out, err = run("--walk", os.path.join(SOURCE, "demo"))
        with open(os.path.join(SOURCE, "tests", "cli", "golden", "demo-walk.txt"),
                  encoding="utf-8") as f:
            self.assertEqual(out, f.read())
        self.assertEqual(code, 0, err)

    def test_windows_made_story_with_jumps_and_commands(self):
        with tempfile.TemporaryDirectory() as folder:
            windows_made_folder(folder)
            code, out, _ = run("--walk", folder)
        self.assertEqual(out, WINDOWS_WALK)
        self.assertEqual(code, 1)

    def test_steps_limit_and_endless_story(self):
        with tempfile.TemporaryDirectory() as folder:
            write_story(folder, ["@top", "again", "#goto @top", ""])
            code, out, _ = run("--walk", "--steps", "3", folder)
        self.assertEqual(code, 0)
        self.assertEqual(out, "again\n#goto @top\nagain\n#goto @top\nagain\n"
                              "(stopped after 3 steps)\n")

    def test_story_that_cannot_start(self):
        cases = [
            (["#image", "never"], "#image\nerror: dat/story.txt:1: #image needs a file name\n"
                                  "(the player does not start)\n"),
            (["one", "two"], "one\n(end: line 2 is the file's last line, which ends the story "
                             "unshown)\n"),
        ]
        for lines, expected in cases:
            with self.subTest(lines=lines), tempfile.TemporaryDirectory() as folder:
                write_story(folder, lines)
                self.assertEqual(run("--walk", folder)[1], expected)
        with tempfile.TemporaryDirectory() as folder:
            code, out, _ = run("--walk", folder)
            self.assertEqual(code, 1)
            self.assertEqual(out, f"error: dat/story.txt: the story file was not found in "
                                  f"{os.path.realpath(folder)}\n(the player does not start)\n")


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xdotool") and shutil.which("import"),
                     "needs Xvfb, xdotool and ImageMagick")
class OnScreen(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
        import xharness
        cls.xharness = xharness

    def window_of(self, server, program):
        """The program's window once its id has stopped changing: SDL may replace the X window
        when it first draws into it (a renderer needing another visual)."""
        previous = None
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            if program.process.poll() is not None:
                self.fail(f"morvi ended early: {''.join(program.stderr)}")
            windows = server.find_windows(timeout=1.0, pid=program.process.pid)
            if windows and windows == previous:
                return windows[0]
            previous = windows
            time.sleep(0.3)
        self.fail("no stable window of morvi")

    def play(self, server, folder, *args):
        program = self.xharness.Program([MORVI, "--trace", *args, folder], server.env())
        self.addCleanup(program.kill)
        return program

    def test_keys_step_like_a_click(self):
        with self.xharness.XServer() as server, tempfile.TemporaryDirectory() as folder:
            write_story(folder, ["一", "二", "三", "四", "#end", ""])
            program = self.play(server, folder)
            window = self.window_of(server, program)
            program.expect("一")
            server.key(window, "space")
            program.expect("二")
            server.key(window, "Return")
            program.expect("三")
            server.key(window, "KP_Enter")
            program.expect("四")
            server.key(window, "a")
            program.expect_silence(0.5)
            server.key(window, "space")  # #end
            self.assertEqual(program.wait(), 0)

    def test_scale_2_enlarges_each_pixel_and_clicks_still_step(self):
        with self.xharness.XServer() as server, tempfile.TemporaryDirectory() as folder:
            # A picture of one-pixel checks in red and blue: any smoothing or a half-pixel
            # shift of the enlargement mixes neighbours into a block.
            os.makedirs(os.path.join(folder, "dat"))
            write_checks_bmp(os.path.join(folder, "dat", "c.bmp"), 320, 240)
            write_story(folder, ["#image c.bmp", "one", "two", "#end", ""])
            program = self.play(server, folder, "--scale", "2")
            window = self.window_of(server, program)
            program.expect("one")
            x, y, width, height = server.geometry(window)
            self.assertEqual((width, height), (640, 560))
            # Centred by its real size on the 1024 x 768 screen.
            self.assertEqual((x, y), ((1024 - 640) // 2, (768 - 560) // 2))
            time.sleep(0.5)  # a few frames of the 50 ms render procedure
            shot = server.screenshot(window)
            self.assertEqual((shot.width, shot.height), (640, 560))
            blocks = 0
            for sy in range(0, 200):  # above the shaded band, which changes from frame to frame
                for sx in range(0, 640, 2):
                    block = {shot.pixel(sx + dx, sy * 2 + dy) for dx in (0, 1) for dy in (0, 1)}
                    self.assertEqual(len(block), 1, f"block at ({sx}, {sy * 2}) is not one colour")
                    blocks += 1
            self.assertEqual(blocks, 200 * 320)
            self.assertNotEqual(shot.pixel(0, 0), shot.pixel(2, 0))
            self.assertEqual(shot.pixel(0, 0), shot.pixel(2, 2))
            # The lower right corner, beyond 320 x 280, is still part of the picture to click.
            server.click(window, 630, 550)
            program.expect("two")


def main():
    global MORVI, SOURCE
    MORVI, SOURCE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0], "-v"])


if __name__ == "__main__":
    main()
