// Assembles the map page into one folder that the viewer and the tests load:
//
//   node assemble.mjs OUT_DIR PAGE_SOURCE_DIR ICON_DIR LEAFLET_DIST_DIR
//
//   map.html host.js map.js loader.js   the page, as written
//   icons.js                            g_iconurl and g_shadow as data:image/png URIs
//   icons/*.png                         the same images as files
//   leaflet/                            Leaflet's distributed files
//
// The folder is built under a temporary name and renamed into place when
// complete, so a reader never sees half a page.

import fs from 'node:fs';
import path from 'node:path';

const PAGE_FILES = ['map.html', 'host.js', 'map.js', 'loader.js'];
const EVENT_ICON_COUNT = 15;
const ICON_WIDTH = 32;
const SHADOW_WIDTH = 49;
const IMAGE_HEIGHT = 32;
// Byte offsets in a PNG file: the signature, then the IHDR chunk's width and height.
const PNG_SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
const PNG_WIDTH_OFFSET = 16;
const PNG_HEIGHT_OFFSET = 20;

function fail(message) {
    console.error(`assemble: ${message}`);
    process.exit(1);
}

function readPng(file, width, height) {
    const bytes = fs.readFileSync(file);
    if (bytes.length < PNG_HEIGHT_OFFSET + 4 || !bytes.subarray(0, 8).equals(PNG_SIGNATURE)) {
        fail(`${file} is not a PNG image`);
    }
    const w = bytes.readUInt32BE(PNG_WIDTH_OFFSET);
    const h = bytes.readUInt32BE(PNG_HEIGHT_OFFSET);
    if (w !== width || h !== height) {
        fail(`${file} is ${w} x ${h}, expected ${width} x ${height}`);
    }
    return bytes;
}

const dataUri = (bytes) => `data:image/png;base64,${bytes.toString('base64')}`;

const [outDir, pageDir, iconDir, leafletDir] = process.argv.slice(2);
if (!leafletDir) {
    fail('usage: assemble.mjs OUT_DIR PAGE_SOURCE_DIR ICON_DIR LEAFLET_DIST_DIR');
}
if (!fs.existsSync(path.join(leafletDir, 'leaflet.js'))) {
    fail(`no leaflet.js in ${leafletDir} (install the npm packages first)`);
}

// Event icons sort by their two-digit index prefix.
const eventIcons = fs.readdirSync(iconDir).filter((f) => /^event\d\d_.*\.png$/.test(f)).sort();
if (eventIcons.length !== EVENT_ICON_COUNT) {
    fail(`expected ${EVENT_ICON_COUNT} event icons in ${iconDir}, found ${eventIcons.length}`);
}
eventIcons.forEach((f, i) => {
    if (Number(f.slice(5, 7)) !== i) fail(`event icon ${i} is missing (found ${f})`);
});

const tmpDir = `${outDir}.tmp`;
fs.rmSync(tmpDir, {recursive: true, force: true});
fs.mkdirSync(path.join(tmpDir, 'icons'), {recursive: true});

for (const f of PAGE_FILES) {
    fs.copyFileSync(path.join(pageDir, f), path.join(tmpDir, f));
}
fs.cpSync(leafletDir, path.join(tmpDir, 'leaflet'), {recursive: true});

const icons = eventIcons.map((f) => readPng(path.join(iconDir, f), ICON_WIDTH, IMAGE_HEIGHT));
const shadow = readPng(path.join(iconDir, 'shadow.png'), SHADOW_WIDTH, IMAGE_HEIGHT);
eventIcons.forEach((f, i) => fs.writeFileSync(path.join(tmpDir, 'icons', f), icons[i]));
fs.writeFileSync(path.join(tmpDir, 'icons', 'shadow.png'), shadow);

const iconScript = [
    '// Written by the build from the map icon images. Do not edit.',
    '// g_iconurl[i]: the event marker icon of event icon index i (32 x 32).',
    'var g_iconurl = [',
    ...icons.map((bytes, i) => `    '${dataUri(bytes)}'${i + 1 < icons.length ? ',' : ''}  // ${eventIcons[i]}`),
    '];',
    '// The shadow under every event marker (49 x 32).',
    `var g_shadow = '${dataUri(shadow)}';`,
    '',
].join('\n');
fs.writeFileSync(path.join(tmpDir, 'icons.js'), iconScript);

fs.rmSync(outDir, {recursive: true, force: true});
fs.renameSync(tmpDir, outDir);
