#!/usr/bin/env python3
"""The panel server on a run's state made here: the page, the frames it
pushes (pixels, panel, backlight, requests) and the pen lines it takes; and
on this virtual router's own state, its device pane's endpoints, which go
through the HA server stand-in."""
import base64
import json
import os
import signal
import struct
import subprocess
import sys
import tempfile
import unittest
import urllib.error
import urllib.request

SERVER = sys.argv.pop(1) if len(sys.argv) > 1 else "build/host/sim/bin/panel-server"
W, H, PLANE = 320, 240, 320 * 240 * 2
HEADER = struct.Struct("<16I")


def write_fb(path, frame, pixels, panel=1):
    words = [0x44434C48, 1, W, H, 4, panel, 0, 0, 0, 255, 0, 0, frame, 0, 0, 0]
    with open(path, "r+b" if os.path.exists(path) else "wb") as f:
        f.write(HEADER.pack(*words))
        f.write(pixels)
        f.write(bytes(4 * PLANE))


def pattern(seed):
    return b"".join(struct.pack("<H", (i * 7 + seed) & 0xFFFF) for i in range(W * H))


class Events:
    """Reads the server-sent events of /events (or another stream) one at a time."""

    def __init__(self, url, path="events"):
        self.response = urllib.request.urlopen(url + path, timeout=20)

    def next(self, kind="frame"):
        name, data = None, []
        for raw in self.response:
            line = raw.decode().rstrip("\n")
            if line.startswith("event: "):
                name = line[7:]
            elif line.startswith("data: "):
                data.append(line[6:])
            elif line == "" and name:
                if name == kind:
                    return json.loads("".join(data))
                name, data = None, []
        raise AssertionError("the stream ended")

    def close(self):
        self.response.close()


