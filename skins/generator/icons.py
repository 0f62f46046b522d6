# icons.py: the drawings of the product's default skins (skins/generator/): the glossy
# buttons of the Today item, the scroll buttons and thumb, the button strip, the text window,
# the title-bar pictures of zvHost, and the small icons that mark each kind of alarm.
#
# Each function returns a finished Pillow picture for a scale (1 for 96 dpi, 2 for 192 dpi).
# Buttons are drawn on a 20-unit grid, scroll parts on a 12-unit grid, kind icons on a
# 12-unit grid and the title-bar pictures on an 18-unit grid; see draw.py for the units.
# The look follows the blue Windows Mobile 6 scheme: a blue body with a light top, a glossy
# upper half, a dark rim, a soft shadow, and white symbols with a faint shadow of their own.
import math

from draw import Canvas, mix, rgba

# The blue body of every button, from its top to its bottom, and its rim.
BODY_TOP = (132, 186, 248)
BODY_MID = (62, 132, 226)
BODY_BOTTOM = (24, 84, 186)
RIM = (14, 58, 136)
# Colours of symbol details.
DETAIL_BLUE = (44, 112, 214)
RED = (232, 64, 52)
GREEN = (58, 184, 62)
YELLOW = (255, 204, 58)
SHADOW = (0, 16, 60)


# ---- Buttons ------------------------------------------------------------------------------


class Glyph:
    """Paints a button's symbol: white or coloured parts, each with a faint drop shadow so
    that the symbol stands off the glossy body."""

    def __init__(self, c):
        self.c = c

    def white(self, m, alpha=255):
        self.part(m, (255, 255, 255, alpha))

    def part(self, m, colour):
        self.c.shadow(m, 0, 0.6, 0.35, (SHADOW[0], SHADOW[1], SHADOW[2], 95))
        self.c.paint(m, colour)

    def flat(self, m, colour):
        """A detail inside a part that needs no shadow of its own."""
        self.c.paint(m, colour)


def glossy_body(c, x0, y0, x1, y1, r, shadow=True):
    """The blue glossy body with its rim, gloss and (optionally) its shadow."""
    outer = c.mask().rrect(x0, y0, x1, y1, r)
    if shadow:
        c.shadow(outer, 0, 1, 0.6, (SHADOW[0], SHADOW[1], SHADOW[2], 85))
    c.paint(outer, rgba(RIM))
    inner = c.mask().rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(0.5, r - 1))
    c.paint(inner, c.vgradient([(0, BODY_TOP), (0.5, BODY_MID), (1, BODY_BOTTOM)], y0 + 1,
                               y1 - 1))
    mid = y0 + (y1 - y0) * 0.5
    gloss = c.mask().rrect(x0 + 1, y0 + 1, x1 - 1, mid, max(0.5, r - 1)).clip(inner)
    c.paint(gloss, c.vgradient([(0, (255, 255, 255, 150)), (1, (255, 255, 255, 30))], y0 + 1, mid))
    # A lighter line just inside the rim at the bottom: light caught by the lower edge.
    lip = c.mask().rrect(x0 + 1, y1 - 3, x1 - 1, y1 - 1, max(0.5, r - 1)).clip(inner)
    lip.cut(c.mask().rrect(x0 + 1, y1 - 4, x1 - 1, y1 - 2, max(0.5, r - 1)))
    c.paint(lip, (150, 200, 255, 90))


def button(scale, symbol):
    """A 20 x 20 unit button: body from (1, 0) to (19, 18), shadow below, symbol on top."""
    c = Canvas(20, 20, scale)
    glossy_body(c, 1, 0, 19, 18, 4)
    symbol(c, Glyph(c))
    return c.result()


def gear(m, cx, cy, r_out, r_in, teeth, hole, v=255):
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step - math.pi / 2
        for da, r in ((-0.36, r_in), (-0.2, r_out), (0.2, r_out), (0.36, r_in)):
            pts.append((cx + r * math.cos(a + da * step * 1.2),
                        cy + r * math.sin(a + da * step * 1.2)))
    m.poly(pts, v)
    m.circle(cx, cy, r_in, v)
    if hole:
        m.circle(cx, cy, hole, 0 if v else 255)
    return m


def sym_settings(c, g):
    g.white(gear(c.mask(), 10, 9, 6, 4.4, 8, 1.9))


