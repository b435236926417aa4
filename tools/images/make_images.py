#!/usr/bin/env python3
"""Draws the program's 16x16 image strips and the splash picture into resources/.

Every strip is a 24-bit BMP whose images stand side by side; magenta (255, 0, 255) is
transparent. The glyphs are drawn from simple shapes so that the set stays consistent;
the strip tables below map each image index the windows use to its glyph. The splash
picture is drawn with ImageMagick (`convert`) when it is available.

Usage: tools/images/make_images.py [resources-folder]
"""
import math
import os
import shutil
import struct
import subprocess
import sys

MAGENTA = (255, 0, 255)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
DARK = (64, 64, 64)
GRAY = (128, 128, 128)
LIGHT = (192, 192, 192)
PALE = (224, 224, 224)
BLUE = (32, 88, 200)
LBLUE = (120, 170, 240)
NAVY = (16, 40, 120)
GREEN = (24, 150, 40)
LGREEN = (110, 210, 100)
RED = (210, 30, 30)
LRED = (250, 120, 110)
YELLOW = (240, 200, 40)
DYELLOW = (190, 140, 20)
ORANGE = (240, 140, 20)
BROWN = (140, 90, 40)
SKIN = (245, 200, 150)
TEAL = (20, 150, 150)


class Canvas:
    def __init__(self, w=16, h=16):
        self.w, self.h = w, h
        self.px = [[MAGENTA] * w for _ in range(h)]

    def set(self, x, y, c):
        x, y = int(round(x)), int(round(y))
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, fill=None, outline=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                if edge and outline:
                    self.set(x, y, outline)
                elif fill:
                    self.set(x, y, fill)

    def line(self, x0, y0, x1, y1, c):
        n = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(n + 1):
            t = i / n if n else 0
            self.set(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, c)

    def circle(self, cx, cy, r, fill=None, outline=None):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x - cx, y - cy)
                if outline and r - 0.7 <= d <= r + 0.3:
                    self.set(x, y, outline)
                elif fill and d < r - 0.5:
                    self.set(x, y, fill)

    def polygon(self, pts, fill):
        for y in range(self.h):
            for x in range(self.w):
                if inside(pts, x + 0.5, y + 0.5):
                    self.set(x, y, fill)


def inside(pts, x, y):
    c = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            c = not c
        j = i
    return c


# --- Glyphs ----------------------------------------------------------------------------

def blank(c):
    pass


def monitor(c, screen=BLUE):
    c.rect(1, 1, 14, 11, fill=screen, outline=DARK)
    c.rect(2, 2, 13, 2, fill=LBLUE)
    c.rect(6, 12, 9, 13, fill=GRAY)
    c.rect(3, 14, 12, 14, fill=DARK)


def local_computer(c):
    monitor(c, screen=TEAL)
    c.rect(4, 4, 8, 6, fill=WHITE)


def gear(c, cx=8, cy=8, r=5, color=GRAY, hub=WHITE):
    for k in range(8):
        a = k * math.pi / 4
        c.rect(int(round(cx + math.cos(a) * (r + 1))) - 1, int(round(cy + math.sin(a) * (r + 1))) - 1,
               int(round(cx + math.cos(a) * (r + 1))), int(round(cy + math.sin(a) * (r + 1))), fill=color)
    c.circle(cx, cy, r, fill=color, outline=DARK)
    c.circle(cx, cy, 2, fill=hub)


def services_list(c):
    gear(c, 6, 6, 4, GRAY)
    gear(c, 11, 11, 3, LBLUE)


def drivers_list(c):
    c.rect(3, 3, 12, 12, fill=DARK, outline=BLACK)
    for i in range(4, 12, 2):
        c.set(i, 1, GRAY); c.set(i, 2, GRAY); c.set(i, 13, GRAY); c.set(i, 14, GRAY)
        c.set(1, i, GRAY); c.set(2, i, GRAY); c.set(13, i, GRAY); c.set(14, i, GRAY)
    c.rect(5, 5, 10, 10, fill=GREEN)


def dot(c, color, outline):
    c.circle(12, 12, 3.6, fill=color, outline=outline)


