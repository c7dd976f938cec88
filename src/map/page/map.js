// Map page: the driven track of the open recording group and of the current
// recording, the position marker at the playback position and the event
// markers. Everything it shows comes from the host (see host.js): the page asks
// through the host object and reads the position and status that the host
// posts into the hidden inputs. The host calls the functions of cplist and
// orbitgrplist by script.
//
// g_iconurl and g_shadow (the event icons by icon index and their shadow) come
// from icons.js, which the build writes from the resource images.

// --- page state ---------------------------------------------------------------

var g_lastJpgNum = -1;             // last frame number read from the host; -1: none since the last track load
var g_isStartInitConnect = false;  // loader inserted, its callback awaited
var g_isInitConnect = false;       // the map library has loaded and the map exists
var g_isInit = false;              // the no-position branch of show has run once
var g_map = null;
var g_script = null;               // the inserted loader script element
var g_marker = null;               // the current-position marker
var g_newlat = null;               // position last read from the hidden inputs
var g_newlng = null;

var SHOW_INTERVAL_MS = 1000;
// Coordinates at or above this mean the host has no position.
var NO_POSITION = 1000.0;
// Two consecutive points further apart than this (degrees, about 150 m in the
// one-second spacing of the track, 500 km/h) cannot be one drive: the track is
// split there, for example across stretches without a GPS fix.
var STRETCH_SPLIT_DEGREES = 0.001385;

var INITIAL_ZOOM = 16;
var TRACK_WEIGHT = 3;
var COLOR_DRIVEN = '#0000FF';
var COLOR_AHEAD = '#FF0000';
var OPACITY_DRIVEN = 1.0;
var OPACITY_AHEAD = 0.9;
var OPACITY_GROUP = 0.5;
var Z_GROUP = 1;    // the group track lies under
var Z_CURRENT = 2;  // the current recording's track

var ICON_SIZE = [32, 32];
// Lifts the position marker above every event marker (Leaflet stacks markers
// by latitude, southern ones on top).
var POSITION_MARKER_Z_OFFSET = 10000;
var SHADOW_SIZE = [49, 32];
var MARKER_ANCHOR = [16, 32];

function host() {
    return TrivexaHost.sample();
}

// The library is present (it stays once loaded, even when the map is dropped).
function apiLoaded() {
    return typeof L === 'object' && L !== null && typeof L.map === 'function';
}

function mapExists() {
    return apiLoaded() && g_map !== null;
}

// A map pane per z-index, so tracks stack by z-index whatever their drawing
// order; all of them lie under the markers.
function trackPane(zIndex) {
    var name = 'track_z' + zIndex;
    if (!g_map.getPane(name)) {
        g_map.createPane(name).style.zIndex = String(400 + zIndex);
    }
    return name;
}

function isPosition(lat, lng) {
    return typeof lat === 'number' && typeof lng === 'number' && isFinite(lat) && isFinite(lng) &&
           lat !== 0 && lng !== 0 && lat < NO_POSITION && lng < NO_POSITION;
}

// --- track data -----------------------------------------------------------------

function PointList() {
    this.points = [];
    this.JpgNumList = [];
}

// Appends the points of a host position array: triples (latitude, longitude,
// frame number) followed by the count of the numbers before it. Only whole
// triples of finite numbers are taken.
PointList.prototype.GetPoints = function (data) {
    if (!apiLoaded() || data === null || data === undefined) {
        return;
    }
    var values;
    try {
        values = Float64Array.from(data);
    } catch (e) {
        return;
    }
    if (values.length <= 1) {
        return;
    }
    for (var i = 0; i + 2 < values.length - 1; i += 3) {
        var lat = values[i];
        var lng = values[i + 1];
        var jpgnum = values[i + 2];
        if (!isFinite(lat) || !isFinite(lng) || !isFinite(jpgnum)) {
            continue;
        }
        this.points.push(L.latLng(lat, lng));
        this.JpgNumList.push(jpgnum);
    }
};

PointList.prototype.ReleasePoints = function () {
    this.points = [];
    this.JpgNumList = [];
};

