#!/usr/bin/env bash
# Installs librumo into a fresh prefix and builds a C program with nothing but pkg-config's flags.
set -euo pipefail
cmake=$1 build_dir=$2 prefix=$3 cc=$4 client_source=$5 sanitize=${6:-}
# The prefix is wiped first: refuse anything outside the build folder.
case "$prefix" in
  "$build_dir"/*) rm -rf "$prefix" ;;
  *) echo "prefix $prefix is not inside $build_dir" >&2; exit 1 ;;
esac
"$cmake" --install "$build_dir" --component librumo --prefix "$prefix" >/dev/null
for f in include/rumo.h lib/pkgconfig/librumo.pc; do
  [[ -f "$prefix/$f" ]] || { echo "missing $f"; exit 1; }
done
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
flags=(-std=c11 -Wall -Werror)
[[ -n "$sanitize" ]] && flags+=("-fsanitize=$sanitize")
# shellcheck disable=SC2046
"$cc" "${flags[@]}" "$client_source" $(pkg-config --cflags --libs librumo) \
  -Wl,-rpath,"$(pkg-config --variable=libdir librumo)" -o "$prefix/c_client"
run_dir=$(mktemp -d)
trap 'rm -rf "$run_dir"' EXIT
output=$(cd "$run_dir" && "$prefix/c_client" 2>/dev/null)
grep -q '^  1. 32-28 {\[%clock w1:29:50 B1:29:40\]}$' <<<"$output" || { echo "$output"; exit 1; }
echo "installed librumo serves a C program"