def service_running(c):
    gear(c, 7, 7, 4)
    c.polygon([(9, 8), (15, 11.5), (9, 15)], GREEN)


def service_stopped(c):
    gear(c, 7, 7, 4)
    c.rect(9, 9, 15, 15, fill=RED, outline=(140, 0, 0))


def service_paused(c):
    gear(c, 7, 7, 4)
    c.rect(9, 9, 10, 15, fill=BLUE)
    c.rect(13, 9, 14, 15, fill=BLUE)


def hourglass(c):
    c.rect(3, 1, 12, 2, fill=BROWN)
    c.rect(3, 13, 12, 14, fill=BROWN)
    c.polygon([(4, 3), (12, 3), (8.5, 8), (12, 13), (4, 13), (7.5, 8)], PALE)
    c.polygon([(5, 4), (11, 4), (8, 7)], YELLOW)
    c.polygon([(8, 9.5), (11, 12.5), (5, 12.5)], YELLOW)
    c.line(4, 3, 8, 8, DARK); c.line(12, 3, 8, 8, DARK)
    c.line(8, 8, 4, 13, DARK); c.line(8, 8, 12, 13, DARK)


def play(c):
    c.polygon([(4, 2), (13, 8), (4, 14)], GREEN)
    c.line(4, 2, 4, 14, (0, 90, 0))


def resume(c):
    c.rect(2, 3, 4, 13, fill=BLUE)
    c.polygon([(6, 2), (14, 8), (6, 14)], GREEN)


def pause(c):
    c.rect(3, 3, 6, 13, fill=BLUE, outline=NAVY)
    c.rect(9, 3, 12, 13, fill=BLUE, outline=NAVY)


def stop(c):
    c.rect(3, 3, 12, 12, fill=RED, outline=(140, 0, 0))


def refresh(c):
    for k in range(0, 300, 6):
        a = math.radians(k - 60)
        for rr in (4.5, 5.5):
            c.set(8 + math.cos(a) * rr, 8 + math.sin(a) * rr, GREEN)
    c.polygon([(10, 0), (15, 3.5), (10, 7)], GREEN)


def check(c):
    for w in range(3):
        c.line(2, 8 + w, 6, 12 + w, GREEN)
        c.line(6, 12 + w, 13, 3 + w, GREEN)


def question(c):
    c.circle(8, 8, 7, fill=BLUE, outline=NAVY)
    for (x, y) in [(6, 5), (7, 4), (8, 4), (9, 4), (10, 5), (10, 6), (9, 7), (8, 8), (8, 9)]:
        c.set(x, y, WHITE)
    c.set(8, 11, WHITE); c.set(8, 12, WHITE)


def info(c):
    c.circle(8, 8, 7, fill=BLUE, outline=NAVY)
    c.rect(7, 4, 8, 5, fill=WHITE)
    c.rect(7, 7, 8, 12, fill=WHITE)


def folder(c, open_=False):
    c.rect(1, 3, 6, 4, fill=DYELLOW)
    c.rect(1, 4, 14, 13, fill=YELLOW, outline=DYELLOW)
    if open_:
        c.polygon([(3, 7), (16, 7), (13, 14), (0, 14)], (250, 225, 110))


def file_(c):
    c.polygon([(3, 1), (10, 1), (13, 4), (13, 15), (3, 15)], WHITE)
    c.line(3, 1, 10, 1, DARK); c.line(10, 1, 13, 4, DARK); c.line(13, 4, 13, 15, DARK)
    c.line(13, 15, 3, 15, DARK); c.line(3, 15, 3, 1, DARK)
    for y in (6, 8, 10, 12):
        c.line(5, y, 11, y, LBLUE)


def globe(c):
    c.circle(8, 8, 7, fill=LBLUE, outline=BLUE)
    c.polygon([(4, 4), (8, 3), (9, 6), (6, 8), (4, 7)], GREEN)
    c.polygon([(9, 9), (12, 8), (13, 11), (10, 13)], GREEN)


def domain(c):
    for (x, y) in [(1, 1), (9, 1), (5, 9)]:
        c.rect(x, y, x + 5, y + 4, fill=BLUE, outline=DARK)
        c.rect(x + 2, y + 5, x + 3, y + 5, fill=DARK)
    c.line(6, 4, 9, 4, DARK)
    c.line(4, 7, 6, 9, DARK)
    c.line(12, 7, 10, 9, DARK)


