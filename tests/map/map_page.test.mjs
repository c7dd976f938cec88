// The map page in headless Chromium under the test host: loading, tracks,
// position marker, event markers, status, messages and connection changes.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {after, before, describe, test} from 'node:test';
import {
    OUT_DIR, PAGE_DIR, hostArray, launchBrowser, loaderUrl, openPage, setHost, sleep,
    startTileServer, waitForMap,
} from './harness.mjs';

// Longer than two passes of the page's once-a-second poll.
const TWO_POLLS_MS = 2300;

// Each test and hook gets its own time limit, so a page that never answers
// fails that test instead of hanging the run (older Node.js releases have no
// command-line option for a default limit).
const LIMIT = {timeout: 120_000};

let browser;
let tiles;
let mapUrl;

before(async () => {
    assert.ok(fs.existsSync(path.join(PAGE_DIR, 'map.html')), `no assembled page in ${PAGE_DIR}`);
    tiles = await startTileServer();
    mapUrl = loaderUrl(tiles.template);
    browser = await launchBrowser();
}, LIMIT);

after(async () => {
    await browser?.close();
    tiles?.close();
}, LIMIT);

// Everything the user would see, read from the page's own map objects.
function snapshot(page) {
    return page.evaluate(() => {
        const line = (l) => ({
            color: l.options.color,
            opacity: l.options.opacity,
            weight: l.options.weight,
            pane: l.options.pane,
            onMap: Boolean(l._map),
            path: l.getLatLngs().map((p) => [p.lat, p.lng]),
        });
        const pos = g_marker ? g_marker.getLatLng() : null;
        return {
            grp: orbitgrplist.grpline.map(line),
            hist: orbitgrplist.histline.map(line),
            sch: orbitgrplist.schline.map(line),
            orbit: orbitgrplist.orbitlist.map((g) => [g.start, g.end]),
            marker: pos ? [pos.lat, pos.lng] : null,
            lastJpgNum: g_lastJpgNum,
        };
    });
}

// Loads both tracks the way the viewer redraws after a recording opens.
async function drawTracks(page, {gps, grid, frame}) {
    await setHost(page, {gps: hostArray(gps), grid: hostArray(grid), relJpgNum: String(frame)});
    await page.evaluate(() => {
        cplist.ClearCrashPos();
        orbitgrplist.RemoveLineList();
        orbitgrplist.CreateLine();
        orbitgrplist.CreateGridLine(3);
    });
}

// A drive north-east from Tokyo station, one point a second (about 55 m).
const BASE = [35.6812, 139.7671];
const drive = (from, to, frameStep = 10) => {
    const points = [];
    for (let i = from; i < to; i++) {
        points.push([BASE[0] + i * 0.0005, BASE[1] + i * 0.0002 + Math.sin(i / 3) * 0.0003, i * frameStep]);
    }
    return points;
};
const GRID = drive(0, 8);  // frames 0, 10, ..., 70
// The group: the recording before, this one, the one after, and after a
// stretch without fix a later drive 0.01 degrees away.
const GROUP = [...drive(-9, 0), ...GRID, ...drive(8, 12), ...drive(12, 18).map(([a, b, f]) => [a + 0.01, b, f])];

