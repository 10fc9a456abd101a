#!/usr/bin/python3
"""Draws every picture the Duskmere client embeds, and the images its tests load.

Run from the project root with the system Python (it needs python3-pil):

    /usr/bin/python3 tools/artgen/generate.py

The output is deterministic (the few scattered details come from a seeded
generator) and is committed: the build never runs this script.  The embedded
PNGs are compressed as hard as their pixels allow (optipng picks the row
filters, zopfli deflates; pixel format and pixels stay as drawn), which takes a
few minutes.  After writing, the script reads every file back and checks sizes,
pixel formats and the details the program relies on.

    /usr/bin/python3 tools/artgen/generate.py --check

draws everything without writing and fails unless each committed picture holds
exactly the pixels drawn.
"""
import math
import random
import struct
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

ROOT = Path(__file__).resolve().parents[2]
ART = ROOT / "res" / "art"
TEST_ART = ROOT / "tests" / "res" / "art"

CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
TITLE_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"

SS = 4  # supersampling factor of anti-aliased shapes

# The program makes these colours transparent, so no picture may contain them.
KEY_COLOURS = ((255, 255, 0), (255, 0, 0))

STATES = ("normal", "hover", "pressed", "disabled")

BLACK = (0, 0, 0)
INK = (20, 12, 8)
SHADOW = (10, 6, 4)
BRONZE_DARK = (92, 58, 30)
BRONZE = (150, 100, 50)
BRONZE_LIGHT = (190, 136, 70)
GOLD = (222, 180, 98)
GOLD_LIGHT = (250, 224, 156)
EMBER = (214, 104, 56)

# Polished metal, lit from above.
METAL = [(0, (214, 162, 90)), (0.3, (156, 104, 52)), (0.7, (122, 80, 40)), (1, (92, 58, 30))]
GILT = [(0, GOLD_LIGHT), (0.55, (226, 170, 84)), (1, (150, 96, 42))]


# --- colours and gradients ---------------------------------------------------

def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def ramp(stops, t):
    """The colour at t (0..1) along [(position, colour), ...]."""
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def column_image(colours, width):
    """A picture whose every column is the list `colours`, top to bottom."""
    column = Image.new("RGB", (1, len(colours)))
    column.putdata(colours)
    return column.resize((width, len(colours)), Image.NEAREST)


def vertical_gradient(size, stops):
    w, h = size
    return column_image([ramp(stops, y / max(h - 1, 1)) for y in range(h)], w)


# --- masks -------------------------------------------------------------------

class Pen:
    """Draws on a supersampled canvas in output coordinates.

    Coordinates are continuous: the box (0, 0, w, h) covers w x h output
    pixels, and a pixel's centre is at (x + 0.5, y + 0.5).
    """

    def __init__(self, canvas, scale):
        self.draw = ImageDraw.Draw(canvas)
        self.s = scale

    def _box(self, x0, y0, x1, y1):
        s = self.s
        x0, x1 = sorted((x0, x1))
        y0, y1 = sorted((y0, y1))
        return (round(x0 * s), round(y0 * s), round(x1 * s) - 1, round(y1 * s) - 1)

    def _points(self, points):
        return [(x * self.s, y * self.s) for x, y in points]

    def rect(self, box, fill=255):
        self.draw.rectangle(self._box(*box), fill=fill)

    def rrect(self, box, radius, fill=255):
        self.draw.rounded_rectangle(self._box(*box), round(radius * self.s), fill=fill)

    def disc(self, cx, cy, r, fill=255):
        self.draw.ellipse(self._box(cx - r, cy - r, cx + r, cy + r), fill=fill)

    def ellipse(self, cx, cy, rx, ry, fill=255):
        self.draw.ellipse(self._box(cx - rx, cy - ry, cx + rx, cy + ry), fill=fill)

    def ring(self, cx, cy, r, width, fill=255):
        """A ring whose outer radius is r."""
        self.draw.ellipse(self._box(cx - r, cy - r, cx + r, cy + r),
                          outline=fill, width=round(width * self.s))

    def arc(self, cx, cy, r, start, end, width, fill=255):
        """An arc whose outer radius is r; angles in degrees, clockwise from 3 o'clock."""
        self.draw.arc(self._box(cx - r, cy - r, cx + r, cy + r), start, end,
                      fill=fill, width=round(width * self.s))

    def line(self, points, width, fill=255):
        self.draw.line(self._points(points), fill=fill, width=round(width * self.s))

    def polygon(self, points, fill=255):
        self.draw.polygon(self._points(points), fill=fill)


def coverage(size, paint, unit=1.0):
    """Anti-aliased coverage mask of what paint(pen) draws; the pen's unit is `unit` pixels."""
    w, h = size
    canvas = Image.new("L", (w * SS, h * SS), 0)
    paint(Pen(canvas, SS * unit))
    return canvas.reduce(SS)


def scaled(mask, factor):
    return mask.point(lambda v: round(v * factor))


def shifted(mask, dx, dy):
    out = Image.new("L", mask.size, 0)
    out.paste(mask, (dx, dy))
    return out


def blurred(mask, radius):
    return mask.filter(ImageFilter.GaussianBlur(radius))


def text_mask(size, xy, text, font, anchor, stroke=0, tracking=0):
    """Coverage of text; tracking spreads the letters apart by that many pixels."""
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)
    if tracking:
        width = sum(font.getlength(c) for c in text) + tracking * (len(text) - 1)
        x, y = xy
        x -= width / 2 if anchor[0] == "m" else 0
        for c in text:
            draw.text((x, y), c, fill=255, font=font, anchor="l" + anchor[1], stroke_width=stroke)
            x += font.getlength(c) + tracking
    else:
        draw.text(xy, text, fill=255, font=font, anchor=anchor, stroke_width=stroke)
    return mask


def fill(image, colour, mask, opacity=1.0):
    """Paints colour over an RGB image through a coverage mask."""
    image.paste(colour, (0, 0), mask if opacity == 1.0 else scaled(mask, opacity))


def stack(rows):
    w, h = rows[0].size
    out = Image.new(rows[0].mode, (w, h * len(rows)))
    for i, row in enumerate(rows):
        out.paste(row, (0, i * h))
    return out


