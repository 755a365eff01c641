#!/usr/bin/env python3
"""Draws every bitmap and icon of the data source into one folder (argument 1).

This script is the artwork's source: the build runs it and the resource script picks the
files up from the build folder. Everything is drawn from shapes and a shared palette, with
light from the top left: raised plates have a white edge at the top left and a shadow at the
bottom right, pressed plates are sunk with their pictogram moved one pixel down and right,
disabled ones keep their plate and show the pictogram in soft greys.

Bitmaps are written as uncompressed Windows DIBs ("BM" files) with the exact size and depth
the code expects; 8-bit ones share one 256-colour table, 4-bit ones the 16-colour table
PALETTE16. Icons are 32 x 32, 16 colours, with a transparency mask.

    make_artwork.py OUTDIR            write the .bmp and .ico files
    make_artwork.py OUTDIR --sheet F  also write F, a PNG contact sheet of everything at 2x
"""
import math
import struct
import sys
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw

SS = 4  # curved shapes are drawn at 4x and scaled down, which smooths their edges

# ---- Colours ---------------------------------------------------------------------------------
INK = (34, 38, 46)            # outlines and text
GRAPHITE = (70, 74, 82)
SLATE = (104, 108, 116)
CHASSIS = (128, 128, 128)     # the windows' background (the stock gray brush)
SHADOW = (158, 162, 170)
STEEL = (186, 190, 197)
PANEL = (214, 217, 222)       # the light metallic page
FACE = (236, 238, 242)        # raised button faces
WHITE = (255, 255, 255)
BLUE_DARK = (24, 70, 150)
BLUE = (60, 130, 215)
GREEN = (40, 180, 75)
RED = (205, 45, 40)
AMBER = (240, 185, 60)
AMBER_DARK = (176, 120, 28)
BLACK = (0, 0, 0)

# The 16-colour table of every 4-bit bitmap and icon. Black comes first: icons put it under
# their transparent pixels.
PALETTE16 = [BLACK, INK, GRAPHITE, SLATE, CHASSIS, SHADOW, STEEL, PANEL, FACE, WHITE,
             BLUE_DARK, BLUE, GREEN, RED, AMBER, AMBER_DARK]

# Shades only the 8-bit pictures use (4-bit ones get the nearest colour of the table).
BLUE_LIGHT = (150, 200, 245)
GREEN_GLOW = (170, 250, 160)
GREEN_DARK = (36, 84, 48)
RED_DARK = (140, 24, 24)
RED_LIGHT = (250, 130, 120)
GOLD = (226, 186, 84)
TAB_BACK_TOP, TAB_BACK_BOTTOM = (176, 180, 188), (156, 160, 168)
TAB_FRONT_TOP = (246, 247, 250)

# Where the pages put their pictures (page bitmap coordinates): their backgrounds match the page.
PAGE_W, PAGE_H = 264, 248
BODY_TOP = 16                           # first row of the page body below the tab headers
CAMERA_TAB_X = (3, 74)                  # header columns, exclusive end
OPTION_TAB_X = (75, 146)


# ---- Drawing helpers -------------------------------------------------------------------------
def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


