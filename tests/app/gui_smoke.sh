#!/usr/bin/env bash
# The desktop program under Xvfb with a window manager: a second start raises the first and
# ends; then a driver opens each dialog and converts one batch through the conversion dialog.
# Usage: gui_smoke.sh LEDGERIX DRIVER WORKDIR   (screenshots land in WORKDIR/shots)
set -uo pipefail
program=$1 driver=$2 work=$3

for tool in Xvfb openbox xdotool xprop xwininfo import /usr/sbin/cupsd; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done

# The batch generator lives with the benchmark peers beside the checkout.
peers=${LEDGERIX_PEERS:-$(cd "$(dirname "$0")/../../.." && pwd)/shared/peers}
[ -f "$peers/gen_batch.py" ] || { echo "skipped: no $peers/gen_batch.py"; exit 77; }

rm -rf "$work"
mkdir -p "$work"/{home,config,runtime,shots,source,save,pdf}
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export NO_AT_BRIDGE=1 GTK_A11Y=none
unset LANGUAGE LC_MESSAGES LC_CTYPE

# The program under a Chinese desktop's locale; generated privately when the machine lacks it.
if ! LC_ALL=zh_CN.UTF-8 locale 2>&1 >/dev/null | grep -q .; then
  chinese_locale=system
else
  command -v localedef >/dev/null || { echo "skipped: no zh_CN.UTF-8 and no localedef"; exit 77; }
  mkdir -p "$work/locale"
  localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8" >"$work/localedef.log" 2>&1
  [ -f "$work/locale/zh_CN.UTF-8/LC_CTYPE" ] ||
    { echo "error: localedef wrote no zh_CN.UTF-8"; cat "$work/localedef.log"; exit 1; }
  chinese_locale=$work/locale
fi
# zh_env COMMAND... runs under zh_CN.UTF-8; env execs, so $! of a background one is the program.
zh_env=(env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8)
[ "$chinese_locale" = system ] || zh_env+=(LOCPATH="$chinese_locale")
export LANG=C.UTF-8

pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null
    wait "${pids[i]}" 2>/dev/null
  done
}
trap cleanup EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -noreset 5>"$work/display" \
  2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 0.5

# --- one instance: a second start brings the first back and ends --------------------------
"${zh_env[@]}" "$program" >"$work/first.log" 2>&1 &
first=$!
pids+=($first)
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Ledgerix$' | head -1)
check "main window shown" test -n "$window"
# geometry WINDOW: "x y width height" of the window's client area on the screen.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}
if [ -n "$window" ]; then
  sleep 0.6
  import -window root "$work/shots/program.png"
  # The first start centres the window on the 1280x800 screen (the title bar above the client
  # area moves its centre down by half the bar's height).
  read -r x y w h <<<"$(geometry "$window")"
  echo "first start: client area ${w}x${h} at $x,$y"
  check "main window centred on the first start" \
    test $((x + w / 2 - 640)) -ge -8 -a $((x + w / 2 - 640)) -le 8 \
    -a $((y + h / 2 - 400)) -ge -4 -a $((y + h / 2 - 400)) -le 24
  xdotool windowminimize --sync "$window"
  check "main window minimised" bash -c "xprop -id $window _NET_WM_STATE | grep -q HIDDEN"
  "${zh_env[@]}" timeout 20 "$program" >"$work/second.log" 2>&1
  check "second start ends at once with success" test $? -eq 0
  restored=1
  for _ in $(seq 50); do
    if ! xprop -id "$window" _NET_WM_STATE | grep -q HIDDEN &&
      xwininfo -id "$window" | grep -q IsViewable; then
      restored=0
      break
    fi
    sleep 0.1
  done
  check "first window restored by the second start" test $restored -eq 0
  check "one main window" test "$(xdotool search --onlyvisible --name '^Ledgerix$' | wc -l)" -eq 1
  check "first instance still running" kill -0 "$first"
fi
kill "$first" 2>/dev/null
wait "$first" 2>/dev/null

