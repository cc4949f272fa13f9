#!/usr/bin/env bash
# Installs every Debian package Vexlo needs to build, run and test.
# Returns at once when all of them are present.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake make pkg-config
  # Qt 6
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools
  qt6-l10n-tools qt6-translations-l10n libqt6svg6 qt6-image-formats-plugins
  libgl-dev
  # FFmpeg libraries and the converter's program
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libavdevice-dev ffmpeg
  # sound: capture through the PulseAudio client API; drift correction
  libpulse-dev libswresample-dev
  # X11 layer
  libxcb1-dev libxcb-shm0-dev libxcb-composite0-dev libxcb-xinput-dev libxcb-xfixes0-dev
  libxcb-icccm4-dev libxcb-ewmh-dev
  # Wayland capture: the ScreenCast portal over D-Bus and the PipeWire stream
  libpipewire-0.3-dev
  # speed
  libyuv-dev
  # the tests read the clipboard back
  xclip
  # headless X for tests and screenshots
  xvfb xauth openbox xcompmgr trayer xdotool libxtst-dev x11-utils x11-xserver-utils imagemagick
  # the tests' private sound server
  pulseaudio pulseaudio-utils
  # CJK glyphs: the interface speaks Chinese by default
  fonts-wqy-microhei
  # the tests' stand-in desktop: private PipeWire and the real portal frontend
  pipewire pipewire-bin wireplumber xdg-desktop-portal dbus
  # the tests' real desktop: GNOME's compositor headless with Xwayland, its
  # portal backend, the accessibility bus and the driver of its dialog
  # (/usr/bin/python3 with pyatspi); gnome-shell for window lists
  mutter xdg-desktop-portal-gnome xwayland at-spi2-core python3-pyatspi gnome-shell
  # the benchmark's peer recorder of a PipeWire stream
  gstreamer1.0-pipewire gstreamer1.0-plugins-ugly
  # installation: launcher and AppStream validators, the package's tools
  desktop-file-utils appstream lintian dpkg-dev
  # tests: recordings read by the GStreamer stack most Linux players use
  gstreamer1.0-tools gstreamer1.0-plugins-base-apps gstreamer1.0-plugins-good gstreamer1.0-libav
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
