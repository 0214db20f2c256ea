#!/usr/bin/env python3
"""The web console in a real browser: one headless Chromium (Selenium and
Debian's chromium-driver) against one `varn --headless --audio sim` with
eight lines. The overview lists every line and its figures move; an event
line the virtual programme makes shows on / within a second without a
reload; /events filters by line and kind; one line's page shows that
line alone, plays an archive file (its time advances, no media error) and
offers a time range as a WAV of the right length; no page logs an error to the console.

Usage: web_browser_test.py VARN_EXE   (VARN_WEB_SHOTS=DIR keeps screenshots
of / and /line/1 at a desktop and a phone width there)"""

import os
import re
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import io  # noqa: E402
import tempfile  # noqa: E402
import wave  # noqa: E402
from varn_web import Varn, archive_name, free_port, request, wait_until, write_wav  # noqa: E402

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select
except ImportError:
    webdriver = None

EXE = None
DEVICES = ["Sim Programme", "Sim Tone 1kHz", "Sim Pink Noise", "Sim Silence",
           "Sim Programme", "Sim Tone 1kHz", "Sim Pink Noise", "Sim Programme"]
EVENT_LINE = re.compile(r"^(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d) \S+ \S+ ch(\d) (?:[LR]ch )?(.+)$")


def driver_path():
    for p in ("/usr/bin/chromedriver", shutil.which("chromedriver") or ""):
        if p and os.path.exists(p):
            return p
    return None


@unittest.skipIf(webdriver is None or driver_path() is None,
                 "python3-selenium, chromium and chromium-driver are not installed "
                 "(scripts/setup.sh installs them)")
class WebBrowserTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.port = free_port()
        settings = "NumRec=8\n" + "".join(
            "DeviceName_%d=%s\nChName_%d=Line %d\n" % (i + 1, d, i + 1, i + 1)
            for i, d in enumerate(DEVICES))
        # An hour recorded earlier, for the archive part of /line/1.
        folder = tempfile.mkdtemp(prefix="varn-web-browser-")
        os.makedirs(os.path.join(folder, "varn_data", "ch1"))
        cls.archived, cls.archived_start = archive_name(7200)
        write_wav(os.path.join(folder, "varn_data", "ch1", cls.archived), 30)
        cls.varn = Varn(EXE, settings, ["--http", str(cls.port)], folder=folder)
        if not cls.varn.wait_for_err("console on "):
            raise RuntimeError(cls.varn.err())
        options = Options()
        for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                  "--window-size=1280,900", "--autoplay-policy=no-user-gesture-required"):
            options.add_argument(a)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.browser = webdriver.Chrome(service=Service(driver_path()), options=options)
        cls.base = "http://127.0.0.1:%d" % cls.port
        cls.shots = os.environ.get("VARN_WEB_SHOTS")

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.varn.stop()

    def errors(self):
        return [e for e in self.browser.get_log("browser") if e["level"] == "SEVERE"]

    def shoot(self, name):
        if not self.shots:
            return
        os.makedirs(self.shots, exist_ok=True)
        for width, height, kind in ((1280, 900, "desktop"), (390, 844, "phone")):
            self.browser.set_window_size(width, height)
            time.sleep(0.4)
            self.browser.save_screenshot(os.path.join(self.shots, "%s-%s.png" % (name, kind)))
        self.browser.set_window_size(1280, 900)

    def figures(self):
        return [e.text for e in self.browser.find_elements(By.CSS_SELECTOR, ".line .fig")]

    def test_1_overview_lists_every_line_with_moving_figures_and_new_events(self):
        b = self.browser
        b.get(self.base + "/")
        self.assertTrue(wait_until(lambda: len(b.find_elements(By.CSS_SELECTOR, ".line")) == 8, 5))
        names = [e.text for e in b.find_elements(By.CSS_SELECTOR, ".line .name")]
        self.assertEqual(names, ["Line %d" % i for i in range(1, 9)])
        devices = [e.text for e in b.find_elements(By.CSS_SELECTOR, ".line .device")]
        self.assertEqual(devices, DEVICES)
        states = {e.text for e in b.find_elements(By.CSS_SELECTOR, ".line .state")}
        self.assertEqual(states, {"録音中"})
        first = self.figures()
        self.assertTrue(wait_until(lambda: self.figures() != first, 2), first)
        # The silent line shows its low level, the tone its steady figures.
        self.assertTrue(wait_until(lambda: "レベル低下" in b.find_element(
            By.CSS_SELECTOR, '.line[data-channel="4"] .alarms').text, 15))
        self.assertEqual(b.find_element(By.CSS_SELECTOR, '.line[data-channel="2"] .fig-peak').text,
                         "-20.0")

        # An event line the programme makes (a click, a change, a silence)
        # is on the page within a second of varn printing it.
        seen = len(self.varn.out().splitlines())
        fresh = []

        def new_event():
            for line in self.varn.out().splitlines()[seen:]:
                m = EVENT_LINE.match(line)
                if m and m.group(3):
                    fresh.append((time.monotonic(), m.groups()))
                    return True
            return False
        self.assertTrue(wait_until(new_event, 20, 0.01), "no event line from the programme")
        printed, (local, channel, message) = fresh[0]

        def shown():  # one round trip to the browser a look
            return b.execute_script(
                "return [...document.querySelectorAll('#events li')].some((li) => "
                "li.textContent.includes(arguments[0]) && li.textContent.includes(arguments[1]) "
                "&& li.textContent.includes(arguments[2]));", local, "ch" + channel, message)
        self.assertTrue(wait_until(shown, 1.0, 0.02), (local, channel, message))
        self.assertLess(time.monotonic() - printed, 1.0)
        self.shoot("overview")
        self.assertEqual(self.errors(), [])

    def test_2_events_page_filters_by_line_and_kind(self):
        b = self.browser
        b.get(self.base + "/events")
        rows = lambda: b.find_elements(By.CSS_SELECTOR, "#log tbody tr")  # noqa: E731
        self.assertTrue(wait_until(lambda: len(rows()) > 8, 5))
        headers = [th.text for th in b.find_elements(By.CSS_SELECTOR, "#log th")]
        self.assertEqual(headers, ["ローカル時", "標準時", "系統", "ch", "内容"])
        Select(b.find_element(By.ID, "channel")).select_by_value("2")
        self.assertTrue(wait_until(
            lambda: rows() and {r.get_attribute("data-channel") for r in rows()} == {"2"}, 3))
        Select(b.find_element(By.ID, "channel")).select_by_value("")
        Select(b.find_element(By.ID, "kind")).select_by_value("record_start")
        self.assertTrue(wait_until(
            lambda: len(rows()) == 8 and {r.get_attribute("data-kind") for r in rows()} ==
            {"record_start"}, 3), [r.text for r in rows()])
        self.assertEqual(sorted(r.find_elements(By.TAG_NAME, "td")[2].text for r in rows()),
                         ["ch%d" % i for i in range(1, 9)])
        self.assertTrue(all(r.find_elements(By.TAG_NAME, "td")[4].text == "録音開始"
                            for r in rows()))
        days = Select(b.find_element(By.ID, "day")).options
        self.assertEqual(len(days), 1)
        self.assertEqual(self.errors(), [])

    def test_3_a_line_page_shows_that_line_alone(self):
        b = self.browser
        b.get(self.base + "/line/1")
        self.assertTrue(wait_until(lambda: b.find_elements(By.CSS_SELECTOR, ".line"), 5))
        self.assertTrue(wait_until(
            lambda: b.find_elements(By.CSS_SELECTOR, "#events li"), 15))
        self.assertEqual(len(b.find_elements(By.CSS_SELECTOR, ".line")), 1)
        self.assertEqual(b.find_element(By.CSS_SELECTOR, ".line .name").text, "Line 1")
        self.assertTrue(all("ch1" in li.text
                            for li in b.find_elements(By.CSS_SELECTOR, "#events li")))
        self.assertEqual(request(self.port, "/line/9")[0], 404)

        # The hour recorded earlier is listed; its play button plays it.
        row = '#files tr[data-name="%s"]' % self.archived
        self.assertTrue(wait_until(lambda: b.find_elements(By.CSS_SELECTOR, row), 5))
        b.find_element(By.CSS_SELECTOR, row + " button.play").click()
        player = "const a = document.getElementById('player'); "
        self.assertTrue(wait_until(lambda: b.execute_script(
            player + "return a.currentTime > 0.3 && !a.paused;"), 5),
            b.execute_script(player + "return [a.currentTime, a.error && a.error.message];"))
        self.assertIsNone(b.execute_script(player + "return a.error;"))
        self.assertTrue(b.execute_script(player + "return a.src;").endswith("/archive/ch1/" + self.archived))
        # A range of 12 s within it: the page's download link gives that WAV.
        b.execute_script("document.getElementById('to').value = arguments[0];"
                         "document.getElementById('to').dispatchEvent(new Event('change'));",
                         time.strftime("%Y-%m-%dT%H:%M:%S", time.localtime(time.mktime(
                             time.strptime(self.archived_start, "%Y-%m-%dT%H:%M:%S")) + 12)))
        href = b.find_element(By.ID, "range-download").get_attribute("href")
        self.assertIn("download=1", href)
        status, headers, body = request(self.port, href[len(self.base):])
        self.assertEqual(status, 200)
        self.assertIn("attachment", headers["content-disposition"])
        with wave.open(io.BytesIO(body)) as w:
            self.assertEqual((w.getnframes(), w.getframerate()), (12 * 48000, 48000))
        self.shoot("line1")
        self.assertEqual(self.errors(), [])


if __name__ == "__main__":
    EXE = sys.argv.pop(1)
    unittest.main(verbosity=2)
