#!/usr/bin/env python3
"""Writes the viewer's skin pictures as SVG files beside this script:

    python3 src/resources/skin/make_skin.py

Every picture is our own vector drawing in one calm dark look: charcoal
surfaces, light grey glyphs, a soft blue accent for what is hot or pressed,
and the family colours of the map's event icons for event marks. Pictures
with four states are one strip of four equal frames, left to right: normal,
hot, pressed (or checked), disabled. Transparent areas carry alpha; no
drawing relies on a key colour.

The file names start with the picture's number so the table in
src/controls/core/skin_table.cpp reads one to one against this folder.
skin.qrc lists every file written here.
"""

import os

OUT = os.path.dirname(os.path.abspath(__file__))

# --- palette -------------------------------------------------------------------

BG_DEEP = "#14171b"
BG = "#1b1e23"
SURFACE = "#262b31"
SURFACE_HOT = "#313944"
LINE = "#3a414a"
LINE_SOFT = "#2c3239"
TEXT = "#e3e7ec"
GLYPH = "#cfd5dc"
MUTED = "#8b949e"
DIM = "#4d545c"
ACCENT = "#6f91d8"
ACCENT_DEEP = "#3f5f9f"
ACCENT_LIGHT = "#9db6ea"
DANGER = "#c4314b"
FONT = "Noto Sans CJK JP, sans-serif"

# Event family colours, the same families as the map's event icons.
EVENT = {
    "x": "#e07b26",  # shock along X: steering
    "y": "#d9423b",  # shock along Y: acceleration, braking
    "z": "#8e5ad0",  # shock along Z: descent, rise
    "manual": "#d0489b",
    "stop": "#2b2f36",
    "parking": "#3b7dd8",
    "road": "#e2b714",
    "approach": "#1a9e8f",
    "assist": "#3fa65a",
}

written = []


def svg(width, height, body):
    return (
        f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
        f'width="{width}" height="{height}" viewBox="0 0 {width} {height}">\n{body}</svg>\n'
    )


