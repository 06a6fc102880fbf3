#!/usr/bin/env python3
"""Writes the seed corpora of the device store, index store, event receiver
and daemon datagram targets (fuzz/corpus/{device,index,receiver,daemon}/),
in the input layouts their targets describe. Run from anywhere:
    python3 fuzz/seeds.py
The index seeds are rows of the catalogue itself (hacore/src/index/index_catalogue.cpp)."""
import os
import re
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


def write(corpus, name, data):
    d = os.path.join(CORPUS, corpus)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def text(s, size):
    b = s.encode() if isinstance(s, str) else s
    return b[:size - 1].ljust(size, b"\0")


def record(sel, value):
    return bytes([sel]) + struct.pack("<H", len(value)) + value


# ---- device store: flags byte, then records (selector, length, value) ----

SUFFIXES = ["", ".LT", ".MI", ".VS", ".MN", ".ST"] + [".%d" % i for i in range(10)]


def device_sel(device, key):
    return (0 if device == 1 else 16) + SUFFIXES.index(key)


def main_record(dev_id, name, location, tech, type_name, friendly, values, ozw=0, short=65535,
                eui="", stamp="2024-03-01 10:00:00", allow=1):
    return (struct.pack("<i", dev_id) + text(name, 180) + text(location, 180) +
            struct.pack("<ii", ozw, short) + text(eui, 25) + b"\0" * 3 + struct.pack("<i", tech) +
            text(stamp, 32) + struct.pack("<i", 0) + text(type_name, 32) + text(friendly, 32) +
            bytes([allow]) + b"\0" * 3 + struct.pack("<i", values))


def value_record(index, name, value, cc=0, ci=0, ep=0, itype=0):
    return (struct.pack("<i", index) + text(name, 30) + text(value, 42) +
            struct.pack("<iiii", cc, ci, ep, itype))


def device_records(device, main, attrs, values):
    out = record(device_sel(device, ""), main)
    for key, v in attrs.items():
        out += record(device_sel(device, key), text(v, 10 if key in (".LT", ".ST") else 32))
    for i, v in enumerate(values):
        if v is not None:
            out += record(device_sel(device, ".%d" % i), v)
    return out


def free(key, value):
    return record(34, key.encode() + b"\0" + value)