class Layer:
    """A transparent RGBA picture drawn at SS times its size; `image()` gives it at 1x."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.big = Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.big)

    @staticmethod
    def box(b):
        x0, y0, x1, y1 = b
        return (round(x0 * SS), round(y0 * SS), round(x1 * SS) - 1, round(y1 * SS) - 1)

    def rrect(self, b, r, fill):
        self.draw.rounded_rectangle(self.box(b), radius=round(r * SS), fill=fill + (255,))

    def ellipse(self, b, fill):
        self.draw.ellipse(self.box(b), fill=fill + (255,))

    def ring(self, b, width, fill):
        self.draw.ellipse(self.box(b), outline=fill + (255,), width=round(width * SS))

    def arc(self, b, start, end, width, fill):
        self.draw.arc(self.box(b), start, end, fill=fill + (255,), width=round(width * SS))

    def poly(self, pts, fill):
        self.draw.polygon([(x * SS, y * SS) for x, y in pts], fill=fill + (255,))

    def line(self, pts, width, fill):
        self.draw.line([(x * SS, y * SS) for x, y in pts], fill=fill + (255,), width=round(width * SS),
                       joint="curve")

    def image(self):
        return self.big.resize((self.w, self.h), Image.BOX)


def vgradient(w, h, top, bottom):
    g = Image.new("RGB", (w, h))
    for y in range(h):
        g.paste(mix(top, bottom, y / max(1, h - 1)), (0, y, w, y + 1))
    return g


def put(base, layer_image, at=(0, 0)):
    base.alpha_composite(layer_image, at) if base.mode == "RGBA" else base.paste(layer_image, at, layer_image)


def shape_mask(w, h, draw_shape):
    layer = Layer(w, h)
    draw_shape(layer)
    return layer.image().getchannel("A")


def bevel(layer, box, radius, edge=INK, light=WHITE, dark=SHADOW, face=FACE):
    """The one bevel of the whole set: an outline, a light edge top and left, a dark edge bottom
    and right, and the face inside."""
    x0, y0, x1, y1 = box
    layer.rrect(box, radius, edge)
    layer.rrect((x0 + 1, y0 + 1, x1 - 1, y1 - 1), radius - 1, light)
    layer.rrect((x0 + 2, y0 + 2, x1 - 1, y1 - 1), radius - 1, dark)
    layer.rrect((x0 + 2, y0 + 2, x1 - 2, y1 - 2), radius - 1.5, face)


# ---- Pixel font (5 x 7, capitals), for the engraved captions of the pages ---------------------
FONT = {  # seven rows of five pixels each
    "A": ".###. #...# #...# ##### #...# #...# #...#",
    "B": "####. #...# #...# ####. #...# #...# ####.",
    "C": ".###. #...# #.... #.... #.... #...# .###.",
    "D": "####. #...# #...# #...# #...# #...# ####.",
    "E": "##### #.... #.... ####. #.... #.... #####",
    "F": "##### #.... #.... ####. #.... #.... #....",
    "G": ".###. #...# #.... #.### #...# #...# .####",
    "H": "#...# #...# #...# ##### #...# #...# #...#",
    "I": ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.",
    "K": "#...# #..#. #.#.. ##... #.#.. #..#. #...#",
    "L": "#.... #.... #.... #.... #.... #.... #####",
    "M": "#...# ##.## #.#.# #.#.# #...# #...# #...#",
    "N": "#...# ##..# #.#.# #..## #...# #...# #...#",
    "O": ".###. #...# #...# #...# #...# #...# .###.",
    "P": "####. #...# #...# ####. #.... #.... #....",
    "R": "####. #...# #...# ####. #.#.. #..#. #...#",
    "S": ".#### #.... #.... .###. ....# ....# ####.",
    "T": "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..",
    "U": "#...# #...# #...# #...# #...# #...# .###.",
    "V": "#...# #...# #...# #...# #...# .#.#. ..#..",
    "W": "#...# #...# #...# #.#.# #.#.# ##.## #...#",
    "X": "#...# #...# .#.#. ..#.. .#.#. #...# #...#",
    "Y": "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#..",
    "0": ".###. #...# #..## #.#.# ##..# #...# .###.",
    "1": "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.",
    "2": ".###. #...# ....# ...#. ..#.. .#... #####",
    "3": "####. ....# ....# .###. ....# ....# ####.",
    "-": "..... ..... ..... .###. ..... ..... .....",
    "/": "....# ....# ...#. ..#.. .#... #.... #....",
    " ": "..... ..... ..... ..... ..... ..... .....",
}


def text_width(text):
    return len(text) * 6 - 1


def draw_text(img, x, y, text, colour, shadow=None):
    """Pixel text at (x, y); with a shadow colour it is engraved (light copy one pixel lower)."""
    px = img.load()
    for dx, dy, c in ([(0, 1, shadow)] if shadow else []) + [(0, 0, colour)]:
        for i, ch in enumerate(text):
            rows = FONT[ch].replace(" ", "")
            for r in range(7):
                for k in range(5):
                    if rows[r * 5 + k] == "#":
                        xx, yy = x + i * 6 + k + dx, y + r + dy
                        if 0 <= xx < img.width and 0 <= yy < img.height:
                            px[xx, yy] = c if img.mode == "RGB" else c + (255,)


# ---- Button plates ------------------------------------------------------------------------------
RAISED, PRESSED, DISABLED = "raised", "pressed", "disabled"


# A plate's outline, light edge, dark edge and face, by the look of its button. A pressed plate
# turns its light: the dark edge is at the top and left.
PLATE_COLOURS = {
    RAISED: (INK, WHITE, SHADOW, FACE),
    PRESSED: (INK, GRAPHITE, PANEL, STEEL),
    DISABLED: (SHADOW, WHITE, STEEL, PANEL),
}


def plate(size, style, background, radius=4):
    """A square button plate of `size` on `background` (the colour around its rounded corners)."""
    img = Image.new("RGB", (size, size), background)
    layer = Layer(size, size)
    bevel(layer, (0, 0, size, size), radius, *PLATE_COLOURS[style])
    put(img, layer.image())
    return img


def with_picto(base, picto, style, at=(0, 0)):
    """Puts a pictogram layer on a plate: as drawn, pressed (moved and dimmed) or greyed."""
    x, y = at
    if style == PRESSED:
        put(base, darken(picto, 0.88), (x + 1, y + 1))
    elif style == DISABLED:
        put(base, greyed(picto), (x, y))
    else:
        put(base, picto, (x, y))
    return base


def greyed(picto):
    """The disabled look of a pictogram: its shape in soft greys, with little contrast left."""
    r, g, b, a = picto.split()
    lum = Image.merge("RGB", (r, g, b)).convert("L").point(lambda v: round(150 + v * 0.33))
    return Image.merge("RGBA", (lum, lum, lum, a))


def darken(img, f):
    r, g, b, a = img.split()
    return Image.merge("RGBA", [c.point(lambda v: round(v * f)) for c in (r, g, b)] + [a])


# ---- Pictograms (RGBA layers, transparent around the shape) -----------------------------------
def picto_camera(size, lit=None, label=None):
    """A compact camera seen from the front; `lit` colours its status light."""
    s = size / 40.0
    L = Layer(size, size)
    L.rrect((6 * s, 8 * s, 15 * s, 13 * s), 1.5 * s, INK)                 # shutter release
    L.rrect((7 * s, 9 * s, 14 * s, 13 * s), 1 * s, SHADOW)
    L.rrect((2 * s, 11 * s, 38 * s, 34 * s), 4 * s, INK)                  # body
    L.rrect((3 * s, 12 * s, 37 * s, 33 * s), 3 * s, GRAPHITE)
    L.rrect((3 * s, 12 * s, 37 * s, 19 * s), 3 * s, STEEL)                # silver top plate
    L.rrect((3 * s, 16 * s, 37 * s, 19 * s), 0, SHADOW)
    L.rrect((27 * s, 13.5 * s, 34 * s, 17.5 * s), 1 * s, WHITE)           # flash window
    L.rrect((28 * s, 14.5 * s, 33 * s, 16.5 * s), 0.5 * s, BLUE_LIGHT)
    L.rrect((5 * s, 13.5 * s, 10 * s, 17.5 * s), 1 * s, INK)              # viewfinder
    L.ellipse((11 * s, 15 * s, 31 * s, 35 * s), INK)                      # lens barrel
    L.ellipse((12 * s, 16 * s, 30 * s, 34 * s), STEEL)
    L.ellipse((14 * s, 18 * s, 28 * s, 32 * s), SLATE)
    L.ellipse((15.5 * s, 19.5 * s, 26.5 * s, 30.5 * s), BLUE_DARK)       # glass
    L.ellipse((17.5 * s, 21.5 * s, 24.5 * s, 28.5 * s), (16, 32, 70))
    L.ellipse((17.5 * s, 21 * s, 21.5 * s, 25 * s), BLUE_LIGHT)          # reflection
    if lit:
        L.ellipse((31.5 * s, 26 * s, 35.5 * s, 30 * s), INK)
        L.ellipse((32 * s, 26.5 * s, 35 * s, 29.5 * s), lit)
    img = L.image()
    if label:
        draw_text(img, round(4 * s), round(27 * s), label, STEEL)
    return img


def picto_folder(size, with_disk=True):
    s = size / 40.0
    L = Layer(size, size)
    L.poly([(3 * s, 9 * s), (15 * s, 9 * s), (18 * s, 12 * s), (35 * s, 12 * s), (35 * s, 33 * s),
            (3 * s, 33 * s)], AMBER_DARK)                                 # back of the folder
    L.rrect((4 * s, 14 * s, 34 * s, 32 * s), 1 * s, WHITE)                # a sheet inside
    L.poly([(2 * s, 17 * s), (37 * s, 17 * s), (34 * s, 34 * s), (3 * s, 34 * s)], AMBER_DARK)
    L.poly([(3 * s, 18 * s), (36 * s, 18 * s), (33.2 * s, 33 * s), (3.8 * s, 33 * s)], AMBER)
    L.line([(4 * s, 19.2 * s), (35 * s, 19.2 * s)], 0.8 * s, (252, 222, 140))
    if with_disk:                                                         # a diskette in front
        x, y = 20 * s, 20 * s
        L.rrect((x, y, x + 18 * s, y + 18 * s), 1.5 * s, INK)
        L.rrect((x + 1 * s, y + 1 * s, x + 17 * s, y + 17 * s), 1 * s, BLUE)
        L.rrect((x + 4 * s, y + 1 * s, x + 14 * s, y + 7 * s), 0.5 * s, STEEL)   # shutter
        L.rrect((x + 10.5 * s, y + 2 * s, x + 12.5 * s, y + 6 * s), 0, SLATE)
        L.rrect((x + 3.5 * s, y + 9.5 * s, x + 14.5 * s, y + 16.5 * s), 0.5 * s, WHITE)  # label
        L.line([(x + 5 * s, y + 12 * s), (x + 13 * s, y + 12 * s)], 0.7 * s, BLUE_LIGHT)
        L.line([(x + 5 * s, y + 14.3 * s), (x + 11 * s, y + 14.3 * s)], 0.7 * s, BLUE_LIGHT)
    return L.image()


def picto_selection_disk(size, selected):
    """The selection disk: a hollow ring when the picture is not chosen, a blue disk with a tick
    when it is."""
    s = size / 32.0
    L = Layer(size, size)
    if selected:
        L.ellipse((6 * s, 6 * s, 26 * s, 26 * s), BLUE_DARK)
        L.ellipse((7 * s, 7 * s, 25 * s, 25 * s), BLUE)
        L.line([(11 * s, 16.5 * s), (14.5 * s, 20 * s), (21 * s, 12 * s)], 2.6 * s, WHITE)
    else:
        L.ellipse((6 * s, 6 * s, 26 * s, 26 * s), SLATE)
        L.ellipse((8 * s, 8 * s, 24 * s, 24 * s), WHITE)
        L.ring((8 * s, 8 * s, 24 * s, 24 * s), 1 * s, SHADOW)
    return L.image()


def picto_clear(size):
    s = size / 32.0
    L = Layer(size, size)
    L.ellipse((6 * s, 6 * s, 26 * s, 26 * s), RED_DARK)
    L.ellipse((7 * s, 7 * s, 25 * s, 25 * s), RED)
    L.ellipse((9 * s, 8 * s, 21 * s, 15 * s), mix(RED, RED_LIGHT, 0.45))
    L.line([(11.5 * s, 11.5 * s), (20.5 * s, 20.5 * s)], 2.8 * s, WHITE)
    L.line([(20.5 * s, 11.5 * s), (11.5 * s, 20.5 * s)], 2.8 * s, WHITE)
    return L.image()


def picto_arrows(size, forward):
    """Two chevron triangles, like the "<<" and ">>" the buttons stand for."""
    s = size / 32.0
    L = Layer(size, size)
    for x0 in (7, 16):
        pts = [(x0, 9), (x0 + 9, 16), (x0, 23)]
        if not forward:
            pts = [(32 - x, y) for x, y in pts]
        L.poly([(x * s, y * s) for x, y in pts], BLUE_DARK)
        inner = [(x0 + 1.5, 11.7), (x0 + 6.8, 16), (x0 + 1.5, 20.3)]
        if not forward:
            inner = [(32 - x, y) for x, y in inner]
        L.poly([(x * s, y * s) for x, y in inner], BLUE)
    return L.image()


def picto_port(size):
    """A 9-pin serial connector with its cable."""
    s = size / 48.0
    L = Layer(size, size)
    L.rrect((21 * s, 30 * s, 27 * s, 46 * s), 1 * s, INK)                 # cable
    L.rrect((22 * s, 30 * s, 26 * s, 46 * s), 1 * s, SLATE)
    L.rrect((16 * s, 26 * s, 32 * s, 33 * s), 1.5 * s, INK)               # strain relief
    L.rrect((17 * s, 27 * s, 31 * s, 32 * s), 1 * s, GRAPHITE)
    L.rrect((4 * s, 8 * s, 44 * s, 27 * s), 2.5 * s, INK)                 # flange with screws
    L.rrect((5 * s, 9 * s, 43 * s, 26 * s), 2 * s, STEEL)
    for cx in (8.5, 39.5):
        L.ellipse(((cx - 2.5) * s, 15 * s, (cx + 2.5) * s, 20 * s), SLATE)
        L.ellipse(((cx - 1.3) * s, 16.2 * s, (cx + 1.3) * s, 18.8 * s), INK)
    L.poly([(12 * s, 11 * s), (36 * s, 11 * s), (33.5 * s, 24 * s), (14.5 * s, 24 * s)], INK)  # D shell
    L.poly([(13.2 * s, 12 * s), (34.8 * s, 12 * s), (32.6 * s, 23 * s), (15.4 * s, 23 * s)], GRAPHITE)
    for i in range(5):
        cx = 16.4 + i * 3.8
        L.ellipse(((cx - 1.2) * s, 14.2 * s, (cx + 1.2) * s, 16.6 * s), GOLD)
    for i in range(4):
        cx = 18.3 + i * 3.8
        L.ellipse(((cx - 1.2) * s, 18.6 * s, (cx + 1.2) * s, 21 * s), GOLD)
    return L.image()


def picto_gauge(size):
    """A speed gauge: a dial with a green, amber and red scale and its needle far up."""
    s = size / 48.0
    L = Layer(size, size)
    L.ellipse((3 * s, 5 * s, 45 * s, 47 * s), INK)
    L.ellipse((4 * s, 6 * s, 44 * s, 46 * s), STEEL)
    L.ellipse((6 * s, 8 * s, 42 * s, 44 * s), WHITE)
    band = (9 * s, 11 * s, 39 * s, 41 * s)
    L.arc(band, 150, 240, 4 * s, GREEN)
    L.arc(band, 240, 320, 4 * s, AMBER)
    L.arc(band, 320, 390, 4 * s, RED)
    for i in range(9):
        a = math.radians(150 + i * 30)
        outer, inner = 12.5, (8.5 if i % 2 == 0 else 10)
        L.line([((24 + outer * math.cos(a)) * s, (26 + outer * math.sin(a)) * s),
                ((24 + inner * math.cos(a)) * s, (26 + inner * math.sin(a)) * s)], 1.2 * s, INK)
    a = math.radians(335)
    L.line([(24 * s, 26 * s), ((24 + 15 * math.cos(a)) * s, (26 + 15 * math.sin(a)) * s)], 2.2 * s, RED_DARK)
    L.ellipse((21 * s, 23 * s, 27 * s, 29 * s), INK)
    L.ellipse((22.5 * s, 24.5 * s, 25.5 * s, 27.5 * s), SHADOW)
    L.rrect((17 * s, 35 * s, 31 * s, 40 * s), 1 * s, INK)                # the reading window
    L.rrect((18 * s, 36 * s, 30 * s, 39 * s), 0.5 * s, GREEN_DARK)
    return L.image()


def picto_card(size):
    """A memory card lying across, within rows 10 to 39 (the part the camera page shows)."""
    s = size / 48.0
    L = Layer(size, size)
    L.poly([(5 * s, 12 * s), (38 * s, 12 * s), (43 * s, 17 * s), (43 * s, 37 * s), (5 * s, 37 * s)], INK)
    L.poly([(6 * s, 13 * s), (37.6 * s, 13 * s), (42 * s, 17.4 * s), (42 * s, 36 * s), (6 * s, 36 * s)],
           BLUE_DARK)
    L.rrect((10 * s, 16 * s, 34 * s, 28 * s), 1 * s, WHITE)               # label
    L.rrect((10 * s, 16 * s, 34 * s, 19 * s), 1 * s, BLUE)
    L.line([(13 * s, 22.5 * s), (30 * s, 22.5 * s)], 1 * s, SHADOW)
    L.line([(13 * s, 25 * s), (25 * s, 25 * s)], 1 * s, SHADOW)
    for i in range(8):                                                     # contacts
        L.rrect(((9 + i * 4) * s, 30.5 * s, (11.5 + i * 4) * s, 35 * s), 0.4 * s, GOLD)
    return L.image()


def picto_chip(size, label=None):
    """A memory chip lying across, within rows 10 to 39, with its legs."""
    s = size / 48.0
    L = Layer(size, size)
    for i in range(8):
        x = (9 + i * 4.2) * s
        L.rrect((x, 11 * s, x + 2.4 * s, 16 * s), 0.4 * s, STEEL)
        L.rrect((x, 33 * s, x + 2.4 * s, 38 * s), 0.4 * s, STEEL)
    L.rrect((5 * s, 14 * s, 43 * s, 35 * s), 2 * s, INK)
    L.rrect((6 * s, 15 * s, 42 * s, 34 * s), 1.5 * s, GRAPHITE)
    L.rrect((6 * s, 15 * s, 42 * s, 17 * s), 1 * s, SLATE)
    L.ellipse((8 * s, 28.5 * s, 11 * s, 31.5 * s), INK)                 # pin-1 mark
    img = L.image()
    if label:
        draw_text(img, round(24 * s - text_width(label) / 2), round(21 * s), label, STEEL)
    return img


def picto_led(lit):
    """A 15 x 15 radio light: lit green, dark green, or an empty grey socket (not available)."""
    L = Layer(15, 15)
    L.ellipse((0.5, 0.5, 14.5, 14.5), SHADOW if lit is None else INK)
    L.ellipse((1.5, 1.5, 13.5, 13.5), WHITE if lit is None else SLATE)
    L.ellipse((2.5, 2.5, 12.5, 12.5), PANEL if lit is None else STEEL)
    if lit is True:
        L.ellipse((3, 3, 12, 12), GREEN)
        L.ellipse((4.5, 3.5, 9.5, 8.5), GREEN_GLOW)
    elif lit is False:
        L.ellipse((3, 3, 12, 12), GREEN_DARK)
        L.ellipse((4.5, 3.5, 8.5, 7.5), mix(GREEN_DARK, WHITE, 0.25))
    else:
        L.ellipse((4, 4, 11, 11), mix(PANEL, SHADOW, 0.5))
    return L.image()


# ---- Pages -----------------------------------------------------------------------------------
# Layout of the camera page in page coordinates (the window puts the page at 96, 18).
GROUP_PICTURES = (14, 30, 252, 158)
DIVIDER_X = 178                                         # between the number boxes and SELECT ALL
GROUP_MEDIUM = (14, 164, 252, 212)
PHOTO_EMBLEM_AT = (26, 48)                             # the empty corner above SELECT
NUMBER_CAPTIONS = [("NUMBER", 80), ("TOTAL", 136)]      # over the two 40-pixel number boxes
OPTION_ROWS = [(14, 30, 252, 92), (14, 98, 252, 160), (14, 166, 252, 228)]
OPTION_CAPTIONS = ["CAMERA MODEL", "COM PORT", "LINE SPEED"]
OPTION_PICTURES = [(29, 37), (29, 105), (29, 173)]      # 48 x 48 each
CARD_AT, MEMORY_AT = (76, 156), (184, 156)              # the page shows their rows 10 to 39 only
RADIO_AT = (56, 170)                                    # the card radio; the memory one is alike
MEDIUM_CAPTIONS = [("CARD", CARD_AT[0]), ("MEMORY", MEMORY_AT[0])]  # under the 48-wide pictures


def engrave(img, picto, at):
    """Presses a pictogram into the metal: its shape in the groove grey, lit from below."""
    alpha = picto.getchannel("A")
    for colour, (dx, dy) in ((WHITE, (1, 1)), (SHADOW, (0, 0))):
        flat = Image.new("RGBA", picto.size, colour + (0,))
        flat.putalpha(alpha)
        put(img, flat, (at[0] + dx, at[1] + dy))


def picto_photo(w, h):
    """A framed landscape with a sun: the page's emblem for "pictures"."""
    L = Layer(w, h)
    L.draw.rounded_rectangle(L.box((0, 0, w, h)), radius=2 * SS, outline=INK + (255,), width=2 * SS)
    L.poly([(3, h - 3), (3, h - 9), (14, h - 20), (22, h - 12), (29, h - 18), (w - 3, h - 8), (w - 3, h - 3)], INK)
    L.ellipse((w - 15, 6, w - 7, 14), INK)
    return L.image()


