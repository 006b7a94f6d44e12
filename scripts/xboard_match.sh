#!/bin/sh
# Tolvane against another engine under the real xboard, on a virtual display; prints the results.
#
#   scripts/xboard_match.sh [--uci] build/release/tolvane [games] [opponent] [xboard options...]
#   scripts/xboard_match.sh build/release/tolvane 4 fairymax -tc 0:02 -inc 0.1
#   scripts/xboard_match.sh build/release/tolvane 2 phalanx -tc 1 -mps 40
#   scripts/xboard_match.sh build/release/tolvane 2 fairymax -st 1
#   scripts/xboard_match.sh --uci build/release/tolvane 4 fairymax -tc 0:10 -inc 0.1 -ponderNextMove true
#   scripts/xboard_match.sh --uci build/release/tolvane 2 fairymax -variant fischerandom -tc 0:10 -inc 0.1
# --uci runs Tolvane in UCI mode behind PolyGlot, the adapter xboard uses for UCI engines.
# Needs the Debian packages xboard, xvfb, the opponent (fairymax or phalanx) and, with --uci, polyglot.
set -u
uci=false
if [ "${1:-}" = --uci ]; then
    uci=true
    shift
fi
binary=$(realpath "$1")
games=${2:-2}
opponent=${3:-fairymax}
shift 3 2>/dev/null || shift $#
[ $# -gt 0 ] || set -- -tc 0:02 -inc 0.1
PATH=$PATH:/usr/games

work=$(mktemp -d /tmp/tolvane_xboard_XXXXXX)
mkdir -p "$work/tolvane" "$work/opponent"
display=:$((90 + $$ % 9))
Xvfb "$display" -screen 0 1024x768x16 >/dev/null 2>&1 &
xvfb=$!
sleep 1

first=$binary
if $uci; then
    first="polyglot -noini -ec $binary -ed $work/tolvane -log true -lf $work/polyglot.log"
fi

DISPLAY=$display xboard -fcp "$first" -fd "$work/tolvane" -scp "$opponent" -sd "$work/opponent" \
    -matchMode true -matchGames "$games" -saveGameFile "$work/games.pgn" -autoCallFlag true \
    -popupExitMessage false -popupMoveErrors false -testClaims true \
    -debugMode true -nameOfDebugFile "$work/xboard.debug" "$@" >/dev/null 2>&1
status=$?
kill "$xvfb" 2>/dev/null

echo "xboard exit status $status; games and debug log in $work"
grep -E '^\[(White|Black|Result) ' "$work/games.pgn" | paste - - - | sed 's/\[//g; s/\]//g'
grep -c 'Illegal move' "$work/xboard.debug" | sed 's/^/lines with "Illegal move" in the log: /'
grep -ciE 'time forfeit|wins on time|loses on time|flag fell' "$work/games.pgn" | \
    sed 's/^/games lost on time: /'
