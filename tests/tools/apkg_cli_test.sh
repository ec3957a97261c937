#!/usr/bin/env bash
# The apkg command line on hostile packages: names on the terminal, twin
# names, a folder that is not empty.
#     apkg_cli_test.sh APKG                    (native)
#     apkg_cli_test.sh wine-run.sh APKG.EXE    (a Windows build under Wine)
set -uo pipefail
runner=("$@")
apkg() { "${runner[@]}" "$@"; }
. "$(dirname "$0")/cli_check.sh"

# package OUT NAME=TEXT...: a package written byte by byte (the writer would
# refuse these names). Member data are stored complemented.
package() {
  python3 - "$@" <<'PY'
import struct, sys
out, members = sys.argv[1], [a.split("=", 1) for a in sys.argv[2:]]
data, entries = b"", b""
for name, text in members:
    raw = bytes(255 - b for b in text.encode())
    entries += name.encode("latin-1").decode("unicode_escape").encode("latin-1").ljust(32, b"\0")
    entries += struct.pack("<ii", 12 + len(data), len(raw))
    data += raw
with open(out, "wb") as f:
    f.write(b"APKG" + struct.pack("<ii", 12 + len(data), len(members)) + data + entries)
PY
}

package "$work/esc.apkg" 'a\x1b[2Jb=x' 'ok.txt=y'
apkg list "$work/esc.apkg" >"$work/list.out" 2>&1
check "list exits 0" test $? -eq 0
check "list prints no ESC byte" test "$(tr -cd '\033' <"$work/list.out" | wc -c)" -eq 0
check "list shows the escaped name" grep -qF 'a\x1B[2Jb' "$work/list.out"

apkg list "$work/esc.apkg" >/dev/full 2>"$work/full.err"
check "list into a full disk exits 2" test $? -eq 2
check "and says standard output could not be written" grep -q 'cannot write to standard output' "$work/full.err"

apkg list --json "$work/esc.apkg" >"$work/list.json" 2>&1
check "list --json exits 0" test $? -eq 0
check "list --json prints no ESC byte" test "$(tr -cd '\033' <"$work/list.json" | wc -c)" -eq 0
check "list --json gives the name exactly, with its bytes" python3 - "$work/list.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
m = j["members"]
assert [x["name"] for x in m] == ["a\x1b[2Jb", "ok.txt"], m
assert m[0]["name_hex"] == "611b5b324a62" and m[0]["offset"] == 12 and m[0]["size"] == 1, m
assert m[1]["offset"] == 13 and all(x["valid"] for x in m) and j["damaged"] is False, j
PY

package "$work/twins.apkg" 'readme=first' 'README=second'
apkg extract "$work/twins.apkg" -o "$work/twins" >"$work/twins.out" 2>&1
check "twins: extract exits 0" test $? -eq 0
check "twins: the first member is written" test "$(cat "$work/twins/readme" 2>/dev/null)" = first
check "twins: the second is reported" grep -q 'entry 1 "README" is not unpacked' "$work/twins.out"

mkdir -p "$work/full"
echo mine >"$work/full/ok.txt"
apkg extract "$work/esc.apkg" -o "$work/full" >"$work/full.out" 2>&1
check "extract into a folder that is not empty exits 2" test $? -eq 2
check "the user's file is kept" test "$(cat "$work/full/ok.txt")" = mine

package "$work/dev.apkg" 'ok.txt=y' 'NUL.txt=x'
apkg extract "$work/dev.apkg" -o "$work/dev" >"$work/dev.out" 2>&1
check "a device name exits 2" test $? -eq 2
check "the message names the entry" grep -q 'entry 1 is named "NUL.txt"' "$work/dev.out"
check "nothing is left" test ! -e "$work/dev"

# Exit codes: 1 for a usage error, 0 for --help, which lists them.
apkg frobnicate >/dev/null 2>&1
check "an unknown command exits 1" test $? -eq 1
apkg extract "$work/esc.apkg" >/dev/null 2>&1
check "extract without -o exits 1" test $? -eq 1
apkg list --help >"$work/help.out" 2>&1
check "list --help exits 0" test $? -eq 0
check "list --help lists the exit codes" grep -q 'Exit codes: 0 done, 1 usage error, 2 failed' "$work/help.out"
apkg list "$work/none.apkg" >/dev/null 2>&1
check "list of a package that is not there exits 2" test $? -eq 2

cli_check_end
