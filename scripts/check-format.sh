#!/usr/bin/env bash
# Checks that every tracked C++ file is formatted as .clang-format says; lists the files that are
# not and fails. Skipped, with a note, where clang-format is not installed.
# Usage: scripts/check-format.sh [--fix]   (--fix reformats the listed files in place)
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=${CLANG_FORMAT:-clang-format}
if ! command -v "$clang_format" >/dev/null 2>&1; then
    echo "check-format: $clang_format is not installed; format not checked" >&2
    exit 0
fi

misformatted=()
while IFS= read -r -d '' file; do
    if ! "$clang_format" --style=file "$file" | cmp -s - "$file"; then
        misformatted+=("$file")
    fi
done < <(git ls-files -z -- '*.cpp' '*.h' '*.hpp' '*.cc')

if [ ${#misformatted[@]} -eq 0 ]; then
    exit 0
fi
if [ "${1:-}" = "--fix" ]; then
    "$clang_format" --style=file -i "${misformatted[@]}"
    printf 'check-format: reformatted %s\n' "${misformatted[@]}" >&2
    exit 0
fi
echo "check-format: these files differ from .clang-format ($("$clang_format" --version)):" >&2
printf '  %s\n' "${misformatted[@]}" >&2
echo "check-format: run scripts/check-format.sh --fix to reformat them" >&2
exit 1
