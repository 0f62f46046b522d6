#!/usr/bin/python3
# make_skins.py: makes the product's default skins and the Today item's built-in list icons.
#
#   /usr/bin/python3 skins/generator/make_skins.py [--sheet FILE.png]
#
# Writes, relative to the repository:
#   skins/Default.skn, skins/Default_L.skn          96-dpi skins, portrait 240 and landscape
#                                                   320 pixels wide; pictures in skins/Default/
#   skins/DefaultVGA.skn, skins/DefaultVGA_L.skn    192-dpi skins (vga_skin=1), 480 and 640
#                                                   wide; pictures in skins/DefaultVGA/
#   plugin/res/listicon_NN_16.png, _32.png          the item's own icons for kinds 0..16
#
# The skin loader finds a skin's pictures in the folder named after the skin up to its first
# underscore, so Default and Default_L share skins/Default/ and the two VGA skins share
# skins/DefaultVGA/. It lower-cases the whole skin text, picture names included, so every
# file name written here is lower case. The output is the same on every run; the PNGs are
# committed so that building the product never needs Python. --sheet also writes a contact
# sheet of everything (not part of the product) for looking at the pictures.
import argparse
import os
import sys

from PIL import Image, ImageDraw

# The drawings are imported from beside this script; no bytecode cache is left in the tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import icons  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SKINS = os.path.join(ROOT, "skins")
RES = os.path.join(ROOT, "plugin", "res")

# The button row, left to right, as (skin key, item number, picture). New entries go first
# because they are what the item is used for most; the settings sit apart at the right end.
ROW = [
    ("image_custom", 1, "newalarm.png"),
    ("image_alnote", 4, "alnote.png"),
    ("image_calendar", 2, "calendar.png"),
    ("image_tasks", 3, "tasks.png"),
    ("image_contact", 5, "contacts.png"),
    ("image_inbox", 6, "inbox.png"),
    ("image_note", 7, "notes.png"),
    ("image_filter", 8, "filter.png"),
    ("image_vol", 13, "volume.png"),
    ("image_setting", 0, "settings.png"),
]

# The 18 skin items in the loader's order.
ITEM_KEYS = [
    "image_setting", "image_custom", "image_calendar", "image_tasks", "image_alnote",
    "image_contact", "image_inbox", "image_note", "image_filter", "image_background",
    "image_textwindow", "image_loadskin", "image_loadskin2", "image_vol", "image_jotwell",
    "image_mute", "image_scrollup", "image_scrolldown",
]

# Geometry in 96-dpi units; the VGA skins double every number. The strip is 24 high and
# holds 20 x 20 buttons at y 2; the text window starts under it. Text window heights give
# five lines (portrait) and four lines (landscape) of 8-point Tahoma, 13 pixels a line.
LAYOUTS = {
    "portrait": {"width": 240, "margin": 2, "pitch": 24, "list": 66},
    "landscape": {"width": 320, "margin": 6, "pitch": 32, "list": 53},
}
STRIP = 24
BUTTON_Y = 2
SCROLL = 12  # scroll buttons are 12 x 12, the thumb 12 x 16


