#!/usr/bin/env python3
"""Draws the window's location pictures into qml/assets/.

Every picture is procedural: ridges, skylines and houses come from a seeded random
generator, and ImageMagick renders, blurs and composites them. The same seed gives the
same pictures, so the committed files can be made again at any time.

    tools/artwork/make-pictures.py [NAME ...]

NAME is one of hero, warsaw, amsterdam, coast, forest (all by default).
Needs python3 and ImageMagick (convert).
"""
import math
import os
import random
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
ASSETS = os.path.join(ROOT, "qml", "assets")


# ---- ImageMagick helpers ------------------------------------------------------------------

class Canvas:
    """A working folder of layer files rendered with ImageMagick."""

    def __init__(self, width, height, folder):
        self.w = width
        self.h = height
        self.folder = folder
        self.count = 0

    def path(self, name=None):
        if name is None:
            self.count += 1
            name = f"layer{self.count}"
        return os.path.join(self.folder, name + ".png")

    def run(self, *args):
        subprocess.run(["convert", *[str(a) for a in args]], check=True)

    def vertical_gradient(self, stops, height=None, width=None):
        """A top-to-bottom gradient through (position, colour) stops."""
        height = height or self.h
        width = width or self.w
        samples = 64
        column = []
        for i in range(samples):
            t = i / (samples - 1)
            for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
                if p0 <= t <= p1:
                    k = 0 if p1 == p0 else (t - p0) / (p1 - p0)
                    column.append(mix(c0, c1, k))
                    break
        out = self.path()
        self.run(*[f"xc:{hexcolour(c)}" for c in column], "-append",
                 "-filter", "Triangle", "-resize", f"{width}x{height}!", out)
        return out

    def shape(self, mvg, blur=0.0, size=None):
        """Grey mask of an MVG drawing: white where drawn, black elsewhere."""
        w, h = size or (self.w, self.h)
        out = self.path()
        drawing = out[:-4] + ".mvg"
        with open(drawing, "w") as f:
            f.write(f"viewbox 0 0 {w} {h}\nfill white\nstroke none\nfill-rule nonzero\n{mvg}\n")
        args = ["-size", f"{w}x{h}", "-background", "black", "mvg:" + drawing]
        if blur:
            args += ["-blur", f"0x{blur}"]
        self.run(*args, "-colorspace", "Gray", out)
        return out

    def paint(self, mvg, blur=0.0):
        """A transparent layer with a coloured MVG drawing (the drawing sets its own fills)."""
        out = self.path()
        drawing = out[:-4] + ".mvg"
        with open(drawing, "w") as f:
            f.write(f"viewbox 0 0 {self.w} {self.h}\nstroke none\n{mvg}\n")
        args = ["-size", f"{self.w}x{self.h}", "-background", "none", "mvg:" + drawing]
        if blur:
            args += ["-channel", "RGBA", "-blur", f"0x{blur}"]
        self.run(*args, out)
        return out

    def mask_gradient(self, stops):
        """Grey mask that varies from top to bottom: (position, level 0..1) stops."""
        return self.vertical_gradient([(p, (255 * v,) * 3) for p, v in stops])

    def fill(self, mask, colour_or_image, opacity=1.0):
        """The mask filled with a flat colour or with a picture of the same size."""
        out = self.path()
        if isinstance(colour_or_image, tuple):
            colour_or_image = hexcolour(colour_or_image)
        if colour_or_image.startswith("#"):
            source = ["-size", f"{self.w}x{self.h}", f"xc:{colour_or_image}"]
        else:
            source = [colour_or_image]
        self.run(*source, mask, "-alpha", "off", "-compose", "CopyOpacity", "-composite",
                 "-channel", "A", "-evaluate", "multiply", opacity, "+channel", out)
        return out

    def over(self, base, *layers, compose="Over"):
        out = self.path()
        args = [base]
        for layer in layers:
            args += [layer, "-compose", compose, "-composite"]
        self.run(*args, out)
        return out


def hexcolour(rgb):
    return "#%02x%02x%02x" % tuple(max(0, min(255, int(round(c)))) for c in rgb)


def rgb(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, k):
    a = rgb(a) if isinstance(a, str) else a
    b = rgb(b) if isinstance(b, str) else b
    return tuple(x + (y - x) * k for x, y in zip(a, b))


def points(pts):
    return " ".join(f"{x:.1f},{y:.1f}" for x, y in pts)


# ---- Shapes -------------------------------------------------------------------------------

def noise_line(rng, count, roughness):
    """Midpoint displacement: count + 1 values in about [-1, 1]."""
    levels = max(1, math.ceil(math.log2(count)))
    n = 2 ** levels + 1
    ys = [0.0] * n
    ys[0], ys[-1] = rng.uniform(-1, 1), rng.uniform(-1, 1)
    step, scale = n - 1, 1.0
    while step > 1:
        half = step // 2
        for i in range(half, n - 1, step):
            ys[i] = (ys[i - half] + ys[i + half]) / 2 + rng.uniform(-1, 1) * scale
        scale *= roughness
        step = half
    return [ys[int(i * (n - 1) / count)] for i in range(count + 1)]