def alarm_clock(c, cx, cy, r, width):
    """An alarm clock: ring, two bells, two legs; the hands are painted separately."""
    m = c.mask()
    bell = r * 0.42
    for side in (-1, 1):
        bx, by = cx + side * r * 0.78, cy - r * 0.82
        m.circle(bx, by, bell)
    m.circle(cx, cy, r + width * 0.9, 0)
    m.ring(cx, cy, r, width)
    for side in (-1, 1):
        m.line([(cx + side * r * 0.55, cy + r * 0.8), (cx + side * r * 0.95, cy + r * 1.35)],
               width * 0.75)
    return m


def sym_custom(c, g):
    cx, cy, r = 8.6, 9.4, 4.3
    g.white(alarm_clock(c, cx, cy, r, 1.5))
    hands = c.mask().line([(cx, cy - 2.6), (cx, cy), (cx + 1.8, cy + 1)], 1.1)
    g.white(hands)
    # The "new" badge: a green disc with a white plus, ringed in white.
    bx, by, br = 14.2, 12.8, 3.4
    g.white(c.mask().circle(bx, by, br + 0.8))
    c.paint(c.mask().circle(bx, by, br),
            c.vgradient([(0, (120, 220, 110)), (1, (30, 150, 40))], by - br, by + br))
    plus = c.mask().rect(bx - 2.1, by - 0.6, bx + 2.1, by + 0.6).rect(bx - 0.6, by - 2.1,
                                                                         bx + 0.6, by + 2.1)
    c.paint(plus, (255, 255, 255, 255))


def sym_calendar(c, g):
    page = c.mask().rrect(4, 4, 16, 15, 1.2)
    g.white(page)
    header = c.mask().rect(4, 4, 16, 7.5).clip(page)
    g.flat(header, c.vgradient([(0, (250, 110, 96)), (1, (206, 44, 36))], 4, 7.5))
    rings = c.mask().rrect(6.5, 2.5, 8, 5.5, 0.6).rrect(12, 2.5, 13.5, 5.5, 0.6)
    g.flat(rings, (70, 70, 80, 255))
    cells = c.mask()
    for col in range(3):
        for row in range(2):
            cells.rect(5.5 + col * 3.2, 9 + row * 2.8, 7.3 + col * 3.2, 10.6 + row * 2.8)
    g.flat(cells, DETAIL_BLUE)


def sym_tasks(c, g):
    page = c.mask().rrect(4.5, 3, 15.5, 16, 1.2)
    g.white(page)
    lines = c.mask().rect(9, 6, 13.5, 7).rect(9, 9, 13.5, 10).rect(9, 12, 13.5, 13)
    g.flat(lines, DETAIL_BLUE)
    boxes = c.mask()
    for y in (5.5, 8.5, 11.5):
        boxes.rect(6, y, 8, y + 2)
        boxes.rect(6.6, y + 0.6, 7.4, y + 1.4, 0)
    g.flat(boxes, (150, 170, 200))
    tick = c.mask().line([(5.2, 8.4), (7.2, 10.6), (11.2, 4.2)], 1.7)
    g.part(tick.grow(0.7), (255, 255, 255, 255))
    g.flat(tick, (36, 168, 44))


def sym_alnote(c, g):
    page = c.mask().poly([(4, 3.5), (11.5, 3.5), (14, 6), (14, 15.5), (4, 15.5)])
    g.white(page)
    fold = c.mask().poly([(11.5, 3.5), (11.5, 6), (14, 6)])
    g.flat(fold, (170, 190, 220))
    scrib = c.mask().line([(5.8, 10.5), (6.8, 8.6), (7.6, 11), (8.6, 8.8), (9.4, 11.2),
                           (10.4, 9.4)], 0.9)
    g.flat(scrib, DETAIL_BLUE)
    g.flat(c.mask().rect(5.8, 13, 11, 13.9), (150, 170, 200))
    # The pen lies across the page's corner.
    pen = c.mask().line([(17, 5.5), (12, 12.5)], 2.4, caps=False)
    tip = c.mask().poly([(11.05, 11.8), (12.95, 13.2), (10.6, 14.8)])
    g.part(pen.copy().add(tip).grow(0.6), (255, 255, 255, 255))
    g.flat(pen, c.hgradient([(0, (255, 222, 90)), (1, (230, 150, 20))], 11, 17))
    g.flat(tip, (60, 60, 70))


def sym_contact(c, g):
    m = c.mask().circle(10, 6.2, 3.1)
    body = c.mask().ellipse(3.8, 10.4, 16.2, 21.5).clip(c.mask().rect(0, 0, 20, 15.5))
    body.cut(c.mask().circle(10, 6.2, 3.9))
    m.add(body)
    g.white(m)


