#!/bin/bash
# Tolvane in real GUIs on virtual displays: ChessX, PyChess, PolyGlot and xboard, one at a time.
#
#   scripts/gui-check.sh build/release/tolvane [out-dir]       (default out-dir: /tmp/gui-shots)
#   GUIS="polyglot xboard" GUI_SECONDS=20 scripts/gui-check.sh build/rel/tolvane
#
# Each GUI runs in a temporary HOME set up to use Tolvane with three analysis lines (MultiPV 3),
# analyses for GUI_SECONDS (default 25), plays a few moves where the GUI can, and leaves
# screenshots in out-dir. Tolvane runs behind a shim that logs every line both ways with a
# timestamp (out-dir/<gui>.log: "T > line" from the GUI, "T < line" from the engine); the summary
# line per GUI is read from that log. The clicks are placed for a 1280x1024 screen without a
# window manager, as Xvfb gives. Not part of `make test`: the GUIs are slow, need a display, and
# their layouts change between versions.
#
# Needs the Debian packages xvfb, xdotool, imagemagick, chessx, pychess, xboard and polyglot.
set -u
[ $# -ge 1 ] || { echo "usage: $0 ENGINE [OUT-DIR]" >&2; exit 2; }
engine=$(realpath "$1")
out=$(mkdir -p "${2:-/tmp/gui-shots}" && realpath "${2:-/tmp/gui-shots}")
secs=${GUI_SECONDS:-25}
guis=${GUIS:-chessx pychess polyglot xboard}
PATH=$PATH:/usr/games
work=$(mktemp -d /tmp/tolvane_gui_XXXXXX)
xvfb=
gui=

# The shim: the GUI starts it instead of the engine.
make_shim() { # name -> prints the shim's path
    local shim=$work/$1/engine.sh
    mkdir -p "$work/$1/home"
    : >"$out/$1.log"
    cat >"$shim" <<EOF
#!/bin/bash
log=$out/$1.log
{ while IFS= read -r line; do printf '%s > %s\n' "\$EPOCHREALTIME" "\$line" >>"\$log"; printf '%s\n' "\$line"; done |
    "$engine" "\$@"; } |
    while IFS= read -r line; do printf '%s < %s\n' "\$EPOCHREALTIME" "\$line" >>"\$log"; printf '%s\n' "\$line"; done
EOF
    chmod +x "$shim"
    echo "$shim"
}

start_display() { # number
    export DISPLAY=:$1
    Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    sleep 1
}

stop_display() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    xvfb=
}

start_gui() { # home, command... (own process group, so that it ends with what it started)
    local home=$1
    shift
    HOME=$home XDG_CONFIG_HOME=$home/.config setsid "$@" >"$home/gui.out" 2>&1 &
    gui=$!
}

stop_gui() {
    [ -n "$gui" ] || return
    kill -TERM -- "-$gui" 2>/dev/null
    for _ in 1 2 3 4 5; do kill -0 "$gui" 2>/dev/null || break; sleep 1; done
    kill -KILL -- "-$gui" 2>/dev/null
    wait "$gui" 2>/dev/null
    gui=
}

cleanup() {
    stop_gui
    stop_display
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

shot() { import -window root "$out/$1.png"; }
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.7}"; }
drag() { xdotool mousemove "$1" "$2" mousedown 1 mousemove "$3" "$4" sleep 0.2 mouseup 1; }
sdrag() { # a slow drag, for GUIs that want to see the piece travel
    xdotool mousemove "$1" "$2" mousedown 1
    sleep 0.3
    xdotool mousemove $((($1 + $3) / 2)) $((($2 + $4) / 2))
    sleep 0.2
    xdotool mousemove "$3" "$4"
    sleep 0.3
    xdotool mouseup 1
}
window_named() { xdotool search --name "^$1\$" 2>/dev/null | head -1; }

# What the log shows of a UCI session: handshake, the most lines seen at one depth, the rate of
# info lines while the engine searched (from "go" to its "bestmove") and the searches asked for.
uci_summary() { # log
    awk '
        $2 == "<" && $3 == "uciok" { ok = 1 }
        $2 == ">" && $3 == "go" { if (on) { spent += $1 - since }; on = 1; since = $1; searches++
                                  if ($4 == "infinite") infinite++ }
        $2 == "<" && $3 == "bestmove" { bestmoves++; if (on) { spent += $1 - since; on = 0 } }
        $2 == "<" && $3 == "info" {
            infos++
            depth = ""; pv = 0; line = 0
            for (i = 4; i <= NF; i++) {
                if ($i == "depth") depth = $(i + 1)
                if ($i == "multipv") pv = $(i + 1)
                if ($i == "pv") line = 1
            }
            if (!line) status++
            if (pv > most) most = pv
            if (pv && depth != "" && pv > lines[depth]) lines[depth] = pv
        }
        $2 == "<" && /[Ii]llegal|[Ee]rror/ { errors++ }
        END {
            if (on) spent += $1 - since
            full = 0; for (d in lines) if (lines[d] == most) full++
            printf "uci handshake %s, multipv up to %d (%d depths with all %d lines), ", (ok ? "ok" : "MISSING"), most, full, most
            printf "%d searches (%d infinite), %d bestmoves, searching %.0f s at %.1f info lines/s (%.1f without a pv), %d error lines\n",
                   searches, infinite, bestmoves, spent, (spent > 0 ? infos / spent : 0),
                   (spent > 0 ? status / spent : 0), errors
        }' "$1"
}