def gilded_text(image, xy, text, font, outline, glow, anchor="lm", tracking=0):
    """Gold lettering with a dark outline over an ember glow."""
    fill_mask = text_mask(image.size, xy, text, font, anchor, tracking=tracking)
    outline_mask = text_mask(image.size, xy, text, font, anchor, stroke=outline, tracking=tracking)
    if glow:
        fill(image, EMBER, blurred(outline_mask, glow), 0.7)
    fill(image, SHADOW, shifted(outline_mask, 1, 1), 0.8)
    fill(image, INK, outline_mask)
    left, top, right, bottom = fill_mask.getbbox()
    gilt = Image.new("RGB", image.size)
    gilt.paste(vertical_gradient((right - left, bottom - top), GILT), (left, top))
    image.paste(gilt, (0, 0), fill_mask)


def bevel_frame(image, box, colours):
    """Nested one-pixel rectangles, outermost first; top and left lit, bottom and right shaded."""
    draw = ImageDraw.Draw(image)
    x0, y0, x1, y1 = box
    for i, colour in enumerate(colours):
        left, top, right, bottom = x0 + i, y0 + i, x1 - i, y1 - i
        draw.line([(left, bottom), (left, top), (right, top)], fill=mix(colour, GOLD_LIGHT, 0.18))
        draw.line([(right, top + 1), (right, bottom), (left + 1, bottom)], fill=mix(colour, BLACK, 0.3))


def stud(image, cx, cy, r):
    """A gold diamond rivet."""
    size = image.size
    diamond = [(cx, cy - r), (cx + r, cy), (cx, cy + r), (cx - r, cy)]
    fill(image, INK, coverage(size, lambda p: p.polygon(diamond)))
    inner = [(cx, cy - r + 1.2), (cx + r - 1.2, cy), (cx, cy + r - 1.2), (cx - r + 1.2, cy)]
    fill(image, GOLD, coverage(size, lambda p: p.polygon(inner)))
    lit = [(cx, cy - r + 1.2), (cx, cy), (cx - r + 1.2, cy)]
    fill(image, GOLD_LIGHT, coverage(size, lambda p: p.polygon(lit)))


# --- the emblem: a dusk sun sinking into a mere, in a gold ring ---------------

def emblem(diameter):
    """RGBA medallion, drawn in a 64-unit design space."""
    size = (diameter, diameter)
    unit = diameter / 64
    horizon = 38
    picture = vertical_gradient(size, [(0, (40, 22, 64)), (0.35, (108, 48, 92)),
                                       (horizon / 64, (242, 150, 86)), (1, (242, 150, 86))])
    fill(picture, (255, 200, 120), blurred(coverage(size, lambda p: p.disc(32, 37, 16), unit), 3 * unit), 0.7)
    fill(picture, (255, 226, 160), coverage(size, lambda p: p.disc(32, 37, 11), unit))
    fill(picture, (70, 34, 66), coverage(size, lambda p: p.polygon(
        [(0, horizon), (0, 27), (9, 23), (17, 31), (23, 29), (27, horizon)]), unit))
    fill(picture, (56, 28, 58), coverage(size, lambda p: p.polygon(
        [(38, horizon), (45, 30), (52, 25), (58, 28), (64, 24), (64, horizon)]), unit))
    water = vertical_gradient(size, [(0, (150, 70, 88)), (horizon / 64, (150, 70, 88)), (1, (24, 14, 36))])
    picture.paste(water, (0, 0), coverage(size, lambda p: p.rect((0, horizon, 64, 64)), unit))
    for i, half in enumerate((11, 8, 5.5, 3.5, 2)):
        y = horizon + 2 + i * 3.6
        streak = coverage(size, lambda p: p.rrect((32 - half, y, 32 + half, y + 1.6), 0.8), unit)
        fill(picture, (255, 196, 120), streak, 0.9 - i * 0.14)

    ring = vertical_gradient(size, [(0, GOLD_LIGHT), (0.5, (196, 140, 66)), (1, (120, 76, 34))])
    picture.paste(ring, (0, 0), coverage(size, lambda p: p.ring(32, 32, 31.5, 5), unit))
    fill(picture, INK, coverage(size, lambda p: p.ring(32, 32, 27, 1.2), unit))
    fill(picture, INK, coverage(size, lambda p: p.ring(32, 32, 32, 0.9), unit))
    for angle in range(0, 360, 45):
        a = math.radians(angle)
        x, y = 32 + 29.2 * math.cos(a), 32 + 29.2 * math.sin(a)
        fill(picture, (255, 236, 184), coverage(size, lambda p: p.disc(x, y, 1.1), unit))

    medallion = picture.convert("RGBA")
    medallion.putalpha(coverage(size, lambda p: p.disc(32, 32, 32), unit))
    return medallion


def icon_file_bytes(image):
    """An .ico holding one 32-bit image with alpha, stored as a bitmap with its AND mask."""
    w, h = image.size
    pixels = image.load()
    colour = bytearray()
    mask = bytearray()
    mask_stride = (w + 31) // 32 * 4
    for y in reversed(range(h)):
        bits = bytearray(mask_stride)
        for x in range(w):
            r, g, b, a = pixels[x, y]
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    dib = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    dib += colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(dib), 6 + 16)
    return directory + entry + dib


# --- the title strip and its buttons -----------------------------------------

STRIP_H = 30
PICTURE_H = 28  # rows above the strip's bottom lines
PICTURE_CY = 14
STRIP_COLUMN = ([ramp([(0, (122, 86, 52)), (0.08, (90, 60, 38)), (0.55, (56, 36, 24)), (1, (30, 19, 13))],
                      y / (PICTURE_H - 1)) for y in range(PICTURE_H)]
                + [(74, 50, 26), (204, 160, 82)])

TITLE_INK = {"normal": (230, 200, 144), "hover": (255, 238, 190),
             "pressed": (204, 168, 112), "disabled": (118, 110, 102)}


def strip_background(width):
    return column_image(STRIP_COLUMN, width)


def centre_weight(width):
    """1 in the middle of the strip's picture area, falling to 0 at the left and right edges."""
    weight = Image.new("L", (width, STRIP_H), 0)
    cx, rx = (width - 1) / 2, (width - 1) / 2
    cy, ry = (PICTURE_H - 1) / 2, PICTURE_H / 2
    weight.putdata([round(255 * max(0.0, 1 - ((x - cx) / rx) ** 2 - ((y - cy) / ry) ** 2) ** 1.5)
                    if y < PICTURE_H else 0
                    for y in range(STRIP_H) for x in range(width)])
    return weight


