#!/usr/bin/env bash
# The main job: the launcher under Wine with a demo product folder.
# The launcher's window is not built yet; this builds what exists and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake --preset win64 >/dev/null && cmake --build --preset win64 >/dev/null
echo "Varnock.exe (the launcher window) is not built yet: this tree has the foundations"
echo "(registry helpers, ExecAndWait, language setting, stand-in installer); see README.md."
