#!/usr/bin/env bash
# Times the 20-run example ensemble (examples/ensemble) through GNU parallel with one run at a
# time and with two at once, in one go, and prints both wall times and their ratio.
#   bash bench/ensemble_throughput.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
ens="$build/bin/aqxens"
[ -x "$ens" ] || { echo "no $ens; build the aqxens and aquifex targets first" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
declare -A secs
for j in 1 2; do
  "$ens" prepare "$root/examples/ensemble/template" "$root/examples/ensemble/params.csv" "$work/j$j" >/dev/null
  start=$(date +%s.%N)
  "$ens" run "$work/j$j" --engine parallel -j "$j" >/dev/null
  end=$(date +%s.%N)
  secs[$j]=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
done
printf 'machine: %s, %s cores, load average %s\n' "$(uname -n)" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '20 runs, -j 1: %.2f s\n20 runs, -j 2: %.2f s\nratio -j 1 / -j 2: %.2f\n' "${secs[1]}" "${secs[2]}" \
  "$(awk -v a="${secs[1]}" -v b="${secs[2]}" 'BEGIN { print a / b }')"
