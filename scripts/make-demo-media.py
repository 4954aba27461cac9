#!/usr/bin/env python3
"""Makes the media of the demo's sound and video page.

    scripts/make-demo-media.py [FOLDER]   (default: examples/demo/embedded)

Writes three embedded files of the demo, each numbered as the demo's
embedded file list numbers them:

  2-music.mid  a 16-second tune that loops cleanly: a melody over a bass
               line, written note by note here (format 0, two channels)
  3-click.wav  a 40-ms click, 8-bit mono PCM at 22050 Hz, made by ffmpeg
  4-clip.mpg   a 5-second zoom into the Mandelbrot set, 160 x 120 MPEG-1
               video in a program stream, made by ffmpeg

The files are committed; run this again only to change them. The same
ffmpeg version gives the same bytes for the click; the video's bytes may
differ between versions.
"""

import os
import struct
import subprocess
import sys

TICKS = 480  # a quarter note
TEMPO_US = 500000  # a quarter note lasts half a second: 120 beats a minute


def var_length(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, (n & 0x7F) | 0x80)
        n >>= 7
    return bytes(out)


def tune_events():
    """(tick, status, data1, data2) of the melody and the bass, 8 bars of 4/4."""
    # C major pentatonic melody, in eighths (240 ticks); None is a rest.
    melody = [
        72, 76, 79, 76, 74, 72, 69, None,
        72, 74, 76, 79, 81, 79, 76, None,
        79, 76, 74, 72, 74, 76, 72, None,
        69, 72, 74, 76, 74, 72, 72, None,
    ] * 2
    # One bass note a half bar: C, A, F, G.
    bass = [48, 48, 45, 45, 41, 41, 43, 43] * 2
    events = []
    for i, note in enumerate(melody):
        if note is None:
            continue
        start = i * 240
        events.append((start, 0x90, note, 80))
        events.append((start + 220, 0x80, note, 0))
    for i, note in enumerate(bass):
        start = i * 960
        events.append((start, 0x91, note, 90))
        events.append((start + 900, 0x81, note, 0))
    # Note-offs before note-ons at the same tick.
    events.sort(key=lambda e: (e[0], e[1] & 0xF0 == 0x90))
    return events, len(melody) * 240


def write_midi(path):
    track = bytearray()
    track += b"\x00\xFF\x51\x03" + struct.pack(">I", TEMPO_US)[1:]
    track += b"\x00\xFF\x58\x04\x04\x02\x18\x08"  # 4/4
    track += b"\x00\xC0\x0B"  # channel 1: vibraphone
    track += b"\x00\xC1\x20"  # channel 2: acoustic bass
    events, end = tune_events()
    now = 0
    for tick, status, a, b in events:
        track += var_length(tick - now) + bytes([status, a, b])
        now = tick
    track += var_length(end - now) + b"\xFF\x2F\x00"
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS)
    with open(path, "wb") as out:
        out.write(header + b"MTrk" + struct.pack(">I", len(track)) + bytes(track))


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", *args], check=True)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "examples", "demo", "embedded")
    os.makedirs(folder, exist_ok=True)
    write_midi(os.path.join(folder, "2-music.mid"))
    ffmpeg("-f", "lavfi", "-i", "sine=f=1760:d=0.04,afade=t=out:d=0.04", "-ac", "1", "-ar", "22050",
           "-c:a", "pcm_u8", "-bitexact", os.path.join(folder, "3-click.wav"))
    ffmpeg("-f", "lavfi", "-i", "mandelbrot=s=160x120:rate=25,trim=duration=5", "-c:v",
           "mpeg1video", "-b:v", "100k", "-maxrate", "100k", "-bufsize", "200k", "-f", "mpeg",
           os.path.join(folder, "4-clip.mpg"))


if __name__ == "__main__":
    main()