def title_button(picture):
    """Four states of a title-strip button showing the coverage mask `picture`.

    Every state keeps the strip's own colours at the left and right edges, so
    the buttons sit seamlessly on the stretched strip background.
    """
    width = picture.size[0]
    weight = centre_weight(width)
    rows = []
    for state in STATES:
        row = strip_background(width)
        glyph = shifted(picture, 1, 1) if state == "pressed" else picture
        if state == "hover":
            fill(row, (162, 104, 56), scaled(weight, 0.75))
            fill(row, (255, 170, 84), ImageChops.multiply(blurred(glyph, 2), weight), 0.8)
        elif state == "pressed":
            fill(row, SHADOW, scaled(weight, 0.55))
        fill(row, SHADOW, shifted(glyph, 1, 1), 0.75)
        fill(row, TITLE_INK[state], glyph)
        rows.append(row)
    return stack(rows)


def symbol(width, paint):
    return coverage((width, STRIP_H), lambda pen: paint(pen, width / 2, PICTURE_CY))


def draw_cross(pen, cx, cy):
    d = 4.6
    pen.line([(cx - d, cy - d), (cx + d, cy + d)], 2)
    pen.line([(cx - d, cy + d), (cx + d, cy - d)], 2)


def window_outline(pen, box):
    """A window glyph: an outline with a thick title edge."""
    x0, y0, x1, y1 = box
    pen.rect(box)
    pen.rect((x0 + 1.4, y0 + 2.6, x1 - 1.4, y1 - 1.4), fill=0)


def draw_maximise(pen, cx, cy):
    window_outline(pen, (cx - 5.5, cy - 5, cx + 5.5, cy + 5))


def draw_restore(pen, cx, cy):
    window_outline(pen, (cx - 2.5, cy - 6, cx + 6, cy + 2))
    front = (cx - 6, cy - 2.5, cx + 2.5, cy + 5.5)
    pen.rect(front, fill=0)
    window_outline(pen, front)


def draw_minimise(pen, cx, cy):
    pen.rect((cx - 5.5, cy + 2.5, cx + 5.5, cy + 4.5))


ICON = 14  # side of the small icons beside the labels
ICON_GAP = 4
LABEL_FONT = ImageFont.truetype(CJK_FONT, 12)


def icon_fullscreen(pen, x, y):
    arm, t = 5, 1.6
    for cx, cy, sx, sy in ((x, y, 1, 1), (x + ICON, y, -1, 1), (x, y + ICON, 1, -1), (x + ICON, y + ICON, -1, -1)):
        pen.rect((cx, cy, cx + sx * arm, cy + sy * t))
        pen.rect((cx, cy, cx + sx * t, cy + sy * arm))
    pen.rect((x + 5, y + 5, x + 9, y + 9))


def icon_key(pen, x, y):
    pen.ring(x + 4, y + 7, 3.6, 1.7)
    pen.rect((x + 7.4, y + 6.1, x + 14, y + 7.9))
    pen.rect((x + 10, y + 7.9, x + 11.6, y + 10.6))
    pen.rect((x + 12.4, y + 7.9, x + 14, y + 11.4))


def icon_refresh(pen, x, y):
    cx, cy, r, t, end = x + 7, y + 7.5, 6, 1.7, 290
    pen.arc(cx, cy, r, 10, end, t)
    a = math.radians(end)
    rc = r - t / 2
    px, py = cx + rc * math.cos(a), cy + rc * math.sin(a)
    tangent = (-math.sin(a), math.cos(a))
    normal = (math.cos(a), math.sin(a))
    pen.polygon([(px + tangent[0] * 3.6, py + tangent[1] * 3.6),
                 (px + normal[0] * 3, py + normal[1] * 3),
                 (px - normal[0] * 3, py - normal[1] * 3)])


def icon_servers(pen, x, y):
    for i in range(3):
        top = y + 0.5 + i * 4.6
        pen.rrect((x + 1, top, x + 13, top + 3.6), 1)
        pen.disc(x + 10.4, top + 1.8, 0.9, fill=0)
        pen.rect((x + 3, top + 1.4, x + 7, top + 2.2), fill=0)


def icon_bin(pen, x, y):
    pen.rrect((x + 5, y + 0.2, x + 9, y + 2.6), 0.8)
    pen.rect((x + 6.2, y + 1.2, x + 7.8, y + 2.6), fill=0)
    pen.rect((x + 1.5, y + 2.2, x + 12.5, y + 3.8))
    pen.polygon([(x + 2.8, y + 4.8), (x + 11.2, y + 4.8), (x + 10.3, y + 14), (x + 3.7, y + 14)])
    for gx in (5.2, 8.8):
        pen.rect((x + gx - 0.5, y + 6.4, x + gx + 0.5, y + 12.4), fill=0)


def labelled(width, icon, text):
    """Coverage mask of an icon followed by a label, centred in a strip button."""
    left = round((width - (ICON + ICON_GAP + LABEL_FONT.getlength(text))) / 2)
    picture = coverage((width, STRIP_H), lambda pen: icon(pen, left, PICTURE_CY - ICON / 2))
    picture.paste(255, (0, 0), text_mask(picture.size, (left + ICON + ICON_GAP, PICTURE_CY),
                                         text, LABEL_FONT, "lm"))
    return picture


def logo():
    """The word mark at the left of the title strip."""
    image = strip_background(144)
    badge = emblem(26)
    image.paste(badge, (4, 1), badge)
    gilded_text(image, (36, PICTURE_CY), "Duskmere", ImageFont.truetype(TITLE_FONT, 17), outline=1, glow=0)
    return image


# --- the confirmation dialog -------------------------------------------------

PANEL_SIZE = (256, 110)
PANEL_BUTTON = (74, 26)
PANEL_BUTTON_AT = ((40, 72), (140, 72))

# face top, face bottom, rim, label
PANEL_BUTTON_LOOK = {
    "normal": ((168, 112, 58), (98, 60, 30), (208, 164, 86), (252, 236, 200)),
    "hover": ((204, 144, 76), (128, 82, 40), (250, 216, 140), (255, 246, 222)),
    "pressed": ((80, 48, 24), (124, 80, 40), (176, 134, 70), (228, 208, 168)),
    "disabled": ((118, 112, 106), (84, 80, 76), (146, 140, 132), (176, 170, 162)),
}


