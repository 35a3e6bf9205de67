#!/bin/bash
# Types Japanese into the program through a real input method (IBus + Mozc) on a
# virtual X display with a window manager, as a Japanese user does, and checks
# the bytes on disk: a word converted into the item text, a character CP932
# cannot hold (one notice at most, the program goes on), and a label whose
# pre-edit is left by a click into the item text (it lands in the label only).
#
#   tests/ime/ime-session.sh ORVANE [DISPLAY]
#
# Mozc refuses to run as root: as root the session runs as nobody.
set -u
APP=$(readlink -f "$1"); DPY=${2:-:87}
for c in ibus-daemon Xvfb openbox xdotool dbus-run-session python3; do
  command -v $c >/dev/null || { echo "FAIL: $c missing (scripts/install-deps installs it)"; exit 1; }
done
T=$(mktemp -d /tmp/orvane-ime.XXXXXX); chmod 755 "$T"
trap 'rm -rf "$T"' EXIT
mkdir -p "$T/home/.config/mozc" "$T/home/.config/kem/Orvane" "$T/run" "$T/proj/p"
printf '[Root]\r\nFileName=root.txt\r\nLastIndex=0\r\n' > "$T/proj/p/MainTree.dat"
printf 'Title:IME\r\nLine:0\r\nColumn:1\r\n\r\nfirst line\r\n\r\n' > "$T/proj/p/root.txt"
printf '[Main]\r\nRootDir=%s/proj/\r\n' "$T" > "$T/home/.config/kem/Orvane/settings.ini"
printf 'engines {\n  name : "mozc-jp"\n  longname : "Mozc"\n  layout : "default"\n  layout_variant : ""\n  layout_option : ""\n  rank : 80\n}\nactive_on_launch: True\n' > "$T/home/.config/mozc/ibus_config.textproto"
chmod 700 "$T/run"

cat > "$T/inner.sh" <<'IN'
set -u
ibus-daemon -drx
sleep 4 # ibus's helpers reset the engine to the configured one when they start
for i in $(seq 40); do ibus engine mozc-jp 2>/dev/null; [ "$(ibus engine 2>/dev/null)" = mozc-jp ] && break; sleep 0.5; done
[ "$(ibus engine 2>/dev/null)" = mozc-jp ] || { echo "FAIL: the Mozc engine did not start"; ibus exit; exit 3; }
QT_IM_MODULE=ibus "$APP" "$T/proj/p" >"$T/app.log" 2>&1 & A=$!
for i in $(seq 60); do WID=$(xdotool search --onlyvisible --name '^IME$' 2>/dev/null | head -1); [ -n "$WID" ] && break; sleep 0.25; done
[ -n "${WID:-}" ] || { echo "FAIL: no editor window"; kill $A; ibus exit; exit 1; }
xdotool windowactivate --sync "$WID"; sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$WID")"
memo() { xdotool mousemove $((X + WIDTH * 3 / 4)) $((Y + HEIGHT / 2)) click 1; sleep 0.5; }
memo; xdotool key ctrl+End Return
xdotool type --delay 120 nihongo; sleep 0.5; xdotool key space; sleep 0.5; xdotool key Return; sleep 0.5
# A character CP932 cannot hold, committed through the input method.
xdotool key Return; xdotool type --delay 150 vu; sleep 0.5; xdotool key Return; sleep 2
kill -0 $A 2>/dev/null || { echo "FAIL: the program ended after the refused commit"; ibus exit; exit 1; }
N=$(xdotool search --onlyvisible --pid $A 2>/dev/null | wc -l)
[ "$N" -le 2 ] && echo "PASS: $N window(s) after the refused commit" || echo "FAIL: $N windows after the refused commit"
# Rename the root with F2 and leave the pre-edit by a click into the text.
xdotool key ctrl+s; sleep 1
xdotool mousemove $((X + 40)) $((Y + HEIGHT / 3)) click 1; sleep 0.3; xdotool key Home; sleep 0.3
xdotool key F2; sleep 0.5; xdotool key ctrl+a; xdotool type --delay 150 kana; sleep 0.8
memo; sleep 1
xdotool key ctrl+s; sleep 1.5
kill -0 $A 2>/dev/null && echo "PASS: still running" || echo "FAIL: the program ended"
kill $A 2>/dev/null; sleep 1; kill -9 $A 2>/dev/null
ibus exit 2>/dev/null; sleep 1
IN

Xvfb "$DPY" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 & XPID=$!; sleep 2
DISPLAY=$DPY openbox >/dev/null 2>&1 & WMPID=$!; sleep 1
RUN=(); [ "$(id -u)" = 0 ] && { chown -R nobody "$T"; RUN=(setpriv --reuid=nobody --regid=nogroup --clear-groups); }
"${RUN[@]}" env -i PATH=/usr/bin:/bin HOME="$T/home" XDG_RUNTIME_DIR="$T/run" DISPLAY="$DPY" \
  LANG=C.UTF-8 APP="$APP" T="$T" dbus-run-session -- bash "$T/inner.sh" | tee "$T/inner.out"
kill $WMPID $XPID 2>/dev/null
U=$(stat -c %u "$T") # ibus-daemon, ibus-x11 and mozc_server may outlive the session bus
for p in $(ps -o pid= -u "$U" 2>/dev/null); do
  case "$(ps -o comm= -p "$p")" in ibus*|mozc*) kill "$p" 2>/dev/null;; esac
done
python3 - "$T/proj/p/root.txt" <<'PY' || R=1
import sys
d = open(sys.argv[1], 'rb').read()
kana = b'\x82\xa9\x82\xc8'  # かな
checks = [
    (b'\r\n\x93\xfa\x96\x7b\x8c\xea\r\n' in d, "日本語 typed through the input method is in the item file"),
    (d.startswith(b'Title:' + kana + b'\r\n'), "the label typed through the input method is the item's title"),
    (d.count(kana) == 1, "the label's pre-edit is not committed into the item text as well"),
]
bad = 0
for ok, what in checks:
    print(("PASS: " if ok else "FAIL: ") + what)
    bad += not ok
if bad:
    print(repr(d))
sys.exit(1 if bad else 0)
PY
R=${R:-0}
grep -q '^FAIL' "$T/inner.out" && R=1
exit $R
