#!/bin/bash
# One preset library for the panel and qv7ctl, as real processes (qv7-sim on a local socket, the panel under
# offscreen): while the panel runs, qv7ctl's preset commands go through it, so neither program undoes what the
# other wrote; and a para.bin rewritten by someone else is reloaded before the panel writes its own.
# usage: preset_handover_test.sh QV7_PANEL QV7CTL QV7_SIM
set -u
panel=$1 ctl=$2 sim=$3
dir=$(mktemp -d)
spid= ppid_=
trap 'kill $ppid_ $spid 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

export XDG_RUNTIME_DIR="$dir/run" QV7_CONFIG_DIR="$dir/config" QT_QPA_PLATFORM=offscreen
mkdir -m 0700 "$XDG_RUNTIME_DIR" "$QV7_CONFIG_DIR"
unset QV7_DEVICE
device="unix:$dir/tolka"
para="$QV7_CONFIG_DIR/para.bin"

# Polls `cond` (a shell command) every tenth of a second; the bound (two minutes) only ends a hang.
wait_for() {
    local what=$1 cond=$2 until=$((SECONDS + 120))
    while [ $SECONDS -lt $until ]; do
        eval "$cond" && return 0
        sleep 0.1
    done
    fail "gave up waiting for $what"
    return 1
}

ctl() { "$ctl" --device "$device" "$@" 2>>"$dir/ctl.log"; }
# Runs qv7ctl and checks its exit code: expect CODE WHAT ARGS...
expect() {
    local want=$1 what=$2
    shift 2
    "$ctl" --device "$device" "$@" >"$dir/out" 2>"$dir/err"
    local rc=$?
    cat "$dir/err" >>"$dir/ctl.log"
    [ $rc -eq "$want" ] || fail "$what: qv7ctl $* exited $rc, not $want ($(cat "$dir/err"))"
}

# The names para.bin holds, one a line, as the file has them (GBK bytes; the names here are ASCII).
file_names() {
    python3 - "$para" <<'PY'
import sys
try:
    data = open(sys.argv[1], "rb").read()
except FileNotFoundError:
    data = b""
for at in range(0, len(data) - len(data) % 100, 100):
    print(data[at + 32:at + 42].split(b"\0")[0].decode("latin-1"))
PY
}
file_has() { file_names | grep -qx "$1"; }

# A document of one preset named $2, in the format of qv7ctl preset export.
document() {
    python3 - "$1" "$2" <<'PY'
import json, sys
fields = {"accompany": 0, "auto_poweroff": 0, "auto_poweroff_time": 13, "delay": 13, "dodgeLevel": 2,
          "dodgeSpeed": 2, "dodgeSwitch": 0, "dodgeThreshold": 2, "effectPitch": 9, "effectState": 1,
          "effectSwitch": 0, "effectTone": 1, "eqGain": [16, 18, 21, 24, 27, 32, 36], "eqSwitch": 1,
          "hpfCutoff": 5, "liveVol": 13, "lpfCutoff": 2, "micVol": 13, "monitorVol": 13, "musicVol": 13,
          "rebvol": 13, "toneCent": 2, "type": 2, "wet": 13}
doc = {"format": "qv7-presets", "version": 1, "presets": [{"name": sys.argv[2], "parameters": fields}]}
open(sys.argv[1], "w").write(json.dumps(doc))
PY
}

# Rewrites para.bin as another program would (an editor, a sync tool): a new file renamed over the old one, its
# records those of the old file whose names are not in $2 (a |-separated list), plus a copy of the first one
# named $1.
rewrite_elsewhere() {
    python3 - "$para" "$1" "$2" <<'PY'
import os, sys
path, new, drop = sys.argv[1], sys.argv[2].encode(), sys.argv[3].encode().split(b"|")
data = open(path, "rb").read()
records = [bytearray(data[at:at + 100]) for at in range(0, len(data), 100)]
kept = [r for r in records if bytes(r[32:42]).split(b"\0")[0] not in drop]
extra = bytearray(records[0])
extra[32:42] = new.ljust(10, b"\0")
extra[99] = sum(extra[:99]) % 256
with open(path + ".elsewhere", "wb") as f:
    f.write(b"".join(bytes(r) for r in kept + [extra]))
os.rename(path + ".elsewhere", path)
PY
}

"$sim" --listen "$dir/tolka" 2>>"$dir/sim.log" &
spid=$!
wait_for "the simulator's socket" '[ -S "$dir/tolka" ]'
"$panel" --device "$device" >>"$dir/panel.trace" 2>>"$dir/panel.log" &
ppid_=$!
wait_for "the panel to hold the Tolka" 'grep -qs "^program qv7-panel" "$XDG_RUNTIME_DIR"/qv7-tolka-*.lock'
wait_for "the panel's first conversation" 'ctl --timeout 2 get >/dev/null'

