#!/usr/bin/env bash
# The Build against its peers on one generated skin, in one run:
#
#   ours      the Linux program, `KestoSkinBuilder build` in a folder holding Files/
#   llvm      llvm-rc + lld-link: each script (a converted copy: UTF-8, forward-slash
#             paths) compiled to .res and linked into a resource-only DLL
#   resedit   the npm package resedit writing the same resources into template copies
#             (bench/resedit_build.mjs)
#   floor     the I/O floor: every referenced file read once, each script's bytes
#             written into one of eight files (bench/io_floor.cpp)
#   unpack    the way back: `KestoSkinUnpack _skin --out FOLDER` on the modules the
#             Build wrote, into a folder that does not exist yet; once, its Files/
#             are built again and compared with the Build's modules (cmp)
#   wfloor    the unpack's I/O floor (bench/write_floor.cpp): the modules read once,
#             and every file one unpack writes created with as many bytes
#
# Each is run --runs times (default 5), in rotating order; the table gives the
# median wall time, the median peak resident set (/usr/bin/time's "Maximum
# resident set size") and both as ratios to ours. Then the scaling run: one
# script of the default size against one with ten times the items.
#
#   bash bench/compare.sh [--runs N] [--seed S] [--work DIR] [--no-scaling]
#
# Needs llvm, lld, nodejs/npm, time and python3; installs what is missing with
# apt-get (as root). Builds the program in build/bench (Release, KSB_BENCH=ON).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build/bench
WORK=$BUILD/compare
RUNS=5
SEED=1
SCALING=1
while [ $# -gt 0 ]; do
    case $1 in
    --runs) RUNS=$2; shift 2 ;;
    --seed) SEED=$2; shift 2 ;;
    --work) WORK=$2; shift 2 ;;
    --no-scaling) SCALING=0; shift ;;
    *) echo "usage: $0 [--runs N] [--seed S] [--work DIR] [--no-scaling]" >&2; exit 2 ;;
    esac
done
PY=/usr/bin/python3

need=()
command -v llvm-rc >/dev/null || need+=(llvm)
command -v lld-link >/dev/null || need+=(lld)
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    echo "installing: ${need[*]}"
    apt-get install -y "${need[@]}" >/dev/null
fi

echo "== building (Release, $BUILD)"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKSB_BENCH=ON \
    -DKSB_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j"${KSB_JOBS:-2}" --target KestoSkinBuilder KestoSkinUnpack io_floor write_floor >/dev/null
if [ ! -d "$ROOT/bench/node_modules/resedit" ]; then
    (cd "$ROOT/bench" && npm install --no-audit --no-fund >/dev/null)
fi

# ------------------------------------------------------------------ preparation
prepare_skin() { # folder, make_skin options...
    local dir=$1
    shift
    rm -rf "$dir"
    "$PY" "$ROOT/bench/make_skin.py" "$dir" --seed "$SEED" "$@"
    mkdir -p "$dir/ours"
    cp "$BUILD/app/qt/KestoSkinBuilder" "$BUILD/app/unpack/KestoSkinUnpack" "$dir/ours/"
    ln -s ../Files "$dir/ours/Files"
}

echo "== generating the skin (seed $SEED, 8 scripts, 300 icons and 300 raw-data files each)"
prepare_skin "$WORK"

# Peer inputs: file lists for the floor, converted scripts for llvm-rc, the
# template without its certificate-table entry for resedit.
"$PY" - "$WORK" "$ROOT/skin/template_module.bin" <<'EOF'
import json, os, re, struct, sys
work, template = sys.argv[1], sys.argv[2]
manifest = json.load(open(os.path.join(work, "manifest.json")))
files = os.path.join(work, "Files")
for sub in ("lists", "llvm", "floor", "resedit"):
    os.makedirs(os.path.join(work, sub), exist_ok=True)