def confirm_panel():
    """Brown panel with a gold frame; its middle stays calm for the texts drawn over it."""
    w, h = PANEL_SIZE
    image = vertical_gradient(PANEL_SIZE, [(0, (78, 50, 32)), (0.5, (60, 38, 24)), (1, (40, 25, 16))])
    inner_shadow = ImageChops.invert(blurred(coverage(PANEL_SIZE, lambda p: p.rect((9, 9, w - 9, h - 9))), 3))
    fill(image, SHADOW, inner_shadow, 0.6)
    bevel_frame(image, (0, 0, w - 1, h - 1), [INK, BRONZE_LIGHT, GOLD, BRONZE, BRONZE_DARK, INK])
    for cx, cy in ((9, 9), (w - 9, 9), (9, h - 9), (w - 9, h - 9)):
        stud(image, cx, cy, 5)
    return image


def panel_button(backing, text):
    """Four states of a dialog button; `backing` is the panel under it, showing at its corners."""
    size = PANEL_BUTTON
    w, h = size
    outline = coverage(size, lambda p: p.rrect((0, 0, w, h), 6))
    rim = coverage(size, lambda p: p.rrect((1, 1, w - 1, h - 1), 5))
    face = coverage(size, lambda p: p.rrect((2, 2, w - 2, h - 2), 4))
    label = text_mask(size, (w / 2, h / 2), text, ImageFont.truetype(CJK_FONT, 14), "mm")
    rows = []
    for state in STATES:
        top, bottom, rim_colour, ink = PANEL_BUTTON_LOOK[state]
        row = backing.copy()
        fill(row, INK, outline)
        fill(row, rim_colour, rim)
        row.paste(vertical_gradient(size, [(0, mix(top, GOLD_LIGHT, 0.25)), (0.2, top), (1, bottom)]), (0, 0), face)
        glyph = shifted(label, 1, 1) if state == "pressed" else label
        if state == "hover":
            fill(row, (255, 190, 110), ImageChops.multiply(blurred(glyph, 2), face), 0.6)
        fill(row, SHADOW, shifted(glyph, 1, 1), 0.8)
        fill(row, ink, glyph)
        rows.append(row)
    return stack(rows)


# --- the login panel's round buttons -----------------------------------------

# face top, face bottom, rim, symbol
ROUND_BUTTON_LOOK = {
    "normal": ((150, 98, 50), (70, 42, 22), (212, 168, 90), (246, 224, 176)),
    "hover": ((196, 134, 68), (104, 64, 32), (252, 220, 146), (255, 248, 226)),
    "pressed": ((60, 36, 18), (112, 72, 36), (170, 128, 66), (222, 196, 148)),
    "disabled": ((116, 110, 104), (74, 70, 66), (146, 140, 132), (178, 172, 164)),
}


def round_button(diameter, paint_symbol):
    """Four states of a round button, RGBA.

    The login panel draws these over its colour-keyed surface, where a partly
    transparent pixel would pick up the key colour, so the alpha is either 0 or
    255; the outermost opaque ring is dark and blends with the socket behind.
    """
    size = (diameter, diameter)
    r = diameter / 2
    disc = coverage(size, lambda p: p.disc(r, r, r))
    rim = coverage(size, lambda p: p.disc(r, r, r - 1.2))
    face = coverage(size, lambda p: p.disc(r, r, r - 2.8))
    picture = coverage(size, lambda p: paint_symbol(p, r, r, diameter))
    alpha = disc.point(lambda v: 255 if v >= 128 else 0)
    rows = []
    for state in STATES:
        top, bottom, rim_colour, ink = ROUND_BUTTON_LOOK[state]
        row = Image.new("RGB", size, INK)
        row.paste(vertical_gradient(size, [(0, mix(rim_colour, GOLD_LIGHT, 0.4)), (1, mix(rim_colour, BLACK, 0.45))]),
                  (0, 0), rim)
        row.paste(vertical_gradient(size, [(0.1, top), (0.9, bottom)]), (0, 0), face)
        glyph = shifted(picture, 1, 1) if state == "pressed" else picture
        if state == "hover":
            fill(row, (255, 186, 104), ImageChops.multiply(blurred(glyph, 1.5), face), 0.7)
        fill(row, SHADOW, shifted(glyph, 1, 1), 0.7)
        fill(row, ink, glyph)
        button = Image.new("RGBA", size, (0, 0, 0, 0))
        button.paste(row, (0, 0), alpha)
        rows.append(button)
    return stack(rows)


def round_cross(pen, cx, cy, diameter):
    d = diameter * 0.17
    pen.line([(cx - d, cy - d), (cx + d, cy + d)], 2.2)
    pen.line([(cx - d, cy + d), (cx + d, cy - d)], 2.2)


def round_bar(pen, cx, cy, diameter):
    d = diameter * 0.2
    pen.rrect((cx - d, cy - 1.1, cx + d, cy + 1.1), 0.6)


# --- the login backdrop ------------------------------------------------------

BACKDROP = (980, 668)
PANEL_INSET = 6
PANEL_RADIUS = 30
FRAME_BANDS = 8  # width of the bronze frame inside the panel's edge
HOLE = (940.5, 630.5, 14)  # centre of pixel (940, 630), radius
PAGE_FRAME = (262, 133, 909, 593)
PAGE = (270, 141, 631, 444)
SOCKETS = ((859, 90, 24), (901, 82, 28))  # where the program puts its round buttons
HORIZON = 395


FAR_HILLS = (HORIZON, [(70, 0.011, 0.4), (36, 0.029, 2.1), (12, 0.07, 1.0)])
NEAR_HILLS = (HORIZON + 2, [(48, 0.017, 3.0), (22, 0.041, 0.3), (8, 0.11, 2.2)])


def ridge_top(x, base, waves):
    return base - sum(a * (1 + math.sin(x * f + phase)) / 2 for a, f, phase in waves)


def ridge(base, waves, x_step=4):
    """Silhouette polygon of a mountain ridge over the whole backdrop width."""
    w, h = BACKDROP
    return [(0, h)] + [(x, ridge_top(x, base, waves)) for x in range(0, w + x_step, x_step)] + [(w, h)]


