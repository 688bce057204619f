#!/usr/bin/env bash
# Fails when any tracked C++ source differs from what clang-format (with the
# repository's .clang-format) would write. CLANG_FORMAT picks another binary.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
clangFormat="${CLANG_FORMAT:-clang-format}"

if ! command -v "$clangFormat" >/dev/null 2>&1; then
  echo "format-check: $clangFormat not found" >&2
  exit 2
fi

files=()
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  while IFS= read -r -d '' f; do
    # A file deleted in the work tree but still in the index is not checked.
    [[ -f "$f" ]] && files+=("$f")
  done < <(git ls-files -z -- '*.h' '*.cpp')
else
  # An exported tree without git: check the sources where they would be tracked.
  while IFS= read -r -d '' f; do
    files+=("$f")
  done < <(find . -path './build*' -prune -o -path './.git' -prune -o \( -name '*.h' -o -name '*.cpp' \) -type f -print0)
fi

if ((${#files[@]} == 0)); then
  echo "format-check: no C++ sources found" >&2
  exit 2
fi

if "$clangFormat" --dry-run -Werror "${files[@]}"; then
  echo "format-check: ${#files[@]} files formatted as .clang-format asks"
else
  echo "format-check: run 'clang-format -i' on the files above" >&2
  exit 1
fi