# What a UCI GUI sent of a game: the distinct positions, in order, and the last of them (a game
# that moved on shows the engine's answers in it).
game_summary() { # log
    awk '
        $2 == ">" && $3 == "position" { p = $0; sub(/^.*position /, "", p); if (!(p in seen)) { seen[p] = 1; n++; last = p } }
        END { printf "%d distinct positions, the last: %s\n", n, last }' "$1"
}

# The same for xboard's side of an analysis: thinking lines "depth score time nodes pv".
xboard_summary() { # log, prefix ("<" for the engine's own output)
    awk -v dir="$2" '
        $2 == ">" && $3 == "analyze" { on = 1; since = $1 }
        $2 == ">" && ($3 == "exit" || $3 == "quit") && on { spent += $1 - since; on = 0 }
        $2 == dir && $3 ~ /^feature/ && /done=1/ { ok = 1 }
        $2 == dir && on && $3 ~ /^[0-9]+$/ && $4 ~ /^[-+]?[0-9]+$/ { thinking++; per[$3]++ }
        $2 == dir && /[Ii]llegal|[Ee]rror/ { errors++ }
        END {
            if (on) spent += $1 - since
            most = 0; for (d in per) if (per[d] > most) most = per[d]
            printf "xboard handshake %s, up to %d thinking lines at one depth, analysis %.0f s at %.1f lines/s, %d error lines\n",
                   (ok ? "ok" : "MISSING"), most, spent, (spent > 0 ? thinking / spent : 0), errors
        }' "$1"
}

play_moves() { # seconds to wait after each, then "x y x y" drags
    local wait=$1 move
    shift
    for move in "$@"; do
        # shellcheck disable=SC2086 # the four numbers of a drag
        sdrag $move
        sleep "$wait"
    done
}

end_game_gui() { # name, label: the game's screenshot, then what the log shows
    shot "$1-game"
    stop_gui
    stop_display
    echo "$2: $(uci_summary "$out/$1.log")"
    echo "$2: game $(game_summary "$out/$1.log")"
}

run_chessx() {
    local shim home ini analysis
    shim=$(make_shim chessx)
    home=$work/chessx/home
    ini=$home/.config/chessx/chessx.ini
    mkdir -p "$(dirname "$ini")" "$home/Documents/chessdata"
    # OptionValues is Qt's serialised map {"MultiPV": 3}; AutoPlayerInterval 0 makes the analysis
    # "go infinite" (any other value is sent as "go movetime").
    cat >"$ini" <<EOF
[%General]
BuiltinDbInstalled=true
DefaultDataPath=$home/Documents/chessdata
onlineTablebases=false
onlineVersionCheck=false

[Analysis]
Engine=Tolvane

[Board]
AutoPlayerInterval=0

[Engines]
0\\Command=$shim
0\\Logging=false
0\\Name=Tolvane
0\\OptionValues=@ByteArray(\\0\\0\\0\\x1\\0\\0\\0\\xe\\0M\\0u\\0l\\0t\\0i\\0P\\0V\\0\\0\\0\\x2\\0\\0\\0\\0\\x3)
0\\Protocol=UCI
EOF
    start_display 61
    start_gui "$home" chessx
    sleep 10
    xdotool key Escape # the offer to download a database
    sleep 1
    xdotool windowsize "$(window_named 'Clipboard - ChessX')" 1280 1020
    sleep 1
    # Analysis 1 opens as a small floating dock in the corner; its float button makes it a
    # window that can be placed.
    click 100 10
    click 142 440 2
    click 129 10 1
    analysis=$(window_named 'Analysis 1')
    xdotool windowsize "$analysis" 640 300 windowmove "$analysis" 0 700
    sleep 1
    xdotool mousemove 65 735 click --repeat 2 1 key ctrl+a type 3
    xdotool key Tab
    click 595 735 "$secs"
    shot chessx-analysis
    # A game. The first move by hand; then Auto Respond, whose match dialog wants its OK. From
    # there the human keeps the side to move (the board turns to Black) and the engine answers
    # each move. Drags must be slow: a press, move and release in one go does not move a piece.
    sdrag 555 642 555 554 # 1. e4
    sleep 2
    click 1093 1005 0.3
    xdotool key Right
    click 149 10
    click 192 238 1
    click 212 365 5
    # 1... d5, then Nf6, Nxd5 and Bf5 if the engine took on d5 and answered as the line expects.
    play_moves 8 "555 642 555 554" "424 686 467 598" "467 598 555 554" "599 686 467 554"
    end_game_gui chessx ChessX
}

