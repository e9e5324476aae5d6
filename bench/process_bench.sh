#!/usr/bin/env bash
# quillpack implode and explode as whole processes, file to file, against a small StormLib tool
# doing the same job (bench/storm_tool.cpp), and the installer's extraction of a package
# (`quillpack simulate` of a one-FILE installation) against that tool's explode of the same stream.
#
#   bench/process_bench.sh [BUILD_DIR]      (default build/release, built when missing)
#
# The corpus is QM_BENCH_MB megabytes (default 25) of files from /usr/bin and /usr/share/doc,
# interleaved in 1 MB pieces. Each pair of runs is ours then the peer's, alternating, QM_BENCH_ROUNDS
# times (default 5); a figure is the median of the pairs' ratios (the peer's time over ours, above 1
# is faster than StormLib), in wall time and in CPU time (user + system), so load from other
# programs moves both halves of a pair alike; the CPU times (ours / StormLib's) follow.
# Every output is checked against the corpus. Prints a table, then each column's worst row against
# the goals (explode 3x, implode 2x, imploded size never above StormLib's); fails only when a run
# goes wrong.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
rounds=${QM_BENCH_ROUNDS:-5}
megabytes=${QM_BENCH_MB:-25}
if [ ! -x "$build/quillpack" ] || [ ! -x "$build/storm_tool" ]; then
  [ "$build" = build/release ] || { echo "process_bench: no quillpack or storm_tool in $build" >&2; exit 2; }
  cmake --preset release >/dev/null && cmake --build build/release -j2 --target quillpack storm_tool
