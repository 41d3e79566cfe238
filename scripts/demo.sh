#!/usr/bin/env bash
# The main job: shows what the built system does.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Built artefacts:"
for f in build/tools/*/* build/library/librumo.so*; do
  [[ -f "$f" && -x "$f" ]] && echo "  $f"
done
true
