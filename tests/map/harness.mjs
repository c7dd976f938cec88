// Runs the assembled map page in headless Chromium under the test host, with
// map tiles from a tile server on 127.0.0.1.
//
// MAP_PAGE_DIR names the assembled page folder; MAP_TEST_OUT the folder for
// screenshots (both set by CTest).

import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import {fileURLToPath} from 'node:url';
import {chromium} from 'playwright-core';

const HERE = path.dirname(fileURLToPath(import.meta.url));
export const PAGE_DIR = process.env.MAP_PAGE_DIR || path.resolve(HERE, '../../build/map_page');
export const OUT_DIR = process.env.MAP_TEST_OUT || os.tmpdir();
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const TILE_SIZE = 256;
const TILE_COLOR = [0xee, 0xe8, 0xdc];  // a light paper tone

function crc32(bytes) {
    let c = 0xffffffff;
    for (const b of bytes) {
        c ^= b;
        for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    }
    return (c ^ 0xffffffff) >>> 0;
}

function pngChunk(type, data) {
    const head = Buffer.alloc(4);
    head.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
    const tail = Buffer.alloc(4);
    tail.writeUInt32BE(crc32(body));
    return Buffer.concat([head, body, tail]);
}

// One plain RGB tile.
function plainTile() {
    const row = Buffer.alloc(1 + TILE_SIZE * 3);
    for (let x = 0; x < TILE_SIZE; x++) row.set(TILE_COLOR, 1 + x * 3);
    const ihdr = Buffer.alloc(13);
    ihdr.writeUInt32BE(TILE_SIZE, 0);
    ihdr.writeUInt32BE(TILE_SIZE, 4);
    ihdr[8] = 8;
    ihdr[9] = 2;  // RGB
    return Buffer.concat([
        Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
        pngChunk('IHDR', ihdr),
        pngChunk('IDAT', zlib.deflateSync(Buffer.concat(Array(TILE_SIZE).fill(row)))),
        pngChunk('IEND', Buffer.alloc(0)),
    ]);
}

// Serves the plain tile for every /z/x/y.png and counts the requests.
export async function startTileServer() {
    const tile = plainTile();
    const server = http.createServer((req, res) => {
        if (/^\/\d+\/-?\d+\/-?\d+\.png$/.test(req.url)) {
            server.tileRequests++;
            res.writeHead(200, {'Content-Type': 'image/png', 'Cache-Control': 'no-store'});
            res.end(tile);
        } else {
            res.writeHead(404);
            res.end();
        }
    });
    server.tileRequests = 0;
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    server.template = `http://127.0.0.1:${server.address().port}/{z}/{x}/{y}.png`;
    return server;
}

export async function launchBrowser() {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'trivexa-map-chromium-'));
    const context = await chromium.launchPersistentContext(profile, {
        executablePath: CHROMIUM,
        headless: true,
        viewport: {width: 800, height: 600},
        args: [
            '--no-sandbox',
            '--disable-gpu',
            '--disable-quic',
            '--no-first-run',
            '--disable-background-networking',
            '--disable-component-update',
            '--disable-sync',
        ],
    });
    return {
        context,
        async close() {
            await context.close();
            fs.rmSync(profile, {recursive: true, force: true});
        },
    };
}

export function loaderUrl(tileTemplate, loaderFile = 'loader.js') {
    const loader = new URL(`file://${PAGE_DIR}/${loaderFile}`);
    return `${loader.href}?callback=loadLibs&tiles=${encodeURIComponent(tileTemplate)}`;
}

const TEST_HOST = fs.readFileSync(path.join(HERE, 'test_host.js'), 'utf8');

// Opens the page under a fresh test host. hostState sets the host's initial
// answers (see test_host.js); errors collects the page's uncaught errors.
export async function openPage(context, hostState = {}) {
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(String(e)));
    await page.addInitScript({content: TEST_HOST});
    await page.addInitScript((state) => Object.assign(window.__host, state), hostState);
    await page.goto(`file://${PAGE_DIR}/map.html`);
    page.errors = errors;
    page.setDefaultTimeout(30000);  // generous: the machine may be busy
    return page;
}

// Waits until the page has created its map and told the host so.
export async function waitForMap(page, initCount = 1) {
    await page.waitForFunction((n) => window.__host.initCount >= n && g_isInitConnect === true,
                               initCount);
}

// Sets members of the test host's state.
export async function setHost(page, state) {
    await page.evaluate((s) => Object.assign(window.__host, s), state);
}

// A host position array: triples (latitude, longitude, frame) and the count.
export function hostArray(points) {
    const flat = points.flatMap(([lat, lng, frame]) => [lat, lng, frame]);
    return [...flat, flat.length];
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
