#!/usr/bin/env python3
"""Reads the screen of the demo's headless display to find where to click.

  demo-pixels.py color X Y                 prints the colour at (X, Y) as RRGGBB
  demo-pixels.py wait X Y RRGGBB [SECS]    waits until (X, Y) has that colour
  demo-pixels.py run X RRGGBB [--after RRGGBB] [SECS]
        waits until the column at X holds a run of the colour (at least 20 px,
        at most 3 px below a pixel of the --after colour when given) that stays
        put for 0.3 s, and prints the run's middle Y

Colours match within a small tolerance (antialiasing, the compositor).
Exits 1 when the time runs out.
"""
import subprocess
import sys
import time

TOLERANCE = 14


def column(x, y=0, height=None):
    geometry = f"1x{height}+{x}+{y}" if height else f"1x100000+{x}+0"
    # A failed or stuck grab reads as "not there yet": the callers poll.
    try:
        out = subprocess.run(
            ["import", "-window", "root", "-crop", geometry, "+repage", "-depth", "8", "txt:-"],
            check=True, capture_output=True, text=True, timeout=10).stdout
    except (subprocess.CalledProcessError, subprocess.TimeoutExpired):
        return []
    pixels = []
    for line in out.splitlines():
        if line.startswith("#"):
            continue
        hexpos = line.find("#")
        if hexpos < 0:
            continue
        pixels.append(line[hexpos + 1:hexpos + 7].upper())
    return pixels


def close(a, b):
    return all(abs(int(a[i:i + 2], 16) - int(b[i:i + 2], 16)) <= TOLERANCE for i in (0, 2, 4))


def runs(pixels, colour, after):
    found = []
    y = 0
    while y < len(pixels):
        if close(pixels[y], colour):
            start = y
            while y < len(pixels) and close(pixels[y], colour):
                y += 1
            if y - start >= 20 and (after is None or any(close(p, after) for p in pixels[max(0, start - 3):start])):
                found.append((start, y))
        else:
            y += 1
    return found


def main(argv):
    if len(argv) >= 3 and argv[0] == "color":
        pixel = column(int(argv[1]), int(argv[2]), 1)
        if not pixel:
            return 1
        print(pixel[0])
        return 0
    if len(argv) >= 4 and argv[0] == "wait":
        x, y, colour = int(argv[1]), int(argv[2]), argv[3].upper()
        deadline = time.monotonic() + (float(argv[4]) if len(argv) > 4 else 20)
        while time.monotonic() < deadline:
            pixel = column(x, y, 1)
            if pixel and close(pixel[0], colour):
                return 0
            time.sleep(0.1)
        return 1
    if len(argv) >= 3 and argv[0] == "run":
        x, colour = int(argv[1]), argv[2].upper()
        rest = argv[3:]
        after = None
        if len(rest) >= 2 and rest[0] == "--after":
            after = rest[1].upper()
            rest = rest[2:]
        deadline = time.monotonic() + (float(rest[0]) if rest else 20)
        last, since = None, time.monotonic()
        while time.monotonic() < deadline:
            found = runs(column(x), colour, after)
            first = found[0] if found else None
            now = time.monotonic()
            if first != last:
                last, since = first, now
            elif first is not None and now - since >= 0.3:
                print((first[0] + first[1]) // 2)
                return 0
            time.sleep(0.1)
        return 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
