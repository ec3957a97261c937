# Shared set-up of the end-to-end scripts, sourced by each of them with the
# script's arguments (. lib.sh "$@"):
#
#   here, repo, build        this folder, the repository, and the build folder
#                            given as the first argument (default build/win64),
#                            made absolute.
#   e2e_need_files FILE...  ends the script with status 2 when a built
#                            program it drives is missing;
#   e2e_need_tools LABEL TOOL...   the same for a tool on PATH.
#   status, fail MESSAGE     a failed check prints FAIL: MESSAGE and makes the
#                            script's status 1; the script goes on checking;
#                            failures counts them.
#   e2e_wine_prefix DIR      a Wine prefix of the script's own in DIR: a copy of
#                            the run's prepared prefix (the test fixture, named
#                            by WINEPREFIX) when there is one, else made with
#                            wineboot; exports WINEPREFIX, HOME inside it, code
#                            page 950, no debug output, no desktop entries.
#   e2e_start_xvfb           a private X server on a display no one uses;
#                            exports DISPLAY, sets xvfb_pid.
#   e2e_stop_xvfb, e2e_stop_wine   their ends, for the scripts' exit traps;
#   e2e_cleanup [PID]        both, after the program still running.
#   e2e_cdrom_desktop        Wine's windows on Xvfb without a window manager,
#                            drive D: a CD-ROM drive.
#   e2e_sample_set WORK WINE_DISCSET PACK_OPTIONS...   the sample game packed
#                            into two discs under WORK/discs, with what lies
#                            beside cd1 on disc 1 and the last disc.
#   step TEXT                a heading in the script's output.
#   visible_windows, wait_window, shot, press_on, e2e_answer   finding,
#                            photographing and answering windows on that
#                            display with xdotool;
#   e2e_wait_for, e2e_shoot_answer, e2e_wait_shoot_answer   a window waited
#                            for, photographed and answered, each failure a
#                            failed check;
#   colour_at FILE X Y       a pixel of a screenshot;
#   e2e_accept_path_dialog SHOT, e2e_answer_success_box SHOT   setup's path
#                            dialog and its success box photographed and
#                            answered.

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-$repo/build/win64}
case $build in /*) ;; *) build="$(pwd)/$build" ;; esac

e2e_need_files() {
  local f
  for f in "$@"; do
    [ -f "$f" ] || { echo "no $f: build the win64 preset first" >&2; exit 2; }
  done
}

e2e_need_tools() {
  local label=$1 tool
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$label: $tool is missing (scripts/deps.sh installs it)" >&2; exit 2; }
  done
}

status=0 failures=0
fail() { echo "FAIL: $*"; status=1; failures=$((failures + 1)); }

e2e_wine_prefix() {
  local dir=$1 template=${WINEPREFIX:-}
  export LANG=zh_TW.UTF-8 LC_ALL=zh_TW.UTF-8 WINEDEBUG=-all WINEARCH=win64
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  rm -rf "$dir"
  mkdir -p "$(dirname "$dir")"
  if [ -n "$template" ] && [ -f "$template/system.reg" ]; then
    # The fixture's Wine server may still be writing the registry out.
    timeout 60 wineserver -w >/dev/null 2>&1
    cp -a "$template" "$dir" || return 1
    # The user's folders (Desktop, Documents...) link to the prefix's home:
    # point the copy's links at its own.
    local link target
    while IFS= read -r -d '' link; do
      target=$(readlink "$link")
      case $target in
        "$template"/*) ln -sfn "$dir${target#"$template"}" "$link" ;;
      esac
    done < <(find "$dir" -type l -print0)
    export WINEPREFIX=$dir HOME=$dir/home
  else
    mkdir -p "$dir/home"
    export WINEPREFIX=$dir HOME=$dir/home
    timeout 240 wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; return 1; }
  fi
}

xvfb_pid=
e2e_start_xvfb() {
  # Xvfb picks a free display itself and writes its number once it listens.
  local number
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  xvfb_pid=$!
  local _
  for _ in $(seq 100); do
    [ -s "$number" ] && break
    sleep 0.1
  done
  local display
  display=$(tr -dc 0-9 <"$number")
  rm -f "$number"
  if [ -z "$display" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=:$display
}

e2e_stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}

e2e_stop_wine() { timeout 20 wineserver -k >/dev/null 2>&1; }

e2e_cleanup() {
  [ -n "${1:-}" ] && kill "$1" 2>/dev/null
  e2e_stop_wine
  e2e_stop_xvfb
  wait 2>/dev/null
}

step() { echo "== $*"; }

e2e_cdrom_desktop() {
  # Xvfb has no window manager: Wine places, maximises and decorates the
  # windows itself.
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  timeout 60 wine reg add 'HKLM\Software\Wine\Drives' /v d: /t REG_SZ /d cdrom /f >/dev/null 2>&1
  # Drive types are read when the server starts.
  wineserver -k >/dev/null 2>&1
}

e2e_sample_set() {
  local work=$1 discset_exe=$2
  shift 2
  python3 "$repo/sample/make_sample.py" "$work/source" || return 1
  local reserve
  reserve=$(find "$work/source/disc1_extra" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }')
  timeout 120 wine "$discset_exe" pack "$work/source/game" -o "$work/discs" "$@" \
    --disc-size $((reserve + 1000000)) --first-disc-reserve "$reserve" >"$work/pack.log" 2>&1 ||
    { cat "$work/pack.log"; echo "pack failed" >&2; return 1; }
  [ -f "$work/discs/disc1/cd1" ] && [ -f "$work/discs/disc2/cd2" ] || { echo "the set is not two discs" >&2; return 1; }
  cp -r "$work/source/disc1_extra/." "$work/discs/disc1/"
  # setup copies the data folder and the web shortcut after the last disc,
  # from the drive as it then is: the last disc carries them too. The
  # pictures stay on disc 1 only, so after the change of discs the slide
  # show keeps showing its last picture.
  cp -r "$work/discs/disc1/data" "$work/discs/disc1/官方網頁.url" "$work/discs/disc2/"
}

# visible_windows NAME: the ids of the visible windows whose title matches
# NAME, one a line. xdotool (3.20160805 in Debian 12) ends its search with an
# X error when a window it looks at is destroyed meanwhile, as setup's
# windows are when a box follows them: such a search is made again, so that
# it is not taken for "no such window".
visible_windows() {
  local err out try
  err=$(mktemp)
  for try in 1 2 3 4 5 6 7 8 9 10; do
    out=$(xdotool search --onlyvisible --name "$1" 2>"$err")
    if ! grep -q 'X Error' "$err"; then
      rm -f "$err"
      [ -z "$out" ] || printf '%s\n' "$out"
      return 0
    fi
    sleep 0.1
  done
  rm -f "$err"
  return 1
}

# wait_window NAME [SECONDS]: the id of a visible window with that title,
# looked for every fifth of a second (60 seconds by default).
wait_window() {
  local deadline=$((SECONDS + ${2:-60})) id
  while :; do
    id=$(visible_windows "$1" | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

# shot FILE: the whole screen into the script's $artifacts folder.
shot() { import -window root "$artifacts/$1" 2>/dev/null || fail "no screenshot $1"; }

# colour_at FILE X Y: the pixel as "r,g,b".
colour_at() {
  convert "$1" -format '%[fx:int(255*p{'"$2,$3"'}.r)],%[fx:int(255*p{'"$2,$3"'}.g)],%[fx:int(255*p{'"$2,$3"'}.b)]' info: 2>/dev/null
}

# press_on ID KEYS...: raises the window, focuses it by a click on its title
# bar, then presses the keys. A window already gone gets no click: the
# click would land on whatever lies below it.
press_on() {
  local id=$1 X= Y= WIDTH HEIGHT SCREEN WINDOW
  shift
  xdotool windowraise "$id" 2>/dev/null
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)"
  [ -n "$X" ] && [ -n "$Y" ] || return 1
  xdotool mousemove $((X + 40)) $((Y + 8)) click 1
  sleep 0.3
  xdotool key "$@"
}

# e2e_answer ID KEYS...: the keys on that window until it is gone (a few
# tries: a key can arrive before the window has the focus). 0 when it went.
e2e_answer() {
  local id=$1 try ids
  shift
  for try in 1 2 3 4 5; do
    press_on "$id" "$@"
    for _ in $(seq 15); do
      ids=$(visible_windows '.') && ! printf '%s\n' "$ids" | grep -qx "$id" && return 0
      sleep 0.2
    done
  done
  return 1
}

# e2e_wait_for TITLE WHAT [SECONDS]: waits (60 seconds by default) for a
# visible window of that title and leaves its id in e2e_window. When none
# appears: the failed check "WHAT did not appear", and status 1.
e2e_window=
e2e_wait_for() {
  e2e_window=$(wait_window "$1" "${3:-60}")
  [ -n "$e2e_window" ] && return 0
  fail "$2 did not appear"
  return 1
}

# e2e_shoot_answer ID SHOT WHAT KEY: a second for the window to settle, the
# screen into $artifacts/SHOT ("-": no screenshot), then KEY on the window
# until it is gone; when it stays, the failed check "WHAT did not take KEY".
e2e_shoot_answer() {
  sleep 1
  [ "$2" = - ] || shot "$2"
  e2e_answer "$1" "$4" || fail "$3 did not take $4"
}

# e2e_wait_shoot_answer TITLE SHOT WHAT KEY [SECONDS]: the two above, one
# after the other. 1 when the window did not appear, else 0.
e2e_wait_shoot_answer() {
  e2e_wait_for "$1" "$3" "${5:-60}" || return 1
  e2e_shoot_answer "$e2e_window" "$2" "$3" "$4"
  return 0
}

# e2e_accept_path_dialog SHOT: waits for setup's path dialog, photographs
# the screen into $artifacts/SHOT, checks that the full-screen picture
# (pic\01.tga, read relative to the current directory on the disc) is behind
# it (its corner is not the black ground; the pixel is left in
# background_pixel), and accepts the proposed folder with Enter. 1 when no
# dialog appeared.
background_pixel=
e2e_accept_path_dialog() {
  e2e_wait_shoot_answer '請選擇安裝路徑' "$1" "the path dialog" Return || return 1
  background_pixel=$(colour_at "$artifacts/$1" 20 20)
  [ -n "$background_pixel" ] && [ "$background_pixel" != "0,0,0" ] ||
    fail "the background picture is not shown (pixel '$background_pixel')"
  return 0
}

# e2e_answer_success_box SHOT: waits (two minutes at most) for setup's
# success box, photographs it into $artifacts/SHOT and answers it; without
# one the screen goes into no-success.png.
e2e_answer_success_box() {
  e2e_wait_shoot_answer '安裝成功' "$1" "the success box" Return 120 && return 0
  shot no-success.png
  return 1
}
