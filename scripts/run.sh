#!/usr/bin/env bash
# Builds tarnel and the stand-in download service, starts the service on
# 127.0.0.1:8765 (the build's default API address) and runs tarnel, copied
# alone into out/demo/app beside a config.ini for package 1.
#
# With a display (DISPLAY set and reachable) the window opens on it and the
# command ends when you close it. Without one, the run happens on a virtual X
# server: the script clicks Download, waits for the installer, clicks Install
# and leaves screenshots under out/demo/, whose paths it prints.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target tarnel tarnel-service -j2

demo=$root/out/demo
mkdir -p "$demo/app" "$demo/home/Downloads" "$demo/home/.config"
cp build/src/app/tarnel "$demo/app/tarnel"
# Keep an existing config.ini, so the client identifier stays the same.
[ -f "$demo/app/config.ini" ] || printf '[root]\ndownloader_id=1\n' > "$demo/app/config.ini"

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

# Each run's events only: the service appends to its log.
rm -f "$demo/events.jsonl"
build/tools/standin-service/tarnel-service --port 8765 --log-file "$demo/events.jsonl" --rate 4M \
  > "$demo/service.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q listening "$demo/service.log" && break; sleep 0.1; done
cat "$demo/service.log"
curl -s "http://127.0.0.1:8765/downloader.php/index/info?id=1"; echo

if [ -n "${DISPLAY:-}" ] && xdpyinfo > /dev/null 2>&1; then
  echo "Running tarnel on $DISPLAY; close its window to end."
  "$demo/app/tarnel"
  exit 0
fi

echo "No display: running on a virtual X server."
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -nolisten tcp > "$demo/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 10 -u "$fd" display_number
export DISPLAY=":$display_number"
export HOME="$demo/home" XDG_CONFIG_HOME="$demo/home/.config" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
echo 'XDG_DOWNLOAD_DIR="$HOME/Downloads"' > "$demo/home/.config/user-dirs.dirs"
# Nobody can answer an elevation prompt on a virtual display, so the demo's
# pkexec runs the installer as the user and logs what it ran.
mkdir -p "$demo/bin"
cat > "$demo/bin/pkexec" <<SHIM
#!/bin/sh
echo "pkexec \$*" >> "$demo/install.log"
exec "\$@" >> "$demo/install.log" 2>&1
SHIM
chmod +x "$demo/bin/pkexec"
export PATH="$demo/bin:$PATH"

rm -f "$demo"/home/Downloads/tarnel-demo-setup.sh* "$demo/install.log"
"$demo/app/tarnel" > "$demo/tarnel.log" 2>&1 &
pids+=($!)

window_geometry() { xwininfo -root -tree | grep '("tarnel" "Tarnel")' | grep -oE '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+' | sort -t x -k1 -n | tail -1; }
for _ in $(seq 150); do
  geometry=$(window_geometry || true)
  case "$geometry" in 720x460+[0-9]*+[0-9]*) break ;; esac  # at its size and on screen
  sleep 0.1
done
echo "Window: $geometry"
x=$(echo "$geometry" | cut -d+ -f2); y=$(echo "$geometry" | cut -d+ -f3)
# The first screenshot once the page has painted: an unpainted window is one colour.
for _ in $(seq 100); do
  colours=$(import -window root -crop "${geometry}" +repage -format %k info: 2>/dev/null || echo 0)
  [ "${colours:-0}" -gt 8 ] && break
  sleep 0.1
done
import -window root "$demo/1-page.png"

# The page's primary button (Download, then Install in its place), found on
# screen: the patch of the page's accent colour in the lower right part of the
# window (the icon, also blue, sits top left). Prints the screen point of its
# centre.
primary_button() {
  local w=${geometry%%x*} rest=${geometry#*x}
  local h=${rest%%+*}
  local left=$((w / 2)) top=$((h * 6 / 10))
  local box
  box=$(import -window root -crop "$((w - left))x$((h - top))+$((x + left))+$((y + top))" +repage png:- |
    convert png:- -fuzz 12% -fill black +opaque '#2f6feb' -fuzz 0 -fill white +opaque black -trim \
      -format '%w %h %X %Y' info:)
  read -r bw bh bx by <<< "$box"
  echo "$((x + left + ${bx#+} + bw / 2)) $((y + top + ${by#+} + bh / 2))"
}
read -r bx by <<< "$(primary_button)"
echo "Download button at $bx,$by"
xdotool mousemove --sync "$bx" "$by" click 1
# Until the browser view has painted the page itself, the window shows the
# picture of the page it came on screen with: wait for the page to change.
import -window root -crop "${geometry}" +repage "$demo/.before-click.png"
for _ in $(seq 100); do
  changed=$(import -window root -crop "${geometry}" +repage png:- |
    compare -metric AE png:- "$demo/.before-click.png" null: 2>&1 || true)
  [ "${changed%% *}" -gt 1000 ] 2>/dev/null && break
  sleep 0.1
done
rm -f "$demo/.before-click.png"
sleep 0.3
import -window root "$demo/2-downloading.png"
for _ in $(seq 300); do [ -f "$demo/home/Downloads/tarnel-demo-setup.sh" ] && break; sleep 0.1; done
sleep 0.5
import -window root "$demo/3-finished.png"
# A --sync move to where the pointer already is waits for motion that never
# comes: step aside first (also off the button, so it shows its own colour).
xdotool mousemove --sync $((x + 10)) $((y + 10))
read -r bx by <<< "$(primary_button)"
echo "Install button at $bx,$by"
xdotool mousemove --sync "$bx" "$by" click 1
for _ in $(seq 50); do [ -s "$demo/install.log" ] && break; sleep 0.1; done
sleep 0.3

echo
echo "Downloaded: $(ls -l "$demo/home/Downloads/tarnel-demo-setup.sh" 2>/dev/null || echo nothing)"
echo "Installer run: $(cat "$demo/install.log" 2>/dev/null | head -3 || echo nothing)"
echo "Events the service received:"
cat "$demo/events.jsonl" 2>/dev/null || true
echo "Screenshots:"
ls -1 "$demo"/*.png
