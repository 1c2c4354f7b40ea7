#!/usr/bin/env bash
# Makes a private certificate authority and a certificate for the web service
# on this machine (NAME, localhost by default, and 127.0.0.1), unless the
# folder has them already.
#   make-web-certificate.sh FOLDER [NAME]
# Writes FOLDER/ca.pem (what the client is built to trust), FOLDER/server.pem
# and FOLDER/server.key (what marvok-web presents). The authority can do no
# harm where it is trusted: it may only vouch for NAME and 127.0.0.1,
# and its key is deleted once the service's certificate is signed.
set -euo pipefail
folder=${1:?usage: make-web-certificate.sh FOLDER [NAME]}
name=${2:-localhost}
mkdir -p "$folder"
cd "$folder"
# Tests and the run script may ask at the same time: one makes, the others wait.
exec 9>.lock
flock 9
[[ -s ca.pem && -s server.pem && -s server.key ]] && exit 0

umask 077
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Marvok private CA" \
  -keyout ca.key -out ca.pem -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -addext "nameConstraints=critical,permitted;DNS:$name,permitted;IP:127.0.0.1/255.255.255.255" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=$name" -keyout server.key -out server.csr 2>/dev/null
printf 'subjectAltName=DNS:%s,IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$name" >server.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 825 -extfile server.ext \
  -out server.pem 2>/dev/null
rm -f server.csr server.ext ca.srl ca.key
chmod 644 ca.pem server.pem
