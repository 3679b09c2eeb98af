#!/bin/bash
# Portable files (no platform suffix) must not reach for a platform header
# or test for a platform.
cd "$(dirname "$0")/.."
status=0
for file in $(ls app/*.cpp app/*.h capture/*.cpp capture/*.h analysis/*.cpp analysis/*.h \
                 meter/*.cpp meter/*.h draw/*.cpp draw/*.h ui/*.cpp ui/*.h \
                 system/*.cpp system/*.h 2>/dev/null |
              grep -Ev '_(win32|winmm|wasapi|x11|wayland|linux|freetype|atk|dbus|pulse|xdg|posix|memory|null)\.(cpp|h)$'); do
  if grep -nE '^\s*#\s*include\s*[<"](windows\.h|mmsystem\.h|X11/|wayland-|xkbcommon/|libdecor|ft2build|fontconfig/|atk|dbus/|glib|pulse/|pthread\.h|unistd\.h|semaphore\.h)|_WIN32|__linux__' "$file"; then
    echo "platform dependency in portable file: $file" >&2
    status=1
  fi
done
[ $status = 0 ] && echo "portable files: no platform headers"
exit $status