def landscape(rng):
    """The dusk scene behind everything, drawn at twice the size and reduced."""
    s = 2
    w, h = BACKDROP
    big = (w * s, h * s)
    scene = vertical_gradient(big, [(0, (22, 13, 36)), (0.22, (48, 26, 64)), (0.42, (98, 46, 84)),
                                    (0.54, (176, 86, 84)), (HORIZON / h, (236, 148, 96)), (1, (236, 148, 96))])

    def paint(colour, draw, opacity=1.0, blur=0):
        canvas = Image.new("L", big, 0)
        draw(Pen(canvas, s))
        fill(scene, colour, blurred(canvas, blur * s) if blur else canvas, opacity)

    for _ in range(170):
        x, y = rng.uniform(14, w - 14), rng.uniform(12, 270)
        glow = rng.uniform(0.35, 1.0) * (1 - y / 300)
        paint((244, 232, 250), lambda p: p.disc(x, y, rng.choice((0.5, 0.6, 0.8, 1.1))), glow)

    paint((236, 226, 206), lambda p: p.disc(760, 64, 30), 0.18, blur=10)
    crescent = Image.new("L", big, 0)
    Pen(crescent, s).disc(760, 64, 15)
    Pen(crescent, s).disc(767, 59, 13, fill=0)
    fill(scene, (240, 228, 206), crescent)

    for cx, cy, rx, ry, colour, opacity in (
            (260, 112, 220, 9, (86, 46, 90), 0.55), (640, 150, 260, 11, (90, 46, 88), 0.5),
            (880, 208, 200, 8, (124, 60, 92), 0.45), (160, 250, 240, 10, (150, 72, 92), 0.45),
            (520, 300, 300, 9, (206, 110, 104), 0.4), (90, 338, 160, 6, (236, 140, 110), 0.5),
            (800, 350, 220, 7, (226, 128, 102), 0.4)):
        paint(colour, lambda p: p.ellipse(cx, cy, rx, ry), opacity, blur=6)

    # The sun sinks behind the far hills.
    sun_x, sun_r = 112, 30
    sun_y = ridge_top(sun_x, *FAR_HILLS) + 6
    paint((255, 170, 100), lambda p: p.disc(sun_x, sun_y, 120), 0.55, blur=50)
    paint((255, 214, 150), lambda p: p.disc(sun_x, sun_y, sun_r + 8), 0.8, blur=8)
    paint((255, 234, 190), lambda p: p.disc(sun_x, sun_y, sun_r))

    paint((118, 62, 92), lambda p: p.polygon(ridge(*FAR_HILLS)))
    paint((74, 40, 68), lambda p: p.polygon(ridge(*NEAR_HILLS)))
    paint((42, 24, 42), lambda p: p.polygon([(150, HORIZON + 4), (172, 352), (196, 336), (214, 324),
                                            (240, 330), (262, 346), (290, HORIZON + 4)]))
    tower = [(206, 326), (206, 236), (203, 236), (203, 228), (207, 228), (207, 232), (211, 232), (211, 228),
             (215, 228), (215, 232), (219, 232), (219, 228), (223, 228), (223, 232), (227, 232), (227, 228),
             (231, 228), (231, 236), (228, 236), (228, 326)]
    paint((36, 20, 36), lambda p: p.polygon(tower))
    paint((36, 20, 36), lambda p: p.polygon([(209, 228), (217, 186), (225, 228)]))
    paint((36, 20, 36), lambda p: p.line([(217, 186), (217, 172)], 1))
    paint((36, 20, 36), lambda p: p.polygon([(217, 172), (227, 175), (217, 178)]))
    for wy in (252, 284):
        paint((255, 178, 96), lambda p: p.rect((215, wy, 219, wy + 6)))

    # The mere mirrors the sky and the hills, dimmed and rippled.
    mirror = scene.crop((0, (HORIZON - 260) * s, big[0], HORIZON * s)).transpose(Image.FLIP_TOP_BOTTOM)
    water = vertical_gradient((big[0], big[1] - HORIZON * s), [(0, (150, 78, 88)), (0.5, (58, 32, 58)),
                                                                (1, (16, 10, 22))])
    water = Image.blend(water, mirror.resize(water.size), 0.35)
    scene.paste(water, (0, HORIZON * s))
    for _ in range(90):
        y = HORIZON + 3 + (rng.random() ** 1.6) * 240
        x, half = rng.uniform(0, w), rng.uniform(20, 90) * (1 + (y - HORIZON) / 120)
        paint((236, 150, 120), lambda p: p.rect((x - half, y, x + half, y + 0.8)), 0.18)
    for i in range(16):
        y = HORIZON + 3 + i * (5 + i * 0.8)
        half = sun_r * (1.05 - i * 0.055)
        paint((255, 200, 130), lambda p: p.rrect((sun_x - half, y, sun_x + half, y + 1.5), 0.7), 0.85 - i * 0.045)

    shore = [(0, 560)] + [(x, 606 + 10 * math.sin(x * 0.013 + 1.3) + 5 * math.sin(x * 0.047))
                          for x in range(0, w + 10, 10)] + [(w, 560), (w, h), (0, h)]
    paint((20, 12, 18), lambda p: p.polygon(shore))
    paint((24, 14, 22), lambda p: p.polygon([(0, 470), (40, 480), (90, 520), (150, 556), (200, 600), (0, 610)]))
    for _ in range(120):
        x = rng.uniform(10, 260) if rng.random() < 0.55 else rng.uniform(10, w - 10)
        root = 620 if x > 200 else 470 + (x / 200) * 130 + 10
        tip = root - rng.uniform(24, 70)
        lean = rng.uniform(-8, 8)
        paint((18, 10, 16), lambda p: p.line([(x, root), (x + lean * 0.4, (root + tip) / 2), (x + lean, tip)], 1.2))
        if rng.random() < 0.3:
            paint((18, 10, 16), lambda p: p.ellipse(x + lean * 0.8, tip + 6, 1.6, 4.5))

    vignette = blurred(coverage(BACKDROP, lambda p: p.rect((60, 60, w - 60, h - 60))), 60).resize(big)
    fill(scene, BLACK, ImageChops.invert(vignette), 0.55)
    return scene.reduce(s)