# 1. An import while the panel runs: the panel's list has it, and the panel's next save keeps it.
document "$dir/imp1.json" imp1
expect 0 "import beside the panel" preset import "$dir/imp1.json"
file_has imp1 || fail "para.bin lacks imp1 after the import: $(file_names | tr '\n' ' ')"
expect 0 "list beside the panel" preset list
grep -q ' imp1 ' "$dir/out" || fail "preset list lacks imp1: $(cat "$dir/out")"
expect 0 "applying the imported preset through the panel" preset apply imp1
expect 0 "saving through the panel" preset save keep1
file_has imp1 || fail "the panel's save lost imp1: para.bin holds $(file_names | tr '\n' ' ')"
file_has keep1 || fail "the panel's save is not in para.bin: $(file_names | tr '\n' ' ')"
# A refused import changes nothing and says why, as qv7ctl alone does.
expect 2 "importing a name the library has" preset import "$dir/imp1.json"
grep -q "imp1" "$dir/err" || fail "the clash names no preset: $(cat "$dir/err")"
expect 0 "importing with --replace" preset import --replace - <"$dir/imp1.json"
grep -q "1 replaced" "$dir/out" || fail "import --replace through the panel: $(cat "$dir/out")"

# 2. A delete while the panel runs: the preset is gone for the panel too.
expect 0 "delete beside the panel" preset delete imp1
file_has imp1 && fail "para.bin still holds imp1 after the delete"
expect 2 "applying a deleted preset" preset apply imp1
expect 0 "saving after the delete" preset save keep2
file_has imp1 && fail "the panel's save brought the deleted imp1 back: $(file_names | tr '\n' ' ')"
file_has keep2 || fail "keep2 is not in para.bin"

# 3. Someone else rewrites para.bin: the panel notices without being asked, and writes over the new file only
#    after taking it in.
rewrite_elsewhere ext1 keep1
wait_for "the panel to reload para.bin" 'grep -q "para.bin changed on disk" "$dir/panel.log"'
expect 0 "applying a preset written by another program" preset apply ext1
expect 2 "applying a preset another program removed" preset apply keep1
expect 0 "saving after the rewrite" preset save keep3
names=$(file_names | tr '\n' ' ')
[ "$names" = "keep2 ext1 keep3 " ] || fail "para.bin after the panel's save holds '$names', not 'keep2 ext1 keep3 '"

# A save from a Tolka the panel does not hold (here the in-process simulator) goes into the panel's list too.
reloads=$(grep -c "changed on disk" "$dir/panel.log")
"$ctl" --device sim preset save simsave >"$dir/out" 2>>"$dir/ctl.log" || fail "a save from another Tolka exited $?"
file_has simsave || fail "a save from another Tolka is not in para.bin: $(file_names | tr '\n' ' ')"
# The panel wrote it itself: its watcher, given time to settle, finds nothing new to reload.
sleep 1
[ "$(grep -c "changed on disk" "$dir/panel.log")" -eq "$reloads" ] ||
    fail "the save from another Tolka was written by qv7ctl, not by the panel"
expect 0 "list after a save from another Tolka" preset list
grep -q ' simsave ' "$dir/out" || fail "the panel does not list a save from another Tolka: $(cat "$dir/out")"
file_has keep3 || fail "a save from another Tolka lost keep3"

# 4. The hand-over stays bounded: an attachment past the bound, or shorter than announced, is refused.
sock="$XDG_RUNTIME_DIR/$(basename "$panel")"
python3 - "$sock" >"$dir/raw.log" 2>&1 <<'PY' || fail "raw requests: $(cat "$dir/raw.log")"
import socket, sys
def ask(data, wait=30):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.settimeout(wait)
    s.connect(sys.argv[1])
    try:
        s.sendall(data)
    except OSError:
        pass
    got = b""
    while True:
        try:
            part = s.recv(4096)
        except OSError:
            break
        if not part:
            break
        got += part
    s.close()
    return got
for request in (b"run\0preset\0import\0x.json\0--attached\0" + str(2 * 1024 * 1024).encode() + b"\n",
                b"run\0preset\0import\0x.json\0--attached\0-5\n",
                b"run\0preset\0import\0x.json\0--attached\0" + b"9" * 30 + b"\n"):
    reply = ask(request)
    if not reply.startswith(b"exit 2 "):
        sys.exit("request %r: reply %r" % (request[:60], reply[:80]))
PY
kill -0 $ppid_ 2>/dev/null || fail "the panel is gone after the raw requests"
expect 0 "list after the raw requests" preset list

# 5. A qv7ctl that keeps its presets in another folder is not answered from the panel's library: it runs alone.
mkdir "$dir/other"
QV7_CONFIG_DIR="$dir/other" "$ctl" --device "$device" preset import "$dir/imp1.json" >/dev/null 2>>"$dir/ctl.log" ||
    fail "an import into another settings folder beside the panel failed"
[ -s "$dir/other/para.bin" ] || fail "the import into another settings folder went elsewhere"
file_has imp1 && fail "an import into another settings folder reached the panel's para.bin"
QV7_CONFIG_DIR="$dir/other" "$ctl" --device "$device" preset apply imp1 2>"$dir/err"
rc=$?
[ $rc -eq 4 ] || fail "preset apply from another settings folder while the panel holds the Tolka exited $rc, not 4"
grep -q "keeps its presets elsewhere" "$dir/err" || fail "no word of the other folder: $(cat "$dir/err")"

if [ $failures -ne 0 ]; then
    echo "--- panel"; tail -30 "$dir/panel.log"; echo "--- qv7ctl"; tail -20 "$dir/ctl.log"
fi
exit $((failures > 0))
