#!/usr/bin/python3
"""The plant view in Debian's headless Chromium, served by mosquitto's own
websockets listener (http_dir) and fed by real `vexa-tb-ctl monitor`s of
simulated sensors.

    tests/dashboard/plant_view_test.py BUILD_DIR [PAGE_DIR [unittest options, e.g. -k offline]]

BUILD_DIR holds app/vexa-sim and app/vexa-tb-ctl; PAGE_DIR is the page's
folder (default: dashboard/ of this checkout). The broker listens on loopback
with a password file and no anonymous access on both listeners.
"""
import datetime
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import paho.mqtt.client as mqtt
from selenium.webdriver.common.by import By

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '../../scripts'))
from plant import Broker, chromium, log_in, wait_for  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, '../../build/dev'))
PAGE = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, '../../dashboard'))
USER, PASSWORD = 'plant', 'shift-lead-7'
HEADER = 'time,Ledge,Redge,Mvalue,tVal,tTol,pix1,edcnt,mvstart,mvend,pixdelta,anaMax,anaMin,in0'
TIME = '2026-12-08T06:00:00.000+01:00'
# What a page raises or logs from its load on: window.pageErrors.
ERROR_RECORDER = (
    'window.pageErrors = [];'
    'addEventListener("error", (e) => pageErrors.push("uncaught: " + e.message));'
    'addEventListener("unhandledrejection", (e) => pageErrors.push("unhandled: " + e.reason));'
    'const consoleError = console.error;'
    'console.error = (...a) => { pageErrors.push("logged: " + a.join(" ")); consoleError.apply(console, a); };')


def epoch(iso_time):
    return datetime.datetime.fromisoformat(iso_time).timestamp()


class Sensor:
    """A simulated sensor (replaying `frames` when given) and its monitor, publishing as `name`."""

    def __init__(self, test, name, frames=None, monitor_options=()):
        folder = test.folder
        self.name, self.procs = name, []
        link = os.path.join(folder, name + '.port')
        sim = [os.path.join(BUILD, 'app/vexa-sim'), '--link', link]
        if frames:
            replay = os.path.join(folder, name + '.csv')
            with open(replay, 'w') as f:
                f.write(HEADER + '\n' + ''.join(
                    '2026-12-08T06:00:00.000,%d,%d,%d,%d,%d,1,2,0,0,0,0,0,0\n' % (max(m - 100, 0), m, m, t, tol)
                    for m, t, tol in frames))
            sim += ['--replay', replay]
        self.sim = self._start(sim, test)
        wait_for('vexa-sim makes ' + link, lambda: os.path.exists(link), 5)
        self.started = time.time()
        self.monitor = self._start(
            [os.path.join(BUILD, 'app/vexa-tb-ctl'), '--port', link, 'monitor', '--publish',
             'mqtt://%s@127.0.0.1:%d' % (USER, test.broker.mqtt_port), '--name', name,
             '--password-file', test.password_file, *monitor_options], test)

    def _start(self, argv, test):
        proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        test.addCleanup(self._end, proc)
        return proc

    @staticmethod
    def _end(proc):
        if proc.poll() is None:
            proc.terminate()
        proc.wait(10)


class Subscriber:
    """mosquitto_sub on one sensor's topic; each message with its arrival time."""

    def __init__(self, test, topic):
        self.messages, self.lock = [], threading.Lock()
        self.proc = subprocess.Popen(
            ['stdbuf', '-oL', 'mosquitto_sub', '-p', str(test.broker.mqtt_port), '-u', USER, '-P', PASSWORD, '-t', topic],
            stdout=subprocess.PIPE, text=True)
        test.addCleanup(lambda: (self.proc.kill(), self.proc.wait(), self.proc.stdout.close()))
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            with self.lock:
                self.messages.append((time.time(), json.loads(line)))

    def received(self):
        with self.lock:
            return list(self.messages)


# --- misshapen messages, for the fuzz test -------------------------------------
# The monitors' messages (broker/README.md): leaf -> field -> kind, and the
# fields each must hold.
SHAPES = {
    'status': {'state': 'short', 'time': 'short', 'port': 'text', 'program': 'text', 'dropped': 'count',
               'broker': 'broker', 'instance': 'text'},
    'info': {'time': 'short', 'firmware': 'text', 'ccd': 'text', 'pixels': 'count', 'parameters': 'parameters'},
    'frame': dict({'seq': 'count', 'time': 'short'}, **{w: 'word' for w in HEADER.split(',')[1:]}),
    'video': {'time': 'short', 'x': 'words', 'y': 'words'},
    'event': {'time': 'short', 'kind': 'short', 'Mvalue': 'int', 'lower': 'int', 'upper': 'int', 'duration_ms': 'count',
              'extreme': 'int', 'id': 'short'},
}
NEEDS = {'status': ['state'], 'info': [], 'frame': ['seq', 'time', 'Ledge', 'Redge', 'Mvalue', 'tVal', 'tTol'],
         'video': ['time', 'x', 'y'], 'event': ['time', 'kind']}