def drive(c, light=GREEN, body=LIGHT):
    c.rect(1, 5, 14, 11, fill=body, outline=DARK)
    c.rect(2, 6, 13, 6, fill=WHITE)
    c.rect(11, 9, 12, 9, fill=light)


def remote_drive(c):
    drive(c)
    c.line(4, 12, 4, 15, DARK)
    c.line(1, 15, 8, 15, DARK)


def removable(c):
    c.rect(3, 2, 12, 14, fill=(60, 60, 140), outline=BLACK)
    c.rect(5, 2, 10, 6, fill=LIGHT)
    c.rect(5, 9, 10, 13, fill=WHITE)


def cdrom(c):
    c.circle(8, 8, 7, fill=PALE, outline=GRAY)
    c.circle(8, 8, 2, fill=MAGENTA, outline=GRAY)
    c.line(9, 3, 13, 6, LBLUE)


def ramdisk(c):
    c.rect(1, 5, 14, 10, fill=GREEN, outline=(0, 90, 0))
    for x in range(3, 14, 3):
        c.rect(x, 6, x + 1, 8, fill=DARK)
    for x in range(2, 14, 2):
        c.set(x, 11, YELLOW)


def share(c, special=False):
    folder(c)
    c.polygon([(1, 10), (6, 10), (8, 12), (8, 15), (1, 15)], SKIN if not special else LRED)
    c.line(1, 10, 6, 10, BROWN)


def ipc(c):
    c.rect(1, 6, 6, 10, fill=GRAY, outline=DARK)
    c.rect(9, 6, 14, 10, fill=GRAY, outline=DARK)
    c.line(6, 8, 9, 8, BLUE)
    c.line(6, 7, 9, 7, BLUE)


def printer(c):
    c.rect(4, 1, 11, 6, fill=WHITE, outline=DARK)
    c.rect(1, 6, 14, 12, fill=LIGHT, outline=DARK)
    c.rect(4, 11, 11, 15, fill=WHITE, outline=DARK)
    c.set(12, 8, GREEN)


def device(c):
    c.rect(2, 4, 13, 12, fill=GRAY, outline=DARK)
    c.rect(4, 6, 11, 10, fill=LIGHT)
    c.rect(6, 12, 9, 15, fill=DARK)


def person(c, x, y, shirt=BLUE, head=SKIN):
    c.circle(x, y, 2.6, fill=head, outline=BROWN)
    c.polygon([(x - 4, y + 9), (x - 3.5, y + 4), (x + 3.5, y + 4), (x + 4, y + 9)], shirt)


def user(c):
    person(c, 8, 4)


def user_admin(c):
    person(c, 7, 4)
    c.rect(10, 9, 14, 14, fill=YELLOW, outline=DYELLOW)
    c.rect(11, 7, 13, 9, outline=DYELLOW)


def user_disabled(c):
    person(c, 7, 4, shirt=GRAY)
    c.line(9, 9, 15, 15, RED); c.line(15, 9, 9, 15, RED)
    c.line(10, 9, 15, 14, RED); c.line(14, 9, 9, 14, RED)


def user_locked(c):
    person(c, 7, 4, shirt=TEAL)
    c.rect(10, 11, 15, 15, fill=YELLOW, outline=DYELLOW)
    c.circle(12.5, 10, 1.8, outline=DARK)


def group_local(c):
    person(c, 11, 3, shirt=LGREEN)
    person(c, 5, 5, shirt=GREEN)


def group_global(c):
    person(c, 11, 3, shirt=LBLUE)
    person(c, 5, 5, shirt=BLUE)
    c.circle(13, 13, 2.5, fill=LBLUE, outline=BLUE)


def accounts_list(c):
    c.rect(2, 1, 13, 15, fill=(150, 60, 60), outline=(90, 20, 20))
    c.rect(4, 3, 11, 13, fill=PALE)
    person(c, 7.5, 5.5, shirt=BLUE)


def wellknown(c):
    accounts_list(c)
    c.circle(12, 12, 3, fill=YELLOW, outline=DYELLOW)


