# Shared by the benchmark scripts: where the programs are, a scratch folder that is
# removed on exit, and the ratio table.
set -euo pipefail

bench_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$bench_dir/.." && pwd)
bin=${KELVORY_BIN:-$repo/out/bin}
cores=$(nproc)

for program in "$bin/kelvory-batch" "$bin/kelvory-bench-reader" "$bin/kelvory-bench-sleep"; do
  [ -x "$program" ] || { echo "missing $program: run ./scripts/setup.sh first" >&2; exit 2; }
done
for tool in gdal_create gdaladdo hyperfine; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run ./scripts/setup.sh first" >&2; exit 2; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvory-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# Temporary copies (kelvory's and the scripts') land on the same disk as the data.
export TMPDIR=$scratch/tmp
mkdir -p "$TMPDIR"

# copies FILE COUNT FOLDER PREFIX: COUNT copies of FILE named PREFIX<n>.tif, without a
# process per file.
copies() {
  local file=$1 count=$2 folder=$3 prefix=$4
  mkdir -p "$folder"
  seq -f "$folder/$prefix%05g.tif" 1 "$count" |
    xargs -n 500 sh -c 'tee "$@" < "$0" > /dev/null' "$file"
}

# ratios CSV LABEL:NUMERATOR:DENOMINATOR...: mean times of hyperfine's CSV, divided.
# A denominator that is a number is taken as seconds (an ideal time).
ratios() {
  local csv=$1
  shift
  awk -F, -v pairs="$*" '
    NR > 1 { mean[$1] = $2 }
    END {
      n = split(pairs, p, " ")
      for (i = 1; i <= n; i++) {
        split(p[i], q, ":")
        den = (q[3] ~ /^[0-9.]+$/) ? q[3] : mean[q[3]]
        printf "  %-58s %6.3f\n", q[1] " (" q[2] " / " q[3] ")", mean[q[2]] / den
      }
    }' "$csv"
}
