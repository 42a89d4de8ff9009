#!/usr/bin/env bash
# The Debian package: built by CPack from this build tree, its files listed,
# installed into a temporary root with dpkg, and the installed program run.
# Usage: PackageTest.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/vel_*_amd64.deb)
[[ $(basename "$deb") == vel_2.1.4.18_amd64.deb ]] || { echo "unexpected package name: $deb"; exit 1; }

listing=$(dpkg-deb -c "$deb")
for file in ./usr/bin/vel ./usr/lib/udev/rules.d/70-vel-meter.rules ./usr/share/applications/vel.desktop \
            ./usr/share/icons/hicolor/scalable/apps/vel.svg ./usr/share/vel/Help/index.html; do
    grep -q " $file\$" <<<"$listing" || { echo "missing from the package: $file"; echo "$listing"; exit 1; }
done

depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libqt6widgets6 libqt6svg6 libusb-0.1-4 libxlsxwriter4 libzip4 fonts-liberation2; do
    grep -q "$dependency" <<<"$depends" || { echo "not among the dependencies: $dependency ($depends)"; exit 1; }
done

# Into an empty root: dpkg's database and nothing else.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-script-chrootless -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
grep -q 'ATTRS{idVendor}=="03eb", ATTRS{idProduct}=="0130", TAG+="uaccess", ENV{ID_MM_DEVICE_IGNORE}="1"' \
    "$root/usr/lib/udev/rules.d/70-vel-meter.rules" || { echo "the udev rule does not name the meter"; exit 1; }
grep -q '^Exec=vel$' "$root/usr/share/applications/vel.desktop" || { echo "the desktop entry does not start vel"; exit 1; }

# The installed program runs from there.
env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/vel" --help | grep -q -- '--export OUT ARCHIVE.Vel' \
    || { echo "the installed program does not run"; exit 1; }
echo "package ok: $(basename "$deb")"