def device_seeds():
    switch = device_records(
        1, main_record(1, "Kitchen light", "Kitchen", 2, "BinarySwitch", "Switch", 3, ozw=7),
        {".LT": "1709287200", ".MI": "ZW-100", ".VS": "1.2", ".MN": "Aeotec", ".ST": "0"},
        [value_record(0, "SECURITYDEVICE", "0", itype=0),
         value_record(1, "SWITCH BINARY", "true", cc=37, ci=0, ep=1, itype=1),
         value_record(2, "BATTERY", "87", cc=128, itype=50),
         value_record(3, "TAMPER", "false", cc=113, itype=9)])
    lamp = device_records(
        12, main_record(12, "Sofa lamp", "Living room", 3, "HueLamp", "Hue lamp", 9),
        {".LT": "1709290000", ".MI": "LCT015", ".VS": "5.127", ".MN": "Philips"},
        [value_record(0, "SECURITYDEVICE", "0")] +
        [value_record(i, n, v, itype=t) for i, (n, v, t) in enumerate(
            [("HUE ID", "3", 0), ("SWITCH BINARY", "true", 104), ("SWITCH MULTILEVEL", "80", 17),
             ("HUE", "46920", 30), ("SATURATION", "144", 32), ("COLOR_TEMPERATURE", "2700", 33),
             ("ISONLINE", "true", 62), ("BULB ID", "3", 75), ("USER", "newdeveloper", 0)], start=1)])
    nextid = record(32, text("5", 10)) + record(33, b"1")
    write("device", "switch_and_lamp", b"\0" + switch + lamp + nextid)
    # Gaps in the value slots: the loader writes the security-device record.
    gaps = device_records(
        1, main_record(1, "Door", "Hall", 1, "DoorLock", "Lock", 4, eui="00124b0001a2b3c4", short=0x1a2b),
        {".LT": "1709287200"},
        [None, value_record(1, "LOCK_STATE_ZB", "1", ep=1, itype=23), None,
         value_record(3, "BATTERY", "64", ep=1, itype=50)])
    write("device", "zigbee_gaps", b"\0" + gaps + record(32, text("20", 10)))
    # A store of 7 buckets, a deleted attribute and a device under a key of
    # its own ("3").
    third = main_record(3, "Siren", "Hall", 5, "StandardWarningDevice", "Siren", 1)
    write("device", "buckets_deleted", b"\1" + switch + record(0x80 | device_sel(1, ".MN"), b"") +
          free("3", third) + free("3.1", value_record(1, "SWITCH_MULTISOUND", "0", itype=19)))
    # A multi-switch whose two switches share a name on two end points.
    multi = device_records(
        12, main_record(12, "Double switch", "Porch", 2, "MultiSwitch", "Switch", 2),
        {".ST": "1"},
        [value_record(0, "SECURITYDEVICE", "0"),
         value_record(1, "SWITCH BINARY", "true", cc=37, ep=1, itype=106),
         value_record(2, "SWITCH BINARY", "false", cc=37, ep=2, itype=107)])
    write("device", "multiswitch", b"\0" + multi)
    # A Nest thermostat and a Hue plug: the other ways to a Hue or Nest ID.
    nest = device_records(
        1, main_record(1, "Thermostat", "Hall", 4, "NestThermostat", "Thermostat", 2),
        {".MN": "Nest"},
        [value_record(0, "SECURITYDEVICE", "0"), value_record(1, "NEST ID", "dev-9f2c"),
         value_record(2, "THERMOSTAT_TARGET", "68", itype=57)])
    plug = device_records(
        12, main_record(12, "Plug", "Office", 3, "MultilevelSwitchOnOff", "Hue plug", 5),
        {".MN": "Philips"},
        [value_record(i, n, v) for i, (n, v) in enumerate(
            [("SECURITYDEVICE", "0"), ("SWITCH BINARY", "true"), ("SWITCH MULTILEVEL", "100"),
             ("HUE ID", "7"), ("BULB ID", "7"), ("USER", "newdeveloper")])])
    write("device", "nest_and_hue_plug", b"\0" + nest + plug)
    # The same store cut short by 14 bytes (flags 2 | 1 << 2): the tail of
    # its last record is gone.
    write("device", "cut_short", bytes([2 | (1 << 2)]) + switch + nextid)


# ---- index store: IndexDetails type and row, then records ----

CODES = [1, 69]
FIELDS = ["IN", "DT", "RO", "LT", "IB", "GL", "DI", "VC", "UNT", "MIN", "MAX", "FCT", "PL", "SPL",
          "CD", "UIS", "DV", "STR", "EF", "AL"]
VALUE_KEYS = ["V", "L", "I", "T", "AL", "EF"]
TABLE_VALUES = 16
TABLE_KEYS = 1 + 20 + 6 * TABLE_VALUES


def catalogue():
    with open(os.path.join(ROOT, "hacore", "src", "index_catalogue.cpp"), encoding="utf-8") as f:
        src = f.read()
    entries = {}
    for m in re.finditer(r'^\{(\d+), \{((?:\s*"[^"]*",?)+)\}\},?$', src, re.M):
        entries[int(m.group(1))] = re.findall(r'"([^"]*)"', m.group(2))
    return entries


def split(row, n):
    fields = row.split(",")[:n]
    return fields + ["NaN"] * (n - len(fields))


def index_sel(code, k):
    return CODES.index(code) | (k << 1)


