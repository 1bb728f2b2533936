#!/usr/bin/env bash
# End-to-end run of the real tarnwick window under Xvfb with openbox, driven by
# xdotool with real X input events: the real folder chooser, the list commands,
# the list's keys, undo, drag and drop and context menu, the preview, the real
# colour chooser, the border, generation and the prompt; then a second start
# that must find every input restored.
# The documents the window writes are compared byte for byte with what
# tarnwick-make writes for the same inputs.
# Usage: bash tests/e2e/run-e2e.sh BUILD_DIR
# Screenshots go to $TARNWICK_E2E_SHOTS (default BUILD_DIR/e2e-shots).
set -euo pipefail
build=$(cd "${1:?usage: run-e2e.sh BUILD_DIR}" && pwd)
program=$build/bin/tarnwick
make_program=$build/bin/tarnwick-make
if [ ! -x "$program" ] || [ ! -x "$make_program" ]; then
    echo "e2e: SKIPPED - tarnwick or tarnwick-make is not built in $build"
    exit 0
fi
shots=${TARNWICK_E2E_SHOTS:-$build/e2e-shots}
mkdir -p "$shots"
shots=$(cd "$shots" && pwd)

work=$(mktemp -d)
pids=()
cleanup() {
    local status=$?
    if [ "$status" -ne 0 ]; then
        import -window root "$shots/e2e-failure.png" 2>/dev/null || true
        for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $log"; tail -20 "$log"; }; done
    fi
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "e2e: FAIL - $*" >&2; exit 1; }
step() { echo "e2e: $*"; }

# Polls a condition (a shell command) for up to five seconds.
wait_until() {
    for _ in $(seq 100); do eval "$1" && return 0; sleep 0.05; done
    return 1
}

# --- The X server, a window manager and a clean user --------------------------
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
export DISPLAY=:$display
# -noreset: without it the server resets when xdpyinfo, its first client, leaves,
# and a client connecting during that reset is refused.
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_until "xdpyinfo >/dev/null 2>&1" || fail "Xvfb did not start"
# Without a window manager Qt windows never become active nor get the focus.
for attempt in 1 2 3; do
    openbox >>"$work/openbox.log" 2>&1 &
    wm=$!
    pids+=("$wm")
    wait_until "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'" && sleep 0.2 &&
        kill -0 "$wm" 2>/dev/null && break
    kill "$wm" 2>/dev/null || true
    [ "$attempt" -lt 3 ] || fail "openbox did not start"
done

export XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
ini=$XDG_CONFIG_HOME/Vellicor.ini

# "Open with the associated application" ends in xdg-open; this one only notes
# what it was asked to open.
mkdir -p "$work/bin"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >>"$work/opened"
EOF
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH

# The pictures: four solid colours, so the preview can be told apart by a pixel.
pictures=$work/相册
mkdir -p "$pictures"
convert -size 400x300 xc:'#ff0000' "$pictures/a.jpg"
convert -size 400x300 xc:'#0000ff' "$pictures/b.gif"
convert -size 200x100 xc:'#00ff00' "$pictures/c.jpg"
convert -size 400x300 xc:'#ffff00' "$pictures/山水.jpg"
# xdotool types ASCII reliably; the chooser gets the folder through a link.
ln -s "$pictures" "$work/album"

# --- Helpers on the program's windows ------------------------------------------
start_program() {
    "$program" "$@" >>"$work/tarnwick.log" 2>&1 &
    app=$!
    pids+=("$app")
    main=""
    wait_until 'main=$(xdotool search --all --onlyvisible --pid "$app" --name "^Tarnwick$" 2>/dev/null | head -1); [ -n "$main" ]' ||
        fail "no tarnwick window appeared"
    # Without an icon theme that holds tarnwick's icon, the built-in pictures are its icon.
    wait_until 'xprop -id "$main" _NET_WM_ICON 2>/dev/null | grep -q " = "' ||
        fail "the tarnwick window carries no icon (_NET_WM_ICON)"
    activate "$main"
    wait_until '[ "$(xdotool getactivewindow 2>/dev/null)" = "$main" ]' || fail "the tarnwick window never became active"
}

activate() { xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true; }

