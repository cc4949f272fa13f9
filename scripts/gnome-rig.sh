# The real GNOME desktop of scripts/headless.sh --desktop gnome|gnome-shell
# (sourced there, after portal-rig.sh; the processes it starts join
# headless.sh's pids, which end them in reverse order).
#
# On a private session bus and runtime folder: PipeWire and WirePlumber,
# the accessibility bus, the compositor (mutter, or gnome-shell for window
# lists) headless on one virtual monitor with Xwayland, the permission
# store, xdg-desktop-portal-gnome and the real xdg-desktop-portal frontend.
# The command runs as an X11 client of the compositor's Xwayland.

# rig_xwayland_of PID FILE: the display and authority of the Xwayland the
# compositor PID started, as DISPLAY= and XAUTHORITY= lines in FILE.
rig_xwayland_of() {
  local xwayland
  xwayland=$(pgrep -P "$1" -x Xwayland | head -n 1)
  [[ -n "$xwayland" ]] || return 1
  tr '\0' '\n' <"/proc/$xwayland/cmdline" | awk '
    /^:[0-9]+$/ { print "DISPLAY=" $0 }
    previous == "-auth" { print "XAUTHORITY=" $0 }
    { previous = $0 }' >"$2"
  grep -q '^DISPLAY=' "$2"
}

rig_shell_overview() {
  dbus-send --session --print-reply --dest=org.gnome.Shell /org/gnome/Shell \
    org.freedesktop.DBus.Properties.Get string:org.gnome.Shell string:OverviewActive 2>/dev/null \
    | grep -q "boolean $1"
}

# The shell starts in its overview, which would be recorded instead of the
# windows; it may enter it again as its start-up completes.
rig_shell_leave_overview() {
  dbus-send --session --print-reply --dest=org.gnome.Shell /org/gnome/Shell \
    org.freedesktop.DBus.Properties.Set string:org.gnome.Shell string:OverviewActive \
    variant:boolean:false >/dev/null 2>&1 || return 1
  sleep 1
  rig_shell_overview false
}

# start_gnome_rig KIND FOLDER SIZE: KIND is gnome (mutter) or gnome-shell.
start_gnome_rig() {
  local kind="$1" dir="$2" size="$3"
  local compositor=mutter
  [[ "$kind" == gnome-shell ]] && compositor=gnome-shell
  if ! command -v "$compositor" >/dev/null || [[ ! -x /usr/libexec/xdg-desktop-portal-gnome ]]; then
    echo "headless: --desktop $kind needs $compositor and xdg-desktop-portal-gnome (scripts/install-deps.sh)" >&2
    return 1
  fi
  mkdir -p "$dir"/{runtime,home,config/glib-2.0/settings,data,state,logs}
  chmod 700 "$dir/runtime"
  local logs="$dir/logs"

  rig_bus "$dir" bus || return 1
  export DBUS_SESSION_BUS_ADDRESS="$rig_bus_address"
  # Settings from a key file of the rig's own: no dconf service to start,
  # and the shell's banners stay off, so none covers what is recorded.
  cat >"$dir/config/glib-2.0/settings/keyfile" <<KEYS
[org/gnome/desktop/notifications]
show-banners=false
KEYS
  rig_env=(env -u DISPLAY -u WAYLAND_DISPLAY -u PIPEWIRE_REMOTE -u PIPEWIRE_RUNTIME_DIR
    -u XAUTHORITY HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime"
    XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" XDG_STATE_HOME="$dir/state"
    XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland GSETTINGS_BACKEND=keyfile)

  rig_pipewire "$dir" || return 1

  # The portal's dialog is read and answered through it.
  "${rig_env[@]}" /usr/libexec/at-spi-bus-launcher >"$logs/at-spi.log" 2>&1 &
  pids+=($!)
  rig_wait rig_bus_has org.a11y.Bus || { rig_fail "the accessibility bus did not start" "$logs/at-spi.log"; return 1; }

  local compositor_env=("${rig_env[@]}")
  if [[ "$compositor" == gnome-shell ]]; then
    # An empty system bus: the shell otherwise stops on logind.
    rig_bus "$dir" system-bus || return 1
    compositor_env+=(DBUS_SYSTEM_BUS_ADDRESS="$rig_bus_address")
  fi
  "${compositor_env[@]}" "$compositor" --headless --virtual-monitor "$size" --wayland \
    >"$logs/compositor.log" 2>&1 &
  pids+=($!)
  local compositor_pid=$!
  # A shell starting on a loaded machine takes its time.
  rig_wait_seconds 120 rig_xwayland_of "$compositor_pid" "$dir/display" \
    || { rig_fail "$compositor did not start Xwayland" "$logs/compositor.log"; return 1; }
  rig_wait rig_bus_has org.gnome.Mutter.ScreenCast \
    || { rig_fail "$compositor does not offer ScreenCast" "$logs/compositor.log"; return 1; }
  local wayland_display=wayland-0 x_display x_authority
  rig_wait test -S "$dir/runtime/$wayland_display" \
    || { rig_fail "$compositor offers no Wayland display" "$logs/compositor.log"; return 1; }
  x_display=$(sed -n 's/^DISPLAY=//p' "$dir/display")
  x_authority=$(sed -n 's/^XAUTHORITY=//p' "$dir/display")
  if [[ "$compositor" == gnome-shell ]]; then
    rig_wait_seconds 60 rig_shell_leave_overview \
      || { rig_fail "gnome-shell stays in its overview" "$logs/compositor.log"; return 1; }
  fi

  "${rig_env[@]}" /usr/libexec/xdg-permission-store --replace >"$logs/permission-store.log" 2>&1 &
  pids+=($!)
  rig_wait rig_bus_has org.freedesktop.impl.portal.PermissionStore \
    || { rig_fail "the permission store did not start" "$logs/permission-store.log"; return 1; }

  "${rig_env[@]}" WAYLAND_DISPLAY="$wayland_display" GDK_BACKEND=wayland \
    /usr/libexec/xdg-desktop-portal-gnome --replace >"$logs/portal-gnome.log" 2>&1 &
  pids+=($!)
  rig_wait rig_bus_has org.freedesktop.impl.portal.desktop.gnome \
    || { rig_fail "xdg-desktop-portal-gnome did not start" "$logs/portal-gnome.log"; return 1; }

  "${rig_env[@]}" /usr/libexec/xdg-desktop-portal --replace >"$logs/frontend.log" 2>&1 &
  pids+=($!)
  rig_wait rig_screencast_answers \
    || { rig_fail "the portal frontend does not offer screen casts" "$logs/frontend.log"; return 1; }

  export DISPLAY="$x_display" XAUTHORITY="$x_authority" XDG_SESSION_TYPE=wayland
  export VEXLO_TEST_DESKTOP="$kind" VEXLO_TEST_DESKTOP_LOGS="$logs"
  # The benchmark reports the compositor's own CPU time.
  export VEXLO_TEST_DESKTOP_COMPOSITOR_PID="$compositor_pid"
}
