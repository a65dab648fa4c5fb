#!/usr/bin/env bash
# Installs what the build needs, builds, and runs every test suite.
#   scripts/test.sh            the whole run (what CI does)
#   QV_QUICK=1 scripts/test.sh  the Linux build and its tests only
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== Linux build and tests"
cmake --preset default
cmake --build --preset default
ctest --preset default

if [ "${QV_QUICK:-0}" = "1" ]; then
  exit 0
fi

for stage in scripts/test-*.sh; do
  [ -e "$stage" ] || continue
  echo "== $(basename "$stage")"
  bash "$stage"
done
