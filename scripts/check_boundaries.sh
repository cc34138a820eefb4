#!/usr/bin/env bash
# Fails when code reaches into the platform layer's internals: outside platform/
# and tests/ only platform/include headers may be used (benchmarks and fuzz harnesses may use
# the test hooks), and inside platform/ a subsystem includes no other
# subsystem's headers. Also fails when a layer includes one above it; the order
# is platform < engine < audio < game < launcher < app (tests, benchmarks and
# tools sit on top). Usage: check_boundaries.sh [repository root]
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
      nl = split("platform engine audio game launcher app", layers, " ")
      for (i = 1; i <= nl; ++i) rank[layers[i]] = i
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
      split(file, top, "/")
      target = inc
      while (target ~ /^\.\.\//) sub(/^\.\.\//, "", target)
      split(target, up, "/")
      if ((top[1] in rank) && (up[1] in rank) && index(target, "/") && rank[up[1]] > rank[top[1]]) {
        print "layer order: " $0 " (" top[1] " may not include " up[1] ")" > "/dev/stderr"; bad = 1
      }
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
