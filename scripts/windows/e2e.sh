#!/usr/bin/env bash
# End-to-end run of the Windows tarnel.exe under Wine on a virtual X screen.
# Wine has no WebView2 runtime, so the program must ask the stand-in service
# for the package info, write its identifier into config.ini, tell the user
# that the runtime is missing in a message box, and end with exit code 2 once
# the box is closed. Runs the program twice to check the identifier is
# written once. Prints one PASS/FAIL line per check; exits non-zero on any
# failure. Needs no standard input; stops everything it started on any exit.
#
# Environment:
#   TARNEL_EXE       the tarnel.exe to run (default: the test stage's build in
#                    build-windows-test; it must point at http://127.0.0.1:8765)
#   TARNEL_SERVICE   the stand-in service (default: build/tools/standin-service/
#                    tarnel-service; built in build-e2e-win when that is missing
#                    or too old to have --request-log)
#   WINEPREFIX       the Wine prefix (default: build-windows-test/wineprefix)
#   E2E_OUT          where screenshots and logs go (default: out/windows-e2e)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
TARNEL_EXE="${TARNEL_EXE:-$ROOT/build-windows-test/src/app/tarnel.exe}"
DEFAULT_SERVICE="$ROOT/build/tools/standin-service/tarnel-service"
SERVICE="${TARNEL_SERVICE:-$DEFAULT_SERVICE}"
OUT="${E2E_OUT:-$ROOT/out/windows-e2e}"
export WINEPREFIX="${WINEPREFIX:-$ROOT/build-windows-test/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono/Gecko install prompts
# The same words and window names whatever the caller's locale: for Wine
# (its button texts) and for the X tools that read window names as UTF-8.
export LC_ALL=C.UTF-8
unset LANGUAGE
export WAYLAND_DISPLAY=
export DISPLAY=

readonly SERVICE_PORT=8765          # compiled into tarnel.exe
readonly SCREEN=1280x800x24
readonly SHOW_TIMEOUT=60            # seconds until the message box is on screen
readonly EXIT_TIMEOUT=20            # seconds from closing the box to the program's end
readonly INFO_LINE="GET /downloader.php/index/info?id=1"

log() { printf 'e2e: %s\n' "$*"; }
die() { printf 'e2e: %s\n' "$*" >&2; exit 1; }

failures=0
check() {  # check NAME CONDITION-RESULT(0/1) [DETAIL]
  if [ "$2" -eq 0 ]; then
    printf 'PASS %s%s\n' "$1" "${3:+ ($3)}"
  else
    printf 'FAIL %s%s\n' "$1" "${3:+ ($3)}"
    failures=$((failures + 1))
  fi
}

# --- Processes this script owns, stopped by the exit trap -------------------
work=""
xvfb_pid=""
service_pid=""
tarnel_pid=""
wine_started=0     # this script has stopped or started the prefix's wineserver
driver_switched=0
had_wineserver=0

