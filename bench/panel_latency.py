#!/usr/bin/env python3
"""How soon the browser panel's stream carries a frame after it is drawn:
writes frames into a frame-buffer file the way the LCD stand-in does (the
pixels, then the frame counter) and times each until its event has arrived
whole at a client of /events.

    bench/panel_latency.py build/host/sim/bin/panel-server [frames] [gap_ms]
"""
import json
import os
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

server_path = sys.argv[1]
frames = int(sys.argv[2]) if len(sys.argv) > 2 else 200
gap = (int(sys.argv[3]) if len(sys.argv) > 3 else 50) / 1000.0
W, H = 320, 240
PLANE = W * H * 2

with tempfile.TemporaryDirectory() as d:
    os.makedirs(os.path.join(d, "sim", "log"))
    fb = os.path.join(d, "sim", "lcd.fb")
    with open(fb, "wb") as f:
        f.write(struct.pack("<16I", 0x44434C48, 1, W, H, 4, 1, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0))
        f.write(bytes(5 * PLANE))
    server = subprocess.Popen([server_path, "--state", d], stdout=subprocess.PIPE, text=True)
    url = server.stdout.readline().split(" ", 1)[1].strip()
    stream = urllib.request.urlopen(url + "events")
    arrived = {}

    def read():
        name = None
        for raw in stream:
            line = raw.decode()
            if line.startswith("event: "):
                name = line[7:].strip()
            elif line.startswith("data: ") and name == "frame":
                arrived[json.loads(line[6:])["frame"]] = time.monotonic()

    threading.Thread(target=read, daemon=True).start()
    time.sleep(0.5)
    sent = {}
    with open(fb, "r+b") as f:
        for n in range(1, frames + 1):
            f.seek(64)
            f.write(bytes([n & 255]) * PLANE)
            f.seek(48)
            f.flush()
            sent[n] = time.monotonic()
            f.write(struct.pack("<I", n))
            f.flush()
            time.sleep(gap)
    time.sleep(0.5)
    server.terminate()
    server.wait()
    lat = sorted((arrived[n] - sent[n]) * 1000 for n in sent if n in arrived)
    print("frames %d, every %d ms: %d arrived; latency ms: median %.1f, 90th %.1f, max %.1f"
          % (frames, gap * 1000, len(lat), statistics.median(lat), lat[int(len(lat) * 0.9)], lat[-1]))
