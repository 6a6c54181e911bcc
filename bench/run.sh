#!/usr/bin/env bash
# Builds the benchmarks, runs them all and prints a Markdown table of the results.
#   OSTREL_BENCH_BUILD_DIR  build folder (default: build)
#   OSTREL_BENCH_RUNS       timed runs of each whole build (default: 5)
#   OSTREL_BENCH_KEEP       when set, the scratch folder is kept for inspection
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${OSTREL_BENCH_BUILD_DIR:-build}
runs=${OSTREL_BENCH_RUNS:-5}
bench_targets=(ostrel ostrel-build ostrel-bench-sitegen ostrel-bench-rewrite ostrel-bench-pagelist
    ostrel-bench-run ostrel-bench-startup ostrel-bench-stall)

log() { printf '%s\n' "$*" >&2; }

# --- what the benchmarks need beyond the project's own packages ---------------------------------
./scripts/install-deps.sh
missing=()
for package in xvfb libx11-dev; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    log "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -q >&2
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}" >&2
fi

# --- build ----------------------------------------------------------------------------------------
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build_dir" --target "${bench_targets[@]}" >&2
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build_dir/CMakeCache.txt")
if grep -q '^OSTREL_SANITIZE:BOOL=ON' "$build_dir/CMakeCache.txt"; then
    log "warning: $build_dir is built with sanitizers; the figures are not representative"
fi
bin=$(cd "$build_dir" && pwd)/bench
program=$build_dir/ostrel

# --- scratch space --------------------------------------------------------------------------------
work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    if [ -n "${OSTREL_BENCH_KEEP:-}" ]; then log "Kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
free_kb=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kb" -lt $((2 * 1024 * 1024)) ]; then
    log "Needs 2 GB free in $(dirname "$work"), has $((free_kb / 1024)) MB."
    exit 1
fi

# A private program folder: the window empties the working folder beside it, and a rebuild by
# someone else during the run must not swap the programs under measurement.
mkdir "$work/program"
for attempt in 1 2 3 4 5; do
    cp "$program/ostrel" "$program/ostrel-build" "$program/blank.html" "$work/program/"
    # A copy taken while the linker was writing would not be the program that was built.
    cmp -s "$program/ostrel-build" "$work/program/ostrel-build" &&
        cmp -s "$program/ostrel" "$work/program/ostrel" &&
        "$work/program/ostrel-build" --help >/dev/null 2>&1 && break
    [ "$attempt" = 5 ] && { log "Cannot take a working copy of $program"; exit 1; }
    sleep 5
done
cp -a "$program/plugintemplatepro" "$work/program/"

