#!/bin/sh
# Runs the demo with router 31 reached over PROTOCOL on a router double
# started for it (loopback, a free port); the exit status is panel_host's.
#
#   demo_against_double.sh BIN_DIR SOURCE_DIR swp08|videohub
set -eu
bin=$1 source=$2 protocol=$3
out=$(mktemp)
"$bin/router_double" "--$protocol" --port 0 \
    --device "$source/examples/installation/SYS/config/system/dev_031.ini" >"$out" &
double=$!
trap 'kill $double 2>/dev/null; rm -f "$out"' EXIT
tries=0
until grep -q '^port ' "$out"; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || { echo "router_double did not start" >&2; exit 1; }
    sleep 0.1
done
port=$(sed -n 's/^port //p' "$out")
"$bin/panel_host" --picture --color never --router "31=$protocol:127.0.0.1:$port" \
    "$source/examples/scenarios/demo.scn"