def ridge(rng, width, base, peaks, detail, roughness=0.55, samples=320):
    """A mountain ridge: peaks (centre, half width, height) roughened by fractal detail
    that grows with the height, so summits are craggy and the foot is smooth."""
    coarse = noise_line(rng, samples, 0.62)
    fine = noise_line(rng, samples, roughness)
    pts = []
    for i in range(samples + 1):
        x = width * i / samples
        height = 0.0
        for centre, half, top in peaks:
            d = abs(x - centre) / half
            if d < 1:
                height = max(height, top * (1 - d) ** 1.2)
        rough = detail * (0.35 + height / max(p[2] for p in peaks))
        pts.append((x, base - height * (0.85 + 0.15 * coarse[i]) - fine[i] * rough))
    return pts


def summits(pts, min_drop=25):
    """Indices of the peaks of a ridge and of the valley to the left of each."""
    found = []
    lowest = 0
    for i in range(1, len(pts) - 1):
        if pts[i][1] > pts[lowest][1]:
            lowest = i
        if pts[i][1] <= pts[i - 1][1] and pts[i][1] < pts[i + 1][1]:
            left = max(range(found[-1][0] if found else 0, i + 1), key=lambda k: pts[k][1])
            if pts[left][1] - pts[i][1] >= min_drop:
                found.append((i, left))
    return found


def shadow_faces(rng, pts, base, drift=0.35):
    """The faces turned away from a sun on the right: from each valley up the ridge to the
    summit, then down a wandering spur to the foot."""
    shapes = []
    for peak, valley in summits(pts):
        px, py = pts[peak]
        spur = [(px, py)]
        steps = 12
        for k in range(1, steps + 1):
            t = k / steps
            y = py + (base - py) * t
            x = px + (base - py) * drift * t + rng.uniform(-6, 6) * (1 - t) * 2
            spur.append((x, y))
        outline = pts[valley:peak + 1] + spur + [(pts[valley][0], base)]
        shapes.append("polygon " + points(outline))
    return " ".join(shapes)


def area_below(pts, bottom):
    return "polygon " + points([(pts[0][0], bottom)] + pts + [(pts[-1][0], bottom)])


def pine(x, base, height, lean=0.0):
    """Silhouette of a spruce: stacked tiers narrowing to the top."""
    tiers = 7
    left, right = [], []
    for i in range(1, tiers + 1):
        y = base - height + height * 0.88 * i / tiers
        w = height * 0.26 * (i / tiers) ** 0.9
        left.append((x - w + lean * (base - y), y))
        left.append((x - w * 0.38 + lean * (base - y), y - height * 0.035))
        right.append((x + w + lean * (base - y), y))
        right.append((x + w * 0.38 + lean * (base - y), y - height * 0.035))
    trunk = height * 0.025
    outline = ([(x + lean * height, base - height)] + left +
               [(x - trunk, base - height * 0.1), (x - trunk, base), (x + trunk, base),
                (x + trunk, base - height * 0.1)] + list(reversed(right)))
    return "polygon " + points(outline)


def forest_edge(rng, x0, x1, base_of, size, density=1.0, lean=0.0):
    """Pines standing along a ground line; base_of(x) gives the ground height."""
    shapes = []
    x = x0
    while x < x1:
        h = size * rng.uniform(0.55, 1.15)
        # Sunk into the ground so the lowest branches reach it.
        shapes.append(pine(x, base_of(x) + h * 0.1, h, lean * rng.uniform(-1, 1)))
        x += size * rng.uniform(0.12, 0.32) / density
    return " ".join(shapes)


def interpolate(pts, x):
    for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
        if x0 <= x <= x1:
            return y0 + (y1 - y0) * (x - x0) / (x1 - x0 or 1)
    return pts[-1][1]


# ---- Shared finishing ---------------------------------------------------------------------

def water_reflection(c, picture, horizon, tint, strength=0.55, ripple=2.2, streak=5):
    """Mirrors everything above the horizon into water below it, with ripples."""
    top = c.path()
    c.run(picture, "-crop", f"{c.w}x{horizon}+0+0", "+repage", "-flip", top)
    rippled = c.path()
    c.run(top, "-rotate", 90, "-background", "black", "-wave", f"{ripple}x{max(8, c.w // 90)}",
          "-rotate", -90, "-gravity", "center", "-crop", f"{c.w}x{horizon}+0+0", "+repage",
          "-motion-blur", f"0x{streak}+90", "-fill", tint, "-colorize", int(strength * 100), rippled)
    water = c.path()
    c.run("-size", f"{c.w}x{c.h}", "xc:none", rippled, "-geometry", f"+0+{horizon}",
          "-compose", "Over", "-composite", water)
    return c.over(picture, water)