value() { sed -n "s/^$2=//p" "$1" | tail -n 1; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
calc() { awk "BEGIN { print $* }"; }
yes_no() { [ "$(calc "($1) ? 1 : 0")" = 1 ] && echo yes || echo "**no**"; }
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
cores=$(nproc)
memory=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
load_start=$(loadavg)
started=$(date +%s)

# --- page conversion ------------------------------------------------------------------------------
log "Page conversion..."
"$bin/ostrel-bench-rewrite" --reps 21 >"$work/rewrite.txt"

# --- page-list refresh ----------------------------------------------------------------------------
log "Page-list refresh..."
"$bin/ostrel-bench-pagelist" --pages 10000 --ticks 500 --dir "$work" >"$work/pagelist.txt"

# --- whole build ----------------------------------------------------------------------------------
plugin_id=p10001
builder=$work/program/ostrel-build
ostrel_build() { # site, output folder, result file, [--trace]
    local trace=()
    [ "${4:-}" = --trace ] && trace=(--trace)
    # Like the by-hand build, it starts from an empty output folder: an old archive it replaced
    # would be deleted inside the timing.
    rm -rf "$2"
    mkdir -p "$2"
    sync
    "$bin/ostrel-bench-run" "${trace[@]}" --out "$3" -- "$builder" \
        --pages "$1" --front index.html --download download.html --name "Bench Site" \
        --uri https://example.com/bench --description "Benchmark site" --version 1.0 \
        --author Bench --author-uri https://example.com --license GPL --id "$plugin_id" \
        --output "$2" --yes >/dev/null
}
by_hand() { # site, output folder, result file
    rm -rf "$2"
    mkdir -p "$2"
    sync
    "$bin/ostrel-bench-run" --out "$3" -- sh -c \
        'cp -a -- "$1" "$2/$3" && cd "$2" && exec 7za a -tzip -- by-hand.zip "$3" >/dev/null' \
        sh "$1" "$2" "$plugin_id"
}
check_runs() { # result files
    for f in "$@"; do
        [ "$(value "$f" exit)" = 0 ] || { log "a build failed: $f"; cat "$f" >&2; exit 1; }
    done
}

log "Whole build, 2,000 files, 200 MB..."
site=$work/site-200
"$bin/ostrel-bench-sitegen" --out "$site" --files 2000 --size 200M --refs 2000 --seed 1
by_hand "$site" "$work/by-hand" "$work/warm-by-hand.txt"
ostrel_build "$site" "$work/out" "$work/warm-ostrel.txt"
for i in $(seq "$runs"); do
    by_hand "$site" "$work/by-hand" "$work/by-hand-$i.txt"
    ostrel_build "$site" "$work/out" "$work/ostrel-$i.txt"
done
check_runs "$work"/by-hand-*.txt "$work"/ostrel-*.txt "$work"/warm-*.txt
build_hand=$(for i in $(seq "$runs"); do value "$work/by-hand-$i.txt" wall_s; done | median)
build_ostrel=$(for i in $(seq "$runs"); do value "$work/ostrel-$i.txt" wall_s; done | median)
# Each pair ran back to back under about the same load from elsewhere, so the ratio is taken
# pair by pair.
build_ratio=$(for i in $(seq "$runs"); do
    calc "$(value "$work/ostrel-$i.txt" wall_s) / $(value "$work/by-hand-$i.txt" wall_s)"
done | median)
fastest_hand=$(for i in $(seq "$runs"); do value "$work/by-hand-$i.txt" wall_s; done | sort -g | head -n 1)
fastest_ostrel=$(for i in $(seq "$runs"); do value "$work/ostrel-$i.txt" wall_s; done | sort -g | head -n 1)
ostrel_build "$site" "$work/out" "$work/memory-200.txt" --trace

# Where the time goes: ostrel-build with a stand-in archiver that only creates the archive file,
# cp -a alone, and 7za alone on a copy.
mkdir "$work/program-no-zip"
cp "$work/program/ostrel-build" "$work/program-no-zip/"
cp -a "$work/program/plugintemplatepro" "$work/program-no-zip/"
# The archive is the name after "--".
printf '%s\n' '#!/bin/sh' 'prev=' \
    'for a; do [ "$prev" = -- ] && { : >"$a"; exit 0; }; prev=$a; done' >"$work/program-no-zip/7za"
chmod +x "$work/program-no-zip/7za"
for i in 1 2 3; do
    builder=$work/program-no-zip/ostrel-build ostrel_build "$site" "$work/out" "$work/no-zip-$i.txt"
    rm -rf "$work/by-hand" && mkdir "$work/by-hand" && sync
    "$bin/ostrel-bench-run" --out "$work/cp-$i.txt" -- cp -a -- "$site" "$work/by-hand/$plugin_id"
    sync
    (cd "$work/by-hand" && "$bin/ostrel-bench-run" --out "$work/7za-$i.txt" -- \
        7za a -tzip -- by-hand.zip "$plugin_id" >/dev/null)
done
part() { for i in 1 2 3; do value "$work/$1-$i.txt" wall_s; done | median; }
rm -rf "$site" "$work/by-hand"

log "Whole build, typical product site, 300 MB..."
# By size 40 % video, 25 % pictures, 15 % ZIP, 15 % PDF (half compressible), 5 % pages and style
# sheets: mostly files that are compressed already.
site=$work/site-product
"$bin/ostrel-bench-sitegen" --out "$site" --shape product --files 400 --size 300M --seed 3
by_hand "$site" "$work/by-hand" "$work/warm-p-by-hand.txt"
ostrel_build "$site" "$work/out" "$work/warm-p-ostrel.txt"
for i in $(seq "$runs"); do
    by_hand "$site" "$work/by-hand" "$work/p-by-hand-$i.txt"
    ostrel_build "$site" "$work/out" "$work/p-ostrel-$i.txt"
done
check_runs "$work"/p-by-hand-*.txt "$work"/p-ostrel-*.txt "$work"/warm-p-*.txt
product_hand=$(for i in $(seq "$runs"); do value "$work/p-by-hand-$i.txt" wall_s; done | median)
product_ostrel=$(for i in $(seq "$runs"); do value "$work/p-ostrel-$i.txt" wall_s; done | median)
product_ratio=$(for i in $(seq "$runs"); do
    calc "$(value "$work/p-ostrel-$i.txt" wall_s) / $(value "$work/p-by-hand-$i.txt" wall_s)"
done | median)
product_zip_hand=$(stat -c %s "$work/by-hand/by-hand.zip")
product_zip_ostrel=$(stat -c %s "$work/out/benchsite.zip")
rm -rf "$site" "$work/by-hand" "$work/out"

log "Peak memory, 5,000 files, 500 MB..."
site=$work/site-500
"$bin/ostrel-bench-sitegen" --out "$site" --files 5000 --size 500M --refs 5000 --seed 2
ostrel_build "$site" "$work/out" "$work/memory-500.txt" --trace
rm -rf "$site" "$work/out"
check_runs "$work"/memory-*.txt

# --- start-up -------------------------------------------------------------------------------------
startup_ok=
if [ -x "$bin/ostrel-bench-startup" ]; then
    log "Start-up..."
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    (
        export DISPLAY=":$(head -n 1 "$work/display")"
        unset QT_QPA_PLATFORM
        [ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
        "$bin/ostrel-bench-startup" --title "Ostrel! Pro" --runs 7 --warmup 1 \
            -- "$work/program/ostrel" >"$work/startup.txt"
    ) && startup_ok=1
fi

# --- the window's thread while a large product loads and builds ---------------------------------
log "Loading and building a 2 GB product..."
(cd "$work" && QT_QPA_PLATFORM=offscreen OSTREL_BENCH_LARGE_MB=2048 TMPDIR="$work" \
    "$bin/ostrel-bench-stall" >"$work/stall.txt") || log "warning: the stall benchmark failed"

# --- the table ------------------------------------------------------------------------------------
load_end=$(loadavg)
elapsed=$(($(date +%s) - started))
r=$work/rewrite.txt p=$work/pagelist.txt m2=$work/memory-200.txt m5=$work/memory-500.txt
rwm1=$(value "$r" rewrite_markup_1000_ms) rwm10=$(value "$r" rewrite_markup_10000_ms)
rwold=$(value "$r" rewrite_markup_10000_legacy_ms) rw2=$(value "$r" rewrite_markup_10000_twice_ms)
rw_old_ratio=$(value "$r" rewrite_vs_legacy_ratio) rwm_ratio=$(value "$r" rewrite_assets_ratio)
rw_size_ratio=$(value "$r" rewrite_size_ratio) rwtok=$(value "$r" rewrite_markup_10000_tokenizer_ms)
pl_median=$(value "$p" pagelist_refresh_median_ms) pl_p95=$(value "$p" pagelist_refresh_p95_ms)
own2=$(value "$m2" peak_kb.ostrel-build) own5=$(value "$m5" peak_kb.ostrel-build)
zip2=$(value "$m2" peak_kb.7za) zip5=$(value "$m5" peak_kb.7za)
mb() { calc "sprintf(\"%.1f\", $1 / 1024)"; }

echo "Machine: $cpu, $cores cores, $memory RAM; $(date -u '+%Y-%m-%d %H:%M UTC');" \
    "load average $load_start at the start, $load_end at the end; build type $build_type;" \
    "whole run ${elapsed} s."
echo
echo "| Benchmark | Measured | Target | Met? |"
echo "| --- | --- | --- | --- |"
printf '| Page conversion vs the old exact-path rewrite, 1 MB page with 10,000 references (of the conversion, the HTML5 tokenizer: %s ms) | %s ms vs %s ms: %s× | ≤ 3× | %s |\n' \
    "$rwtok" "$rwm10" "$rwold" "$(calc "sprintf(\"%.1f\", $rw_old_ratio)")" "$(yes_no "$rw_old_ratio <= 3")"
printf '| Page conversion, 1 MB page with 10,000 references: 10,000 vs 1,000 assets | %s ms vs %s ms: %s× | ≤ 2× | %s |\n' \
    "$rwm10" "$rwm1" "$(calc "sprintf(\"%.2f\", $rwm_ratio)")" "$(yes_no "$rwm_ratio <= 2")"
printf '| Page conversion, that page twice over (2 MB) vs once: linear | %s ms vs %s ms: %s× | ≤ 2.3× | %s |\n' \
    "$rw2" "$rwm10" "$(calc "sprintf(\"%.2f\", $rw_size_ratio)")" "$(yes_no "$rw_size_ratio <= 2.3")"
printf '| Whole build, 2,000 files, 200 MB: ostrel-build vs `cp -a` + `7za a -tzip` (medians of %s alternating runs; ratio: median of the pairs'"'"' ratios) | %s s vs %s s: %s× | ≤ 1.10× | %s |\n' \
    "$runs" "$build_ostrel" "$build_hand" "$(calc "sprintf(\"%.2f\", $build_ratio)")" \
    "$(yes_no "$build_ratio <= 1.10")"
printf '| Whole build, typical product site, 300 MB (40 %% video, 25 %% pictures, 15 %% ZIP, 15 %% PDF, 5 %% HTML/CSS): ostrel-build vs `cp -a` + `7za a -tzip` (medians of %s alternating runs; ratio: median of the pairs'"'"' ratios) | %s s vs %s s: %s× | ≤ 0.3× | %s |\n' \
    "$runs" "$product_ostrel" "$product_hand" "$(calc "sprintf(\"%.2f\", $product_ratio)")" \
    "$(yes_no "$product_ratio <= 0.3")"
printf '| Archive size, typical product site: ostrel-build vs `7za a -tzip` | %s MB vs %s MB: %s× | ≤ 1.02× | %s |\n' \
    "$(mb "$product_zip_ostrel / 1024")" "$(mb "$product_zip_hand / 1024")" \
    "$(calc "sprintf(\"%.3f\", $product_zip_ostrel / $product_zip_hand)")" \
    "$(yes_no "$product_zip_ostrel <= 1.02 * $product_zip_hand")"
printf '| Peak memory, 200 MB site: ostrel-build (7za; both together) | %s MB (%s MB; %s MB) | < 150 MB | %s |\n' \
    "$(mb "$own2")" "$(mb "$zip2")" "$(mb "$(value "$m2" maxrss_kb)")" "$(yes_no "$own2 < 150 * 1024")"
printf '| Peak memory, 500 MB site, 5,000 files: ostrel-build (7za; both together) | %s MB (%s MB; %s MB) | < 150 MB, not growing | %s |\n' \
    "$(mb "$own5")" "$(mb "$zip5")" "$(mb "$(value "$m5" maxrss_kb)")" \
    "$(yes_no "$own5 < 150 * 1024 && $own5 <= $own2 * 1.1 + 2048")"
printf '| Page-list refresh, 10,000 pages, nothing changed (%s ticks): median / p95 | %s ms / %s ms | < 2 ms | %s |\n' \
    "$(value "$p" pagelist_ticks)" "$pl_median" "$pl_p95" "$(yes_no "$pl_median < 2 && $pl_p95 < 2")"
if [ -n "$startup_ok" ]; then
    s=$work/startup.txt
    printf '| Start-up to the main window mapped, Xvfb (median of %s; first run %s ms) | %s ms | < 1500 ms | %s |\n' \
        "$(value "$s" startup_runs)" "$(value "$s" startup_first_ms)" \
        "$(value "$s" startup_median_ms)" "$(yes_no "$(value "$s" startup_median_ms) < 1500")"
else
    echo "| Start-up to the main window mapped | not measured | < 1500 ms | ? |"
fi
st=$work/stall.txt
if [ -s "$st" ]; then
    printf '| Longest stall of the window while a 2 GB product loads (%s s) / builds (%s s) | %s ms / %s ms | < 100 ms | %s |\n' \
        "$(value "$st" load_s)" "$(value "$st" build_s)" "$(value "$st" load_worst_stall_ms)" \
        "$(value "$st" build_worst_stall_ms)" \
        "$(yes_no "$(value "$st" load_worst_stall_ms) < 100 && $(value "$st" build_worst_stall_ms) < 100")"
else
    echo "| Longest stall of the window while a 2 GB product loads / builds | not measured | < 100 ms | ? |"
fi
echo
echo "Details: page-list listing alone $(value "$p" pagelist_listpages_median_ms) ms," \
    "bare scan of the folder $(value "$p" pagelist_scan_median_ms) ms," \
    "stat of the folder $(value "$p" pagelist_stat_median_ms) ms (medians);" \
    "whole-build runs in order (s): ostrel-build" \
    "$(for i in $(seq "$runs"); do value "$work/ostrel-$i.txt" wall_s; done | tr '\n' ' ')" \
    "by hand $(for i in $(seq "$runs"); do value "$work/by-hand-$i.txt" wall_s; done | tr '\n' ' ');" \
    "fastest runs $fastest_ostrel s vs $fastest_hand s" \
    "($(calc "sprintf(\"%.2f\", $fastest_ostrel / $fastest_hand)")×); parts (medians of 3):" \
    "ostrel-build with a stand-in archiver $(part no-zip) s, cp -a $(part cp) s," \
    "7za $(part 7za) s; typical product site, runs in order (s): ostrel-build" \
    "$(for i in $(seq "$runs"); do value "$work/p-ostrel-$i.txt" wall_s; done | tr '\n' ' ')" \
    "by hand $(for i in $(seq "$runs"); do value "$work/p-by-hand-$i.txt" wall_s; done | tr '\n' ' ')."
