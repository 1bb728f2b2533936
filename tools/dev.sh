#!/usr/bin/env bash
# Tarnwick's developer entry point on Debian 12 (run as root, or with sudo).
#   bash tools/dev.sh run    install what is missing, build, start the tool
#   bash tools/dev.sh test   install what is missing, then every check CI runs:
#                            build with warnings as errors + unit tests,
#                            install, desktop and AppStream checks, the .dml
#                            hand-off, the Debian package (dpkg-buildpackage,
#                            lintian, autopkgtest),
#                            ASan/UBSan build + unit tests, the fuzzers briefly,
#                            the end-to-end test under Xvfb
# Environment: TARNWICK_BUILD_DIR (default build/), TARNWICK_FUZZ_SECONDS (per
# fuzzer, default 25), TARNWICK_SKIP="asan fuzz e2e" to leave stages out locally.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
build=${TARNWICK_BUILD_DIR:-$here/build}
jobs=$(nproc)
fuzz_seconds=${TARNWICK_FUZZ_SECONDS:-25}
skip=" ${TARNWICK_SKIP:-} "

packages=(
    # building
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libbenchmark-dev libjpeg62-turbo-dev libturbojpeg0-dev
    # reading a folder's picture headers through io_uring, and strace to make
    # the ring fail in the tests
    liburing-dev strace
    # converting other formats to JPEG: HEIC and HEIF, and Qt's WebP and TIFF readers
    libheif-dev qt6-image-formats-plugins
    # fuzzing: clang with its sanitizer and libFuzzer runtimes
    clang libclang-rt-14-dev
    # end-to-end test under a real X server, screenshots
    xvfb xauth openbox xdotool x11-utils imagemagick
    fonts-wqy-microhei libjpeg-turbo-progs
    # Qt's own dialogs and buttons in Chinese
    qt6-translations-l10n
    # the thumbnail cache checked against GNOME's thumbnail factory and its
    # JPEG thumbnailer
    gir1.2-gnomedesktop-3.0 libgdk-pixbuf2.0-bin
    # the accessibility test: the AT-SPI registry on a session bus, read from Python
    at-spi2-core dbus python3-pyatspi python3-gi
    # packaging and its checks: the Debian package build (debhelper) and its
    # autopkgtest, lintian, hardening-check (devscripts), the AppStream
    # validator, manual pages, bash completion, and what xdg-open needs to
    # resolve a .dml document on the generic and the GNOME desktop
    dpkg-dev file shared-mime-info desktop-file-utils lintian devscripts appstream
    debhelper autopkgtest git
    man-db groff-base bash-completion xdg-utils libfile-mimeinfo-perl libglib2.0-bin
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
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
    fi
}

configure_and_build() {
    local dir=$1; shift
    cmake -S "$here" -B "$dir" -G Ninja "$@"
    cmake --build "$dir" -j"$jobs"
}

stage_start=0
stage() {
    stage_end
    stage_name=$1
    stage_start=$(date +%s)
    printf '\n==================================================================\n'
    printf '== %s\n' "$stage_name"
    printf '==================================================================\n'
}
stage_end() {
    if ((stage_start)); then
        local took=$(($(date +%s) - stage_start))
        printf '== done: %s (%dm%02ds)\n' "$stage_name" $((took / 60)) $((took % 60))
        summary+=("$(printf '%-44s %dm%02ds' "$stage_name" $((took / 60)) $((took % 60)))")
    fi
    stage_start=0
}
summary=()
skipped() { [[ $skip == *" $1 "* ]]; }

run_fuzzers() {
    local dir=$1 corpus_root=$here/fuzz/corpus
    local work
    work=$(mktemp -d)
    local found=0
    for fuzzer in "$dir"/bin/fuzz_*; do
        [ -x "$fuzzer" ] || continue
        found=1
        local name
        name=$(basename "$fuzzer")
        echo "-- $name for ${fuzz_seconds}s"
        # New inputs go to a scratch folder; the committed seeds are only read.
        mkdir -p "$work/$name"
        "$fuzzer" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 "$work/$name" "$corpus_root/$name"
    done
    rm -rf "$work"
    ((found)) || echo "no fuzz targets were built"
}

case "${1:-}" in
run)
    install_missing
    configure_and_build "$build"
    if [ -x "$build/bin/tarnwick" ]; then
        exec "$build/bin/tarnwick"
    fi
    exec "$build/bin/tarnwick-make" --help
    ;;