def socket(image, x, y, size):
    """A dark recess for a round button whose box starts at (x, y)."""
    r = size / 2 + 2
    cx, cy = x + size / 2, y + size / 2
    fill(image, SHADOW, blurred(coverage(BACKDROP, lambda p: p.disc(cx, cy, r + 2)), 2), 0.45)
    disc = coverage(BACKDROP, lambda p: p.disc(cx, cy, r))
    fill(image, (26, 16, 16), disc, 0.75)
    lit_lip = ImageChops.subtract(disc, coverage(BACKDROP, lambda p: p.disc(cx + 1.2, cy + 1.2, r)))
    fill(image, SHADOW, lit_lip, 0.7)
    lower_lip = ImageChops.subtract(disc, coverage(BACKDROP, lambda p: p.disc(cx - 1, cy - 1, r)))
    fill(image, BRONZE_LIGHT, lower_lip, 0.6)


def corner_ring(image, cx, cy, inner, gem):
    """A gold ring ornament; it holds a gem, or leaves its middle for the see-through hole."""
    fill(image, INK, coverage(BACKDROP, lambda p: p.disc(cx, cy, inner + 5.5)))
    ring = vertical_gradient(BACKDROP, [(0, GOLD_LIGHT), (cy / BACKDROP[1], (208, 156, 80)), (1, BRONZE)])
    image.paste(ring, (0, 0), coverage(BACKDROP, lambda p: p.ring(cx, cy, inner + 4.5, 3.6)))
    fill(image, INK, coverage(BACKDROP, lambda p: p.ring(cx, cy, inner + 1, 1)))
    if gem:
        fill(image, (112, 26, 40), coverage(BACKDROP, lambda p: p.disc(cx, cy, inner)))
        fill(image, (196, 70, 84), blurred(coverage(BACKDROP, lambda p: p.disc(cx - 4, cy - 4, 5)), 2))
        fill(image, (255, 220, 220), coverage(BACKDROP, lambda p: p.disc(cx - 5, cy - 5, 1.6)), 0.8)


def backdrop():
    """The login backdrop, RGBA: a framed dusk scene in a rounded panel with one see-through hole."""
    w, h = BACKDROP
    rng = random.Random(1187)
    scene = landscape(rng)

    x0, y0, x1, y1 = PAGE_FRAME
    fill(scene, BLACK, blurred(coverage(BACKDROP, lambda p: p.rect((x0 - 1, y0 + 1, x1 + 4, y1 + 5))), 5), 0.7)
    bevel_frame(scene, PAGE_FRAME, [INK, (120, 80, 40), (196, 146, 74), (232, 196, 120), (176, 124, 62),
                                    (128, 84, 42), (84, 54, 28), (36, 24, 16), (10, 7, 8)])
    px, py, pw, ph = PAGE
    ImageDraw.Draw(scene).rectangle((px, py, px + pw - 1, py + ph - 1), fill=(14, 10, 12))
    for cx, cy in ((x0 + 4, y0 + 4), (x1 - 3.5, y0 + 4), (x0 + 4, y1 - 3.5), (x1 - 3.5, y1 - 3.5)):
        stud(scene, cx, cy, 6)

    for x, y, size in SOCKETS:
        socket(scene, x, y, size)

    title_font = ImageFont.truetype(TITLE_FONT, 50)
    badge = emblem(60)
    scene.paste(badge, (40, 36), badge)
    gilded_text(scene, (112, 64), "Duskmere", title_font, outline=2, glow=6)
    text_left, _, text_right, _ = text_mask(BACKDROP, (112, 64), "Duskmere", title_font, "lm").getbbox()
    centre = (text_left + text_right) / 2
    gilded_text(scene, (centre, 101), "VORNAK", ImageFont.truetype(TITLE_FONT, 12), outline=1, glow=0,
                anchor="mm", tracking=4)
    for side in (-1, 1):
        fill(scene, GOLD, coverage(BACKDROP, lambda p: p.polygon(
            [(centre + side * 42, 100.2), (centre + side * 120, 101), (centre + side * 42, 101.8)])))

    # The frame: nested rounded bands from the panel's edge inwards, then the scene.
    image = Image.new("RGB", BACKDROP, INK)

    def inset(i):
        return coverage(BACKDROP, lambda p: p.rrect((PANEL_INSET + i, PANEL_INSET + i, w - PANEL_INSET - i,
                                                      h - PANEL_INSET - i), PANEL_RADIUS - i))

    image.paste(vertical_gradient(BACKDROP, METAL), (0, 0), inset(1))
    fill(image, GOLD, inset(4))
    fill(image, BRONZE_DARK, inset(5))
    fill(image, INK, inset(6))
    image.paste(scene, (0, 0), inset(FRAME_BANDS))
    for cx, cy in ((w / 2, PANEL_INSET + 4), (w / 2, h - PANEL_INSET - 4),
                   (PANEL_INSET + 4, h / 2), (w - PANEL_INSET - 4, h / 2)):
        stud(image, cx, cy, 5)
    for cx, cy in ((24, 24), (w - 24, 24)):
        stud(image, cx, cy, 5)
    hole_x, hole_y, hole_r = HOLE
    corner_ring(image, hole_x, hole_y, hole_r, gem=False)
    corner_ring(image, w - hole_x, hole_y, hole_r, gem=True)

    alpha = ImageChops.multiply(inset(0), ImageChops.invert(
        coverage(BACKDROP, lambda p: p.disc(hole_x, hole_y, hole_r))))
    out = Image.new("RGBA", BACKDROP, (0, 0, 0, 0))
    opaque = image.convert("RGBA")
    opaque.putalpha(alpha)
    out.paste(opaque, (0, 0), alpha.point(lambda v: 255 if v else 0))
    return out


def palettized(image):
    """The same pixels as an 8-bit palette picture: a third of the 24-bit file's
    size for a bitmap of at most 256 colours, drawn identically once loaded."""
    colours = sorted(colour for _, colour in image.getcolors(256))
    index = {colour: i for i, colour in enumerate(colours)}
    out = Image.new("P", image.size)
    out.putpalette([channel for colour in colours for channel in colour] + [0, 0, 0] * (256 - len(colours)))
    out.putdata([index[pixel] for pixel in image.getdata()])
    return out


