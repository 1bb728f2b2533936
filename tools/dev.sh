#!/usr/bin/env bash
# Tarnwick's developer entry point on Debian 12 (run as root, or with sudo).
#   bash tools/dev.sh run    install what is missing, build, start the tool
#   bash tools/dev.sh test   install what is missing, build, run every test
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
build=${TARNWICK_BUILD_DIR:-$here/build}
jobs=$(nproc)

packages=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libbenchmark-dev
    xvfb xauth openbox xdotool x11-utils
    fonts-wqy-microhei libjpeg-turbo-progs
)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo=sudo
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

configure_and_build() {
    local dir=$1; shift
    cmake -S "$here" -B "$dir" -G Ninja "$@"
    cmake --build "$dir" -j"$jobs"
}

case "${1:-}" in
run)
    install_missing
    configure_and_build "$build"
    exec "$build/bin/tarnwick"
    ;;
test)
    install_missing
    configure_and_build "$build" -DTARNWICK_WERROR=ON
    ctest --test-dir "$build" --output-on-failure -j"$jobs"
    ;;
*)
    echo "usage: bash tools/dev.sh run|test" >&2
    exit 2
    ;;
esac
