"""What scripts/demo-plant and the plant view's tests share: a mosquitto on
loopback that serves the page, and the page in Debian's headless Chromium."""
import os
import socket
import subprocess
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

PAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'dashboard')


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def wait_for(what, probe, timeout, step=0.02):
    """probe() until it returns something true; its value, or a failure naming what."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError('not within %.1f s: %s' % (timeout, what))
        time.sleep(step)


class Broker:
    """mosquitto with an MQTT listener for the monitors and a websockets
    listener that serves the page from http_dir, both on loopback and both
    with a password file (the websockets listener binds every interface
    whatever its address says, so anonymous clients are refused there)."""

    def __init__(self, folder, user, password, page=PAGE):
        self.folder, self.mqtt_port, self.ws_port = folder, free_port(), free_port()
        self.proc = None
        os.chmod(folder, 0o755)  # mosquitto started as root reads its files as user mosquitto
        passwords = os.path.join(folder, 'passwords')
        subprocess.run(['mosquitto_passwd', '-b', '-c', passwords, user, password], check=True)
        self.conf = os.path.join(folder, 'mosquitto.conf')
        with open(self.conf, 'w') as f:
            f.write('per_listener_settings true\n'
                    f'listener {self.mqtt_port} 127.0.0.1\npassword_file {passwords}\nallow_anonymous false\n'
                    f'listener {self.ws_port} 127.0.0.1\nprotocol websockets\nhttp_dir {os.path.abspath(page)}\n'
                    f'password_file {passwords}\nallow_anonymous false\n')
        self.url = 'http://127.0.0.1:%d/index.html' % self.ws_port

    def start(self):
        with open(os.path.join(self.folder, 'mosquitto.log'), 'a') as log:
            self.proc = subprocess.Popen(['mosquitto', '-c', self.conf], stdout=subprocess.DEVNULL, stderr=log)
        for port in (self.mqtt_port, self.ws_port):
            wait_for('mosquitto listens on %d' % port, lambda: self._listens(port), 5)

    @staticmethod
    def _listens(port):
        try:
            socket.create_connection(('127.0.0.1', port), 0.2).close()
            return True
        except OSError:
            return False

    def running(self):
        if self.proc is None:
            self.start()

    def stop(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(10)
            self.proc = None


def chromium(folder, size='1920,1080'):
    """Headless Chromium with a new profile in folder, kept off the network
    beyond what the page asks for."""
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for arg in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                '--window-size=' + size, '--user-data-dir=' + os.path.join(folder, 'chromium')):
        options.add_argument(arg)
    browser = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    width, height = (int(n) for n in size.split(','))
    browser.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                            {'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': False})
    return browser


def log_in(browser, url, user, password):
    """Opens the page afresh (an empty session), logs in and waits for the
    broker's answer: "connected" or "refused"."""
    browser.get(url)
    browser.execute_script('sessionStorage.clear()')
    browser.refresh()
    wait_for('the page asks for a user and password', lambda: browser.find_element(By.ID, 'login').is_displayed(), 5)
    browser.find_element(By.ID, 'user').send_keys(user)
    browser.find_element(By.ID, 'password').send_keys(password)
    browser.find_element(By.CSS_SELECTOR, '#login button').click()

    def answer():
        state = browser.find_element(By.ID, 'broker').get_attribute('data-broker')
        return state if state in ('connected', 'refused') else None
    return wait_for('the broker answers the login', answer, 5)
