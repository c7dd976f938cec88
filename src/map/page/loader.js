// Map library loader. The page inserts this script with the address the host
// answers to JS2C_GetMapURL:
//
//   loader.js?callback=loadLibs&tiles=<URL-encoded tile address template>
//
// and optionally &attribution=<URL-encoded text> for the tile server's credit
// (plain text). Without a tiles parameter the map uses the public
// OpenStreetMap tile server; an empty one means no tiles at all.
// It brings in the Leaflet files shipped beside it (never fetched from the
// internet), publishes the tile template as MapLoader, and calls the function
// named by "callback". A loader whose script element was removed before
// Leaflet arrived (the host lost its connection meanwhile) stays silent; one
// that cannot load Leaflet reports an "error" event on its own element so the
// page may try again.
(function () {
    'use strict';

    var self = document.currentScript;
    if (!self) {
        return;
    }
    var address = new URL(self.src, document.baseURI);
    var folder = new URL('.', address);
    var callback = address.searchParams.get('callback') || '';
    var params = address.searchParams;

    var DEFAULT_TILES = 'https://tile.openstreetmap.org/{z}/{x}/{y}.png';
    var DEFAULT_ATTRIBUTION = '\u00a9 OpenStreetMap contributors';

    // The map shows the credit as markup; the parameter is text.
    function asText(text) {
        return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
    }

    var tiles = params.has('tiles') ? params.get('tiles') : DEFAULT_TILES;
    var attribution = params.has('attribution') ? params.get('attribution')
                                                : (tiles === DEFAULT_TILES ? DEFAULT_ATTRIBUTION : '');
    window.MapLoader = {tiles: tiles, attribution: asText(attribution)};

    function fail() {
        self.dispatchEvent(new Event('error'));
    }

    function finish() {
        if (!self.isConnected) {
            return;
        }
        // Only a plain global function name is honoured: the address must not
        // be able to run arbitrary script.
        var fn = /^[A-Za-z_$][A-Za-z0-9_$]*$/.test(callback) ? window[callback] : undefined;
        if (typeof fn === 'function') {
            fn();
        } else {
            fail();
        }
    }

    if (!document.getElementById('leaflet_css')) {
        var css = document.createElement('link');
        css.id = 'leaflet_css';
        css.rel = 'stylesheet';
        css.href = new URL('leaflet/leaflet.css', folder).href;
        document.head.appendChild(css);
    }

    if (window.L && typeof window.L.map === 'function') {
        // Loaded by an earlier loader: the library needs no second copy.
        setTimeout(finish, 0);
        return;
    }
    var lib = document.createElement('script');
    lib.type = 'text/javascript';
    lib.src = new URL('leaflet/leaflet.js', folder).href;
    lib.onload = finish;
    lib.onerror = fail;
    document.head.appendChild(lib);
})();
