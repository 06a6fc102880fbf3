#!/usr/bin/env python3
"""The panel in a real browser (headless Chromium through its driver) while
the example front end runs in the virtual router: the page's screen is the
frame buffer pixel for pixel, a click on the page is a touch the toolkit
handles, the lock pad takes a PIN through clicks, and a screenshot saved
from the page is the screen. Then the device pane beside the screen, with a
small application that shows the home's door sensor: a click on the door's
control reaches the application's callback and its screen.

    browser_test.py --panel BUILD/router-panel --app BUILD/examples/halvix_demo [--target]
                    [--door-app BUILD/sim/panel/door-screen]
"""
import argparse
import fcntl
import glob
import os
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

from selenium import webdriver
from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

W, H = 320, 240
ARGS = None
# qemu and a loaded machine are slow; every wait is for an event, this is
# only how long before a wait counts as failed.
PATIENCE = 120


def widen(v):
    r, g, b = v >> 11, (v >> 5) & 63, v & 31
    return ((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2))


def read_fb(path):
    """(frame, panel, RGB bytes) as one request left them (shared lock)."""
    with open(path, "rb") as f:
        fcntl.flock(f, fcntl.LOCK_SH)
        data = f.read(64 + W * H * 2)
        fcntl.flock(f, fcntl.LOCK_UN)
    words = struct.unpack("<16I", data[:64])
    pixels = struct.unpack("<%dH" % (W * H), data[64:])
    rgb = bytearray()
    for v in pixels:
        rgb.extend(widen(v))
    return words[12], words[5], bytes(rgb)


