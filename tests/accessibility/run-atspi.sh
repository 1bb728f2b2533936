#!/usr/bin/env bash
# The window as a screen reader sees it: tarnwick under Xvfb with the AT-SPI
# bridge on, read through pyatspi on a private session bus.
# Usage: run-atspi.sh PROGRAM. Exit 77 (skipped) when a tool is missing.
set -euo pipefail
program=${1:?usage: run-atspi.sh PROGRAM}
here=$(cd "$(dirname "$0")" && pwd)
# Debian's own Python, which the python3-pyatspi package serves.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
for tool in Xvfb xdpyinfo dbus-run-session "$python"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
"$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is missing"; exit 77; }
[ -e /usr/share/dbus-1/services/org.a11y.Bus.service ] || { echo "SKIP: at-spi2-core is missing"; exit 77; }

work=$(mktemp -d)
xvfb=
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

display=120
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
export DISPLAY=:$display
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done

export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
unset QT_ACCESSIBILITY NO_AT_BRIDGE
exec dbus-run-session -- "$python" "$here/check-names.py" "$program"