fi
qp=$(cd "$build" && pwd)/quillpack
storm=$(cd "$build" && pwd)/storm_tool
work=$(mktemp -d /tmp/qm-process-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

python3 - "$work/corpus" "$megabytes" <<'PY'
import os, sys
out, limit = sys.argv[1], int(sys.argv[2]) << 20
def gather(root, cap):
    paths = []
    for d, _, names in os.walk(root):
        for n in names:
            p = os.path.join(d, n)
            if os.path.isfile(p) and not os.path.islink(p) and not n.endswith(('.gz', '.xz', '.bz2')):
                paths.append(p)
    data = bytearray()
    for p in sorted(paths):
        try:
            data += open(p, 'rb').read()[:cap - len(data)]
        except OSError:
            continue
        if len(data) >= cap:
            break
    return data
parts = [gather('/usr/bin', limit), gather('/usr/share/doc', limit // 2)]
data, at, piece = bytearray(), [0, 0], 1 << 20
while len(data) < limit and any(at[i] < len(parts[i]) for i in (0, 1)):
    for i in (0, 1):
        n = min(piece, len(parts[i]) - at[i], limit - len(data))
        data += parts[i][at[i]:at[i] + n]
        at[i] += n
open(out, 'wb').write(data)
PY

# Runs "ours" and "peer" commands alternately; prints the medians of the pairs' ratios (peer over
# ours) in wall time and in CPU time (user + system of the process), and the median times.
paired() {
  python3 - "$rounds" "$1" "$2" <<'PY'
import resource, statistics, subprocess, sys, time
rounds, ours, peer = int(sys.argv[1]), sys.argv[2], sys.argv[3]
def run(cmd):
    r0, t0 = resource.getrusage(resource.RUSAGE_CHILDREN), time.perf_counter()
    # What a run says on stderr (simulate's closing line) is shown only when it fails.
    r = subprocess.run(cmd, shell=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if r.returncode:
        sys.exit(f"process_bench: {cmd} failed:\n{r.stderr}")
    t1, r1 = time.perf_counter(), resource.getrusage(resource.RUSAGE_CHILDREN)
    return t1 - t0, r1.ru_utime - r0.ru_utime + r1.ru_stime - r0.ru_stime
pairs = [(run(ours), run(peer)) for _ in range(rounds)]
m = statistics.median
print(f"{m(p[1][0] / p[0][0] for p in pairs):.2f}x wall, {m(p[1][1] / p[0][1] for p in pairs):.2f}x CPU "
      f"({m(p[0][1] for p in pairs):.3f} s / {m(p[1][1] for p in pairs):.3f} s)")
PY
}

# "2.41x wall, 2.80x CPU (...)" -> "2.41 2.80"
ratios() {
  local cpu=${1#*wall, }
  echo "${1%%x wall*} ${cpu%%x CPU*}"
}

sim=$work/sim
mkdir -p "$sim/c/WINDOWS/SYSTEM" "$sim/c/TEMP" "$sim/d"
printf '[Machine]\nWindowsDir=C:\\WINDOWS\nSystemDir=C:\\WINDOWS\\SYSTEM\nTempDir=C:\\TEMP\n[Drives]\nC=fixed c\nD=fixed d\n' >"$sim/machine.ini"
printf '[Setup]\nReboot=No\nOverwrite=Yes\n' >"$sim/answers.ini"
printf 'DEFAULTDIR C:\\BENCH NOASKDRIVE NOASKDIR\r\nFILE CORPUS.PAK\r\n' >"$sim/d/SETUP.cfg"
printf 'MZ' >"$sim/d/SETUP.EXE"

c=$work/corpus
echo "corpus: $(stat -c %s "$c") bytes; medians of $rounds paired runs; ratio = StormLib's time / ours"
printf '\n| mode | implode speed | implode size | explode speed | package extraction speed |\n|---|---|---|---|---|\n'
for mode in binary ascii; do
  flag=; [ "$mode" = ascii ] && flag=--ascii
  for dict in 4096 2048 1024; do
    imp="$qp implode --quiet $flag --dict $dict $c $work/q.imp"
    simp="$storm implode $flag --dict $dict $c $work/s.imp"
    implode_ratio=$(paired "$imp" "$simp")
    size=$(echo "$(stat -c %s "$work/q.imp") / $(stat -c %s "$work/s.imp")" | bc -l)
    exp="$qp explode --quiet $work/q.imp $work/q.out"
    sexp="$storm explode $work/q.imp $work/s.out"
    explode_ratio=$(paired "$exp" "$sexp")
    cmp -s "$c" "$work/q.out" && cmp -s "$c" "$work/s.out" ||
      { echo "process_bench: explode output differs" >&2; exit 1; }
    "$qp" package --quiet $flag --dict "$dict" -o "$sim/d/CORPUS.PAK" --base "$work" "$c" >/dev/null
    extract="rm -rf $sim/c/BENCH; $qp simulate --quiet --machine $sim/machine.ini --answers $sim/answers.ini 'D:\\SETUP.EXE'"
    extract_ratio=$(paired "$extract" "$sexp")
    cmp -s "$c" "$sim/c/BENCH/corpus" || { echo "process_bench: the simulated installation differs" >&2; exit 1; }
    printf '| %s/%s | %s | %.4f | %s | %s |\n' "$mode" "$dict" "$implode_ratio" "$size" "$explode_ratio" "$extract_ratio"
    echo "$mode/$dict $(ratios "$implode_ratio") $size $(ratios "$explode_ratio") $(ratios "$extract_ratio")" >>"$work/rows"
  done
done

# The worst row of each column: the smallest speed ratio, the largest size ratio.
# Rows: mode, implode wall and CPU ratios, size ratio, explode wall and CPU, extraction wall and CPU.
awk '{ if (NR == 1 || $2 < iw) { iw = $2; iwr = $1 } if (NR == 1 || $3 < ic) { ic = $3; icr = $1 }
       if (NR == 1 || $4 > sz) { sz = $4; szr = $1 }
       if (NR == 1 || $5 < ew) { ew = $5; ewr = $1 } if (NR == 1 || $6 < ec) { ec = $6; ecr = $1 }
       if (NR == 1 || $7 < xw) { xw = $7; xwr = $1 } if (NR == 1 || $8 < xc) { xc = $8; xcr = $1 } }
     function verdict(ok) { return ok ? "met" : "short" }
     END {
       printf "\nworst rows against the goals (wall time decides; CPU time for reference):\n"
       printf "  implode speed, goal 2x: %.2fx wall (%s), %.2fx CPU (%s): %s\n", iw, iwr, ic, icr, verdict(iw >= 2)
       printf "  implode size, goal <= 1: %.4f (%s): %s\n", sz, szr, verdict(sz <= 1)
       printf "  explode speed, goal 3x: %.2fx wall (%s), %.2fx CPU (%s): %s\n", ew, ewr, ec, ecr, verdict(ew >= 3)
       printf "  package extraction speed, goal 3x: %.2fx wall (%s), %.2fx CPU (%s): %s\n", xw, xwr, xc, xcr, verdict(xw >= 3)
     }' "$work/rows"
