#!/bin/bash
# The tray as Linux desktops host it, with real processes on a private D-Bus session bus and a private
# Xvfb display under openbox: a StatusNotifierWatcher (the desktop's SNI host, sni_watcher.py) or an
# XEmbed tray (trayer) that is there from the start, appears late, or goes away while the panel runs.
# --minimized starts the panel in the tray when there is one, and shown when there is none.
# usage: tray_test.sh QV7_PANEL sni|sni-comes-and-goes|xembed|minimized-sni|minimized-no-tray
set -u
panel=$1
case=$2
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAIL ($case): $*"
  for log in panel watcher trayer; do
    [ -s "$dir/$log.log" ] && tail -n 30 "$dir/$log.log" | sed "s/^/  $log: /"
  done
  # A sanitizer's report whole, however long.
  grep -q '^==[0-9]*==ERROR' "$dir/panel.log" 2>/dev/null && sed -n '/^==[0-9]*==ERROR/,$p' "$dir/panel.log"
  exit 1
}
# until_true SECONDS COMMAND...: polls COMMAND until it succeeds; the time only bounds a hang.
until_true() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.1
  done
}
for tool in dbus-daemon Xvfb openbox wmctrl xdotool xwininfo xprop trayer /usr/bin/python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/packages.txt lists what to install)"
done

# A desktop of our own: nothing of the caller's session, bus, display or settings reaches the panel.
unset WAYLAND_DISPLAY QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP DESKTOP_SESSION SESSION_MANAGER
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$dir/run QV7_CONFIG_DIR=$dir/config QV7_CHECK_HOST=127.0.0.1:9
mkdir -m 700 "$dir/run" "$dir/config"
dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$dir/bus" 2>"$dir/dbus.log" &
pids+=($!)
until_true 30 test -s "$dir/bus" || fail "no session bus"
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$dir/bus")
export DBUS_SESSION_BUS_ADDRESS
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x900x24 3>"$dir/display" 2>"$dir/xvfb.log" &
pids+=($!)
until_true 30 test -s "$dir/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$dir/display")
openbox >"$dir/openbox.log" 2>&1 &
pids+=($!)
until_true 30 wmctrl -m >/dev/null 2>&1 || fail "openbox did not start"

watcher=
watchers_started() { [ "$(grep -c '^watching' "$dir/watcher.log" 2>/dev/null)" -gt "$1" ]; }
start_watcher() {
  local before
  before=$(grep -c '^watching' "$dir/watcher.log" 2>/dev/null)
  /usr/bin/python3 "$here/sni_watcher.py" >>"$dir/watcher.log" 2>&1 &
  watcher=$!
  pids+=($watcher)
  until_true 30 watchers_started "${before:-0}" || fail "the watcher did not start"
}
stop() { kill "$1" && wait "$1" 2>/dev/null; }
trayer_pid=
start_trayer() {
  trayer --edge top --align right --widthtype pixel --width 120 --height 32 >>"$dir/trayer.log" 2>&1 &
  trayer_pid=$!
  pids+=($trayer_pid)
  until_true 30 xdotool search --classname '^panel$' >/dev/null 2>&1 || fail "trayer did not start"
}

ppid= wid=
window_shown() { xdotool search --onlyvisible --name Tolka 2>/dev/null | grep -qx "$wid"; }
iconic() { xprop -id "$wid" WM_STATE 2>/dev/null | grep -q 'window state: Iconic'; }
panel_alive() { kill -0 "$ppid" 2>/dev/null; }
launch_panel() {
  "$panel" --simulate "$@" >"$dir/panel.log" 2>&1 &
  ppid=$!
  pids+=($ppid)
}
find_window() {
  until_true 60 xdotool search --onlyvisible --name Tolka >/dev/null 2>&1 || fail "$1"
  wid=$(xdotool search --onlyvisible --name Tolka | head -n 1)
}
start_panel() {
  launch_panel "$@"
  find_window "the window never showed"
}
registrations() { grep -c '^registered' "$dir/watcher.log" 2>/dev/null; }
# Hidden in the tray: the process runs, its window is gone from the screen and the tray holds its icon.
in_sni_tray() { panel_alive && ! window_shown && [ "$(registrations)" -gt "$1" ]; }
# The icon's window, once the tray shows it: the panel's other viewable window (xdotool's --onlyvisible
# does not see into trayer's windows).
xembed_icon() {
  local id
  for id in $(xdotool search --classname '^qv7-panel$' 2>/dev/null); do
    [ "$id" = "$wid" ] && continue
    if xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
      echo "$id"
      return
    fi
  done
}
in_xembed_tray() { panel_alive && ! window_shown && [ -n "$(xembed_icon)" ]; }

