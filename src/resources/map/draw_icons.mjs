// Draws the map's event icons (32 x 32) and their marker shadow (49 x 32) and
// writes them as PNG files beside this script:
//
//   node src/resources/map/draw_icons.mjs
//
// Every icon is a map pin whose tip is the marker's anchor (16, 32), coloured
// by event family, with a glyph for the event:
//   shock on the X axis  orange, left-right arrow (steering)
//   shock on the Y axis  red, chevrons up (acceleration) or brake lamp (braking)
//   shock on the Z axis  purple, arrow down onto / up from the ground
//   manual recording     pink, star (user point)
//   emergency stop       black, stop square in a ring
//   parking monitoring   blue, "P"
//   road warnings        yellow with dark glyphs: gauge (overspeed), camera, radar waves
//   approaching vehicle  teal, car seen from behind
//   drive assist         green, the steering / acceleration / braking glyphs
//
// Shapes are rendered with 4 x 4 supersampling; the PNG encoder is the minimal
// one an 8-bit RGBA image needs (zlib from node).

import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import {fileURLToPath} from 'node:url';

const OUT_DIR = path.dirname(fileURLToPath(import.meta.url));
const SUPERSAMPLE = 4;

// --- shapes: predicates over a point ---------------------------------------------

const circle = (cx, cy, r) => (x, y) => (x - cx) ** 2 + (y - cy) ** 2 <= r * r;
const rect = (x0, y0, x1, y1) => (x, y) => x >= x0 && x <= x1 && y >= y0 && y <= y1;
const union = (...shapes) => (x, y) => shapes.some((s) => s(x, y));
const minus = (a, b) => (x, y) => a(x, y) && !b(x, y);

function polygon(points) {
    return (x, y) => {
        let inside = false;
        for (let i = 0, j = points.length - 1; i < points.length; j = i++) {
            const [xi, yi] = points[i];
            const [xj, yj] = points[j];
            if (yi > y !== yj > y && x < ((xj - xi) * (y - yi)) / (yj - yi) + xi) inside = !inside;
        }
        return inside;
    };
}

// A stroke of width w from (x0, y0) to (x1, y1) with round caps.
function segment(x0, y0, x1, y1, w) {
    const dx = x1 - x0;
    const dy = y1 - y0;
    const len2 = dx * dx + dy * dy;
    return (x, y) => {
        const t = Math.max(0, Math.min(1, ((x - x0) * dx + (y - y0) * dy) / len2));
        return (x - x0 - t * dx) ** 2 + (y - y0 - t * dy) ** 2 <= (w / 2) ** 2;
    };
}

const polyline = (points, w) =>
    union(...points.slice(1).map((p, i) => segment(points[i][0], points[i][1], p[0], p[1], w)));

// A ring band of radius r and width w between angles a0 and a1 (degrees,
// clockwise from the positive x axis on screen).
function arc(cx, cy, r, w, a0, a1) {
    return (x, y) => {
        const d = Math.hypot(x - cx, y - cy);
        if (d < r - w / 2 || d > r + w / 2) return false;
        let a = (Math.atan2(y - cy, x - cx) * 180) / Math.PI;
        while (a < a0) a += 360;
        return a <= a1;
    };
}

const ring = (cx, cy, r, w) => arc(cx, cy, r, w, 0, 360);

function star(cx, cy, outer, inner) {
    const points = [];
    for (let i = 0; i < 10; i++) {
        const r = i % 2 === 0 ? outer : inner;
        const a = -Math.PI / 2 + (i * Math.PI) / 5;
        points.push([cx + r * Math.cos(a), cy + r * Math.sin(a)]);
    }
    return polygon(points);
}

// The pin: a round head centred at (16, 12) narrowing to the tip at the
// bottom centre. inset shrinks it evenly, for the fill inside the outline.
function pin(inset) {
    const cx = 16;
    const cy = 12;
    const r = 11.5 - inset;
    const tip = 31.6;
    const d = tip - cy;
    const phi = Math.acos(11.5 / d);
    const tipY = tip - inset / Math.sin(Math.PI / 2 - phi);
    return union(
        circle(cx, cy, r),
        polygon([
            [cx - r * Math.sin(phi), cy + r * Math.cos(phi)],
            [cx + r * Math.sin(phi), cy + r * Math.cos(phi)],
            [cx, tipY],
        ]),
    );
}

// --- raster and PNG -------------------------------------------------------------

