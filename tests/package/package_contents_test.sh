#!/usr/bin/env bash
# Builds the Debian package from this build tree into a temporary folder and checks what it
# holds: the programs, the desktop entry and the README, its dependencies, and nothing of the
# test rig. Installs nothing.
set -euo pipefail
build_dir="$1"
gui="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/*.deb)
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' >"$work/files"
depends=$(dpkg-deb -f "$deb" Depends)

status=0
expect_file() {
  grep -qx "$1" "$work/files" || { echo "missing from the package: $1"; status=1; }
}
expect_file /usr/bin/devir-cli
expect_file /usr/share/doc/devir/README.md
if [ "$gui" = ON ]; then
  expect_file /usr/bin/devir
  expect_file /usr/share/applications/devir.desktop
fi
# The stand-in, its template (a real SQL Server cannot attach it) and the tests stay out.
if grep -Eiq 'sandbox|\.mdf$|\.ldf$|_test$|gtest' "$work/files"; then
  echo "the package holds parts of the test rig:"
  grep -Ei 'sandbox|\.mdf$|\.ldf$|_test$|gtest' "$work/files"
  status=1
fi
for dependency in libodbc2 tdsodbc; do
  [[ ", $depends," == *", $dependency"[,\ ]* ]] || { echo "no dependency on $dependency: $depends"; status=1; }
done
if [ "$gui" = ON ] && [[ "$depends" != *libqt6widgets6* ]]; then
  echo "no dependency on Qt 6 widgets: $depends"; status=1
fi
[ "$status" = 0 ] && echo "package $(basename "$deb"): $(wc -l <"$work/files") entries, Depends: $depends"
exit "$status"
