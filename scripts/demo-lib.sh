# Shared by run-demo.sh and screenshots.sh: the simulated device on a pty and a copy of the
# desktop program beside an ini file that points COM1 at it.
# Expects: $root (the repository), $demo (a scratch folder). Sets: $bin, $devsim_pid, $device.

# QV_BUILD_DIR: an existing build folder to use instead of the default preset's.
bin="${QV_BUILD_DIR:-$root/build/default}/src/apps"

build_programs() {
  if [ -n "${QV_BUILD_DIR:-}" ]; then
    cmake --build "$QV_BUILD_DIR" --target quorvane quorvane-cli quorvane-devsim
  else
    cmake --preset default
    cmake --build --preset default --target quorvane quorvane-cli quorvane-devsim
  fi
}

# Starts quorvane-devsim with the given options; $device is a stable link to its pty.
start_device() {
  device="$demo/device"
  coproc DEVSIM { exec "$bin/devsim/quorvane-devsim" --link "$device" "$@"; }
  devsim_pid=$DEVSIM_PID
  local first
  read -r first <&"${DEVSIM[0]}"
  case "$first" in
    "pty: "*) echo "simulated device on ${first#pty: } (link $device)" ;;
    *) echo "quorvane-devsim did not start: $first" >&2; exit 1 ;;
  esac
}

stop_device() {
  if [ -n "${devsim_pid:-}" ]; then
    kill "$devsim_pid" 2>/dev/null || true
    wait "$devsim_pid" 2>/dev/null || true
    devsim_pid=
  fi
}

# The desktop program reads its ini file beside its executable: a copy of the program in the
# scratch folder gets one with COM1 at the simulated device and manual port choice on COM1.
prepare_desktop() {
  cp "$bin/qt/quorvane" "$demo/quorvane"
  printf '[RS232]\r\nPort=1\r\n[Common]\r\nAuto=0\r\n[Ports]\r\nCOM1=%s\r\n' "$device" \
    > "$demo/quorvane.ini"
}

# A firmware image for the simulated device: 4 pages and the trailer naming type 0x21,
# version 0x0405 and load address 0x00008000.
make_firmware() {
  head -c 4096 /dev/urandom > "$1"
  printf '\x21\x05\x04\x00\x80\x00\x00' >> "$1"
}