def groove(img, box, caption=None):
    """An engraved frame around a group of controls, its caption set into the top line."""
    d = ImageDraw.Draw(img)
    x0, y0, x1, y1 = box
    d.rectangle((x0, y0, x1 - 2, y1 - 2), outline=SHADOW)
    d.rectangle((x0 + 1, y0 + 1, x1 - 1, y1 - 1), outline=WHITE)
    d.line((x0 + 1, y0 + 1, x1 - 3, y0 + 1), fill=WHITE)
    d.rectangle((x0 + 1, y0 + 1, x1 - 3, y1 - 3), outline=None)
    d.line((x0, y0, x1 - 2, y0), fill=SHADOW)
    d.line((x0, y0, x0, y1 - 2), fill=SHADOW)
    if caption:
        w = text_width(caption)
        d.rectangle((x0 + 6, y0 - 3, x0 + 6 + w + 5, y0 + 4), fill=PANEL)
        draw_text(img, x0 + 9, y0 - 3, caption, SLATE, WHITE)


def screw(img, cx, cy):
    L = Layer(7, 7)
    L.ellipse((0, 0, 7, 7), SHADOW)
    L.ellipse((0.5, 0.5, 6.5, 6.5), WHITE)
    L.ellipse((1, 1, 6.5, 6.5), SLATE)
    L.ellipse((1, 1, 6, 6), STEEL)
    L.line([(1.8, 5.2), (5.2, 1.8)], 1, SLATE)
    put(img, L.image(), (cx - 3, cy - 3))


