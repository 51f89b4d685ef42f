#!/bin/sh
# The demo: builds the gateway server and the command-line companion, creates
# the demo print queue in a temporary folder, starts vidazevivu on a free
# loopback port, lists a demo user's queue, saves the newest report as PDF and
# its table as CSV, and says where it wrote them. The server is stopped and
# the temporary folder removed on every way out (success, failure, Ctrl-C).
#
#   tools/demo.sh [build folder]
#
# Environment: DEMO_USER (ANNA), DEMO_OUT (a new folder under /tmp),
# DEMO_LOCALE (sv_SE.UTF-8: the formats the program is made for),
# JOBS (number of build jobs).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
user=${DEMO_USER:-ANNA}
locale=${DEMO_LOCALE:-sv_SE.UTF-8}
jobs=${JOBS:-$(nproc)}

work=""
server_pid=""

cleanup() {
    status=$?
    trap - EXIT INT TERM HUP
    if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
        kill -TERM "$server_pid" 2>/dev/null || true
        # Up to ten seconds for an orderly stop, then by force.
        i=0
        while kill -0 "$server_pid" 2>/dev/null && [ $i -lt 100 ]; do
            sleep 0.1
            i=$((i + 1))
        done
        kill -KILL "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        echo "demo: vidazevivu stopped"
    fi
    [ -n "$work" ] && rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

step() { printf '\n== %s\n' "$*"; }

step "Installing what is missing"
"$root/tools/install-deps.sh" build

step "Building vidazevivu and lystra-cli in $build"
cmake -G Ninja -Wno-dev -S "$root" -B "$build" -DLYSTRA_WERROR=ON >/dev/null
cmake --build "$build" -j "$jobs" --target vidazevivu lystra-cli

server="$build/server/vidazevivu"
cli="$build/cli/lystra-cli"
work=$(mktemp -d "${TMPDIR:-/tmp}/lystra-demo.XXXXXX")
out=${DEMO_OUT:-$(mktemp -d "${TMPDIR:-/tmp}/lystra-demo-out.XXXXXX")}
mkdir -p "$out"

step "Creating the demo data in $work/data"
mkdir -p "$work/data"
"$server" --init-demo --data "$work/data"

step "Starting vidazevivu on a free loopback port"
"$server" --listen 127.0.0.1:0 --data "$work/data" 2>"$work/vidazevivu.log" &
server_pid=$!
port=""
i=0
while [ -z "$port" ]; do
    port=$(sed -n 's/.*listening on [^ ]*:\([0-9][0-9]*\).*/\1/p' "$work/vidazevivu.log" | head -n 1)
    [ -n "$port" ] && break
    if ! kill -0 "$server_pid" 2>/dev/null || [ $i -ge 300 ]; then
        echo "demo: vidazevivu did not start:" >&2
        cat "$work/vidazevivu.log" >&2
        exit 1
    fi
    sleep 0.1
    i=$((i + 1))
done
echo "vidazevivu listens on 127.0.0.1:$port (pid $server_pid)"

lystra_cli() {
    env LC_ALL="$locale" "$cli" --server 127.0.0.1 --port "$port" "$@"
}

step "Users with print files: lystra-cli users"
lystra_cli users

step "The print queue of $user: lystra-cli list $user"
lystra_cli list "$user" | tee "$work/queue.txt"
id=$(head -n 1 "$work/queue.txt" | cut -f 1)
if [ -z "$id" ]; then
    echo "demo: $user has no print files" >&2
    exit 1
fi

step "Saving print file $id as PDF: lystra-cli save $user $id --format pdf --out $out"
pdf=$(lystra_cli save "$user" "$id" --format pdf --out "$out")
echo "$pdf"

step "Its table as CSV: lystra-cli table $user $id --csv $out/$id.csv"
csv=$(lystra_cli table "$user" "$id" --csv "$out/$id.csv")
echo "$csv"
head -n 5 "$csv"

step "Done"
echo "PDF: $pdf"
echo "CSV: $csv"
