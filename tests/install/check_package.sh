#!/usr/bin/env bash
# Builds the Debian package of the build tree $1 into a scratch directory and checks it: every
# file `cmake --install` installs is in it under /usr, nothing else from the build tree is, and
# Depends names the Qt 6 libraries (found by dpkg-shlibdeps) and the SVG plugin's package.
# Exit 77 (skipped) without dpkg-deb.
set -euo pipefail
build="$1"
if ! command -v dpkg-deb >/dev/null; then
    echo "dpkg-deb is not installed: skipped"
    exit 77
fi
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
if ! cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log"
    exit 1
fi
deb="$(ls "$out"/ql350_*.deb)"
echo "package: $(basename "$deb")"
files="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)"
echo "$files"
expected="./usr/bin/metersim
./usr/bin/ql350
./usr/bin/ql350-cli
./usr/lib/systemd/system/ql350-cli@.service
./usr/share/applications/io.github.ql350.QL350.desktop
./usr/share/icons/hicolor/scalable/apps/io.github.ql350.QL350.svg
./usr/share/man/man1/metersim.1.gz
./usr/share/man/man1/ql350-cli.1.gz
./usr/share/man/man1/ql350.1.gz
./usr/share/metainfo/io.github.ql350.QL350.metainfo.xml
./usr/share/ql350/QL350_Help.htm
./usr/share/ql350/ql350-cli.env.example"
status=0
if [ "$files" != "$expected" ]; then
    echo "FAIL: the package's files differ from:"
    echo "$expected"
    status=1
fi
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6printsupport6 \
         libqcustomplot2.1-qt6 libqt6svg6 libc6 libstdc++6 libpaho-mqtt1.3; do
    if ! grep -Eq "(^|, )${p//+/\\+}( |,|$)" <<<"$depends"; then
        echo "FAIL: Depends does not name $p"
        status=1
    fi
done
exit $status
