#!/bin/bash
# Runs a command with a private virtual display and a private PulseAudio
# server whose default capture source is the monitor of a null sink named
# "meter", then stops both. Options before the command:
#   --no-pulse     start no sound server (PULSE_SERVER points at nothing)
#   --pipewire     PipeWire with its PulseAudio service instead of PulseAudio,
#                  on a private session bus (DBUS_SESSION_BUS_ADDRESS)
#   --wine         also provide a Wine prefix (WINEPREFIX), made once per
#                  prefix directory and reused (VELLUMTONE_WINEPREFIX or
#                  $TMPDIR/vellumtone-wineprefix)
#   --dpi N        start the X server with Xft.dpi N in its resource database
#                  and, with --wine, run the command with the desktop's
#                  LogPixels (Windows' system DPI) set to N in the prefix
#   --screen WxH   the virtual screen's size (1280x800)
# A command may set LogPixels itself (wine reg add) if it first creates the
# file $WINEPREFIX/.vellumtone-logpixels: the value is removed again when the
# command ends, or at the start of the next run if this one was cut short, so
# every other run of the shared prefix sees 96 DPI.
# The command sees DISPLAY, PULSE_SERVER, XDG_RUNTIME_DIR, XDG_CONFIG_HOME
# (empty, private) and, with --wine,
# WINEPREFIX, whose settings folder (AppData\Roaming\Vellumtone) is empty at
# the start and removed at the end; PULSE_SINK=meter names the sink that plays the test signal;
# VELLUMTONE_XVFB_PID is the X server's, for a test that kills it.
# VELLUMTONE_SOUND says which server runs (pulse, pipewire or none) and
# VELLUMTONE_SOUND_SERVER is tests/sound_server.sh, with which a test kills
# the server and starts a new one on the same runtime directory:
#   "$VELLUMTONE_SOUND_SERVER" kill; "$VELLUMTONE_SOUND_SERVER" start "$VELLUMTONE_SOUND"
set -u
sound=pulse
want_wine=0
dpi=""
screen=1280x800
while [ $# -gt 0 ]; do
  case "$1" in
    --no-pulse) sound=none; shift ;;
    --pipewire) sound=pipewire; shift ;;
    --wine) want_wine=1; shift ;;
    --dpi) dpi="$2"; shift 2 ;;
    --screen) screen="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done

runtime=$(mktemp -d "${TMPDIR:-/tmp}/vellumtone-svc.XXXXXX")
xvfb_pid=""
bus_pid=""
export VELLUMTONE_SOUND=$sound
export VELLUMTONE_SOUND_SERVER
VELLUMTONE_SOUND_SERVER="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/sound_server.sh"
cleanup() {
  [ "$sound" != none ] && XDG_RUNTIME_DIR="$runtime" "$VELLUMTONE_SOUND_SERVER" stop
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null && wait "$bus_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT

# A display number that nobody uses: the lock file tells.
display=""
for n in $(seq $((100 + RANDOM % 300)) 499); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "with_services: no free display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 "${screen}x24" -nolisten tcp -noreset -dpi "${dpi:-96}" >"$runtime/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
export VELLUMTONE_XVFB_PID=$xvfb_pid
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
if [ -n "$dpi" ]; then
  echo "Xft.dpi: $dpi" | xrdb -merge 2>/dev/null || true
fi

export XDG_RUNTIME_DIR="$runtime"
# The X11 program under test: a compositor of the desktop the tests run in
# (an absolute WAYLAND_DISPLAY) would otherwise take it.
unset WAYLAND_DISPLAY
# The program's settings file lives here, never in the user's own folder.
export XDG_CONFIG_HOME="$runtime/config"
export PULSE_SERVER="unix:$runtime/pulse/native"
export PULSE_SINK=meter
if [ "$sound" = pipewire ]; then
  # The session manager and the PulseAudio service find PipeWire's parts
  # through a session bus; a private one, so nothing reaches the machine's.
  dbus-daemon --session --address="unix:path=$runtime/bus" --nofork --nopidfile \
    >"$runtime/dbus.log" 2>&1 &
  bus_pid=$!
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus"
  for _ in $(seq 50); do
    [ -S "$runtime/bus" ] && break
    sleep 0.1
  done
fi
if [ "$sound" != none ]; then
  "$VELLUMTONE_SOUND_SERVER" start "$sound" || { echo "with_services: no sound server" >&2; exit 1; }
fi

# Back to the system DPI that Wine assumes when the desktop states none.
clear_logpixels() {
  wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
  rm -f "$logpixels_mark"
}

if [ "$want_wine" = 1 ]; then
  export WINEDEBUG=-all
  export WINEPREFIX="${VELLUMTONE_WINEPREFIX:-${TMPDIR:-/tmp}/vellumtone-wineprefix}"
  export WINEDLLOVERRIDES="mscoree,mshtml="
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.vellumtone-ready-2" ]; then
      rm -rf "$WINEPREFIX"
      wineboot -i >/dev/null 2>&1
      # A crashing test program ends at once instead of waiting in the
      # crash debugger until the test's time runs out.
      wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /d false /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.vellumtone-ready-2"
    fi
  ) 9>"${WINEPREFIX%/}.lock"
  logpixels_mark="$WINEPREFIX/.vellumtone-logpixels"
  [ -f "$logpixels_mark" ] && clear_logpixels
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Vellumtone
  if [ -n "$dpi" ]; then
    touch "$logpixels_mark"
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  fi
fi

"$@"
status=$?
if [ "$want_wine" = 1 ]; then
  [ -f "$logpixels_mark" ] && clear_logpixels
  rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Vellumtone
  # Ends the server, which writes the registry to the prefix first.
  wineserver -k >/dev/null 2>&1 || true
fi
exit $status
