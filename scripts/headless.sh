#!/usr/bin/env bash
# Runs a command on a private headless X server with a window manager,
# a compositor and a tray host, then ends exactly the processes it started.
#
#   scripts/headless.sh [--size WxH] [--no-wm] [--no-compositor] [--no-tray] -- command [args...]
set -uo pipefail

size=1920x1080
with_wm=1 with_compositor=1 with_tray=1
while [[ $# -gt 0 ]]; do
  case "$1" in
    --size) size="$2"; shift 2 ;;
    --no-wm) with_wm=0; shift ;;
    --no-compositor) with_compositor=0; shift ;;
    --no-tray) with_tray=0; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [[ $# -eq 0 ]]; then
  echo "usage: $0 [--size WxH] [--no-wm] [--no-compositor] [--no-tray] -- command [args...]" >&2
  exit 2
fi

pids=()
workdir=$(mktemp -d)
cleanup() {
  local i
  for (( i=${#pids[@]}-1; i>=0; i-- )); do
    kill "${pids[i]}" 2>/dev/null
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null
  done
  rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# -displayfd lets the server pick a free display and tell us which one.
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp +extension Composite \
  +extension MIT-SHM -dpi 96 3>"$workdir/display" >"$workdir/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do
  [[ -s "$workdir/display" ]] && break
  kill -0 "${pids[0]}" 2>/dev/null || { cat "$workdir/xvfb.log" >&2; exit 1; }
  sleep 0.05
done
display=$(tr -d '[:space:]' <"$workdir/display")
if [[ -z "$display" ]]; then
  echo "headless: Xvfb did not report a display" >&2
  exit 1
fi
export DISPLAY=":$display"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

if (( with_wm )); then
  openbox --sm-disable >"$workdir/openbox.log" 2>&1 &
  pids+=($!)
  # The window manager is ready once it has claimed the screen.
  for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
  done
fi
if (( with_compositor )); then
  xcompmgr >"$workdir/xcompmgr.log" 2>&1 &
  pids+=($!)
fi
if (( with_tray )); then
  trayer --edge bottom --align right --widthtype request --height 24 \
    --SetDockType true --transparent false >"$workdir/trayer.log" 2>&1 &
  pids+=($!)
fi

"$@"
rc=$?
exit $rc