def page(front):
    """The page bitmap: the metallic body and both tab headers, `front` ("camera" or "option")
    being the one in front and joined to the body."""
    img = Image.new("RGB", (PAGE_W, PAGE_H), CHASSIS)
    body = Layer(PAGE_W, PAGE_H)
    bevel(body, (0, BODY_TOP, PAGE_W, PAGE_H), 5, face=PANEL)
    put(img, body.image())
    # a faint light band along the top of the body: the metal catches the light
    band = vgradient(PAGE_W - 6, 10, mix(PANEL, WHITE, 0.5), PANEL)
    img.paste(band, (3, BODY_TOP + 3))
    for cx, cy in ((9, BODY_TOP + 8), (PAGE_W - 10, BODY_TOP + 8), (9, PAGE_H - 9), (PAGE_W - 10, PAGE_H - 9)):
        screw(img, cx, cy)

    tabs = [("CAMERA", CAMERA_TAB_X, "camera"), ("OPTION", OPTION_TAB_X, "option")]
    for caption, columns, name in sorted(tabs, key=lambda t: t[2] == front):  # the front one last
        tab_header(img, caption, columns, name == front)
    return img


def tab_header(img, caption, columns, in_front):
    """A tab header over the body's top edge. The one in front is taller, two pixels wider on
    each side, lighter, and open into the body; the one behind is darker and stands on the edge."""
    x0, x1 = columns
    top, left, right = (0, x0 - 2, x1 + 2) if in_front else (3, x0, x1)
    bottom = BODY_TOP + 3 if in_front else BODY_TOP + 1   # rows below this are the body's
    outline = Layer(PAGE_W, PAGE_H)
    outline.rrect((left, top, right, bottom + 4), 4, INK)
    outline.rrect((left + 1, top + 1, right - 1, bottom + 4), 3, WHITE)
    face = Image.new("RGB", (PAGE_W, PAGE_H))
    face.paste(vgradient(right - left, bottom - top, *((TAB_FRONT_TOP, PANEL) if in_front
                                                        else (TAB_BACK_TOP, TAB_BACK_BOTTOM))), (left, top))
    face = face.convert("RGBA")
    face.putalpha(shape_mask(PAGE_W, PAGE_H, lambda L: L.rrect((left + 2, top + 2, right - 2, bottom + 4), 2.5, WHITE)))
    shade = Image.new("RGBA", (PAGE_W, PAGE_H), SHADOW + (0,))
    shade.putalpha(shape_mask(PAGE_W, PAGE_H, lambda L: L.rrect((right - 2, top + 2, right - 1, bottom + 4), 0, WHITE)))
    above_body = Image.new("L", (PAGE_W, PAGE_H), 0)
    above_body.paste(255, (0, 0, PAGE_W, bottom))
    for part in (outline.image(), shade, face):
        part.putalpha(ImageChops.darker(part.getchannel("A"), above_body))
        put(img, part)
    if not in_front:  # the body's edge runs along the foot of a tab behind
        d = ImageDraw.Draw(img)
        d.line((left, BODY_TOP, right - 1, BODY_TOP), fill=INK)
        d.line((left, BODY_TOP + 1, right - 1, BODY_TOP + 1), fill=WHITE)
    draw_text(img, (x0 + x1 - text_width(caption)) // 2, top + (5 if in_front else 4), caption,
              INK if in_front else GRAPHITE, WHITE if in_front else None)