class Raster {
    constructor(width, height) {
        this.width = width;
        this.height = height;
        this.rgba = new Float64Array(width * height * 4);  // premultiplied
    }

    fill(shape, [r, g, b, a = 1]) {
        const n = SUPERSAMPLE;
        for (let py = 0; py < this.height; py++) {
            for (let px = 0; px < this.width; px++) {
                let hits = 0;
                for (let sy = 0; sy < n; sy++) {
                    for (let sx = 0; sx < n; sx++) {
                        if (shape(px + (sx + 0.5) / n, py + (sy + 0.5) / n)) hits++;
                    }
                }
                if (hits === 0) continue;
                const alpha = (a * hits) / (n * n);
                const o = (py * this.width + px) * 4;
                const keep = 1 - alpha;
                this.rgba[o] = r * alpha + this.rgba[o] * keep;
                this.rgba[o + 1] = g * alpha + this.rgba[o + 1] * keep;
                this.rgba[o + 2] = b * alpha + this.rgba[o + 2] * keep;
                this.rgba[o + 3] = alpha + this.rgba[o + 3] * keep;
            }
        }
    }

    png() {
        const {width, height} = this;
        const rows = Buffer.alloc((width * 4 + 1) * height);
        for (let y = 0; y < height; y++) {
            rows[y * (width * 4 + 1)] = 0;  // no filter
            for (let x = 0; x < width; x++) {
                const o = (y * width + x) * 4;
                const a = this.rgba[o + 3];
                const d = y * (width * 4 + 1) + 1 + x * 4;
                for (let c = 0; c < 3; c++) {
                    rows[d + c] = a > 0 ? Math.round(Math.min(1, this.rgba[o + c] / a) * 255) : 0;
                }
                rows[d + 3] = Math.round(Math.min(1, a) * 255);
            }
        }
        const header = Buffer.alloc(13);
        header.writeUInt32BE(width, 0);
        header.writeUInt32BE(height, 4);
        header[8] = 8;  // bits per channel
        header[9] = 6;  // RGBA
        return Buffer.concat([
            Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
            chunk('IHDR', header),
            chunk('IDAT', zlib.deflateSync(rows, {level: 9})),
            chunk('IEND', Buffer.alloc(0)),
        ]);
    }
}

const CRC_TABLE = Array.from({length: 256}, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
});

function crc32(bytes) {
    let c = 0xffffffff;
    for (const b of bytes) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
    const length = Buffer.alloc(4);
    length.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(body));
    return Buffer.concat([length, body, crc]);
}

// --- colours and glyphs ---------------------------------------------------------

const hex = (s, a = 1) => [
    parseInt(s.slice(1, 3), 16) / 255,
    parseInt(s.slice(3, 5), 16) / 255,
    parseInt(s.slice(5, 7), 16) / 255,
    a,
];
const WHITE = hex('#FFFFFF');
const DARK = hex('#212121');

const STROKE = 2.4;

const steeringGlyph = union(
    segment(10, 12, 22, 12, STROKE),
    polygon([[6.5, 12], [11.5, 7.5], [11.5, 16.5]]),
    polygon([[25.5, 12], [20.5, 7.5], [20.5, 16.5]]),
);

const accelerationGlyph = union(
    polyline([[10.5, 12], [16, 6.5], [21.5, 12]], STROKE),
    polyline([[10.5, 17.5], [16, 12], [21.5, 17.5]], STROKE),
);

// The brake warning lamp: "(!)".
const brakingGlyph = union(
    ring(16, 12, 4.6, 1.8),
    rect(15.1, 9.2, 16.9, 12.8),
    circle(16, 14.6, 1.0),
    arc(16, 12, 7.6, 1.8, 140, 220),
    arc(16, 12, 7.6, 1.8, -40, 40),
);

const GROUND = rect(9.5, 18.2, 22.5, 20.2);
const descentGlyph = union(
    segment(16, 4.5, 16, 12, STROKE),
    polygon([[11, 11.5], [21, 11.5], [16, 16.8]]),
    GROUND,
);
const riseGlyph = union(
    segment(16, 17, 16, 9.5, STROKE),
    polygon([[11, 10], [21, 10], [16, 4.6]]),
    GROUND,
);

const manualGlyph = star(16, 12.4, 7.6, 3.1);

const emergencyStopGlyph = union(ring(16, 12, 7.4, 1.7), rect(12.6, 8.6, 19.4, 15.4));

