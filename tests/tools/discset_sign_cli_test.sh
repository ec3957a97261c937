#!/usr/bin/env bash
# discset pack --sign-pkcs12: setup.exe and launcher.exe on disc 1 and the
# uninstall.exe inside the set signed with a publisher's certificate made
# here (openssl: self-signed, PKCS#12 under a password), each signature
# checked by osslsigncode verify against that certificate; a wrong password,
# a missing certificate or a program that does not sign stop the pack and
# leave nothing behind.
#     discset_sign_cli_test.sh DISCSET
set -uo pipefail
discset=$1
. "$(dirname "$0")/cli_check.sh"

layout_inputs
# Real Windows programs, made by mingw-w64, as the programs to sign.
printf 'int main(void) { return 0; }\n' >"$work/p.c"
i686-w64-mingw32-gcc -O -s -o "$work/program.exe" "$work/p.c" || exit 1
for p in setup launcher uninstall; do cp "$work/program.exe" "$work/$p.exe"; done
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Sample Publisher" >/dev/null 2>&1 || exit 1
printf 'pass phrase\n' >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/publisher.p12" \
  -passout file:"$work/password" || exit 1
header=(--company 公司 --product "Sample Game" --regkey Game --exe game.exe --disc-size 700000)
opts=("${header[@]}" --uninstaller "$work/uninstall.exe"
      --layout --setup-exe "$work/setup.exe" --launcher-exe "$work/launcher.exe")
signing=(--sign-pkcs12 "$work/publisher.p12" --sign-password-file "$work/password")
# verify FILE: the file carries a signature that osslsigncode verifies
# against the self-signed certificate.
verify() { osslsigncode verify -in "$1" -CAfile "$work/cert.pem" >"$work/verify.out" 2>&1; }

"$discset" pack --help >"$work/help.out" 2>&1
check "--help names --sign-pkcs12, --sign-password-file and --sign-timestamp" \
  grep -q -- '--sign-timestamp' "$work/help.out"

"$discset" pack "$game" -o "$work/set" "${opts[@]}" "${signing[@]}" >"$work/pack.out" 2>&1
check "pack --sign-pkcs12 exits 0" test $? -eq 0
check "pack names the programs it signed" grep -q 'uninstall.exe signed with' "$work/pack.out"
for p in setup launcher; do
  check "disc 1's $p.exe is signed" verify "$work/set/disc1/$p.exe"
  check "the signature is the publisher's" grep -q 'Subject: /CN=Sample Publisher' "$work/verify.out"
done
check "the program named stays unsigned" bash -c '! osslsigncode verify -in "$0" >/dev/null 2>&1' "$work/setup.exe"
sets=$(ls -d "$work"/set/disc[0-9]* | sort -V)
"$discset" test $sets >/dev/null 2>&1
check "the set with the signed uninstaller tests sound (its total counts the signed size)" test $? -eq 0
"$discset" extract -q $sets -o "$work/installed" >/dev/null 2>&1
check "the uninstall.exe inside the set is signed" verify "$work/installed/uninstall.exe"
osslsigncode remove-signature -in "$work/installed/uninstall.exe" -out "$work/unsigned.exe" >/dev/null 2>&1
check "without its signature it is the uninstaller named" cmp -s "$work/unsigned.exe" "$work/uninstall.exe"

printf 'not the pass phrase\n' >"$work/wrong"
"$discset" pack "$game" -o "$work/w" "${opts[@]}" --sign-pkcs12 "$work/publisher.p12" \
  --sign-password-file "$work/wrong" >"$work/out" 2>"$work/err"
check "a wrong password fails (exit 2)" test $? -eq 2
check "it says osslsigncode could not read the certificate" grep -q 'signing .*uninstall.exe failed: osslsigncode: .*PKCS#12' "$work/err"
check "and nothing is written" test ! -e "$work/w"
check "and nothing said as done" test ! -s "$work/out"

"$discset" pack "$game" -o "$work/set" "${opts[@]}" --force --sign-pkcs12 "$work/none.p12" >/dev/null 2>"$work/err"
check "a missing certificate is named" grep -q "certificate $work/none.p12 is not a file" "$work/err"
check "the earlier set is left as it was" verify "$work/set/disc1/setup.exe"

"$discset" pack "$game" -o "$work/f" "${header[@]}" --uninstaller "$work/uninstall.exe" --layout \
  --setup-exe "$work/data/設定.ini" --launcher-exe "$work/launcher.exe" "${signing[@]}" >/dev/null 2>"$work/err"
check "a setup program that is no Windows program does not sign" grep -q 'signing .*設定.ini failed' "$work/err"
check "and nothing is written for it" test ! -e "$work/f"

"$discset" pack "$game" -o "$work/u" "${header[@]}" --no-uninstaller "${signing[@]}" >/dev/null 2>"$work/err"
check "nothing to sign is a usage error (exit 1)" test $? -eq 1
"$discset" pack "$game" -o "$work/u" "${opts[@]}" --sign-timestamp http://localhost:9/ >/dev/null 2>"$work/err"
check "--sign-timestamp without --sign-pkcs12 is a usage error (exit 1)" test $? -eq 1

cli_check_end
