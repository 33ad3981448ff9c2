#!/bin/sh
# qv7ctl preset export and import as processes, through pipes: a preset saved from a simulated Tolka on a
# local socket goes out on standard output and into another user's library from standard input.
# usage: preset_exchange_test.sh QV7CTL QV7_SIM
set -u
ctl=$1 server=$2
dir=$(mktemp -d)
pid=
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
says() {  # says FILE TEXT DESCRIPTION
  grep -qF -- "$2" "$1" || { fail "$3: '$2' not in $(basename "$1"):"; cat "$1"; }
}

sock=$dir/tolka.sock
"$server" --listen "$sock" --firmware 1.0.7 2>"$dir/device.log" &
pid=$!
i=0; while [ ! -S "$sock" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
[ -S "$sock" ] || { fail "device did not start"; cat "$dir/device.log"; exit 1; }
ctl() { "$ctl" --device "unix:$sock" --timeout 10 "$@"; }
mkdir -p "$dir/alice" "$dir/bob"

# Alice saves the device's settings, changed first, and exports it with a built-in, to standard output.
QV7_CONFIG_DIR=$dir/alice ctl set micVol=5 liveVol=22 'eqGain[6]=30' >/dev/null || fail "set"
QV7_CONFIG_DIR=$dir/alice ctl preset save 我的效果 >/dev/null || fail "preset save"
QV7_CONFIG_DIR=$dir/alice ctl preset export 我的效果 唱歌03 - >"$dir/doc.json" 2>"$dir/err" || { fail "export -"; cat "$dir/err"; }
[ -s "$dir/err" ] && { fail "export - said something on standard error"; cat "$dir/err"; }
python3 - "$dir/doc.json" <<'EOF' || fail "export - wrote no preset document"
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
assert d["format"] == "qv7-presets" and d["version"] == 1, d
names = [p["name"] for p in d["presets"]]
assert names == ["我的效果", "唱歌03"], names
p = d["presets"][0]["parameters"]
assert p["micVol"] == 5 and p["liveVol"] == 22 and p["eqGain"][6] == 30, p
EOF

# Bob imports it from standard input: the same values, built-in name and all, now user presets.
QV7_CONFIG_DIR=$dir/bob ctl preset import - <"$dir/doc.json" >"$dir/out" 2>"$dir/err" || { fail "import -"; cat "$dir/err"; }
says "$dir/out" "imported 2 presets (2 added, 0 replaced)" "import - reports"
for n in 62 63; do
  QV7_CONFIG_DIR=$dir/alice ctl preset show --json "$([ $n = 62 ] && echo 我的效果 || echo 唱歌03)" >"$dir/a.json"
  QV7_CONFIG_DIR=$dir/bob ctl preset show --json $n >"$dir/b.json"
  python3 -c 'import json,sys; a,b=(json.load(open(f)) for f in sys.argv[1:]); assert (a["name"],a["parameters"])==(b["name"],b["parameters"]), (a,b); assert not b["builtin"]' \
    "$dir/a.json" "$dir/b.json" || fail "preset $n differs after the round trip"
done

# Again: refused by name, para.bin untouched; --replace takes it.
cp "$dir/bob/para.bin" "$dir/before"
QV7_CONFIG_DIR=$dir/bob ctl preset import - <"$dir/doc.json" >"$dir/out" 2>"$dir/err"
[ $? = 2 ] || fail "import of a clashing name: exit not 2"
says "$dir/err" "standard input: preset 1 (我的效果): a user preset of that name exists" "clash named"
cmp -s "$dir/before" "$dir/bob/para.bin" || fail "a refused import changed para.bin"
QV7_CONFIG_DIR=$dir/bob ctl preset import --replace - <"$dir/doc.json" >"$dir/out" 2>"$dir/err" || fail "import --replace -"
says "$dir/out" "(0 added, 2 replaced)" "import --replace reports"

# A bad value from standard input: the field, its range, exit 2, nothing written.
sed 's/"micVol" : 5/"micVol" : 17/' "$dir/doc.json" | QV7_CONFIG_DIR=$dir/bob ctl preset import --replace - >"$dir/out" 2>"$dir/err"
[ $? = 2 ] || fail "import of micVol=17: exit not 2"
says "$dir/err" "preset 1 (我的效果): micVol is 17, allowed 0..16; nothing imported" "bad value named with its range"
cp "$dir/bob/para.bin" "$dir/before"

# Standard input longer than any preset file: refused without reading on.
head -c 2000000 /dev/zero | QV7_CONFIG_DIR=$dir/bob ctl preset import - >"$dir/out" 2>"$dir/err"
[ $? = 2 ] || fail "import of 2 MB: exit not 2"
says "$dir/err" "file too large: 1048577 bytes" "oversized input"
cmp -s "$dir/before" "$dir/bob/para.bin" || fail "a refused import changed para.bin"

# No names: every user preset, to a file; a name that is no preset: exit 2, no file.
QV7_CONFIG_DIR=$dir/bob ctl preset export "$dir/all.json" >"$dir/out" 2>&1 || fail "export FILE"
says "$dir/out" "exported 2 presets to $dir/all.json" "export FILE reports"
QV7_CONFIG_DIR=$dir/bob ctl preset export 没有这个 "$dir/none.json" >"$dir/out" 2>&1
[ $? = 2 ] || fail "export of an unknown name: exit not 2"
[ -e "$dir/none.json" ] && fail "export of an unknown name wrote a file"

[ "$failures" = 0 ] && echo "preset exchange: all passed"
exit "$failures"
