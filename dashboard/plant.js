// The plant view: every sensor that publishes under vexa-tb/<name>/ on the
// broker that serves this page, as a tile, with the line's events and a detail
// view. A classic script (mosquitto's http_dir sends no Content-Type, and a
// browser refuses module scripts then); mqtt.js and uPlot come from lib/.
'use strict';

(function () {
    const TOPICS = ['status', 'info', 'frame', 'event', 'video'].map((t) => 'vexa-tb/+/' + t);
    const SPARK_FRAMES = 100;
    const EVENTS_KEPT = 200;
    const STALE_MS = 1000;
    // A sparkline redrawn with every frame of 100 sensors would hold the page
    // (a canvas each, 27 times a second); five times a second keeps it current.
    const SPARK_MS = 200;
    const TREND_MS = 10 * 60 * 1000;
    const LOWEST_LIMIT = 1;
    const HIGHEST_LIMIT = 1023;
    const LOGIN_KEY = 'vexa-plant-login';
    // Event ids remembered a sensor, to take an event the monitor sends again
    // once: as many as a monitor keeps for the broker while it is away.
    const EVENT_IDS_KEPT = 1000;

    const $ = (id) => document.getElementById(id);
    const tilesBox = $('tiles');
    const sensors = new Map(); // name -> sensor
    const events = []; // newest first
    let client = null;
    let detailName = null;
    let detailTrend = null;
    let detailVideo = null;

    // --- the band and the lamp, as the program judges them ----------------------
    // tVal - tTol, at least 1, and tVal + tTol, at most 1023; a value on either
    // limit lies inside.
    function toleranceBand(tVal, tTol) {
        return {lower: Math.max(tVal - tTol, LOWEST_LIMIT), upper: Math.min(tVal + tTol, HIGHEST_LIMIT)};
    }

    function lampState(s, now) {
        if (s.status === 'offline') return 'offline';
        if (!s.frame || now - s.frameAt > STALE_MS) return 'stale';
        return s.frame.Mvalue >= s.lower && s.frame.Mvalue <= s.upper ? 'in' : 'out';
    }

    // --- what each topic carries ----------------------------------------------
    // The monitors' messages (broker/README.md), field by field. Anyone who
    // may publish under vexa-tb/ reaches every open page, so a message is
    // checked before anything of it is kept: one whose fields are not of this
    // shape is passed over and counted. Fields not listed are allowed (newer
    // monitors add some) and not kept.
    const isObject = (v) => v !== null && typeof v === 'object' && !Array.isArray(v);
    const text = (longest) => (v) => typeof v === 'string' && v.length <= longest;
    const whole = (lowest, highest) => (v) => Number.isInteger(v) && v >= lowest && v <= highest;
    const TEXT = text(200); // ports, programs, firmware and CCD texts
    const SHORT = text(64); // times, states, kinds, event ids
    const WORD = whole(0, 0xffff); // a word of the sensor's, as frames, video and parameters carry them
    const COUNT = whole(0, Number.MAX_SAFE_INTEGER);
    const INT = whole(-Number.MAX_SAFE_INTEGER, Number.MAX_SAFE_INTEGER);
    const WORDS = (v) => Array.isArray(v) && v.length <= 4096 && v.every(WORD);
    const PARAMETERS = (v) => isObject(v) && Object.keys(v).length <= 64 && Object.values(v).every(WORD);
    const NAME = (v) => v.length >= 1 && v.length <= 200;
    const FRAME_WORDS = ['Ledge', 'Redge', 'Mvalue', 'tVal', 'tTol', 'pix1', 'edcnt', 'mvstart', 'mvend',
                         'pixdelta', 'anaMax', 'anaMin', 'in0'];

    // leaf -> the fields a message must hold, each field's rule, and a rule
    // across fields.
    const SHAPES = {
        status: {needs: ['state'], fields: {state: SHORT, time: SHORT, port: TEXT, program: TEXT, dropped: COUNT,
                                            broker: text(300), instance: TEXT}},
        info: {needs: [], fields: {time: SHORT, firmware: TEXT, ccd: TEXT, pixels: COUNT, parameters: PARAMETERS}},
        frame: {needs: ['seq', 'time', 'Ledge', 'Redge', 'Mvalue', 'tVal', 'tTol'],
                fields: Object.assign({seq: COUNT, time: SHORT}, ...FRAME_WORDS.map((w) => ({[w]: WORD})))},
        video: {needs: ['time', 'x', 'y'], fields: {time: SHORT, x: WORDS, y: WORDS},
                across: (m) => m.x.length === m.y.length},
        event: {needs: ['time', 'kind'], fields: {time: SHORT, kind: SHORT, Mvalue: INT, lower: INT, upper: INT,
                                                 duration_ms: COUNT, extreme: INT, id: SHORT}},
    };

    // The message's fields of its topic's shape, or null when it is foreign.
    function shaped(leaf, m) {
        const shape = SHAPES[leaf];
        if (!isObject(m)) return null;
        const kept = {};
        for (const [field, fits] of Object.entries(shape.fields)) {
            if (!Object.hasOwn(m, field)) {
                if (shape.needs.includes(field)) return null;
            } else if (fits(m[field])) {
                kept[field] = m[field];
            } else {
                return null;
            }
        }
        return !shape.across || shape.across(kept) ? kept : null;
    }

    // --- faults of the page's own ------------------------------------------------
    // A drawing or a message that throws is passed over, counted and logged
    // once a place: one odd tile or event must not stop the others, and an
    // exception in mqtt.js's message callback stops the connection's stream.
    const faults = new Map(); // place -> count

    function guarded(place, work) {
        try {
            return work();
        } catch (e) {
            const n = (faults.get(place) || 0) + 1;
            faults.set(place, n);
            if (n === 1) console.error('plant view: ' + place + ' failed and was passed over (logged once)', e);
            return undefined;
        }
    }

    // --- drawing, at most once per animation frame ----------------------------
    const dirty = new Set();
    let drawPending = false;
    let listsDirty = false;
    let foreignDirty = false;

    // Every drawing costs the browser a layout, a paint and a composite of
    // its own besides the tiles it changes: with many sensors, fewer and
    // fuller drawings keep the page ahead of the frames. 25 a second is
    // still smooth to the eye and adds at most 40 ms.
    const DRAW_MS = 40;
    let drawnAt = 0;

    function schedule(name) {
        if (name !== undefined) dirty.add(name);
        if (!drawPending) {
            drawPending = true;
            const wait = DRAW_MS - (performance.now() - drawnAt);
            if (wait > 4) setTimeout(() => requestAnimationFrame(draw), wait);
            else requestAnimationFrame(draw);
        }
    }

    function draw() {
        drawPending = false;
        drawnAt = performance.now();
        const now = Date.now();
        for (const name of dirty) guarded('a tile', () => drawTile(sensors.get(name), now));
        if (dirty.size || listsDirty) guarded('the counts', drawCounts);
        if (listsDirty) drawEvents();
        if (foreignDirty) guarded('the foreign count', drawForeign);
        if (detailName !== null && (dirty.has(detailName) || listsDirty)) guarded('the detail', () => drawDetail(now));
        dirty.clear();
        listsDirty = foreignDirty = false;
    }

    // A sensor whose lamp would change without a message (a frame grows old).
    setInterval(() => {
        const now = Date.now();
        for (const s of sensors.values())
            if (s.tile.dataset.state !== lampState(s, now)) schedule(s.name);
    }, 100);

    function sparkOptions() {
        const quiet = {show: false};
        const line = (stroke) => ({stroke: stroke, width: 1, points: quiet});
        return {
            width: 80, height: 32, cursor: quiet, legend: quiet, select: quiet,
            axes: [quiet, quiet], scales: {x: {time: false}},
            series: [{}, line('#263238'), line('rgba(46,125,50,0.6)'), line('rgba(46,125,50,0.6)')],
            bands: [{series: [3, 2], fill: 'rgba(67,160,71,0.18)'}],
        };
    }

    function newSensor(name) {
        const tile = document.createElement('div');
        tile.className = 'tile';
        tile.dataset.sensor = name;
        tile.dataset.state = 'stale';
        tile.tabIndex = 0;
        tile.innerHTML =
            '<div class="name"><span class="lamp"></span><span></span></div>' +
            '<div class="value">–</div><div class="spark"></div><div class="fw"></div><div class="event"></div>';
        tile.querySelector('.name span:last-child').textContent = name;
        tile.addEventListener('click', () => openDetail(name));
        tile.addEventListener('keydown', (e) => e.key === 'Enter' && openDetail(name));
        const s = {
            name: name, tile: tile, status: null, statusText: '', brokerProblem: '', info: null, frame: null,
            frameAt: 0, lower: 0, upper: 0, lastEvent: null, eventIds: new Set(), video: null, sparkAt: 0,
            sparkLater: null,
            spark: [[], [], [], []],
            shown: {state: 'stale', value: null, title: null, fw: null, event: null},
            el: {value: tile.querySelector('.value'), fw: tile.querySelector('.fw'), event: tile.querySelector('.event')},
            trend: {t: [], m: [], l: [], r: [], lo: [], hi: []},
        };
        const after = [...sensors.keys()].filter((n) => n > name).sort()[0];
        tilesBox.insertBefore(tile, after === undefined ? null : sensors.get(after).tile);
        s.chart = new uPlot(sparkOptions(), s.spark, tile.querySelector('.spark'));
        sensors.set(name, s);
        applyFilter(s);
        return s;
    }

    // Text that did not change is not written again: a written text is a new
    // node, to be laid out and painted anew.
    function drawTile(s, now) {
        const t = s.tile;
        const shown = s.shown;
        const show = (key, value, write) => {
            if (shown[key] !== value) {
                write(value);
                shown[key] = value;
            }
        };
        show('state', lampState(s, now), (v) => (t.dataset.state = v));
        const probe = window.plantProbe; // scripts/bench-plant's figures, while it sets them up
        if (s.frame) {
            if (probe) {
                (probe.latency = probe.latency || []).push(now - Date.parse(s.frame.time));
                (probe.pageLatency = probe.pageLatency || []).push(now - s.frameAt);
            }
            t.dataset.seq = s.frame.seq;
            show('value', String(s.frame.Mvalue), (v) => (s.el.value.textContent = v));
            drawSpark(s, now);
        }
        show('title', [s.statusText, s.brokerProblem].filter(Boolean).join('\n'), (v) => (t.title = v));
        show('fw', s.info ? s.info.firmware : '', (v) => (s.el.fw.textContent = v));
        show('event', s.lastEvent ? clock(s.lastEvent.time) + ' ' + s.lastEvent.kind : '',
             (v) => (s.el.event.textContent = v));
    }

    function drawSpark(s, now) {
        if (now - s.sparkAt < SPARK_MS) {
            if (!s.sparkLater)
                s.sparkLater = setTimeout(() => {
                    s.sparkLater = null;
                    schedule(s.name);
                }, SPARK_MS - (now - s.sparkAt));
            return;
        }
        s.sparkAt = now;
        const x = s.spark[1].map((_, i) => i);
        s.chart.setData([x, s.spark[1], s.spark[2], s.spark[3]]);
    }

    function drawCounts() {
        let online = 0, out = 0, offline = 0;
        for (const s of sensors.values()) {
            if (s.status === 'online') online++;
            if (s.status === 'offline') offline++;
            if (s.tile.dataset.state === 'out') out++;
        }
        for (const [id, n] of [['count-online', online], ['count-out', out], ['count-offline', offline]])
            $(id).querySelector('b').textContent = n;
    }

    function drawEvents() {
        const lines = events.map((e) => guarded('an event line', () => eventLine(e)));
        guarded('the event list', () => $('events').replaceChildren(...lines.filter(Boolean)));
    }

    function eventLine(e) {
        const li = document.createElement('li');
        li.dataset.sensor = e.name;
        li.className = e.kind === 'out of tolerance' ? 'kind-out' : '';
        let text = clock(e.time) + ' ' + e.name + ': ' + e.kind;
        if (e.Mvalue !== undefined) text += ' (Mvalue ' + e.Mvalue + ')';
        if (e.duration_ms !== undefined) text += ', ' + (e.duration_ms / 1000).toFixed(1) + ' s, extreme ' + e.extreme;
        li.textContent = text;
        return li;
    }

    // "3 foreign messages", hidden while there is none; the last one's topic
    // in its tooltip tells where to look.
    let foreign = 0;
    let foreignTopic = '';

    function passOver(topic) {
        foreign++;
        foreignTopic = topic;
        foreignDirty = true;
        schedule();
    }

    function drawForeign() {
        const item = $('foreign');
        item.textContent = foreign + (foreign === 1 ? ' foreign message' : ' foreign messages');
        item.title = 'messages not of the monitors\' shape, passed over; the last on ' + foreignTopic;
        item.hidden = foreign === 0;
    }

    // "2026-12-08T01:12:20.301+00:00" -> "01:12:20"
    function clock(time) {
        return typeof time === 'string' ? time.slice(11, 19) : '';
    }

    // --- the detail view -------------------------------------------------------
    function openDetail(name) {
        detailName = name;
        $('detail').hidden = false;
        $('detail-name').textContent = name;
        const width = Math.min(window.innerWidth - 80, 1100);
        const line = (label, stroke, dash) => ({label: label, stroke: stroke, width: 1, dash: dash, points: {show: false}});
        detailTrend = new uPlot({
            width: width, height: 280,
            series: [{}, line('Mvalue', '#263238'), line('Ledge', '#1565c0', [4, 3]), line('Redge', '#6a1b9a', [4, 3]),
                     line('lower', '#2e7d32'), line('upper', '#2e7d32')],
            bands: [{series: [5, 4], fill: 'rgba(67,160,71,0.15)'}],
        }, [[], [], [], [], [], []], $('detail-trend'));
        detailVideo = new uPlot({
            width: width, height: 200, scales: {x: {time: false}},
            series: [{label: 'pixel'}, {label: 'sample', stroke: '#ef6c00', width: 1, points: {show: false}}],
        }, [[], []], $('detail-video'));
        guarded('the detail', () => drawDetail(Date.now()));
    }

    function closeDetail() {
        detailName = null;
        $('detail').hidden = true;
        for (const chart of [detailTrend, detailVideo]) if (chart) chart.destroy();
        detailTrend = detailVideo = null;
    }
    $('detail-close').addEventListener('click', closeDetail);
    document.addEventListener('keydown', (e) => e.key === 'Escape' && detailName !== null && closeDetail());

    function drawDetail(now) {
        const s = sensors.get(detailName);
        const i = s.info || {};
        $('detail-info').textContent = [s.statusText, i.firmware, i.ccd].filter(Boolean).join(' · ');
        const tr = s.trend;
        let from = 0;
        while (from < tr.t.length && tr.t[from] < (now - TREND_MS) / 1000) from++;
        const part = (a) => a.slice(from);
        detailTrend.setData([part(tr.t), part(tr.m), part(tr.l), part(tr.r), part(tr.lo), part(tr.hi)]);
        $('detail-trend').dataset.points = tr.t.length - from;
        $('detail-no-video').hidden = !!s.video;
        $('detail-video').hidden = !s.video;
        if (s.video) detailVideo.setData([s.video.x, s.video.y]);
        $('detail-video').dataset.samples = s.video ? s.video.y.length : 0;
    }

    // --- messages --------------------------------------------------------------
    // The publisher's JSON is UTF-8: a payload that is not is foreign.
    const utf8 = new TextDecoder('utf-8', {fatal: true});

    // mqtt.js's message callback: nothing thrown here may reach mqtt.js.
    function onMessage(topic, payload) {
        if (!guarded('a message', () => take(topic, payload))) passOver(topic);
    }

    // True when the message was of its topic's shape (or an empty one that
    // clears a retained message), false when it is foreign.
    function take(topic, payload) {
        const parts = topic.split('/');
        const name = parts[1];
        const leaf = parts[2];
        if (parts.length !== 3 || !NAME(name) || !Object.hasOwn(SHAPES, leaf)) return false;
        if (payload.length === 0 && leaf === 'status') {
            retire(name);
            return true;
        }
        if (payload.length === 0 && leaf === 'info') {
            forgetInfo(name);
            return true;
        }
        let m;
        try {
            m = JSON.parse(utf8.decode(payload));
        } catch (e) {
            return false; // not the publisher's JSON
        }
        const kept = shaped(leaf, m);
        if (kept === null) return false;
        const s = sensors.get(name) || newSensor(name);
        switch (leaf) {
        case 'status':
            s.status = kept.state;
            s.statusText = [kept.state, kept.port, kept.program].filter(Boolean).join(', ');
            s.brokerProblem = kept.broker || '';
            listsDirty = true;
            break;
        case 'info':
            s.info = kept;
            break;
        case 'frame':
            takeFrame(s, kept);
            break;
        case 'event':
            if (!takeEvent(s, kept)) return true;
            break;
        case 'video':
            s.video = kept;
            break;
        }
        schedule(name);
        return true;
    }

    // An event with an id the sensor sent before is the same event again (a
    // monitor that lost the broker sends what it was not sure went out): it
    // is taken once.
    function takeEvent(s, e) {
        if (e.id !== undefined) {
            if (s.eventIds.has(e.id)) return false;
            s.eventIds.add(e.id);
            if (s.eventIds.size > EVENT_IDS_KEPT) s.eventIds.delete(s.eventIds.values().next().value);
        }
        e.name = s.name; // the topic's, whatever the payload says
        s.lastEvent = e;
        events.unshift(e);
        events.length = Math.min(events.length, EVENTS_KEPT);
        listsDirty = true;
        return true;
    }

    // A cleared retained info (an empty message).
    function forgetInfo(name) {
        const s = sensors.get(name);
        if (!s) return;
        s.info = null;
        schedule(name);
    }

    // A sensor whose retained status was cleared (an empty message) is gone
    // from the plant: its tile goes too.
    function retire(name) {
        const s = sensors.get(name);
        if (!s) return;
        if (detailName === name) closeDetail();
        s.chart.destroy();
        s.tile.remove();
        sensors.delete(name);
        dirty.delete(name);
        listsDirty = true;
        schedule();
    }

    function takeFrame(s, f) {
        const band = toleranceBand(f.tVal, f.tTol);
        const probe = window.plantProbe; // frames taken, each sensor's first and last seq
        if (probe) {
            probe.frames = (probe.frames || 0) + 1;
            probe.first = probe.first || {};
            if (!(s.name in probe.first)) probe.first[s.name] = f.seq;
            (probe.last = probe.last || {})[s.name] = f.seq;
        }
        s.frame = f;
        s.frameAt = Date.now();
        s.lower = band.lower;
        s.upper = band.upper;
        for (const [a, v] of [[s.spark[1], f.Mvalue], [s.spark[2], band.lower], [s.spark[3], band.upper]]) {
            a.push(v);
            if (a.length > SPARK_FRAMES) a.shift();
        }
        const tr = s.trend;
        const row = [s.frameAt / 1000, f.Mvalue, f.Ledge, f.Redge, band.lower, band.upper];
        [tr.t, tr.m, tr.l, tr.r, tr.lo, tr.hi].forEach((a, k) => a.push(row[k]));
        // Drop what is older than ten minutes in batches, not frame by frame.
        let old = 0;
        while (old < tr.t.length && tr.t[old] < (s.frameAt - TREND_MS) / 1000) old++;
        if (old > 500) for (const a of Object.values(tr)) a.splice(0, old);
    }

    // --- the filter --------------------------------------------------------------
    function applyFilter(s) {
        const text = $('filter').value.trim().toLowerCase();
        s.tile.hidden = text !== '' && !s.name.toLowerCase().includes(text);
    }
    $('filter').addEventListener('input', () => sensors.forEach(applyFilter));

    // --- the broker ----------------------------------------------------------------
    function showBroker(state, text) {
        $('broker').dataset.broker = state;
        $('broker').textContent = text;
    }

    function savedLogin() {
        try {
            return JSON.parse(sessionStorage.getItem(LOGIN_KEY));
        } catch (e) {
            return null;
        }
    }

    // Anonymous first; a broker that refuses asks for the user and password,
    // which stay in this tab's session only.
    function connect(login) {
        const url = (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/mqtt';
        const options = {
            clientId: 'vexa-plant-' + Math.random().toString(16).slice(2, 10),
            reconnectPeriod: 1000, connectTimeout: 4000, clean: true, resubscribe: false,
        };
        if (login) {
            options.username = login.user;
            options.password = login.password;
        }
        showBroker('connecting', 'connecting');
        const c = mqtt.connect(url, options);
        client = c;
        c.on('connect', () => {
            showBroker('connected', 'broker connected');
            $('login').hidden = true;
            c.subscribe(TOPICS, {qos: 1});
        });
        c.on('message', onMessage);
        for (const e of ['offline', 'close']) c.on(e, () => client === c && showBroker('unreachable', 'broker unreachable'));
        c.on('error', (err) => {
            // CONNACK 4 (bad user name or password) and 5 (not authorised).
            if (err && (err.code === 4 || err.code === 5)) {
                c.end(true);
                if (client === c) refused(login);
            }
        });
    }

    function refused(login) {
        client = null;
        sessionStorage.removeItem(LOGIN_KEY);
        showBroker('refused', login ? 'wrong user or password' : 'login needed');
        $('login-message').textContent = login ? 'The broker refused user "' + login.user + '": wrong user or password.' : '';
        $('login').hidden = false;
        $(login ? 'password' : 'user').focus();
    }

    $('login').addEventListener('submit', (e) => {
        e.preventDefault();
        const login = {user: $('user').value, password: $('password').value};
        sessionStorage.setItem(LOGIN_KEY, JSON.stringify(login));
        $('login-message').textContent = '';
        connect(login);
    });

    connect(savedLogin());
})();
