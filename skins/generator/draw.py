# draw.py: the small drawing kit behind the product's skin pictures (skins/generator/).
#
# Every picture is drawn as vector shapes on a canvas eight times larger than the result and
# then averaged down, which gives clean anti-aliased edges without any font or outside asset.
# Coordinates are given in design units; a canvas is made for a number of design units and a
# scale (1 for the 96-dpi pictures, 2 for the 192-dpi ones), so the high-resolution pictures
# are the same drawings with twice the detail rather than enlarged copies. Edges that sit on
# whole design units land on whole pixels at both scales and stay sharp.
#
# Only Pillow is used, and nothing depends on time, randomness or the machine, so the same
# source always gives the same pixels.
from PIL import Image, ImageChops, ImageDraw, ImageFilter

# Supersampling factor: the canvas has this many pixels per result pixel in each direction.
SS = 8


def rgba(c, a=None):
    """Returns c as an RGBA tuple; a replaces its alpha (0..255) when given."""
    if len(c) == 3:
        c = (c[0], c[1], c[2], 255)
    if a is not None:
        c = (c[0], c[1], c[2], int(a))
    return tuple(int(v) for v in c)


def mix(a, b, t):
    """Linear blend of two colours (RGB or RGBA) at t in 0..1."""
    a, b = rgba(a), rgba(b)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(4))


class Canvas:
    """An RGBA picture of w x h design units drawn at the given scale.

    Shapes are first drawn into a coverage mask (Mask) and then painted with a colour or a
    gradient; painting composites with source-over, so shapes stack like layers.
    """

    def __init__(self, w, h, scale=1):
        self.w, self.h, self.scale = w, h, scale
        self.k = scale * SS  # canvas pixels per design unit
        self.size = (int(round(w * self.k)), int(round(h * self.k)))
        self.im = Image.new("RGBA", self.size, (0, 0, 0, 0))

    def mask(self):
        return Mask(self)

    def vgradient(self, stops, y0=None, y1=None):
        """A full-canvas picture with a vertical gradient through stops [(t, colour), ...]
        between design rows y0 (t = 0) and y1 (t = 1); colours stay flat beyond them."""
        y0 = 0 if y0 is None else y0
        y1 = self.h if y1 is None else y1
        col = Image.new("RGBA", (1, self.size[1]))
        top, bottom = y0 * self.k, y1 * self.k
        for py in range(self.size[1]):
            t = 0.0 if bottom <= top else ((py + 0.5) - top) / (bottom - top)
            t = min(1.0, max(0.0, t))
            for i in range(len(stops) - 1):
                t0, c0 = stops[i]
                t1, c1 = stops[i + 1]
                if t <= t1 or i == len(stops) - 2:
                    u = 0.0 if t1 == t0 else min(1.0, max(0.0, (t - t0) / (t1 - t0)))
                    col.putpixel((0, py), mix(c0, c1, u))
                    break
        return col.resize(self.size, Image.NEAREST)

    def hgradient(self, stops, x0=None, x1=None):
        """Like vgradient, but running from column x0 (t = 0) to x1 (t = 1)."""
        turned = Canvas(self.h, self.w, self.scale)
        g = turned.vgradient(stops, x0, x1)
        return g.transpose(Image.Transpose.TRANSPOSE)

    def paint(self, m, fill):
        """Composites fill (a colour or a full-canvas RGBA picture) through mask m."""
        mm = m.im if isinstance(m, Mask) else m
        if isinstance(fill, Image.Image):
            layer = fill.copy()
        else:
            layer = Image.new("RGBA", self.size, rgba(fill))
        alpha = ImageChops.multiply(layer.getchannel("A"), mm)
        layer.putalpha(alpha)
        self.im = Image.alpha_composite(self.im, layer)

    def shadow(self, m, dx, dy, blur, colour):
        """Paints a soft shadow of mask m, moved by (dx, dy) and blurred by blur units."""
        mm = m.im if isinstance(m, Mask) else m
        moved = Image.new("L", self.size, 0)
        moved.paste(mm, (int(round(dx * self.k)), int(round(dy * self.k))))
        if blur > 0:
            moved = moved.filter(ImageFilter.GaussianBlur(blur * self.k))
        self.paint(moved, colour)

    def over(self, other):
        """Composites another canvas of the same size on top of this one."""
        self.im = Image.alpha_composite(self.im, other.im)

    def result(self):
        """The finished picture at its real size, averaged down from the canvas."""
        out = (int(round(self.w * self.scale)), int(round(self.h * self.scale)))
        return self.im.resize(out, Image.BOX)