def sym_inbox(c, g):
    env = c.mask().rrect(3.5, 5, 16.5, 14, 1)
    g.white(env)
    flap = c.mask().line([(4.4, 5.8), (10, 10.4), (15.6, 5.8)], 1.1, caps=False)
    g.flat(flap, DETAIL_BLUE)
    low = c.mask().line([(4.4, 13.3), (8.4, 9.4)], 0.8, caps=False).line(
        [(15.6, 13.3), (11.6, 9.4)], 0.8, caps=False)
    g.flat(low, (150, 170, 200))


def sym_note(c, g):
    pad = c.mask().rrect(5, 3, 15, 16, 1.2)
    g.white(pad)
    band = c.mask().rect(5, 3, 15, 6).clip(pad)
    g.flat(band, c.vgradient([(0, (255, 226, 110)), (1, (236, 176, 26))], 3, 6))
    lines = c.mask().rect(6.5, 8, 13.5, 9).rect(6.5, 10.5, 13.5, 11.5).rect(6.5, 13, 11.5, 14)
    g.flat(lines, DETAIL_BLUE)


def sym_filter(c, g):
    g.white(c.mask().poly([(3.8, 3.6), (16.2, 3.6), (11.4, 9.4), (11.4, 14.4), (8.6, 16),
                           (8.6, 9.4)]))


def sym_loadskin(c, g):
    pal = c.mask().ellipse(3, 3.5, 17, 15.5)
    pal.circle(7, 11.6, 1.5, 0)
    pal.poly([(3, 13.5), (6, 12.2), (5.5, 15.5)], 0)
    g.white(pal)
    for (x, y), col in (((7, 7.3), RED), ((10.5, 6.2), YELLOW), ((13.8, 8.2), GREEN),
                        ((12.4, 11.8), DETAIL_BLUE)):
        g.flat(c.mask().circle(x, y, 1.35), col)


def speaker(c, dx=0):
    return c.mask().rect(3.5 + dx, 7, 6.5 + dx, 11).poly([(6 + dx, 7), (10 + dx, 3.8),
                                                          (10 + dx, 14.2), (6 + dx, 11)])


def sym_vol(c, g):
    m = speaker(c, 0.5)
    m.arc(10.5, 9, 2.8, -48, 48, 1.3)
    m.arc(10.5, 9, 5.4, -50, 50, 1.3)
    g.white(m)


def sym_mute(c, g):
    g.white(speaker(c, 0.5))
    cross = c.mask().line([(12.6, 6.4), (16.6, 11.6)], 1.7).line([(16.6, 6.4), (12.6, 11.6)], 1.7)
    g.part(cross.grow(0.7), (255, 255, 255, 255))
    g.flat(cross, (226, 40, 30))


def sym_jotwell(c, g):
    pen = c.mask().line([(15.5, 3.5), (8, 11)], 3.2, caps=False)
    tip = c.mask().poly([(6.87, 9.87), (9.13, 12.13), (4.6, 14.4)])
    g.white(pen.copy().add(tip))
    g.flat(c.mask().line([(15.5, 3.5), (14.2, 4.8)], 3.2, caps=False), (120, 150, 200))
    g.flat(c.mask().poly([(5.7, 12.2), (6.8, 13.3), (4.6, 14.4)]), (60, 60, 70))


BUTTONS = {
    "settings": sym_settings,
    "newalarm": sym_custom,
    "calendar": sym_calendar,
    "tasks": sym_tasks,
    "alnote": sym_alnote,
    "contacts": sym_contact,
    "inbox": sym_inbox,
    "notes": sym_note,
    "filter": sym_filter,
    "loadskin": sym_loadskin,
    "volume": sym_vol,
    "mute": sym_mute,
    "jotwell": sym_jotwell,
}


# ---- Scroll parts -------------------------------------------------------------------------


def scroll_button(scale, up):
    """12 x 12 units: a small glossy button with a white arrow."""
    c = Canvas(12, 12, scale)
    glossy_body(c, 0, 0, 12, 11, 3)
    if up:
        arrow = c.mask().poly([(6, 3), (9.3, 7.4), (2.7, 7.4)])
    else:
        arrow = c.mask().poly([(6, 7.8), (9.3, 3.4), (2.7, 3.4)])
    Glyph(c).white(arrow)
    return c.result()