def skin_text(name, layout, vga):
    """The text of one skin file (lines joined with CR LF by the caller)."""
    k = 2 if vga else 1
    lay = LAYOUTS[layout]
    width, list_h = lay["width"], lay["list"]
    bottom = STRIP + list_h
    suffix = "_l" if layout == "landscape" else ""
    pos = {}
    for i, (key, _, pic) in enumerate(ROW):
        pos[key] = (lay["margin"] + i * lay["pitch"], BUTTON_Y, pic)
    scroll_x = width - SCROLL - 2

    def item(key, enabled, x, y, pic, rest=""):
        line = "%s=%d,%d,%d,%s" % (key, enabled, x * k, y * k, pic)
        return line + ("," + rest if rest else "")

    items = {}
    for key, (x, y, pic) in pos.items():
        items[key] = item(key, 1, x, y, pic)
    items["image_background"] = item("image_background", 1, 0, 0, "strip%s.png" % suffix)
    # Option t: the window's height follows the "Show lines" setting; extra1: it never
    # shrinks below one line when the item's height follows the number of alarms.
    items["image_textwindow"] = item("image_textwindow", 1, 0, STRIP,
                                     "textwindow%s.png" % suffix, "t,%d" % (13 * k))
    # Load-skin and Jotwell buttons are drawn but off; a user turns them on by setting the
    # first number to 1, a position, and for load-skin the skin to load.
    # The argument names the portrait skin; the loader picks the landscape variant itself.
    portrait = name[:-2] if name.endswith("_L") else name
    items["image_loadskin"] = item("image_loadskin", 0, 0, 0, "loadskin.png", portrait)
    items["image_loadskin2"] = item("image_loadskin2", 0, 0, 0, "loadskin.png", portrait)
    items["image_jotwell"] = item("image_jotwell", 0, 0, 0, "jotwell.png")
    vx, vy, _ = pos["image_vol"]
    items["image_mute"] = item("image_mute", 1, vx, vy, "mute.png")
    items["image_scrollup"] = item("image_scrollup", 1, scroll_x, STRIP, "scrollup.png")
    items["image_scrolldown"] = item("image_scrolldown", 1, scroll_x, bottom - SCROLL,
                                     "scrolldown.png")

    nav = ",".join(str(n) for _, n, _ in ROW)
    res = "VGA, 192 dpi" if vga else "QVGA, 96 dpi"
    lines = [
        "; Zolvane skin %s: %s, %s, %d pixels wide. Made by skins/generator/make_skins.py."
        % (name, res, layout, width * k),
        "; One key a line; a key on the first line is not read.",
        "",
        "today_height=%d" % (bottom * k),
        "vga_skin=%d" % (1 if vga else 0),
        "",
        "; item=enabled,x,y,picture[,argument,extra1,extra2]",
    ]
    lines += [items[key] for key in ITEM_KEYS]
    lines += [
        "image_scroller=thumb.png",
        "",
        "; 1,1,1: the Today screen's own text colour, so the list suits the user's theme.",
        "text_font=Tahoma",
        "text_size=8",
        "text_style=normal",
        "text_color=1,1,1",
        "",
        "nav_order=%s" % nav,
        "nav_hilitecolor=255,136,0",
        "nav_hilitewidth=2",
        "",
    ]
    lines += ["small_%s=small_%s.png" % (kind, kind) for kind, _ in icons.KINDS]
    lines += [
        "",
        "host_frame=%d" % (2 * k),
        "host_offset=0,%d" % (26 * k),
        "host_alpha=200",
        "host_backcolor=234,242,253",
        "host_backcolor2=178,204,240",
        "host_image=host.png",
        "host_imagealert=host_alert.png",
        "host_imageopen=host_open.png",
        "host_imageoffset=4",
        "",
    ]
    return lines


