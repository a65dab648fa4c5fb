#!/usr/bin/env bash
# Takes the README's pictures of the desktop program under Xvfb: the main window, and the
# progress dialog while a settings backup runs against a slow simulated device.
#   scripts/screenshots.sh   writes docs/main-window.png and docs/progress-dialog.png
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

demo="$(mktemp -d /tmp/quorvane-shots.XXXXXX)"
# shellcheck source=scripts/demo-lib.sh
source scripts/demo-lib.sh
[ -x "$bin/qt/quorvane" ] && [ -x "$bin/devsim/quorvane-devsim" ] || build_programs

display=":${QV_SCREEN:-97}"
Xvfb "$display" -screen 0 1024x600x24 -nolisten tcp &
xvfb_pid=$!
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  stop_device
  kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# 9600 baud and 127 blocks: the backup takes a few seconds, long enough to be photographed.
start_device --baud 9600
prepare_desktop
# Its own runtime folder, so that a desktop program already running elsewhere does not stop it.
XDG_RUNTIME_DIR="$demo" "$demo/quorvane" &
app_pid=$!

window=
for _ in $(seq 100); do
  window="$(xdotool search --name 'Quorvane Holtek' 2>/dev/null | head -n 1)" && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the main window did not appear" >&2; exit 1; }
sleep 1
mkdir -p docs
import -window "$window" docs/main-window.png

# bGetParams lies at 16..393 × 152..177 in the window.
xdotool mousemove --window "$window" 200 164 click 1
progress=
for _ in $(seq 100); do
  progress="$(xdotool search --name '^Progress\.\.\.$' 2>/dev/null | head -n 1)" && [ -n "$progress" ] && break
  sleep 0.1
done
[ -n "$progress" ] || { echo "the progress dialog did not appear" >&2; exit 1; }
sleep 2
import -window "$progress" docs/progress-dialog.png
echo "wrote docs/main-window.png and docs/progress-dialog.png"