def scroll_thumb(scale):
    """12 x 16 units: a rounded bar, lit from the left, with three grip lines."""
    c = Canvas(12, 16, scale)
    outer = c.mask().rrect(1, 0, 11, 15, 3)
    c.shadow(outer, 0.5, 0.8, 0.5, (SHADOW[0], SHADOW[1], SHADOW[2], 80))
    c.paint(outer, rgba(RIM))
    inner = c.mask().rrect(2, 1, 10, 14, 2)
    c.paint(inner, c.hgradient([(0, BODY_TOP), (0.45, BODY_MID), (1, BODY_BOTTOM)], 2, 10))
    gloss = c.mask().rrect(2, 1, 6, 14, 2).clip(inner)
    c.paint(gloss, c.hgradient([(0, (255, 255, 255, 120)), (1, (255, 255, 255, 20))], 2, 6))
    for y in (5, 7, 9):
        c.paint(c.mask().rect(4, y, 8, y + 1), (255, 255, 255, 210))
        c.paint(c.mask().rect(4, y + 1, 8, y + 1.5), (0, 30, 90, 90))
    return c.result()


# ---- Strip, text window, host pictures ----------------------------------------------------


def button_strip(width, scale):
    """The background under the button row: a glassy bar, width x 24 units, translucent so
    the Today screen's own background shows through."""
    c = Canvas(width, 24, scale)
    panel = c.mask().rrect(1, 0, width - 1, 24, 4)
    c.paint(panel, c.vgradient([(0, (255, 255, 255, 225)), (0.5, (232, 241, 253, 200)),
                                (1, (196, 216, 244, 205))]))
    rim = panel.copy().cut(c.mask().rrect(2, 1, width - 2, 23, 3))
    c.paint(rim, (118, 156, 214, 200))
    c.paint(c.mask().rect(3, 1, width - 3, 2), (255, 255, 255, 240))
    return c.result()


def text_window(width, height, scale):
    """The text window: the list is painted into it over the captured Today background, so
    the picture mostly sets the window's size; it is a pale panel with a thin frame. Opaque,
    so it is stored without alpha."""
    c = Canvas(width, height, scale)
    c.paint(c.mask().rect(0, 0, width, height), (196, 214, 240))
    c.paint(c.mask().rect(1, 1, width - 1, height - 1),
            c.vgradient([(0, (244, 248, 254)), (1, (226, 236, 250))]))
    return c.result().convert("RGB")


def host_picture(scale, state):
    """The 18 x 18 unit title-bar picture of zvHost: a white alarm clock on the blue title
    bar; "alert" rings it in orange for an alarm, "open" sets it on a pressed tile."""
    c = Canvas(18, 18, scale)
    if state == "open":
        tile = c.mask().rrect(0, 0, 18, 18, 4)
        c.paint(tile, (255, 255, 255, 70))
        c.paint(tile.copy().cut(c.mask().rrect(1, 1, 17, 17, 3)), (255, 255, 255, 130))
    cx, cy, r = 9, 9.8, 5.2
    clock = alarm_clock(c, cx, cy, r, 1.7)
    face = c.mask().circle(cx, cy, r - 0.4)
    hands = c.mask().line([(cx, cy - 3.2), (cx, cy), (cx + 2.2, cy + 1.2)], 1.2)
    if state == "alert":
        glow = clock.copy().add(face)
        c.shadow(glow, 0, 0, 1.2, (255, 120, 0, 255))
        c.paint(face, (255, 236, 200, 255))
        c.paint(clock, c.vgradient([(0, (255, 190, 70)), (1, (236, 70, 20))], 2, 17))
        c.paint(hands, (120, 30, 10, 255))
    else:
        c.shadow(clock, 0, 0.7, 0.5, (0, 10, 50, 120))
        c.paint(face, (255, 255, 255, 60))
        c.paint(clock, (255, 255, 255, 255))
        c.paint(hands, (255, 255, 255, 255))
    return c.result()


# ---- Kind icons ---------------------------------------------------------------------------
#
# Drawn on a 12-unit grid. They sit at the start of each list line, over whatever the Today
# background is, so every shape has a darker rim of its own colour.


def darker(col, f=0.62):
    return tuple(int(v * f) for v in col[:3])


