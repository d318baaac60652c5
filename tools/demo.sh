#!/usr/bin/env bash
# Builds the program and runs the bundled demo model in a scratch copy of examples/demo,
# then shows where the listing file is and its closing budget lines.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target aquifex aqxpost
run=build/demo-run
rm -rf "$run"
cp -r examples/demo "$run"
(cd "$run" && ../bin/aquifex demo.nam)
listing=$(cd "$run" && pwd)/$(awk 'toupper($1)=="LIST" {print $3; exit}' "$run/demo.nam")
echo
echo "Listing file: $listing"
echo "Closing budget of the run:"
# The last volumetric budget table and the time summary after it.
awk '/VOLUMETRIC BUDGET FOR ENTIRE MODEL/ {buf=""; keep=1} keep {buf=buf $0 "\n"} END {printf "%s", buf}' "$listing" | tr -d '\r'
(cd "$run" && ../bin/aqxpost report demo.nam --out report.html)
echo
echo "Run report: $(cd "$run" && pwd)/report.html"
