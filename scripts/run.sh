#!/usr/bin/env bash
# Installs what is missing, builds, and starts Trovik32.
#
# Without a display (no DISPLAY or WAYLAND_DISPLAY) the program runs on a
# private virtual X display, shared over VNC on 127.0.0.1 only, with a
# password made on first use. Reach it from another machine through SSH:
#   ssh -L 5900:localhost:5900 user@host     then connect a viewer to localhost:5900
#
# TROVIK_VNC_PORT   the VNC port (default 5900)
# TROVIK_BINARY     run this binary as it is: no package check, no build
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${TROVIK_BINARY:-}" ]; then
  binary=$TROVIK_BINARY
else
  scripts/setup.sh
  scripts/build.sh build > /dev/null
  binary=build/trovik32
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$binary" "$@"
fi

for tool in Xvfb x11vnc; do
  command -v "$tool" > /dev/null || { echo "trovik32: no display, and $tool is missing (apt-get install xvfb x11vnc)" >&2; exit 1; }
done

port=${TROVIK_VNC_PORT:-5900}
config=${XDG_CONFIG_HOME:-$HOME/.config}/Ostrel
mkdir -p "$config"
secret=$config/trovik32-vnc.passwd
if [ ! -s "$secret" ]; then
  (umask 077; head -c 12 /dev/urandom | base64 | tr -d '/+=' | head -c 8 > "$secret.txt")
  x11vnc -storepasswd "$(cat "$secret.txt")" "$secret" > /dev/null 2>&1
  chmod 600 "$secret"
  echo "A VNC password was made for you: $(cat "$secret.txt")  (kept in $secret.txt)"
fi

xvfb_pid="" vnc_pid="" app_pid=""
cleanup() {
  for p in $app_pid $vnc_pid $xvfb_pid; do kill "$p" 2> /dev/null || true; done
  for p in $app_pid $vnc_pid $xvfb_pid; do wait "$p" 2> /dev/null || true; done
}
trap cleanup EXIT
trap 'exit 143' TERM HUP INT

# The X server picks a free display number itself and tells it through a pipe;
# it takes no network connections.
exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp -nolisten unix-abstract > /dev/null 2>&1 &
xvfb_pid=$!
read -r -t 10 -u "$displayfd" number || { echo "trovik32: the virtual display did not start" >&2; exit 1; }
exec {displayfd}>&-
export DISPLAY=:$number

x11vnc -display "$DISPLAY" -rfbport "$port" -localhost -listen 127.0.0.1 -noipv6 -rfbauth "$secret" \
  -forever -shared -nopw -quiet > /dev/null 2>&1 &
vnc_pid=$!

echo "No display found: Trovik32 runs on display $DISPLAY, served over VNC at 127.0.0.1:$port only (password: $secret.txt)."
echo "From another machine: ssh -L $port:localhost:$port user@this-host, then a VNC viewer to localhost:$port."

# No window manager runs on the virtual display: the window fills the screen.
TROVIK_HEADLESS=1 "$binary" "$@" &
app_pid=$!
set +e
wait "$app_pid"
status=$?
app_pid=""
exit $status