def calendar_page(c, header, grey=False):
    page = c.mask().rrect(1, 2, 11, 11.5, 1.3)
    c.paint(page, (72, 92, 124) if not grey else (130, 134, 140))
    inner = c.mask().rrect(2, 3, 10, 10.5, 0.6)
    c.paint(inner, (255, 255, 255) if not grey else (236, 238, 240))
    head = c.mask().rect(1, 2, 11, 5).clip(page)
    c.paint(head, c.vgradient([(0, mix(header, (255, 255, 255), 0.35)), (1, header)], 2, 5))
    rings = c.mask().rect(3, 1, 4, 3).rect(8, 1, 9, 3)
    c.paint(rings, (60, 64, 72) if not grey else (120, 124, 130))
    dots = c.mask()
    for x in (3, 5, 7):
        for y in (6, 8):
            dots.rect(x, y, x + 1.2, y + 1.2)
    c.paint(dots, (120, 150, 196) if not grey else (170, 174, 180))
    return c


def badge(c, colour):
    """A round badge in the lower right corner of a kind icon, ringed in white."""
    c.paint(c.mask().circle(8.6, 8.6, 3.6), (255, 255, 255, 255))
    c.paint(c.mask().circle(8.6, 8.6, 3.0),
            c.vgradient([(0, mix(colour, (255, 255, 255), 0.3)), (1, colour)], 5.8, 11.4))


def k_cal(c):
    calendar_page(c, (40, 104, 210))


def k_cal_recur(c):
    calendar_page(c, (40, 104, 210))
    badge(c, (36, 156, 48))
    arrow = c.mask().arc(8.6, 8.6, 1.5, 250, 540, 1.0)
    arrow.poly([(5.9, 7.6), (8.3, 7.6), (7.1, 9.6)])
    c.paint(arrow, (255, 255, 255, 255))


def k_cal_snooze(c):
    calendar_page(c, (40, 104, 210))
    badge(c, (120, 70, 200))
    z = c.mask().line([(7.3, 7.3), (9.9, 7.3), (7.3, 9.9), (9.9, 9.9)], 0.8)
    c.paint(z, (255, 255, 255, 255))


def k_cal_silent(c):
    calendar_page(c, (150, 154, 160), grey=True)


def k_pi(c):
    calendar_page(c, (30, 150, 130))


def k_af(c):
    calendar_page(c, (232, 128, 30))


def k_system(c):
    m = gear(c.mask(), 6, 6, 5.7, 3.7, 6, 1.5)
    c.paint(m, (80, 88, 100))
    inner = gear(c.mask(), 6, 6, 4.8, 2.9, 6, 1.8).clip(m)
    c.paint(inner, c.vgradient([(0, (206, 212, 220)), (1, (136, 146, 160))], 1, 11))


def k_event(c):
    bolt = c.mask().poly([(7.5, 0.5), (2.2, 7), (5.6, 7), (4.2, 11.5), (9.8, 4.6), (6.4, 4.6)])
    c.paint(bolt.grow(0.45), (190, 110, 0, 255))
    c.paint(bolt, c.vgradient([(0, (255, 240, 120)), (1, (255, 176, 20))], 0.5, 11.5))


def k_clock(c):
    cx, cy, r = 6, 6.6, 3.9
    m = alarm_clock(c, cx, cy, r, 1.3)
    c.paint(c.mask().circle(cx, cy, r), (255, 255, 255, 255))
    c.paint(m, c.vgradient([(0, (90, 150, 230)), (1, (24, 76, 170))], 1, 12))
    hands = c.mask().line([(cx, cy - 2.3), (cx, cy), (cx + 1.6, cy + 0.9)], 0.8)
    c.paint(hands, (40, 44, 52, 255))


def k_app(c):
    win = c.mask().rrect(0.5, 1.5, 11.5, 10.5, 1.2)
    c.paint(win, (40, 80, 150))
    c.paint(c.mask().rect(1.5, 4.5, 10.5, 9.5), (250, 252, 255))
    c.paint(c.mask().rect(1.5, 2.5, 10.5, 4.5).clip(win),
            c.vgradient([(0, (110, 170, 240)), (1, (40, 100, 200))], 2.5, 4.5))
    c.paint(c.mask().rect(2.5, 6, 7.5, 7).rect(2.5, 8, 9.5, 8.8), (150, 170, 200))


def task_box(c, grey=False):
    rim = (90, 100, 116) if not grey else (140, 144, 150)
    box = c.mask().rrect(1, 2, 10, 11, 1.4)
    c.paint(box, rim)
    c.paint(c.mask().rrect(2, 3, 9, 10, 0.6), (255, 255, 255) if not grey else (236, 238, 240))
    tick = c.mask().line([(3.2, 6.4), (5.2, 8.6), (10.2, 1.6)], 1.6)
    col = (36, 170, 48) if not grey else (150, 156, 162)
    c.paint(tick.grow(0.45), (255, 255, 255, 255))
    c.paint(tick, col)