// A polyline through points[start] ... points[end - 1], or null when there is
// nothing to draw.
PointList.prototype.DrawGridLine = function (start, end, color, opacity, index) {
    if (!mapExists()) {
        return null;
    }
    var path = this.points.slice(start, end);
    if (path.length === 0) {
        return null;
    }
    return L.polyline(path, {
        interactive: false,
        color: color,
        opacity: opacity,
        weight: TRACK_WEIGHT,
        pane: trackPane(index)
    }).addTo(g_map);
};

// One unbroken stretch of a point list, indices inclusive.
function OrbitGrp(start, end) {
    this.start = start;
    this.end = end;
}

function OrbitGrpList() {
    this.orbitlist = [];
    this.grpline = [];   // group track
    this.histline = [];  // current recording, driven part
    this.schline = [];   // current recording, part ahead
    this.grplist = new PointList();
    this.gridlist = new PointList();
}

function removeLines(lines) {
    lines.forEach(function (line) {
        if (line) {
            line.remove();
        }
    });
}

function pushLine(lines, line) {
    if (line) {
        lines.push(line);
    }
}

OrbitGrpList.prototype.GetOrbitGroup = function (list) {
    if (!apiLoaded()) {
        return;
    }
    // Stretches of an earlier list must not outlive it: their indices would
    // point into the new one.
    this.orbitlist = [];
    if (!list || list.length === 0) {
        return;
    }
    var start = 0;
    for (var i = 1; i < list.length; i++) {
        var dlat = list[i].lat - list[i - 1].lat;
        var dlng = (list[i].lng - list[i - 1].lng) * Math.cos(list[i].lat * Math.PI / 180);
        var dist = Math.sqrt(dlat * dlat + dlng * dlng);
        if (dist > STRETCH_SPLIT_DEGREES) {
            this.orbitlist.push(new OrbitGrp(start, i - 1));
            start = i;
        }
    }
    this.orbitlist.push(new OrbitGrp(start, list.length - 1));
};

OrbitGrpList.prototype.RemoveLineList = function () {
    if (!apiLoaded()) {
        return;
    }
    removeLines(this.histline);
    removeLines(this.schline);
    this.histline = [];
    this.schline = [];
};

// Index into the current recording's track for the host's playback frame, or
// -1 when the host has none. It is the point before the first one that reaches
// the frame, which keeps the marker on the last position actually reached (at
// a tunnel exit, say); 0 when the first point already reaches it.
OrbitGrpList.prototype.GetIndex = function () {
    var jpgnum = Number(String(host().JS2C_GetRelJpgNum()).trim());
    if (!isFinite(jpgnum) || jpgnum === -1) {
        return -1;
    }
    g_lastJpgNum = jpgnum;
    var list = this.gridlist.JpgNumList;
    var index = list.length;
    for (var i = 0; i < list.length; i++) {
        if (list[i] >= jpgnum) {
            index = i;
            break;
        }
    }
    if (index > 0) {
        index = Math.min(index - 1, list.length - 1);
    }
    return index;
};

OrbitGrpList.prototype.MoveMarker = function () {
    if (!apiLoaded()) {
        return;
    }
    var index = this.GetIndex();
    if (index < 0) {
        return;
    }
    this.RemoveLineList();
    var list = this.gridlist;
    for (var i = 0; i < this.orbitlist.length; i++) {
        var grp = this.orbitlist[i];
        if (grp.end <= index) {
            pushLine(this.histline,
                     list.DrawGridLine(grp.start, grp.end + 1, COLOR_DRIVEN, OPACITY_DRIVEN, Z_CURRENT));
        } else if (grp.start < index) {
            pushLine(this.histline,
                     list.DrawGridLine(grp.start, index + 1, COLOR_DRIVEN, OPACITY_DRIVEN, Z_CURRENT));
            pushLine(this.schline,
                     list.DrawGridLine(index, grp.end + 1, COLOR_AHEAD, OPACITY_AHEAD, Z_CURRENT));
        } else {
            pushLine(this.schline,
                     list.DrawGridLine(grp.start, grp.end + 1, COLOR_AHEAD, OPACITY_AHEAD, Z_CURRENT));
        }
    }
    if (index < list.points.length) {
        loadMarker(list.points[index]);
    } else if (isPosition(g_newlat, g_newlng)) {
        // No track: the host's own position, when it has one. Otherwise the
        // marker stays where it is rather than jumping to (0, 0).
        loadMarker(L.latLng(g_newlat, g_newlng));
    }
};

