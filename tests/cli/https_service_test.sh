#!/bin/sh
# The version-check service named with a scheme: https is asked over TLS and a certificate no trusted
# authority signed is refused; plain http:// works as the bare host does; any other scheme is refused with
# a message that names the setting, and nothing is asked. Real qv7ctl processes, real local servers.
# usage: https_service_test.sh QV7CTL QV7_SIM
set -u
ctl=$1 sim=$2
. "$(dirname "$0")/test_lib.sh"
tpid= rpid= wpid=
trap 'kill $spid $hpid $tpid 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT

# A self-signed certificate for 127.0.0.1: right name, no authority behind it.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$dir/self.key" -out "$dir/self.pem" 2>"$dir/openssl.log" || { cat "$dir/openssl.log"; exit 1; }
head -c 4096 /dev/urandom >"$dir/image.bin"
python3 "$here/tls_service.py" "$dir/self.pem" "$dir/self.key" "$dir/tport" "$dir/tls.log" & tpid=$!
python3 "$here/firmware_service.py" "$dir/image.bin" "$dir/port" & hpid=$!
"$sim" --listen "$dir/tolka.sock" 2>"$dir/sim.log" & spid=$!
i=0
while { [ ! -s "$dir/port" ] || [ ! -s "$dir/tport" ] || [ ! -S "$dir/tolka.sock" ]; } && [ $i -lt 200 ]; do
  sleep 0.05; i=$((i + 1))
done
[ -s "$dir/port" ] && [ -s "$dir/tport" ] && [ -S "$dir/tolka.sock" ] || { echo "FAIL: servers did not start"; exit 1; }
http=127.0.0.1:$(cat "$dir/port") tls=127.0.0.1:$(cat "$dir/tport")

# check HOST EXIT RESULT: firmware check --json with QV7_CHECK_HOST=HOST.
check() {
  QV7_CHECK_HOST=$1 timeout 60 "$ctl" --device "unix:$dir/tolka.sock" firmware check --json >"$dir/out" 2>"$dir/err"
  rc=$?
  [ "$rc" = "$2" ] || { fail "$1: exit $rc, expected $2"; cat "$dir/out" "$dir/err"; }
  python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["result"] == sys.argv[2], d' "$dir/out" "$3" \
    || { fail "$1: standard output is not one JSON object with result $3"; cat "$dir/out"; }
}
says() {  # says TEXT DESCRIPTION: TEXT on standard output or standard error
  cat "$dir/out" "$dir/err" | grep -qF -- "$1" || { fail "$2: '$1' not said"; cat "$dir/out" "$dir/err"; }
}

# A scheme as written in any case, and plain http:// as the bare host.
check "http://$http" 0 offered
check "HTTP://$http/" 0 offered
check "$http" 0 offered

# https: the request goes out as TLS, names the https address, and the self-signed certificate is refused
# (libcurl's 60, CURLE_PEER_FAILED_VERIFICATION) before anything is sent.
: >"$dir/tls.log"
check "https://$tls" 1 request-failed
says "POST https://$tls/admin/appios failed" "https: the address"
says "dwError = 60" "https: the certificate refusal"
grep -q '^tls refused' "$dir/tls.log" || { fail "https: the server saw no TLS handshake given up"; cat "$dir/tls.log"; }
grep -q '^POST' "$dir/tls.log" && fail "https: a request was sent to a server whose certificate is not trusted"

# Any other scheme, a path or no host: refused with the setting named, and no connection made.
: >"$dir/tls.log"
for bad in "ftp://$tls" "file:///etc/passwd" "https://$tls/admin" "https://"; do
  check "$bad" 1 request-failed
  says "QV7_CHECK_HOST '$bad'" "$bad: the setting named"
  says "https://host[:port]" "$bad: the forms it takes"
done
[ -s "$dir/tls.log" ] && { fail "a refused setting still connected"; cat "$dir/tls.log"; }

# With a certificate a trusted authority signed, https works, and the host name is still checked. The test
# authority is made the system's only bundle inside a private mount namespace (root only), so nothing outside
# this test trusts it.
if unshare -m true 2>/dev/null; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=qv7 test authority" -keyout "$dir/ca.key" \
    -out "$dir/ca.pem" 2>>"$dir/openssl.log" || { cat "$dir/openssl.log"; exit 1; }
  for name in right wrong; do
    san=IP:127.0.0.1
    [ $name = wrong ] && san=DNS:elsewhere.test
    openssl req -newkey rsa:2048 -nodes -subj "/CN=$name" -keyout "$dir/$name.key" -out "$dir/$name.csr" \
      2>>"$dir/openssl.log" &&
      printf 'subjectAltName=%s\n' "$san" >"$dir/$name.ext" &&
      openssl x509 -req -in "$dir/$name.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial -days 2 \
        -extfile "$dir/$name.ext" -out "$dir/$name.pem" 2>>"$dir/openssl.log" || { cat "$dir/openssl.log"; exit 1; }
  done
  python3 "$here/tls_service.py" "$dir/right.pem" "$dir/right.key" "$dir/rport" "$dir/right.log" & rpid=$!
  python3 "$here/tls_service.py" "$dir/wrong.pem" "$dir/wrong.key" "$dir/wport" "$dir/wrong.log" & wpid=$!
  trap 'kill $spid $hpid $tpid $rpid $wpid 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
  i=0; while { [ ! -s "$dir/rport" ] || [ ! -s "$dir/wport" ]; } && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
  trusted() {  # trusted HOST EXIT RESULT: check with the test authority as the only trusted one
    QV7_CHECK_HOST=$1 timeout 60 unshare -m sh -c 'mount --bind "$1" /etc/ssl/certs/ca-certificates.crt &&
      exec "$2" --device "unix:$3" firmware check --json' sh "$dir/ca.pem" "$ctl" "$dir/tolka.sock" \
      >"$dir/out" 2>"$dir/err"
    rc=$?
    [ "$rc" = "$2" ] || { fail "$1 (trusted authority): exit $rc, expected $2"; cat "$dir/out" "$dir/err"; }
    python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["result"] == sys.argv[2], d' "$dir/out" "$3" \
      || { fail "$1 (trusted authority): standard output is not one JSON object with result $3"; cat "$dir/out"; }
  }
  trusted "https://127.0.0.1:$(cat "$dir/rport")" 0 none
  grep -qx 'POST /admin/appios' "$dir/right.log" || { fail "https: the request did not arrive over TLS"; cat "$dir/right.log"; }
  trusted "https://127.0.0.1:$(cat "$dir/wport")" 1 request-failed
  grep -q '^POST' "$dir/wrong.log" && fail "https: a request was sent to a server with another host's certificate"
else
  echo "skipped: https with a trusted authority (needs a private mount namespace, as root)"
fi

[ "$failures" -eq 0 ] && echo "service schemes handled"
exit $((failures > 0))