# Absolute position of a window's client area: "X Y".
origin() { xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}'; }
client_size() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
# Absolute position of the frame the window manager put around a window (title
# bar included): its ancestor right below the root window.
frame_origin() {
    local w=$1 root parent
    root=$(xwininfo -tree -id "$w" | awk '/Root window id:/{print $4}')
    while parent=$(xwininfo -tree -id "$w" | awk '/Parent window id:/{print $4}') && [ "$parent" != "$root" ]; do
        w=$parent
    done
    origin "$w"
}

# Clicks at client coordinates of the main window (control positions are
# twips / 15 in its fixed layout).
click() {
    activate "$main"
    local x y
    read -r x y < <(origin "$main")
    xdotool mousemove $((x + $1)) $((y + $2)) click 1
    sleep 0.2
}

# List1's rows: the list's client area starts at (30, 98), rows are 14 pixels.
click_row() { click 60 $((106 + 14 * $1)); }

# Replaces the text of the box at client coordinates with a typed text.
type_into() {
    click "$1" "$2"
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 10 "$3"
}

# The window of this program with exactly this title, waited for.
window_named() {
    local title=$1 found=""
    wait_until 'found=$(xdotool search --all --onlyvisible --pid "$app" --name "^$title\$" 2>/dev/null | head -1); [ -n "$found" ]' ||
        fail "no window \"$title\" appeared"
    echo "$found"
}

visible_windows() { xdotool search --all --onlyvisible --pid "$app" 2>/dev/null | wc -l; }

pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- | awk 'NR==2{print $3}'; }

