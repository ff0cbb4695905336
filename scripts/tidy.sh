#!/usr/bin/env bash
# Checks the naming rules of docs/CONTRIBUTING.md with clang-tidy (.clang-tidy at the
# top of the repository) over the program's sources, or over the files given.
#   scripts/tidy.sh                      every source of the program (several minutes)
#   scripts/tidy.sh list/ListCtrlEx.cpp  just these files
# Needs a configured build/ (./test.sh makes one); installs clang-tidy when missing.
set -euo pipefail
CORVID_ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$CORVID_ROOT"
source scripts/common.sh

install_missing_packages clang-tidy
if [ ! -f build/compile_commands.json ]; then
    echo "tidy.sh: no build/compile_commands.json; run ./test.sh first" >&2
    exit 2
fi
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files -- 'app/*.cpp' 'charts/*.cpp' 'collection/*.cpp' 'dialogs/*.cpp' 'diag/*.cpp' \
        'list/*.cpp' 'oracle/*.cpp' 'platform/*.cpp' 'sqltext/*.cpp' 'tools/*.cpp' 'work/*.cpp')
fi
say "clang-tidy over ${#files[@]} files"
status=0
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 8 clang-tidy -p build --quiet 2>/dev/null || status=$?
exit $status