def write(name, width, height, body):
    path = os.path.join(OUT, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write(svg(width, height, body))
    written.append(name)


def strip(width, height, frame):
    """Four frames side by side; frame(state) returns the SVG of one frame."""
    parts = []
    for state in range(4):
        parts.append(f'<g transform="translate({state * width},0)">\n{frame(state)}</g>\n')
    return width * 4, height, "".join(parts)


def text(x, y, s, size, fill, anchor="middle", weight="normal"):
    return (
        f'<text x="{x}" y="{y}" font-family="{FONT}" font-size="{size}" '
        f'font-weight="{weight}" fill="{fill}" text-anchor="{anchor}">{s}</text>\n'
    )


# --- control buttons (32 x 32) ----------------------------------------------------

BUTTON_FILL = [SURFACE, SURFACE_HOT, ACCENT_DEEP, "#1f2328"]
BUTTON_EDGE = [LINE, ACCENT, ACCENT_LIGHT, LINE_SOFT]
BUTTON_GLYPH = [GLYPH, "#ffffff", "#ffffff", DIM]


def control_button(glyph):
    def frame(state):
        return (
            f'<rect x="1.5" y="1.5" width="29" height="29" rx="6" ry="6" '
            f'fill="{BUTTON_FILL[state]}" stroke="{BUTTON_EDGE[state]}" stroke-width="1"/>\n'
            + glyph(BUTTON_GLYPH[state], BUTTON_FILL[state])
        )

    return strip(32, 32, frame)


def tri_right(x, y, w, h, c):
    return f'<polygon points="{x},{y} {x + w},{y + h / 2} {x},{y + h}" fill="{c}"/>\n'


def tri_left(x, y, w, h, c):
    return f'<polygon points="{x + w},{y} {x},{y + h / 2} {x + w},{y + h}" fill="{c}"/>\n'


def bar(x, y, w, h, c):
    return f'<rect x="{x}" y="{y}" width="{w}" height="{h}" fill="{c}"/>\n'


GLYPHS = {
    # to the start: bar and one triangle
    154: lambda c, b: bar(10, 10, 2.5, 12, c) + tri_left(13, 10, 9, 12, c),
    # previous recording: bar and two triangles
    144: lambda c, b: bar(8, 10, 2.5, 12, c) + tri_left(11, 10, 7, 12, c) + tri_left(17, 10, 7, 12, c),
    # play
    148: lambda c, b: tri_right(12, 9, 11, 14, c),
    # pause
    147: lambda c, b: bar(11, 9, 3.5, 14, c) + bar(17.5, 9, 3.5, 14, c),
    # slower: a snail
    142: lambda c, b: (
        f'<circle cx="14" cy="15" r="5.5" fill="none" stroke="{c}" stroke-width="1.8"/>\n'
        f'<path d="M14 15 m0 -2.2 a2.2 2.2 0 1 1 -2.2 2.2" fill="none" stroke="{c}" stroke-width="1.5"/>\n'
        f'<path d="M7 21.5 H23 C25 21.5 25.5 19 24 17.5 L22 15.5" fill="none" stroke="{c}" '
        f'stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>\n'
        f'<line x1="22" y1="15.5" x2="21" y2="11.5" stroke="{c}" stroke-width="1.3" stroke-linecap="round"/>\n'
        f'<line x1="23" y1="15.5" x2="24.5" y2="12" stroke="{c}" stroke-width="1.3" stroke-linecap="round"/>\n'
    ),
    # faster: two triangles
    139: lambda c, b: tri_right(8, 10, 8, 12, c) + tri_right(16, 10, 8, 12, c),
    # next recording: two triangles and a bar
    145: lambda c, b: tri_right(8, 10, 7, 12, c) + tri_right(14, 10, 7, 12, c) + bar(21.5, 10, 2.5, 12, c),
    # still image: a camera
    153: lambda c, b: (
        f'<rect x="7" y="11" width="18" height="12" rx="2" fill="{c}"/>\n'
        f'<rect x="12" y="8.5" width="8" height="3.5" rx="1" fill="{c}"/>\n'
        f'<circle cx="16" cy="17" r="4" fill="{b}"/>\n'
        f'<circle cx="16" cy="17" r="2.3" fill="{c}"/>\n'
    ),
    # join: two links of a chain
    150: lambda c, b: (
        f'<rect x="6.5" y="12.5" width="11" height="7" rx="3.5" fill="none" stroke="{c}" stroke-width="2"/>\n'
        f'<rect x="14.5" y="12.5" width="11" height="7" rx="3.5" fill="none" stroke="{c}" stroke-width="2"/>\n'
    ),
    # zoom: a magnifier with a plus
    200: lambda c, b: (
        f'<circle cx="14" cy="14" r="6" fill="none" stroke="{c}" stroke-width="2"/>\n'
        f'<line x1="18.5" y1="18.5" x2="24" y2="24" stroke="{c}" stroke-width="3" stroke-linecap="round"/>\n'
        f'<line x1="11" y1="14" x2="17" y2="14" stroke="{c}" stroke-width="1.6"/>\n'
        f'<line x1="14" y1="11" x2="14" y2="17" stroke="{c}" stroke-width="1.6"/>\n'
    ),
    # mirror: a shape and its reflection about a dashed axis
    362: lambda c, b: (
        f'<polygon points="14,10 14,22 7,22" fill="{c}"/>\n'
        f'<polygon points="18,10 18,22 25,22" fill="none" stroke="{c}" stroke-width="1.4" stroke-linejoin="round"/>\n'
        f'<line x1="16" y1="7" x2="16" y2="25" stroke="{c}" stroke-width="1" stroke-dasharray="2,2"/>\n'
    ),
    # map: a folded map with a pin
    357: lambda c, b: (
        f'<polygon points="6,11 12,9 20,11 26,9 26,23 20,25 12,23 6,25" fill="none" stroke="{c}" '
        f'stroke-width="1.6" stroke-linejoin="round"/>\n'
        f'<line x1="12" y1="9" x2="12" y2="23" stroke="{c}" stroke-width="1.2"/>\n'
        f'<line x1="20" y1="11" x2="20" y2="25" stroke="{c}" stroke-width="1.2"/>\n'
        f'<path d="M16 19.5 C13 16 13 14.5 13 13.5 A3 3 0 0 1 19 13.5 C19 14.5 19 16 16 19.5 Z" fill="{c}"/>\n'
        f'<circle cx="16" cy="13.5" r="1.1" fill="{b}"/>\n'
    ),
    # open a source: a folder
    146: lambda c, b: (
        f'<path d="M6 10.5 H13 L15 12.5 H26 V23.5 H6 Z" fill="none" stroke="{c}" stroke-width="1.8" '
        f'stroke-linejoin="round"/>\n'
        f'<path d="M6 15 H26" stroke="{c}" stroke-width="1.4"/>\n'
    ),
    # delete: a waste bin
    138: lambda c, b: (
        f'<rect x="9" y="11" width="14" height="2" rx="1" fill="{c}"/>\n'
        f'<rect x="13.5" y="8.5" width="5" height="2.5" rx="1" fill="none" stroke="{c}" stroke-width="1.3"/>\n'
        f'<path d="M10.5 14 L11.5 24.5 H20.5 L21.5 14 Z" fill="none" stroke="{c}" stroke-width="1.6" '
        f'stroke-linejoin="round"/>\n'
        f'<line x1="14.2" y1="16" x2="14.4" y2="22.5" stroke="{c}" stroke-width="1.2"/>\n'
        f'<line x1="17.8" y1="16" x2="17.6" y2="22.5" stroke="{c}" stroke-width="1.2"/>\n'
    ),
    # settings: a gear
    151: lambda c, b: (
        "".join(
            f'<rect x="14.6" y="6.5" width="2.8" height="5" rx="0.8" fill="{c}" '
            f'transform="rotate({a} 16 16)"/>\n'
            for a in range(0, 360, 45)
        )
        + f'<circle cx="16" cy="16" r="6.2" fill="{c}"/>\n'
        + f'<circle cx="16" cy="16" r="2.6" fill="{b}"/>\n'
    ),
    # CSV export: a sheet with a table
    137: lambda c, b: (
        f'<path d="M9.5 7.5 H19 L23.5 12 V24.5 H9.5 Z" fill="none" stroke="{c}" stroke-width="1.6" '
        f'stroke-linejoin="round"/>\n'
        f'<path d="M19 7.5 V12 H23.5" fill="none" stroke="{c}" stroke-width="1.2"/>\n'
        f'<line x1="12" y1="15.5" x2="21" y2="15.5" stroke="{c}" stroke-width="1.2"/>\n'
        f'<line x1="12" y1="18.5" x2="21" y2="18.5" stroke="{c}" stroke-width="1.2"/>\n'
        f'<line x1="12" y1="21.5" x2="21" y2="21.5" stroke="{c}" stroke-width="1.2"/>\n'
        f'<line x1="15.5" y1="14" x2="15.5" y2="23" stroke="{c}" stroke-width="1.2"/>\n'
    ),
    # swap the screens: two frames and two arrows
    356: lambda c, b: (
        f'<rect x="6.5" y="8.5" width="10" height="7" rx="1" fill="none" stroke="{c}" stroke-width="1.4"/>\n'
        f'<rect x="15.5" y="16.5" width="10" height="7" rx="1" fill="{c}"/>\n'
        f'<path d="M20 8.5 H23.5 V12.5" fill="none" stroke="{c}" stroke-width="1.4"/>\n'
        f'<polygon points="21,12 26,12 23.5,15" fill="{c}"/>\n'
        f'<path d="M12 23.5 H8.5 V19.5" fill="none" stroke="{c}" stroke-width="1.4"/>\n'
        f'<polygon points="6,20 11,20 8.5,17" fill="{c}"/>\n'
    ),
}

ROLE_NAMES = {
    154: "to_start",
    144: "previous",
    148: "play",
    147: "pause",
    142: "slower",
    139: "faster",
    145: "next",
    153: "still",
    150: "join",
    200: "zoom",
    362: "mirror",
    357: "map",
    146: "open_source",
    138: "delete",
    151: "settings",
    137: "csv",
    356: "swap_screens",
}

for number, glyph in GLYPHS.items():
    write(f"{number}_button_{ROLE_NAMES[number]}.svg", *control_button(glyph))

# --- caption buttons (18 high) ----------------------------------------------------

CAPTION_FILL = ["none", "#3a414a", "#4a5360", "none"]
CLOSE_FILL = ["none", DANGER, "#9e2239", "none"]
CAPTION_GLYPH = [GLYPH, "#ffffff", "#ffffff", DIM]


def caption_button(width, glyph, fills):
    def frame(state):
        fill = fills[state]
        back = "" if fill == "none" else f'<rect x="0" y="0" width="{width}" height="18" fill="{fill}"/>\n'
        return back + glyph(CAPTION_GLYPH[state])

    return strip(width, 18, frame)


write(
    "155_caption_close.svg",
    *caption_button(
        46,
        lambda c: (
            f'<line x1="18.5" y1="4.5" x2="27.5" y2="13.5" stroke="{c}" stroke-width="1.3"/>\n'
            f'<line x1="27.5" y1="4.5" x2="18.5" y2="13.5" stroke="{c}" stroke-width="1.3"/>\n'
        ),
        CLOSE_FILL,
    ),
)
write(
    "157_caption_maximise.svg",
    *caption_button(
        26,
        lambda c: f'<rect x="8.5" y="4.5" width="9" height="9" fill="none" stroke="{c}" stroke-width="1.2"/>\n',
        CAPTION_FILL,
    ),
)
write(
    "156_caption_minimise.svg",
    *caption_button(26, lambda c: f'<line x1="8" y1="9.5" x2="18" y2="9.5" stroke="{c}" stroke-width="1.2"/>\n',
                    CAPTION_FILL),
)

# --- the skinned dialog's close button (13 x 12, on the light caption strip) -----


def dialog_close(state):
    fill = ["none", DANGER, "#9e2239", "none"][state]
    glyph = ["#3b3f45", "#ffffff", "#ffffff", "#9a9ea4"][state]
    back = "" if fill == "none" else f'<rect x="0" y="0" width="13" height="12" rx="2" fill="{fill}"/>\n'
    return back + (
        f'<line x1="3.5" y1="3" x2="9.5" y2="9" stroke="{glyph}" stroke-width="1.4" stroke-linecap="round"/>\n'
        f'<line x1="9.5" y1="3" x2="3.5" y2="9" stroke="{glyph}" stroke-width="1.4" stroke-linecap="round"/>\n'
    )


write("352_dialog_close.svg", *strip(13, 12, dialog_close))

# --- check boxes and mode buttons (12 x 12) -------------------------------------


def check_box(state):
    fill = ["#f4f6f8", "#dce6fa", ACCENT, "#b9bec5"][state]
    edge = ["#7d8590", ACCENT, ACCENT_DEEP, "#9097a0"][state]
    out = f'<rect x="0.5" y="0.5" width="11" height="11" rx="2" fill="{fill}" stroke="{edge}" stroke-width="1"/>\n'
    if state == 2:
        out += (
            '<polyline points="2.8,6.2 5,8.4 9.3,3.6" fill="none" stroke="#ffffff" stroke-width="1.7" '
            'stroke-linecap="round" stroke-linejoin="round"/>\n'
        )
    return out


write("217_check_box.svg", *strip(12, 12, check_box))


def mode_button(state):
    fill = ["#f4f6f8", "#dce6fa", "#ffffff", "#b9bec5"][state]
    edge = ["#7d8590", ACCENT, ACCENT_DEEP, "#9097a0"][state]
    out = f'<circle cx="6" cy="6" r="5.5" fill="{fill}" stroke="{edge}" stroke-width="1"/>\n'
    if state == 2:
        out += f'<circle cx="6" cy="6" r="3" fill="{ACCENT}"/>\n'
    return out


write("327_mode_button.svg", *strip(12, 12, mode_button))

# --- push button with a text (our own, 100 x 30; the text is drawn by code) -----


def push_button(state):
    fill = ["#eef1f4", "#e3eaf7", ACCENT, "#e4e6e9"][state]
    edge = ["#a9b0b8", ACCENT, ACCENT_DEEP, "#c9cdd2"][state]
    return f'<rect x="0.5" y="0.5" width="99" height="29" rx="4" fill="{fill}" stroke="{edge}" stroke-width="1"/>\n'


write("1000_push_button.svg", *strip(100, 30, push_button))

# --- sliders ----------------------------------------------------------------------
# Seek: 10 high; the left bar is the played part, the right bar the rest. The
# bars are cut at the thumb, so each has its rounded end on its outer side.

write("174_seek_left_bar.svg", 400, 10,
      f'<rect x="0.5" y="3" width="399.5" height="4" rx="2" fill="{ACCENT}"/>\n')
write("159_seek_right_bar.svg", 400, 10,
      f'<rect x="0" y="3" width="399.5" height="4" rx="2" fill="{LINE}"/>\n')
write("160_seek_thumb.svg", 10, 10,
      f'<circle cx="5" cy="5" r="4.3" fill="{TEXT}" stroke="{ACCENT}" stroke-width="1.2"/>\n')
write("161_seek_thumb_pressed.svg", 10, 10,
      f'<circle cx="5" cy="5" r="4.5" fill="{ACCENT_LIGHT}" stroke="#ffffff" stroke-width="1.2"/>\n')

# Volume: 20 high; a wedge that grows to the right, filled up to the thumb.
write("167_volume_left_bar.svg", 100, 20,
      f'<polygon points="1,15 99,15 99,5" fill="{ACCENT}" stroke="{ACCENT}" stroke-width="0.8" '
      f'stroke-linejoin="round"/>\n')
write("168_volume_right_bar.svg", 100, 20,
      f'<polygon points="1,15 99,15 99,5" fill="{LINE}" stroke="{LINE}" stroke-width="0.8" '
      f'stroke-linejoin="round"/>\n')
write("169_volume_thumb.svg", 6, 20,
      f'<rect x="0.75" y="2.5" width="4.5" height="15" rx="2.25" fill="{TEXT}" stroke="{ACCENT}" '
      f'stroke-width="0.8"/>\n')
write("170_volume_thumb_pressed.svg", 6, 20,
      f'<rect x="0.5" y="2" width="5" height="16" rx="2.5" fill="{ACCENT_LIGHT}" stroke="#ffffff" '
      f'stroke-width="0.8"/>\n')

# --- the main window's background (nine cells of 32) ----------------------------
# The top row carries the caption band (27 high); the window is tiled from the
# cells, so the middle cells are flat.

write(
    "129_window_background.svg", 96, 96,
    f'<defs><linearGradient id="cap" x1="0" y1="0" x2="0" y2="1">'
    f'<stop offset="0" stop-color="#2e343c"/><stop offset="1" stop-color="#23272d"/></linearGradient></defs>\n'
    f'<rect x="0" y="0" width="96" height="96" fill="{BG}"/>\n'
    f'<rect x="0" y="0" width="96" height="27" fill="url(#cap)"/>\n'
    f'<rect x="0" y="27" width="96" height="1" fill="#111316"/>\n'
    f'<rect x="0.5" y="0.5" width="95" height="95" fill="none" stroke="#434b55" stroke-width="1"/>\n',
)

# --- trip panel: marks, placeholders, background --------------------------------


def microphone(c):
    return (
        f'<rect x="7.5" y="3" width="5" height="9" rx="2.5" fill="{c}"/>\n'
        f'<path d="M5.5 9.5 A4.5 4.5 0 0 0 14.5 9.5" fill="none" stroke="{c}" stroke-width="1.3"/>\n'
        f'<line x1="10" y1="14" x2="10" y2="17" stroke="{c}" stroke-width="1.3"/>\n'
        f'<line x1="7" y1="17" x2="13" y2="17" stroke="{c}" stroke-width="1.3"/>\n'
    )


write("365_mic_sound.svg", 20, 20,
      microphone(TEXT)
      + f'<path d="M15.8 5.5 A5 5 0 0 1 15.8 11.5" fill="none" stroke="{ACCENT_LIGHT}" stroke-width="1.2"/>\n'
      + f'<path d="M17.8 3.5 A8 8 0 0 1 17.8 13.5" fill="none" stroke="{ACCENT_LIGHT}" stroke-width="1.2"/>\n'
      + f'<path d="M4.2 5.5 A5 5 0 0 0 4.2 11.5" fill="none" stroke="{ACCENT_LIGHT}" stroke-width="1.2"/>\n'
      + f'<path d="M2.2 3.5 A8 8 0 0 0 2.2 13.5" fill="none" stroke="{ACCENT_LIGHT}" stroke-width="1.2"/>\n')
write("366_mic_plain.svg", 20, 20, microphone(TEXT))
write("375_mic_off.svg", 20, 20,
      microphone(MUTED)
      + f'<line x1="3.5" y1="3" x2="16.5" y2="17" stroke="{DANGER}" stroke-width="1.8" stroke-linecap="round"/>\n')
write("376_gps_reception.svg", 20, 20,
      f'<g transform="rotate(-45 10 10)">'
      f'<rect x="7.5" y="7" width="5" height="6" rx="1" fill="{TEXT}"/>\n'
      f'<rect x="1.5" y="8" width="5" height="4" fill="{ACCENT_LIGHT}"/>\n'
      f'<rect x="13.5" y="8" width="5" height="4" fill="{ACCENT_LIGHT}"/></g>\n'
      f'<path d="M12.5 16.5 A4 4 0 0 0 16.5 12.5" fill="none" stroke="{TEXT}" stroke-width="1.2"/>\n'
      f'<path d="M12.5 19 A6.5 6.5 0 0 0 19 12.5" fill="none" stroke="{TEXT}" stroke-width="1.2"/>\n')


def placeholder(w, h):
    return f'<rect x="0.5" y="0.5" width="{w - 1}" height="{h - 1}" rx="3" fill="#20242a" stroke="{LINE_SOFT}" stroke-width="1"/>\n'


write("377_date_placeholder.svg", 200, 19, placeholder(200, 19))
write("378_accel_placeholder.svg", 58, 20, placeholder(58, 20))
write("320_speed_placeholder.svg", 100, 21, placeholder(100, 21))
write("307_voltage_placeholder.svg", 40, 20, placeholder(40, 20))
write(
    "309_panel_background.svg", 200, 105,
    f'<defs><linearGradient id="pb" x1="0" y1="0" x2="0" y2="1">'
    f'<stop offset="0" stop-color="#1d2126"/><stop offset="1" stop-color="{BG_DEEP}"/></linearGradient></defs>\n'
    f'<rect x="0" y="0" width="200" height="105" fill="url(#pb)"/>\n'
    f'<rect x="0" y="0" width="200" height="1" fill="#2f353d"/>\n',
)

# --- logos (220 x 120) ---------------------------------------------------------------


def logo(model):
    out = (
        f'<rect x="0" y="0" width="220" height="120" fill="{BG_DEEP}"/>\n'
        f'<circle cx="52" cy="52" r="22" fill="none" stroke="{ACCENT}" stroke-width="3"/>\n'
        f'<circle cx="52" cy="52" r="12" fill="{ACCENT_DEEP}"/>\n'
        f'<circle cx="52" cy="52" r="5" fill="{ACCENT_LIGHT}"/>\n'
        f'<path d="M30 96 L52 76 L74 96" fill="none" stroke="{MUTED}" stroke-width="2"/>\n'
        f'<line x1="52" y1="84" x2="52" y2="90" stroke="{MUTED}" stroke-width="2"/>\n'
        + text(86, 60, "Trivexa", 28, TEXT, "start", "bold")
    )
    if model:
        out += text(88, 84, model, 14, MUTED, "start")
    return out


write("321_logo.svg", 220, 120, logo(""))
write("325_logo_pl21.svg", 220, 120, logo("PL21-XQR"))
write("312_logo_pl35.svg", 220, 120, logo("PL35-XQR"))

# --- quality badges (all 74 x 22) ----------------------------------------------------
# 74 wide so that the trip panel's microphone mark, 75 units right of the
# badge's left edge, keeps clear of it.

HIGH = "高画質"
LOW = "低画質"
BADGES = [
    (198, "sd_high", "SD", HIGH), (199, "sd_low", "SD", LOW),
    (196, "hd_high", "HD", HIGH), (197, "hd_low", "HD", LOW),
    (192, "fhd_high", "Full HD", HIGH), (195, "fhd_low", "Full HD", LOW),
    (358, "wqhd_high", "WQHD", HIGH), (359, "wqhd_low", "WQHD", LOW),
    (360, "3m_high", "3M", HIGH), (361, "3m_low", "3M", LOW),
    (363, "hd", "HD", ""), (364, "fhd", "Full HD", ""),
]
for number, name, res, quality in BADGES:
    body = f'<rect x="0.5" y="0.5" width="73" height="21" rx="4" fill="#20242a" stroke="{ACCENT}" stroke-width="1"/>\n'
    if quality:
        tint = ACCENT_DEEP if quality == HIGH else "#4d545c"
        body += f'<rect x="42" y="1" width="31" height="20" rx="3.5" fill="{tint}"/>\n'
        body += text(21.5, 15, res, 9.5, TEXT, "middle", "bold")
        body += text(57.5, 14.5, quality, 8.5, "#ffffff")
    else:
        body += text(37, 15.5, res, 11, TEXT, "middle", "bold")
    write(f"{number}_badge_{name}.svg", 74, 22, body)

# --- digits and signs (seven segments, 11 x 19) --------------------------------------

SEGMENTS = {  # a b c d e f g
    "0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg",
    "5": "acdfg", "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg", "-": "g",
}
SEG_SHAPE = {
    "a": (2.5, 1.0, 6.0, 1.8), "d": (2.5, 16.2, 6.0, 1.8), "g": (2.5, 8.6, 6.0, 1.8),
    "b": (8.6, 2.2, 1.8, 6.2), "c": (8.6, 10.6, 1.8, 6.2),
    "f": (0.6, 2.2, 1.8, 6.2), "e": (0.6, 10.6, 1.8, 6.2),
}


def seven_segment(ch):
    out = ""
    for seg, (x, y, w, h) in SEG_SHAPE.items():
        on = seg in SEGMENTS[ch]
        colour = TEXT if on else "#262b31"
        out += f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="0.9" fill="{colour}"/>\n'
    return out


DIGITS = [(201, "0"), (207, "1"), (206, "2"), (218, "3"), (202, "4"),
          (209, "5"), (210, "6"), (208, "7"), (203, "8"), (204, "9")]
for number, ch in DIGITS:
    write(f"{number}_digit_{ch}.svg", 11, 19, seven_segment(ch))
write("350_sign_minus.svg", 11, 19, seven_segment("-"))
write("205_sign_slash.svg", 11, 19,
      f'<line x1="8.5" y1="2" x2="2.5" y2="17" stroke="{TEXT}" stroke-width="1.8" stroke-linecap="round"/>\n')
write("213_sign_colon.svg", 11, 19,
      f'<circle cx="5.5" cy="6" r="1.3" fill="{TEXT}"/>\n<circle cx="5.5" cy="13" r="1.3" fill="{TEXT}"/>\n')
write("211_sign_point.svg", 11, 19, f'<circle cx="5.5" cy="16.6" r="1.3" fill="{TEXT}"/>\n')
write("219_sign_g.svg", 11, 19, text(5.5, 16, "G", 14, TEXT, "middle", "bold"))
write("212_sign_v.svg", 11, 19, text(5.5, 16, "V", 14, TEXT, "middle", "bold"))
write("351_sign_kmh.svg", 30, 19, text(15, 15, "km/h", 10, MUTED))

# --- zoom mode pictures, map unavailable, frame pattern, application icon ------------

write(
    "190_zoom_notice.svg", 180, 100,
    f'<rect x="0.5" y="0.5" width="179" height="99" rx="8" fill="{BG_DEEP}" stroke="{LINE}" stroke-width="1"/>\n'
    f'<circle cx="80" cy="45" r="24" fill="none" stroke="{LINE}" stroke-width="5"/>\n'
    f'<line x1="98" y1="63" x2="116" y2="81" stroke="{LINE}" stroke-width="8" stroke-linecap="round"/>\n',
)
write(
    "214_zoom_in.svg", 24, 24,
    f'<circle cx="10" cy="10" r="6.5" fill="none" stroke="{TEXT}" stroke-width="2"/>\n'
    f'<line x1="15" y1="15" x2="21" y2="21" stroke="{TEXT}" stroke-width="3" stroke-linecap="round"/>\n'
    f'<line x1="7" y1="10" x2="13" y2="10" stroke="{TEXT}" stroke-width="1.6"/>\n'
    f'<line x1="10" y1="7" x2="10" y2="13" stroke="{TEXT}" stroke-width="1.6"/>\n',
)
write(
    "215_zoom_out.svg", 24, 24,
    f'<circle cx="10" cy="10" r="6.5" fill="none" stroke="{TEXT}" stroke-width="2"/>\n'
    f'<line x1="15" y1="15" x2="21" y2="21" stroke="{TEXT}" stroke-width="3" stroke-linecap="round"/>\n'
    f'<line x1="7" y1="10" x2="13" y2="10" stroke="{TEXT}" stroke-width="1.6"/>\n',
)
write(
    "367_map_unavailable.svg", 64, 64,
    f'<path d="M32 56 C20 40 18 34 18 28 A14 14 0 0 1 46 28 C46 34 44 40 32 56 Z" fill="none" '
    f'stroke="{MUTED}" stroke-width="3" stroke-linejoin="round"/>\n'
    f'<circle cx="32" cy="28" r="5" fill="{MUTED}"/>\n'
    f'<line x1="14" y1="14" x2="50" y2="50" stroke="{DANGER}" stroke-width="3.5" stroke-linecap="round"/>\n',
)
write("313_frame_pattern.svg", 8, 8,
      f'<rect x="0" y="0" width="8" height="8" fill="#434b55"/>\n<rect x="0" y="0" width="4" height="4" fill="#4c5560"/>\n'
      f'<rect x="4" y="4" width="4" height="4" fill="#4c5560"/>\n')


def app_icon():
    return (
        f'<rect x="1" y="1" width="30" height="30" rx="7" fill="{BG}" stroke="{ACCENT}" stroke-width="1.5"/>\n'
        f'<circle cx="16" cy="13" r="7" fill="none" stroke="{ACCENT_LIGHT}" stroke-width="2"/>\n'
        f'<circle cx="16" cy="13" r="3" fill="{ACCENT}"/>\n'
        f'<path d="M7 28 L16 21 L25 28" fill="none" stroke="{MUTED}" stroke-width="1.6"/>\n'
    )


write("171_app_icon.svg", 32, 32, app_icon())

# --- acceleration graph: legends of the four scale modes, the steering mark --------
# 96 x 143: a label column of 40 and grid lines; the graph tiles the legend from
# the right, so only the leftmost copy keeps its labels in view.

LEGEND_RANGES = [(163, "0_5g", "0.5"), (162, "1g", "1.0"), (188, "1_5g", "1.5"), (189, "2g", "2.0")]
for number, name, peak in LEGEND_RANGES:
    h = 143
    c = h // 2
    body = f'<rect x="0" y="0" width="96" height="{h}" fill="#101215"/>\n'
    for y in (3, c // 2 + 1, c + c // 2 - 1, h - 3):
        body += f'<line x1="40" y1="{y + 0.5}" x2="96" y2="{y + 0.5}" stroke="#22272d" stroke-width="1"/>\n'
    body += f'<line x1="40" y1="{c + 0.5}" x2="96" y2="{c + 0.5}" stroke="#3a414a" stroke-width="1"/>\n'
    for x in (40.5, 72.5):
        body += f'<line x1="{x}" y1="0" x2="{x}" y2="{h}" stroke="#1c2025" stroke-width="1"/>\n'
    body += f'<rect x="0" y="0" width="40" height="{h}" fill="#16191d"/>\n'
    body += f'<line x1="39.5" y1="0" x2="39.5" y2="{h}" stroke="#3a414a" stroke-width="1"/>\n'
    body += text(36, 13, f"+{peak}", 9, MUTED, "end")
    body += text(36, c + 4, "0", 9, MUTED, "end")
    body += text(36, h - 5, f"-{peak}", 9, MUTED, "end")
    body += text(6, c + 4, "G", 9, MUTED, "start", "bold")
    write(f"{number}_graph_legend_{name}.svg", 96, h, body)

write("176_graph_steering_mark.svg", 9, 9,
      f'<circle cx="4.5" cy="4.5" r="3.6" fill="none" stroke="#ffff00" stroke-width="1.2"/>\n'
      f'<line x1="1" y1="4.5" x2="8" y2="4.5" stroke="#ffff00" stroke-width="1"/>\n'
      f'<line x1="4.5" y1="4.5" x2="4.5" y2="8" stroke="#ffff00" stroke-width="1"/>\n')

write(
    "191_zoom_cursor.svg", 32, 32,
    f'<circle cx="13" cy="13" r="9" fill="#ffffff" fill-opacity="0.25" stroke="#ffffff" stroke-width="3.5"/>\n'
    f'<circle cx="13" cy="13" r="9" fill="none" stroke="#1b1e23" stroke-width="1.5"/>\n'
    f'<line x1="20" y1="20" x2="29" y2="29" stroke="#ffffff" stroke-width="5" stroke-linecap="round"/>\n'
    f'<line x1="20" y1="20" x2="29" y2="29" stroke="#1b1e23" stroke-width="2.5" stroke-linecap="round"/>\n'
    f'<line x1="9" y1="13" x2="17" y2="13" stroke="#1b1e23" stroke-width="1.8"/>\n'
    f'<line x1="13" y1="9" x2="13" y2="17" stroke="#1b1e23" stroke-width="1.8"/>\n',
)

# --- folder tree category badge: the base and one layer per category (39 x 26) -------
# Three slots on each of two rows; a layer fills its own slot.

write("319_category_base.svg", 39, 26,
      "".join(
          f'<rect x="{1 + col * 13}" y="{1 + row * 13}" width="11" height="11" rx="2.5" fill="none" '
          f'stroke="#d5d9de" stroke-width="1"/>\n'
          for row in range(2) for col in range(3)))
CATEGORY_LAYERS = [
    (316, "manual", 0, 0, EVENT["manual"], "M"),
    (315, "shock", 1, 0, EVENT["y"], "G"),
    (317, "parking_shock", 2, 0, EVENT["x"], "P"),
    (318, "parking", 0, 1, EVENT["parking"], "P"),
    (346, "speed_camera", 1, 1, EVENT["road"], "O"),
    (369, "approaching", 2, 1, EVENT["approach"], "A"),
]
for number, name, col, row, colour, letter in CATEGORY_LAYERS:
    x = 1 + col * 13
    y = 1 + row * 13
    ink = "#1b1e23" if name == "speed_camera" else "#ffffff"
    body = f'<rect x="{x}" y="{y}" width="11" height="11" rx="2.5" fill="{colour}"/>\n'
    body += text(x + 5.5, y + 9, letter, 9, ink, "middle", "bold")
    if name == "parking_shock":
        body += f'<circle cx="{x + 9.2}" cy="{y + 1.8}" r="1.6" fill="{EVENT["y"]}" stroke="#ffffff" stroke-width="0.6"/>\n'
    write(f"{number}_category_{name}.svg", 39, 26, body)

# --- event icons of the main window (16 x 16), in the map's event icon order ---------

EVENT_ICONS = [
    (331, "shock_x_steering", "x", "steer"),
    (332, "shock_y_acceleration", "y", "up"),
    (333, "shock_y_braking", "y", "brake"),
    (334, "shock_z_descent", "z", "down"),
    (335, "shock_z_rise", "z", "rise"),
    (336, "manual", "manual", "star"),
    (337, "emergency_stop", "stop", "square"),
    (338, "parking", "parking", "P"),
    (339, "overspeed", "road", "gauge"),
    (340, "speed_camera", "road", "camera"),
    (341, "radar", "road", "waves"),
    (342, "approaching_vehicle", "approach", "car"),
    (343, "assist_steering", "assist", "steer"),
    (344, "assist_acceleration", "assist", "up"),
    (345, "assist_braking", "assist", "brake"),
]


def event_glyph(kind, c):
    if kind == "steer":
        return (f'<line x1="4" y1="8" x2="12" y2="8" stroke="{c}" stroke-width="1.5"/>\n'
                f'<polygon points="2.5,8 5,5.8 5,10.2" fill="{c}"/><polygon points="13.5,8 11,5.8 11,10.2" fill="{c}"/>\n')
    if kind == "up":
        return (f'<polyline points="4.5,8.5 8,5 11.5,8.5" fill="none" stroke="{c}" stroke-width="1.6"/>\n'
                f'<polyline points="4.5,11.5 8,8 11.5,11.5" fill="none" stroke="{c}" stroke-width="1.6"/>\n')
    if kind == "brake":
        return (f'<circle cx="8" cy="8" r="3.2" fill="none" stroke="{c}" stroke-width="1.5"/>\n'
                f'<path d="M4 4.8 A5 5 0 0 0 4 11.2 M12 4.8 A5 5 0 0 1 12 11.2" fill="none" stroke="{c}" stroke-width="1.2"/>\n')
    if kind == "down":
        return (f'<line x1="8" y1="3.5" x2="8" y2="10" stroke="{c}" stroke-width="1.5"/>\n'
                f'<polygon points="8,11.5 5.5,8.5 10.5,8.5" fill="{c}"/><line x1="4" y1="12.5" x2="12" y2="12.5" stroke="{c}" stroke-width="1.2"/>\n')
    if kind == "rise":
        return (f'<line x1="8" y1="12" x2="8" y2="5.5" stroke="{c}" stroke-width="1.5"/>\n'
                f'<polygon points="8,4 5.5,7 10.5,7" fill="{c}"/><line x1="4" y1="12.5" x2="12" y2="12.5" stroke="{c}" stroke-width="1.2"/>\n')
    if kind == "star":
        return f'<polygon points="8,3.5 9.3,6.6 12.5,6.7 10,8.8 10.9,12 8,10.2 5.1,12 6,8.8 3.5,6.7 6.7,6.6" fill="{c}"/>\n'
    if kind == "square":
        return f'<rect x="5.5" y="5.5" width="5" height="5" fill="{c}"/>\n'
    if kind == "P":
        return text(8, 11.8, "P", 10, c, "middle", "bold")
    if kind == "gauge":
        return (f'<path d="M3.5 11 A4.8 4.8 0 1 1 12.5 11" fill="none" stroke="{c}" stroke-width="1.4"/>\n'
                f'<line x1="8" y1="9.5" x2="11" y2="6" stroke="{c}" stroke-width="1.4"/>\n')
    if kind == "camera":
        return (f'<rect x="3.5" y="6" width="9" height="6" rx="1" fill="{c}"/>\n'
                f'<circle cx="8" cy="9" r="1.7" fill="#e2b714"/>\n')
    if kind == "waves":
        return (f'<circle cx="5" cy="11" r="1.2" fill="{c}"/>\n'
                f'<path d="M5 7.5 A3.5 3.5 0 0 1 8.5 11 M5 4.5 A6.5 6.5 0 0 1 11.5 11" fill="none" stroke="{c}" stroke-width="1.3"/>\n')
    if kind == "car":
        return (f'<rect x="3.5" y="7" width="9" height="4.5" rx="1.2" fill="{c}"/>\n'
                f'<path d="M5 7 L6 4.5 H10 L11 7" fill="none" stroke="{c}" stroke-width="1.2"/>\n'
                f'<rect x="4" y="11" width="2" height="1.8" fill="{c}"/><rect x="10" y="11" width="2" height="1.8" fill="{c}"/>\n')
    raise ValueError(kind)


for number, name, family, kind in EVENT_ICONS:
    colour = EVENT[family]
    ink = "#1b1e23" if family == "road" else "#ffffff"
    body = f'<circle cx="8" cy="8" r="7.5" fill="{colour}"/>\n' + event_glyph(kind, ink)
    write(f"{number}_event_{name}.svg", 16, 16, body)

write("348_position_marker.svg", 16, 16,
      f'<circle cx="8" cy="8" r="7" fill="{ACCENT}" fill-opacity="0.35"/>\n'
      f'<circle cx="8" cy="8" r="4" fill="{ACCENT_LIGHT}" stroke="#ffffff" stroke-width="1.2"/>\n')
write("349_start_marker.svg", 16, 16,
      f'<line x1="4.5" y1="2" x2="4.5" y2="15" stroke="{TEXT}" stroke-width="1.4"/>\n'
      f'<polygon points="5,2.5 13,5.5 5,8.5" fill="{EVENT["assist"]}"/>\n')

# --- the resource list ------------------------------------------------------------------

with open(os.path.join(OUT, "skin.qrc"), "w", encoding="utf-8") as f:
    f.write('<!DOCTYPE RCC>\n<RCC version="1.0">\n  <qresource prefix="/skin">\n')
    for name in sorted(written):
        f.write(f"    <file>{name}</file>\n")
    f.write("  </qresource>\n</RCC>\n")

print(f"{len(written)} pictures written to {OUT}")
