# Debian 12 packages that building, testing and running Vextor Config need. Sourced by the
# set-up scripts: installs whatever is missing (sudo when not root).
VEXTOR_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
    qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools libgl-dev
    libqcustomplot-dev libqcustomplot2.1-qt6
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    fonts-wine fonts-dejavu-core xvfb xauth x11-apps x11-utils imagemagick locales python3
    poppler-utils tzdata
)

# Installs VEXTOR_PACKAGES and any further packages named as arguments.
vextor_install_packages() {
    local missing=()
    local p
    for p in "${VEXTOR_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
    # An Italian locale, so the tests of the comma decimal separator run.
    if ! locale -a 2>/dev/null | grep -qi '^it_IT\.utf-\?8$'; then
        "${sudo[@]}" localedef -i it_IT -f UTF-8 it_IT.UTF-8 || echo "note: could not generate it_IT.UTF-8"
    fi
}
