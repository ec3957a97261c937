#!/usr/bin/env bash
# cpack -G DEB: the Debian package of the toolkit installs it under /usr
# (programs, man pages, completion, the Windows programs when the win32
# build is there), declares the shared libraries it links and recommends
# the programs some commands run, and lintian finds no error in it.
#     deb_package_test.sh BUILD_DIR
set -uo pipefail
build=$1
. "$(dirname "$0")/cli_check.sh"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1
check "cpack -G DEB exits 0" test $? -eq 0 || { cat "$work/cpack.log"; cli_check_end; exit; }
deb=$(ls "$work"/deb/discset_*.deb 2>/dev/null | head -n 1)
check "the package is named discset_VERSION_ARCH.deb" test -n "$deb"
[ -n "$deb" ] || { cli_check_end; exit; }

dpkg-deb -c "$deb" | awk '{ print $6 }' >"$work/contents"
for f in ./usr/bin/discset ./usr/bin/apkg ./usr/share/man/man1/discset.1.gz ./usr/share/man/man1/apkg.1.gz \
         ./usr/share/bash-completion/completions/discset ./usr/share/bash-completion/completions/apkg \
         ./usr/share/doc/discset/copyright; do
  check "the package installs $f" grep -qx -- "$f" "$work/contents"
done
setup=$(sed -n 's/^DI_SETUP_PROGRAM:FILEPATH=//p' "$build/CMakeCache.txt")
if [ ! -f "$setup" ]; then
  echo "SKIPPED: no win32 build ($setup is missing): the package carries no Windows programs"
else
  for p in setup launcher uninstall; do
    check "the package installs /usr/share/discset/windows/$p.exe" \
      grep -qx "./usr/share/discset/windows/$p.exe" "$work/contents"
  done
fi
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
check "it depends on the C library" grep -q 'libc6 (>=' <<<"$depends"
check "it depends on libcdio and libcue, which discset links" grep -q 'libcdio.*libcue\|libcue.*libcdio' <<<"$depends"
check "it recommends xorriso, imagemagick and mame-tools" \
  test "$(dpkg-deb -f "$deb" Recommends)" = "xorriso, imagemagick, mame-tools"

# Errors fail the test; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.out" 2>&1
status=$?
cat "$work/lintian.out"
check "lintian finds no error" test $status -eq 0
cli_check_end