def black_bitmap():
    """Palette picture of index 0 only, with an all-black palette."""
    image = Image.new("P", (57, 40), 0)
    image.putpalette([0, 0, 0] * 256)
    return image


# --- test images -------------------------------------------------------------

def solid_rows(mode, width, bands):
    """A strip of solid rows, bands = [(height, colour), ...]."""
    image = Image.new(mode, (width, sum(height for height, _ in bands)))
    top = 0
    for height, colour in bands:
        image.paste(colour, (0, top, width, top + height))
        top += height
    return image


PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"

STRIP_COLOURS = ((200, 30, 30), (30, 200, 30), (30, 30, 200), (200, 200, 30))


def test_images():
    rgba_colours = ((0, 0, 255, 128), (0, 255, 0, 128), (255, 0, 255, 128), (255, 255, 255, 128))
    return {
        "strip_4rows.png": solid_rows("RGB", 74, [(26, c) for c in STRIP_COLOURS]),
        "strip_102.png": solid_rows("RGB", 40, list(zip((25, 25, 25, 27), STRIP_COLOURS))),
        "strip_rgba.png": solid_rows("RGBA", 30, [(30, c) for c in rgba_colours]),
        "square_40x20.png": Image.new("RGBA", (40, 20), (10, 20, 30, 255)),
    }


# --- writing and checking ----------------------------------------------------

def artwork():
    """Every embedded picture, by file name."""
    panel = confirm_panel()
    backings = [panel.crop((x, y, x + PANEL_BUTTON[0], y + PANEL_BUTTON[1])) for x, y in PANEL_BUTTON_AT]
    return {
        "155.png": backdrop(),
        "160.png": round_button(28, round_cross),
        "162.png": round_button(24, round_bar),
        "175.png": panel_button(backings[0], "确定"),
        "176.png": panel_button(backings[1], "取消"),
        "166.png": title_button(symbol(30, draw_cross)),
        "189.png": title_button(symbol(29, draw_restore)),
        "168.png": title_button(symbol(29, draw_maximise)),
        "169.png": title_button(symbol(29, draw_minimise)),
        "167.png": title_button(labelled(64, icon_fullscreen, "全屏")),
        "164.png": title_button(labelled(106, icon_key, "老板键(F10)")),
        "170.png": title_button(labelled(82, icon_refresh, "刷新(F5)")),
        "171.png": title_button(labelled(61, icon_servers, "选服")),
        "1000.png": title_button(labelled(87, icon_bin, "清除缓存")),
        "136.bmp": palettized(strip_background(66)),
        "141.bmp": logo(),
        "177.bmp": palettized(panel),
        "187.bmp": black_bitmap(),
    }


def png_chunks(data):
    """(type, body) of each chunk of a PNG file."""
    at = len(PNG_SIGNATURE)
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        yield kind, data[at + 8:at + 8 + length]
        at += 12 + length


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def compress_png(path):
    """Smallest lossless form that keeps the file's pixel format: optipng picks
    the row filters (no reductions), zopfli deflates the filtered rows again."""
    subprocess.run(["optipng", "-quiet", "-o4", "-nx", "-strip", "all", str(path)], check=True)
    chunks = list(png_chunks(path.read_bytes()))
    rows = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    with tempfile.TemporaryDirectory() as scratch:
        raw = Path(scratch) / "rows"
        raw.write_bytes(rows)
        subprocess.run(["zopfli", "--zlib", "--i25", str(raw)], check=True)
        deflated = Path(scratch, "rows.zlib").read_bytes()
    out = [PNG_SIGNATURE]
    for kind, body in chunks:
        if kind == b"IDAT":
            if deflated:
                out.append(png_chunk(kind, deflated))
                deflated = b""
        else:
            out.append(png_chunk(kind, body))
    path.write_bytes(b"".join(out))


def write_all():
    ART.mkdir(parents=True, exist_ok=True)
    TEST_ART.mkdir(parents=True, exist_ok=True)
    for name, image in artwork().items():
        image.save(ART / name)
        if name.endswith(".png"):
            compress_png(ART / name)
    (ART / "128.ico").write_bytes(icon_file_bytes(emblem(64)))
    for name, image in test_images().items():
        image.save(TEST_ART / name)
    (TEST_ART / "broken.png").write_bytes(PNG_SIGNATURE + random.Random(155).randbytes(100))


def require(condition, message):
    if not condition:
        raise SystemExit(f"artgen check failed: {message}")


STRIPS = {  # file: (width, height, mode)
    "160.png": (28, 112, "RGBA"), "162.png": (24, 96, "RGBA"),
    "175.png": (74, 104, "RGB"), "176.png": (74, 104, "RGB"),
    "166.png": (30, 120, "RGB"), "189.png": (29, 120, "RGB"), "168.png": (29, 120, "RGB"),
    "169.png": (29, 120, "RGB"), "167.png": (64, 120, "RGB"), "164.png": (106, 120, "RGB"),
    "170.png": (82, 120, "RGB"), "171.png": (61, 120, "RGB"), "1000.png": (87, 120, "RGB"),
}
TITLE_STRIP_BUTTONS = ("166.png", "189.png", "168.png", "169.png", "167.png", "164.png", "170.png",
                       "171.png", "1000.png")
BITMAPS = {"136.bmp": (66, 30, 8), "141.bmp": (144, 30, 24), "177.bmp": (256, 110, 8), "187.bmp": (57, 40, 8)}


def open_png(path, size, mode):
    data = path.read_bytes()
    require(data[:8] == PNG_SIGNATURE and data[12:16] == b"IHDR", f"{path.name} is not a PNG")
    width, height, depth, colour_type = struct.unpack(">IIBB", data[16:26])
    require((width, height) == size, f"{path.name} is {width}x{height}, not {size}")
    require(depth == 8 and colour_type == {"RGB": 2, "RGBA": 6}[mode], f"{path.name} is not 8-bit {mode}")
    image = Image.open(path)
    image.load()
    return image


def key_colours_in(image):
    """Key colours among the visible pixels."""
    rgba = image.convert("RGBA")
    return {c[:3] for _, c in rgba.getcolors(1 << 24) if c[3] > 0 and c[:3] in KEY_COLOURS}