LONGEST = {'short': 64, 'text': 200, 'broker': 300}
SAFE = 2 ** 53 - 1
# Debian's mosquitto 2.0.11 hands a websockets client about 4 KB a tenth of a
# second: payloads stay below that to keep thousands within seconds.
LONG = 3000


class Raw(bytes):
    """A value that goes into a message's JSON as these bytes: 1e999, NaN, deep nesting, text not in UTF-8."""


DEEP = Raw(b'[' * 1500 + b']' * 1500)
NOT_TEXT = [None, True, 7, 1.5, [], ['text'], {}, {'toString': 0}, DEEP]
NOT_NUMBER = [None, True, 'NaN', '7', 'Infinity', [], [7], {}, {'valueOf': 7}, DEEP]
WRONG = {  # kind: values not of it
    'word': NOT_NUMBER + [-1, 0x10000, 1.5, 2 ** 64, 1e308, Raw(b'1e999'), Raw(b'-1e999')],
    'count': NOT_NUMBER + [-1, 0.5, SAFE + 1, 2 ** 64, 1e308, Raw(b'1e999')],
    'int': NOT_NUMBER + [0.5, SAFE + 1, -SAFE - 1, -1e308, Raw(b'1e999'), Raw(b'-1e999')],
    'words': [None, True, 7, '1,2', {}, DEEP, [1, 'NaN'], [1, -1], [1.5], [[1]], [None], [{'valueOf': 7}]],
    'parameters': [None, True, 7, 'tVal=5', [], [7], DEEP, {'tVal': -1}, {'tVal': '5'}, {'tVal': None},
                   {'toString': {}}, {'p%d' % k: 0 for k in range(65)}],
}
for kind, longest in LONGEST.items():
    WRONG[kind] = NOT_TEXT + ['x' * (longest + 1), 'y' * LONG]


def dumps(message):
    """The message's JSON as bytes, its Raw values as they are."""
    raws = []

    def hold(value):
        raws.append(value)
        return '\x02%d' % (len(raws) - 1)
    text = json.dumps({k: hold(v) if isinstance(v, Raw) else v for k, v in message.items()},
                      ensure_ascii=False, separators=(',', ':'))
    return re.sub(rb'"\\u0002(\d+)"', lambda m: raws[int(m.group(1))], text.encode())


def fitting(rng, kind, samples):
    """A value of its kind, often on a bound."""
    if kind in LONGEST:
        return ''.join(rng.choice('aZ9 _:-<>"\\\té€') for _ in range(rng.choice([0, 1, 17, LONGEST[kind]])))
    if kind == 'word':
        return rng.choice([0, 0xffff, rng.randrange(0x10000)])
    if kind == 'count':
        return rng.choice([0, SAFE, rng.randrange(10 ** 9)])
    if kind == 'int':
        return rng.choice([-SAFE, SAFE, rng.randrange(-10 ** 6, 10 ** 6)])
    if kind == 'words':
        return [rng.randrange(0x10000) for _ in range(samples)]
    return {'p%d' % k: rng.randrange(0x10000) for k in range(rng.choice([0, 16, 64]))}  # parameters


def well_formed(rng, leaf):
    """A message of the leaf's shape, at times with fields a newer monitor adds."""
    samples = rng.choice([0, 1, 256])
    message = {field: fitting(rng, kind, samples) for field, kind in SHAPES[leaf].items()
               if field in NEEDS[leaf] or rng.random() < 0.7}
    if rng.random() < 0.3:
        message[rng.choice(['name', 'newer', 'unit'])] = rng.choice(
            ['another-sensor', Raw(b'1e999'), DEEP, None, {'a': [1]}, 'z' * LONG])
    return message


# Whole payloads that are not a JSON object in UTF-8.
CORRUPTIONS = [
    lambda rng, leaf, m: (lambda b: b[:rng.randrange(1, len(b))])(dumps(m)),  # cut short
    lambda rng, leaf, m: rng.choice([b'[' + dumps(m) + b']', b'42', b'"online"', b'null', b'true', b'[]', b'1.5']),
    lambda rng, leaf, m: dumps(dict(m, note=Raw(b'"\xc3\x28\xff"'))),  # not UTF-8
    lambda rng, leaf, m: dumps(dict(m, **{rng.choice(list(SHAPES[leaf])): Raw(b'NaN')})),  # not JSON
    lambda rng, leaf, m: bytes(DEEP),
    lambda rng, leaf, m: b'' if leaf not in ('status', 'info') else b'{',  # an empty one clears status and info
]