class Mask:
    """A coverage mask of a canvas: shapes are added (or cut) in design units."""

    def __init__(self, canvas):
        self.c = canvas
        self.k = canvas.k
        self.im = Image.new("L", canvas.size, 0)
        self.d = ImageDraw.Draw(self.im)

    def _box(self, x0, y0, x1, y1):
        k = self.k
        return [x0 * k, y0 * k, x1 * k - 1, y1 * k - 1]

    def _pts(self, pts):
        return [(x * self.k, y * self.k) for x, y in pts]

    def rect(self, x0, y0, x1, y1, v=255):
        self.d.rectangle(self._box(x0, y0, x1, y1), fill=v)
        return self

    def rrect(self, x0, y0, x1, y1, r, v=255):
        self.d.rounded_rectangle(self._box(x0, y0, x1, y1), radius=r * self.k, fill=v)
        return self

    def ellipse(self, x0, y0, x1, y1, v=255):
        self.d.ellipse(self._box(x0, y0, x1, y1), fill=v)
        return self

    def circle(self, cx, cy, r, v=255):
        return self.ellipse(cx - r, cy - r, cx + r, cy + r, v)

    def ring(self, cx, cy, r, width, v=255):
        """A circle outline of the given stroke width centred on radius r."""
        self.circle(cx, cy, r + width / 2, v)
        self.circle(cx, cy, r - width / 2, 255 - v)
        return self

    def poly(self, pts, v=255):
        self.d.polygon(self._pts(pts), fill=v)
        return self

    def line(self, pts, width, v=255, caps=True):
        """A polyline of the given stroke width with round joints and (optionally) round caps."""
        self.d.line(self._pts(pts), fill=v, width=max(1, int(round(width * self.k))), joint="curve")
        if caps:
            for x, y in (pts[0], pts[-1]):
                self.circle(x, y, width / 2, v)
        return self

    def arc(self, cx, cy, r, start, end, width, v=255):
        """An arc of a circle (angles in degrees, clockwise from 3 o'clock, as Pillow has them)."""
        k = self.k
        box = [(cx - r - width / 2) * k, (cy - r - width / 2) * k,
               (cx + r + width / 2) * k - 1, (cy + r + width / 2) * k - 1]
        self.d.arc(box, start, end, fill=v, width=max(1, int(round(width * k))))
        return self

    def cut(self, other):
        """Removes the shapes of another mask from this one."""
        self.im = ImageChops.subtract(self.im, other.im)
        self.d = ImageDraw.Draw(self.im)
        return self

    def add(self, other):
        self.im = ImageChops.lighter(self.im, other.im)
        self.d = ImageDraw.Draw(self.im)
        return self

    def clip(self, other):
        """Keeps only what lies inside another mask."""
        self.im = ImageChops.multiply(self.im, other.im)
        self.d = ImageDraw.Draw(self.im)
        return self

    def grow(self, units):
        """Widens the shapes by about units design units (for outlines around glyphs)."""
        g = self.c.mask()
        g.im = self.im
        for _ in range(max(1, int(round(units * self.k)))):
            g.im = g.im.filter(ImageFilter.MaxFilter(3))
        g.d = ImageDraw.Draw(g.im)
        return g

    def copy(self):
        m = self.c.mask()
        m.im = self.im.copy()
        m.d = ImageDraw.Draw(m.im)
        return m