def check_strips():
    for name, (w, h, mode) in STRIPS.items():
        image = open_png(ART / name, (w, h), mode)
        rows = [image.crop((0, i * h // 4, w, (i + 1) * h // 4)).tobytes() for i in range(4)]
        require(len(set(rows)) == 4, f"{name}: its four states are not all different")
        require(not key_colours_in(image), f"{name} contains a key colour")
    for name in TITLE_STRIP_BUTTONS:
        image = Image.open(ART / name).convert("RGB")
        w = image.size[0]
        for y in range(image.size[1]):
            edges = {image.getpixel((0, y)), image.getpixel((w - 1, y))}
            require(edges == {STRIP_COLUMN[y % STRIP_H]}, f"{name}: row {y} does not meet the strip background")
    panel = Image.open(ART / "177.bmp").convert("RGB")
    for name, (x, y) in zip(("175.png", "176.png"), PANEL_BUTTON_AT):
        image = Image.open(ART / name).convert("RGB")
        for row in range(4):
            require(image.getpixel((0, row * 26)) == panel.getpixel((x, y)),
                    f"{name}: corners do not show the dialog panel")
    for name in ("160.png", "162.png"):
        alphas = {a for _, a in Image.open(ART / name).getchannel("A").getcolors()}
        require(alphas == {0, 255}, f"{name}: alpha must be 0 or 255 only")


def check_backdrop():
    image = open_png(ART / "155.png", BACKDROP, "RGBA")
    alpha = image.getchannel("A")
    for point in ((1, 1), (978, 1), (1, 666), (978, 666), (3, 334), (940, 630), (940, 617), (953, 630)):
        require(alpha.getpixel(point) == 0, f"155.png: {point} should be transparent")
    for point in ((490, 60), (100, 334), (880, 620), (6, 334), (973, 334), (490, 6), (490, 661), (940, 645)):
        require(alpha.getpixel(point) == 255, f"155.png: {point} should be opaque")
    require(not key_colours_in(image), "155.png contains a key colour")
    px, py, pw, ph = PAGE
    require(len(image.crop((px, py, px + pw, py + ph)).getcolors()) == 1, "155.png: the page area is not plain")
    require({c for _, c in image.getcolors(1 << 24) if c[3] == 0} == {(0, 0, 0, 0)},
            "155.png: transparent pixels are not cleared to black")


def check_bitmaps():
    for name, (w, h, bits) in BITMAPS.items():
        data = (ART / name).read_bytes()
        require(data[:2] == b"BM", f"{name} is not a bitmap file")
        width, height, _, depth, compression = struct.unpack("<iiHHI", data[18:34])
        require((width, height) == (w, h), f"{name} is {width}x{height}, not {w}x{h} bottom-up")
        require(depth == bits and compression == 0, f"{name} is not an uncompressed {bits}-bit bitmap")
        image = Image.open(ART / name)
        require(image.size == (w, h), f"{name} does not decode")
        require(not key_colours_in(image), f"{name} contains a key colour")
    black = Image.open(ART / "187.bmp")
    require(black.mode == "P" and black.getcolors() == [(57 * 40, 0)], "187.bmp: not every pixel is index 0")
    require(tuple(black.getpalette()[:3]) == (0, 0, 0), "187.bmp: palette entry 0 is not black")
    column = Image.open(ART / "136.bmp").convert("RGB")
    for y in range(STRIP_H):
        require(len({column.getpixel((x, y)) for x in range(66)}) == 1, "136.bmp is not horizontally uniform")


def check_icon():
    data = (ART / "128.ico").read_bytes()
    count, = struct.unpack("<H", data[4:6])
    w, h, _, _, planes, bits, size, offset = struct.unpack("<BBBBHHII", data[6:22])
    require(count == 1 and (w, h, planes, bits) == (64, 64, 1, 32), "128.ico: not one 64x64 32-bit image")
    require(struct.unpack("<H", data[offset + 14:offset + 16])[0] == 32, "128.ico: its bitmap is not 32-bit")
    require(offset + size == len(data), "128.ico: directory and data disagree")
    icon = Image.open(ART / "128.ico")
    icon.load()
    require(icon.size == (64, 64) and icon.mode == "RGBA", "128.ico does not decode as 64x64 RGBA")
    require(icon.tobytes() == emblem(64).tobytes(), "128.ico does not hold the emblem")
    alphas = {a for _, a in icon.getchannel("A").getcolors()}
    require(0 in alphas and 255 in alphas, "128.ico: the emblem has no transparent surround")
    require(not key_colours_in(icon), "128.ico contains a key colour")


def check_test_images():
    expected = {"strip_4rows.png": ((74, 104), "RGB"), "strip_102.png": ((40, 102), "RGB"),
                "strip_rgba.png": ((30, 120), "RGBA"), "square_40x20.png": ((40, 20), "RGBA")}
    images = {name: open_png(TEST_ART / name, size, mode) for name, (size, mode) in expected.items()}
    for y, colour in ((0, STRIP_COLOURS[0]), (25, STRIP_COLOURS[1]), (49, STRIP_COLOURS[1]),
                      (50, STRIP_COLOURS[2]), (75, STRIP_COLOURS[3]), (101, STRIP_COLOURS[3])):
        require(images["strip_102.png"].getpixel((39, y)) == colour, f"strip_102.png: row {y}")
    require({a for _, (*_, a) in images["strip_rgba.png"].getcolors()} == {128}, "strip_rgba.png: alpha")
    broken = (TEST_ART / "broken.png").read_bytes()
    require(len(broken) == 108 and broken[:8] == PNG_SIGNATURE, "broken.png: wrong layout")
    try:
        Image.open(TEST_ART / "broken.png").load()
    except (OSError, SyntaxError, ValueError):
        pass
    else:
        raise SystemExit("artgen check failed: broken.png decodes")


def check_pixels():
    for name, drawn in artwork().items():
        committed = Image.open(ART / name)
        require(committed.mode == drawn.mode and committed.size == drawn.size
                and committed.tobytes() == drawn.tobytes(), f"{name} does not hold the pixels drawn for it")


def main():
    if sys.argv[1:] == ["--check"]:
        check_pixels()
        print(f"every picture in {ART} holds the pixels drawn for it")
        return
    write_all()
    check_strips()
    check_backdrop()
    check_bitmaps()
    check_icon()
    check_test_images()
    print(f"wrote and checked the artwork in {ART} and the test images in {TEST_ART}")


if __name__ == "__main__":
    main()
