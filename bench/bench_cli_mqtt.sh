#!/usr/bin/env bash
# ql350-cli with N meters (default 10) at metersim's fastest pace (--flood: a frame as soon
# as the previous one is acknowledged) publishing into a mosquitto on a free loopback port for
# SECONDS (default 60). Prints the readings per second the tool printed and the broker
# delivered, how many printed readings never arrived, and the tool's CPU time.
#
#   bench/bench_cli_mqtt.sh [BIN_DIR] [SECONDS] [METERS]
set -euo pipefail
bin="${1:-$(dirname "$0")/../build/bin}"
seconds="${2:-60}"
meters="${3:-10}"
work="$(mktemp -d)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# A port nobody listens on.
port=$((20000 + RANDOM % 20000))
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
printf 'listener %s 127.0.0.1\nallow_anonymous true\nmax_queued_messages 0\n' "$port" >"$work/m.conf"
mosquitto -c "$work/m.conf" >"$work/broker.log" 2>&1 & pids+=($!)
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
mosquitto_sub -h 127.0.0.1 -p "$port" -q 1 -t 'bench/+/reading' >"$work/sub.txt" & pids+=($!)
args=()
for i in $(seq "$meters"); do
    "$bin/metersim" --instant --flood --link "$work/meter$i" >"$work/sim$i.log" & pids+=($!)
    args+=(--port "$work/meter$i")
done
for i in $(seq "$meters"); do
    for _ in $(seq 100); do [ -e "$work/meter$i" ] && break; sleep 0.1; done
done
(
    TIMEFORMAT='cli cpu: user %U s, system %S s, wall %R s'
    time "$bin/ql350-cli" live "${args[@]}" --duration "$seconds" --format json \
        --mqtt "mqtt://127.0.0.1:$port/bench" >"$work/out.txt" 2>"$work/cli.err"
) 2>"$work/time.txt" || true
# The subscriber gets what is still on its way.
for _ in $(seq 50); do
    [ "$(wc -l <"$work/sub.txt")" -ge "$(wc -l <"$work/out.txt")" ] && break
    sleep 0.2
done
printed=$(wc -l <"$work/out.txt")
arrived=$(wc -l <"$work/sub.txt")
echo "meters=$meters seconds=$seconds printed=$printed arrived=$arrived lost=$((printed - arrived))"
echo "readings/s printed=$((printed / seconds)) delivered=$((arrived / seconds))"
cat "$work/time.txt"
grep -h "dropped" "$work/cli.err" || true