def k_task(c):
    task_box(c)


def k_task_silent(c):
    task_box(c, grey=True)


def k_zolvane(c):
    bell = c.mask().poly([(6, 1.5), (8.3, 2.8), (9, 7.5), (10.7, 9.4), (1.3, 9.4), (3, 7.5),
                          (3.7, 2.8)])
    bell.circle(6, 3.6, 2.4)
    c.paint(bell.grow(0.4), (150, 90, 0, 255))
    c.paint(bell, c.vgradient([(0, (255, 232, 120)), (1, (232, 150, 10))], 1, 9.4))
    c.paint(c.mask().circle(6, 10.4, 1.3), (150, 90, 0, 255))
    c.paint(c.mask().rect(4, 3, 5, 7), (255, 255, 220, 180))


def k_note(c):
    page = c.mask().poly([(1.5, 1), (8, 1), (10.5, 3.5), (10.5, 11), (1.5, 11)])
    c.paint(page.grow(0.4), (170, 130, 20, 255))
    c.paint(page, c.vgradient([(0, (255, 246, 170)), (1, (255, 220, 90))], 1, 11))
    c.paint(c.mask().poly([(8, 1), (8, 3.5), (10.5, 3.5)]), (214, 176, 60))
    scrib = c.mask().line([(3, 7.2), (4, 5), (5, 7.6), (6, 5.2), (7, 7.6), (8.2, 5.6)], 0.8)
    c.paint(scrib, (30, 80, 190))


def k_birthday(c):
    box = c.mask().rect(1.5, 5, 10.5, 11)
    lid = c.mask().rect(1, 3.5, 11, 5.5)
    c.paint(box.copy().add(lid).grow(0.4), (140, 20, 20, 255))
    c.paint(box, c.vgradient([(0, (240, 70, 60)), (1, (190, 30, 30))], 5, 11))
    c.paint(lid, (250, 96, 84))
    ribbon = c.mask().rect(5.2, 3.5, 6.8, 11)
    c.paint(ribbon, YELLOW)
    bow = c.mask().ellipse(2.6, 1, 6, 3.8).ellipse(6, 1, 9.4, 3.8)
    bow.ellipse(3.6, 1.8, 5.6, 3.2, 0).ellipse(6.4, 1.8, 8.4, 3.2, 0)
    c.paint(bow, (240, 170, 20))


def k_anniv(c):
    heart = c.mask().circle(3.9, 4.4, 2.9).circle(8.1, 4.4, 2.9)
    heart.poly([(1.15, 5.4), (10.85, 5.4), (6, 11)])
    c.paint(heart.grow(0.4), (140, 10, 40, 255))
    c.paint(heart, c.vgradient([(0, (255, 110, 130)), (1, (210, 20, 60))], 1.5, 11))
    c.paint(c.mask().ellipse(2.4, 2.6, 4.6, 4.4), (255, 255, 255, 170))


def k_volume(c):
    spk = c.mask().rect(1, 4.5, 3.5, 7.5).poly([(3, 4.5), (6.5, 1.8), (6.5, 10.2), (3, 7.5)])
    c.paint(spk.grow(0.4), (40, 46, 60, 255))
    c.paint(spk, c.vgradient([(0, (150, 160, 176)), (1, (80, 90, 106))], 1.8, 10.2))
    waves = c.mask().arc(6.5, 6, 2.1, -50, 50, 1).arc(6.5, 6, 4.1, -50, 50, 1)
    c.paint(waves, (40, 110, 220, 255))


# The 17 kinds in the order of the skin's small-icon keys (and of the alarm kinds 0..16).
KINDS = [
    ("system", k_system),
    ("event", k_event),
    ("clock", k_clock),
    ("app", k_app),
    ("pi", k_pi),
    ("af", k_af),
    ("cal", k_cal),
    ("cal_recur", k_cal_recur),
    ("cal_snooze", k_cal_snooze),
    ("cal_silent", k_cal_silent),
    ("task", k_task),
    ("zolvane", k_zolvane),
    ("note", k_note),
    ("task_silent", k_task_silent),
    ("birthday", k_birthday),
    ("anniv", k_anniv),
    ("volume", k_volume),
]


def kind_icon(fn, pixels):
    """A kind icon drawn on its 12-unit grid at the given size in pixels."""
    c = Canvas(12, 12, pixels / 12)
    fn(c)
    return c.result()
