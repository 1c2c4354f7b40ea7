#!/usr/bin/env bash
# The test authority may be put in a machine's trust store (Wine trusts the
# host's), so it must not be able to vouch for anything but this machine:
# its key is gone once the service's certificate is signed, and it is
# name-constrained to localhost and 127.0.0.1.
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/make-web-certificate.sh
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
"$script" "$folder/tls"
fail() { echo "FAIL: $*" >&2; exit 1; }
[[ ! -e $folder/tls/ca.key ]] || fail "the authority's key was kept"
constraints=$(openssl x509 -in "$folder/tls/ca.pem" -noout -ext nameConstraints)
grep -q critical <<<"$constraints" || fail "the name constraints are not critical: $constraints"
[[ $(grep -c 'DNS:\|IP:' <<<"$constraints") == 2 ]] || fail "unexpected names: $constraints"
grep -q 'DNS:localhost' <<<"$constraints" && grep -q 'IP:127.0.0.1/255.255.255.255' <<<"$constraints" ||
  fail "not constrained to this machine: $constraints"
openssl verify -CAfile "$folder/tls/ca.pem" "$folder/tls/server.pem" >/dev/null || fail "the service's certificate does not verify"
echo "ok"
