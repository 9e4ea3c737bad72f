#!/usr/bin/env bash
# Import speed of vokabis-db: 1,000,000 generated TSV pairs into a new file, and the same
# number again into that full file. Usage: bench/import_bench.sh BUILD_DIR [PAIRS]
set -euo pipefail
build=$1
pairs=${2:-1000000}
dir=$build/bench-data
mkdir -p "$dir"
tsv=$dir/import-$pairs.tsv
[ -f "$tsv" ] || awk -v n="$pairs" 'BEGIN { srand(11); for (i = 0; i < n; i++) {
    w = ""; for (k = 3 + int(rand() * 9); k > 0; k--) w = w sprintf("%c", 97 + int(rand() * 26));
    printf "%s%d\tprijevod-%s-čćžšđ\n", w, i, w } }' > "$tsv"
rm -f "$dir/import.mdb"
t() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc; }
new=$(t "$build/vokabis-db" create "$dir/import.mdb" --from "$tsv")
more=$(t "$build/vokabis-db" import "$dir/import.mdb" "$tsv")
printf 'import %d pairs into a new file:   %6.1f s  (%.0f pairs/s)\n' "$pairs" "$new" "$(echo "$pairs / $new" | bc -l)"
printf 'import %d pairs into a full file:  %6.1f s  (%.0f pairs/s)\n' "$pairs" "$more" "$(echo "$pairs / $more" | bc -l)"