def directory_root(c):
    c.circle(8, 3, 2.5, fill=ORANGE, outline=BROWN)
    c.line(8, 5, 8, 8, DARK)
    c.line(3, 8, 13, 8, DARK)
    c.line(3, 8, 3, 11, DARK); c.line(13, 8, 13, 11, DARK)
    c.circle(3, 13, 2.4, fill=LBLUE, outline=BLUE)
    c.circle(13, 13, 2.4, fill=LBLUE, outline=BLUE)


def ou(c):
    folder(c)
    c.rect(6, 7, 13, 12, fill=LBLUE, outline=BLUE)


def container(c):
    folder(c)
    c.rect(7, 8, 12, 12, fill=WHITE, outline=GRAY)


def object_(c):
    c.rect(3, 3, 12, 12, fill=PALE, outline=GRAY)
    c.rect(5, 5, 10, 10, fill=LBLUE)


def exit_(c):
    c.rect(3, 1, 11, 15, fill=BROWN, outline=(80, 50, 20))
    c.rect(9, 8, 9, 8, fill=YELLOW)
    c.polygon([(11, 6), (15, 8.5), (11, 11)], RED)


def explorer(c):
    folder(c)
    c.circle(10, 9, 3.2, fill=WHITE, outline=DARK)
    c.line(12, 11, 15, 14, DARK)
    c.line(12, 12, 14, 14, DARK)


def copy_(c):
    c.rect(1, 1, 9, 11, fill=WHITE, outline=DARK)
    c.rect(6, 5, 14, 15, fill=WHITE, outline=DARK)
    for y in (8, 10, 12):
        c.line(8, y, 12, y, LBLUE)


def move(c):
    c.rect(1, 4, 8, 13, fill=WHITE, outline=DARK)
    c.polygon([(8, 6), (12, 6), (12, 3), (16, 8.5), (12, 14), (12, 11), (8, 11)], GREEN)


def delete(c):
    for w in (-1, 0, 1):
        c.line(3 + w, 3, 12 + w, 12, RED)
        c.line(12 + w, 3, 3 + w, 12, RED)


def lock(c):
    c.circle(8, 6, 3.6, outline=DARK)
    c.rect(3, 7, 12, 14, fill=YELLOW, outline=DYELLOW)
    c.rect(7, 9, 8, 12, fill=DARK)


def shield(c):
    c.polygon([(8, 1), (14, 3), (13, 10), (8, 15), (3, 10), (2, 3)], BLUE)
    c.polygon([(8, 3), (12, 4.5), (11.2, 9.5), (8, 13)], LBLUE)


def owner(c):
    person(c, 8, 4, shirt=ORANGE)


def general(c):
    file_(c)
    c.rect(5, 3, 8, 4, fill=BLUE)


def advanced(c):
    gear(c, 6, 6, 4, GRAY)
    gear(c, 11, 11, 3, ORANGE)


def recovery(c):
    c.rect(1, 1, 14, 14, fill=WHITE, outline=RED)
    c.rect(6, 3, 9, 12, fill=RED)
    c.rect(3, 6, 12, 9, fill=RED)


def action(c):
    gear(c, 7, 7, 4, GRAY)
    c.polygon([(9, 11), (15, 11), (12, 15)], DARK)


def tray(c):
    c.rect(0, 0, 15, 15, fill=NAVY, outline=BLUE)
    gear(c, 8, 8, 4, LIGHT, hub=NAVY)


def dependent_running(c):
    gear(c, 8, 8, 5, LBLUE)
    c.circle(12, 12, 3.4, fill=GREEN, outline=(0, 90, 0))


def dependent_stopped(c):
    gear(c, 8, 8, 5, LIGHT)
    c.circle(12, 12, 3.4, fill=RED, outline=(140, 0, 0))


# --- Strips ----------------------------------------------------------------------------

