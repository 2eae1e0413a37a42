#!/usr/bin/env bash
# Builds the Debian package of Vextor Config (the program, the simulated sensor, desktop entry,
# icon and AppStream metainfo; translations and help are built in) and checks it with lintian.
#
#   bash scripts/package.sh        ->  build/package/vextor-config_<version>_<arch>.deb
#   sudo apt-get install ./build/package/vextor-config_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
vextor_install_packages dpkg-dev fakeroot lintian

umask 022 # the package's folders and files get the usual permissions
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXTOR_WERROR=ON \
    -DVEXTOR_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build/package -j "$(nproc)" --target vextor-config vextor-sensor-sim vextor_package_docs
(cd build/package && cpack -G DEB >/dev/null)
deb=$(ls -t build/package/vextor-config_*.deb | head -n 1)
echo "Package: $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
echo "lintian:"
# Errors fail the script; warnings and notes are shown.
lintian --fail-on error --no-tag-display-limit "$deb" || { echo "lintian found errors"; exit 1; }
echo "lintian: no errors"
