#!/usr/bin/env bash
# The numerical kernels take spans and settings, never the library state: no file of a
# kernel folder includes a header of library/ (the state, controls, messages by the
# library) or output/ (writers). Prints each offending line; fails when there is one.
set -u
src=$1/src
kernels=(simplex/factor simplex/core simplex/primal simplex/dual simplex/prep simplex/presolve barrier)
found=0
checked=0
for folder in "${kernels[@]}"; do
  [ -d "$src/$folder" ] || continue
  checked=$((checked + 1))
  while IFS= read -r line; do
    echo "kernel includes the library side: ${line#"$src"/}"
    found=1
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"(library|output)/' "$src/$folder" \
             --include='*.h' --include='*.cpp')
done
if [ "$checked" -eq 0 ]; then
  echo "no kernel folder found under $src"
  exit 1
fi
[ "$found" -eq 0 ] && echo "ok: $checked kernel folders include neither library/ nor output/"
exit "$found"