steps = ["set -e", "cd " + os.path.join(work, "llvm")]
for entry in manifest["scripts"]:
    module = os.path.basename(entry["module"])
    with open(os.path.join(work, "lists", entry["script"] + ".txt"), "w") as out:
        out.write(module + "\n" + "\n".join(entry["files"]) + "\n")
    raw = open(os.path.join(files, entry["script"]), "rb").read()
    text = raw[3:].decode("utf-8") if raw.startswith(b"\xef\xbb\xbf") else \
        raw[2:].decode("utf-16-le") if raw.startswith(b"\xff\xfe") else raw.decode("cp1251")
    lines = []
    for line in text.splitlines():
        m = re.match(r"^(\S+)\s+(ICON|RCDATA)\s+(.*)$", line)
        if m:
            path = m.group(3)
            if path.startswith('"'):
                path = path[1:-1].replace("\\\\", "\\")
            path = os.path.join(files, path.replace("\\", "/"))
            line = f'{m.group(1)} {m.group(2)} "{path}"'
        lines.append(line)
    stem = os.path.splitext(entry["script"])[0]
    open(os.path.join(work, "llvm", stem + ".rc"), "w", encoding="utf-8").write("\n".join(lines) + "\n")
    steps.append(f"llvm-rc /C 65001 /L 0x419 /FO {stem}.res {stem}.rc")
    steps.append(f"lld-link /dll /noentry /machine:x86 /out:out/{module} {stem}.res")
open(os.path.join(work, "llvm", "build.sh"), "w").write("\n".join(steps) + "\n")
image = bytearray(open(template, "rb").read())
nt = struct.unpack_from("<I", image, 0x3C)[0]
struct.pack_into("<II", image, nt + 24 + 96 + 4 * 8, 0, 0)  # DataDirectory[4], the certificate table
open(os.path.join(work, "resedit", "template-nocert.dll"), "wb").write(image)
EOF
echo "note: resedit refuses the template's certificate-table entry (it points past the end of"
echo "      the file); resedit is given a template copy with that entry zeroed."

