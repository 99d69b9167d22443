#!/usr/bin/env bash
# Builds the plug-in from a clean Release build and writes the release archive
#   dist/kdt-containers-VERSION-linux-armhf.tar.gz
# holding the plug-in, the user guide (every page, the class reference
# included), README, CHANGELOG and SHA256SUMS.  The
# version is the CMake project version.  The archive is unpacked and verified
# before the script reports success.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-machine.sh
build=build/package
rm -rf "$build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
  -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKDT_BUILD_TESTS=OFF -DKDT_BUILD_BENCHMARKS=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target kdtcontainers
version=$(cat "$build/kdt-version.txt")
so="$build/libkdtcontainers.so"
bash scripts/check-exports.sh "$so"
bash scripts/check-glibc.sh "$so"

name="kdt-containers-$version-linux-armhf"
stage="$build/stage/$name"
mkdir -p "$stage" dist
arm-linux-gnueabihf-strip --strip-debug -o "$stage/libkdtcontainers.so" "$so"
cp README.md CHANGELOG.md "$stage/"
cp -r docs/guide "$stage/guide"
(cd "$stage" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort \
  | xargs sha256sum > SHA256SUMS)
archive="dist/$name.tar.gz"
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$(git log -1 --format=%ct 2>/dev/null || echo 0)" \
  -C "$build/stage" -cf - "$name" | gzip -n > "$archive"

# The archive as a user gets it: unpacks, every checksum holds, the plug-in
# still starts and still needs no newer C library.
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
tar -xzf "$archive" -C "$check"
(cd "$check/$name" && sha256sum --quiet -c SHA256SUMS)
for f in libkdtcontainers.so README.md CHANGELOG.md guide/README.md guide/errors.md \
  guide/reference/README.md; do
  [ -f "$check/$name/$f" ] || { echo "missing from the archive: $f"; exit 1; }
done
# The whole guide, the class reference pages included.
guide_files=$(find docs/guide -type f | wc -l)
packed=$(find "$check/$name/guide" -type f | wc -l)
[ "$guide_files" = "$packed" ] || { echo "the archive holds $packed of the guide's $guide_files files"; exit 1; }
banner=$(qemu-arm -L /usr/arm-linux-gnueabihf "$check/$name/libkdtcontainers.so")
case "$banner" in "KDT Containers $version,"*) ;; *) echo "unexpected banner: $banner"; exit 1 ;; esac
bash scripts/check-glibc.sh "$check/$name/libkdtcontainers.so" >/dev/null
echo "$archive: $(tar -tzf "$archive" | grep -vc '/$') files, checksums verified"
