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
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from selenium.webdriver.common.by import By

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '../../scripts'))
from plant import Broker, chromium, log_in, wait_for  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, '../../build/dev'))
PAGE = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, '../../dashboard'))
USER, PASSWORD = 'plant', 'shift-lead-7'
HEADER = 'time,Ledge,Redge,Mvalue,tVal,tTol,pix1,edcnt,mvstart,mvend,pixdelta,anaMax,anaMin,in0'


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


class PlantViewTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix='plant-view-')
        cls.password_file = os.path.join(cls.folder, 'monitor.password')
        with open(cls.password_file, 'w') as f:
            f.write(PASSWORD + '\n')
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

    def test_a_wrong_password_says_so(self):
        self.open_page(password='not-' + PASSWORD)
        self.assertEqual(self.broker_state(), 'refused')
        self.assertIn('wrong user or password', self.browser.find_element(By.ID, 'login-message').text)
        self.assertTrue(self.browser.find_element(By.ID, 'login').is_displayed())
        self.assertIsNone(self.browser.execute_script('return sessionStorage.getItem("vexa-plant-login")'))


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
