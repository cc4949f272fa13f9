#!/usr/bin/env bash
# Runs a command on a private headless X server with a window manager,
# a compositor, a tray host and a private sound server, then ends exactly the
# processes it started.
#
#   scripts/headless.sh [--size WxH] [--no-wm] [--no-compositor] [--no-tray] [--no-sound]
#                       [--portal BACKEND | --desktop gnome|gnome-shell] -- command [args...]
#
# The sound server (PulseAudio, private runtime folder, reached only through
# PULSE_SERVER) has a null sink "speakers" as default sink and a 440 Hz sine
# source "mic" as default source. Without it, PULSE_SERVER names a socket
# that does not exist, so a real server is never met either way.
#
# --portal BACKEND stands in for a Wayland desktop's screen sharing: a
# private session bus, PipeWire and WirePlumber in a private runtime folder,
# the permission store, BACKEND (the test portal backend) and the real
# xdg-desktop-portal frontend routed to it through a .portal file of its
# own. The command gets DBUS_SESSION_BUS_ADDRESS, XDG_SESSION_TYPE=wayland,
# VEXLO_TEST_PORTAL=1, VEXLO_TEST_PORTAL_LOGS (the folder of the rig's
# logs) and VEXLO_TEST_PORTAL_PIPEWIRE_PID, and starts once the frontend
# answers.
#
# --desktop gnome runs the real GNOME stack instead of Xvfb and its window
# manager (scripts/gnome-rig.sh): mutter headless on one virtual monitor of
# --size, its Xwayland as the command's X server, xdg-desktop-portal-gnome
# behind the real frontend, the accessibility bus its dialog is answered
# through, PipeWire, all on a private bus and runtime folder. gnome-shell
# in mutter's place lists windows in the dialog. The command gets
# XDG_SESSION_TYPE=wayland, VEXLO_TEST_DESKTOP (gnome or gnome-shell) and
# VEXLO_TEST_DESKTOP_LOGS.
set -uo pipefail

size=1920x1080
with_wm=1 with_compositor=1 with_tray=1 with_sound=1
portal_backend=""
desktop=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --size) size="$2"; shift 2 ;;
    --no-wm) with_wm=0; shift ;;
    --no-compositor) with_compositor=0; shift ;;
    --no-tray) with_tray=0; shift ;;
    --no-sound) with_sound=0; shift ;;
    --portal) portal_backend="$2"; shift 2 ;;
    --desktop) desktop="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [[ $# -eq 0 ]]; then
  echo "usage: $0 [--size WxH] [--no-wm] [--no-compositor] [--no-tray] [--no-sound] [--portal BACKEND | --desktop gnome|gnome-shell] -- command [args...]" >&2
  exit 2
fi
if [[ -n "$desktop" && ( -n "$portal_backend" || ( "$desktop" != gnome && "$desktop" != gnome-shell ) ) ]]; then
  echo "headless: --desktop is gnome or gnome-shell, without --portal" >&2
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

# The real desktop brings its own X server (Xwayland) and window manager.
if [[ -z "$desktop" ]]; then
  # -displayfd lets the server pick a free display and tell us which one.
  # -noreset: by default the server resets when its last client leaves and
  # drops a client connecting meanwhile; openbox, starting beside the first
  # xprop below, then ended at once and left the run without a window manager.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp +extension Composite \
    +extension MIT-SHM -dpi 96 -noreset 3>"$workdir/display" >"$workdir/xvfb.log" 2>&1 &
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

  if (( with_wm )); then
    openbox --sm-disable >"$workdir/openbox.log" 2>&1 &
    pids+=($!)
    # The window manager is ready once it has claimed the screen. Tests need
    # it (focus, WM_STATE, moves), so the command never runs without it.
    wm_claimed() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
    for _ in $(seq 1 600); do
      wm_claimed || ! kill -0 "${pids[-1]}" 2>/dev/null && break
      sleep 0.05
    done
    if ! wm_claimed; then
      echo "headless: the window manager did not claim the screen" >&2
      cat "$workdir/openbox.log" >&2
      exit 1
    fi
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
fi
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

export PULSE_SERVER="unix:$workdir/pulse/native"
if (( with_sound )); then
  mkdir -p "$workdir/pulse/home" "$workdir/pulse/runtime"
  chmod 700 "$workdir/pulse/runtime"
  cat >"$workdir/pulse/default.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$workdir/pulse/native
load-module module-null-sink sink_name=speakers rate=48000 channels=2 norewinds=1
load-module module-sine-source source_name=mic frequency=440 rate=48000
set-default-sink speakers
set-default-source mic
EOF
  # -n: only the script above; no D-Bus, realtime or idle exit; runs as root too.
  HOME="$workdir/pulse/home" XDG_RUNTIME_DIR="$workdir/pulse/runtime" \
    pulseaudio -n -F "$workdir/pulse/default.pa" --daemonize=no --use-pid-file=false \
    --exit-idle-time=-1 --realtime=false --high-priority=false --system=false \
    --log-target=stderr >"$workdir/pulse.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.05
  done
  if ! pactl info >/dev/null 2>&1; then
    echo "headless: the sound server did not start" >&2
    cat "$workdir/pulse.log" >&2
    exit 1
  fi
fi

if [[ -n "$portal_backend" ]]; then
  source "$(dirname "$0")/portal-rig.sh"
  start_portal_rig "$portal_backend" "$workdir/portal" || exit 1
fi
if [[ -n "$desktop" ]]; then
  source "$(dirname "$0")/portal-rig.sh"
  source "$(dirname "$0")/gnome-rig.sh"
  start_gnome_rig "$desktop" "$workdir/desktop" "$size" || exit 1
fi

"$@"
rc=$?
exit $rc
