#!/usr/bin/env bash
# The Windows programs under wine: the cross-built unit tests, the Windows CLI against the
# simulated device through a wine COM port, the registry search with keys added by `wine reg`,
# and the desktop program's start, close and single copy under a virtual X server.
#   scripts/test-wine.sh                 everything
#   QV_WINE_BENCH=1 scripts/test-wine.sh also times a paced 64 KiB upload through the CLI
#   QV_UPDATE_DOCS=1 scripts/test-wine.sh also replaces docs/quorvane-wine.png
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

fail() {
  echo "test-wine: FAILED: $*" >&2
  exit 1
}
step() { echo "-- $*"; }

# The id of the first X window whose name holds the text; empty when there is none.
window_id() {
  xwininfo -root -tree 2>/dev/null | grep -F "$1" | awk '{print $1}' | head -1
}
wait_window() {  # text
  local id=
  for _ in $(seq 150); do
    id=$(window_id "$1")
    [ -n "$id" ] && break
    sleep 0.2
  done
  echo "$id"
}

# Runs inside xvfb-run: the program opens with its caption, a second copy ends at once, the
# window closes through WM_CLOSE and the close sequence writes the ini file beside the program.
desktop_smoke() {
  local caption='Quorvane Holtek  (Версия 04.05.22)'
  cd "$QV_APP"
  wine quorvane.exe &
  local gui=$!
  local id
  id=$(wait_window 'Quorvane Holtek')
  [ -n "$id" ] || fail "quorvane.exe opened no window"
  xprop -id "$id" _NET_WM_NAME | grep -qF "\"$caption\"" ||
    fail "the window's caption is not \"$caption\": $(xprop -id "$id" _NET_WM_NAME)"

  # Step 1 from its button, against the simulated device on COM5: the progress dialog runs the
  # backup, the file lands beside the program and the closing box "Information" comes up. The X
  # window is the client area, so the button's design bounds are the place to click.
  xdotool mousemove --window "$id" 204 164 click 1
  local backup=
  for _ in $(seq 150); do
    backup=$(ls ./*.prmz 2>/dev/null | head -1) || true
    [ -n "$backup" ] && [ -n "$(window_id '"Information"')" ] && break
    sleep 0.2
  done
  [ -n "$backup" ] || fail "the backup from the button wrote no settings file"
  [ "$(stat -c %s "$backup")" = 4066 ] || fail "the backup from the button is not 4066 bytes"
  [ -n "$(window_id '"Information"')" ] || fail "no closing box after the backup"

  local begin=$SECONDS status=0
  timeout 60 wine quorvane.exe || status=$?
  [ "$status" = 0 ] || fail "the second copy ended with $status"
  [ $((SECONDS - begin)) -lt 15 ] || fail "the second copy did not end at once"
  [ "$(xwininfo -root -tree | grep -cF 'Quorvane Holtek')" = 1 ] || fail "a second window opened"
  kill -0 "$gui" 2>/dev/null || fail "the first copy ended with the second"

  # The first WM_CLOSE closes the box, whose job then ends; the window closes on a later one.
  for _ in $(seq 10); do
    wine taskkill /im quorvane.exe >/dev/null 2>&1 || true
    for _ in $(seq 10); do kill -0 "$gui" 2>/dev/null || break; sleep 0.2; done
    kill -0 "$gui" 2>/dev/null || break
  done
  if kill -0 "$gui" 2>/dev/null; then
    kill "$gui"
    fail "quorvane.exe did not close on WM_CLOSE"
  fi
  wait "$gui" || fail "quorvane.exe ended with an error"
  for section in '[RS232]' '[Common]' '[MainWindow]'; do
    grep -qF "$section" quorvane.ini || fail "the close sequence wrote no $section"
  done

  # The picture for the README, in a wine desktop of its own so that wine draws the frame and
  # the caption as Windows does.
  wine explorer /desktop=quorvane,850x300 quorvane.exe &
  local shot=$!
  id=$(wait_window 'Wine desktop')
  [ -n "$id" ] || id=$(wait_window 'quorvane')
  [ -n "$id" ] || fail "no wine desktop for the screenshot"
  sleep 3
  # The picture goes under build/; QV_UPDATE_DOCS=1 also replaces the README's copy in docs/.
  mkdir -p "$QV_ROOT/build/wine"
  import -window "$id" "$QV_ROOT/build/wine/quorvane-wine.png" || fail "screenshot"
  if [ "${QV_UPDATE_DOCS:-0}" = 1 ]; then
    cp "$QV_ROOT/build/wine/quorvane-wine.png" "$QV_ROOT/docs/quorvane-wine.png"
  fi
  wine taskkill /im quorvane.exe >/dev/null 2>&1 || true
  for _ in $(seq 50); do kill -0 "$shot" 2>/dev/null || break; sleep 0.2; done
  kill "$shot" 2>/dev/null || true
  echo "desktop program: opens as \"$caption\", backs up from its button, a second copy ends," \
    "closes and writes its ini file"
}

if [ "${1:-}" = desktop-smoke ]; then
  desktop_smoke
  exit 0
fi

cmake --preset mingw >/dev/null
cmake --build --preset mingw
mingw=$root/build/mingw
cli=$mingw/src/apps/cli/quorvane-cli.exe
gui=$mingw/src/apps/win32/quorvane.exe
[ -f "$cli" ] || fail "quorvane-cli.exe was not built"
[ -f "$gui" ] || fail "quorvane.exe was not built"

# The simulated device runs on Linux; the Linux build has it unless this runs on its own.
devsim=$root/build/default/src/apps/devsim/quorvane-devsim
if [ ! -x "$devsim" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target quorvane-devsim
fi

step "only system DLLs are imported"
for exe in "$cli" "$gui"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $dlls; do
    case $dll in
      kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | comdlg32.dll | comctl32.dll | \
        winmm.dll | msvcrt.dll | shell32.dll | ole32.dll | api-ms-win-*) ;;
      *) fail "$(basename "$exe") imports $dll, which Windows does not ship" ;;
    esac
  done
  echo "$(basename "$exe"): $(stat -c %s "$exe") bytes; imports $(echo $dlls | tr '\n' ' ')"
done

work=$(mktemp -d /tmp/qv-wine.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
step "a fresh wine prefix"
wineboot -i >/dev/null 2>&1 || fail "wineboot -i"
wineserver -w
# One server for every run below, instead of a new one per program.
wineserver -p >/dev/null 2>&1
dosdevices=$WINEPREFIX/dosdevices

# A wine COM port on a pseudo-terminal made by socat, which joins it to the given address.
pty_port() {  # name com-number address [socat options]
  local link=$work/$1
  socat "${@:4}" "PTY,raw,echo=0,link=$link" "$3" &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  [ -e "$link" ] || fail "socat made no pty for $1"
  ln -sfn "$(readlink -f "$link")" "$dosdevices/com$2"
}

step "unit tests"
pty_port loopback 7 EXEC:cat
pty_port silent 8 OPEN:/dev/null,wronly -u
export QV_TEST_LOOPBACK_PORT=COM7 QV_TEST_SILENT_PORT=COM8
shopt -s nullglob
tests=("$mingw"/tests/*/*_tests.exe)
[ ${#tests[@]} -gt 0 ] || fail "no unit tests were built"
for t in "${tests[@]}"; do
  log=$work/$(basename "$t").log
  if ! (cd "$(dirname "$t")" && timeout 600 wine "$t" --gtest_brief=1 >"$log" 2>&1); then
    cat "$log"
    fail "$(basename "$t")"
  fi
  grep -q "SKIPPED" "$log" && { cat "$log"; fail "$(basename "$t") skipped tests"; }
  echo "$(basename "$t"): $(grep -E '^\[  PASSED  \]' "$log")"
done
rm -f "$dosdevices/com7" "$dosdevices/com8"

step "the Windows CLI against the simulated device on COM5"
cd "$work"
start_devsim() {  # devsim options...
  "$devsim" --link "$work/devsim" "$@" >"$work/devsim.out" 2>&1 &
  devsim_pid=$!
  pids+=($devsim_pid)
  for _ in $(seq 50); do grep -q '^pty: ' "$work/devsim.out" 2>/dev/null && break; sleep 0.1; done
  local pty
  pty=$(sed -n 's/^pty: //p' "$work/devsim.out" | head -1)
  [ -n "$pty" ] || { cat "$work/devsim.out"; fail "quorvane-devsim printed no pty"; }
  ln -sfn "$pty" "$dosdevices/com5"
}
stop_devsim() {
  kill "$devsim_pid" 2>/dev/null || true
  wait "$devsim_pid" 2>/dev/null || true
}
run_cli() {  # expected-status args...
  local want=$1
  shift
  local status=0
  timeout 300 wine "$cli" "$@" >"$work/cli.out" 2>"$work/cli.err" </dev/null || status=$?
  # Windows programs end their lines with CR LF.
  sed -i 's/\r$//' "$work/cli.out" "$work/cli.err"
  if [ "$status" != "$want" ]; then
    cat "$work/cli.out" "$work/cli.err"
    fail "quorvane-cli.exe $* ended with $status, not $want"
  fi
}
# A firmware image of whole pages for the simulated device: type 0x21, version 0x0405, loaded
# at 0x08004000 (the 7-byte trailer at the end).
make_rom() {  # file pages
  { head -c $(($2 * 1024)) /dev/urandom; printf '\x21\x05\x04\x00\x40\x00\x08'; } >"$1"
}

start_devsim
run_cli 0 --port 5 identify
grep -q '^type=0x21 version=0x0405$' "$work/cli.out" || { cat "$work/cli.out"; fail "identify"; }
run_cli 0 --device COM5 identify
run_cli 0 --device '\\.\COM5' identify
make_rom image.rom 4
run_cli 0 --port 5 upload image.rom
stop_devsim

# A backup restored into a second device, which then holds what the first held; the job's own
# checks and area writes are the job tests' to prove.
start_devsim
run_cli 0 --port 5 backup --output first.prmz
[ "$(stat -c %s first.prmz)" = 4066 ] || fail "the backup is not 4066 bytes"
stop_devsim
start_devsim --settings-out "$work/restored.bin"
run_cli 2 --port 5 restore first.prmz
run_cli 0 --port 5 restore first.prmz --yes
[ -s "$work/restored.bin" ] || fail "the restore stored nothing in the device"
run_cli 0 --port 5 backup --output second.prmz
stop_devsim
cmp -s first.prmz second.prmz || fail "the restored device does not hold the backed-up settings"
echo "identify, upload, backup and restore through COM5 passed"

step "the registry search: COM3 absent, a foreign name and a missing name passed over, COM5"
usb='HKLM\SYSTEM\CurrentControlSet\Enum\USB\Vid_04d9&Pid_8008&MI_00'
reg_add() { wine reg add "$usb\\$1" "${@:2}" /f >/dev/null 2>&1 || fail "wine reg add $1"; }
pty_port foreign 6 EXEC:cat
reg_add 1-absent /v FriendlyName /d 'Holtek USB-UART (COM3)'
reg_add 2-foreign /v FriendlyName /d 'Generic USB Serial (COM6)'
reg_add 3-nameless
reg_add 4-present /v FriendlyName /d 'Holtek USB-UART (COM5)'
start_devsim
run_cli 0 ports
grep -qP '^auto\tCOM5\t' "$work/cli.out" || { cat "$work/cli.out"; fail "ports: --auto does not pick COM5"; }
run_cli 0 --auto identify
grep -q '^type=0x21' "$work/cli.out" || fail "--auto identify"
stop_devsim

if [ "${QV_WINE_BENCH:-0}" = 1 ]; then
  step "paced 64 KiB upload through the Windows CLI"
  make_rom bench.rom 64
  start_devsim --baud 115200 --program-ms 5
  for run in 1 2 3; do
    begin=$(date +%s%N)
    run_cli 0 --port 5 upload bench.rom
    echo "run $run: $(( ($(date +%s%N) - begin) / 1000000 )) ms"
  done
  stop_devsim
fi

step "the desktop program under a virtual X server"
app=$work/app
mkdir -p "$app"
cp "$gui" "$app/quorvane.exe"
# The ini file names COM5, where the simulated device answers the backup run from its button.
printf ' \r\n[RS232]\r\nPort=5\r\n' >"$app/quorvane.ini"
start_devsim
export QV_APP=$app QV_ROOT=$root
# The wine session so far has no display: its desktop process would keep every new window off
# the X server. A new session starts inside the virtual one.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
xvfb-run -a -s "-screen 0 1024x768x24" bash "$root/scripts/test-wine.sh" desktop-smoke ||
  fail "the desktop program's smoke test"
stop_devsim

echo "test-wine: all passed"