def misshapen(rng, leaf, message):
    """The well-formed message made foreign one way or another, as bytes."""
    way = rng.random()
    if way < 0.6:
        field = rng.choice(list(SHAPES[leaf]))
        message[field] = rng.choice(WRONG[SHAPES[leaf][field]])
    elif way < 0.7 and NEEDS[leaf]:
        del message[rng.choice(NEEDS[leaf])]
    elif way < 0.75 and leaf == 'video':
        message['y'] = message['y'] + [0]
    else:
        return rng.choice(CORRUPTIONS)(rng, leaf, message)
    return dumps(message)


class Publisher:
    """One MQTT connection that publishes in order (QoS 1) and, at the end,
    clears every retained message it left."""

    def __init__(self, test):
        self.client, self.retained = mqtt.Client(), set()
        self.client.username_pw_set(USER, PASSWORD)
        connected = threading.Event()
        self.client.on_connect = lambda *_: connected.set()
        self.client.connect('127.0.0.1', test.broker.mqtt_port)
        self.client.loop_start()
        test.addCleanup(self.close)
        wait_for("the test's publisher connects", connected.is_set, 5)

    def publish(self, topic, payload, retain=False):
        if retain:
            self.retained.add(topic)
        return self.client.publish(topic, payload, 1, retain)

    def close(self):
        for topic in self.retained:
            self.client.publish(topic, b'', 1, True).wait_for_publish(5)
        self.client.loop_stop()
        self.client.disconnect()


class PlantViewTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix='plant-view-')
        cls.password_file = os.path.join(cls.folder, 'monitor.password')
        with open(os.open(cls.password_file, os.O_WRONLY | os.O_CREAT, 0o600), 'w') as f:
            f.write(PASSWORD + '\n')  # for the monitor's eyes only: it refuses a file others may read
        cls.broker = Broker(cls.folder, USER, PASSWORD, PAGE)
        cls.broker.start()
        cls.browser = chromium(cls.folder)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.broker.stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    # --- the page --------------------------------------------------------------
    def open_page(self, password=PASSWORD):
        return log_in(self.browser, self.broker.url, USER, password)

    def broker_state(self):
        return self.browser.find_element(By.ID, 'broker').get_attribute('data-broker')

    def tile(self, name):
        """(state, seq, value text) of the sensor's tile, or None."""
        return self.browser.execute_script(
            'const t = document.querySelector(`.tile[data-sensor="${arguments[0]}"]`);'
            'return t && [t.dataset.state, Number(t.dataset.seq), t.querySelector(".value").textContent];', name)

    def count(self, what):
        return int(self.browser.find_element(By.CSS_SELECTOR, '#count-%s b' % what).text)

    def live(self, name, timeout):
        return wait_for(name + "'s tile shows live frames",
                        lambda: (self.tile(name) or [None])[0] in ('in', 'out') and self.tile(name), timeout)

    def drawing_on(self, name, seq):
        wait_for(name + "'s tile draws frames after %d" % seq,
                 lambda: (lambda t: t and t[0] in ('in', 'out') and t[1] > seq)(self.tile(name)), 3)

    def foreign(self):
        """(count, text, tooltip) of the header's foreign messages."""
        return self.browser.execute_script(
            'const f = document.getElementById("foreign");'
            'return [f.hidden ? 0 : parseInt(f.textContent), f.textContent, f.title]')

    def counted(self, count):
        return wait_for('%d foreign messages counted' % count, lambda: (lambda f: f[0] == count and f)(self.foreign()), 10)

    def listed(self):
        """(sensor, text) of every line of the event list."""
        return self.browser.execute_script(
            'return [...document.querySelectorAll("#events li")].map((li) => [li.dataset.sensor, li.textContent])')

    def record_errors(self):
        """Records what every page from now on raises or logs (window.pageErrors)."""
        script = self.browser.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': ERROR_RECORDER})
        self.addCleanup(self.browser.execute_cdp_cmd, 'Page.removeScriptToEvaluateOnNewDocument', script)

    def page_errors(self):
        return self.browser.execute_script('return window.pageErrors')

    # --- the rules -------------------------------------------------------------
    def test_a_tile_appears_within_2_s_of_a_monitors_start_sorted_by_name_counted_and_filtered(self):
        self.open_page()
        self.assertEqual(self.broker_state(), 'connected')
        online = self.count('online')
        late, early = Sensor(self, 'line2-edge'), Sensor(self, 'line1-edge')
        for s in (late, early):
            self.live(s.name, 2.0 - (time.time() - s.started))
        self.assertFalse(self.browser.find_element(By.ID, 'login').is_displayed())
        order = self.browser.execute_script(
            'return [...document.querySelectorAll(".tile")].map((t) => t.dataset.sensor)')
        self.assertEqual(order, sorted(order))
        self.browser.find_element(By.ID, 'filter').send_keys('line1')
        shown = lambda name: self.browser.find_element(By.CSS_SELECTOR, '[data-sensor="%s"]' % name).is_displayed()
        self.assertEqual((shown('line1-edge'), shown('line2-edge')), (True, False))
        wait_for('the header counts both online', lambda: self.count('online') == online + 2, 1)

    def test_the_value_follows_the_frames(self):
        self.open_page()
        frames = Subscriber(self, 'vexa-tb/follow/frame')
        s = Sensor(self, 'follow')
        self.live(s.name, 3)
        shown = []
        for _ in range(20):
            time.sleep(0.1)
            state, seq, text = self.tile(s.name)
            by_seq = wait_for('frame %d from the broker' % seq, lambda: (lambda got: seq in got and got)(
                {m['seq']: m['Mvalue'] for _, m in frames.received()}), 0.5)
            newest = max(by_seq)
            self.assertEqual(text, str(by_seq[seq]), 'frame %d' % seq)
            self.assertLessEqual(newest - seq, 5, 'the tile falls behind the frames')
            shown.append(seq)
        self.assertGreaterEqual(len(set(shown)), 15)

    def test_an_excursion_turns_the_tile_out_within_half_a_second_and_is_listed(self):
        self.open_page()
        # In the band 412..612 (612 is on its edge, inside), then out at 700.
        frames = [(500, 512, 100)] * 30 + [(612, 512, 100)] * 30 + [(700, 512, 100)] * 30
        events = Subscriber(self, 'vexa-tb/excursion/event')
        s = Sensor(self, 'excursion', frames)
        self.live(s.name, 3)
        self.browser.execute_script(
            'const t = document.querySelector(".tile[data-sensor=excursion]"); window.outAt = null;'
            'new MutationObserver(() => { if (t.dataset.state === "out" && window.outAt === null)'
            ' window.outAt = Date.now(); }).observe(t, {attributes: true});')
        at, event = wait_for('an "out of tolerance" event', lambda: next(
            (e for e in events.received() if e[1]['kind'] == 'out of tolerance'), None), 6)
        raised = epoch(event['time'])
        out_at = wait_for('the tile turns out', lambda: self.browser.execute_script('return window.outAt'), 1) / 1000
        self.assertGreaterEqual(out_at, raised - 0.05, 'the tile was out before the excursion')
        self.assertLessEqual(out_at - raised, 0.5)
        listed = wait_for('the event in the list', lambda: self.browser.execute_script(
            'const li = document.querySelector("#events li[data-sensor=excursion]"); return li && li.textContent'), 0.5)
        self.assertIn('out of tolerance', listed)
        self.assertLessEqual(time.time() - at, 1.0)

    def test_the_lamp_judges_by_the_band_clamped_to_1_and_1023_with_its_edges_inside(self):
        self.open_page()
        cases = [  # Mvalue, tVal, tTol: the lamp
            (612, 512, 100, 'in'), (613, 512, 100, 'out'), (412, 512, 100, 'in'), (411, 512, 100, 'out'),
            (1, 50, 100, 'in'), (0, 50, 100, 'out'), (1023, 1000, 100, 'in'), (1024, 1000, 100, 'out')]
        sensors = [(Sensor(self, 'band-%d' % k, [(m, t, tol)]), m, want) for k, (m, t, tol, want) in enumerate(cases)]
        for s, m, want in sensors:
            self.assertEqual(self.live(s.name, 5)[0::2], [want, str(m)], s.name)

    def test_many_sensors_draw_at_most_once_an_animation_frame_and_write_no_unchanged_text(self):
        self.open_page()
        sensors = [Sensor(self, 'pace-%d' % k) for k in range(8)]
        for s in sensors:
            self.live(s.name, 5)
        # Tile updates (observer callbacks) between animation frames: one draw
        # a frame at most, whatever comes in between. A tile's title and
        # firmware line stay as they are while only frames come: each text
        # written anew would lay the tiles out again.
        self.browser.execute_script(
            'window.pace = {frames: 0, draws: 0, rewrites: 0}; let n = 0;'
            'const tiles = document.getElementById("tiles");'
            'new MutationObserver(() => n++).observe(tiles,'
            ' {attributes: true, subtree: true, attributeFilter: ["data-seq"]});'
            'new MutationObserver((m) => (pace.rewrites += m.length)).observe(tiles,'
            ' {attributes: true, attributeFilter: ["title"], subtree: true});'
            'for (const fw of tiles.querySelectorAll(".fw")) new MutationObserver((m) => (pace.rewrites += m.length))'
            '.observe(fw, {childList: true, characterData: true, subtree: true});'
            'const tick = () => { pace.draws += n; n = 0; if (++pace.frames < 120) requestAnimationFrame(tick); };'
            'requestAnimationFrame(tick);')
        pace = wait_for('120 animation frames', lambda: (lambda p: p['frames'] >= 120 and p)(
            self.browser.execute_script('return window.pace')), 10)
        self.assertGreater(pace['draws'], 20, 'the tiles follow the frames')
        self.assertLessEqual(pace['draws'], pace['frames'] + 1, pace)
        self.assertEqual(pace['rewrites'], 0, 'unchanged titles or firmware lines written again')

    def test_a_click_opens_the_detail_with_the_trend_and_the_video_signal(self):
        self.open_page()
        s = Sensor(self, 'detail', monitor_options=['--video'])
        self.live(s.name, 5)
        self.browser.find_element(By.CSS_SELECTOR, '.tile[data-sensor="detail"]').click()
        shown = ('const d = (id) => document.getElementById(id);'
                 'return !d("detail").hidden && d("detail-name").textContent === "detail" && !d("detail-video").hidden'
                 ' && [Number(d("detail-trend").dataset.points), Number(d("detail-video").dataset.samples)];')
        points, samples = wait_for('the detail with trend and video', lambda: self.browser.execute_script(shown), 5)
        self.assertEqual(samples, 256)
        wait_for('the trend grows', lambda: self.browser.execute_script(shown)[0] > points, 3)
        self.browser.find_element(By.ID, 'detail-close').click()
        self.assertFalse(self.browser.find_element(By.ID, 'detail').is_displayed())

    def test_a_killed_monitor_turns_its_tile_offline(self):
        self.open_page()
        s = Sensor(self, 'killed')
        self.live(s.name, 3)
        offline = self.count('offline')
        s.monitor.send_signal(signal.SIGKILL)
        wait_for('the tile turns offline', lambda: self.tile(s.name)[0] == 'offline', 3)
        wait_for('the header counts it offline', lambda: self.count('offline') == offline + 1, 1)

    def test_a_broker_restart_shows_broker_unreachable_then_recovers_without_a_reload(self):
        self.open_page()
        s = Sensor(self, 'restart')
        seq = self.live(s.name, 3)[1]
        self.browser.execute_script('window.sameLoad = true')
        self.addCleanup(self.broker.running)
        self.broker.stop()
        wait_for('"broker unreachable"', lambda: self.browser.find_element(By.ID, 'broker').text == 'broker unreachable', 3)
        time.sleep(1.5)
        self.assertEqual(self.tile(s.name)[0], 'stale')
        self.broker.start()
        wait_for('the page connects again', lambda: self.broker_state() == 'connected', 10)
        wait_for('new frames on the tile', lambda: self.tile(s.name)[0] in ('in', 'out') and self.tile(s.name)[1] > seq, 15)
        self.assertTrue(self.browser.execute_script('return window.sameLoad === true'), 'the page was reloaded')

    def retain_status(self, names, payload):
        """Retained status messages as monitors leave them; None clears them."""
        message = ['-n'] if payload is None else ['-m', payload]
        for proc in [subprocess.Popen(['mosquitto_pub', '-p', str(self.broker.mqtt_port), '-u', USER, '-P', PASSWORD,
                                       '-r', '-q', '1', '-t', 'vexa-tb/%s/status' % name] + message)
                     for name in names]:
            self.assertEqual(proc.wait(10), 0)

    def test_a_hundred_sensors_fit_a_1920x1080_screen_a_phone_lists_them_and_cleared_ones_go(self):
        self.open_page()
        names = ['hall-%03d' % n for n in range(100)]
        self.retain_status(names, '{"state": "online"}')
        self.addCleanup(self.retain_status, names, None)
        self.browser.find_element(By.ID, 'filter').send_keys('hall-')
        layout = ('const tiles = [...document.querySelectorAll(".tile")].filter((t) => !t.hidden);'
                  'const r = tiles.map((t) => t.getBoundingClientRect());'
                  'return {count: tiles.length, right: Math.max(...r.map((b) => b.right)),'
                  ' bottom: Math.max(...r.map((b) => b.bottom)), lefts: new Set(r.map((b) => b.left)).size,'
                  ' narrowest: Math.min(...r.map((b) => b.width)), width: innerWidth, height: innerHeight,'
                  ' scroll: document.documentElement.scrollWidth};')
        wide = wait_for('100 tiles', lambda: (lambda l: l['count'] == 100 and l)(self.browser.execute_script(layout)), 5)
        self.assertLessEqual(wide['right'], wide['width'], wide)
        self.assertLessEqual(wide['bottom'], wide['height'], wide)
        metrics = lambda w, h, mobile: self.browser.execute_cdp_cmd(
            'Emulation.setDeviceMetricsOverride', {'width': w, 'height': h, 'deviceScaleFactor': 1, 'mobile': mobile})
        metrics(390, 844, True)
        self.addCleanup(metrics, 1920, 1080, False)
        phone = self.browser.execute_script(layout)
        self.assertEqual(phone['lefts'], 1, 'one list')
        self.assertGreaterEqual(phone['narrowest'], 0.9 * phone['width'], phone)
        self.assertLessEqual(phone['scroll'], phone['width'], 'nothing sideways')
        self.retain_status(names[:50], None)
        wait_for('the cleared sensors\' tiles go', lambda: self.browser.execute_script(layout)['count'] == 50, 3)

    def test_names_and_texts_from_the_broker_stay_text_and_foreign_messages_are_passed_over(self):
        self.open_page()
        odd = '<img src=x onerror=window.planted=1>'
        self.retain_status(['foreign-1', 'foreign-2'], '42')
        self.retain_status([odd], '{"state": "online", "port": "<b>ttyS0</b>"}')
        self.addCleanup(self.retain_status, ['foreign-1', 'foreign-2', odd], None)
        names = wait_for('the odd name\'s tile', lambda: (lambda n: odd in n and n)(self.browser.execute_script(
            'return [...document.querySelectorAll(".tile .name")].map((e) => e.textContent)')), 3)
        self.assertNotIn('foreign-1', names)
        self.assertEqual(self.browser.execute_script(
            'return [window.planted, document.querySelectorAll("#tiles img, #tiles b").length]'), [None, 0])

    # --- what anyone who may publish under vexa-tb/ sends ----------------------
    GOOD_FRAME = {'seq': '1', 'time': json.dumps(TIME), 'Ledge': '400', 'Redge': '600', 'Mvalue': '500',
                  'tVal': '512', 'tTol': '100'}

    @staticmethod
    def raw_object(fields, **changed):
        """A JSON object from fields given as JSON texts, so that 1e999 stays 1e999."""
        return '{' + ','.join('"%s":%s' % item for item in dict(fields, **changed).items()) + '}'

    def test_misshapen_messages_of_each_topic_are_passed_over_and_counted_while_a_good_sensor_draws_on(self):
        frame, event = self.GOOD_FRAME, {'time': json.dumps(TIME), 'kind': '"out of tolerance"'}
        foreign = [  # leaf, payload: what is wrong with it
            ('status', self.raw_object({'state': '{"toString":0}'})),  # a state that throws when made text
            ('status', '{"port":"ttyS0"}'),  # no state
            ('status', '{"state":"online","dropped":-1}'),
            ('status', '{"state":"online","broker":"%s"}' % ('b' * 301)),
            ('status', 'null'),
            ('info', '{"firmware":["V1.0"]}'),
            ('info', '{"parameters":{"tVal":65536}}'),
            ('frame', self.raw_object(frame, tVal='{"toString":0}')),  # a limit that throws when counted with
            ('frame', self.raw_object(frame, Mvalue='1e999')),
            ('frame', self.raw_object(frame, seq='"12"')),
            ('frame', self.raw_object({k: v for k, v in frame.items() if k != 'Mvalue'})),
            ('frame', ''),
            ('video', '{"time":"%s","x":[0,1],"y":[5]}' % TIME),
            ('video', '{"time":"%s","x":[0],"y":["5"]}' % TIME),
            ('video', '{"time":"%s","x":%s,"y":%s}' % (TIME, [0] * 4097, [0] * 4097)),
            ('event', self.raw_object(event, kind='{"toString":0}')),  # a kind that throws when written
            ('event', self.raw_object(event, Mvalue='1.5')),
            ('event', self.raw_object(event, id='"%s"' % ('i' * 65))),
            ('event', '{"time":'),
            ('event', '[%s]' % self.raw_object(event)),
            ('event', self.raw_object(event, kind='"out \xff"').encode('latin-1')),  # not UTF-8
        ]
        self.record_errors()
        self.open_page()
        s = Sensor(self, 'steady')
        seq = self.live(s.name, 5)[1]
        self.assertEqual(self.foreign()[0], 0)
        publisher = Publisher(self)
        for n, (leaf, payload) in enumerate(foreign, 1):
            topic = 'vexa-tb/odd/' + leaf
            publisher.publish(topic, payload)
            _, text, title = self.counted(n)
            self.assertEqual(text, '%d foreign message%s' % (n, '' if n == 1 else 's'))
            self.assertTrue(title.endswith(' ' + topic), title)
        # Empty ones clear a retained info or status (its sensor leaves): not foreign.
        publisher.publish('vexa-tb/leaving/status', '{"state":"online"}')
        wait_for("the leaving sensor's tile", lambda: self.tile('leaving'), 3)
        for leaf in ('info', 'status'):
            publisher.publish('vexa-tb/leaving/' + leaf, b'')
        publisher.publish('vexa-tb/odd/frame', 'null')
        wait_for('the foreign frame after them', lambda: self.foreign()[2].endswith('odd/frame'), 3)
        self.assertEqual(self.foreign()[0], len(foreign) + 1)
        self.assertIsNone(self.tile('leaving'))
        self.drawing_on(s.name, seq)
        self.assertIsNone(self.tile('odd'))
        self.assertEqual(self.page_errors(), [])

    def test_a_retained_foreign_status_is_passed_over_on_every_load_and_the_page_draws_on(self):
        self.record_errors()
        Publisher(self).publish('vexa-tb/p/status', '{"state":{"toString":0}}', retain=True).wait_for_publish(5)
        s = Sensor(self, 'beside-foreign')
        self.open_page()
        for load in ('opened', 'reloaded'):
            if load == 'reloaded':
                self.browser.refresh()
            self.drawing_on(s.name, self.live(s.name, 5)[1])
            _, text, title = self.counted(1)
            self.assertEqual(text, '1 foreign message', load)
            self.assertIn('vexa-tb/p/status', title, load)
            self.assertIsNone(self.tile('p'), load)
            self.assertEqual(self.page_errors(), [], load)

    def test_an_events_sensor_is_its_topics_and_one_sent_again_with_its_id_is_listed_once(self):
        self.open_page()
        sent = [  # sensor of the topic, id, Mvalue, the payload's name
            ('resent', 'a', 701, None), ('resent', 'a', 701, None), ('resent', 'b', 702, None),
            ('resent', None, 703, None), ('resent', None, 703, None),  # without id: kept as they come
            ('resent-2', 'a', 704, None), ('claimer', None, 705, 'victim')]
        publisher = Publisher(self)
        for sensor, id_, mvalue, claim in sent:
            event = {'time': TIME, 'kind': 'out of tolerance', 'Mvalue': mvalue}
            event.update({k: v for k, v in (('id', id_), ('name', claim)) if v})
            publisher.publish('vexa-tb/%s/event' % sensor, json.dumps(event))
        mvalue_of = lambda text: int(re.search(r'Mvalue (\d+)', text).group(1))
        lines = wait_for('the last event listed', lambda: (lambda l: any('Mvalue 705' in t for _, t in l) and l)(
            [(sensor, text) for sensor, text in self.listed() if 'Mvalue 70' in text]), 3)
        self.assertEqual([(sensor, mvalue_of(text)) for sensor, text in reversed(lines)],
                         [('resent', 701), ('resent', 702), ('resent', 703), ('resent', 703), ('resent-2', 704),
                          ('claimer', 705)])
        self.assertIn(' claimer: out of tolerance', lines[0][1])
        self.assertIsNone(self.tile('victim'))

    def test_a_status_shows_the_monitors_broker_problem_after_the_status_text_and_takes_newer_fields(self):
        self.open_page()
        Publisher(self).publish('vexa-tb/newer/status', json.dumps(
            {'state': 'online', 'port': 'ttyUSB0', 'program': 'vexa-tb-ctl 1.1', 'dropped': 0, 'instance': 'b7e2',
             'broker': 'broker unreachable: connection refused', 'uptime_s': 12}), retain=True)
        title = wait_for("the newer monitor's tile", lambda: self.browser.execute_script(
            'const t = document.querySelector(".tile[data-sensor=newer]"); return t && t.title'), 3)
        self.assertEqual(title, 'online, ttyUSB0, vexa-tb-ctl 1.1\nbroker unreachable: connection refused')
        self.assertEqual(self.foreign()[0], 0)

    def test_a_drawing_that_throws_passes_over_its_tile_event_or_detail_and_the_rest_draws_on(self):
        self.record_errors()
        self.open_page()
        s = Sensor(self, 'guard-live')
        self.live(s.name, 5)
        # A fault of the page's own, planted: writing a text with "poison" in it throws.
        self.browser.execute_script(
            'const d = Object.getOwnPropertyDescriptor(Node.prototype, "textContent");'
            'Object.defineProperty(Node.prototype, "textContent", {configurable: true, get: d.get,'
            ' set(v) { if (String(v).includes("poison")) throw new Error("poisoned"); d.set.call(this, v); }});')
        publisher = Publisher(self)
        publisher.publish('vexa-tb/guard/info', '{"firmware":"poison"}')
        publisher.publish('vexa-tb/guard/event', '{"time":"%s","kind":"poison"}' % TIME)
        publisher.publish('vexa-tb/poison/status', '{"state":"online"}')  # its tile's name throws
        publisher.publish('vexa-tb/guard-2/event', '{"time":"%s","kind":"back in tolerance","Mvalue":5}' % TIME)
        listed = wait_for('the event after the poisoned ones listed', lambda: (
            lambda sensors: 'guard-2' in sensors and sensors)([sensor for sensor, _ in self.listed()]), 3)
        self.assertNotIn('guard', listed)
        self.browser.find_element(By.CSS_SELECTOR, '.tile[data-sensor="guard"]').click()
        self.drawing_on(s.name, self.tile(s.name)[1])
        logged = [re.sub(r'^logged: plant view: (.*) failed.*', r'\1', e) for e in self.page_errors()]
        self.assertEqual(sorted(logged), ['a message', 'a tile', 'an event line', 'the detail'],
                         'each once, nothing uncaught')
        self.assertEqual(self.foreign()[0], 1, 'the message whose tile could not be made')

    def test_thousands_of_misshapen_messages_are_counted_and_the_good_sensors_draw_on(self):
        seed = int(os.environ.get('PLANT_FUZZ_SEED', '20261208'))
        replay = 'seed %d; PLANT_FUZZ_SEED=%d replays it' % (seed, seed)
        rng = random.Random(seed)
        self.record_errors()
        self.open_page()
        live = Sensor(self, 'fuzz-live')
        self.live(live.name, 5)
        publisher = Publisher(self)
        names = ['fuzz-%d' % k for k in range(12)]
        bad, retained = 0, {}  # retained: topic -> is its last retained message foreign
        for batch in range(10):
            for _ in range(600):
                leaf = rng.choice(list(SHAPES))
                foreign = rng.random() < 0.85
                message = well_formed(rng, leaf)
                payload = misshapen(rng, leaf, message) if foreign else dumps(message)
                # Foreign frames, events and video also on the live sensor's own topics.
                name = rng.choice(names + ([live.name] if foreign and leaf in ('frame', 'event', 'video') else []))
                retain = (name != live.name and payload != b''
                          and rng.random() < (0.3 if leaf in ('status', 'info') else 0.02))
                topic = 'vexa-tb/%s/%s' % (name, leaf)
                publisher.publish(topic, payload, retain)
                bad += foreign
                if retain:
                    retained[topic] = foreign
            if batch == 4:  # a well-formed sensor in the middle of it
                publisher.publish('vexa-tb/fuzz-good/status', '{"state":"online","port":"ttyUSB9"}', retain=True)
                publisher.publish('vexa-tb/fuzz-good/info', '{"firmware":"V-EXA-TB 2.07"}', retain=True)
            wait_for('%d foreign messages counted (%s)' % (bad, replay), lambda: self.foreign()[0] == bad, 10)
        firmware = ('const t = document.querySelector(".tile[data-sensor=fuzz-good]");'
                    'return t && t.querySelector(".fw").textContent')
        for load in ('published', 'reloaded'):
            if load == 'reloaded':
                self.browser.refresh()
                self.live(live.name, 5)
                bad = sum(retained.values())
                wait_for('%d retained foreign messages counted (%s)' % (bad, replay),
                         lambda: self.foreign()[0] == bad, 5)
            self.drawing_on(live.name, self.tile(live.name)[1])
            self.assertEqual(wait_for('the well-formed sensor', lambda: self.browser.execute_script(firmware), 3),
                             'V-EXA-TB 2.07', load)
            self.assertEqual(self.page_errors(), [], '%s (%s)' % (load, replay))

    def test_a_wrong_password_says_so(self):
        self.open_page(password='not-' + PASSWORD)
        self.assertEqual(self.broker_state(), 'refused')
        self.assertIn('wrong user or password', self.browser.find_element(By.ID, 'login-message').text)
        self.assertTrue(self.browser.find_element(By.ID, 'login').is_displayed())
        self.assertIsNone(self.browser.execute_script('return sessionStorage.getItem("vexa-plant-login")'))


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