def camera_page():
    img = page("camera")
    groove(img, GROUP_PICTURES, "PICTURES")
    groove(img, GROUP_MEDIUM, "MEDIUM")
    d = ImageDraw.Draw(img)
    top, bottom = GROUP_PICTURES[1] + 10, GROUP_PICTURES[3] - 10
    d.line((DIVIDER_X, top, DIVIDER_X, bottom), fill=SHADOW)
    d.line((DIVIDER_X + 1, top, DIVIDER_X + 1, bottom), fill=WHITE)
    for caption, x in NUMBER_CAPTIONS:
        draw_text(img, x + (40 - text_width(caption)) // 2, 62, caption, SLATE, WHITE)
    for caption, x in MEDIUM_CAPTIONS:
        draw_text(img, x + (48 - text_width(caption)) // 2, 198, caption, SLATE, WHITE)
    engrave(img, picto_photo(44, 34), PHOTO_EMBLEM_AT)
    draw_text(img, 22, 224, "MELVO", SHADOW, WHITE)
    return img


def option_page():
    img = page("option")
    for row, caption in zip(OPTION_ROWS, OPTION_CAPTIONS):
        groove(img, row, caption)
    return img


def picture_on_page(picto_img, page_img, at, well):
    """A 48 x 48 picture that the window copies onto a page, its row 0 landing on the page at
    `at`: the page itself behind it, with a soft sunken well when `well` is set."""
    x, y = at
    base = page_img.crop((x, y, x + 48, y + 48))
    if well:
        L = Layer(48, 48)
        L.rrect((0, 0, 48, 48), 5, SHADOW)
        L.rrect((1, 1, 48, 48), 5, WHITE)
        L.rrect((1, 1, 47, 47), 4.5, mix(PANEL, WHITE, 0.35))
        put(base, L.image())
    put(base, picto_img)
    return base


# ---- Buttons ---------------------------------------------------------------------------------
def button(size, style, picto, background):
    img = plate(size, style, background)
    return with_picto(img, picto, style)


# ---- File browser art ------------------------------------------------------------------------
def sheet():
    """A grid cell's background: a light slide mount with an empty photo window at (16, 9),
    96 x 72, and the seat of the name plate at (10, 92). The window stays plain so that a cell
    without a file never looks like a picture that failed to load (that one gets a crossed
    placeholder of its own)."""
    img = Image.new("RGB", (126, 126), CHASSIS)
    L = Layer(126, 126)
    bevel(L, (3, 3, 123, 123), 5, face=PANEL)
    put(img, L.image())
    d = ImageDraw.Draw(img)
    d.rectangle((14, 7, 113, 82), fill=SHADOW)                             # photo window
    d.rectangle((15, 8, 113, 82), fill=WHITE)
    d.rectangle((15, 8, 112, 81), fill=GRAPHITE)
    d.rectangle((16, 9, 111, 80), fill=STEEL)                               # empty until a thumbnail lies there
    d.rectangle((8, 90, 117, 119), fill=SHADOW)                            # name plate seat
    d.rectangle((9, 91, 117, 119), fill=WHITE)
    d.rectangle((9, 91, 116, 118), fill=STEEL)
    return img


def name_plate():
    """The plate under a file name in the grid; the name is written at (5, 3) in black, and a
    selected file's plate is shown inverted."""
    img = Image.new("RGB", (108, 26), STEEL)
    L = Layer(108, 26)
    bevel(L, (0, 0, 108, 26), 3)
    put(img, L.image())
    return img


# ---- Icons -----------------------------------------------------------------------------------
def icon_canvas():
    return Layer(32, 32)


def icon_drive_kind(kind):
    """The small pictograms of the file browser's drive box and directory list. Their rows are
    18 pixels high and the text starts 20 pixels right of the icon, so each pictogram keeps to
    the top-left 20 x 15 pixels of its icon and leaves the rest transparent."""
    L = icon_canvas()
    if kind == "ICI_FD":                                     # diskette
        L.rrect((2, 0, 17, 15), 1.5, INK)
        L.rrect((3, 1, 16, 14), 1, BLUE)
        L.rrect((5, 1, 13, 6), 0, STEEL)
        L.rrect((10, 2, 12, 5), 0, SLATE)
        L.rrect((5, 8, 14, 14), 0.5, WHITE)
    elif kind == "ICI_DRIVE":                                # hard disk box with its light
        L.rrect((0, 3, 20, 13), 2, INK)
        L.rrect((1, 4, 19, 12), 1.5, STEEL)
        L.rrect((1, 4, 19, 7), 1.5, WHITE)
        L.rrect((2, 8, 12, 9.5), 0, SLATE)
        L.ellipse((14, 8, 17.5, 11.5), GREEN)
    elif kind == "ICI_CDROM":                                # disc
        L.ellipse((2, 0, 17, 15), INK)
        L.ellipse((3, 1, 16, 14), STEEL)
        L.poly([(9.5, 7.5), (3.5, 2), (8, 1)], BLUE_LIGHT)
        L.poly([(9.5, 7.5), (16, 10), (14.5, 13)], WHITE)
        L.ellipse((7, 5, 12, 10), INK)
        L.ellipse((8, 6, 11, 9), WHITE)
    elif kind == "ICI_NETD":                                 # drive on a cable
        L.rrect((1, 0, 19, 9), 2, INK)
        L.rrect((2, 1, 18, 8), 1.5, STEEL)
        L.ellipse((13, 3.5, 16, 6.5), GREEN)
        L.rrect((9, 9, 11, 13), 0, INK)
        L.rrect((2, 12, 18, 14), 0, GREEN)
        L.rrect((2, 12, 18, 12.8), 0, INK)
    elif kind == "ICI_RAM":                                  # memory module
        L.rrect((0, 2, 20, 13), 1, INK)
        L.rrect((1, 3, 19, 12), 0.5, GREEN)
        for x in (2, 7, 12):
            L.rrect((x, 4, x + 4, 9), 0.5, INK)
        for x in range(2, 19, 2):
            L.rrect((x, 10.5, x + 1, 12), 0, AMBER)
    elif kind in ("ICI_DIROPEN", "ICI_DIRCLOSE"):
        L.poly([(1, 1), (7, 1), (9, 3), (17, 3), (17, 14), (1, 14)], INK)
        L.poly([(2, 2), (6.6, 2), (8.6, 4), (16, 4), (16, 13), (2, 13)], AMBER_DARK)
        if kind == "ICI_DIROPEN":
            L.rrect((3, 5, 15, 12), 0, WHITE)
            L.poly([(0, 7), (20, 7), (17, 14), (1, 14)], INK)
            L.poly([(1.4, 8), (18.6, 8), (16.4, 13), (2, 13)], AMBER)
        else:
            L.rrect((1, 5, 17, 14), 0.5, INK)
            L.rrect((2, 6, 16, 13), 0, AMBER)
    return L.image()


def icon_camera():
    return picto_camera(32, lit=GREEN)


# ---- Files -----------------------------------------------------------------------------------
def quantize(img, palette_img):
    return img.convert("RGB").quantize(palette=palette_img, dither=Image.Dither.NONE)


def palette_image(colours):
    p = Image.new("P", (1, 1))
    flat = [c for rgb in colours for c in rgb]
    p.putpalette(flat + [0] * (768 - len(flat)))
    return p


def dib_bytes(pimg, bits, colours):
    """An uncompressed bottom-up DIB with a full colour table."""
    w, h = pimg.size
    stride = ((w * bits + 31) // 32) * 4
    data = bytearray()
    px = pimg.load()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            v = px[x, y]
            if bits == 8:
                row[x] = v
            else:
                row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        data += row
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(data), 2835, 2835, len(colours), 0)
    return header, table, bytes(data)


def write_bmp(path, pimg, bits, colours):
    header, table, data = dib_bytes(pimg, bits, colours)
    offset = 14 + len(header) + len(table)
    path.write_bytes(b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + header + table + data)


def write_icon(path, rgba):
    """A 32 x 32, 16-colour icon: colour pixels plus an AND mask, black under transparent ones."""
    alpha = rgba.getchannel("A").point(lambda a: 255 if a >= 128 else 0)
    solid = Image.new("RGB", rgba.size, BLACK)
    solid.paste(rgba.convert("RGB"), (0, 0), alpha)
    pimg = quantize(solid, palette_image(PALETTE16))
    px = pimg.load()
    for y in range(32):
        for x in range(32):
            if not alpha.getpixel((x, y)):
                px[x, y] = 0
    header, table, xor = dib_bytes(pimg, 4, PALETTE16)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(xor) + 128, 0, 0, 16, 0)
    mask = bytearray()
    for y in range(31, -1, -1):
        bits = 0
        for x in range(32):
            bits = (bits << 1) | (0 if alpha.getpixel((x, y)) else 1)
        mask += struct.pack(">I", bits)
    image = header + table + xor + bytes(mask)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 6 + 16)
    path.write_bytes(struct.pack("<HHH", 0, 1, 1) + entry + image)


