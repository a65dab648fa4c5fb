#!/usr/bin/env bash
# Installs what is needed, builds, and shows the tool working against the simulated device:
# the desktop program when there is a display, else the three jobs through quorvane-cli.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
demo="$(mktemp -d /tmp/quorvane-demo.XXXXXX)"
# shellcheck source=scripts/demo-lib.sh
source scripts/demo-lib.sh
trap stop_device EXIT
build_programs
start_device

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  prepare_desktop
  make_firmware "$demo/firmware.rom"
  echo "starting the desktop program; a firmware image to try is $demo/firmware.rom"
  echo "its settings are kept in $demo/quorvane.ini; close the window to end the demo"
  "$demo/quorvane"
  exit 0
fi

echo "no display (neither DISPLAY nor WAYLAND_DISPLAY is set):"
echo "running the three jobs through quorvane-cli against the simulated device instead"
cli="$bin/cli/quorvane-cli"
cd "$demo"
make_firmware firmware.rom
set -x
"$cli" --device "$device" identify
"$cli" --device "$device" backup --output settings.prmz
"$cli" --device "$device" upload firmware.rom
"$cli" --device "$device" restore settings.prmz --yes
{ set +x; } 2>/dev/null
echo "done: the files are in $demo"