def sparkles(c, rng, top, bottom, colour, count, length, alpha=0.35):
    lines = []
    for _ in range(count):
        y = rng.uniform(top, bottom)
        depth = (y - top) / max(1, bottom - top)
        x = rng.uniform(0, c.w)
        l = length * rng.uniform(0.4, 1.2) * (0.6 + depth)
        lines.append(f"line {x:.1f},{y:.1f} {x + l:.1f},{y:.1f}")
    mask = c.shape("stroke white stroke-width 1.2 " + " ".join(lines), blur=0.6)
    return c.fill(mask, colour, alpha)


def finish(c, picture, output, vignette=0.22, grain=4, quality=88):
    """Vignette, film grain and the JPEG file."""
    shade = c.path()
    c.run("-size", f"{c.w}x{c.h}", "radial-gradient:white-black", "-level", "35%,100%",
          "-evaluate", "pow", 1.6, "-negate", "-evaluate", "multiply", vignette, "-negate", shade)
    shaded = c.over(picture, shade, compose="Multiply")
    grained = c.path()
    c.run(shaded, "(", "-size", f"{c.w}x{c.h}", "xc:gray50", "-seed", 7,
          "-attenuate", grain / 10, "+noise", "Gaussian", "-colorspace", "Gray", ")",
          "-compose", "SoftLight", "-composite", grained)
    c.run(grained, "-alpha", "off", "-strip", "-sampling-factor", "4:2:0", "-interlace", "None",
          "-quality", quality, output)


# ---- Pictures -----------------------------------------------------------------------------

def hero(c, rng):
    """A mountain lake at first light: hazy ranges, snowy summits, spruces on the shore."""
    w, h = c.w, c.h
    horizon = int(h * 0.60)
    picture = c.vertical_gradient([(0, "#2f5b6e"), (0.26, "#6d98a6"), (0.44, "#d9d2bd"),
                                   (0.60, "#f7c98f"), (1, "#f7c98f")])
    sun = c.fill(c.shape(f"ellipse {w * 0.66:.0f},{horizon - 60} 330,190 0,360", blur=100), "#ffd49a", 1.0)
    picture = c.over(picture, sun, compose="Screen")

    # Long thin clouds lit from below.
    clouds = []
    for _ in range(16):
        cx, cy = rng.uniform(-50, w + 50), rng.uniform(h * 0.06, h * 0.34)
        clouds.append(f"ellipse {cx:.0f},{cy:.0f} {rng.uniform(70, 220):.0f},{rng.uniform(3, 9):.0f} 0,360")
    picture = c.over(picture, c.fill(c.shape(" ".join(clouds), blur=5), "#fff1dc", 0.35))

    ranges = [
        # base, peaks (centre, half width, height), detail, colour, snowline above base
        (horizon - 30, [(w * 0.64, 250, 270), (w * 0.42, 170, 175), (w * 0.86, 190, 205),
                        (w * 0.20, 200, 120)], 26, "#8fb0bb", 125),
        (horizon - 12, [(w * 0.14, 210, 170), (w * 0.47, 150, 105), (w * 0.99, 230, 150),
                        (w * 0.74, 120, 70)], 22, "#5d8491", 118),
        (horizon - 2, [(w * 0.31, 260, 95), (w * 0.80, 230, 78), (w * 0.56, 90, 40)], 16, "#36565f", None),
    ]
    for index, (base, peaks, detail, colour, snow_above) in enumerate(ranges):
        line = ridge(rng, w, base, peaks, detail, roughness=0.6)
        body = c.vertical_gradient([(0, mix(colour, "#ffffff", 0.22)), (0.6, colour),
                                    (1, mix(colour, "#0b1418", 0.3))])
        picture = c.over(picture, c.fill(c.shape(area_below(line, horizon + 2)), body))
        if snow_above:
            snowline = base - snow_above
            lower = [(x, max(y, snowline + 22 * math.sin(x / 17 + index) + rng.uniform(-6, 20)))
                     for x, y in line]
            mask = c.shape("polygon " + points(line + list(reversed(lower))), blur=0.8)
            picture = c.over(picture, c.fill(mask, "#f7f1e8", 0.92))
        faces = c.shape(shadow_faces(rng, line, horizon + 2, drift=0.3 + 0.1 * index), blur=1.0)
        picture = c.over(picture, c.fill(faces, mix(colour, "#1a3340", 0.55), 0.55))
        # Mist lying at the foot of each range.
        mist = c.shape(f"rectangle -20,{base - 10} {w + 20},{base + 16}", blur=14)
        picture = c.over(picture, c.fill(mist, "#e8efeb", 0.30 - index * 0.07))

    # The near shore with its spruces, left and right.
    shore_left = [(x, horizon + 6 - 46 * max(0, 1 - x / (w * 0.36)) ** 1.5) for x in range(0, w + 1, 10)]
    shore_right = [(x, horizon + 5 - 30 * max(0, (x - w * 0.70) / (w * 0.30)) ** 1.4) for x in range(0, w + 1, 10)]
    trees = forest_edge(rng, -10, w * 0.35, lambda x: interpolate(shore_left, x), 105, density=1.3)
    trees += " " + forest_edge(rng, w * 0.72, w + 10, lambda x: interpolate(shore_right, x), 78, density=1.2)
    ground = area_below(shore_left, horizon + 10) + " " + area_below(shore_right, horizon + 10)
    picture = c.over(picture, c.fill(c.shape(ground + " " + trees), "#0f2228"))

    picture = water_reflection(c, picture, horizon + 2, "#16323c", strength=0.38, ripple=1.4, streak=3)
    picture = c.over(picture, sparkles(c, rng, horizon + 4, h, "#fff0d8", 70, 34, 0.20))
    deep = c.mask_gradient([(0, 0), (horizon / h, 0), (1, 0.55)])
    picture = c.over(picture, c.fill(deep, "#0b1418"))
    return picture


