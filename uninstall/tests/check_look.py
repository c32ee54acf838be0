#!/usr/bin/env python3
"""Checks a screenshot of the uninstaller's dialog (640 x 390, client area only) by its pixels.

    check_look.py progress SHOT.png PERCENT   progress page showing PERCENT
    check_look.py finished SHOT.png           finished page, pointer away from the Done button
    check_look.py hover SHOT.png              finished page, pointer on the Done button

Prints one line per failed check and exits 1 if any failed. The PNG is decoded by ImageMagick.
"""
import subprocess
import sys

HEADER = (240, 240, 240)
BOTTOM = (247, 247, 247)
TEAL = (42, 212, 170)
TEAL_HOVER = (17, 234, 183)
GREY = (204, 204, 204)

BAR_X, BAR_Y, BAR_W = 30, 352, 546
CLOSE_CENTRE = (624, 10)
ICON = (278, 149)
DONE = (196, 330, 252, 30)


class Shot:
    def __init__(self, path):
        ppm = subprocess.run(["/usr/bin/convert", path, "-depth", "8", "ppm:-"],
                             check=True, capture_output=True).stdout
        fields, pos = [], 0
        while len(fields) < 4:  # P6, width, height, maximum; "#" starts a comment line
            while ppm[pos:pos + 1].isspace():
                pos += 1
            if ppm[pos:pos + 1] == b"#":
                pos = ppm.index(b"\n", pos)
                continue
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = ppm[pos + 1:]

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def count(self, x0, y0, w, h, test):
        return sum(1 for y in range(y0, y0 + h) for x in range(x0, x0 + w) if test(self.at(x, y)))


def is_dark_grey(p):
    """An anti-aliased pixel of grey text on the light background."""
    return max(p) < 200 and max(p) - min(p) < 12


def is_tealish(p):
    return p[1] > p[0] + 60 and p[1] > p[2] + 10


failures = []


def expect(what, condition):
    if not condition:
        failures.append(what)


def check_common(shot):
    expect(f"size {shot.width} x {shot.height}, not 640 x 390", (shot.width, shot.height) == (640, 390))
    expect(f"header band at (400, 10) is {shot.at(400, 10)}", shot.at(400, 10) == HEADER)
    expect(f"header band at (400, 79) is {shot.at(400, 79)}", shot.at(400, 79) == HEADER)
    expect(f"body at (400, 80) is {shot.at(400, 80)}", min(shot.at(400, 80)) >= 250)
    expect(f"bottom row at (320, 389) is {shot.at(320, 389)}", shot.at(320, 389) == BOTTOM)
    expect(f"bin at {ICON} + (42, 15) is {shot.at(ICON[0] + 42, ICON[1] + 15)}",
           shot.at(ICON[0] + 42, ICON[1] + 15) == TEAL)
    logo = shot.count(0, 0, 300, 80, lambda p: p != HEADER)
    expect(f"no logo in the header ({logo} pixels)", logo > 200)


def check_progress(shot, percent):
    check_common(shot)
    row = BAR_Y + 4
    teal = shot.count(BAR_X, row, BAR_W, 1, lambda p: p == TEAL)
    grey = shot.count(BAR_X, row, BAR_W, 1, lambda p: p == GREY)
    want = 0 if percent < 0 else min(5 + min(percent, 100) * BAR_W // 100, BAR_W)
    expect(f"bar at {percent}%: {teal} teal pixels, want {want}", teal == want)
    expect(f"bar at {percent}%: {grey} grey track pixels, want {BAR_W - want}", grey == BAR_W - want)
    expect("bar is not 9 pixels high",
           shot.at(BAR_X, BAR_Y + 8) == TEAL and shot.at(BAR_X, BAR_Y + 9) != TEAL and
           shot.at(BAR_X, BAR_Y - 1) != TEAL)
    label = shot.count(30, 329, 80, 18, is_dark_grey)
    expect(f"no grey text of the uninstalling label ({label} pixels)", label > 15)
    digits = shot.count(588, 350, 50, 16, is_tealish)
    expect(f"no teal percentage text ({digits} pixels)", digits > 8)
    expect(f"disabled close glyph at {CLOSE_CENTRE} is {shot.at(*CLOSE_CENTRE)}",
           shot.at(*CLOSE_CENTRE) == GREY)
    done = shot.count(DONE[0], DONE[1], DONE[2], BAR_Y - DONE[1], lambda p: p == TEAL)  # above the bar
    expect(f"Done button shown on the progress page ({done} teal pixels)", done < 50)


def check_finished(shot, fill, is_text):
    check_common(shot)
    # The Done button covers the middle of the bar's place.
    left = DONE[0] - BAR_X
    right = BAR_X + BAR_W - (DONE[0] + DONE[2])
    bar = (shot.count(BAR_X, BAR_Y, left, 9, lambda p: p in (TEAL, GREY)) +
           shot.count(DONE[0] + DONE[2], BAR_Y, right, 9, lambda p: p in (TEAL, GREY)))
    expect(f"progress bar still shown ({bar} pixels)", bar == 0)
    check = shot.at(ICON[0] + 38, ICON[1] + 66)
    expect(f"no check mark on the finished icon: {check}", min(check) >= 245)
    expect(f"close glyph at {CLOSE_CENTRE} is {shot.at(*CLOSE_CENTRE)}, not teal",
           shot.at(*CLOSE_CENTRE) == TEAL)
    label = shot.count(296, 252, 80, 20, is_dark_grey)
    expect(f"no grey text of the finished label ({label} pixels)", label > 15)
    x, y, w, h = DONE
    for px, py in ((x, y), (x + w - 1, y + h - 1), (x + 3, y + h - 3), (x + w - 3, y + 2)):
        expect(f"Done button at ({px}, {py}) is {shot.at(px, py)}, want {fill}",
               shot.at(px, py) == fill)
    expect(f"button reaches past its place at ({x - 1}, {y})", shot.at(x - 1, y) != fill)
    letters = shot.count(x, y, w, h, is_text)
    expect(f"Done button text in its colour: {letters} pixels", letters > 15)


def main():
    mode, path = sys.argv[1], sys.argv[2]
    shot = Shot(path)
    if mode == "progress":
        check_progress(shot, int(sys.argv[3]))
    elif mode == "finished":
        check_finished(shot, TEAL, lambda p: min(p) >= 230)  # white, anti-aliased
    elif mode == "hover":
        # Dark green RGB(72, 116, 10) over the light teal: blue falls far below the fill's 183.
        check_finished(shot, TEAL_HOVER, lambda p: p[2] < 120 and p[1] < 200)
    else:
        sys.exit(f"unknown mode {mode}")
    for what in failures:
        print(f"FAIL: {what}")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