run_pychess() {
    local shim home sum
    shim=$(make_shim pychess)
    home=$work/pychess/home
    mkdir -p "$home/.config/pychess"
    sum=$(md5sum "$shim" | cut -d' ' -f1)
    # The analyzer (hint mode) is picked by the md5 of the engine file; an entry with its md5 and
    # recheck false is used as written, MultiPV value included.
    cat >"$home/.config/pychess/engines.json" <<EOF
[{"name": "Tolvane", "protocol": "uci", "command": "$shim", "md5": "$sum", "recheck": false,
  "analyze": true, "country": "unknown", "comment": "", "level": 20,
  "options": [{"name": "MultiPV", "type": "spin", "default": 1, "min": 1, "max": 256, "value": 3},
              {"name": "Threads", "type": "spin", "default": 1, "min": 1, "max": 256, "value": 1},
              {"name": "Ponder", "type": "check", "default": false}]}]
EOF
    cat >"$home/.config/pychess/config" <<EOF
[General]
hint_mode = True
book_depth_max = 0
spy_mode = False
analyzer_check = True
ana_combobox = $sum
inv_analyzer_check = False
show_tip_at_startup = False
dont_show_externals_at_startup = True
EOF
    start_display 62
    start_gui "$home" pychess --no-version-check
    sleep 15
    sleep 5
    # Welcome screen: a game against Tolvane (5 minutes each); hint mode runs a second Tolvane as
    # the analyzer beside it, shown in the Hints tab. Then 1. e4, 2. Nf3 and 3. Bc4 by hand.
    # The opponent list: Human Being, PyChess.py, Tolvane. book_depth_max 0 keeps PyChess's own
    # book from playing the engine's first moves.
    click 553 287 2
    click 528 353 1
    click 528 347 8
    click 379 508 "$secs" # the Hints tab
    shot pychess-analysis
    play_moves 10 "560 419 560 340" "638 458 599 379" "599 458 482 340"
    end_game_gui pychess PyChess
}

run_polyglot() {
    local shim dir
    shim=$(make_shim polyglot)
    dir=$work/polyglot
    cat >"$dir/polyglot.ini" <<EOF
[PolyGlot]
EngineCommand = $shim
EngineDir = $dir
Log = true
LogFile = $dir/polyglot.log

[Engine]
MultiPV = 3
Threads = 1
EOF
    {
        printf 'xboard\nprotover 2\n'
        sleep 2
        printf 'new\npost\nanalyze\n'
        sleep "$secs"
        printf 'exit\nquit\n'
    } | (cd "$dir" && polyglot polyglot.ini) |
        while IFS= read -r line; do printf '%s < %s\n' "$EPOCHREALTIME" "$line"; done >"$out/polyglot-xboard-side.log"
    # The shim logs the UCI side; the xboard side is stamped above.
    echo "PolyGlot: engine $(uci_summary "$out/polyglot.log")"
    echo "PolyGlot: xboard side $(awk -v secs="$secs" '
        / < feature option="MultiPV/ { opt = 1 }
        / < feature .*done=1/ { ok = 1 }
        $3 ~ /^[0-9]+$/ && $4 ~ /^[-+]?[0-9]+$/ { if (!first) first = $1; last = $1; n++; per[$3]++ }
        END { most = 0; for (d in per) if (per[d] > most) most = per[d]
              printf "handshake %s, MultiPV option %s, up to %d lines at one depth, %d thinking lines (%.1f/s)\n",
                     (ok ? "ok" : "MISSING"), (opt ? "offered" : "MISSING"), most, n, n / secs }' "$out/polyglot-xboard-side.log")"
}

run_xboard() { # mode: native (Tolvane speaks xboard) or uci (through PolyGlot)
    local shim home first options
    shim=$(make_shim "xboard-$1")
    home=$work/xboard-$1/home
    if [ "$1" = uci ]; then
        printf '[PolyGlot]\nEngineCommand = %s\nEngineDir = %s\n[Engine]\nThreads = 1\n' "$shim" "$home" >"$home/polyglot.ini"
        first="polyglot $home/polyglot.ini"
        options="MultiPV=3"
    else
        first=$shim
        options="MultiPV=3"
    fi
    start_display 63
    start_gui "$home" xboard -fcp "$first" -fd "$home" -initialMode Analysis -firstOptions "$options" \
        -showThinking true -popupExitMessage false -engineOutputUp true \
        -x 0 -y 0 -engineOutputX 0 -engineOutputY 560 -engineOutputW 1000 -engineOutputH 420 \
        -debugMode true -nameOfDebugFile "$out/xboard-$1.debug"
    sleep "$((secs + 3))"
    shot "xboard-$1-analysis"
    stop_gui
    stop_display
    if [ "$1" = uci ]; then
        echo "xboard+PolyGlot: $(uci_summary "$out/xboard-uci.log")"
    else
        echo "xboard: $(xboard_summary "$out/xboard-native.log" "<")"
    fi
}

for name in $guis; do
    case $name in
    chessx) run_chessx ;;
    pychess) run_pychess ;;
    polyglot) run_polyglot ;;
    xboard) run_xboard native; run_xboard uci ;;
    *) echo "unknown GUI: $name" >&2 ;;
    esac
done
echo "Screenshots and logs: $out"