OrbitGrpList.prototype.CreateLine = function () {
    if (!apiLoaded()) {
        return;
    }
    g_lastJpgNum = -1;
    this.grplist.ReleasePoints();
    if (!g_script) {
        return;
    }
    var data = host().JS2C_GetGPSData();
    if (data === null || data === undefined) {
        return;
    }
    this.grplist.GetPoints(data);
    this.GetOrbitGroup(this.grplist.points);
    removeLines(this.grpline);
    this.grpline = [];
    for (var i = 0; i < this.orbitlist.length; i++) {
        var grp = this.orbitlist[i];
        pushLine(this.grpline,
                 this.grplist.DrawGridLine(grp.start, grp.end + 1, COLOR_AHEAD, OPACITY_GROUP, Z_GROUP));
    }
};

// iGrid is the host's recording number; the host answers for its current
// recording whatever is asked, so it is not passed on.
OrbitGrpList.prototype.CreateGridLine = function (iGrid) {
    if (!apiLoaded()) {
        return;
    }
    g_lastJpgNum = -1;
    this.gridlist.ReleasePoints();
    if (!g_script) {
        return;
    }
    var data = host().JS2C_GetGridData(0);
    if (data === null || data === undefined) {
        return;
    }
    this.gridlist.GetPoints(data);
    this.GetOrbitGroup(this.gridlist.points);
    this.MoveMarker();
};

var orbitgrplist = new OrbitGrpList();

// --- event markers --------------------------------------------------------------

function CrashPoint(marker, levelx, levely, levelz, ifile, igrid, ipos, lat, lng, valid, speed,
                    direction) {
    this.marker = marker;
    this.levelx = levelx;
    this.levely = levely;
    this.levelz = levelz;
    this.ifile = ifile;
    this.igrid = igrid;
    this.ipos = ipos;
    this.lat = lat;
    this.lng = lng;
    this.valid = valid;
    this.speed = speed;
    this.direction = direction;
}

function CpList() {
    this.markers = [];
}

// An event marker with the icon of icon index icolor, or null when there is no
// map, no such icon or no usable position.
function CreateCPMarker(latlng, icolor, levelx, levely, levelz) {
    if (!mapExists()) {
        return null;
    }
    var url = (typeof g_iconurl !== 'undefined' && Number.isInteger(icolor)) ? g_iconurl[icolor] : undefined;
    if (!url || !isFinite(latlng.lat) || !isFinite(latlng.lng)) {
        return null;
    }
    var icon = L.icon({
        iconUrl: url,
        iconSize: ICON_SIZE,
        iconAnchor: MARKER_ANCHOR,
        shadowUrl: g_shadow,
        shadowSize: SHADOW_SIZE,
        shadowAnchor: MARKER_ANCHOR
    });
    return L.marker(latlng, {icon: icon, keyboard: false}).addTo(g_map);
}

CpList.prototype.AddCrashPos = function (icolor, levelx, levely, levelz, ifile, igrid, ipos, lat, lng,
                                         valid, speed, direction) {
    if (!apiLoaded()) {
        return;
    }
    var marker = CreateCPMarker({lat: Number(lat), lng: Number(lng)}, icolor, levelx, levely, levelz);
    if (!marker) {
        return;
    }
    var self = this;
    marker.on('click', function () {
        for (var i = 0; i < self.markers.length; i++) {
            if (self.markers[i].marker === marker) {
                self.SetCrashPos(i);
                return;
            }
        }
    });
    this.markers.push(new CrashPoint(marker, levelx, levely, levelz, ifile, igrid, ipos, lat, lng,
                                     valid, speed, direction));
};

CpList.prototype.SetCrashPos = function (i) {
    var cp = this.markers[i];
    if (!cp) {
        return;
    }
    host().JS2C_OnClickCrashPoint(cp.ifile, cp.igrid, cp.ipos, cp.valid, cp.lat, cp.lng, cp.speed,
                                  cp.direction);
    if (cp.lat >= 0 && cp.lng >= 0 && ConnectTest()) {
        orbitgrplist.MoveMarker();
    }
};