def png_rgb(path):
    """The RGB bytes of an 8-bit RGB or RGBA PNG without interlacing."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, width, height, ctype = 8, b"", 0, 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and ctype in (2, 6) and interlace == 0
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    bpp = 3 if ctype == 2 else 4
    raw, stride, out, prev = zlib.decompress(idat), width * bpp, bytearray(), bytearray(width * bpp)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        prev = line
        for x in range(width):
            out.extend(line[x * bpp:x * bpp + 3])
    return width, height, bytes(out)


class Panel(unittest.TestCase):
    APP = None  # the command the router runs, and what it prints once it shows its screen
    SHOWN = "home screen shown"

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.state = os.path.join(cls.dir.name, "run")
        cls.downloads = os.path.join(cls.dir.name, "downloads")
        os.makedirs(cls.downloads)
        cls.out_path = os.path.join(cls.dir.name, "app.out")
        cls.out = open(cls.out_path, "w")
        command = [ARGS.panel] + (["--target"] if ARGS.target else []) + \
                  ["--home", "--state", cls.state, "--"] + (cls.APP or [ARGS.app, "--front-end"])
        cls.router = subprocess.Popen(command, stdout=cls.out, stderr=subprocess.STDOUT, start_new_session=True)
        cls.wait_output(cls.SHOWN)
        with open(os.path.join(cls.state, "panel-url")) as f:
            cls.url = f.read().strip()
        options = webdriver.ChromeOptions()
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                    "--window-size=1400,1100", "--force-device-scale-factor=1"):
            options.add_argument(arg)
        options.binary_location = "/usr/bin/chromium"
        cls.browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.browser.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": cls.downloads})
        cls.browser.get(cls.url)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        os.killpg(cls.router.pid, signal.SIGTERM)
        cls.router.wait(timeout=60)
        cls.out.close()
        cls.dir.cleanup()

    @classmethod
    def output(cls):
        with open(cls.out_path) as f:
            return f.read()

    @classmethod
    def wait_output(cls, text, after=0):
        deadline = time.monotonic() + PATIENCE
        while text not in cls.output()[after:]:
            if cls.router.poll() is not None:
                raise AssertionError("the run ended: " + cls.output())
            if time.monotonic() > deadline:
                raise AssertionError("no %r in: %s" % (text, cls.output()))
            time.sleep(0.05)

    def wait(self, condition, what):
        WebDriverWait(self.browser, PATIENCE, poll_frequency=0.05).until(lambda b: condition(), what)

    def fb(self):
        return read_fb(os.path.join(self.state, "sim", "lcd.fb"))

    def page_frame(self):
        return int(self.browser.find_element(By.TAG_NAME, "body").get_attribute("data-frame") or -1)

    def page_pixels(self, canvas="screen"):
        script = ("const c = document.getElementById(arguments[0]);"
                  "const d = c.getContext('2d').getImageData(0, 0, 320, 240).data;"
                  "let s = ''; for (let i = 0; i < d.length; i += 4)"
                  " s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);"
                  "return btoa(s);")
        import base64
        return base64.b64decode(self.browser.execute_script(script, canvas))

    def settled(self):
        """Waits until the application has been idle and the page shows its
        last frame; returns the frame buffer's RGB then."""
        def same():
            frame, _, _ = self.fb()
            if self.page_frame() != frame:
                return False
            time.sleep(0.3)  # no request for a moment: the picture is whole
            return self.fb()[0] == frame and self.page_frame() == frame
        self.wait(same, "the page shows the frame buffer's last frame")
        return self.fb()[2]

    def pen_played(self):
        played = self.browser.execute_script(
            "return fetch('/pen').then(r => r.json()).then(j => j.played === j.size);")
        return played

    def click(self, x, y):
        """A click on the scaled screen at panel point (x, y)."""
        canvas = self.browser.find_element(By.ID, "scaled")
        scale = canvas.size["width"] / W
        ActionChains(self.browser).move_to_element_with_offset(
            canvas, int((x + 0.5) * scale - canvas.size["width"] / 2),
            int((y + 0.5) * scale - canvas.size["height"] / 2)).click().perform()
        self.wait(self.pen_played, "the pen script played")

    def assert_page_is_screen(self):
        fb = self.settled()
        for canvas in ("screen", "scaled"):
            page = self.page_pixels(canvas)
            if page != fb:
                bad = next(i for i in range(len(fb)) if fb[i] != page[i]) // 3
                self.fail("%s differs at (%d, %d)" % (canvas, bad % W, bad // W))
        return fb

    def test_1_screen_matches_the_frame_buffer(self):
        fb = self.assert_page_is_screen()
        self.assertGreater(len(set(fb[i:i + 3] for i in range(0, len(fb), 3))), 10)
        requests = self.browser.find_element(By.ID, "requests").text
        self.assertRegex(requests, r"drawText \"")

    def test_2_a_click_is_a_touch(self):
        before = self.assert_page_is_screen()
        mark = len(self.output())
        self.click(160, 60)  # the first device's button
        self.wait_output("touch at 160, 60 on the screen", mark)
        self.wait(lambda: self.page_pixels() != before, "the button changed on the page")
        after = self.assert_page_is_screen()
        self.assertNotEqual(after, before)
        pointer = self.browser.find_element(By.ID, "pen").text
        self.assertEqual(pointer, "pen: up at 160, 60")

    def test_3_pin_on_the_lock_pad(self):
        self.assert_page_is_screen()
        mark = len(self.output())
        self.click(235, 216)  # Lock
        self.wait_output("front end: locked", mark)
        self.wait(lambda: self.browser.find_element(By.TAG_NAME, "body").get_attribute("data-panel") == "off",
                  "the page shows the panel off")
        # The waking touch and the two after it do nothing.
        waking = len(self.output())
        for _ in range(3):
            self.click(160, 120)
        self.wait(lambda: self.browser.find_element(By.TAG_NAME, "body").get_attribute("data-panel") == "on",
                  "the page shows the panel on")
        # The pen script is played before the application has said what it
        # did with the last touch: the digits are counted after that.
        self.wait(lambda: self.output()[waking:].count("touch at 160, 120") == 3, "the three waking touches handled")
        with open(os.path.join(self.state, "sim", "nvram", "2860")) as f:
            pin = re.search(r"^PIN=(\d{4})$", f.read(), re.M).group(1)
        mark = len(self.output())
        for digit in pin:
            if digit == "0":
                self.click(274, 163)
            else:
                d = int(digit) - 1
                self.click(3 + 77 * (d % 3) + 37, 94 + 47 * (d // 3) + 22)
        self.wait_output("front end: unlocked", mark)
        self.assertEqual(self.output()[mark:].count("on the lock pad"), 4)
        self.assert_page_is_screen()

    def test_4_screenshot_is_the_screen(self):
        fb = self.assert_page_is_screen()
        frame = self.page_frame()
        self.browser.find_element(By.ID, "shot").click()
        name = os.path.join(self.downloads, "halvix-screen-%d.png" % frame)
        self.wait(lambda: os.path.exists(name) and not glob.glob(name + ".crdownload"), "the screenshot saved")
        width, height, rgb = png_rgb(name)
        self.assertEqual((width, height), (W, H))
        self.assertEqual(rgb, fb)


class DevicePane(Panel):
    """The device pane while the door screen runs: the home's devices with
    their values, a click on the door's control heard by the application."""
    SHOWN = "door screen: watching #7"

    @classmethod
    def setUpClass(cls):
        cls.APP = [ARGS.door_app]
        super().setUpClass()

    # The screen tests are the class above's.
    test_1_screen_matches_the_frame_buffer = None
    test_2_a_click_is_a_touch = None
    test_3_pin_on_the_lock_pad = None
    test_4_screenshot_is_the_screen = None

    def wait(self, condition, what):
        # The pane is drawn anew when the home changes: an element may go
        # stale between finding and reading it.
        WebDriverWait(self.browser, PATIENCE, poll_frequency=0.05,
                      ignored_exceptions=(StaleElementReferenceException, NoSuchElementException)).until(
            lambda b: condition(), what)

    def row(self, device, index):
        return self.browser.find_element(By.ID, "value-%d-%d" % (device, index))

    def shown_value(self, device, index):
        try:
            return self.row(device, index).get_attribute("data-value")
        except (StaleElementReferenceException, NoSuchElementException):  # being drawn
            return None

    def test_5_the_pane_lists_the_home(self):
        self.wait(lambda: self.browser.find_element(By.TAG_NAME, "body").get_attribute("data-devices") == "13",
                  "the pane lists 13 devices")
        door = self.browser.find_element(By.ID, "device-7")
        self.assertIn("#7 Back door", door.text)
        self.assertIn("DoorSensor, ZigBee, Kitchen", door.text)
        self.assertEqual(self.shown_value(7, 1), "false")
        labels = [b.text for b in self.row(7, 1).find_elements(By.CSS_SELECTOR, "button[data-value]")]
        self.assertEqual(labels, ["OPEN", "CLOSED"])
        self.assertEqual(self.shown_value(4, 2), "64")  # the motion sensor's battery
        self.assert_page_is_screen()

    def test_6_a_click_on_the_door_reaches_the_application(self):
        self.wait(lambda: self.shown_value(7, 1) == "false", "the door shown closed")
        before = self.assert_page_is_screen()
        mark = len(self.output())
        self.row(7, 1).find_element(By.CSS_SELECTOR, 'button[data-value="true"]').click()
        self.wait_output("door screen: callback #7 Back door [1] = true", mark)
        self.wait_output("door screen: drew OPEN", mark)
        self.wait(lambda: self.shown_value(7, 1) == "true", "the pane shows the door open (its notification)")
        self.assertIn("current", self.row(7, 1).find_element(
            By.CSS_SELECTOR, 'button[data-value="true"]').get_attribute("class"))
        self.wait(lambda: self.page_pixels() != before, "the application's screen changed on the page")
        after = self.assert_page_is_screen()
        self.assertNotEqual(after, before)
        self.wait(lambda: 'drawText "OPEN"' in self.browser.find_element(By.ID, "requests").text,
                  "the screen's last requests show the text drawn")
        self.assertIn("#7 Back door: DOOR_STATE [1] = true",
                      self.browser.find_element(By.ID, "deviceResult").text)

    def test_7_a_level_and_reachability(self):
        row = self.row(7, 2)
        box = row.find_element(By.TAG_NAME, "input")
        box.clear()
        box.send_keys("9")
        row.find_element(By.CSS_SELECTOR, "button.setNumber").click()
        self.wait(lambda: self.shown_value(7, 2) == "9", "the battery level shown")
        self.browser.find_element(By.CSS_SELECTOR, "#device-7 button.reach").click()
        self.wait(lambda: self.browser.find_element(By.ID, "device-7").get_attribute("data-reachable") == "no",
                  "the door shown unreachable")
        # A refused level says why, and nothing changes.
        row = self.row(7, 2)
        box = row.find_element(By.TAG_NAME, "input")
        box.clear()
        box.send_keys("900")
        row.find_element(By.CSS_SELECTOR, "button.setNumber").click()
        self.wait(lambda: self.browser.find_element(By.ID, "deviceResult").text.startswith("refused: index 2"),
                  "the refusal shown")
        self.assertEqual(self.shown_value(7, 2), "9")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--panel", required=True)
    parser.add_argument("--app", required=True)
    parser.add_argument("--target", action="store_true")
    parser.add_argument("--door-app")
    ARGS, rest = parser.parse_known_args()
    if not ARGS.door_app:
        ARGS.door_app = os.path.join(os.path.dirname(os.path.abspath(ARGS.panel)), "sim", "panel", "door-screen")
    unittest.main(argv=[sys.argv[0]] + rest)