# --- each dialog, and one batch through the conversion dialog --------------------------------
kind1="$work/source/国税资产负债表（制度版）（源"
mkdir -p "$kind1"
/usr/bin/python3 "$peers/gen_batch.py" --n 3 --formats xlsx --out "$kind1" >/dev/null
check "three fixture workbooks" test "$(ls "$kind1"/*.xlsx | wc -l)" -eq 3

LEDGERIX_TEST_SOURCE="$work/source" LEDGERIX_TEST_SAVE="$work/save" \
  LEDGERIX_TEST_SHOTS="$work/shots" "${zh_env[@]}" \
  LEDGERIX_TEST_PRINT_BOOK="$(cd "$(dirname "$0")/../data/print" && pwd)/three_sheets.xlsx" \
  LEDGERIX_TEST_ENCRYPTED_BOOK="$(cd "$(dirname "$0")/../data/encrypted" && pwd)/balance_pw.xlsx" \
  LEDGERIX_TEST_PDF="$work/pdf" \
  timeout 150 "$driver" >"$work/driver.out" 2>"$work/driver.log"
check "driver checks" test $? -eq 0
grep '^FAIL' "$work/driver.out"

# Without a usable locale (none named, or one that is not installed) the toolkit's texts are
# Chinese all the same.
for env_locale in C xx_YY.UTF-8; do
  LC_ALL=$env_locale LANG=$env_locale LEDGERIX_TEST_MODE=language timeout 60 "$driver" \
    >"$work/language-$env_locale.out" 2>&1
  check "Chinese toolkit texts under LC_ALL=$env_locale" test $? -eq 0
done

# The driver left the window at 70,60 with 900x620: the next start opens it there.
check "main window geometry stored" grep -qx "MainWindowWidth=900" "$work/config/Ledgerix.conf"
"${zh_env[@]}" "$program" >"$work/third.log" 2>&1 &
third=$!
pids+=($third)
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Ledgerix$' | head -1)
if [ -n "$window" ]; then
  sleep 0.6
  read -r x y w h <<<"$(geometry "$window")"
  saved=$(grep -E '^MainWindow(X|Y|Width|Height)=' "$work/config/Ledgerix.conf" | tr '\n' ' ')
  echo "next start: client area ${w}x${h} at $x,$y; saved $saved"
  import -window root "$work/shots/reopened.png"
  check "main window reopens where it was left" \
    test $((x - 70)) -ge -2 -a $((x - 70)) -le 12 -a $((y - 60)) -ge -2 -a $((y - 60)) -le 40 \
    -a $((w - 900)) -ge -12 -a $((w - 900)) -le 2 -a $((h - 620)) -ge -40 -a $((h - 620)) -le 2
else
  check "main window shown again" false
fi
kill "$third" 2>/dev/null
wait "$third" 2>/dev/null

check "settings stored" grep -qx "DefaultSourcePath=$work/source" "$work/config/Ledgerix.conf"
check "save setting stored" grep -qx "DefaultSavePath=$work/save" "$work/config/Ledgerix.conf"
check "nine source folders" test "$(find "$work/source" -mindepth 1 -maxdepth 1 -type d | wc -l)" -eq 9
check "three output folders" test "$(find "$work/save" -mindepth 1 -maxdepth 1 -type d | wc -l)" -eq 3
check "one output per workbook" test "$(ls "$work/save/国税"/ZCFZB_*_CRC.xml 2>/dev/null | wc -l)" -eq 3
for shot in program main indicators help_missing license_missing settings folder_picker about \
  print printer_props preview preview_next pdf_folder_picker password print_done trans_kind9 trans \
  stop_question task_done file_menu stopped reopened; do
  check "screenshot $shot" test -s "$work/shots/$shot.png"
done

if [ $failures -ne 0 ]; then
  echo "--- driver"; cat "$work/driver.out"; echo "--- driver log"; cat "$work/driver.log"
  cat "$work"/language-*.out
  exit 1
fi
