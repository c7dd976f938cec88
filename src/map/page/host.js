// The one place that knows how the viewer reaches this page.
//
// The page talks to its host through the object "sample" that an embedded
// Chromium host publishes as chrome.webview.hostObjects.sync.sample (every
// call answers synchronously) and receives the host's messages as "message"
// events of chrome.webview. A Qt WebEngine host has no such object; it offers
// a QWebChannel object named "sample" instead, and this file dresses that up
// as the same chrome.webview, so the page itself never changes:
//
//   - JS2C_ConnectTest, JS2C_GetMapURL, JS2C_GetGPSData, JS2C_GetGridData and
//     JS2C_GetRelJpgNum are properties of the Qt object. QWebChannel mirrors
//     property values into the page, so reading them is synchronous; the host
//     keeps them current (notify signals).
//   - JS2C_OnInitHtml, JS2C_SetSend and JS2C_OnClickCrashPoint are slots,
//     called without waiting for an answer (none is expected).
//   - The Qt object's signal webMessage(QString json) carries the messages the
//     host posts; they reach the page's listeners as events whose data is the
//     parsed object, as posted JSON messages do.
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

    var MIRRORED = ['JS2C_ConnectTest', 'JS2C_GetMapURL', 'JS2C_GetGPSData', 'JS2C_GetGridData',
                    'JS2C_GetRelJpgNum'];
    var CALLS = ['JS2C_OnInitHtml', 'JS2C_SetSend', 'JS2C_OnClickCrashPoint'];

    function installQtBridge() {
        if (window.chrome && window.chrome.webview) {
            return;  // the host provides the object itself
        }
        if (!(window.qt && window.qt.webChannelTransport && typeof window.QWebChannel === 'function')) {
            return;
        }
        var remote = null;
        var listeners = [];
        var sample = {};
        MIRRORED.forEach(function (name) {
            sample[name] = function () {
                return remote ? remote[name] : NO_HOST[name]();
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
            if (remote && remote.webMessage) {
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
