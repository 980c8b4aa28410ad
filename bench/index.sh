#!/usr/bin/env bash
# Times the index operations that the application repeats, on synthetic indexes of 100,000 and
# 1,000,000 files, and writes the table bench/results/index_scale.md.
# Usage: scripts/bench index [FILES...]   (default: 100000 1000000)
# Generated indexes are kept in build/bench-data/ and made again when the generator or the
# schema changes.
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000)
data=build/bench-data
mkdir -p "$data"
version=$(cat bench/index_scale/SyntheticIndex.h bench/index_scale/SyntheticIndex.cpp Pellmar/index/IndexSchema.cpp |
  sha256sum | cut -c1-12)

results=()
for files in "${sizes[@]}"; do
  base="$data/index-$files-$version.sqlite"
  for stale in "$data"/index-"$files"-*.sqlite; do
    [ "$stale" = "$base" ] || rm -f "$stale"
  done
  json="$data/index-$files.json"
  build/bench/index_scale_bench --benchmark_out="$json" --benchmark_out_format=json "$base" "$files"
  results+=("$files=$json")
done

python3 - "${results[@]}" > bench/results/index_scale.md <<'PY'
import json, re, sys

def target(name):
    group = name.split('/')[0]
    if group == 'write':
        return '1 ms per file' if name.startswith('write/whole') else '2x of 100,000'
    if group == 'grid':
        return '50 ms median'
    if name in ('status/stateCounts', 'status/fullPreviewProgress', 'status/countItems', 'status/progressBySource',
                'status/inFlightFiles 4'):
        return '20 ms (every second)'
    if group == 'queue':
        return '20 ms per batch'
    return ''

sizes, table, order, context = [], {}, [], None
for argument in sys.argv[1:]:
    files, path = argument.split('=', 1)
    sizes.append(int(files))
    report = json.load(open(path))
    context = report['context']
    for run in report['benchmarks']:
        name = re.sub(r'/(min_time|iterations|manual_time).*$', '', run['name'])
        if name not in table:
            table[name] = {}
            order.append(name)
        table[name][int(files)] = (run['median_ms'], run['p95_ms'])

print('# The index at scale')
print()
print('Median and 95th percentile of single calls, in milliseconds, on synthetic indexes '
      '(bench/index_scale/SyntheticIndex.cpp). Made by `scripts/bench index` on %s, %d CPUs at %d MHz, %s.'
      % (context['host_name'], context['num_cpus'], context['mhz_per_cpu'], context['date'][:10]))
print()
print('| Operation | ' + ' | '.join('%s median | %s p95' % (f'{s:,}', f'{s:,}') for s in sizes) + ' | Target |')
print('|---|' + '---:|---:|' * len(sizes) + '---|')
for name in order:
    cells = []
    for s in sizes:
        median, p95 = table[name].get(s, (None, None))
        cells += ['' if median is None else f'{median:.3f}', '' if p95 is None else f'{p95:.3f}']
    print(f'| {name} | ' + ' | '.join(cells) + f' | {target(name)} |')
PY
echo "wrote bench/results/index_scale.md"
