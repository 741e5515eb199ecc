#!/usr/bin/env bash
# Sets up, builds and runs Kavelo with the given arguments.
#
# With $DISPLAY set it runs there. Without one it starts a private desktop
# first (Xvfb, openbox without key bindings so Alt-Tab is free, trayer as
# the tray, an xterm, xclock and xeyes) and says which display to use.
# Ctrl-C ends what the script started, by pid, and Kavelo quits cleanly.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
if [ -x "$root/build/app/kavelo" ]; then
  echo "== building kavelo (only what changed) =="
else
  echo "== building kavelo for the first time: every file compiles, which takes some minutes =="
fi
NINJA_STATUS="[%f/%t] " cmake --build "$root/build" -j "$(nproc)" --target kavelo | "$root/scripts/build-progress.sh"
kavelo="$root/build/app/kavelo"

# The desktop entry, so that kavelo: links reach the program.
applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$applications"
cat >"$applications/kavelo.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Kavelo
Comment=Arrange windows from the keyboard
Exec=$kavelo %u
Terminal=false
NoDisplay=true
MimeType=x-scheme-handler/kavelo;
EOF
if command -v xdg-mime >/dev/null; then
  xdg-mime default kavelo.desktop x-scheme-handler/kavelo || true
fi

started=()
session=""
finish() {
  trap - INT TERM EXIT
  # Kavelo first, so it puts every window back on a monitor while the
  # window manager still runs; then the rest, newest first.
  if [ -n "${kavelo_pid:-}" ] && kill -0 "$kavelo_pid" 2>/dev/null; then
    kill -TERM "$kavelo_pid" 2>/dev/null || true
    wait "$kavelo_pid" 2>/dev/null || true
  fi
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill -TERM "${started[i]}" 2>/dev/null || true
  done
  for pid in "${started[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  [ -z "$session" ] || rm -rf "$session"
}
trap finish EXIT
trap 'exit 130' INT TERM

start() {
  "$@" >/dev/null 2>&1 &
  started+=("$!")
}

if [ -z "${DISPLAY:-}" ]; then
  session=$(mktemp -d)
  # The first free display from :20 on.
  number=20
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
    number=$((number + 1))
  done
  export DISPLAY=":$number"
  start Xvfb "$DISPLAY" -screen 0 1920x1080x24 -nolisten tcp
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$number" ] && break
    sleep 0.05
  done
  # openbox as installed binds Alt-Tab to its own switcher: leave the
  # keys free for Kavelo.
  sed '/<keyboard>/,/<\/keyboard>/c\<keyboard></keyboard>' /etc/xdg/openbox/rc.xml >"$session/rc.xml"
  start openbox --config-file "$session/rc.xml"
  sleep 0.5
  start trayer --edge top --align right --widthtype request --height 28 --SetDockType true \
    --SetPartialStrut true --transparent false --tint 0x202020
  start xterm
  start xclock
  start xeyes
  echo "Kavelo's private desktop is on DISPLAY=$DISPLAY (take a picture of it with: import -display $DISPLAY -window root shot.png)"
fi

"$kavelo" "$@" &
kavelo_pid=$!
set +e
wait "$kavelo_pid"
status=$?
set -e
kavelo_pid=""
exit "$status"
