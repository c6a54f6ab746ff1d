#!/usr/bin/env bash
# Drives the real viewer window under Xvfb with xdotool: starts the brush, strokes with Ctrl, with
# no key and with Alt, saves with Ctrl+S, takes a screenshot, undoes with Ctrl+Z and saves again.
# Exit 77 (skipped) when Xvfb or xdotool is missing.
# usage: viewer_window_test.sh VIEWER PROBE PLUGIN_DIR WORK_DIR
set -u
viewer=$1 probe=$2 plugins=$3 work=$4

for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed (apt-get install xvfb xdotool)"
        exit 77
    fi
done

rm -rf "$work"
mkdir -p "$work"
# Sanitizer builds: leaks inside the window system's and GL driver's libraries are theirs, not ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(cd "$(dirname "$0")" && pwd)/lsan-window.supp"
xvfb_pid="" viewer_pid=""
cleanup() {
    [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    echo "--- viewer output"; cat "$work/viewer.out" 2>/dev/null
    echo "--- viewer errors"; cat "$work/viewer.err" 2>/dev/null
    exit 1
}

# A display number nobody uses: Xvfb picks it and writes it to the given descriptor.
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

# 32 x 32 quads over [-4, 4]^2, seen from above: world (x, y) is viewport pixel (400 + 60x, 300 - 60y),
# and the viewport starts 340 pixels right of the window's left edge (the panel).
"$probe" grid "$work/cloth.obj" 32 8 || fail "cannot write the test mesh"
cat >"$work/start.vms" <<'SCRIPT'
load "cloth.obj"
viewport width:800 height:600 eye:[0,0,10] target:[0,0,0] up:[0,1,0] ortho:10
-- A strong move, so that a short scripted stroke moves the cloth clearly; MaskPaint paints mask 0,
-- so that the Alt stroke shows in the saved colours.
Velmora.SetSettings 20 40.0 0.95 0.1 0.1
Velmora.SetSettingsV2 true false false 1.0 1.0 false 0.0 1.0 1.0 false
SCRIPT
wx() { awk -v x="$1" 'BEGIN { printf "%d", 340 + 400 + 60 * x }'; }
wy() { awk -v y="$1" 'BEGIN { printf "%d", 300 - 60 * y }'; }

"$viewer" --plugins "$plugins" --screenshot "$work/shot.png" "$work/start.vms" >"$work/viewer.out" 2>"$work/viewer.err" &
viewer_pid=$!
wait_for() {  # PATTERN COUNT: until the viewer has printed COUNT lines matching PATTERN
    for _ in $(seq 200); do
        [ "$(grep -c "$1" "$work/viewer.out" 2>/dev/null)" -ge "$2" ] && return 0
        kill -0 "$viewer_pid" 2>/dev/null || fail "the viewer exited while waiting for '$1'"
        sleep 0.1
    done
    fail "timed out waiting for '$1'"
}
wait_for "Viewer ready" 1
wid=$(timeout 20 xdotool search --sync --name "^Velmora" | head -n1)
[ -n "$wid" ] || fail "no viewer window"
# No window manager here: focus the window directly (windowactivate needs one).
xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
sleep 0.3

xdotool key b
sleep 0.3

# stroke MODIFIER-KEY|none X0 Y0 X1 Y1 (world coordinates): press, eight moves, release.
stroke() {
    local key=$1 x0=$2 y0=$3 x1=$4 y1=$5
    xdotool mousemove --window "$wid" "$(wx "$x0")" "$(wy "$y0")"
    sleep 0.2
    [ "$key" != none ] && xdotool keydown "$key"
    sleep 0.1
    xdotool mousedown 1
    sleep 0.1
    for i in 1 2 3 4 5 6 7 8; do
        local x y
        x=$(awk -v a="$x0" -v b="$x1" -v i="$i" 'BEGIN { print a + (b - a) * i / 8 }')
        y=$(awk -v a="$y0" -v b="$y1" -v i="$i" 'BEGIN { print a + (b - a) * i / 8 }')
        xdotool mousemove --window "$wid" "$(wx "$x")" "$(wy "$y")"
        sleep 0.05
    done
    sleep 0.1
    xdotool mouseup 1
    sleep 0.1
    [ "$key" != none ] && xdotool keyup "$key"
    sleep 0.2
}
stroke ctrl -2 1.5 -2 2.5
stroke none 2 1.5 2.5 2
stroke alt 0 -2.5 0.6 -2.5

xdotool key ctrl+s
wait_for "^Saved " 1
saved=$(grep "^Saved " "$work/viewer.out" | head -n1 | cut -c7-)
[ "$saved" = "$work/cloth-sculpted.obj" ] || fail "saved to '$saved', expected $work/cloth-sculpted.obj"
cp "$saved" "$work/after.obj"

# The brush circle follows a free move over the mesh; the picture is taken from the back buffer.
xdotool mousemove --window "$wid" "$(wx 0)" "$(wy 0)"
sleep 0.3
xdotool mousemove --window "$wid" "$(( $(wx 0) + 2 ))" "$(wy 0)"
sleep 0.3
xdotool key F12
wait_for "^Screenshot " 1

xdotool key ctrl+z
xdotool key ctrl+z
xdotool key ctrl+z
sleep 0.2
xdotool key ctrl+s
wait_for "^Saved " 2
cp "$saved" "$work/undone.obj"
xdotool key ctrl+q
for _ in $(seq 100); do kill -0 "$viewer_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$viewer_pid" 2>/dev/null && fail "the viewer did not quit on Ctrl+Q"
wait "$viewer_pid"
code=$?
viewer_pid=""
[ "$code" -eq 0 ] || fail "the viewer exited with $code"

status=0
"$probe" expect-moved "$work/cloth.obj" "$work/after.obj" -2 1.5 0.6 0.03 || { echo "FAIL: the Ctrl stroke moved nothing"; status=1; }
"$probe" expect-moved "$work/cloth.obj" "$work/after.obj" 2 1.5 0.6 0.03 || { echo "FAIL: the plain stroke moved nothing"; status=1; }
"$probe" expect-masked "$work/after.obj" 0.3 -2.5 0.6 2.5 || { echo "FAIL: the Alt stroke painted no mask where it was"; status=1; }
"$probe" expect-same "$work/cloth.obj" "$work/undone.obj" || { echo "FAIL: three Ctrl+Z did not restore the mesh"; status=1; }
# Viewport rectangle of the window around the cursor: the circle (radius about 64 pixels) and the mesh.
"$probe" expect-picture "$work/shot.png" $(( $(wx 0) - 120 )) $(( $(wy 0) - 120 )) $(( $(wx 0) + 120 )) $(( $(wy 0) + 120 )) 40 \
    || { echo "FAIL: the screenshot shows no mesh or no yellow circle"; status=1; }
[ "$status" -eq 0 ] || fail "checks failed"
echo "PASS"