stop_pid() {  # TERM, then KILL after 5 s; only our own children
  local pid="$1"
  [ -n "$pid" ] || return 0
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

cleanup() {
  local status=$?
  set +e
  stop_pid "$tarnel_pid"
  if [ "$driver_switched" = 1 ]; then
    # Back to the null driver for the unit tests' later runs (scripts/windows/
    # test.sh sets it too, but a run of this script alone must not leave X11
    # set). Done while the X server still runs: the X11 driver is active.
    timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1 \
      || log "could not set Wine's display driver back to null"
  fi
  if [ "$wine_started" = 1 ]; then
    timeout 30 wineserver -k >/dev/null 2>&1
    timeout 30 wineserver -w >/dev/null 2>&1
  fi
  stop_pid "$service_pid"
  stop_pid "$xvfb_pid"
  if [ "$had_wineserver" = 1 ]; then
    # The caller had a persistent wineserver (the test stage's): start it again
    # the way that stage does, with its first program on /dev/null.
    export DISPLAY=
    wineserver -p >/dev/null 2>&1
    timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1
  fi
  [ -n "$work" ] && rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- Inputs -----------------------------------------------------------------
for tool in Xvfb xdotool xwininfo import identify wine wineserver timeout; do
  command -v "$tool" >/dev/null || die "$tool is missing (scripts/install-deps.sh, scripts/windows/deps.sh)"
done
[ -f "$TARNEL_EXE" ] || die "no tarnel.exe at $TARNEL_EXE (set TARNEL_EXE)"

work="$(mktemp -d "${TMPDIR:-/tmp}/tarnel-win-e2e-XXXXXX")"

service_usable() { [ -x "$1" ] && "$1" --help </dev/null 2>/dev/null | grep -q -- '--request-log'; }
if ! service_usable "$SERVICE"; then
  [ "$SERVICE" = "$DEFAULT_SERVICE" ] || die "$SERVICE is not a tarnel-service with --request-log"
  log "building tarnel-service in build-e2e-win"
  if [ ! -f "$ROOT/build-e2e-win/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$ROOT/build-e2e-win" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNEL_BUILD_GTK=OFF \
      -DTARNEL_BUILD_BENCHMARKS=OFF -DTARNEL_BUILD_TESTS=OFF -DTARNEL_WERROR=ON </dev/null >/dev/null
  fi
  if ! cmake --build "$ROOT/build-e2e-win" --target tarnel-service -j1 </dev/null >"$work/build.log" 2>&1; then
    tail -n 30 "$work/build.log" >&2
    die "building tarnel-service failed"
  fi
  SERVICE="$ROOT/build-e2e-win/tools/standin-service/tarnel-service"
  service_usable "$SERVICE" || die "the tarnel-service just built has no --request-log"
fi

rm -rf "$OUT" && mkdir -p "$OUT"
log "tarnel.exe: $TARNEL_EXE"
log "service:    $SERVICE"
log "prefix:     $WINEPREFIX"

# --- X server and service ---------------------------------------------------
display=""
for n in $(seq 97 140); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 "$SCREEN" -nolisten tcp </dev/null >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    if DISPLAY=":$n" timeout 5 xwininfo -root >/dev/null 2>&1; then display=":$n"; break; fi
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$display" ] && break
  stop_pid "$xvfb_pid"; xvfb_pid=""   # lost a race for that number: try the next
done
[ -n "$display" ] || die "no free display number for Xvfb"
log "Xvfb on $display ($SCREEN)"

if (exec 3<>"/dev/tcp/127.0.0.1/$SERVICE_PORT") 2>/dev/null; then
  die "127.0.0.1:$SERVICE_PORT is already in use (tarnel.exe needs the service there)"
fi
"$SERVICE" --port "$SERVICE_PORT" --request-log "$OUT/requests.log" </dev/null >"$OUT/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do
  grep -q '^tarnel-service listening on ' "$OUT/service.log" 2>/dev/null && break
  kill -0 "$service_pid" 2>/dev/null || die "the service did not start: $(cat "$OUT/service.log")"
  sleep 0.1
done
grep -q '^tarnel-service listening on ' "$OUT/service.log" || die "the service did not get ready in 10 s"
log "service on 127.0.0.1:$SERVICE_PORT"

# --- Wine on the X server ---------------------------------------------------
# A running wineserver keeps the display driver it started with: stop it
# (remembering whether there was one), switch the driver, start afresh.
wine_started=1
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # A new prefix (this script run alone): made as scripts/windows/test.sh
  # makes it; its wineserver is waited for, so it does not count as the
  # caller's.
  timeout 300 wineboot -i </dev/null >/dev/null 2>&1 || true
  timeout 60 wineserver -w >/dev/null 2>&1 || true
fi
if timeout 30 wineserver -k >/dev/null 2>&1; then had_wineserver=1; fi
timeout 30 wineserver -w >/dev/null 2>&1 || true
export DISPLAY="$display"
timeout 120 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f </dev/null >/dev/null 2>&1 \
  || die "cannot set Wine's display driver to x11"
driver_switched=1
timeout 30 wineserver -k >/dev/null 2>&1 || true
timeout 30 wineserver -w >/dev/null 2>&1 || true
wineserver -p
# Wine's own services start with the first program and keep the output they
# inherited: started here on /dev/null, they never hold a log file open.
timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || true

# --- The program's folder ---------------------------------------------------
# A fresh folder holds the program and its config.ini, as a user unpacks it.
# HOME and LOCALAPPDATA need no private copy: Wine takes the user folders
# from the prefix (a LOCALAPPDATA from the environment is overridden), and
# without a runtime the program creates no browser data there.
app="$work/app"
mkdir -p "$app"
cp "$TARNEL_EXE" "$app/tarnel.exe"
printf '[root]\ndownloader_id=1\n[user]\nuuid=\n' >"$app/config.ini"

# The value of KEY in [SECTION] of an ini file: names ignore case and
# surrounding blanks, the first match counts (as the program reads it).
ini_value() {
  awk -v want_section="$1" -v want_key="$2" '
    { sub(/\r$/, ""); line = $0 }
    line ~ /^[ \t]*\[/ { s = line; gsub(/^[ \t]*\[[ \t]*|[ \t]*\][ \t]*$/, "", s); section = tolower(s); next }
    section == tolower(want_section) && index(line, "=") {
      k = substr(line, 1, index(line, "=") - 1); gsub(/^[ \t]+|[ \t]+$/, "", k)
      if (tolower(k) == tolower(want_key)) {
        v = substr(line, index(line, "=") + 1); gsub(/^[ \t]+|[ \t]+$/, "", v); print v; exit
      }
    }' "$3"
}

# The on-screen message box: a mapped top-level window named exactly "Tarnel"
# (the main window, named after the package, stays off screen).
find_box() { { timeout 10 xdotool search --onlyvisible --name '^Tarnel$' 2>/dev/null || true; } | head -n 1; }

# Geometry "W H X Y" of a window from xwininfo.
geometry_of() {
  timeout 10 xwininfo -id "$1" | awk '
    /Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
    /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print w, h, x, y }'
}

# Runs tarnel.exe once: waits for the message box, takes the screenshot,
# presses Return on the box and waits for the end. Sets run_rc (the exit code,
# or empty when it never ended), box_seen, box_painted, box_geometry, times.
run_once() {
  local shot="$1" name="$2"
  run_rc="" box_seen=1 box_painted=1 box_geometry="" show_ms="" exit_ms=""
  local start now box="" deadline
  start=$(date +%s%N)
  (cd "$app" && exec timeout $((SHOW_TIMEOUT + EXIT_TIMEOUT + 30)) wine tarnel.exe) \
    </dev/null >"$OUT/$name.stdout" 2>"$OUT/$name.stderr" &
  tarnel_pid=$!

  deadline=$(( $(date +%s) + SHOW_TIMEOUT ))
  while [ "$(date +%s)" -lt "$deadline" ] && kill -0 "$tarnel_pid" 2>/dev/null; do
    box="$(find_box)"
    if [ -n "$box" ]; then
      read -r w h x y <<<"$(geometry_of "$box")"
      # Entirely on the 1280x800 screen.
      if [ -n "${y:-}" ] && [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1280 ] && [ $((y + h)) -le 800 ]; then
        break
      fi
    fi
    box=""
    sleep 0.2
  done
  [ -n "$box" ] || { log "$name: no message box on screen"; stop_pid "$tarnel_pid"; tarnel_pid=""; return; }
  box_seen=0
  box_geometry="${w}x${h}+${x}+${y}"
  now=$(date +%s%N); show_ms=$(( (now - start) / 1000000 ))

  # Shot of the whole screen once the box has drawn its text (the region is
  # no longer one flat colour); wait at most 10 s for that.
  for _ in $(seq 50); do
    timeout 20 import -display "$display" -window root "$shot" 2>/dev/null || true
    if [ -s "$shot" ] && [ "$(identify -format '%k' "${shot}[$box_geometry]" 2>/dev/null || echo 0)" -gt 8 ]; then
      box_painted=0
      break
    fi
    sleep 0.2
  done

  # Close it as a user would: focus the box and press Return (its OK button).
  timeout 10 xdotool windowfocus --sync "$box" >/dev/null 2>&1 || timeout 10 xdotool windowfocus "$box" || true
  timeout 10 xdotool key --clearmodifiers Return || true
  local pressed; pressed=$(date +%s%N)
  for _ in $(seq $((EXIT_TIMEOUT * 10))); do
    kill -0 "$tarnel_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$tarnel_pid" 2>/dev/null; then
    log "$name: still running ${EXIT_TIMEOUT} s after Return"
    stop_pid "$tarnel_pid"
  else
    run_rc=0
    wait "$tarnel_pid" || run_rc=$?
    now=$(date +%s%N); exit_ms=$(( (now - pressed) / 1000000 ))
  fi
  tarnel_pid=""
}

info_requests() { grep -cxF "$INFO_LINE" "$OUT/requests.log" 2>/dev/null || true; }

# --- First run ----------------------------------------------------------------
log "first run"
run_once "$OUT/runtime-missing.png" run1
check "first run: the message box came on screen" "$box_seen" "${box_geometry:-none}, after ${show_ms:-?} ms"
check "first run: the box drew its text (screenshot $OUT/runtime-missing.png)" "$box_painted"
check "first run: exit code 2 after Return on the box" "$([ "$run_rc" = 2 ]; echo $?)" \
  "exit code ${run_rc:-none}${exit_ms:+, ended ${exit_ms} ms after Return}"
cp "$app/config.ini" "$OUT/config-after-run1.ini"
uuid1="$(ini_value user uuid "$app/config.ini")"
check "config.ini holds a generated uuid" "$([[ "$uuid1" =~ ^[0-9A-Za-z]{32}$ ]]; echo $?)" "uuid=${uuid1:-<empty>}"
expected_config="$(printf '[root]\ndownloader_id=1\n[user]\nuuid=%s' "$uuid1")"
check "config.ini: only the uuid line changed" \
  "$([ -n "$uuid1" ] && [ "$(tr -d '\r' <"$app/config.ini")" = "$expected_config" ]; echo $?)"
count1="$(info_requests)"
check "the service got the info request with ?id=1" "$([ "$count1" = 1 ]; echo $?)" \
  "$count1 x \"$INFO_LINE\""

# --- Second run: the identifier stays, the info is asked again --------------------
log "second run"
run_once "$OUT/runtime-missing-run2.png" run2
check "second run: the message box came on screen" "$box_seen" "${box_geometry:-none}, after ${show_ms:-?} ms"
check "second run: exit code 2 after Return on the box" "$([ "$run_rc" = 2 ]; echo $?)" \
  "exit code ${run_rc:-none}${exit_ms:+, ended ${exit_ms} ms after Return}"
cp "$app/config.ini" "$OUT/config-after-run2.ini"
uuid2="$(ini_value user uuid "$app/config.ini")"
check "the uuid is unchanged by the second run" "$([ -n "$uuid1" ] && [ "$uuid2" = "$uuid1" ]; echo $?)" \
  "uuid=${uuid2:-<empty>}"
count2="$(info_requests)"
check "the second run made a second info request" "$([ "$count2" = 2 ]; echo $?)" "$count2 x \"$INFO_LINE\""

if [ "$failures" -ne 0 ]; then
  log "$failures check(s) failed; logs and screenshots in $OUT"
  exit 1
fi
log "all checks passed; screenshots in $OUT"