# Minimises until the window hides in the tray: while the panel has not yet seen a tray that just
# appeared, a minimise is an ordinary one, and the window is brought back for another try.
minimise_into_tray() {
  local end=$((SECONDS + 60))
  while [ "$SECONDS" -lt "$end" ]; do
    panel_alive || return 1
    window_shown && xdotool windowminimize "$wid"
    until_true 5 "$@" && return 0
    if iconic; then
      wmctrl -i -a "$wid"
      until_true 20 window_shown || return 1
    fi
  done
  return 1
}
close_into_tray() {
  wmctrl -i -c "$wid"
  until_true 30 "$@"
}
expect_shown() { until_true 30 window_shown || fail "$1"; }

# With no tray left, closing the window ends the panel, and it ends cleanly (sanitizer builds check
# for leaks at this exit).
# A close that comes before the panel has heard the tray go hides the window in it, and the window comes back
# as soon as the panel hears: then it is closed again.
close_without_tray() {
  local end=$((SECONDS + 60))
  until ! panel_alive; do
    [ "$SECONDS" -ge "$end" ] && fail "closing the window with no tray did not end the panel"
    window_shown && wmctrl -i -c "$wid"
    until_true 5 eval '! panel_alive' || true
  done
  wait "$ppid"
  local status=$?
  [ "$status" -eq 0 ] || fail "the panel exited with status $status"
}

case $case in
sni)
  start_watcher
  start_panel
  n=$(registrations)
  minimise_into_tray in_sni_tray "$n" || fail "minimising did not hide the window in the tray"
  kill -USR1 "$watcher"
  expect_shown "a single activation of the icon did not bring the window back"
  n=$(registrations)
  close_into_tray in_sni_tray "$n" || fail "closing did not hide the window in the tray"
  kill -USR1 "$watcher"
  expect_shown "a single activation after closing did not bring the window back"
  stop "$watcher"
  close_without_tray
  ;;
sni-comes-and-goes)
  start_panel
  start_watcher
  n=$(registrations)
  minimise_into_tray in_sni_tray "$n" || fail "a tray that appeared after the start was never used"
  stop "$watcher"
  expect_shown "the window hidden in a tray that went away was not shown again"
  panel_alive || fail "the panel ended when the tray went away"
  start_watcher
  n=$(registrations)
  close_into_tray in_sni_tray "$n" || minimise_into_tray in_sni_tray "$n" ||
    fail "the tray that came back was not used"
  kill -USR1 "$watcher"
  expect_shown "activating the icon in the tray that came back did not bring the window back"
  stop "$watcher"
  close_without_tray
  ;;
xembed)
  start_panel
  start_trayer
  minimise_into_tray in_xembed_tray || fail "an XEmbed tray that appeared after the start was never used"
  icon=$(xembed_icon)
  xdotool mousemove --window "$icon" 8 8 click --repeat 2 --delay 80 1
  expect_shown "a double-click on the icon did not bring the window back"
  close_into_tray in_xembed_tray || fail "closing did not hide the window in the XEmbed tray"
  icon=$(xembed_icon)
  xdotool mousemove --window "$icon" 8 8 click 1
  expect_shown "a click on the icon did not bring the window back"
  close_into_tray in_xembed_tray || fail "closing again did not hide the window in the XEmbed tray"
  stop "$trayer_pid"
  expect_shown "the window hidden in an XEmbed tray that went away was not shown again"
  close_without_tray
  ;;
minimized-sni)
  start_watcher
  n=$(registrations)
  launch_panel --minimized
  until_true 60 eval '[ "$(registrations)" -gt "$n" ]' || fail "--minimized put no icon in the tray"
  # The start is over once the panel says where it went; the window must not have shown on the way.
  until_true 60 grep -q 'started hidden in the tray' "$dir/panel.log" || fail "--minimized did not start hidden"
  panel_alive || fail "the panel ended"
  xdotool search --onlyvisible --name Tolka >/dev/null 2>&1 && fail "--minimized showed the window"
  kill -USR1 "$watcher"
  find_window "activating the icon of a panel started minimized did not show the window"
  stop "$watcher"
  close_without_tray
  ;;
minimized-no-tray)
  # Without a tray a hidden window would be out of reach: --minimized shows it.
  start_panel --minimized
  grep -q 'started hidden' "$dir/panel.log" && fail "--minimized hid the window with no tray"
  close_without_tray
  ;;
*)
  echo "usage: $0 QV7_PANEL sni|sni-comes-and-goes|xembed|minimized-sni|minimized-no-tray" >&2
  exit 2
  ;;
esac
echo "PASS ($case)"
