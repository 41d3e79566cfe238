#!/usr/bin/env bash
# The main job: real games played by hand on e-boards, followed by librumo through rumo-replay; then the
# whole hall on this machine (simulated boards, sornrumo, the reference server).
set -euo pipefail
cd "$(dirname "$0")/.."
replay=build/tools/rumo-replay/rumo-replay
[[ -x "$replay" ]] || { echo "rumo-replay is not built: run make build" >&2; exit 1; }

echo "== Three games of the 2003 world championship, played by hand on e-boards"
echo "   (pieces touched and put back, captured pieces taken off first, late or in another order,"
echo "   multiple captures hopped, kings slid, men crowned late). librumo's PDN of each game:"
echo
"$replay" --model hall --seed 2026 --games 1-3 --print-pdn data/games/wk2003.pdn 2>/dev/null
echo
echo "== Every game of data/games, clean hands (one change at a time), then the hall's hands:"
"$replay" --model clean data/games/*.pdn 2>/dev/null | tail -n 4
echo
"$replay" --model hall --seed 1 data/games/*.pdn 2>/dev/null | tail -n 4
echo
echo "== The hall: two simulated e-boards on a serial bus play games of the same championship; sornrumo"
echo "   reads them and publishes every change to the reference tournament server, which rebuilds the"
echo "   games with librumo:"
bash scripts/demo_hall.sh
