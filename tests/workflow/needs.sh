#!/usr/bin/env bash
# Runs a test that needs tools from outside the build:
#   needs.sh TOOL... -- COMMAND [ARG...]
# Where a tool is missing, the test is skipped (exit 77) with a message that
# says so; under continuous integration (CI set) a missing tool is a failure.
set -euo pipefail

# GNU parallel, not the parallel of moreutils, which takes other arguments.
found() {
  if [ "$1" = parallel ]; then parallel --version 2>/dev/null | grep -q "GNU parallel"; else command -v "$1" >/dev/null; fi
}

missing=()
while [ "$1" != "--" ]; do
  found "$1" || missing+=("$1")
  shift
done
shift
if [ ${#missing[@]} -gt 0 ]; then
  if [ -n "${CI:-}" ]; then
    echo "FAILED: not found: ${missing[*]} (CI is set, so this test may not be skipped; run .ci/install-deps)"
    exit 1
  fi
  echo "SKIPPED: not found: ${missing[*]} (.ci/install-deps installs it)"
  exit 77
fi
exec "$@"
