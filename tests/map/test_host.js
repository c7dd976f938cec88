// The viewer's side of the page, as the tests play it: the host object
// "sample" with synchronous answers and the posting of messages, the way an
// embedded Chromium host publishes them. Runs before the page's own scripts.
// Tests steer it and read what the page asked through window.__host.
(() => {
    const listeners = [];
    const state = {
        connected: true,
        mapUrl: '',
        gps: [0],
        grid: [0],
        relJpgNum: '-1',
        lat: 0,
        lng: 0,
        status: '',
        answers: true,  // JS2C_SetSend posts the position message
        initCount: 0,
        relJpgNumReads: 0,
        setSendCount: 0,
        gridArgs: [],
        clicks: [],
        post(data) {
            for (const listener of listeners) listener({data});
        },
    };
    window.__host = state;

    const sample = {
        JS2C_ConnectTest: () => state.connected,
        JS2C_GetMapURL: () => state.mapUrl,
        JS2C_OnInitHtml: () => {
            state.initCount++;
        },
        // Answers later by message, like the viewer: six decimals as text.
        JS2C_SetSend: () => {
            state.setSendCount++;
            if (!state.answers) return;
            const message = {
                map_lat: Number(state.lat).toFixed(6),
                map_lng: Number(state.lng).toFixed(6),
                map_status: state.status,
                val_command: 'update',
                val_end: '',
            };
            setTimeout(() => state.post(message), 0);
        },
        JS2C_GetGPSData: () => state.gps,
        JS2C_GetGridData: (i) => {
            state.gridArgs.push(i);
            return state.grid;
        },
        JS2C_GetRelJpgNum: () => {
            state.relJpgNumReads++;
            return String(state.relJpgNum);
        },
        JS2C_OnClickCrashPoint: (...args) => {
            state.clicks.push(args);
        },
    };
    window.chrome = window.chrome || {};
    window.chrome.webview = {
        hostObjects: {sync: {sample}},
        addEventListener(type, listener) {
            if (type === 'message') listeners.push(listener);
        },
    };
})();
