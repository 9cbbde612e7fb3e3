#!/bin/sh
# The include graph of src/ folded to its top-level folders: prints which
# folder includes which, then checks (with tsort) that no folder depends on
# itself through others. Exits 1 on a cycle.
#   tools/folder-deps.sh [repository root]
set -eu
cd "${1:-$(dirname "$0")/..}/src"
edges=$(grep -rHo '^#include "[a-z]*/' --include='*.h' --include='*.cpp' . |
  sed -E 's#^\./([a-z]+)/.*:\#include "([a-z]+)/#\1 \2#' | awk '$1 != $2' | sort -u)
echo "$edges" | awk '{to[$1] = to[$1] " " $2} END {for (f in to) print f " ->" to[f]}' | sort
if echo "$edges" | tsort >/dev/null 2>&1; then
  echo "no folder cycle"
else
  echo "$edges" | tsort 2>&1 >/dev/null | sed 's/^/cycle: /'
  exit 1
fi
