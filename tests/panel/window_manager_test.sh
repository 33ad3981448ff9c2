#!/bin/bash
# What the window manager may do with the panel's window: move it, close it, minimise it; never maximise it. The
# layout has one size; where the screen is smaller the content scrolls inside the window the screen leaves, so a
# maximised window would only add empty space. Checked in the hints the panel sets (Motif functions and decorations,
# fixed size) and in the actions openbox then allows, on a roomy screen and on a small one at 150 %.
# usage: window_manager_test.sh QV7_PANEL WIDTHxHEIGHT SCALE
set -u
panel=$1
screen=$2
scale=$3
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
  echo "FAIL ($screen at $scale): $*"
  [ -s "$dir/panel.log" ] && tail -n 20 "$dir/panel.log" | sed "s/^/  panel: /"
  exit 1
}
until_true() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.1
  done
}
for tool in Xvfb openbox wmctrl xdotool xprop; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/packages.txt lists what to install)"
done

unset WAYLAND_DISPLAY QT_QPA_PLATFORMTHEME XDG_CURRENT_DESKTOP DESKTOP_SESSION SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale XDG_RUNTIME_DIR=$dir/run QV7_CONFIG_DIR=$dir/config
export QV7_CHECK_HOST=127.0.0.1:9
mkdir -m 700 "$dir/run" "$dir/config"
Xvfb -displayfd 3 -nolisten tcp -screen 0 "${screen}x24" 3>"$dir/display" 2>"$dir/xvfb.log" &
pids+=($!)
until_true 30 test -s "$dir/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$dir/display")
openbox >"$dir/openbox.log" 2>&1 &
pids+=($!)
until_true 30 wmctrl -m >/dev/null 2>&1 || fail "openbox did not start"

"$panel" --simulate >"$dir/panel.log" 2>&1 &
pids+=($!)
window=
find_window() { window=$(xdotool search --onlyvisible --name 'simulated Tolka' 2>/dev/null | head -n 1); [ -n "$window" ]; }
until_true 60 find_window || fail "the panel's window did not appear"
# Openbox states what it allows once it manages the window.
until_true 30 sh -c "xprop -id $window _NET_WM_ALLOWED_ACTIONS | grep -q ACTION_CLOSE" ||
  fail "openbox does not manage the window"

# _MOTIF_WM_HINTS: flags, functions, decorations, ...; MWM_FUNC_MAXIMIZE 0x10, MWM_DECOR_MAXIMIZE 0x40.
read -r functions decorations < <(xprop -id "$window" _MOTIF_WM_HINTS |
  sed -n 's/.*= *\([0-9a-fx]*\), *\([0-9a-fx]*\), *\([0-9a-fx]*\).*/\2 \3/p')
[ -n "$functions" ] || fail "the window sets no Motif hints"
(( (functions & 0x1) == 0 && (functions & 0x10) == 0 )) || fail "the Motif functions ($functions) allow maximising"
(( (decorations & 0x1) == 0 && (decorations & 0x40) == 0 )) || fail "the Motif decorations ($decorations) ask for a maximise button"

hints=$(xprop -id "$window" WM_NORMAL_HINTS)
min=$(sed -n 's/.*program specified minimum size: \([0-9]* by [0-9]*\).*/\1/p' <<<"$hints")
max=$(sed -n 's/.*program specified maximum size: \([0-9]* by [0-9]*\).*/\1/p' <<<"$hints")
[ -n "$min" ] && [ "$min" = "$max" ] || fail "the window's size is not fixed (minimum '$min', maximum '$max')"

actions=$(xprop -id "$window" _NET_WM_ALLOWED_ACTIONS)
grep -q MAXIMIZE <<<"$actions" && fail "the window manager offers to maximise: $actions"
grep -q ACTION_MOVE <<<"$actions" || fail "the window cannot be moved: $actions"

# Asked to maximise anyway (a keyboard shortcut, a script), the window keeps its size.
before=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
wmctrl -i -r "$window" -b add,maximized_vert,maximized_horz
sleep 1
after=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
[ "$before" = "$after" ] || fail "a maximise request changed the window from $before to $after"
echo "ok: $screen at $scale: size $min fixed, Motif functions $functions, no maximise offered or taken"