LISTS=$(ls "$WORK"/lists/*.txt)
# Each tool: what clears its earlier output (not timed), then the timed command.
prep_ours="rm -rf $WORK/ours/_skin"
cmd_ours="cd $WORK/ours && ./KestoSkinBuilder build"
prep_llvm="rm -rf $WORK/llvm/out && mkdir $WORK/llvm/out"
cmd_llvm="bash $WORK/llvm/build.sh"
prep_resedit="rm -rf $WORK/resedit/out"
cmd_resedit="cd $WORK/resedit && node $ROOT/bench/resedit_build.mjs $WORK/Files out template-nocert.dll"
prep_floor="rm -rf $WORK/floor/out && mkdir $WORK/floor/out"
cmd_floor="$BUILD/bench/io_floor $WORK/Files $WORK/floor/out $(echo $LISTS)"
# The unpacker reads the _skin/ the Build wrote: one Build first, outside the
# rotation, so that it exists before the first Unpack; each later Build writes
# the same bytes again, and no run overlaps another.
(cd "$WORK/ours" && ./KestoSkinBuilder build >/dev/null)
# The last run's output is moved aside, not removed: removing its 4,800 files
# just before a run makes the file system scan past the freed inodes in the
# next run's creations, a cost of the benchmark's own cleanup. All are removed
# after the measuring.
prep_unpack="[ ! -e $WORK/unpacked ] || mv $WORK/unpacked $WORK/unpacked-old-\$(date +%s%N)"
cmd_unpack="$WORK/ours/KestoSkinUnpack $WORK/ours/_skin --out $WORK/unpacked"
# The unpack's floor: the modules read once, and the files one unpack writes
# (listed from one unpack outside the rotation) created with as many bytes.
"$WORK/ours/KestoSkinUnpack" "$WORK/ours/_skin" --out "$WORK/unpacked" >/dev/null
(cd "$WORK/unpacked" && find . -type f -printf '%s\t%P\n') >"$WORK/unpack-list.txt"
prep_wfloor="[ ! -e $WORK/wfloor ] || mv $WORK/wfloor $WORK/unpacked-old-\$(date +%s%N); mkdir $WORK/wfloor"
cmd_wfloor="$BUILD/bench/write_floor $WORK/wfloor $WORK/unpack-list.txt $WORK/ours/_skin/*.dll"

# ------------------------------------------------------------------ measuring
declare -A WALL MEM
measure() { # name, preparation, command: appends "ms" and "KiB" of one run
    local name=$1 prep=$2 cmd=$3 rss start end
    rss=$(mktemp)
    bash -c "$prep"
    sync
    start=$(date +%s%N)
    /usr/bin/time -f "%M" -o "$rss" bash -c "$cmd" >/dev/null 2>&1 || {
        echo "$name failed: $cmd" >&2
        exit 1
    }
    end=$(date +%s%N)
    WALL[$name]+="$(((end - start) / 1000000)) "
    MEM[$name]+="$(tail -1 "$rss") "
    rm -f "$rss"
}
median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }

echo "== load before: $(uptime | sed 's/.*load average/load average/')"
tools=(ours llvm resedit floor unpack wfloor)
for ((r = 0; r < RUNS; r++)); do
    for ((k = 0; k < ${#tools[@]}; k++)); do
        t=${tools[$(((k + r) % ${#tools[@]}))]}
        p=prep_$t
        c=cmd_$t
        measure "$t" "${!p}" "${!c}"
    done
done
echo "== load after:  $(uptime | sed 's/.*load average/load average/')"
rm -rf "$WORK"/unpacked-old-*

mib() { awk -v k="$1" 'BEGIN{printf "%.1f", k/1024}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a/b}'; }
count() { ls "$1" 2>/dev/null | grep -c '\.dll$'; }
total() { du -cb "$1"/*.dll 2>/dev/null | tail -1 | cut -f1; }

echo
echo "outputs: ours $(count "$WORK/ours/_skin") modules ($(total "$WORK/ours/_skin") bytes)," \
    "llvm $(count "$WORK/llvm/out") ($(total "$WORK/llvm/out")), resedit $(count "$WORK/resedit/out")" \
    "($(total "$WORK/resedit/out")), floor $(count "$WORK/floor/out") files ($(total "$WORK/floor/out")),"
echo "         unpack $(find "$WORK/unpacked/Files" -type f | wc -l) files ($(du -sb "$WORK/unpacked/Files" | cut -f1) bytes)" \
    "and a $(stat -c %s "$WORK/unpacked/skin.html")-byte skin.html"
echo
printf "| %-28s | %13s | %13s | %12s | %14s |\n" "median of $RUNS runs" "wall time, ms" "peak RSS, MiB" "time / ours" "memory / ours"
printf "|%s|%s|%s|%s|%s|\n" "------------------------------" "---------------:" "---------------:" "--------------:" "----------------:"
ours_ms=$(echo "${WALL[ours]}" | median)
ours_kb=$(echo "${MEM[ours]}" | median)
declare -A NAMES=([ours]="Build (KestoSkinBuilder)" [llvm]="llvm-rc + lld-link" [resedit]="resedit (node)" [floor]="I/O floor"
    [unpack]="Unpack (KestoSkinUnpack)" [wfloor]="Unpack's I/O floor")
for t in "${tools[@]}"; do
    ms=$(echo "${WALL[$t]}" | median)
    kb=$(echo "${MEM[$t]}" | median)
    printf "| %-28s | %13s | %13s | %12s | %14s |\n" "${NAMES[$t]}" "$ms" "$(mib "$kb")" "$(ratio "$ms" "$ours_ms")" "$(ratio "$kb" "$ours_kb")"
done
floor_ms=$(echo "${WALL[floor]}" | median)
largest=$(ls -l "$WORK/ours/_skin" | awk 'NR>1 && $5>m {m=$5} END{print m}')
limit_kb=$(awk -v b="$largest" 'BEGIN{printf "%d", 2*b/1024 + 16384}')
echo
echo "wall times of every run (ms): ours ${WALL[ours]}| llvm ${WALL[llvm]}| resedit ${WALL[resedit]}| floor ${WALL[floor]}| unpack ${WALL[unpack]}| unpack floor ${WALL[wfloor]}"
echo
verdict() { if awk "BEGIN{exit !($1)}"; then echo "met"; else echo "missed"; fi; }
echo "targets:"
echo "  Build <= 1.5x the I/O floor:            $(ratio "$ours_ms" "$floor_ms")x  $(verdict "$ours_ms <= 1.5 * $floor_ms")"
echo "  Build >= 4x faster than resedit:        $(ratio "$(echo "${WALL[resedit]}" | median)" "$ours_ms")x  $(verdict "$(echo "${WALL[resedit]}" | median) >= 4 * $ours_ms")"
echo "  Build >= 10x faster than llvm-rc + lld: $(ratio "$(echo "${WALL[llvm]}" | median)" "$ours_ms")x  $(verdict "$(echo "${WALL[llvm]}" | median) >= 10 * $ours_ms")"
unpack_ms=$(echo "${WALL[unpack]}" | median)
echo "  Unpack / Build <= 1 (same run):         $(ratio "$unpack_ms" "$ours_ms")x  $(verdict "$unpack_ms <= $ours_ms")"
wfloor_ms=$(echo "${WALL[wfloor]}" | median)
echo "  Unpack <= 1.5x its own I/O floor:       $(ratio "$unpack_ms" "$wfloor_ms")x  $(verdict "$unpack_ms <= 1.5 * $wfloor_ms")" \
    "(the floor / Build: $(ratio "$wfloor_ms" "$ours_ms")x)"
echo "  peak <= 2 x largest module ($(mib $((largest / 1024))) MiB) + 16 MiB = $(mib "$limit_kb") MiB:" \
    "$(mib "$ours_kb") MiB  $(verdict "$ours_kb <= $limit_kb")"
unpack_kb=$(echo "${MEM[unpack]}" | median)
echo "  Unpack's peak within the same:          $(mib "$unpack_kb") MiB  $(verdict "$unpack_kb <= $limit_kb")"

# Sanity, once: the unpacked Files/ build to the same modules, byte for byte.
rebuilt=$WORK/rebuilt
rm -rf "$rebuilt"
mkdir -p "$rebuilt"
cp "$WORK/ours/KestoSkinBuilder" "$rebuilt/"
mv "$WORK/unpacked/Files" "$rebuilt/Files"
(cd "$rebuilt" && ./KestoSkinBuilder build >/dev/null)
same=0
for module in "$WORK/ours/_skin"/*.dll; do
    if cmp -s "$module" "$rebuilt/_skin/$(basename "$module")"; then
        same=$((same + 1))
    else
        echo "  !! $(basename "$module"): the unpacked Files/ build to a different module" >&2
    fi
done
echo "  unpacked Files/ built again: $same of $(count "$WORK/ours/_skin") modules byte for byte (cmp)"
[ "$same" = "$(count "$WORK/ours/_skin")" ] || exit 1

# ------------------------------------------------------------------ scaling
if [ "$SCALING" = 1 ]; then
    echo
    echo "== scaling: one script (vistel.rc), 300 icons + 300 raw-data files against 3,000 + 3,000"
    prepare_skin "$WORK/scale1" --scripts 1
    prepare_skin "$WORK/scale10" --scripts 1 --icons 3000 --rcdata 3000
    for ((r = 0; r < RUNS; r++)); do
        measure scale1 "rm -rf $WORK/scale1/ours/_skin" "cd $WORK/scale1/ours && ./KestoSkinBuilder build"
        measure scale10 "rm -rf $WORK/scale10/ours/_skin" "cd $WORK/scale10/ours && ./KestoSkinBuilder build"
    done
    s1=$(echo "${WALL[scale1]}" | median)
    s10=$(echo "${WALL[scale10]}" | median)
    m10=$(echo "${MEM[scale10]}" | median)
    big=$(ls -l "$WORK/scale10/ours/_skin" | awk 'NR>1 {print $5}')
    printf "| %-34s | %13s | %13s |\n" "median of $RUNS runs" "wall time, ms" "peak RSS, MiB"
    printf "|%s|%s|%s|\n" "------------------------------------" "---------------:" "---------------:"
    printf "| %-34s | %13s | %13s |\n" "1 script, 300 + 300 items" "$s1" "$(mib "$(echo "${MEM[scale1]}" | median)")"
    printf "| %-34s | %13s | %13s |\n" "1 script, 3,000 + 3,000 items" "$s10" "$(mib "$m10")"
    echo "  10x the resources cost $(ratio "$s10" "$s1")x the time (target <= 12x): $(verdict "$s10 <= 12 * $s1")"
    echo "  peak at 10x: $(mib "$m10") MiB against 2 x $(mib $((big / 1024))) MiB + 16 MiB:" \
        "$(verdict "$m10 <= $big * 2 / 1024 + 16384")"
    echo "== load after scaling: $(uptime | sed 's/.*load average/load average/')"
fi
