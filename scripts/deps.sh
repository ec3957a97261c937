#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine.
# Quick when everything is there already: it only asks dpkg and locale.
set -euo pipefail

packages=(
  cmake g++ make zlib1g-dev googletest libgtest-dev clang libclang-rt-14-dev
  libdeflate-dev libcli11-dev nlohmann-json3-dev libiso9660-dev libcdio-dev libcue-dev mame-tools
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64
  locales fonts-arphic-uming fonts-arphic-bsmi00lp
  xvfb xdotool imagemagick liblnk-utils icoutils
  xorriso genisoimage libarchive-tools
  osslsigncode openssl libssl-dev
  gcc-multilib g++-multilib lib32z1-dev qemu-user
  unzip zip xxd python3 time gnuplot-nox
  scdoc man-db dpkg-dev file lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  # wine32 is never wanted: with it the wine launcher picks the 32-bit loader,
  # which these machines cannot run.
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Chinese (Taiwan) locale, so that Wine runs with code page 950, and
# English (US), with which it runs with code page 1252 (the code-page
# warning's tests).
for loc in zh_TW en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8\$"; then
    echo "deps: generating $loc.UTF-8"
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" | $sudo_cmd tee -a /etc/locale.gen >/dev/null
    $sudo_cmd locale-gen >/dev/null
  fi
done
