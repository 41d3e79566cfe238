#!/usr/bin/env bash
# The whole hall on one machine: simulated e-boards on a serial bus play real games, sornrumo reads them
# and publishes to the reference tournament server, which rebuilds each game with librumo.
set -euo pipefail
cd "$(dirname "$0")/.."
sim=build/tools/eboard-sim/eboard-sim
server=build/tools/rumo-server/rumo-server
hall=build/app/qt/sornrumo
for program in "$sim" "$server" "$hall" build/library/librumo.so; do
    [[ -e "$program" ]] || { echo "$program is not built: run make build" >&2; exit 1; }
done
seconds=${DEMO_HALL_SECONDS:-40}
work=$(mktemp -d)
link=/dev/shm/rumo-demo-$$
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work" "$link"
}
trap cleanup EXIT

mkdir -p "$work/pdn"
"$server" --port 0 --host-name 127.0.0.1 --library build/library/librumo.so --pdn-dir "$work/pdn" \
    --tree-out "$work/tree.txt" > "$work/server.out" 2> "$work/server.err" &
pids+=($!)
port=
for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on port \([0-9]*\).*/\1/p' "$work/server.out" | head -n 1)
    [[ -n "$port" ]] && break
    sleep 0.1
done
[[ -n "$port" ]] || { echo "rumo-server did not start" >&2; cat "$work/server.err" >&2; exit 1; }

# Two boards on one bus, each playing a game of the 2003 world championship at 40 times its pace.
"$sim" --bus 2 --pdn data/games/wk2003.pdn --games 1,2 --speed 40 --clock 90 --hold --link "$link" \
    > "$work/sim.out" 2> "$work/sim.err" &
pids+=($!)
for _ in $(seq 100); do [[ -e "$link" ]] && break; sleep 0.1; done

"$hall" --headless --log-dir "$work/logs" --open "shm/$(basename "$link"):serialbus:2" --connect \
    --server 127.0.0.1 --port "$port" 2> "$work/sornrumo.err" &
hall_pid=$!
pids+=($hall_pid)

echo "   sornrumo reads the bus on a pseudo-terminal and sends to rumo-server on port $port; ${seconds} s..."
sleep "$seconds"
kill -TERM "$hall_pid"
wait "$hall_pid" || true

echo
echo "   The boards as the server's tree holds them:"
grep -E '\.(busadres|clockwhite|clockblack|clockstate|scancount)=' "$work/tree.txt" | sed 's/^/     /' | head -n 12
echo
for game in "$work"/pdn/*.pdn; do
    [[ -e "$game" ]] || { echo "   (no game reached the server)"; break; }
    echo "   The server's PDN of $(basename "$game" .pdn), rebuilt by librumo from the square changes:"
    head -n 24 "$game" | sed 's/^/     /'
    [[ $(wc -l < "$game") -le 24 ]] || echo "     ... ($(grep -c 'clock' "$game") lines with clock comments in all)"
    echo
done
echo "   sornrumo's last lines:"
tail -n 4 "$work/sornrumo.err" | sed 's/^/     /'
