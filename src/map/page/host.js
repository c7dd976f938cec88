// The one place that knows how the viewer reaches this page.
//
// The page talks to its host through the object "sample" that an embedded
// Chromium host publishes as chrome.webview.hostObjects.sync.sample (every
// call answers synchronously) and receives the host's messages as "message"
// events of chrome.webview. A Qt WebEngine host has no such object; it offers
// a QWebChannel object named "sample" instead, and this file dresses that up
// as the same chrome.webview, so the page itself never changes.
//
// A channel delivers everything asynchronously, but in order. So the values
// the page reads synchronously (JS2C_ConnectTest, JS2C_GetMapURL,
// JS2C_GetGPSData, JS2C_GetGridData, JS2C_GetRelJpgNum) are kept here, and
// the host's calls of page functions travel on the same channel behind the
// values they read. The Qt object offers:
//
//   - property hostValues (constant): a map from those five names to their
//     values when the page connects;
//   - signal valuesSet(QVariantMap): new values for some of the names;
//   - signal runScript(QString): one call of a page function as the host
//     writes it ("orbitgrplist.MoveMarker()", "cplist.AddCrashPos(2,0.1,...)").
//     It runs after every valuesSet emitted before it, so a host that sets
//     the position and then calls MoveMarker gets the position it set. Only
//     the functions the host may call (cplist.ClearCrashPos and AddCrashPos,
//     orbitgrplist.RemoveLineList, CreateLine, CreateGridLine and MoveMarker)
//     with numeric arguments are run; anything else is refused;
//   - slots JS2C_OnInitHtml, JS2C_SetSend and JS2C_OnClickCrashPoint, called
//     without waiting for an answer (none is expected);
//   - signal webMessage(QString json): the messages the host posts; they
//     reach the page's listeners as events whose data is the parsed object,
//     as posted JSON messages do.
//
// A host must not run such calls with runJavaScript: that path overtakes the
// channel, and the page would read values older than the ones set.
//
// The Qt host injects Qt's qwebchannel.js before this file runs.

var TrivexaHost = (function () {
    'use strict';

    // Answers when no host is attached (the page opened on its own, or the Qt
    // channel not connected yet): never connected, no data, no position.
    var NO_HOST = {
        JS2C_ConnectTest: function () { return false; },
        JS2C_GetMapURL: function () { return ''; },
        JS2C_OnInitHtml: function () {},
        JS2C_SetSend: function () {},
        JS2C_GetGPSData: function () { return null; },
        JS2C_GetGridData: function () { return null; },
        JS2C_GetRelJpgNum: function () { return '-1'; },
        JS2C_OnClickCrashPoint: function () {}
    };

    var READS = ['JS2C_ConnectTest', 'JS2C_GetMapURL', 'JS2C_GetGPSData', 'JS2C_GetGridData',
                 'JS2C_GetRelJpgNum'];
    var CALLS = ['JS2C_OnInitHtml', 'JS2C_SetSend', 'JS2C_OnClickCrashPoint'];
    // The page functions a host may call by runScript.
    var HOST_CALLS = {
        cplist: ['ClearCrashPos', 'AddCrashPos'],
        orbitgrplist: ['RemoveLineList', 'CreateLine', 'CreateGridLine', 'MoveMarker']
    };
    var CALL_PATTERN = /^\s*(cplist|orbitgrplist)\.([A-Za-z]\w*)\(([^()]*)\)\s*;?\s*$/;

    // Runs one host call of a page function; false when it was refused.
    function runHostCall(text) {
        var m = CALL_PATTERN.exec(String(text));
        if (!m || HOST_CALLS[m[1]].indexOf(m[2]) < 0) {
            return false;
        }
        var args = [];
        if (m[3].trim() !== '') {
            var parts = m[3].split(',');
            for (var i = 0; i < parts.length; i++) {
                var arg = parts[i].trim();
                var value = Number(arg);
                if (arg === '' || !isFinite(value)) {
                    return false;
                }
                args.push(value);
            }
        }
        var target = window[m[1]];
        if (!target || typeof target[m[2]] !== 'function') {
            return false;
        }
        try {
            target[m[2]].apply(target, args);
        } catch (e) {
            // like a script error of the page: swallowed
        }
        return true;
    }

    function installQtBridge() {
        if (window.chrome && window.chrome.webview) {
            return;  // the host provides the object itself
        }
        if (!(window.qt && window.qt.webChannelTransport && typeof window.QWebChannel === 'function')) {
            return;
        }
        var remote = null;
        var values = {};  // the host's values, as last set
        var listeners = [];
        var sample = {};
        function applyValues(map) {
            if (!map || typeof map !== 'object') {
                return;
            }
            READS.forEach(function (name) {
                if (Object.prototype.hasOwnProperty.call(map, name)) {
                    values[name] = map[name];
                }
            });
        }
        READS.forEach(function (name) {
            sample[name] = function () {
                return Object.prototype.hasOwnProperty.call(values, name) ? values[name]
                                                                          : NO_HOST[name]();
            };
        });
        CALLS.forEach(function (name) {
            sample[name] = function () {
                if (remote && typeof remote[name] === 'function') {
                    remote[name].apply(remote, arguments);
                }
            };
        });
        window.chrome = window.chrome || {};
        window.chrome.webview = {
            hostObjects: {sync: {sample: sample}},
            addEventListener: function (type, listener) {
                if (type === 'message') {
                    listeners.push(listener);
                }
            }
        };
        new window.QWebChannel(window.qt.webChannelTransport, function (channel) {
            remote = channel.objects.sample || null;
            if (!remote) {
                return;
            }
            applyValues(remote.hostValues);
            if (remote.valuesSet) {
                remote.valuesSet.connect(applyValues);
            }
            if (remote.runScript) {
                remote.runScript.connect(function (text) {
                    if (!runHostCall(text)) {
                        console.warn('map page: host call refused: ' + text);
                    }
                });
            }
            if (remote.webMessage) {
                remote.webMessage.connect(function (json) {
                    var data;
                    try {
                        data = JSON.parse(json);
                    } catch (e) {
                        return;
                    }
                    listeners.forEach(function (listener) { listener({data: data}); });
                });
            }
        });
    }

    installQtBridge();

    return {
        // The host object, or stand-in answers while there is none.
        sample: function () {
            try {
                var s = window.chrome.webview.hostObjects.sync.sample;
                if (s) {
                    return s;
                }
            } catch (e) {
                // no host attached
            }
            return NO_HOST;
        },
        // Registers fn for the host's messages; false when no host can post any.
        addMessageListener: function (fn) {
            try {
                window.chrome.webview.addEventListener('message', fn);
                return true;
            } catch (e) {
                return false;
            }
        }
    };
})();
