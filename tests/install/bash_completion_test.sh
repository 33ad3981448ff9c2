#!/bin/bash
# qv7ctl's bash completion in a real bash: for each line typed so far, the words offered (COMPREPLY).
# usage: bash_completion_test.sh COMPLETION_FILE
set -u
# shellcheck source=/dev/null
source "$1" || { echo "FAIL: cannot source $1"; exit 1; }
complete -p qv7ctl 2>/dev/null | grep -q -- '-F _qv7ctl' || { echo "FAIL: no completion registered for qv7ctl"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
touch "$dir/image.bin" "$dir/tolka.sock"

# line typed so far | words offered, sorted (after a colon, readline wants only what follows the last one)
cases=(
  "qv7ctl |charge firmware get info key list mix preset set watch"
  "qv7ctl --|--device --help --json --print-udev-rules --timeout --trace --version --yes"
  "qv7ctl --pr|--print-udev-rules"
  "qv7ctl pre|preset"
  "qv7ctl preset |apply delete list save show"
  "qv7ctl --device sim --json preset a|apply"
  "qv7ctl firmware |check update write"
  "qv7ctl key |0 1 2 store"
  "qv7ctl key store |0 1 2"
  "qv7ctl mix o|off on"
  "qv7ctl --device s|sim sim:"
  "qv7ctl --device sim:1.0.|1.0.0 1.0.2 1.0.6 1.0.7"
  "qv7ctl --device unix:$dir/to|$dir/tolka.sock"
  "qv7ctl --timeout |"
  "qv7ctl --timeout 9 firmware write $dir/im|$dir/image.bin"
  "qv7ctl get |"
)
fails=0
for case in "${cases[@]}"; do
  line=${case%%|*} want=${case#*|}
  read -r -a COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
  COMPREPLY=()
  _qv7ctl qv7ctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
  if [[ $got != "$want" ]]; then
    echo "FAIL: '$line' offers '$got', expected '$want'"
    fails=$((fails + 1))
  fi
done
[[ $fails -eq 0 ]] && echo "bash completion ok: ${#cases[@]} lines"
exit $((fails > 0))
