#!/usr/bin/env bash
# The headless run: scripts/run.sh without a display serves the window over
# VNC on the loopback address only, asks for a password, fills the virtual
# screen, and leaves nothing behind when it is stopped.
#   headless_test.sh TROVIK32_BINARY
set -uo pipefail
binary=$(realpath "$1")
here=$(cd "$(dirname "$0")/.." && pwd)
for tool in Xvfb x11vnc ss xdotool; do
  command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"; exit 77; }
done

fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

work=$(mktemp -d)
port=$((20000 + RANDOM % 20000))
while ss -ltn "sport = :$port" | grep -q LISTEN; do port=$((port + 1)); done

env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$work" XDG_CONFIG_HOME="$work/config" \
  TROVIK_BINARY="$binary" TROVIK_VNC_PORT=$port setsid "$here/scripts/run.sh" > "$work/run.log" 2>&1 &
pid=$!

stop() {
  kill -TERM "$pid" 2> /dev/null
  for _ in $(seq 50); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
  kill -KILL -- "-$pid" 2> /dev/null
}
trap 'stop; rm -rf "$work"' EXIT

for _ in $(seq 100); do
  ss -ltn "sport = :$port" | grep -q LISTEN && break
  sleep 0.1
done
cat "$work/run.log"

listeners=$(ss -ltnH "sport = :$port" | awk '{print $4}')
echo "listening: $listeners"
check "the VNC port is open" '[ -n "$listeners" ]'
check "it listens on the loopback address only" \
  '! printf "%s\n" $listeners | grep -vqE "^(127\.0\.0\.1|\[::1\]):$port$"'

# The server offers VNC authentication (2), never "None" (1).
types=$(timeout 5 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port; head -c 12 <&3 > /dev/null; printf 'RFB 003.008\n' >&3; n=\$(head -c 1 <&3 | od -An -tu1); head -c \$n <&3 | od -An -tu1" | xargs)
echo "security types: $types"
check "a password is asked" '[[ " $types " == *" 2 "* ]]'
check "no access without one" '[[ " $types " != *" 1 "* ]]'
check "the password file is private" '[ "$(stat -c %a "$work/config/Ostrel/trovik32-vnc.passwd")" = 600 ]'

display=$(sed -n 's/.*runs on display \(:[0-9]*\).*/\1/p' "$work/run.log")
check "the display is named" '[ -n "$display" ]'
window=""
for _ in $(seq 100); do
  window=$(DISPLAY=$display xdotool search --onlyvisible --name Trovik32 2> /dev/null | head -1)
  [ -n "$window" ] && break
  sleep 0.1
done
check "the window is shown" '[ -n "$window" ]'
if [ -n "$window" ]; then
  sleep 0.5
  eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$window")"
  echo "window: ${WIDTH}x${HEIGHT} at $X,$Y"
  check "the window fills the virtual screen" '[ "$WIDTH" -ge 1200 ] && [ "$HEIGHT" -ge 700 ]'
fi

children=$(pgrep -s "$pid" | xargs)
stop
sleep 0.3
left=""
for c in $children; do kill -0 "$c" 2> /dev/null && left="$left $c"; done
check "stopping the script ends the program, the VNC server and the display" '[ -z "$left" ]'
check "the settings were saved on the way out, with the window's own placement, not the screen's" \
  'grep -q "^right=200$" "$work/config/Ostrel/Trovik32.conf" && grep -q "^bottom=150$" "$work/config/Ostrel/Trovik32.conf"'
exit $fail
