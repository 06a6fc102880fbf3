// The panel's one page: no other file, nothing fetched from anywhere but
// the panel server itself.
#pragma once

namespace panel {

inline const char* const kPage = R"PAGE(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Halvix screen</title>
<style>
  body { font: 14px sans-serif; background: #20242a; color: #e8e8e8; margin: 16px; }
  h1 { font-size: 16px; font-weight: normal; margin: 0 0 12px; }
  #screens { display: flex; gap: 24px; align-items: flex-start; flex-wrap: wrap; }
  .frame { position: relative; line-height: 0; border: 8px solid #0b0c0e; border-radius: 6px; }
  .frame.dark canvas { filter: brightness(0.25); }
  canvas { image-rendering: pixelated; image-rendering: crisp-edges; touch-action: none; cursor: crosshair; }
  #pointer { position: absolute; width: 14px; height: 14px; margin: -9px 0 0 -9px; border: 2px solid #ffb000;
             border-radius: 50%; pointer-events: none; display: none; }
  #pointer.down { background: rgba(255, 176, 0, 0.6); }
  #status, #requests, #pen { margin: 10px 0; font-family: monospace; white-space: pre-wrap; }
  #requests { color: #9fc4ff; }
  button, select { font: inherit; margin-right: 8px; }
  textarea { width: 420px; height: 90px; font-family: monospace; }
  .label { color: #999; font-size: 12px; margin-bottom: 4px; line-height: 1.2; }
  #layout { display: flex; gap: 24px; align-items: flex-start; }
  #main { flex: 0 1 auto; min-width: 340px; }
  #pane { flex: 0 0 400px; position: sticky; top: 8px; }
  #devicesPane { max-height: 90vh; overflow-y: auto; background: #181b20; padding: 8px; border-radius: 6px; }
  .device { border-bottom: 1px solid #30343b; padding: 6px 0; }
  .device.lost .head { color: #ff7b6b; }
  .head { font-weight: bold; margin-bottom: 3px; }
  .head .kind { font-weight: normal; color: #999; font-size: 12px; }
  .head button { float: right; font-size: 11px; }
  .row { display: flex; gap: 6px; align-items: center; font-size: 12px; margin: 2px 0 2px 10px; }
  .row .name { width: 140px; color: #bbb; overflow: hidden; white-space: nowrap; text-overflow: ellipsis; }
  .row .value { width: 70px; font-family: monospace; color: #fff; overflow: hidden; white-space: nowrap; }
  .row button { font-size: 11px; margin: 0; padding: 1px 5px; white-space: nowrap; max-width: 110px;
                overflow: hidden; text-overflow: ellipsis; }
  .row button.current { background: #ffb000; }
  .row input { width: 60px; font-size: 11px; }
  #deviceResult { font-family: monospace; font-size: 12px; color: #9fc4ff; white-space: pre-wrap; min-height: 1.2em; }
</style>
</head>
<body>
<h1>Halvix virtual router: the touch screen</h1>
<div id="layout">
<div id="main">
<div id="screens">
  <div>
    <div class="label">1x</div>
    <div class="frame" id="frame1"><canvas id="screen" width="320" height="240"></canvas></div>
  </div>
  <div>
    <div class="label">scaled
      <select id="scale"><option value="2" selected>2x</option><option value="3">3x</option></select>
    </div>
    <div class="frame" id="frame2"><canvas id="scaled" width="320" height="240"></canvas><div id="pointer"></div></div>
  </div>
</div>
<div id="status">waiting for the router...</div>
<div id="pen">pen: up</div>
<div><span class="label">last LCD requests</span></div>
<div id="requests">-</div>
<p>
  <button id="shot">Save screenshot</button>
</p>
<div class="label">pen script (press X Y [MS], move X Y [MS], release [MS], tap X Y [MS], wait MS)</div>
<textarea id="script">tap 160 60</textarea><br>
<button id="play">Play script</button> <span id="scriptResult"></span>
</div>
<div id="pane">
  <div class="label">the home's devices (a click is what the device reports)</div>
  <div id="deviceResult"></div>
  <div id="devicesPane"><div id="devicesStatus">waiting for the HA server...</div><div id="devices"></div></div>
</div>
</div>
<script>
"use strict";
const W = 320, H = 240;
const screen = document.getElementById("screen");
const scaled = document.getElementById("scaled");
const pointer = document.getElementById("pointer");
const ctx1 = screen.getContext("2d");
const ctx2 = scaled.getContext("2d");
const image = ctx1.createImageData(W, H);
let frame = -1, panelOn = true, penDown = false, penX = -1, penY = -1;

function setScale() {
  const s = Number(document.getElementById("scale").value);
  scaled.style.width = (W * s) + "px";
  scaled.style.height = (H * s) + "px";
  showPointer();
}
document.getElementById("scale").addEventListener("change", setScale);
setScale();

// RGB565 little-endian, each channel widened as the PNG writer does.
function paint(b64) {
  const bin = atob(b64);
  const d = image.data;
  for (let i = 0, p = 0; i < W * H; i++, p += 4) {
    const v = bin.charCodeAt(2 * i) | (bin.charCodeAt(2 * i + 1) << 8);
    const r = v >> 11, g = (v >> 5) & 63, b = v & 31;
    d[p] = (r << 3) | (r >> 2);
    d[p + 1] = (g << 2) | (g >> 4);
    d[p + 2] = (b << 3) | (b >> 2);
    d[p + 3] = 255;
  }
  ctx1.putImageData(image, 0, 0);
  ctx2.putImageData(image, 0, 0);
}

const events = new EventSource("/events");
events.addEventListener("waiting", () => {
  document.getElementById("status").textContent = "waiting for the application to open the LCD...";
});
events.addEventListener("frame", (e) => {
  const f = JSON.parse(e.data);
  paint(f.rgb565);
  frame = f.frame;
  panelOn = f.panel === 1;
  const dark = !panelOn || f.backlight === "off";
  document.getElementById("frame1").classList.toggle("dark", dark);
  document.getElementById("frame2").classList.toggle("dark", dark);
  document.getElementById("status").textContent =
    "frame " + f.frame + " | panel " + (panelOn ? "on" : "off") + " | backlight " + f.backlight +
    " | fades " + f.fades + " | modals " + f.modals;
  document.getElementById("requests").textContent = f.requests.length ? f.requests.join("  |  ") : "-";
  document.body.dataset.frame = String(f.frame);
  document.body.dataset.panel = panelOn ? "on" : "off";
});
events.onerror = () => {
  document.getElementById("status").textContent = "the panel server is gone (the application has ended?)";
};

// Pen lines go out one request at a time, in order.
let queue = Promise.resolve();
function sendPen(text) {
  const p = queue.then(() => fetch("/pen", { method: "POST", body: text }))
    .then((r) => r.ok ? r.text() : r.text().then((t) => Promise.reject(new Error(t))));
  queue = p.catch(() => {});
  return p;
}

function showPointer() {
  if (penX < 0) { pointer.style.display = "none"; return; }
  const s = scaled.clientWidth / W;
  pointer.style.display = "block";
  pointer.style.left = ((penX + 0.5) * s) + "px";
  pointer.style.top = ((penY + 0.5) * s) + "px";
  pointer.classList.toggle("down", penDown);
  document.getElementById("pen").textContent = "pen: " + (penDown ? "down" : "up") + " at " + penX + ", " + penY;
}

function panelPoint(canvas, e) {
  const r = canvas.getBoundingClientRect();
  const x = Math.floor((e.clientX - r.left) * W / r.width);
  const y = Math.floor((e.clientY - r.top) * H / r.height);
  return [Math.min(W - 1, Math.max(0, x)), Math.min(H - 1, Math.max(0, y))];
}

for (const canvas of [screen, scaled]) {
  canvas.addEventListener("pointerdown", (e) => {
    e.preventDefault();
    canvas.setPointerCapture(e.pointerId);
    [penX, penY] = panelPoint(canvas, e);
    penDown = true;
    showPointer();
    sendPen("press " + penX + " " + penY + "\n");
  });
  canvas.addEventListener("pointermove", (e) => {
    if (!penDown) return;
    const [x, y] = panelPoint(canvas, e);
    if (x === penX && y === penY) return;
    penX = x; penY = y;
    showPointer();
    sendPen("move " + x + " " + y + "\n");
  });
  const up = () => {
    if (!penDown) return;
    penDown = false;
    showPointer();
    sendPen("release\n");
  };
  canvas.addEventListener("pointerup", up);
  canvas.addEventListener("pointercancel", up);
}

document.getElementById("play").addEventListener("click", () => {
  const out = document.getElementById("scriptResult");
  out.textContent = "sending...";
  sendPen(document.getElementById("script").value + "\n")
    .then(() => { out.textContent = "queued on the panel"; })
    .catch((err) => { out.textContent = "refused: " + err.message; });
});

// The device pane: the home as the HA server lists it, each value kept as
// its notifications say; a control sends the line sim-device would.
const devicesBox = document.getElementById("devices");
const deviceResult = document.getElementById("deviceResult");
let deviceQueue = Promise.resolve();
function report(line) {
  deviceResult.textContent = line + " ...";
  deviceQueue = deviceQueue.then(() => fetch("/device", { method: "POST", body: line + "\n" }))
    .then((r) => r.text().then((t) => { deviceResult.textContent = (r.ok ? "" : "refused: ") + t.trim(); }))
    .catch((err) => { deviceResult.textContent = "failed: " + err.message; });
}

function element(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}

function showValue(row, value) {
  row.querySelector(".value").textContent = value;
  row.dataset.value = value;
  for (const b of row.querySelectorAll("button[data-value]")) b.classList.toggle("current", b.dataset.value === value);
}

function valueRow(device, v) {
  const row = element("div", "row");
  row.id = "value-" + device.id + "-" + v.index;
  row.appendChild(element("span", "name", v.index + " " + v.name));
  row.appendChild(element("span", "value"));
  const quoted = (s) => /^\s|\s$|#|^$/.test(s) ? '"' + s + '"' : s;
  for (const c of v.choices) {
    const b = element("button", "", c.label);
    b.dataset.value = c.value;
    b.title = c.value;
    b.addEventListener("click", () => report("set " + device.id + " " + v.index + " " + quoted(c.value)));
    row.appendChild(b);
  }
  if (v.number) {
    const input = element("input");
    input.type = "text";
    input.value = v.value;
    const b = element("button", "", "set");
    b.className = "setNumber";
    b.addEventListener("click", () => report("set " + device.id + " " + v.index + " " + input.value.trim()));
    row.appendChild(input);
    row.appendChild(b);
  }
  showValue(row, v.value);
  return row;
}

function showDevices(home) {
  devicesBox.textContent = "";
  document.getElementById("devicesStatus").textContent = home.devices.length + " devices";
  for (const d of home.devices) {
    const box = element("div", "device" + (d.reachable ? "" : " lost"));
    box.id = "device-" + d.id;
    box.dataset.reachable = d.reachable ? "yes" : "no";
    const head = element("div", "head", "#" + d.id + " " + d.name + " ");
    head.appendChild(element("span", "kind", d.type + ", " + d.technology + ", " + d.location +
                             (d.reachable ? "" : " - unreachable")));
    if (d.radio) {
      const b = element("button", "reach", d.reachable ? "unreachable" : "back");
      b.addEventListener("click", () => report((d.reachable ? "unreachable " : "back ") + d.id));
      head.appendChild(b);
    }
    box.appendChild(head);
    for (const v of d.values) box.appendChild(valueRow(d, v));
    devicesBox.appendChild(box);
  }
  document.body.dataset.devices = String(home.devices.length);
}

const deviceEvents = new EventSource("/device-events");
deviceEvents.addEventListener("waiting", () => {
  document.getElementById("devicesStatus").textContent = "waiting for the HA server...";
});
deviceEvents.addEventListener("devices", (e) => showDevices(JSON.parse(e.data)));
deviceEvents.addEventListener("value", (e) => {
  const n = JSON.parse(e.data);
  const row = document.getElementById("value-" + n.id + "-" + n.index);
  if (row) showValue(row, n.value);
});

document.getElementById("shot").addEventListener("click", () => {
  screen.toBlob((blob) => {
    const a = document.createElement("a");
    a.href = URL.createObjectURL(blob);
    a.download = "halvix-screen-" + frame + ".png";
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 1000);
  }, "image/png");
});
</script>
</body>
</html>
)PAGE";

}  // namespace panel
