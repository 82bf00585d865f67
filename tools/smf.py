"""A tiny Standard MIDI File writer, just enough for the demo story's music.

Events are collected per track with absolute tick times and written sorted by time. At equal times
note-offs come before everything else, so a note that ends where the next one starts is released
first, and meta and setup events (tempo, program, controllers) come before note-ons. Each track ends
with its End-of-Track event at a time the caller chooses: a player that loops a piece jumps back
when the last track ends, so ending exactly on a bar line makes the loop seamless.

Example:
    song = Song(division=480)
    t = song.track("Piano")
    t.tempo(0, 72)
    t.program(0, channel=0, program=0)
    t.note(0, channel=0, pitch=60, length=480, velocity=80)
    t.end(1920)
    song.write("piece.mid")
"""

import struct

# Sort ranks for events that share a tick.
_OFF, _META, _SETUP, _ON = 0, 1, 2, 3


def _varlen(value):
    """Encode a non-negative integer as a MIDI variable-length quantity."""
    if value < 0 or value > 0x0FFFFFFF:
        raise ValueError(f"delta time out of range: {value}")
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def _check(name, value, low, high):
    if not low <= value <= high:
        raise ValueError(f"{name} {value} outside {low}..{high}")


class Track:
    def __init__(self, name=None):
        self._events = []  # (tick, rank, sequence, bytes)
        self._end = None
        if name:
            self.meta(0, 0x03, name.encode("ascii"))

    def _add(self, tick, rank, data):
        _check("tick", tick, 0, 0x0FFFFFFF)
        self._events.append((tick, rank, len(self._events), bytes(data)))

    def meta(self, tick, kind, payload=b""):
        self._add(tick, _META, bytes([0xFF, kind]) + _varlen(len(payload)) + payload)

    def tempo(self, tick, bpm):
        """Tempo in quarter notes per minute."""
        micros = round(60_000_000 / bpm)
        self.meta(tick, 0x51, micros.to_bytes(3, "big"))

    def time_signature(self, tick, numerator, denominator):
        power = denominator.bit_length() - 1
        if 1 << power != denominator:
            raise ValueError(f"denominator {denominator} is not a power of two")
        self.meta(tick, 0x58, bytes([numerator, power, 24, 8]))

    def program(self, tick, channel, program):
        _check("channel", channel, 0, 15)
        _check("program", program, 0, 127)
        self._add(tick, _SETUP, [0xC0 | channel, program])

    def control(self, tick, channel, controller, value):
        _check("channel", channel, 0, 15)
        _check("controller", controller, 0, 127)
        _check("value", value, 0, 127)
        self._add(tick, _SETUP, [0xB0 | channel, controller, value])

    def note(self, tick, channel, pitch, length, velocity):
        _check("channel", channel, 0, 15)
        _check("pitch", pitch, 0, 127)
        _check("velocity", velocity, 1, 127)
        if length <= 0:
            raise ValueError(f"note length must be positive, got {length}")
        self._add(tick, _ON, [0x90 | channel, pitch, velocity])
        self._add(tick + length, _OFF, [0x80 | channel, pitch, 0x40])

    def end(self, tick):
        """Place End-of-Track; every event must lie at or before it."""
        self._end = tick

    def encode(self):
        if self._end is None:
            raise ValueError("track has no end; call end(tick)")
        events = sorted(self._events)
        if events and events[-1][0] > self._end:
            raise ValueError(f"event at tick {events[-1][0]} lies after the end at {self._end}")
        body = bytearray()
        now = 0
        for tick, _rank, _seq, data in events:
            body += _varlen(tick - now) + data
            now = tick
        body += _varlen(self._end - now) + b"\xff\x2f\x00"
        return b"MTrk" + struct.pack(">I", len(body)) + bytes(body)


class Song:
    def __init__(self, division=480):
        _check("division", division, 1, 0x7FFF)
        self.division = division
        self.tracks = []

    def track(self, name=None):
        track = Track(name)
        self.tracks.append(track)
        return track

    def encode(self):
        if not self.tracks:
            raise ValueError("a song needs at least one track")
        fmt = 0 if len(self.tracks) == 1 else 1
        header = b"MThd" + struct.pack(">IHHH", 6, fmt, len(self.tracks), self.division)
        return header + b"".join(t.encode() for t in self.tracks)

    def write(self, path):
        with open(path, "wb") as f:
            f.write(self.encode())
