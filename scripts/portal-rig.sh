# The portal rig of scripts/headless.sh --portal (sourced there; it adds the
# processes it starts to headless.sh's pids, which end them in reverse order).

# Waits until a command succeeds, up to about ten seconds (rig_wait) or the
# given number of seconds (rig_wait_seconds); false otherwise.
rig_wait_seconds() {
  local seconds="$1" i
  shift
  for (( i = 0; i < seconds * 20; i++ )); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  return 1
}

rig_wait() {
  rig_wait_seconds 10 "$@"
}

rig_bus_has() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

# The frontend has exported the screen cast portal, not only taken its name.
rig_screencast_answers() {
  dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
    org.freedesktop.DBus.Properties.Get string:org.freedesktop.portal.ScreenCast string:version 2>/dev/null \
    | grep -q 'uint32'
}

rig_fail() {
  local log="$2"
  echo "headless: $1" >&2
  [[ -n "$log" && -f "$log" ]] && tail -n 40 "$log" >&2
  return 1
}

# rig_bus FOLDER NAME: a private bus at FOLDER/NAME; its address goes to
# rig_bus_address.
rig_bus() {
  local dir="$1" name="$2" logs="$1/logs"
  # No service folders: nothing is ever activated behind the rig's back.
  cat >"$dir/$name.conf" <<BUS
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$dir/$name</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
BUS
  dbus-daemon --config-file="$dir/$name.conf" --nofork --print-address=3 \
    3>"$dir/$name-address" >"$logs/$name.log" 2>&1 &
  pids+=($!)
  rig_wait test -s "$dir/$name-address" || { rig_fail "the private bus $name did not start" "$logs/$name.log"; return 1; }
  rig_bus_address=$(head -n 1 "$dir/$name-address")
}

# rig_pipewire FOLDER: PipeWire and WirePlumber in the runtime folder that
# rig_env (the rig's environment, an array) names.
rig_pipewire() {
  local dir="$1" logs="$1/logs"
  "${rig_env[@]}" pipewire >"$logs/pipewire.log" 2>&1 &
  pids+=($!)
  # A test may end it on purpose, to see a lost connection reported.
  export VEXLO_TEST_PORTAL_PIPEWIRE_PID=$!
  rig_wait test -S "$dir/runtime/pipewire-0" || { rig_fail "PipeWire did not start" "$logs/pipewire.log"; return 1; }

  "${rig_env[@]}" wireplumber >"$logs/wireplumber.log" 2>&1 &
  pids+=($!)
  rig_wait sh -c "XDG_RUNTIME_DIR='$dir/runtime' pw-cli ls Client | grep -qi wireplumber" \
    || { rig_fail "WirePlumber did not reach PipeWire" "$logs/wireplumber.log"; return 1; }
}

# start_portal_rig BACKEND FOLDER
start_portal_rig() {
  local backend="$1" dir="$2"
  if [[ ! -x "$backend" ]]; then
    echo "headless: the portal backend '$backend' is not an executable" >&2
    return 1
  fi
  mkdir -p "$dir"/{runtime,home,config,data,state,portals,logs}
  chmod 700 "$dir/runtime"
  local logs="$dir/logs"

  cat >"$dir/portals/vexlotest.portal" <<PORTAL
[portal]
DBusName=org.freedesktop.impl.portal.desktop.vexlotest
Interfaces=org.freedesktop.impl.portal.ScreenCast;org.freedesktop.impl.portal.GlobalShortcuts;
UseIn=vexlotest
PORTAL

  rig_bus "$dir" bus || return 1
  export DBUS_SESSION_BUS_ADDRESS="$rig_bus_address"

  # The rig's own processes live in the private folders, away from the X
  # server and any real desktop's runtime folder.
  rig_env=(env -u DISPLAY -u WAYLAND_DISPLAY -u PIPEWIRE_REMOTE -u PIPEWIRE_RUNTIME_DIR
    HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/config"
    XDG_DATA_HOME="$dir/data" XDG_STATE_HOME="$dir/state"
    XDG_CURRENT_DESKTOP=vexlotest XDG_DESKTOP_PORTAL_DIR="$dir/portals")

  rig_pipewire "$dir" || return 1

  # Keeps the restore data behind the tokens the frontend hands out.
  "${rig_env[@]}" /usr/libexec/xdg-permission-store --replace >"$logs/permission-store.log" 2>&1 &
  pids+=($!)
  rig_wait rig_bus_has org.freedesktop.impl.portal.PermissionStore \
    || { rig_fail "the permission store did not start" "$logs/permission-store.log"; return 1; }

  # The frontend reads the backend's properties when it starts, so the
  # backend comes first; it restarts the frontend when they change.
  "${rig_env[@]}" VEXLO_TEST_PORTAL_FRONTEND=/usr/libexec/xdg-desktop-portal QT_FORCE_STDERR_LOGGING=1 \
    "$backend" >"$logs/backend.log" 2>&1 &
  pids+=($!)
  rig_wait rig_bus_has org.freedesktop.impl.portal.desktop.vexlotest \
    || { rig_fail "the test portal backend did not start" "$logs/backend.log"; return 1; }

  "${rig_env[@]}" /usr/libexec/xdg-desktop-portal --replace >"$logs/frontend.log" 2>&1 &
  pids+=($!)
  rig_wait rig_screencast_answers \
    || { rig_fail "the portal frontend does not offer screen casts" "$logs/frontend.log"; return 1; }

  export XDG_SESSION_TYPE=wayland VEXLO_TEST_PORTAL=1 VEXLO_TEST_PORTAL_LOGS="$logs"
}