def building_outline(kind, x, width, top, base, rng):
    """Outline of one building: a flat roof, a slanted glass tower, a spire or a gable."""
    if kind == "slant":
        cut = width * rng.uniform(0.3, 0.8)
        return [(x, base), (x, top + cut * 0.6), (x + width, top), (x + width, base)]
    if kind == "spire":
        body = top + (base - top) * 0.45
        return [(x, base), (x, body), (x + width * 0.5, top), (x + width, body), (x + width, base)]
    if kind == "gable":
        body = top + width * 0.5
        return [(x, base), (x, body), (x + width * 0.5, top), (x + width, body), (x + width, base)]
    return [(x, base), (x, top), (x + width, top), (x + width, base)]


def palace_tower(cx, base, scale=1.0):
    """A stepped high-rise with a needle, the landmark of the skyline."""
    s = scale
    tiers = [(95, 0, 70), (62, 70, 150), (44, 150, 230), (30, 230, 285), (18, 285, 318), (8, 318, 338)]
    pts_left, pts_right = [], []
    for half, y0, y1 in tiers:
        pts_left += [(cx - half * s, base - y0 * s), (cx - half * s, base - y1 * s)]
        pts_right += [(cx + half * s, base - y0 * s), (cx + half * s, base - y1 * s)]
    needle = [(cx - 1.5 * s, base - 338 * s), (cx, base - 392 * s), (cx + 1.5 * s, base - 338 * s)]
    return pts_left + needle + list(reversed(pts_right))


