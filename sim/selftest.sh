#!/bin/sh
# The virtual router itself: what every test relies on.
set -e
fail() { echo "FAIL: $*"; exit 1; }
[ -d /halvix ] && [ -d /etc_ro ] && [ -d /data ] && [ -f /ID ] || fail "router directories"
# /tmp is the run's own: empty but for the project itself when it lives there.
for f in $(ls -A /tmp); do
  case " $SIM_PROJECT_IN_TMP " in *" $f "*) ;; *) fail "/tmp not private: $f" ;; esac
done
[ -e /dev/mtdblock5 ] && [ -e /dev/halvix_timer ] || fail "device nodes"
[ "$(command -v logger)" = /sim/tools/logger ] || fail "logger stand-in not first on PATH"
logger hello world
grep -qx 'hello world' /sim/state/log/syslog || fail "syslog line"
# Loopback and the veth pairs of router-net, both ends inside; no way out.
for i in $(ip -o link 2>/dev/null | sed 's/^[0-9]*: \([^:@]*\).*/\1/'); do
  case "$i" in lo|sim0|sim1|ppp0|ppp1) ;; *) fail "network other than the sandbox's own: $i" ;; esac
done
ip route 2>/dev/null | grep -q '^default' && fail "a route out of the sandbox"
# /out, the run's folder for the developer, is writable.
: > /out/.selftest && rm /out/.selftest || fail "/out not writable"
# Processes run in the hub's time zone (nvram TZ, New York's at first).
[ "$(nvram_get TZ)" != "EST5EDT,M3.2.0,M11.1.0" ] || [ "$(date -d @1466510400 +%H%Z)" = 08EDT ] || fail "not in the hub's zone"
echo "sandbox ok"
