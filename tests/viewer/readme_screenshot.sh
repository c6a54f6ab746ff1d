#!/usr/bin/env bash
# Takes the README's picture of the viewer in use: a cloth sculpted by a start-up script (pulled
# folds, a painted mask), the brush circle under the mouse, the panel. Needs Xvfb and xdotool.
# usage: readme_screenshot.sh BUILD_DIR OUT.png
set -eu
build=$(cd "$1" && pwd) out=$2
work=$(mktemp -d)
xvfb_pid="" viewer_pid=""
cleanup() {
    [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 5 -screen 0 1400x900x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

cat >"$work/demo.vms" <<'SCRIPT'
create plane name:"Cloth" width:10 length:10 segments:60
viewport width:900 height:660 eye:[0,-10.5,8] target:[0,0.3,0] up:[0,0,1] fov:45
Velmora.SetSettings 20 60.0 0.95 0.1 0.1
Velmora.SetSettingsV2 true false false 1.0 1.0 false 0.3 1.0 1.0 false
Velmora.DoOperation()
-- A painted band that holds the near edge still, then folds pulled up and pushed sideways.
stroke alt from:[250,520] to:[650,520] steps:30
stroke ctrl from:[330,300] to:[330,200] steps:25
stroke ctrl from:[560,300] to:[560,190] steps:25
stroke from:[450,360] to:[520,330] steps:20
stroke shift ctrl from:[420,420] to:[480,420] steps:15
SCRIPT

"$build/bin/velmora-view" --plugins "$build/plugins" --screenshot "$out" "$work/demo.vms" >"$work/out" 2>&1 &
viewer_pid=$!
for _ in $(seq 600); do grep -q "Viewer ready" "$work/out" && break; sleep 0.1; done
wid=$(timeout 20 xdotool search --sync --name "^Velmora" | head -n1)
xdotool windowfocus --sync "$wid"
xdotool mousemove --window "$wid" 760 300
sleep 0.5
xdotool mousemove --window "$wid" 762 302
sleep 0.8
xdotool key F12
for _ in $(seq 100); do grep -q "^Screenshot" "$work/out" && break; sleep 0.1; done
xdotool key ctrl+q
sleep 0.5
cat "$work/out"
