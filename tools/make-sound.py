#!/usr/bin/env python3
"""Writes resources/message.wav: a short two-note chime announcing new orders.

16-bit mono PCM at 22050 Hz, about 0.45 s. Deterministic, so the committed file only changes
when this script does."""
import math
import os
import struct
import wave

RATE = 22050
NOTES = [(880.0, 0.0, 0.30), (1318.5, 0.12, 0.33)]  # frequency, start (s), length (s)
LENGTH = 0.47
VOLUME = 0.32


def sample(t):
    value = 0.0
    for freq, start, length in NOTES:
        local = t - start
        if 0.0 <= local < length:
            attack = min(1.0, local / 0.008)
            decay = math.exp(-local * 9.0)
            tail = min(1.0, (length - local) / 0.02)
            tone = math.sin(2 * math.pi * freq * local) + 0.25 * math.sin(4 * math.pi * freq * local)
            value += tone * attack * decay * tail
    return value


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = os.path.join(root, "resources", "message.wav")
    frames = bytearray()
    for i in range(int(RATE * LENGTH)):
        v = max(-1.0, min(1.0, sample(i / RATE) * VOLUME))
        frames += struct.pack("<h", int(v * 32767))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(frames))
    print("resources/message.wav")


if __name__ == "__main__":
    main()