const parkingGlyph = union(
    rect(12, 5, 14.8, 19.5),
    rect(12, 5, 16.5, 7.6),
    rect(12, 10.6, 16.5, 13.2),
    arc(16.5, 9.1, 2.75, 2.6, -90, 90),
);

const overspeedGlyph = union(
    arc(16, 14, 7.2, 2.2, 195, 345),
    segment(16, 14, 20.6, 8.6, 2.0),
    circle(16, 14, 2.0),
);

const cameraGlyph = minus(
    union(rect(8.5, 8.5, 23.5, 17.5), rect(10, 6.5, 14, 8.6)),
    minus(circle(16, 13, 3.6), circle(16, 13, 1.8)),
);

const radarGlyph = union(
    circle(11, 16.5, 2.0),
    arc(11, 16.5, 5.2, 1.9, -85, 5),
    arc(11, 16.5, 9.0, 1.9, -80, 0),
);

// A car seen from behind: body, roof, wheels, with the rear window and the
// lamps cut out.
const carGlyph = minus(
    union(
        rect(8.5, 11, 23.5, 17),
        polygon([[10.5, 11.2], [12.8, 6], [19.2, 6], [21.5, 11.2]]),
        rect(9.5, 16.5, 12.8, 19.8),
        rect(19.2, 16.5, 22.5, 19.8),
    ),
    union(
        polygon([[12.6, 10.4], [14, 7.4], [18, 7.4], [19.4, 10.4]]),
        rect(10, 12.6, 12.6, 14.4),
        rect(19.4, 12.6, 22, 14.4),
    ),
);

const ORANGE = '#EF6C00';
const RED = '#D32F2F';
const PURPLE = '#7B1FA2';
const PINK = '#C2185B';
const BLACK = '#263238';
const BLUE = '#1565C0';
const YELLOW = '#F9C825';
const TEAL = '#00838F';
const GREEN = '#2E7D32';

// Index = the event icon index the host passes.
const ICONS = [
    ['event00_shock_x_steering', ORANGE, steeringGlyph, WHITE],
    ['event01_shock_y_acceleration', RED, accelerationGlyph, WHITE],
    ['event02_shock_y_braking', RED, brakingGlyph, WHITE],
    ['event03_shock_z_descent', PURPLE, descentGlyph, WHITE],
    ['event04_shock_z_rise', PURPLE, riseGlyph, WHITE],
    ['event05_manual', PINK, manualGlyph, WHITE],
    ['event06_emergency_stop', BLACK, emergencyStopGlyph, WHITE],
    ['event07_parking', BLUE, parkingGlyph, WHITE],
    ['event08_overspeed', YELLOW, overspeedGlyph, DARK],
    ['event09_speed_camera', YELLOW, cameraGlyph, DARK],
    ['event10_radar', YELLOW, radarGlyph, DARK],
    ['event11_approaching_vehicle', TEAL, carGlyph, WHITE],
    ['event12_assist_steering', GREEN, steeringGlyph, WHITE],
    ['event13_assist_acceleration', GREEN, accelerationGlyph, WHITE],
    ['event14_assist_braking', GREEN, brakingGlyph, WHITE],
];

function darker(color, factor) {
    const [r, g, b] = hex(color);
    return [r * factor, g * factor, b * factor, 1];
}

function drawIcon(color, glyph, glyphColor) {
    const raster = new Raster(32, 32);
    raster.fill(pin(0), darker(color, 0.55));
    raster.fill(pin(1.3), hex(color));
    raster.fill(glyph, glyphColor);
    return raster;
}

// The pin's shadow cast on the ground towards the right: the pin squashed to
// half its height about the tip and sheared, soft and translucent.
function drawShadow() {
    const raster = new Raster(49, 32);
    const shape = pin(0);
    const TIP_Y = 32;
    const SQUASH = 0.5;
    const SHEAR = 0.62;
    raster.fill((x, y) => {
        const py = TIP_Y - (TIP_Y - y) / SQUASH;
        const px = x - (TIP_Y - py) * SHEAR;
        return shape(px, py);
    }, [0, 0, 0, 0.32]);
    return raster;
}

for (const [name, color, glyph, glyphColor] of ICONS) {
    fs.writeFileSync(path.join(OUT_DIR, `${name}.png`), drawIcon(color, glyph, glyphColor).png());
}
fs.writeFileSync(path.join(OUT_DIR, 'shadow.png'), drawShadow().png());