CpList.prototype.ClearCrashPos = function () {
    this.markers.forEach(function (cp) {
        if (cp.marker) {
            cp.marker.remove();
        }
    });
    this.markers = [];
};

var cplist = new CpList();

// --- map life -------------------------------------------------------------------

// Pans to position and puts the position marker there (with icon, or the
// library's default marker).
function loadMarker(position, icon) {
    if (mapExists()) {
        g_map.panTo(position);
    }
    if (g_marker) {
        g_marker.remove();
        g_marker = null;
    }
    if (mapExists()) {
        // Above the event markers: where the car is must never hide under
        // an event it passed.
        var options = {keyboard: false, zIndexOffset: POSITION_MARKER_Z_OFFSET};
        if (icon) {
            options.icon = icon;
        }
        g_marker = L.marker(position, options).addTo(g_map);
    }
}

// Called by the loader once the library is there.
function loadLibs() {
    if (g_map) {
        g_map.remove();
    }
    var loader = window.MapLoader || {};
    g_map = L.map('map_canvas', {center: [0.0, 0.0], zoom: INITIAL_ZOOM});
    if (loader.tiles) {
        L.tileLayer(loader.tiles, {maxZoom: 19, attribution: loader.attribution || ''}).addTo(g_map);
    }
    L.control.scale().addTo(g_map);
    // The map window is no place for script error reports.
    window.onerror = function () {
        return true;
    };
    loadMarker(L.latLng(0, 0));
    host().JS2C_OnInitHtml();
    g_isInitConnect = true;
}

// Forgets the map and the loader, so that the next successful connection test
// loads the library and creates the map afresh.
function dropMap() {
    if (g_map) {
        g_map.remove();  // takes every track and marker with it
    }
    g_map = null;
    g_marker = null;
    if (g_script) {
        g_script.remove();
    }
    g_script = null;
}

// True when the host reaches the map service and the map exists; starts the
// loader when the service is reachable and no map exists yet.
function ConnectTest() {
    if (host().JS2C_ConnectTest()) {
        if (!g_isInitConnect && !g_isStartInitConnect) {
            if (g_script) {
                g_script.remove();
            }
            var script = document.createElement('script');
            script.type = 'text/javascript';
            // A loader that fails must not leave the page waiting for it forever:
            // the next pass tries again.
            script.onerror = function () {
                if (g_script === script) {
                    g_isStartInitConnect = false;
                }
            };
            script.src = String(host().JS2C_GetMapURL() || '');
            g_script = script;
            document.body.appendChild(script);
            g_isStartInitConnect = true;
        }
        return g_isInitConnect;
    }
    g_isStartInitConnect = false;
    g_isInitConnect = false;
    return false;
}

function showOnce() {
    // The host answers by message; the inputs read below hold an earlier answer.
    host().JS2C_SetSend();
    g_newlat = Number(document.getElementById('map_lat').value);
    g_newlng = Number(document.getElementById('map_lng').value);
    if (g_newlat < NO_POSITION && g_newlng < NO_POSITION) {
        if (ConnectTest()) {
            var status = String(document.getElementById('map_status').value).toLowerCase();
            if (status !== 'pause' && status !== 'stop') {
                if ((g_newlat !== 0 && g_newlng !== 0) || g_lastJpgNum === -1) {
                    orbitgrplist.MoveMarker();
                }
            }
        } else if (!g_isStartInitConnect) {
            g_isInit = false;
            dropMap();
        }
    } else if (!g_isInit) {
        ConnectTest();
        g_isInit = true;
    }
}

function show() {
    try {
        showOnce();
    } finally {
        // A failing pass must not end the polling.
        setTimeout(show, SHOW_INTERVAL_MS);
    }
}

function onHostMessage(event) {
    var data = event ? event.data : null;
    if (typeof data === 'string') {
        try {
            data = JSON.parse(data);
        } catch (e) {
            return;
        }
    }
    if (!data || typeof data !== 'object' || data.val_command !== 'update') {
        return;
    }
    ['map_lat', 'map_lng', 'map_status'].forEach(function (key) {
        if (key in data) {
            document.getElementById(key).value = String(data[key]);
        }
    });
}

function initialize() {
    g_lastJpgNum = -1;
    TrivexaHost.addMessageListener(onHostMessage);
    show();
}