STRIPS = {
    # Main window tree nodes.
    "tree": (36, {0: object_, 1: local_computer, 2: drive, 3: remote_drive, 4: folder,
                  5: lambda c: folder(c, True), 6: file_, 7: globe, 8: domain, 9: object_,
                  10: wellknown, 11: monitor, 12: share, 13: lambda c: share(c, True), 14: ipc,
                  15: printer, 16: device, 17: object_, 18: removable, 19: ramdisk, 20: cdrom,
                  21: accounts_list, 22: user, 23: user_locked, 24: user_disabled,
                  25: user_admin, 26: group_global, 27: group_local, 28: ou, 29: container,
                  30: directory_root, 31: drivers_list, 32: services_list, 33: service_paused,
                  34: service_stopped, 35: service_running}),
    # Main window menus and tool bars.
    "menu": (66, {15: shield, 27: move, 28: copy_, 32: delete, 45: info, 50: question,
                  51: exit_, 52: explorer, 65: refresh}),
    # Main window tabs.
    "property": (6, {0: general, 1: lock, 2: shield, 3: owner, 4: advanced, 5: info}),
    # Tray icons.
    "tray": (4, {0: tray, 1: service_running, 2: service_stopped, 3: tray}),
    # Services list view.
    "services": (15, {0: services_list, 1: drivers_list, 2: service_running, 3: service_stopped,
                      4: hourglass, 5: refresh, 6: service_running, 7: service_stopped,
                      8: hourglass, 9: service_paused, 10: stop, 11: pause, 12: resume,
                      13: play, 14: action}),
    # Service properties view.
    "srvprop": (9, {0: check, 1: play, 2: stop, 3: recovery, 4: general, 5: advanced,
                    6: refresh, 7: dependent_running, 8: dependent_stopped}),
    # Account picker.
    "browser": (14, {0: monitor, 1: user, 2: group_local, 3: group_global, 4: user_admin,
                     5: user_disabled, 6: globe, 7: domain, 8: accounts_list, 9: object_,
                     10: directory_root, 11: ou, 12: container, 13: local_computer}),
    # Placeholder view.
    "todo": (4, {0: object_, 1: check, 2: object_, 3: question}),
}


def write_bmp(path, width, height, pixel):
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        data += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def make_strip(path, count, glyphs):
    canvases = []
    for i in range(count):
        c = Canvas()
        glyphs.get(i, blank)(c)
        canvases.append(c)
    write_bmp(path, 16 * count, 16, lambda x, y: canvases[x // 16].px[y][x % 16])


def make_splash(path):
    convert = shutil.which("convert")
    font = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
    font2 = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
    if not convert or not os.path.exists(font):
        # Plain gradient without texts.
        write_bmp(path, 452, 199, lambda x, y: (150 + y // 4, 170 + y // 4, 200 + y // 5))
        return
    subprocess.check_call([
        convert, "-size", "452x199", "gradient:#1c3f7a-#7fa6d9",
        "-fill", "#c0c0c0", "-draw", "rectangle 0,120 452,199",
        "-fill", "#ffffff", "-font", font, "-pointsize", "40", "-annotate", "+24+62", "Pelmora",
        "-fill", "#dce8ff", "-font", font2, "-pointsize", "14", "-annotate", "+26+92",
        "Services and drivers manager",
        "-stroke", "#9bb9e6", "-strokewidth", "3", "-fill", "none",
        "-draw", "circle 380,58 380,22", "-draw", "circle 380,58 380,46",
        "-type", "TrueColor", "BMP3:" + path])


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")
    names = {"tree": "IMAGES_TREE", "menu": "IMAGES_MENU", "property": "IMAGES_PROPERTY",
             "tray": "IMAGES_TRAY", "services": "IMAGES_SERVICES", "srvprop": "IMAGES_SRVPROP",
             "browser": "IMAGES_BROWSER", "todo": "IMAGES_TODO"}
    rc = ["// Image strips and pictures of the windows (generated by tools/images/make_images.py).\n"]
    for key, (count, glyphs) in STRIPS.items():
        file_name = "images_%s.bmp" % key
        make_strip(os.path.join(out, file_name), count, glyphs)
        rc.append('%s BITMAP "%s"\n' % (names[key], file_name))
    make_splash(os.path.join(out, "splash.bmp"))
    rc.append('SPLASH BITMAP "splash.bmp"\n')
    with open(os.path.join(out, "images.rc"), "w") as f:
        f.writelines(rc)


if __name__ == "__main__":
    main()