def windows_of(rng, x, width, top, base, lit, size=(3, 4), gap=(8, 9)):
    rects = []
    gx, gy = gap
    margin = 4
    cols = int((width - 2 * margin) // gx)
    rows = int((base - top - 2 * margin) // gy)
    for cx in range(cols):
        for cy in range(rows):
            if rng.random() < lit:
                wx = x + margin + cx * gx
                wy = top + margin + cy * gy
                rects.append(f"rectangle {wx:.1f},{wy:.1f} {wx + size[0]:.1f},{wy + size[1]:.1f}")
    return rects


def warsaw(c, rng):
    """A riverside skyline at dusk: lit towers, a bridge, lights streaking in the water."""
    w, h = c.w, c.h
    horizon = int(h * 0.66)
    picture = c.vertical_gradient([(0, "#0e1a3a"), (0.22, "#26306a"), (0.38, "#6f4a86"),
                                   (0.52, "#e0805f"), (0.62, "#ffc07a"), (1, "#ffc07a")])
    glow = c.fill(c.shape(f"ellipse {w * 0.42:.0f},{horizon} 420,120 0,360", blur=70), "#ffcf8a", 0.8)
    picture = c.over(picture, glow, compose="Screen")
    dots = []
    for _ in range(90):
        x, y = rng.uniform(0, w), rng.uniform(0, h * 0.32)
        r = rng.uniform(0.5, 1.1)
        dots.append(f"circle {x:.1f},{y:.1f} {x + r:.1f},{y:.1f}")
    picture = c.over(picture, c.fill(c.shape(" ".join(dots), blur=0.3), "#ffffff", 0.6))

    # Far city: low hazy blocks.
    far = []
    x = -10
    while x < w:
        bw = rng.uniform(18, 60)
        top = horizon - rng.uniform(30, 110)
        far.append("polygon " + points(building_outline(rng.choice(["flat", "flat", "slant", "gable"]),
                                                        x, bw, top, horizon, rng)))
        x += bw * rng.uniform(0.6, 1.0)
    picture = c.over(picture, c.fill(c.shape(" ".join(far)), "#4b3f70", 0.9))

    # Main skyline with the landmark tower, glass towers and old-town spires.
    near, lights = [], []
    near.append("polygon " + points(palace_tower(w * 0.33, horizon - 6, 0.95)))
    for half, y0, y1 in [(95, 8, 62), (62, 74, 145), (44, 154, 225), (30, 234, 280)]:
        lights += windows_of(rng, w * 0.33 - half * 0.95 + 2, half * 1.9 - 4, horizon - 6 - y1 * 0.95,
                             horizon - 6 - y0 * 0.95, 0.33, (2, 3), (6, 7))
    landmarks = [(w * 0.68, 46, 300, "slant"), (w * 0.74, 38, 250, "flat"), (w * 0.80, 52, 330, "slant"),
                 (w * 0.87, 34, 210, "flat"), (w * 0.61, 40, 190, "flat"), (w * 0.10, 26, 200, "spire"),
                 (w * 0.16, 22, 170, "spire")]
    for cx, bw, height, kind in landmarks:
        top = horizon - 6 - height
        near.append("polygon " + points(building_outline(kind, cx, bw, top, horizon, rng)))
        lights += windows_of(rng, cx, bw, top + (40 if kind != "flat" else 4), horizon - 10, 0.42)
    x = -5
    while x < w:
        bw = rng.uniform(22, 58)
        height = rng.uniform(40, 125)
        top = horizon - 6 - height
        kind = rng.choice(["flat", "flat", "flat", "gable", "slant"])
        near.append("polygon " + points(building_outline(kind, x, bw, top, horizon, rng)))
        lights += windows_of(rng, x, bw, top + (bw * 0.5 if kind == "gable" else 6), horizon - 8, 0.3)
        x += bw * rng.uniform(0.85, 1.15)
    skyline = c.shape(" ".join(near))
    body = c.vertical_gradient([(0, "#2a2a4c"), (0.66, "#171a30"), (1, "#171a30")])
    picture = c.over(picture, c.fill(skyline, body))

    # The embankment and the bridge with its lamps.
    bank = f"rectangle 0,{horizon - 8} {w},{horizon + 3}"
    deck_y = horizon - 16
    bridge = [f"rectangle {w * 0.45:.0f},{deck_y} {w * 1.0:.0f},{deck_y + 5}"]
    for k in range(6):
        px = w * 0.5 + k * w * 0.1
        bridge.append(f"rectangle {px - 3:.0f},{deck_y} {px + 3:.0f},{horizon + 2}")
        bridge.append(f"polygon {px - 1:.0f},{deck_y} {px:.0f},{deck_y - 28} {px + 1:.0f},{deck_y}")
    picture = c.over(picture, c.fill(c.shape(bank + " " + " ".join(bridge)), "#0f1122"))
    lamps = []
    for k in range(40):
        lx = w * 0.45 + k * (w * 0.55 / 40)
        lamps.append(f"circle {lx:.1f},{deck_y - 2:.1f} {lx + 1.6:.1f},{deck_y - 2:.1f}")
    for k in range(70):
        lx = rng.uniform(0, w * 0.45)
        lamps.append(f"circle {lx:.1f},{horizon - 5:.1f} {lx + 1.3:.1f},{horizon - 5:.1f}")
    lights_mask = c.shape(" ".join(lights), blur=0.2)
    lamp_mask = c.shape(" ".join(lamps), blur=0.4)
    windows = c.fill(lights_mask, "#ffd58c", 0.9)
    lamp_layer = c.fill(lamp_mask, "#fff0c4")
    halo = c.fill(c.shape(" ".join(lamps), blur=5), "#ffc56e", 0.9)
    picture = c.over(picture, windows, lamp_layer)
    picture = c.over(picture, halo, compose="Screen")

    picture = water_reflection(c, picture, horizon + 3, "#1a1a38", strength=0.35, ripple=2.5, streak=9)
    # Lights stretch into long streaks on the water.
    streaks = c.path()
    combined = c.over(lamp_layer, windows)
    c.run(combined, "-crop", f"{w}x{horizon + 3}+0+0", "+repage", "-flip",
          "-motion-blur", "0x26+90", "-motion-blur", "0x26+270", "-evaluate", "multiply", 2.2,
          "-background", "none", "-gravity", "north", "-extent", f"{w}x{h - horizon - 3}", streaks)
    placed = c.path()
    c.run("-size", f"{w}x{h}", "xc:none", streaks, "-geometry", f"+0+{horizon + 3}",
          "-compose", "Over", "-composite", placed)
    picture = c.over(picture, placed, compose="Screen")
    picture = c.over(picture, sparkles(c, rng, horizon + 6, h, "#ffcf96", 80, 30, 0.22))
    deep = c.mask_gradient([(0, 0), (horizon / h, 0), (1, 0.5)])
    return c.over(picture, c.fill(deep, "#0a0e1c"))


def canal_house(rng, x, width, base, height, colour):
    """One narrow canal house: facade, gable, white trim and its windows, as MVG."""
    top = base - height
    gable = rng.choice(["step", "bell", "neck", "spout", "cornice"])
    cx = x + width / 2
    rise = width * rng.uniform(0.45, 0.7)
    if gable == "step":
        steps = 4
        left = []
        for k in range(steps):
            sx = x + (width / 2 - 8) * k / steps
            sy = top - rise * k / steps
            left += [(sx, sy), (sx, sy - rise / steps)]
        outline = [(x, base)] + left + [(cx - 8, top - rise), (cx + 8, top - rise)]
        outline += [(2 * cx - px, py) for px, py in reversed(left)] + [(x + width, base)]
        facade = "polygon " + points(outline)
        trim = ""
    elif gable in ("bell", "neck"):
        neck = width * 0.18
        shoulder = top - rise * 0.35
        path = (f"M {x:.1f},{base:.1f} L {x:.1f},{top:.1f} "
                f"C {x + width * 0.05:.1f},{shoulder:.1f} {cx - neck:.1f},{top - rise * 0.2:.1f} {cx - neck:.1f},{shoulder:.1f} "
                f"L {cx - neck:.1f},{top - rise:.1f} Q {cx:.1f},{top - rise * 1.18:.1f} {cx + neck:.1f},{top - rise:.1f} "
                f"L {cx + neck:.1f},{shoulder:.1f} "
                f"C {cx + neck:.1f},{top - rise * 0.2:.1f} {x + width * 0.95:.1f},{shoulder:.1f} {x + width:.1f},{top:.1f} "
                f"L {x + width:.1f},{base:.1f} Z")
        facade = f"path '{path}'"
        trim = (f"fill none stroke #f1ece2 stroke-width 2.2 path '{path}' stroke none ")
    elif gable == "spout":
        outline = [(x, base), (x, top), (cx - 6, top - rise), (cx + 6, top - rise), (x + width, top), (x + width, base)]
        facade = "polygon " + points(outline)
        trim = ""
    else:
        facade = f"rectangle {x:.1f},{top - rise * 0.4:.1f} {x + width:.1f},{base:.1f}"
        trim = (f"fill #efe8da rectangle {x - 2:.1f},{top - rise * 0.4:.1f} {x + width + 2:.1f},"
                f"{top - rise * 0.4 + 7:.1f} ")
    parts = [f"fill {colour} {facade}", trim]
    # Windows: white frames with dark glass, taller on the lower floors.
    cols = 3 if width > 70 else 2
    floors = max(3, int(height / 52))
    glass = rng.choice(["#2b3a44", "#33444f", "#26323b"])
    win_w = width / (cols * 1.7)
    gap = (width - cols * win_w) / (cols + 1)
    for f in range(floors):
        fy = top + 14 + f * (height - 30) / floors
        fh = (height - 30) / floors * 0.62
        for k in range(cols):
            wx = x + gap + k * (win_w + gap)
            parts.append(f"fill #f3efe6 rectangle {wx:.1f},{fy:.1f} {wx + win_w:.1f},{fy + fh:.1f}")
            lit = rng.random() < 0.12
            pane = "#f6d48e" if lit else glass
            parts.append(f"fill {pane} rectangle {wx + 2:.1f},{fy + 2:.1f} {wx + win_w - 2:.1f},{fy + fh - 2:.1f}")
            parts.append(f"fill #f3efe6 rectangle {wx + 1:.1f},{fy + fh * 0.45:.1f} {wx + win_w - 1:.1f},{fy + fh * 0.45 + 1.5:.1f}")
            parts.append(f"fill #f3efe6 rectangle {wx + win_w / 2 - 0.7:.1f},{fy + 1:.1f} {wx + win_w / 2 + 0.7:.1f},{fy + fh - 1:.1f}")
    # A small attic window in the gable and the door.
    parts.append(f"fill #f3efe6 rectangle {cx - 6:.1f},{top - rise * 0.35:.1f} {cx + 6:.1f},{top - rise * 0.35 + 16:.1f}")
    parts.append(f"fill {glass} rectangle {cx - 4:.1f},{top - rise * 0.35 + 2:.1f} {cx + 4:.1f},{top - rise * 0.35 + 14:.1f}")
    door_x = x + rng.choice([gap, width - gap - 14])
    parts.append(f"fill #1e2a2a rectangle {door_x:.1f},{base - 26:.1f} {door_x + 14:.1f},{base:.1f}")
    return " ".join(parts)


def tree_crown(rng, x, base, size):
    parts = [f"fill #3b2c22 rectangle {x - 3:.1f},{base - size * 1.1:.1f} {x + 3:.1f},{base:.1f}"]
    for _ in range(26):
        ox = rng.gauss(0, size * 0.45)
        oy = rng.gauss(0, size * 0.3)
        r = size * rng.uniform(0.18, 0.32)
        colour = rng.choice(["#3f6b3a", "#4f7d42", "#5f8f4c", "#35603a", "#6d9a52"])
        cy = base - size * 1.35 + oy
        parts.append(f"fill {colour} circle {x + ox:.1f},{cy:.1f} {x + ox + r:.1f},{cy:.1f}")
    return " ".join(parts)


def amsterdam(c, rng):
    """Canal houses with white gables, elms on the quay, a boat on the water."""
    w, h = c.w, c.h
    street = int(h * 0.66)
    picture = c.vertical_gradient([(0, "#3f86c0"), (0.3, "#8dbfdf"), (0.55, "#f2e4c8"), (1, "#f2e4c8")])
    clouds = []
    for _ in range(7):
        cx, cy = rng.uniform(0, w), rng.uniform(h * 0.06, h * 0.22)
        for _ in range(12):
            r = rng.uniform(14, 32)
            px, py = cx + rng.uniform(-80, 80), cy + rng.uniform(-10, 6)
            clouds.append(f"circle {px:.0f},{py:.0f} {px + r:.0f},{py:.0f}")
        clouds.append(f"rectangle {cx - 95:.0f},{cy + 4:.0f} {cx + 95:.0f},{cy + 18:.0f}")
    picture = c.over(picture, c.fill(c.shape(" ".join(clouds), blur=3), "#ffffff", 0.8))

    colours = ["#8e3b2e", "#5a3426", "#b98b4e", "#2f4a3e", "#4f5f6e", "#d8cdb5", "#2a2a2c",
               "#7b2f2a", "#a4532f", "#394b5c"]
    houses = []
    x = -20
    previous = None
    while x < w + 10:
        width = rng.uniform(62, 96)
        height = rng.uniform(210, 300)
        colour = rng.choice([col for col in colours if col != previous])
        previous = colour
        houses.append(canal_house(rng, x, width, street, height, colour))
        x += width + rng.uniform(-1, 2)
    picture = c.over(picture, c.paint(" ".join(houses)))
    # Soft shadow under the eaves and the quay wall.
    quay = f"fill #5b4d43 rectangle 0,{street - 4} {w},{street + 12} fill #3c332d rectangle 0,{street + 12} {w},{street + 16}"
    posts = " ".join(f"fill #1f1f22 rectangle {px:.0f},{street - 16} {px + 3:.0f},{street - 4}"
                     for px in range(12, w, 46))
    rail = f"fill #1f1f22 rectangle 0,{street - 16} {w},{street - 14}"
    trees = " ".join(tree_crown(rng, tx + rng.uniform(-20, 20), street - 2, rng.uniform(90, 120))
                     for tx in (w * 0.12, w * 0.46, w * 0.83))
    picture = c.over(picture, c.paint(quay + " " + rail + " " + posts), c.paint(trees))

    picture = water_reflection(c, picture, street + 16, "#1f4047", strength=0.55, ripple=4.5, streak=10)
    boat_y = street + 96
    windows = " ".join(f"fill #cfe3e8 rectangle {w * 0.60 + k * 22:.0f},{boat_y - 20} {w * 0.60 + k * 22 + 14:.0f},{boat_y - 10}"
                       for k in range(7))
    boat = (f"fill #1d3a36 polygon {w * 0.50:.0f},{boat_y - 4} {w * 0.86:.0f},{boat_y - 4} {w * 0.84:.0f},{boat_y + 18} "
            f"{w * 0.53:.0f},{boat_y + 18} "
            f"fill #e9e4d8 rectangle {w * 0.505:.0f},{boat_y + 2} {w * 0.855:.0f},{boat_y + 5} "
            f"fill #2d5b52 roundrectangle {w * 0.58:.0f},{boat_y - 26} {w * 0.79:.0f},{boat_y - 4} 6,6 "
            + windows)
    picture = c.over(picture, c.paint(boat))
    shadow = c.fill(c.shape(f"ellipse {w * 0.68:.0f},{boat_y + 22} {w * 0.18:.0f},6 0,360", blur=5), "#0d1a1d", 0.6)
    picture = c.over(picture, shadow)
    picture = c.over(picture, sparkles(c, rng, street + 20, h, "#ffffff", 90, 30, 0.18))
    deep = c.mask_gradient([(0, 0), (street / h, 0), (1, 0.45)])
    return c.over(picture, c.fill(deep, "#0b1418"))


def coast(c, rng):
    """A rocky coast at sunset: sea to the horizon, cliffs on the right, a sandy cove."""
    w, h = c.w, c.h
    horizon = int(h * 0.52)
    picture = c.vertical_gradient([(0, "#24456a"), (0.3, "#7c8fb0"), (0.46, "#f2b58a"),
                                   (0.52, "#ffd39a"), (0.52, "#2e5d73"), (0.8, "#1d4356"), (1, "#163443")])
    sun = c.fill(c.shape(f"circle {w * 0.34:.0f},{horizon - 16} {w * 0.34 + 20:.0f},{horizon - 16}", blur=1.5),
                 "#fff2d2")
    glow = c.fill(c.shape(f"ellipse {w * 0.34:.0f},{horizon - 10} 190,80 0,360", blur=40), "#ffc98a", 0.9)
    picture = c.over(picture, glow, compose="Screen")
    picture = c.over(picture, sun)
    # The sun's path on the water.
    path = " ".join(f"rectangle {w * 0.34 - rng.uniform(6, 40) * (1 + (y - horizon) / 60):.0f},{y:.0f} "
                    f"{w * 0.34 + rng.uniform(6, 40) * (1 + (y - horizon) / 60):.0f},{y + 1.4:.0f}"
                    for y in range(horizon + 2, int(h * 0.8), 4))
    picture = c.over(picture, c.fill(c.shape(path, blur=0.7), "#ffdca8", 0.55))
    picture = c.over(picture, sparkles(c, rng, horizon + 4, h * 0.8, "#ffffff", 60, 18, 0.25))

    # A headland: a steep face rising from the water to a ragged top.
    x0 = w * 0.64
    wobble = noise_line(rng, 120, 0.6)
    cliff = [(x0, horizon + 10)]
    for i in range(121):
        x = x0 + (w - x0 + 4) * i / 120
        t = min(1.0, (x - x0) / (w * 0.07))
        cliff.append((x, horizon + 10 - (130 + 30 * (x - x0) / (w - x0)) * t ** 0.55 - wobble[i] * 9))
    cliff.append((w + 4, horizon + 10))
    body = c.vertical_gradient([(0, "#7a665c"), (0.35, "#4a3f40"), (0.55, "#2a2429"), (1, "#2a2429")])
    picture = c.over(picture, c.fill(c.shape("polygon " + points(cliff)), body))
    face = [(x, y) for x, y in cliff if x < x0 + w * 0.09] + [(x0 + w * 0.05, horizon + 10)]
    picture = c.over(picture, c.fill(c.shape("polygon " + points(face), blur=2), "#1d1a20", 0.6))
    reflection = [(x, 2 * (horizon + 10) - y) for x, y in cliff]
    picture = c.over(picture, c.fill(c.shape("polygon " + points(reflection), blur=3), "#1b2a33", 0.55))
    foam = " ".join(f"ellipse {x:.0f},{horizon + 11 + rng.uniform(-1, 2):.0f} {rng.uniform(6, 14):.0f},1.2 0,360"
                    for x in [w * 0.64 + k * 8 for k in range(28)])
    picture = c.over(picture, c.fill(c.shape(foam, blur=1), "#f4f1ea", 0.7))

    beach = [(x, h * 0.80 + 16 * math.sin(x / 70) + rng.uniform(-1, 1)) for x in range(0, w + 1, 6)]
    sand = c.vertical_gradient([(0, "#e4c49a"), (1, "#b08a62")])
    wet = [(x, y - 6) for x, y in beach]
    picture = c.over(picture, c.fill(c.shape(area_below(wet, h), blur=2), "#f6efe2", 0.8))
    picture = c.over(picture, c.fill(c.shape(area_below(beach, h)), sand))
    return picture


def forest(c, rng):
    """Spruce-covered hills fading into morning mist."""
    w, h = c.w, c.h
    picture = c.vertical_gradient([(0, "#9fc0c4"), (0.45, "#dfe6dc"), (1, "#eef0e6")])
    sun = c.fill(c.shape(f"ellipse {w * 0.7:.0f},{h * 0.3:.0f} 150,110 0,360", blur=60), "#fff3d6", 0.9)
    picture = c.over(picture, sun, compose="Screen")
    layers = [("#8fb2ad", 0.40, 18, 26), ("#6a948f", 0.52, 24, 34), ("#46716e", 0.64, 30, 46),
              ("#2b4f4e", 0.78, 40, 62), ("#173433", 0.94, 52, 86)]
    for index, (colour, level, hill, tree) in enumerate(layers):
        base = h * level
        line = [(x, base - hill * (0.5 + 0.5 * math.sin(x / (90 + 20 * index) + index * 1.7)) +
                 rng.uniform(-1, 1)) for x in range(-10, w + 20, 8)]
        trees = forest_edge(rng, -20, w + 20, lambda x: interpolate(line, x), tree, density=1.6 + 0.2 * index)
        picture = c.over(picture, c.fill(c.shape(area_below(line, h) + " " + trees), colour))
        if index < len(layers) - 1:
            mist = c.shape(f"rectangle -20,{base - hill * 0.3:.0f} {w + 20},{base + 40:.0f}", blur=18)
            picture = c.over(picture, c.fill(mist, "#eef2ea", 0.45))
    rays = " ".join(f"polygon {w * 0.7:.0f},{h * 0.25:.0f} {x:.0f},{h} {x + 26:.0f},{h}"
                    for x in (w * 0.1, w * 0.3, w * 0.48, w * 0.62))
    return c.over(picture, c.fill(c.shape(rays, blur=14), "#fff8e4", 0.16))


PICTURES = {
    "hero": ((1000, 667), 11, hero),
    "warsaw": ((1080, 720), 23, warsaw),
    "amsterdam": ((1200, 800), 37, amsterdam),
    "coast": ((600, 400), 41, coast),
    "forest": ((600, 399), 53, forest),
}


def main():
    names = sys.argv[1:] or list(PICTURES)
    for name in names:
        (width, height), seed, draw = PICTURES[name]
        with tempfile.TemporaryDirectory() as folder:
            c = Canvas(width, height, folder)
            picture = draw(c, random.Random(seed))
            finish(c, picture, os.path.join(ASSETS, name + ".jpg"))
        print(f"{name}.jpg {width}x{height}")


if __name__ == "__main__":
    main()