# Whether the screen pixel at X Y is within 8 of the colour #RRGGBB (JPEG
# rounding leaves solid colours a step or two off).
near() {
    local hex want i d
    hex=$(pixel "$1" "$2")
    hex=${hex#\#} want=${3#\#}
    [ ${#hex} -eq 6 ] || return 1
    for i in 0 2 4; do
        d=$((16#${hex:i:2} - 16#${want:i:2}))
        [ "$d" -le 8 ] && [ "$d" -ge -8 ] || return 1
    done
}

# A screenshot of the screen trimmed to the windows on it.
screenshot() {
    sleep 0.2
    import -window root png:- | convert - -trim +repage "$shots/e2e-$1.png"
    step "screenshot e2e-$1.png"
}

wait_gone() { wait_until "! kill -0 $1 2>/dev/null"; }

# The colour chooser: the HTML box takes the colour, Enter accepts.
choose_colour() {
    local dialog
    dialog=$(window_named "选择颜色")
    activate "$dialog"
    xdotool key --clearmodifiers alt+h ctrl+a
    xdotool type --delay 10 "$1"
    [ -n "${2:-}" ] && screenshot "$2"
    xdotool key Return
    wait_until "! xdotool search --all --onlyvisible --pid $app --name '^选择颜色\$' >/dev/null 2>&1" ||
        fail "the colour chooser stayed open"
}

# Expected document: tarnwick-make on a copy of the folder, same inputs.
expected_document() {
    local copy=$work/expected-$1
    shift
    rm -rf "$copy"
    cp -r "$pictures" "$copy"
    rm -f "$copy"/*.dml
    "$make_program" "$@" "$copy" >/dev/null
    echo "$copy"
}

# The page names of a document, in order.
page_names() { iconv -f GBK -t UTF-8 "$1" | sed -n 's/.*<BITMAP id="\([^"]*\)".*/\1/p' | tr '\n' ' '; }

# Checks List1's order through what the window writes: generates MyEBook.dml
# with the boxes as the scan left them and compares it with what tarnwick-make
# writes for these pages in this order. The list keeps the focus.
# Generates with Alt+B and answers No to the prompt.
generate_answering_no() {
    local prompt
    activate "$main"
    xdotool key --clearmodifiers alt+b
    prompt=$(window_named "提示信息")
    activate "$prompt"
    xdotool key --clearmodifiers alt+n
    wait_until "! xdotool search --all --onlyvisible --pid $app --name '^提示信息\$' >/dev/null 2>&1" ||
        fail "the prompt stayed open"
}

check_order() {
    local what=$1 expected
    shift
    rm -f "$pictures/MyEBook.dml"
    generate_answering_no
    [ -f "$pictures/MyEBook.dml" ] || fail "$what: no MyEBook.dml was written"
    printf '%s\n' "$@" >"$work/pages"
    expected=$(expected_document order --pages "$work/pages")
    cmp -s "$pictures/MyEBook.dml" "$expected/MyEBook.dml" ||
        fail "$what: the pages are $(page_names "$pictures/MyEBook.dml")- expected $*"
    rm "$pictures/MyEBook.dml"
    activate "$main"
    step "$what: $*"
}

# Presses the left button at client coordinates of the main window, moves the
# pointer there in small steps and releases it: a real drag.
drag() { drag_in "$main" "$@"; }

# The same in another window of the program.
drag_in() {
    local window=$1 x y i steps=12
    shift
    activate "$window"
    read -r x y < <(origin "$window")
    xdotool mousemove $((x + $1)) $((y + $2)) mousedown 1
    sleep 0.1
    for i in $(seq $steps); do
        xdotool mousemove $((x + $1 + ($3 - $1) * i / steps)) $((y + $2 + ($4 - $2) * i / steps))
        sleep 0.05
    done
    sleep 0.2
    xdotool mouseup 1
    sleep 0.3
}

# Context menus are the program's other visible windows while the main window
# is its only one. Presses a key in List1 and checks that it opens exactly one,
# that nothing more opens while it is up, and that Escape closes it for good.
# The pointer waits outside the window, where it raises no tooltip.
check_one_menu() {
    xdotool mousemove 1010 750
    wait_until '[ "$(visible_windows)" -eq 1 ]' || fail "$(visible_windows) windows before $1"
    xdotool key --clearmodifiers "$1"
    wait_until '[ "$(visible_windows)" -ge 2 ]' || fail "$1 opened no context menu"
    sleep 0.3
    [ "$(visible_windows)" -eq 2 ] || fail "$1 opened $(($(visible_windows) - 1)) menus"
    xdotool key Escape
    wait_until '[ "$(visible_windows)" -eq 1 ]' ||
        fail "after $1 and Escape $(($(visible_windows) - 1)) menus are open"
    sleep 0.3
    [ "$(visible_windows)" -eq 1 ] || fail "a second menu opened after the one $1 opened was closed"
}

# --- 1. First start on an empty store ------------------------------------------
step "first start"
start_program
size=$(client_size "$main")
[ "$size" = "540x332" ] || fail "client area is $size, expected 540x332"
step "client area $size"
screenshot first-start
# Alt+Q quits at once and saves nothing.
xdotool key --clearmodifiers alt+q
wait_gone "$app" || fail "Alt+Q did not end the program"
[ ! -e "$ini" ] || fail "quitting wrote $ini"
step "Alt+Q ended the program without writing settings"

# --- 2. A whole run -------------------------------------------------------------
step "second start: browse, arrange, preview, colours, generate"
start_program
click 238 44                                  # Command1, the folder button
chooser=$(window_named "请选择图片所在目录：")
activate "$chooser"
xdotool type --delay 10 "$work/album"
screenshot folder-chooser
xdotool key Return
wait_until "! xdotool search --all --onlyvisible --pid $app --name '^请选择图片所在目录：\$' >/dev/null 2>&1" ||
    fail "the folder chooser stayed open"
screenshot scanned

# Name order (zh_CN collation puts Han before Latin): 山水.jpg a.jpg b.gif
# c.jpg. b.gif goes to the top.
click_row 2
click 210 104                                 # Label11, to the top
# The list's own keys: a.jpg up one with Alt+Up, and back with Ctrl+Z.
click_row 2
xdotool key --clearmodifiers alt+Up
check_order "Alt+Up moved a.jpg up" b.gif a.jpg 山水.jpg c.jpg
xdotool key --clearmodifiers ctrl+z
check_order "Ctrl+Z undid it" b.gif 山水.jpg a.jpg c.jpg
# A real drag: c.jpg, selected, pressed and dropped into the upper half of
# 山水.jpg, that is between b.gif and 山水.jpg. End selects it: a click right
# before the press would make the press a double-click.
xdotool key End
drag 60 $((106 + 14 * 3)) 60 $((106 + 14 * 1 - 3))
check_order "dragging c.jpg dropped it between b.gif and 山水.jpg" b.gif c.jpg 山水.jpg a.jpg
# The Menu key opens the context menu once, as Shift+F10 does.
check_one_menu Menu
check_one_menu shift+F10
step "the Menu key and Shift+F10 each opened one context menu, Escape closed it"

# The page board: F4 opens it over the same list, transient for the main
# window; End selects a.jpg, the last tile, and a real drag puts it before the
# first tile (192-pixel tiles in a grid of 204, the first at the view's corner).
activate "$main"
xdotool key F4
board=$(window_named "页面总览 - .*")
xprop -id "$board" WM_TRANSIENT_FOR | grep -q "window id" || fail "the page board is not transient for the main window"
activate "$board"
screenshot board
xdotool key End
drag_in "$board" $((3 * 204 + 102)) 100 8 100
xdotool key Escape
wait_until '[ "$(visible_windows)" -eq 1 ]' || fail "Escape did not close the page board"
step "the page board opened with F4 and closed with Escape"
check_order "dragging a.jpg's tile before the first tile" a.jpg b.gif c.jpg 山水.jpg
xdotool key --clearmodifiers ctrl+z
check_order "Ctrl+Z in List1 undid the board's drag" b.gif c.jpg 山水.jpg a.jpg
click_row 1
click 200 209                                 # Label15, remove c.jpg

# Preview: ticking with an entry current moves the main window's frame, title
# bar included, to the corner and opens the preview with its top-left corner
# at the client area's centre measured from that frame corner.
click_row 0
click 206 236                                 # Check2
wait_until '[ "$(visible_windows)" -eq 2 ]' || fail "ticking the preview box opened no preview"
preview=$(xdotool search --all --onlyvisible --pid "$app" 2>/dev/null | grep -vx "$main" | head -1)
wait_until 'read -r fx fy < <(frame_origin "$main"); [ "$fx" -eq 0 ] && [ "$fy" -eq 0 ]' ||
    fail "the main window's frame is at ($fx,$fy), not at the screen's corner"
read -r px py < <(origin "$preview")
read -r mx my < <(origin "$main")
[ "$(client_size "$preview")" = "642x482" ] || fail "preview is $(client_size "$preview"), expected 642x482"
[ "$mx" -le 10 ] && [ "$my" -le 40 ] || fail "the main window's client area is at ($mx,$my), too far from its frame"
# 8100 x 4980 twips of client area: the corner 4050 and 2500 twips from the frame's.
[ "$px" -eq $((fx + 270)) ] && [ "$py" -eq $((fy + 167)) ] ||
    fail "preview at ($px,$py), expected ($((fx + 270)),$((fy + 167)))"
step "preview at ($px,$py), the main window's frame at ($fx,$fy) and its client area at ($mx,$my)"
# The desktop matches the window to its entry by WM_CLASS; the preview is
# owned by the main window itself, not its group, and named after its picture.
xprop -id "$main" WM_CLASS | grep -qx 'WM_CLASS(STRING) = "tarnwick", "tarnwick"' ||
    fail "main window: $(xprop -id "$main" WM_CLASS)"
xprop -id "$preview" WM_TRANSIENT_FOR | grep -qx "WM_TRANSIENT_FOR(WINDOW): window id # $(printf '0x%x' "$main")" ||
    fail "preview: $(xprop -id "$preview" WM_TRANSIENT_FOR), the main window is $(printf '0x%x' "$main")"
wait_until 'xprop -id "$preview" _NET_WM_NAME | grep -q "\"预览 - b.gif\""' ||
    fail "preview: $(xprop -id "$preview" _NET_WM_NAME)"
probe_x=$((px + 300)) probe_y=$((py + 250))   # inside every picture, below the main window
wait_until 'near $probe_x $probe_y "#0000ff"' || fail "the preview does not show b.gif: $(pixel $probe_x $probe_y)"
click_row 2
wait_until 'near $probe_x $probe_y "#ff0000"' || fail "clicking a.jpg did not load it: $(pixel $probe_x $probe_y)"
xdotool key Up                                # the keyboard moves the preview along
wait_until 'near $probe_x $probe_y "#ffff00"' || fail "Up did not load 山水.jpg: $(pixel $probe_x $probe_y)"
screenshot preview
# The list's keys work in the preview too, and it keeps the focus.
activate "$preview"
xdotool key Down
wait_until 'near $probe_x $probe_y "#ff0000"' || fail "Down in the preview did not load a.jpg: $(pixel $probe_x $probe_y)"
[ "$(xdotool getactivewindow)" = "$preview" ] || fail "Down in the preview took the focus away"
# Escape released in the preview unticks the box, which closes the preview.
xdotool key Escape
wait_until '[ "$(visible_windows)" -eq 1 ]' || fail "Escape did not close the preview"
click_row 0
sleep 0.3
[ "$(visible_windows)" -eq 1 ] || fail "the preview box is still ticked after Escape"
step "preview followed clicks and keys, Escape closed it and unticked the box"

# Background colour through the real colour chooser, then the border.
click 428 88                                  # Label5
choose_colour "#3366cc" colour-chooser
read -r mx my < <(origin "$main")
near $((mx + 428)) $((my + 88)) "#3366cc" || fail "the background swatch shows $(pixel $((mx + 428)) $((my + 88)))"
click 293 120                                 # Check1, the border
click 437 120                                 # Label8, the border colour shown with it
choose_colour "#008000"
near $((mx + 437)) $((my + 120)) "#008000" || fail "the border swatch shows $(pixel $((mx + 437)) $((my + 120)))"

type_into 100 292 "Trip.dml"                  # Text2
type_into 364 229 "12"                        # Text8, the left offset: too large
xdotool key --clearmodifiers alt+b
warning=$(window_named "错误信息")
screenshot warning
activate "$warning"
xdotool key Return
wait_until "! xdotool search --all --onlyvisible --pid $app --name '^错误信息\$' >/dev/null 2>&1" || fail "the warning stayed open"
[ ! -e "$pictures/Trip.dml" ] || fail "a document was written although a check failed"
# The warning put the focus on the offending box: typing goes there.
activate "$main"
xdotool key --clearmodifiers ctrl+a
xdotool type "10"
type_into 364 189 "300"                       # Text3(2), the picture width
xdotool key --clearmodifiers alt+b
prompt=$(window_named "提示信息")
screenshot prompt
activate "$prompt"
xdotool key --clearmodifiers alt+n
wait_until "! xdotool search --all --onlyvisible --pid $app --name '^提示信息\$' >/dev/null 2>&1" || fail "the prompt stayed open"
[ ! -e "$work/opened" ] || fail "answering No opened the document"

[ -f "$pictures/Trip.dml" ] || fail "no Trip.dml was written"
printf '%s\n' b.gif 山水.jpg a.jpg >"$work/pages"
expected=$(expected_document first --name Trip.dml --book-width 400 --book-height 300 \
    --picture-width 300 --picture-height 300 --left 10 --top 0 \
    --background '#3366cc' --border '#008000' --pages "$work/pages")
cmp "$pictures/Trip.dml" "$expected/Trip.dml" || fail "the document differs from tarnwick-make's"
step "Trip.dml is byte for byte what tarnwick-make writes for the same inputs"

cat >"$work/expected.ini" <<'INI'
[Pellory]
BGColor=13395507
border=1
bordercolor=32768
dmlfilename=Trip.dml
fitmode=0
height1=300
height2=300
left=10
right=0
width1=400
width2=300
INI
diff "$ini" "$work/expected.ini" >&2 || fail "the stored settings differ"
step "the settings were stored"

xdotool key --clearmodifiers alt+q
wait_gone "$app" || fail "Alt+Q did not end the program"
cp "$ini" "$work/stored.ini"

# --- 3. Third start: the inputs come back ---------------------------------------
step "third start: the stored inputs restored"
rm "$pictures/Trip.dml"
start_program
screenshot restored
read -r mx my < <(origin "$main")
near $((mx + 428)) $((my + 88)) "#3366cc" || fail "the background colour was not restored"
near $((mx + 437)) $((my + 120)) "#008000" || fail "the border and its colour were not restored"
click 238 44
chooser=$(window_named "请选择图片所在目录：")
activate "$chooser"
xdotool type --delay 10 "$work/album"
xdotool key Return
wait_until "! xdotool search --all --onlyvisible --pid $app --name '^请选择图片所在目录：\$' >/dev/null 2>&1" ||
    fail "the folder chooser stayed open"
# The scan presets the book and picture sizes from the first picture, as it
# always does; the rest must be what the second run left.
type_into 364 189 "300"
xdotool key --clearmodifiers alt+b
prompt=$(window_named "提示信息")
activate "$prompt"
xdotool key --clearmodifiers alt+y
wait_until '[ -s "$work/opened" ]' || fail "answering Yes did not open the document"
step "Yes opened $(cat "$work/opened")"
grep -q "Trip.dml" "$work/opened" || fail "the opened document is not Trip.dml"
expected=$(expected_document restored --name Trip.dml --book-width 400 --book-height 300 \
    --picture-width 300 --picture-height 300 --left 10 --top 0 \
    --background '#3366cc' --border '#008000')
cmp "$pictures/Trip.dml" "$expected/Trip.dml" || fail "after a restart the document differs: inputs not restored"
cmp -s "$ini" "$work/stored.ini" || fail "the same inputs stored differently"
step "name, offsets, colours and border came back; the document and settings match"

# Closing through the window manager ends the program and saves nothing more.
activate "$main"
xdotool key --clearmodifiers alt+F4
wait_gone "$app" || fail "closing the window did not end the program"
cmp -s "$ini" "$work/stored.ini" || fail "closing the window changed the settings"
step "closing the window kept the settings file unchanged"

# --- 4. Reopening a book: the document given to the program --------------------
step "fourth start: reopening a book by its document"
"$make_program" --name Reopen.dml --pages - --book-width 400 --book-height 300 --picture-width 200 \
    --picture-height 100 --left 5 --top 7 --background '#123456' --border '#654321' "$pictures" \
    >/dev/null <<<$'c.jpg\na.jpg' || fail "tarnwick-make could not write the book to reopen"
cp "$pictures/Reopen.dml" "$work/reopen-original.dml"
start_program "$pictures/Reopen.dml"
screenshot reopened
# The book's pages first, the folder's other pictures after them in name order.
others=$(expected_document listing)
mapfile -t pages < <(printf 'c.jpg\na.jpg\n'; page_names "$others/MyEBook.dml" | tr ' ' '\n' |
    grep -v -x -e '' -e c.jpg -e a.jpg)
generate_answering_no
printf '%s\n' "${pages[@]}" >"$work/pages"
expected=$(expected_document reopened --name Reopen.dml --pages "$work/pages" --book-width 400 \
    --book-height 300 --picture-width 200 --picture-height 100 --left 5 --top 7 \
    --background '#123456' --border '#654321')
cmp "$pictures/Reopen.dml" "$expected/Reopen.dml" ||
    fail "the reopened book differs: pages $(page_names "$pictures/Reopen.dml")- expected ${pages[*]}"
step "the arrangement and the inputs came back from the document: ${pages[*]}"
xdotool key --clearmodifiers alt+q
wait_gone "$app" || fail "Alt+Q did not end the program"

# --- 5. A FIFO swapped in for a listed picture -----------------------------------
step "fifth start: a listed picture replaced by a FIFO"
fifos=$work/fifos
mkdir -p "$fifos"
convert -size 400x300 xc:'#ff0000' "$fifos/a.jpg"
convert -size 400x300 xc:'#0000ff' "$fifos/b.jpg"
start_program "$fifos"
rm "$fifos/b.jpg"
mkfifo "$fifos/b.jpg"
# The page board asks for both thumbnails: opening the FIFO must not block a worker.
xdotool key --clearmodifiers F4
wait_until '[ -n "$(xdotool search --all --onlyvisible --pid "$app" --name "页面总览" 2>/dev/null)" ]' ||
    fail "the page board did not open"
activate "$main"
xdotool key --clearmodifiers alt+F4
wait_gone "$app" || fail "with a FIFO among the pictures, closing the window did not end the program"
step "with a FIFO among the pictures the program ended when its window closed"

echo "e2e: PASS"
