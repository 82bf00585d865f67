#!/usr/bin/env python3
"""CPU share of the frame loop while it runs one 50 ms procedure.

Usage: frame_loop_cpu.py PATH_TO_SHELL_PROBE [SECONDS]

Starts a private Xvfb, runs the shell probe in its measuring mode (a full 320 x 280 frame copied
to the window every call of a 50 ms procedure, as the story player does), and reports the
process's user + system CPU time over the measured stretch as a share of one core.
The goal is at most 1 %; the exit status is 1 when the goal is missed.
"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import xharness  # noqa: E402

GOAL_PERCENT = 1.0


def main():
    probe = os.path.abspath(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    with xharness.XServer(1024, 768) as x:
        program = xharness.Program([probe, "--bench"], env=x.env())
        try:
            program.expect("frame 1")
            time.sleep(1.0)  # past start-up: fonts, renderer, first textures
            cpu_before, wall_before = program.cpu_seconds(), time.monotonic()
            time.sleep(seconds)
            cpu_after, wall_after = program.cpu_seconds(), time.monotonic()
        finally:
            program.kill()
    share = 100.0 * (cpu_after - cpu_before) / (wall_after - wall_before)
    print(f"frame loop, one 50 ms procedure: {share:.2f} % of one core over "
          f"{wall_after - wall_before:.1f} s (goal <= {GOAL_PERCENT} %)")
    return 0 if share <= GOAL_PERCENT else 1


if __name__ == "__main__":
    sys.exit(main())