class PanelServer(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.state = os.path.join(self.dir.name, "sim")
        os.makedirs(os.path.join(self.state, "log"))
        self.server = subprocess.Popen([SERVER, "--state", self.dir.name], stdout=subprocess.PIPE, text=True)
        line = self.server.stdout.readline()
        self.assertTrue(line.startswith("panel: http://127.0.0.1:"), line)
        self.url = line.split(" ", 1)[1].strip()

    def tearDown(self):
        self.server.send_signal(signal.SIGTERM)
        self.assertEqual(self.server.wait(timeout=20), 0)
        self.server.stdout.close()
        self.dir.cleanup()

    def post(self, body):
        try:
            with urllib.request.urlopen(self.url + "pen", data=body.encode(), timeout=20) as r:
                return r.status, r.read().decode()
        except urllib.error.HTTPError as e:
            return e.code, e.read().decode()

    def pen(self):
        try:
            with open(os.path.join(self.state, "pen")) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def test_only_this_panels_page_is_served(self):
        port = self.url.rsplit(":", 1)[1].strip("/")
        for headers, path, body in [({"Host": "evil.example:" + port}, "", None),
                                    ({"Origin": "http://evil.example"}, "pen", b"tap 1 2\n")]:
            request = urllib.request.Request(self.url + path, data=body, headers=headers)
            with self.assertRaises(urllib.error.HTTPError) as refused:
                urllib.request.urlopen(request, timeout=20)
            self.assertEqual(refused.exception.code, 403)
        self.assertEqual(self.pen(), "")
        request = urllib.request.Request(self.url + "pen", data=b"tap 1 2\n",
                                         headers={"Origin": "http://127.0.0.1:" + port})
        with urllib.request.urlopen(request, timeout=20) as r:
            self.assertEqual(r.status, 200)
        self.assertEqual(self.pen(), "tap 1 2\n")

    def test_page_is_one_self_contained_document(self):
        with urllib.request.urlopen(self.url, timeout=20) as r:
            page = r.read().decode()
        self.assertIn('<canvas id="screen" width="320" height="240">', page)
        self.assertNotIn("http://", page.replace(self.url, ""))
        self.assertNotIn("https://", page)

    def test_frames_follow_the_frame_buffer(self):
        events = Events(self.url)
        self.assertEqual(events.next("waiting"), {})  # no LCD yet
        fb = os.path.join(self.state, "lcd.fb")
        first = pattern(1)
        with open(os.path.join(self.state, "log", "lcd"), "w") as f:
            f.write("3 value=0\n9 0a000000 failed\n18 00 text=Settings\n")
        with open(os.path.join(self.state, "log", "backlight"), "w") as f:
            f.write("enable\ndisable\n")
        write_fb(fb, 5, first)
        got = events.next()
        self.assertEqual(got["frame"], 5)
        self.assertEqual(base64.b64decode(got["rgb565"]), first)
        self.assertEqual(got["backlight"], "off")
        self.assertEqual(got["requests"], ["clear 0", "fillRect (failed)", 'drawText "Settings"'])
        # The next request that draws: a new frame, and the panel turned off.
        second = pattern(2)
        write_fb(fb, 6, second, panel=0)
        got = events.next()
        self.assertEqual((got["frame"], got["panel"]), (6, 0))
        self.assertEqual(base64.b64decode(got["rgb565"]), second)
        events.close()

    def test_pen_lines_are_checked_and_written_in_order(self):
        self.assertEqual(self.post("press 40 130\nmove 60 130 200 # drag\n\nrelease\n")[0], 200)
        self.assertEqual(self.post("  tap   285\t223  \r\nwait 500")[0], 200)
        expected = "press 40 130\nmove 60 130 200\nrelease\ntap 285 223\nwait 500\n"
        self.assertEqual(self.pen(), expected)
        for bad, line in [("tap 1 2\nrm -rf /\n", 2), ("tap 1\n", 1), ("tap 1 2 3 4\n", 1),
                          ("press 1 2 -5\n", 1), ("wait\n", 1), ("tap 0x10 5\n", 1),
                          ("release 10 20\n", 1), ("tap 99999999999 1\n", 1), ("tap 1 2\x00\n", 1)]:
            status, text = self.post(bad)
            self.assertEqual((status, text), (400, "line %d is not a pen line\n" % line), bad)
        self.assertEqual(self.post("tap 1 2\n" * 9000)[0], 413)
        self.assertEqual(self.pen(), expected)  # nothing of the refused ones
        with open(os.path.join(self.state, "pen.done"), "w") as f:
            f.write("%d\n" % len(expected))
        with urllib.request.urlopen(self.url + "pen", timeout=20) as r:
            self.assertEqual(json.loads(r.read()), {"played": len(expected), "size": len(expected)})


    def test_device_pane_without_an_ha_server(self):
        with self.assertRaises(urllib.error.HTTPError) as refused:
            urllib.request.urlopen(self.url + "devices", timeout=20)
        self.assertEqual(refused.exception.code, 503)
        status, text = post(self.url, "device", "set 7 1 true\n")
        self.assertEqual(status, 503)
        self.assertIn("no HA server listens on", text)
        events = Events(self.url, "device-events")
        self.assertEqual(events.next("waiting"), {})
        events.close()


def post(url, path, body, headers=None):
    request = urllib.request.Request(url + path, data=body.encode(), headers=headers or {})
    try:
        with urllib.request.urlopen(request, timeout=20) as r:
            return r.status, r.read().decode()
    except urllib.error.HTTPError as e:
        return e.code, e.read().decode()


class DevicePane(unittest.TestCase):
    """The panel server on this run's own state, beside its HA server."""

    def setUp(self):
        if os.path.exists("/tmp/ddb"):
            os.remove("/tmp/ddb")
        subprocess.run(["sim-home"], check=True, stdout=subprocess.DEVNULL)
        self.server = subprocess.Popen([SERVER, "--state", "/sim/state"], stdout=subprocess.PIPE, text=True)
        line = self.server.stdout.readline()
        self.assertTrue(line.startswith("panel: http://127.0.0.1:"), line)
        self.url = line.split(" ", 1)[1].strip()

    def tearDown(self):
        self.server.send_signal(signal.SIGTERM)
        self.assertEqual(self.server.wait(timeout=20), 0)
        self.server.stdout.close()

    def devices(self):
        with urllib.request.urlopen(self.url + "devices", timeout=20) as r:
            return {d["id"]: d for d in json.loads(r.read())["devices"]}

    def test_the_home_as_the_ha_server_lists_it(self):
        home = self.devices()
        self.assertEqual(len(home), 13)
        door = home[7]
        self.assertEqual((door["name"], door["type"], door["radio"], door["reachable"]),
                         ("Back door", "DoorSensor", "zigbee", True))
        state = door["values"][1]
        self.assertEqual((state["index"], state["name"], state["value"]), (1, "DOOR_STATE", "false"))
        self.assertEqual(state["choices"], [{"value": "true", "label": "OPEN"},
                                            {"value": "false", "label": "CLOSED"}])
        battery = door["values"][2]
        self.assertEqual((battery["name"], battery["number"], battery["choices"]), ("BATTERY", True, []))
        self.assertEqual(home[11]["radio"], "")  # built in: always reachable

    def test_a_report_reaches_the_store_and_comes_back_as_a_notification(self):
        events = Events(self.url, "device-events")
        first = events.next("devices")
        self.assertEqual(len(first["devices"]), 13)
        status, text = post(self.url, "device", "set 7 1 true\n")
        self.assertEqual((status, text), (200, "#7 Back door: DOOR_STATE [1] = true\n"))
        self.assertEqual(events.next("value"), {"id": 7, "index": 1, "value": "true"})
        self.assertEqual(self.devices()[7]["values"][1]["value"], "true")
        listed = subprocess.run(["sim-device", "list"], check=True, capture_output=True, text=True).stdout
        self.assertIn("    1 DOOR_STATE = true\n", listed)
        # Unreachable: the event, then the home listed again.
        status, text = post(self.url, "device", "unreachable 7")
        self.assertEqual((status, text), (200, "#7 Back door: unreachable\n"))
        self.assertEqual(events.next("event"), {"type": 4, "arg": 7})
        again = {d["id"]: d for d in events.next("devices")["devices"]}
        self.assertFalse(again[7]["reachable"])
        # A value with blanks, quoted on the way.
        status, text = post(self.url, "device", 'set 9 1 "a bridge "')
        self.assertEqual(status, 200, text)
        self.assertEqual(events.next("value"), {"id": 9, "index": 1, "value": "a bridge "})
        events.close()

    def test_lines_the_home_or_the_server_refuse(self):
        before = self.devices()
        for body, status, text in [
                ("set 42 1 true", 409, "no device 42 in the home\n"),
                ("set 7 1 ajar", 409, "index 1 (DOOR_STATE) of device 7 (Back door) cannot hold \"ajar\": "
                                      "it holds true or false\n"),
                ("tamper 1", 409, "device 1 (Living room light) has no tamper value\n"),
                ("sett 7 1 true", 400, "not a device line: unknown command \"sett\" (set, alarm, tamper, battery, "
                                       "unreachable, back, button, wait)\n"),
                ("wait 100", 400, "not a device line: wait belongs to a script\n"),
                ("set 7 1 true\nset 7 1 false\n", 400, "not a device line: one line at a time\n"),
                ("  # nothing", 400, "not a device line: an empty line says nothing\n"),
                ("set 7 1 tr\x00ue", 400, "not a device line: a line holds no control character\n")]:
            self.assertEqual(post(self.url, "device", body), (status, text), body)
        self.assertEqual(self.devices(), before)
        port = self.url.rsplit(":", 1)[1].strip("/")
        status, _ = post(self.url, "device", "set 7 1 true", {"Origin": "http://evil.example"})
        self.assertEqual(status, 403)
        self.assertEqual(post(self.url, "device", "set 7 1 true", {"Origin": "http://127.0.0.1:" + port})[0], 200)


if __name__ == "__main__":
    unittest.main()
