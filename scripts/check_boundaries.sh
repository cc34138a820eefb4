#!/usr/bin/env bash
# Fails when code reaches into the platform layer's internals: outside platform/
# and tests/ only platform/include headers may be used (benchmarks and fuzz harnesses may use
# the test hooks), and inside platform/ a subsystem includes no other
# subsystem's headers. Usage: check_boundaries.sh [repository root]
set -uo pipefail
root="${1:-$(dirname "$0")/..}"
cd "$root" || exit 2

hooks=$(ls platform/hooks 2>/dev/null | tr '\n' ' ')

grep -rEn --include='*.cpp' --include='*.h' --include='*.c' '^[[:space:]]*#[[:space:]]*include' \
     --exclude-dir=build --exclude-dir=.git --exclude-dir=tests . |
  sed 's#^\./##' |
  awk -v hooks="$hooks" '
    BEGIN {
      n = split(hooks, h, " ")
      for (i = 1; i <= n; ++i) hook[h[i]] = 1
      bad = 0
    }
    {
      split($0, parts, ":")
      file = parts[1]
      inc = $0
      sub(/^[^:]*:[^:]*:[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]/, "", inc)
      sub(/[">].*$/, "", inc)
      base = inc
      sub(/^.*\//, "", base)
      if (file !~ /^platform\//) {
        if ((inc ~ /^platform\// && inc !~ /^platform\/include\//) || inc ~ /\.\.\/platform\//) {
          print "include boundary: " $0 > "/dev/stderr"; bad = 1
        } else if ((base in hook) && file !~ /^(bench|fuzz)\//) {
          print "include boundary: " $0 " (test hooks are for tests)" > "/dev/stderr"; bad = 1
        }
        next
      }
      split(file, f, "/")
      other = ""
      if (inc ~ /^\.\.\//) { split(inc, g, "/"); other = g[2] }
      if (inc ~ /^platform\//) { split(inc, g, "/"); other = g[2] }
      if (other == "" || other == f[2] || other == "include" || other == "hooks") next
      if ((file " " inc) in allowed) next
      print "include boundary: " $0 > "/dev/stderr"; bad = 1
    }
    END { exit bad }'