# ---- The catalogue ---------------------------------------------------------------------------
def catalogue():
    """Every bitmap: name -> (bits per pixel, RGB picture of its exact size)."""
    camera_tab, option_tab = camera_page(), option_page()
    left = CHASSIS                                     # the left column sits on the window itself
    on_page = camera_tab.getpixel((GROUP_PICTURES[0] + 20, GROUP_PICTURES[1] + 20))
    disk, disk_dw = picto_selection_disk(32, False), picto_selection_disk(32, True)
    arrows_prev, arrows_next = picto_arrows(32, False), picto_arrows(32, True)
    clear = picto_clear(32)
    camera_off = picto_camera(48, lit=(110, 40, 40))
    camera_on = picto_camera(48, lit=GREEN)
    return {
        "IDB_CAMERATAB": (8, camera_tab),
        "IDB_OPTIONTAB": (8, option_tab),
        "IDB_LX-2": (8, picture_on_page(picto_camera(48), option_tab, OPTION_PICTURES[0], well=True)),
        "IDB_PORT": (8, picture_on_page(picto_port(48), option_tab, OPTION_PICTURES[1], well=True)),
        "IDB_SPEED": (8, picture_on_page(picto_gauge(48), option_tab, OPTION_PICTURES[2], well=True)),
        "IDB_CARD": (8, picture_on_page(picto_card(48), camera_tab, CARD_AT, well=False)),
        "IDB_MEMORY": (8, picture_on_page(picto_chip(48, "RAM"), camera_tab, MEMORY_AT, well=False)),
        "IDB_CAMERA": (8, button(48, RAISED, camera_off, left)),
        "IDB_CAMERADW": (4, button(48, PRESSED, camera_on, left)),
        "IDB_FILE": (8, button(48, RAISED, picto_folder(48), left)),
        "IDB_FILEDW": (8, button(48, PRESSED, picto_folder(48), left)),
        "IDB_DISK": (4, button(32, RAISED, disk, on_page)),
        "IDB_DISKDW": (4, button(32, PRESSED, disk_dw, on_page)),
        "IDB_DISKDIS": (4, button(32, DISABLED, disk, on_page)),
        "IDB_CLEAR": (8, button(32, RAISED, clear, on_page)),
        "IDB_CLEARDW": (8, button(32, PRESSED, clear, on_page)),
        "IDB_CLEARDIS": (8, button(32, DISABLED, clear, on_page)),
        "IDB_PREV": (8, button(32, RAISED, arrows_prev, on_page)),
        "IDB_PREVDW": (8, button(32, PRESSED, arrows_prev, on_page)),
        "IDB_PREVDIS": (4, button(32, DISABLED, arrows_prev, on_page)),
        "IDB_NEXT": (8, button(32, RAISED, arrows_next, on_page)),
        "IDB_NEXTDW": (8, button(32, PRESSED, arrows_next, on_page)),
        "IDB_NEXTDIS": (4, button(32, DISABLED, arrows_next, on_page)),
        "IDB_ONRADIO": (8, led_on_page(True, camera_tab)),
        "IDB_OFRADIO": (8, led_on_page(False, camera_tab)),
        "IDB_DSRADIO": (8, led_on_page(None, camera_tab)),
        "IDB_DIBBASESHEET": (4, sheet()),
        "IDB_FILEBASE": (4, name_plate()),
    }


