#!/usr/bin/env python3
"""Reference sunrise and sunset times for the weather tests.

Independent of the library: the equations of the NOAA Solar Calculator
(NOAA Global Monitoring Laboratory, "General Solar Position Calculations"
and the NOAA_Solar_Calculations_day spreadsheet, after Jean Meeus,
Astronomical Algorithms), in double precision, each event solved by
iterating the sun's position at the event's own time. The zenith is 91°,
the hub's definition of sunrise (the sun's upper limb with refraction and a
margin), so the comparison is of the computation, not of the definition.
Local times come from the tz database (zoneinfo).

Prints one C++ table row per city and date:
  {"city", "Zone", lat, lon, y, m, d, "HH:MM", "HH:MM"},   ("--:--" = none)
"""
import math
from datetime import datetime, timedelta, timezone
from zoneinfo import ZoneInfo

ZENITH = 91.0

CITIES = [
    ("New York", "America/New_York", 40.7128, -74.0060),
    ("London", "Europe/London", 51.5074, -0.1278),
    ("Tokyo", "Asia/Tokyo", 35.6762, 139.6503),
    ("Sydney", "Australia/Sydney", -33.8688, 151.2093),
    ("Auckland", "Pacific/Auckland", -36.8485, 174.7633),
    ("Apia", "Pacific/Apia", -13.8333, -171.7667),
    ("Kiritimati", "Pacific/Kiritimati", 1.8700, -157.4000),
    ("Honolulu", "Pacific/Honolulu", 21.3069, -157.8583),
    ("Mumbai", "Asia/Kolkata", 19.0760, 72.8777),
    ("Cape Town", "Africa/Johannesburg", -33.9249, 18.4241),
    ("Quito", "America/Guayaquil", -0.1807, -78.4678),
    ("Reykjavik", "Atlantic/Reykjavik", 64.1466, -21.9426),
    ("Anchorage", "America/Anchorage", 61.2181, -149.9003),
    ("Ushuaia", "America/Argentina/Ushuaia", -54.8019, -68.3030),
    ("Tromso", "Europe/Oslo", 69.6492, 18.9553),
]
DATES = [(2026, 3, 20), (2026, 6, 21), (2026, 9, 22), (2026, 12, 21), (2027, 2, 10)]


def sun(jd):
    jc = (jd - 2451545.0) / 36525.0
    l0 = (280.46646 + jc * (36000.76983 + jc * 0.0003032)) % 360
    m = 357.52911 + jc * (35999.05029 - 0.0001537 * jc)
    e = 0.016708634 - jc * (0.000042037 + 0.0000001267 * jc)
    mr = math.radians(m)
    c = (math.sin(mr) * (1.914602 - jc * (0.004817 + 0.000014 * jc)) + math.sin(2 * mr) * (0.019993 - 0.000101 * jc)
         + math.sin(3 * mr) * 0.000289)
    true_long = l0 + c
    omega = math.radians(125.04 - 1934.136 * jc)
    app_long = true_long - 0.00569 - 0.00478 * math.sin(omega)
    mean_obliq = 23 + (26 + (21.448 - jc * (46.815 + jc * (0.00059 - jc * 0.001813))) / 60) / 60
    obliq = math.radians(mean_obliq + 0.00256 * math.cos(omega))
    decl = math.asin(math.sin(obliq) * math.sin(math.radians(app_long)))
    y = math.tan(obliq / 2) ** 2
    l0r = math.radians(l0)
    eqt = 4 * math.degrees(y * math.sin(2 * l0r) - 2 * e * math.sin(mr) + 4 * e * y * math.sin(mr) * math.cos(2 * l0r)
                           - 0.5 * y * y * math.sin(4 * l0r) - 1.25 * e * e * math.sin(2 * mr))
    return decl, eqt


def event_utc(y, mo, d, lat, lon, rising):
    """Minutes after 0:00 UTC of the date, or None when the sun stays up or down."""
    jd0 = datetime(y, mo, d, tzinfo=timezone.utc).timestamp() / 86400.0 + 2440587.5
    t = 720 - 4 * lon  # start at solar noon
    for _ in range(6):
        decl, eqt = sun(jd0 + t / 1440.0)
        latr = math.radians(lat)
        cos_ha = math.cos(math.radians(ZENITH)) / (math.cos(latr) * math.cos(decl)) - math.tan(latr) * math.tan(decl)
        if cos_ha > 1 or cos_ha < -1:
            return None
        ha = math.degrees(math.acos(cos_ha))
        noon = 720 - 4 * lon - eqt
        t = noon - 4 * ha if rising else noon + 4 * ha
    return t


def local(y, mo, d, zone, minutes):
    if minutes is None:
        return "--:--"
    when = datetime(y, mo, d, tzinfo=timezone.utc) + timedelta(minutes=minutes)
    when = when.astimezone(ZoneInfo(zone)) + timedelta(seconds=30)
    return "%02d:%02d" % (when.hour, when.minute)


for city, zone, lat, lon in CITIES:
    for y, mo, d in DATES:
        # The event of the local date: search the UTC dates around it.
        rise = set_ = None
        for dd in (-1, 0, 1):
            base = datetime(y, mo, d) + timedelta(days=dd)
            for rising in (True, False):
                t = event_utc(base.year, base.month, base.day, lat, lon, rising)
                if t is None:
                    continue
                when = (datetime(base.year, base.month, base.day, tzinfo=timezone.utc) + timedelta(minutes=t)).astimezone(ZoneInfo(zone))
                if (when.year, when.month, when.day) != (y, mo, d):
                    continue
                if rising:
                    rise = local(base.year, base.month, base.day, zone, t)
                else:
                    set_ = local(base.year, base.month, base.day, zone, t)
        print('    {"%s", "%s", %.4ff, %.4ff, %d, %d, %d, "%s", "%s"},' %
              (city, zone, lat, lon, y, mo, d, rise or "--:--", set_ or "--:--"))