test)
    stage "packages"
    install_missing

    stage "build (warnings as errors) and unit tests"
    configure_and_build "$build" -DTARNWICK_WERROR=ON
    ctest --test-dir "$build" --output-on-failure -j"$jobs"

    stage "install and Debian package"
    app_id=$(sed -n 's/^TARNWICK_APP_ID:[A-Z]*=//p' "$build/CMakeCache.txt")
    prefix=$(mktemp -d)
    cmake --install "$build" --prefix "$prefix"
    for f in "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
             share/icons/hicolor/scalable/apps/tarnwick.svg share/icons/hicolor/48x48/apps/tarnwick.png \
             share/man/man1/tarnwick.1.gz share/man/man1/tarnwick-make.1.gz \
             share/bash-completion/completions/tarnwick-make \
             share/doc/tarnwick/copyright share/doc/tarnwick/changelog.gz; do
        [ -s "$prefix/$f" ] || { echo "not installed: $f" >&2; exit 1; }
    done
    for f in bin/tarnwick bin/tarnwick-make; do
        [ -x "$prefix/$f" ] || echo "note: $f is not built on this branch"
    done
    desktop-file-validate "$prefix/share/applications/$app_id.desktop"
    appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml"
    bash "$here/tests/packaging/dml-handoff.sh" --prefix "$prefix"
    rm -rf "$prefix"

    # The plain CMake build carries the project's own hardening flags.
    grep -q -- '-D_FORTIFY_SOURCE=2 ' "$build/compile_commands.json" ||
        { echo "the programs were built without -D_FORTIFY_SOURCE=2" >&2; exit 1; }

    stage "Debian package: dpkg-buildpackage, lintian, autopkgtest"
    # dpkg-buildpackage writes its results beside the source tree, so it builds
    # a copy of the tree (the tracked and the new files, no build folders) in a
    # scratch folder.
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
    [ "$(dpkg-parsechangelog -l "$here/debian/changelog" -S Version | sed 's/-[^-]*$//')" = "$version" ] ||
        { echo "debian/changelog does not name version $version" >&2; exit 1; }
    work=$(mktemp -d)
    mkdir "$work/tarnwick"
    git -C "$here" ls-files -z --cached --others --exclude-standard |
        tar -C "$here" --null --ignore-failed-read -T - -c | tar -x -C "$work/tarnwick"
    # The source package too, so that lintian sees debian/control, the
    # copyright, the watch file and the tests; the upstream tarball is the tree
    # without debian/.
    tar -C "$work" --exclude=tarnwick/debian --transform "s,^tarnwick,tarnwick-$version," \
        -cJf "$work/tarnwick_$version.orig.tar.xz" tarnwick
    (cd "$work" && dpkg-source -b tarnwick) > /dev/null
    # The unit tests ran on this tree in the first stage; in CI the package
    # build leaves them out (TARNWICK_PACKAGE_TESTS=1 runs them there too).
    deb_options="parallel=$jobs"
    [ "${TARNWICK_PACKAGE_TESTS:-0}" = 1 ] || deb_options="$deb_options nocheck"
    (cd "$work/tarnwick" && DEB_BUILD_OPTIONS="$deb_options" dpkg-buildpackage -us -uc -b) \
        > "$work/build.log" 2>&1 || { tail -n 80 "$work/build.log"; exit 1; }
    grep -E '^(dh_auto_test|[0-9]+% tests passed|Total Test time)' "$work/build.log" || true
    deb=$(ls "$work"/tarnwick_*.deb)
    dpkg-deb -I "$deb" | grep -E 'Package|Version|Depends|Recommends'
    # The default profile, as Debian 12 ships it, over the source, the program
    # package and its dbgsym package; an error or a warning fails, and so does
    # any of the hardening tags, which are only informational.
    lintian --fail-on error,warning --display-info "$work"/tarnwick_*.dsc "$work"/tarnwick_*.changes |
        tee "$work/lintian.txt"
    if grep -q ' hardening-' "$work/lintian.txt"; then
        echo "lintian: the programs lack a hardening flag" >&2
        exit 1
    fi
    ls "$work"/tarnwick-dbgsym_*.deb
    # Debian 12's flags: PIE, stack protector, read-only relocations, bind now.
    # Neither program calls a libc function whose buffer size the compiler
    # knows, so no __*_chk symbol can show fortify in the binaries: its flag is
    # looked for in the compile commands instead, given once by dpkg-buildflags.
    dpkg-deb -x "$deb" "$work/root"
    hardening-check --nocfprotection --nofortify "$work"/root/usr/bin/*
    commands=$(ls "$work"/tarnwick/obj-*/compile_commands.json)
    grep -q -- '-D_FORTIFY_SOURCE=2' "$commands" ||
        { echo "the package's programs were built without -D_FORTIFY_SOURCE=2" >&2; exit 1; }
    if grep -q -- '-fstack-protector-strong.*-fstack-protector-strong' "$commands"; then
        echo "the package's programs were built with the hardening flags twice" >&2
        exit 1
    fi
    # The package and a plain install carry the same copyright.
    cmp "$work/root/usr/share/doc/tarnwick/copyright" "$build/packaging/copyright" ||
        { echo "debian/copyright differs from packaging/copyright.in as configured" >&2; exit 1; }
    # debian/tests on this machine (autopkgtest's null runner, which installs
    # the package and what the tests need); the package is purged after.
    autopkgtest --no-built-binaries "$deb" "$work/tarnwick/" -- null
    dpkg --purge tarnwick
    rm -rf "$work"

    if ! skipped asan; then
        stage "ASan+UBSan build and unit tests"
        # No -Werror here: GCC's flow analysis under the sanitizers warns about
        # code that is clean in the normal build.
        configure_and_build "$build-asan" -DTARNWICK_SANITIZE=ON \
            -DTARNWICK_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug
        export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1"
        export LSAN_OPTIONS="suppressions=$here/tools/lsan.supp:print_suppressions=0"
        export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$here/tools/ubsan.supp"
        ctest --test-dir "$build-asan" --output-on-failure -j"$jobs"
        unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
    fi

    if ! skipped fuzz; then
        stage "fuzzers (${fuzz_seconds}s each)"
        configure_and_build "$build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DTARNWICK_BUILD_FUZZERS=ON \
            -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
        ASAN_OPTIONS="detect_leaks=1:halt_on_error=1" \
        LSAN_OPTIONS="suppressions=$here/tools/lsan.supp:print_suppressions=0" \
        UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$here/tools/ubsan.supp" \
        QT_QPA_PLATFORM=offscreen \
            run_fuzzers "$build-fuzz"
    fi

    if ! skipped e2e; then
        stage "end-to-end test under Xvfb"
        bash "$here/tests/e2e/run-e2e.sh" "$build"
    fi
    stage_end

    printf '\n== summary\n'
    printf '   %s\n' "${summary[@]}"
    echo "== all stages passed"
    ;;
*)
    echo "usage: bash tools/dev.sh run|test" >&2
    exit 2
    ;;
esac
