#!/usr/bin/env python3
"""End to end: the window shell in a real X server.

Usage: test_shell.py PATH_TO_SHELL_PROBE

Checks that the window opens with a 320 x 280 client area centred on a 1024 x 768 screen,
shows the panel's dark grey until something is painted, turns one click into one OnClick and a
double-click into one OnClick plus one OnDblClick, reports an error raised by a handler and
carries on, ends the loop and the process when the window is closed, and exits with status 1
after reporting an error raised while the window is being built.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xharness  # noqa: E402

PANEL = (0x44, 0x44, 0x44)
# SDL's double-click time is 500 ms: wait longer than that between separate gestures.
GESTURE_GAP = 1.0


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def dismiss_message_box(x, title):
    boxes = x.find_windows_titled(title, timeout=10)
    check(boxes, f"no message box titled {title!r} appeared")
    # Without a window manager the key reaches the box only once it has the focus.
    x.xdotool("windowfocus", "--sync", boxes[0])
    x.xdotool("key", "Return")
    deadline = time.monotonic() + 10
    while x.find_windows_titled(title, timeout=0) and time.monotonic() < deadline:
        time.sleep(0.1)
    check(not x.find_windows_titled(title, timeout=0), "the message box did not close")


def test_window_clicks_and_close(x, probe):
    program = xharness.Program([probe], env=x.env())
    try:
        program.expect("frame 1")
        window = x.find_window(program.process.pid)

        left, top, width, height = x.geometry(window)
        check((width, height) == (320, 280), f"client area {width}x{height}, not 320x280")
        check((left, top) == ((1024 - 320) // 2, (768 - 280) // 2),
              f"window at {left},{top}, not centred at 352,244")

        shot = x.screenshot(window)
        for px, py in [(0, 0), (160, 140), (319, 279)]:
            check(shot.pixel(px, py) == PANEL,
                  f"pixel {px},{py} is {shot.pixel(px, py)} before anything was painted")

        x.click(window, 160, 140)
        program.expect("click 1")
        program.expect_silence(GESTURE_GAP)
        # The probe paints one colour per click: red 0xFF - 10, green 0x20, blue 40.
        shot = x.screenshot(window)
        check(shot.pixel(160, 140) == (0xF5, 0x20, 40),
              f"painted pixel is {shot.pixel(160, 140)} after the first click")

        x.click(window, 100, 100, repeat=2)
        program.expect("click 2")
        program.expect("dblclick 3")
        program.expect_silence(GESTURE_GAP)

        x.key(window, "e")
        dismiss_message_box(x, "probe-app")
        check(any("probe-app: probe handler failure" == line for line in program.stderr),
              f"no report on stderr: {program.stderr}")
        x.key(window, "space")
        program.expect("key 32")
        time.sleep(GESTURE_GAP)
        x.click(window, 50, 50)
        program.expect("click 4")

        x.close_window(window)
        program.expect("end 0")
        status = program.wait(timeout=10)
        check(status == 0, f"exit status {status} after closing")
    finally:
        program.kill()


def test_startup_error(x, probe):
    program = xharness.Program([probe, "--fail-startup"], env=x.env())
    try:
        dismiss_message_box(x, "probe-app")
        status = program.wait(timeout=10)
        check(status == 1, f"exit status {status} after a failed start, not 1")
        check(not x.find_windows(pid=program.process.pid, timeout=0), "the window was shown")
        time.sleep(0.2)  # let the stderr reader finish
        reports = [line for line in program.stderr if line.startswith("probe-app:")]
        check(reports == ["probe-app: probe start-up failure"], f"stderr: {program.stderr}")
    finally:
        program.kill()


def main():
    probe = os.path.abspath(sys.argv[1])
    with xharness.XServer(1024, 768) as x:
        for test in (test_window_clicks_and_close, test_startup_error):
            print(f"== {test.__name__}", flush=True)
            test(x, probe)
    print("all passed")


if __name__ == "__main__":
    main()
