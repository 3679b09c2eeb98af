#!/bin/bash
# Installs, from the distribution's packages, whatever of the build and test
# tools is missing. Asks for root through sudo when not run as root.
#   --all   also what the Windows build, its tests and the packages need
#   --cost  also what the running-cost comparison (make cost) needs
#   --fuzz  also clang with its libFuzzer runtime (tools/fuzz.sh)
set -e
# To build and run the Linux program (and show it without a display).
packages=(
  build-essential cmake pkg-config
  libx11-dev libxext-dev libxrandr-dev libxdamage-dev libfontconfig-dev libpulse-dev
  libwayland-dev wayland-protocols libxkbcommon-dev libdecor-0-dev libfreetype-dev
  # Screen readers: ATK, its AT-SPI bridge, and libdbus for the look for an
  # accessibility bus.
  libatk1.0-dev libatk-bridge2.0-dev libdbus-1-dev
  # libdecor only recommends the plugin that draws its frame: without it a
  # window on GNOME has no title bar and no close button.
  libdecor-0-plugin-1-cairo
  xvfb x11-utils x11-xserver-utils xdotool imagemagick openbox
  pulseaudio pulseaudio-utils fonts-dejavu-core perl
  libgtest-dev googletest libbenchmark-dev
)
for option in "$@"; do
  case "$option" in
    # To test everything: the Windows cross build under Wine, the packages,
    # and the Linux program under PipeWire (its PulseAudio service beside
    # PulseAudio; pipewire-audio and pipewire-alsa would remove PulseAudio).
    --all)
      packages+=(g++-mingw-w64-x86-64-posix wine wine64 nsis zip desktop-file-utils dpkg-dev file)
      packages+=(pipewire wireplumber pipewire-pulse dbus)
      packages+=(clang)
      # The Wayland program's compositor, screenshots and typed keys; the
      # metainfo's validator.
      packages+=(sway grim wtype xwayland appstream)
      # GNOME's compositor, driven through its remote-desktop interface;
      # KDE's compositor with its fake input and its frame, and the tool that
      # changes its scale.
      packages+=(mutter python3-dbus)
      # The accessibility bus and a screen reader's client for its tests.
      packages+=(at-spi2-core python3-pyatspi)
      packages+=(kwin-wayland kwin-style-breeze libkf5screen-bin qtwayland5 plasma-wayland-protocols)
      ;;
    --fuzz) packages+=(clang) ;;
    # The meter it is compared with (measured only) and the chart.
    --cost) packages+=(pavumeter gnuplot-nox) ;;
  esac
done
# clang's libFuzzer runtime is only recommended by it, and its package
# carries clang's major version in its name.
if [[ " ${packages[*]} " == *" clang "* ]] && command -v clang >/dev/null; then
  major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n1)
  [ -n "$major" ] && packages+=("libclang-rt-$major-dev")
fi
missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
# On a machine that had no clang yet, its runtime's name is known only now.
if [[ " ${missing[*]} " == *" clang "* ]]; then
  major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n1)
  $sudo apt-get install -y -qq --no-install-recommends "libclang-rt-$major-dev"
fi
