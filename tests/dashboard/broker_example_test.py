#!/usr/bin/python3
"""The mosquitto example the package ships for the plant view, run as it is
with only its ports and file paths moved: who may read and write what on each
listener, the message size limit, and a fresh page with 1,000 sensors.

    tests/dashboard/broker_example_test.py [CONF [ACL [unittest options, e.g. -k anonymous]]]

CONF and ACL (empty: the default) default to
packaging/plant-view/mosquitto-plant-view.{conf,acl}.example.
The broker listens on loopback ports (its websockets listener binds every
interface whatever it is told, as the example says). The test's own two users,
an observer that reads everything and a filler that writes sensors' retained
messages, are added to the example's ACL, and a stranger to the password file
only.
"""
import ipaddress
import itertools
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

import paho.mqtt.client as mqtt

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '../../scripts'))
from plant import chromium, free_port, log_in, wait_for  # noqa: E402

EXAMPLES = os.path.join(HERE, '../../packaging/plant-view')
ARGS = sys.argv[1:3] + ['', '']  # an empty argument takes the default
CONF = os.path.abspath(ARGS[0] or os.path.join(EXAMPLES, 'mosquitto-plant-view.conf.example'))
ACL = os.path.abspath(ARGS[1] or os.path.join(EXAMPLES, 'mosquitto-plant-view.acl.example'))
PAGE = os.path.abspath(os.path.join(HERE, '../../dashboard'))

PAGE_USER, MONITOR, OTHER_MONITOR = 'shift', 'line3-edge', 'line4-edge'  # as the example's ACL names them
OBSERVER, FILLER = 'test-observer', 'test-filler'
STRANGER = 'stranger'  # in the password file, not in the ACL
TEST_ACL = f'\nuser {OBSERVER}\ntopic read #\n\nuser {FILLER}\ntopic write vexa-tb/#\n'
SIZE_LIMIT = 16 * 1024
SENSORS = 1000
ids = itertools.count()


def video_pass():
    """A video pass as a monitor publishes it: 256 positions and samples."""
    return json.dumps({'time': '2026-12-08T06:00:00.000+01:00', 'x': [1023 - 3 * k for k in range(256)],
                       'y': [1000 + k % 24 for k in range(256)]}, separators=(',', ':'))


class Client:
    """A paho client on one listener, connected (or refused) when made; what it
    receives, in order, as (topic, payload)."""

    def __init__(self, test, port, user=None, websockets=False, password=None):
        self.mqtt = mqtt.Client('test-%d' % next(ids), transport='websockets' if websockets else 'tcp',
                                reconnect_on_failure=False)
        if user:
            self.mqtt.username_pw_set(user, password or test.passwords[user])
        self.received, self.lock, self.connack, self.acked = [], threading.Lock(), [], set()
        self.mqtt.on_connect = lambda c, u, flags, rc: self.connack.append(rc)
        self.mqtt.on_subscribe = lambda c, u, mid, qos: self.acked.add(mid)
        self.mqtt.on_message = lambda c, u, m: self._take(m)
        self.mqtt.connect('127.0.0.1', port)
        self.mqtt.loop_start()
        test.addCleanup(self.close)
        self.rc = wait_for('the broker answers %s on %d' % (user, port), lambda: self.connack, 3)[0]

    def _take(self, message):
        with self.lock:
            self.received.append((message.topic, message.payload))

    def messages(self, topic=None):
        with self.lock:
            return [(t, p) for t, p in self.received if topic in (None, t)]

    def subscribe(self, *topics):
        _, mid = self.mqtt.subscribe([(t, 1) for t in topics])
        wait_for('the broker acknowledges the subscription to %s' % ', '.join(topics), lambda: mid in self.acked, 2)

    def publish(self, topic, payload, retain=False):
        """Publishes with QoS 1 and waits for the broker's acknowledgement: it
        has then routed or dropped the message."""
        self.publish_all([(topic, payload)], retain)

    def publish_all(self, messages, retain=False):
        """Publishes (topic, payload)s with QoS 1, many at a time, and waits
        for the broker's acknowledgement of each."""
        self.mqtt.max_inflight_messages_set(1000)
        sent = [self.mqtt.publish(topic, payload, 1, retain) for topic, payload in messages]
        wait_for('the broker acknowledges %d messages from %s on' % (len(sent), messages[0][0]),
                 lambda: all(s.is_published() for s in sent), 5)

    def close(self):
        self.mqtt.disconnect()
        self.mqtt.loop_stop()


class BrokerExampleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix='broker-example-')
        os.chmod(cls.folder, 0o755)  # mosquitto started as root reads its files as user mosquitto
        cls.mqtt_port, cls.ws_port = free_port(), free_port()
        users = (PAGE_USER, MONITOR, OTHER_MONITOR, OBSERVER, FILLER, STRANGER)
        cls.passwords = {user: user + '-secret' for user in users}
        password_file, acl_file = os.path.join(cls.folder, 'vexa-tb.passwd'), os.path.join(cls.folder, 'vexa-tb.acl')
        for user, password in cls.passwords.items():
            subprocess.run(['mosquitto_passwd', '-b'] + ['-c'] * (user == PAGE_USER) + [password_file, user, password],
                           check=True)
        with open(ACL) as example, open(acl_file, 'w') as acl:
            acl.write(example.read() + TEST_ACL)
        with open(CONF) as f:
            conf = f.read()
        # what the example says | what the test puts there
        for pattern, replacement in [
                (r'^listener 1883\b', 'listener %d' % cls.mqtt_port),
                (r'^listener 8080\b', 'listener %d' % cls.ws_port),
                (r'/etc/mosquitto/vexa-tb\.passwd\b', password_file),
                (r'/etc/mosquitto/vexa-tb\.acl\b', acl_file),
                (r'/usr/share/vexa-tb-scope/dashboard\b', PAGE)]:
            conf, n = re.subn(pattern, replacement, conf, flags=re.M)
            assert n, 'the example no longer holds ' + pattern
        for path in (password_file, acl_file):
            os.chmod(path, 0o644)
        cls.conf = os.path.join(cls.folder, 'mosquitto.conf')
        with open(cls.conf, 'w') as f:
            f.write(conf)
        log = os.path.join(cls.folder, 'mosquitto.log')
        with open(log, 'w') as f:
            cls.broker = subprocess.Popen(['mosquitto', '-c', cls.conf], stdout=subprocess.DEVNULL, stderr=f)
        for port in (cls.mqtt_port, cls.ws_port):
            wait_for('mosquitto listens on %d (see %s)' % (port, log), lambda: listening(port), 5)

    @classmethod
    def tearDownClass(cls):
        cls.broker.terminate()
        cls.broker.wait(10)
        shutil.rmtree(cls.folder, ignore_errors=True)

    def client(self, user=None, websockets=False):
        c = Client(self, self.ws_port if websockets else self.mqtt_port, user, websockets)
        self.assertEqual(c.rc, 0, '%s refused' % user)
        return c

    def observe(self):
        """A client that reads every topic, and a way to know that what was
        published before now has reached it: the monitor's own event, sent
        after every other publisher's acknowledgement, arrives after them."""
        observer = self.client(OBSERVER)
        observer.subscribe('#')
        monitor = self.client(MONITOR)
        marker = 'vexa-tb/%s/event' % MONITOR

        def settled():
            n = len(observer.messages(marker))
            monitor.publish(marker, b'{"time":"x","kind":"marker"}')
            wait_for('the marker reaches the observer', lambda: len(observer.messages(marker)) > n, 2)
            return [(t, p) for t, p in observer.messages() if t != marker]
        return settled

    def clear_retained(self, topics):
        self.client(FILLER).publish_all([(topic, b'') for topic in topics], retain=True)

    # --- the rules -------------------------------------------------------------
    def test_the_monitors_listener_binds_only_the_address_the_example_gives(self):
        self.assertEqual(listening(self.mqtt_port), {'127.0.0.1'})

    def test_anonymous_clients_and_wrong_passwords_are_refused_on_both_listeners(self):
        for websockets, (user, password) in itertools.product((False, True), [(None, None), (PAGE_USER, 'wrong')]):
            port = self.ws_port if websockets else self.mqtt_port
            self.assertEqual(Client(self, port, user, websockets, password).rc, 5, '%s on %d' % (user, port))

    def test_a_page_user_or_a_user_the_acl_does_not_name_publishes_nothing_on_either_listener(self):
        settled = self.observe()
        topics = ['vexa-tb/%s/status' % PAGE_USER,  # its own name
                  'vexa-tb/%s/status' % MONITOR,  # a sensor's
                  'vexa-tb/%s/info' % OTHER_MONITOR,
                  'plant/anything']  # outside the sensors
        self.addCleanup(self.clear_retained, topics)
        for user, websockets in itertools.product((PAGE_USER, STRANGER), (False, True)):
            page = self.client(user, websockets)
            for topic in topics:
                page.publish(topic, b'{"state":"online"}', retain=True)
        self.assertEqual(settled(), [])

    def test_a_monitor_writes_and_reads_its_own_sensor_only(self):
        settled = self.observe()
        cases = [  # topic, delivered
            ('vexa-tb/%s/status' % MONITOR, True), ('vexa-tb/%s/frame' % MONITOR, True),
            ('vexa-tb/%s/status' % OTHER_MONITOR, False), ('vexa-tb/%s/info' % OTHER_MONITOR, False),
            ('vexa-tb/%s-copy/status' % MONITOR, False), ('plant/anything', False)]
        self.addCleanup(self.clear_retained, [t for t, _ in cases])
        for websockets in (False, True):
            monitor = self.client(MONITOR, websockets)
            for topic, _ in cases:
                monitor.publish(topic, b'{"state":"online"}', retain=True)
        delivered = sorted({t for t, _ in settled()})
        self.assertEqual(delivered, sorted(t for t, ok in cases if ok))
        # It reads its own retained status back (to notice a second monitor
        # under its name), and no other sensor's.
        self.client(OTHER_MONITOR).publish('vexa-tb/%s/status' % OTHER_MONITOR, b'{"state":"online"}', retain=True)
        reader = self.client(MONITOR)
        reader.subscribe('vexa-tb/+/status', 'vexa-tb/%s/event' % MONITOR)
        reader.publish('vexa-tb/%s/event' % MONITOR, b'{"kind":"marker"}')
        wait_for('the reader\'s own event', lambda: reader.messages('vexa-tb/%s/event' % MONITOR), 2)
        self.assertEqual([t for t, _ in reader.messages() if t.endswith('/status')], ['vexa-tb/%s/status' % MONITOR])

    def test_a_message_over_16_KiB_is_dropped_and_a_video_pass_goes_through(self):
        settled = self.observe()
        monitor = self.client(MONITOR)
        cases = [(b'y' * (SIZE_LIMIT + 1), False), (b'y' * 1000000, False),  # payload, delivered
                 (b'y' * SIZE_LIMIT, True), (video_pass().encode(), True)]
        for payload, _ in cases:
            monitor.publish('vexa-tb/%s/video' % MONITOR, payload)
        self.assertEqual([len(p) for _, p in settled()], [len(p) for p, ok in cases if ok])

    def test_a_fresh_page_shows_1000_sensors_with_their_firmware(self):
        names = ['hall-%04d' % n for n in range(SENSORS)]
        topics = ['vexa-tb/%s/%s' % (name, leaf) for name in names for leaf in ('status', 'info')]
        self.addCleanup(self.clear_retained, topics)
        status = {'state': 'online', 'time': '2026-12-08T06:00:00.000+01:00', 'port': '/dev/ttyUSB0',
                  'program': 'vexa-tb-ctl 1.41', 'dropped': 0}
        info = {'time': '2026-12-08T06:00:00.000+01:00', 'pixels': 1024,
                'ccd': 'CCD-SENSOR: 1024 pixel; 7.8µm pixel-pitch, 8.0mm working range',
                'parameters': {'p%02d' % k: 512 + k for k in range(16)}}
        firmware = {name: 'V-EXA-TB firmware of ' + name for name in names}
        self.client(FILLER).publish_all(
            [('vexa-tb/%s/status' % name, json.dumps(status)) for name in names] +
            [('vexa-tb/%s/info' % name, json.dumps(dict(info, firmware=firmware[name]))) for name in names],
            retain=True)
        browser = chromium(self.folder)
        self.addCleanup(browser.quit)
        self.assertEqual(log_in(browser, 'http://127.0.0.1:%d/index.html' % self.ws_port,
                                PAGE_USER, self.passwords[PAGE_USER]), 'connected')
        shown = ('return [...document.querySelectorAll(".tile")].filter((t) => t.dataset.sensor.startsWith("hall-"))'
                 '.map((t) => [t.dataset.sensor, t.querySelector(".fw").textContent]);')
        tiles = wait_for('1,000 tiles with their firmware', lambda: (lambda t: sum(bool(fw) for _, fw in t) == SENSORS
                                                                     and t)(browser.execute_script(shown)), 20)
        self.assertEqual(dict(tiles), firmware)


def listening(port):
    """The local addresses of the listening TCP sockets on port."""
    found = set()
    for table in ('/proc/net/tcp', '/proc/net/tcp6'):
        with open(table) as f:
            for line in f.readlines()[1:]:
                local, state = line.split()[1], line.split()[3]
                address, local_port = local.split(':')
                if state == '0A' and int(local_port, 16) == port:  # 0A: LISTEN
                    raw = bytes.fromhex(address)  # 32-bit words, each in the host's (little-endian) order
                    words = [raw[i:i + 4][::-1] for i in range(0, len(raw), 4)]
                    found.add(str(ipaddress.ip_address(b''.join(words))))
    return found


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