describe('map page', () => {
    test('connects, draws both tracks split at the position, the marker and the event icons', LIMIT, async () => {
        const page = await openPage(browser.context, {mapUrl});
        await waitForMap(page);
        // The map is real: tiles came from the server and the library's files loaded.
        await page.waitForFunction(() => document.querySelectorAll('img.leaflet-tile-loaded').length > 0);
        assert.ok(tiles.tileRequests > 0);

        await drawTracks(page, {gps: GROUP, grid: GRID, frame: 35});
        const s = await snapshot(page);
        // The host is asked for "its" current recording whatever number the page was given.
        assert.deepEqual(await page.evaluate(() => window.__host.gridArgs), [0]);

        // Group: two faint red stretches under everything else.
        assert.deepEqual(s.grp.map((l) => l.path.length), [21, 6]);
        for (const l of s.grp) {
            assert.deepEqual([l.color, l.opacity, l.weight, l.pane], ['#FF0000', 0.5, 3, 'track_z1']);
        }
        // Frame 35: the first point reaching it is frame 40 (index 4); the
        // marker stays on the point reached before, index 3.
        assert.equal(s.hist.length, 1);
        assert.equal(s.sch.length, 1);
        assert.deepEqual([s.hist[0].color, s.hist[0].opacity, s.hist[0].pane], ['#0000FF', 1, 'track_z2']);
        assert.deepEqual([s.sch[0].color, s.sch[0].opacity, s.sch[0].pane], ['#FF0000', 0.9, 'track_z2']);
        assert.deepEqual(s.hist[0].path, GRID.slice(0, 4).map(([a, b]) => [a, b]));
        assert.deepEqual(s.sch[0].path, GRID.slice(3).map(([a, b]) => [a, b]));
        assert.deepEqual(s.marker, GRID[3].slice(0, 2));
        assert.equal(s.lastJpgNum, 35);

        // What is drawn: stroke colours in the document, and the stacking of
        // group track < current track < markers.
        const drawn = await page.evaluate(() => {
            const strokes = (pane) => [...g_map.getPane(pane).querySelectorAll('path')]
                .map((p) => [p.getAttribute('stroke'), Number(p.getAttribute('stroke-opacity')),
                             Number(p.getAttribute('stroke-width'))]);
            const z = (pane) => Number(getComputedStyle(g_map.getPane(pane)).zIndex);
            const icon = g_marker.getElement();
            return {
                z1: strokes('track_z1'), z2: strokes('track_z2'),
                order: [z('track_z1'), z('track_z2'), z('markerPane')],
                positionIcon: icon.complete && icon.naturalWidth > 0,
            };
        });
        assert.deepEqual(drawn.z1, [['#FF0000', 0.5, 3], ['#FF0000', 0.5, 3]]);
        assert.deepEqual(drawn.z2.map((p) => p[0]).sort(), ['#0000FF', '#FF0000']);
        assert.ok(drawn.order[0] < drawn.order[1] && drawn.order[1] < drawn.order[2], String(drawn.order));
        assert.ok(drawn.positionIcon, 'the default position marker image loads');

        // All fifteen event icons, east of the track.
        await page.evaluate(([lat, lng]) => {
            for (let i = 0; i < 15; i++) {
                cplist.AddCrashPos(i, 0.1, -0.2, 0.3, 0, 3, i * 10, lat - 0.0012 + Math.floor(i / 5) * 0.0012,
                                   lng + 0.0014 + (i % 5) * 0.0011, 1, 40.0, 0.0);
            }
            g_map.setView(g_marker.getLatLng(), 16, {animate: false});
        }, GRID[3]);
        const icons = await page.evaluate(() => cplist.markers.map((cp, i) => {
            const img = cp.marker.getElement();
            const shadow = cp.marker._shadow;
            return {
                ownIcon: img.src === g_iconurl[i],
                decoded: img.complete && img.naturalWidth === 32 && img.naturalHeight === 32,
                box: [img.style.width, img.style.height, img.style.marginLeft, img.style.marginTop],
                shadow: shadow && shadow.src === g_shadow,
                shadowBox: shadow && [shadow.style.width, shadow.style.height, shadow.style.marginLeft,
                                      shadow.style.marginTop],
            };
        }));
        assert.equal(icons.length, 15);
        icons.forEach((icon, i) => {
            assert.ok(icon.ownIcon && icon.decoded && icon.shadow, `icon ${i}: ${JSON.stringify(icon)}`);
            assert.deepEqual(icon.box, ['32px', '32px', '-16px', '-32px']);
            assert.deepEqual(icon.shadowBox, ['49px', '32px', '-16px', '-32px']);
        });
        assert.equal(new Set(await page.evaluate(() => g_iconurl)).size, 15, 'fifteen different drawings');
        // An event marker on the position itself stays under the position marker.
        const stacked = await page.evaluate(() => {
            cplist.AddCrashPos(2, 0.1, -0.2, 0.3, 0, 3, 0, g_marker.getLatLng().lat, g_marker.getLatLng().lng,
                               1, 40.0, 0.0);
            const event = cplist.markers[cplist.markers.length - 1].marker.getElement();
            const z = Number(g_marker.getElement().style.zIndex) - Number(event.style.zIndex);
            cplist.markers.pop().marker.remove();
            return z;
        });
        assert.ok(stacked > 0, `the position marker lies ${stacked} below an event marker at its place`);

        await setHost(page, {status: 'pause'});  // hold the view still for the picture
        await sleep(1200);
        await page.evaluate(() => g_map.setView(g_marker.getLatLng(), 16, {animate: false}));
        await page.waitForFunction(() => document.querySelectorAll('img.leaflet-tile-loaded').length > 0 &&
                                         !document.querySelector('.leaflet-tile-container img:not(.leaflet-tile-loaded)'));
        const shot = await page.screenshot({path: path.join(OUT_DIR, 'map_page.png')});

        // In the picture itself: the driven part blue, the part ahead red, at
        // the middles of two of their segments.
        const samples = await page.evaluate(async ({png, segments}) => {
            const img = new Image();
            img.src = `data:image/png;base64,${png}`;
            await img.decode();
            const canvas = document.createElement('canvas');
            canvas.width = img.width;
            canvas.height = img.height;
            const ctx = canvas.getContext('2d');
            ctx.drawImage(img, 0, 0);
            return segments.map(([a, b]) => {
                const p = g_map.latLngToContainerPoint(L.latLng((a[0] + b[0]) / 2, (a[1] + b[1]) / 2));
                const d = ctx.getImageData(Math.round(p.x) - 1, Math.round(p.y) - 1, 3, 3).data;
                const pixels = [];
                for (let i = 0; i < d.length; i += 4) pixels.push([d[i], d[i + 1], d[i + 2]]);
                return pixels;
            });
        }, {png: shot.toString('base64'), segments: [[GRID[1], GRID[2]], [GRID[5], GRID[6]]]});
        const blue = ([r, g, b]) => r < 60 && g < 60 && b > 200;
        const red = ([r, g, b]) => r > 200 && g < 80 && b < 80;
        assert.ok(samples[0].some(blue), `driven part: ${JSON.stringify(samples[0])}`);
        assert.ok(samples[1].some(red), `part ahead: ${JSON.stringify(samples[1])}`);

        await page.evaluate(() => cplist.ClearCrashPos());
        assert.equal(await page.evaluate(() => cplist.markers.length), 0);
        assert.equal(await page.locator('.leaflet-marker-icon').count(), 1, 'only the position marker is left');
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('one-element and malformed host arrays draw nothing and keep the marker', LIMIT, async () => {
        const page = await openPage(browser.context, {mapUrl});
        await waitForMap(page);
        await drawTracks(page, {gps: GROUP, grid: GRID, frame: 35});
        const before = await snapshot(page);

        for (const empty of [[0], [], [35.68, 139.76], [35.68, 139.76, 0]]) {
            await setHost(page, {gps: empty, grid: empty});
            await page.evaluate(() => {
                orbitgrplist.RemoveLineList();
                orbitgrplist.CreateLine();
                orbitgrplist.CreateGridLine(0);
            });
            const s = await snapshot(page);
            assert.deepEqual([s.grp, s.hist, s.sch, s.orbit], [[], [], [], []], JSON.stringify(empty));
            assert.deepEqual(s.marker, before.marker, JSON.stringify(empty));
        }
        // A stray non-number in a triple drops that point only.
        await setHost(page, {grid: [35.1, 139.1, 0, 'x', 139.2, 10, 35.1005, 139.1, 20, 9]});
        await page.evaluate(() => orbitgrplist.CreateGridLine(0));
        assert.deepEqual(await page.evaluate(() => orbitgrplist.gridlist.JpgNumList), [0, 20]);
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('splits a track beyond 0.001385 degrees, with longitude scaled by latitude', LIMIT, async () => {
        const page = await openPage(browser.context, {mapUrl});
        await waitForMap(page);
        const grid = [
            [35.0, 139.0, 0],
            [35.0013, 139.0, 10],     // 0.0013: same stretch
            [35.0027, 139.0, 20],     // 0.0014: new stretch
            [35.0027, 139.0016, 30],  // 0.0016 east at 35 degrees is 0.00131: same stretch
            [35.0027, 139.0034, 40],  // 0.0018 east is 0.00147: new stretch
        ];
        await drawTracks(page, {gps: [[35, 139, 0]], grid, frame: 1000});
        const s = await snapshot(page);
        assert.deepEqual(s.orbit, [[0, 1], [2, 3], [4, 4]]);
        // Past the last frame every stretch is driven.
        assert.deepEqual(s.hist.map((l) => l.path.length), [2, 2, 1]);
        assert.deepEqual(s.sch, []);
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('frame numbers before, at and after the track put the marker on the right point', LIMIT, async () => {
        const page = await openPage(browser.context, {mapUrl, status: 'stop'});
        await waitForMap(page);
        const grid = GRID.map(([a, b, f]) => [a, b, f + 100]);  // frames 100 ... 170
        const cases = [
            [50, 0, 0, 1],       // before the first point: on the first, all ahead
            [100, 0, 0, 1],      // at the first point
            [130, 2, 1, 1],      // at point 3: one step back to the last point reached
            [131, 3, 1, 1],
            [170, 6, 1, 1],      // at the last point: the one before it
            [5000, 7, 1, 0],     // beyond the last point: on the last, all driven
        ];
        for (const [frame, index, hist, sch] of cases) {
            await drawTracks(page, {gps: grid, grid, frame});
            const s = await snapshot(page);
            assert.deepEqual(s.marker, grid[index].slice(0, 2), `frame ${frame}`);
            assert.deepEqual([s.hist.length, s.sch.length], [hist, sch], `frame ${frame}`);
        }
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('a frame number of -1 changes neither tracks nor marker', LIMIT, async () => {
        const page = await openPage(browser.context, {mapUrl});
        await waitForMap(page);
        await drawTracks(page, {gps: GROUP, grid: GRID, frame: 35});
        const ids = () => page.evaluate(() => [...orbitgrplist.histline, ...orbitgrplist.schline, g_marker]
            .map((layer) => L.stamp(layer)));
        const before = await snapshot(page);
        const layers = await ids();

        await setHost(page, {relJpgNum: '-1', lat: GRID[6][0], lng: GRID[6][1]});
        await page.evaluate(() => orbitgrplist.MoveMarker());
        await sleep(TWO_POLLS_MS);  // the poll must not move it either
        assert.deepEqual(await snapshot(page), before);
        assert.deepEqual(await ids(), layers, 'the same polylines and marker, not redrawn copies');
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('a click on an event marker reports it and redraws only for non-negative coordinates', LIMIT, async () => {
        const page = await openPage(browser.context, {mapUrl, status: 'pause'});
        await waitForMap(page);
        await drawTracks(page, {gps: GROUP, grid: GRID, frame: 35});
        await page.evaluate(() => {
            cplist.AddCrashPos(2, 0.5, -1.25, 0.75, 0, 4, 123, 35.6830, 139.7690, 1, 42.5, 0.0);
            cplist.AddCrashPos(8, 0.1, 0.2, 0.3, 0, 4, 456, -33.8688, 151.2093, 1, 99.0, 0.0);
            cplist.AddCrashPos(9, 0.1, 0.2, 0.3, 0, 4, 789, 51.5, -0.12, 0, 10.0, 0.0);
        });
        const clickMarker = async (i) => {
            await page.evaluate((n) => g_map.setView(cplist.markers[n].marker.getLatLng(), 16, {animate: false}), i);
            const box = await page.evaluate((n) => {
                const r = cplist.markers[n].marker.getElement().getBoundingClientRect();
                return [r.left + r.width / 2, r.top + r.height / 3];
            }, i);
            const reads = await page.evaluate(() => window.__host.relJpgNumReads);
            await page.mouse.click(box[0], box[1]);
            return (await page.evaluate(() => window.__host.relJpgNumReads)) - reads;
        };

        await setHost(page, {relJpgNum: '65'});
        assert.ok((await clickMarker(0)) > 0, 'redrawn');
        assert.deepEqual((await snapshot(page)).marker, GRID[6].slice(0, 2));
        assert.equal(await clickMarker(1), 0, 'southern latitude: not redrawn');
        assert.equal(await clickMarker(2), 0, 'western longitude: not redrawn');
        assert.deepEqual(await page.evaluate(() => window.__host.clicks), [
            [0, 4, 123, 1, 35.683, 139.769, 42.5, 0],
            [0, 4, 456, 1, -33.8688, 151.2093, 99, 0],
            [0, 4, 789, 0, 51.5, -0.12, 10, 0],
        ]);
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('"Pause" and "stop" in any letter case freeze the marker; playing moves it', LIMIT, async () => {
        const page = await openPage(browser.context, {mapUrl});
        await waitForMap(page);
        await drawTracks(page, {gps: GROUP, grid: GRID, frame: 35});
        const before = await snapshot(page);

        for (const status of ['Pause', 'PAUSE', 'sToP']) {
            await setHost(page, {status, lat: GRID[6][0], lng: GRID[6][1]});
            await page.waitForFunction((s) => document.getElementById('map_status').value === s, status);
            await setHost(page, {relJpgNum: '65'});
            await sleep(TWO_POLLS_MS);
            assert.deepEqual((await snapshot(page)).marker, before.marker, status);
            await setHost(page, {relJpgNum: '35'});
        }
        // Playing again: the poll moves it on its own.
        await setHost(page, {status: '', relJpgNum: '65'});
        await page.waitForFunction((p) => {
            const ll = g_marker.getLatLng();
            return ll.lat === p[0] && ll.lng === p[1];
        }, GRID[6]);
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('host messages: only "update" fills the inputs; coordinates of 1000 are no position', LIMIT, async () => {
        const page = await openPage(browser.context, {mapUrl, lat: 1000, lng: 1000, relJpgNum: '35'});
        await waitForMap(page);  // with no position the page still loads the map
        await page.waitForFunction(() => document.getElementById('map_lat').value === '1000.000000');
        await drawTracks(page, {gps: GROUP, grid: GRID, frame: 35});
        await setHost(page, {relJpgNum: '65'});
        await sleep(TWO_POLLS_MS);
        assert.deepEqual((await snapshot(page)).marker, GRID[3].slice(0, 2), 'no position: not moved');

        const inputs = () => page.evaluate(() => ['map_lat', 'map_lng', 'map_status']
            .map((id) => document.getElementById(id).value));
        await setHost(page, {answers: false});
        await sleep(100);  // let an answer already on its way arrive
        await page.evaluate(() => {
            document.getElementById('map_status').value = 'kept';
        });
        await page.evaluate(() => {
            window.__host.post({val_command: 'other', map_lat: '1.0', map_lng: '2.0', map_status: 'x'});
            window.__host.post(null);
            window.__host.post('not json');
        });
        const [lat, lng, status] = await inputs();
        assert.equal(status, 'kept');
        assert.deepEqual([lat, lng], ['1000.000000', '1000.000000']);
        await page.evaluate(() => window.__host.post(
            JSON.stringify({map_lat: '35.5', map_lng: '139.5', map_status: 'pause', val_command: 'update'})));
        assert.deepEqual(await inputs(), ['35.5', '139.5', 'pause']);
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('losing the connection forgets the map; regaining it loads the map again', LIMIT, async () => {
        const page = await openPage(browser.context, {mapUrl});
        await waitForMap(page);
        await drawTracks(page, {gps: GROUP, grid: GRID, frame: 35});

        await setHost(page, {connected: false});
        await page.waitForFunction(() => g_map === null && g_script === null && !g_isInitConnect);
        assert.equal(await page.locator('script[src*="loader.js"]').count(), 0);
        assert.equal(await page.locator('.leaflet-marker-icon, .leaflet-tile').count(), 0);
        // Without a connection the host's drawing calls are harmless and draw nothing.
        await page.evaluate(() => {
            orbitgrplist.CreateLine();
            orbitgrplist.CreateGridLine(0);
            cplist.AddCrashPos(0, 0, 0, 0, 0, 0, 0, 35.68, 139.76, 1, 0, 0);
        });
        assert.equal(await page.evaluate(() => cplist.markers.length), 0);
        await sleep(TWO_POLLS_MS);
        assert.equal(await page.evaluate(() => window.__host.initCount), 1);

        await setHost(page, {connected: true});
        await waitForMap(page, 2);
        await page.waitForFunction(() => document.querySelectorAll('img.leaflet-tile-loaded').length > 0);
        assert.equal(await page.locator('script[src*="loader.js"]').count(), 1);
        // The viewer redraws after the second ready report; the new map takes it.
        await drawTracks(page, {gps: GROUP, grid: GRID, frame: 35});
        const s = await snapshot(page);
        assert.ok([...s.grp, ...s.hist, ...s.sch].every((l) => l.onMap));
        assert.deepEqual(s.marker, GRID[3].slice(0, 2));
        assert.deepEqual(page.errors, []);
        await page.close();
    });

    test('a loader that cannot be loaded is tried again', LIMIT, async () => {
        const page = await openPage(browser.context, {mapUrl: loaderUrl(tiles.template, 'missing.js')});
        await page.waitForFunction(() => g_script !== null && g_isStartInitConnect === false);
        await setHost(page, {mapUrl});
        await waitForMap(page);
        assert.equal(await page.evaluate(() => window.__host.initCount), 1);
        assert.deepEqual(page.errors, []);
        await page.close();
    });
});
