#!/bin/sh
# The real zeb06ce2 as a screen reader meets it: on a virtual display (xvfb-run), in a private
# D-Bus session whose accessibility bus (AT-SPI) is started before the program, with a private
# home that is removed afterwards. walk.py then drives and reads the program through the bus only.
#
#   ReadsOnTheAccessibilityBus.sh ZEB06CE2 ZEB-FICHES SAMPLE
#
# The run is bounded inside the display and the session (a stuck bus or program fails the test,
# never hangs it): on time-out the bus, the reader and the program are stopped, and the session
# and the display then end as usual, leaving nothing running.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3 # Debian's, which python3-pyatspi is for
launcher=/usr/libexec/at-spi-bus-launcher
seconds=60

if [ "${1:-}" = --inside ]; then
  shift
  # The accessibility bus, then the program: the program finds it when it starts. What the
  # bus's daemons print goes with the buses' log.
  "$launcher" --launch-immediately --a11y=1 >&2 &
  bus=$!
  trap 'kill "$bus" 2>/dev/null || true; wait "$bus" 2>/dev/null || true' EXIT
  trap 'exit 143' TERM
  # Asked without starting it: D-Bus would start a second launcher otherwise.
  tries=0
  until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'; do
    tries=$((tries + 1))
    if [ "$tries" -ge 100 ]; then
      echo "le bus d'accessibilité (at-spi-bus-launcher) ne répond pas après 10 s" >&2
      exit 1
    fi
    sleep 0.1
  done
  status=0
  "$python" "$here/walk.py" "$@" 2>&1 || status=$?
  exit "$status"
fi

missing=
command -v xvfb-run >/dev/null || missing="$missing xvfb"
command -v xauth >/dev/null || missing="$missing xauth"
command -v dbus-run-session >/dev/null || missing="$missing dbus"
[ -x "$launcher" ] || missing="$missing at-spi2-core"
"$python" -c 'import pyatspi' 2>/dev/null || missing="$missing python3-pyatspi"
if [ -n "$missing" ]; then
  echo "il manque des paquets pour lire le programme par le bus d'accessibilité :$missing" \
    "(./dev.sh test les installe)" >&2
  exit 1
fi

# Nothing of the user's: HOME and the XDG folders (the program's folder, Qt's and the bus's
# settings, the bus's socket) in a folder of this run.
home=$(mktemp -d "${TMPDIR:-/tmp}/zeb-atspi.XXXXXX")
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
  XDG_CACHE_HOME="$home/.cache" XDG_STATE_HOME="$home/.local/state" XDG_RUNTIME_DIR="$home/run"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY

# What the display and the buses say is shown only when the run fails. The display's number is
# sought from one of this run's own, so that runs started together do not race for the same.
status=0
xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 1280x1024x24" dbus-run-session -- \
  timeout -k 5 "$seconds" "$0" --inside "$@" 2>"$home/buses.log" || status=$?
if [ "$status" -ne 0 ]; then
  [ "$status" -ne 124 ] || echo "le parcours n'a pas fini en $seconds s" >&2
  echo "--- sortie de l'affichage et des bus :" >&2
  cat "$home/buses.log" >&2
fi
exit "$status"
