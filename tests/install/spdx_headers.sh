#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file says its licence in its first lines (after a script's #! line), so a file
# copied out of the tree still carries it.
# usage: spdx_headers.sh SOURCE_DIR
set -u
cd "$1" || exit 1
command -v git >/dev/null && [ -e .git ] || { echo "not a git checkout"; exit 77; }
failures=0
while IFS= read -r file; do
  head -n 2 "$file" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' ||
    { echo "FAIL: $file has no SPDX-License-Identifier line"; failures=$((failures + 1)); }
done < <(git ls-files '*.cpp' '*.h' '*.sh' '*.py' '*CMakeLists.txt' 'scripts/*' '.ci/*')
[ "$failures" -eq 0 ]