def index_records(rows, code):
    """The records the writer lays down for one entry, under `code`."""
    out = record(index_sel(code, 0), str(code).encode())
    desc = split(rows[0], 8)
    for f, v in enumerate(desc):
        out += record(index_sel(code, 1 + f), v.encode())
    vc = int(desc[7])
    for k in range(1, vc + 1):
        for f, v in enumerate(split(rows[k], 6)):
            if k <= TABLE_VALUES:
                out += record(index_sel(code, 21 + 6 * (k - 1) + f), v.encode())
            else:
                out += record(0xf0, ("%d.%s%d" % (code, VALUE_KEYS[f], k)).encode() + b"\0" + v.encode())
    for f, v in enumerate(split(rows[vc + 1], 12)):
        out += record(index_sel(code, 9 + f), v.encode())
    return out


def index_seeds():
    cat = catalogue()
    assert len(cat) == 107, len(cat)
    write("index", "switch_binary", struct.pack("bb", 1, 3) + index_records(cat[1], 1))
    write("index", "response_code", struct.pack("bb", 69, 21) + index_records(cat[69], 69))
    # Another entry under each code, and a third entry record of its own.
    write("index", "multisound_generic_int",
          struct.pack("bb", 108, 0) + index_records(cat[19], 1) + index_records(cat[88], 69) +
          record(0xf0, b"39\x0039"))
    write("index", "fan_mode_invalid_choice", struct.pack("bb", 0, -1) + index_records(cat[39], 1))


# ---- event receiver: sender byte, then the datagram ----

def notification(dev_id, index, value):
    return struct.pack("<iii", 0, dev_id, index) + text(value, 180)


def event(etype, arg, data=b""):
    return struct.pack("<iii", 1, etype, arg) + data[:596].ljust(596, b"\0")


def receiver_seeds():
    HA, MESH, END, LOCAL = 0, 1, 2, 3
    write("receiver", "ha_notification", bytes([HA]) + notification(1, 1, "true"))
    write("receiver", "ha_notification_hue", bytes([HA]) + notification(2, 3, "46920"))
    write("receiver", "ha_notification_unknown", bytes([HA]) + notification(9, 1, "0"))
    write("receiver", "ha_notification_other_id", bytes([HA]) + notification(4, 0, "1"))
    write("receiver", "ha_notification_dimmed", bytes([HA | 4]) + notification(1, 1, "99"))
    write("receiver", "ha_notification_shutter", bytes([HA | 4 | (2 << 3)]) + notification(3, 1, "50"))
    write("receiver", "ha_event_hub_name", bytes([HA]) + event(22, 0, b"My Halvix"))
    write("receiver", "ha_event_none", bytes([HA]) + event(0, 0))
    write("receiver", "ha_event_short", bytes([HA]) + struct.pack("<ii", 1, 16))
    write("receiver", "ha_event_long", bytes([HA]) + event(18, 4, b"client") + b"x" * 600)
    write("receiver", "mesh_event", bytes([MESH]) + event(25, 2, b"slave"))
    write("receiver", "mesh_notification", bytes([MESH]) + notification(1, 1, "false"))
    write("receiver", "stranger_event", bytes([END]) + event(1, 7))
    write("receiver", "stranger_notification", bytes([LOCAL]) + notification(1, 1, "true"))


# ---- daemon datagrams: the datagram itself ----

def reply(a, b, c, payload):
    return struct.pack(">iiii", len(payload), a, b, c) + payload


def daemon_seeds():
    write("daemon", "status", reply(0, 1, 2, b'{"cmd":"status","args":{"id":3,"name":"Kitchen"}}'))
    write("daemon", "escaped", reply(1, -1, 7, b'{"text":"a\\/b \\"q\\" \\\\ &quot;x&quot; <y> & \'z\' &amp;"}'))
    write("daemon", "header_only", reply(5, 6, 7, b""))
    write("daemon", "short", struct.pack(">iii", 0, 1, 2))
    write("daemon", "zero_inside", reply(2, 0, 0, b'{"a":1}\0{"b":2}'))


if __name__ == "__main__":
    device_seeds()
    index_seeds()
    receiver_seeds()
    daemon_seeds()