def led_on_page(lit, page_img):
    x, y = RADIO_AT
    base = page_img.crop((x, y, x + 15, y + 15))
    put(base, picto_led(lit))
    return base


ICONS = ["LX3TW_ICO", "ICI_FD", "ICI_DRIVE", "ICI_CDROM", "ICI_NETD", "ICI_RAM", "ICI_DIROPEN", "ICI_DIRCLOSE"]


def icons():
    return {name: icon_camera() if name == "LX3TW_ICO" else icon_drive_kind(name) for name in ICONS}


def shared_palette(pictures):
    """One 256-colour table for all 8-bit pictures, so that equal colours stay equal."""
    total_h = sum(p.height for p in pictures)
    strip = Image.new("RGB", (max(p.width for p in pictures), total_h), PANEL)
    y = 0
    for p in pictures:
        strip.paste(p, (0, y))
        y += p.height
    q = strip.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    flat = q.getpalette()[:768]
    return [tuple(flat[i:i + 3]) for i in range(0, 768, 3)]


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    bitmaps = catalogue()
    palette256 = shared_palette([img.convert("RGB") for bits, img in bitmaps.values() if bits == 8])
    p256, p16 = palette_image(palette256), palette_image(PALETTE16)
    manifest, sheet_items = [], []
    for name, (bits, img) in bitmaps.items():
        pimg = quantize(img, p256 if bits == 8 else p16)
        write_bmp(out / f"{name}.bmp", pimg, bits, palette256 if bits == 8 else PALETTE16)
        manifest.append(f"{name}.bmp {img.width}x{img.height} {bits} bits")
        sheet_items.append((name, pimg.convert("RGB")))
    for name, img in icons().items():
        write_icon(out / f"{name}.ico", img)
        manifest.append(f"{name}.ico 32x32 4 bits")
        shown = Image.new("RGB", img.size, CHASSIS)
        shown.paste(img, (0, 0), img.getchannel("A").point(lambda a: 255 if a >= 128 else 0))
        sheet_items.append((name, shown))
    if "--sheet" in sys.argv:
        contact_sheet(sheet_items).save(sys.argv[sys.argv.index("--sheet") + 1])
    # written last: the build takes this file as the sign that the whole set is there
    (out / "artwork.txt").write_text("\n".join(manifest) + "\n")


def contact_sheet(items, scale=2):
    width = 1100
    x = y = 0
    row_h = 0
    placed = []
    for name, img in items:
        w, h = img.width * scale, img.height * scale + 14
        if x + w > width:
            x, y, row_h = 0, y + row_h + 8, 0
        placed.append((name, img, x, y))
        x += max(w, text_width(name) * 1 + 4) + 8
        row_h = max(row_h, h)
    out = Image.new("RGB", (width, y + row_h + 8), (96, 96, 96))
    for name, img, x, y in placed:
        out.paste(img.resize((img.width * scale, img.height * scale), Image.NEAREST), (x, y + 12))
        draw_text(out, x, y + 2, name.replace("_", " ")[:40].upper().replace(".", " "), WHITE)
    return out


if __name__ == "__main__":
    main()
