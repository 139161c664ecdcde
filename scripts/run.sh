#!/usr/bin/env bash
# Installs what is missing, builds Quillmark and sends the example campaign (examples/spring)
# with the default mail profile. Without a profile file that is the built-in Local profile,
# which delivers into a local Maildir folder and sends nothing to the network.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo

quillmark=build/src/cli/quillmark
output=$("$quillmark" send examples/spring/Spring.xml --wait | tee /dev/stderr)
report=$(sed -n 's/^Report file: //p' <<<"$output")

echo
"$quillmark" status
if [[ -n $report && -f $report ]]; then
    echo
    echo "== The campaign's report ($report)"
    tr -d '\r' <"$report" | tail -n 8
fi
delivered=${XDG_DATA_HOME:-$HOME/.local/share}/tollmere/mail/Local/Delivered/new
if [[ -d $delivered ]]; then
    echo
    echo "== Delivered messages (Local profile): $delivered"
    ls -t "$delivered" | head -n 5
fi