def save(im, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # No text chunks and fixed settings: the bytes depend on the pixels only.
    im.save(path, "PNG", optimize=False, compress_level=9)


def make_folder(folder, scale):
    """Every picture of one image folder; returns {file name: picture}."""
    pics = {}
    for name, sym in icons.BUTTONS.items():
        pics[name + ".png"] = icons.button(scale, sym)
    pics["scrollup.png"] = icons.scroll_button(scale, True)
    pics["scrolldown.png"] = icons.scroll_button(scale, False)
    pics["thumb.png"] = icons.scroll_thumb(scale)
    for layout, suffix in (("portrait", ""), ("landscape", "_l")):
        lay = LAYOUTS[layout]
        pics["strip%s.png" % suffix] = icons.button_strip(lay["width"], scale)
        pics["textwindow%s.png" % suffix] = icons.text_window(lay["width"], lay["list"], scale)
    for state, file in (("normal", "host.png"), ("alert", "host_alert.png"),
                        ("open", "host_open.png")):
        pics[file] = icons.host_picture(scale, state)
    for kind, fn in icons.KINDS:
        pics["small_%s.png" % kind] = icons.kind_icon(fn, 12 * scale)
    for file, im in sorted(pics.items()):
        save(im, os.path.join(folder, file))
    return pics


def write_skin(name, layout, vga):
    lines = skin_text(name, layout, vga)
    with open(os.path.join(SKINS, name + ".skn"), "wb") as f:
        f.write(("\r\n".join(lines)).encode("ascii"))


def sheet(path, folders, list_icons):
    """A contact sheet: both folders at 1x and 3x on the Today gradient, the four skins laid
    out on mock Today screens with a few list lines, and the built-in list icons."""
    from PIL import ImageFont

    font = None
    for f in ("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",):
        if os.path.exists(f):
            font = ImageFont.truetype(f, 11)
    W, H = 1500, 1500
    out = Image.new("RGB", (W, H), (60, 60, 60))
    dr = ImageDraw.Draw(out)

    def today_bg(w, h):
        bg = Image.new("RGB", (w, h))
        d = ImageDraw.Draw(bg)
        for y in range(h):
            t = y / max(1, h - 1)
            d.line([(0, y), (w, y)], fill=(int(240 - 50 * t), int(246 - 40 * t), 254 - int(20 * t)))
        return bg

    def row(pics, names, x, y, zoom):
        for n in names:
            im = pics[n]
            w, h = im.size
            bg = today_bg(w, h).convert("RGBA")
            bg = Image.alpha_composite(bg, im.convert("RGBA"))
            bg = bg.resize((w * zoom, h * zoom), Image.NEAREST)
            out.paste(bg, (x, y))
            x += w * zoom + 6
        return x

    y = 10
    for label, pics in folders:
        dr.text((10, y), label, fill=(255, 255, 255), font=font)
        y += 16
        names = [n + ".png" for n in icons.BUTTONS] + ["scrollup.png", "scrolldown.png",
                                                        "thumb.png", "host.png",
                                                        "host_alert.png", "host_open.png"]
        smalls = ["small_%s.png" % k for k, _ in icons.KINDS]
        size = pics["settings.png"].size[0]
        for zoom in ((1, 3) if size <= 20 else (1, 2)):
            row(pics, names, 10, y, zoom)
            y += pics["thumb.png"].size[1] * zoom + 8
            row(pics, smalls, 10, y, zoom)
            y += pics["small_cal.png"].size[1] * zoom + 8
        y += 8
    dr.text((10, y), "built-in list icons 16 / 32 (x2)", fill=(255, 255, 255), font=font)
    y += 16
    x = 10
    for n in sorted(list_icons):
        im = list_icons[n]
        bg = Image.alpha_composite(today_bg(*im.size).convert("RGBA"), im)
        z = 2 if im.size[0] == 16 else 1
        bg = bg.resize((im.size[0] * z, im.size[1] * z), Image.NEAREST)
        out.paste(bg, (x, y))
        x += bg.size[0] + 4
        if x > W - 40:
            x, y = 10, y + 40
    y += 44

    # Mock Today screens.
    x0 = 10
    for name, layout, vga, pics in (("Default", "portrait", False, folders[0][1]),
                                    ("Default_L", "landscape", False, folders[0][1]),
                                    ("DefaultVGA", "portrait", True, folders[1][1])):
        k = 2 if vga else 1
        lay = LAYOUTS[layout]
        sw, sh = lay["width"] * k, (320 if layout == "portrait" else 240) * k
        scr = today_bg(sw, sh).convert("RGBA")
        d = ImageDraw.Draw(scr)
        d.rectangle([0, 0, sw, 26 * k], fill=(20, 80, 180))
        scr.alpha_composite(pics["host.png"], (6 * k, 4 * k))
        top = 26 * k + 20 * k
        lines = skin_text(name, layout, vga)
        entries = {}
        for ln in lines:
            if ln.split("=")[0] in ITEM_KEYS:
                key, val = ln.split("=", 1)
                f = val.split(",")
                entries[key] = (int(f[0]), int(f[1]), int(f[2]), f[3])
        # The painter's order: the background strip first, then the buttons; the text
        # window shows the captured background, so its own picture is left out.
        for key in ["image_background"] + [k for k in ITEM_KEYS if k != "image_background"]:
            if key not in entries or key in ("image_mute", "image_scrollup", "image_textwindow",
                                             "image_scrolldown"):
                continue
            en, ix, iy, pic = entries[key]
            if not en:
                continue
            scr.alpha_composite(pics[pic].convert("RGBA"), (ix, top + iy))
        lf = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 9 * k) \
            if font else None
        texts = [("clock", "07:00 Wake up"), ("cal", "Mon 01/03 09:00 Team meeting (08:45)"),
                 ("task", "10:00 Send the report"), ("birthday", "All-Day Anna's birthday"),
                 ("zolvane", "12:30 Take the pills"), ("note", "18:00 Shopping list"),
                 ("cal_recur", "Tue 02/03 08:00 Gym")]
        ty = top + STRIP * k
        for kind, t in texts[:lay["list"] // 13]:
            scr.alpha_composite(pics["small_%s.png" % kind], (3 * k, ty + 1 * k))
            d.text((16 * k, ty), t, fill=(0, 0, 0), font=lf)
            ty += 13 * k
        su = entries["image_scrollup"]
        sd = entries["image_scrolldown"]
        scr.alpha_composite(pics["scrollup.png"], (su[1], top + su[2]))
        scr.alpha_composite(pics["scrolldown.png"], (sd[1], top + sd[2]))
        scr.alpha_composite(pics["thumb.png"], (su[1], top + su[2] + 14 * k))
        out.paste(scr.convert("RGB"), (x0, y))
        x0 += sw + 12
    out.save(path)


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--sheet", help="also write a contact sheet to this file")
    args = ap.parse_args()
    qvga = make_folder(os.path.join(SKINS, "Default"), 1)
    vga = make_folder(os.path.join(SKINS, "DefaultVGA"), 2)
    write_skin("Default", "portrait", False)
    write_skin("Default_L", "landscape", False)
    write_skin("DefaultVGA", "portrait", True)
    write_skin("DefaultVGA_L", "landscape", True)
    list_icons = {}
    for n, (kind, fn) in enumerate(icons.KINDS):
        for px in (16, 32):
            im = icons.kind_icon(fn, px)
            name = "listicon_%02d_%d.png" % (n, px)
            save(im, os.path.join(RES, name))
            list_icons[name] = im
    if args.sheet:
        sheet(args.sheet, [("Default (96 dpi)", qvga), ("DefaultVGA (192 dpi)", vga)],
              list_icons)


if __name__ == "__main__":
    main()
