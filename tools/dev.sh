#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine.
#   tools/dev.sh run    install what is missing, build, run the program
#   tools/dev.sh test   install what is missing, build, run the whole test suite headless, then
#                       the fuzz targets for a short while (see fuzz)
#   tools/dev.sh fuzz [SECONDS]
#                       build the libFuzzer targets with clang (build-fuzz/) and run each for
#                       SECONDS (default 30) on its seed corpus in tools/fuzz/corpus, all at
#                       once; fails when one finds a crash, a sanitizer report or a failed check
#   tools/dev.sh install [PREFIX]
#                       install what is missing, build the engine and platform in build/ (what
#                       run built is used as it is) and install them with their headers, CMake
#                       package, pkg-config module and the examples under PREFIX (default
#                       /usr/local)
#   tools/dev.sh reference  install Doxygen if missing, write the command reference to
#                       build/reference/
#   tools/dev.sh sanitize   the same suite built with AddressSanitizer and UBSan (build-asan/)
#   tools/dev.sh demo-check [bench_demo options]
#                       the whole demo run headless through bench_demo under AddressSanitizer and
#                       UBSan (build-asan/); takes several minutes, so it is not part of the suite
set -euo pipefail

mode=${1:-run}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

# What the engine and platform need; the demo's media generator adds FreeType and the fonts,
# the tests GoogleTest and a virtual X server.
packages=(build-essential cmake pkg-config
          libsdl2-dev libsdl2-image-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
          libglew-dev libpng-dev libjpeg-dev zlib1g-dev libogg-dev libvorbis-dev libx11-dev)
packages+=(libfreetype-dev fonts-dejavu-core hershey-fonts-data)
case "$mode" in
run | install) ;;
reference) packages+=(doxygen) ;;
fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
test) packages+=(libgtest-dev xvfb xauth clang-14 libclang-rt-14-dev) ;;
*) packages+=(libgtest-dev xvfb xauth) ;;
esac

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# install and reference take build/ as run or test left it (its settings too, BUILD_SHARED_LIBS
# among them), or configure it as run does.
if [ "$mode" = install ] || [ "$mode" = reference ]; then
    settings=()
    [ -f "$build/CMakeCache.txt" ] || settings=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAPIZ_TESTS=OFF)
    cmake -S "$root" -B "$build" "${settings[@]}"
fi
if [ "$mode" = reference ]; then
    cmake --build "$build" --target reference
    echo "The command reference: $build/reference/index.html"
    exit 0
fi
if [ "$mode" = install ]; then
    prefix=${2:-/usr/local}
    # What is installed, and no more.
    cmake --build "$build" -j "$(nproc)" --target lapiz3d_engine lapiz3d_platform example_media
    install_sudo=$sudo
    # A prefix of the user's own needs no sudo.
    mkdir -p "$prefix" 2>/dev/null && [ -w "$prefix" ] && install_sudo=
    $install_sudo cmake --install "$build" --prefix "$prefix"
    # Shared libraries in a system folder are found through the loader's cache.
    if [ -n "$install_sudo" ] || [ "$(id -u)" -eq 0 ]; then
        if find "$prefix"/lib* -maxdepth 2 -name 'liblapiz3d_engine.so*' | grep -q .; then
            $install_sudo ldconfig
        fi
    fi
    exit 0
fi

# Builds the fuzz targets with clang in their own folder and runs each for $1 seconds on its
# seed corpus, all at once. New inputs go to a scratch folder, so the committed corpora stay as
# they are; each target's output is shown only when it fails, and the input that failed is
# left in the build folder.
run_fuzzers() {
    local seconds=$1 fuzz_build=${FUZZ_BUILD_DIR:-$root/build-fuzz} scratch status=0 target
    CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DLAPIZ_TESTS=OFF -DLAPIZ_FUZZ=ON
    cmake --build "$fuzz_build" -j "$(nproc)" --target fuzz_b3d fuzz_song fuzz_image
    scratch=$(mktemp -d)
    local -A pids
    for target in b3d song image; do
        mkdir "$scratch/$target"
        UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
            LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
            "$fuzz_build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=25 \
            -rss_limit_mb=2048 -artifact_prefix="$fuzz_build/" \
            "$scratch/$target" "$root/tools/fuzz/corpus/$target" \
            >"$scratch/$target.log" 2>&1 &
        pids[$target]=$!
    done
    for target in b3d song image; do
        if wait "${pids[$target]}"; then
            echo "fuzz_$target: $(grep -E '^Done [0-9]+ runs' "$scratch/$target.log" || echo done)"
        else
            status=1
            echo "fuzz_$target FAILED (the input is kept in $fuzz_build/); the end of its output:"
            tail -n 80 "$scratch/$target.log"
        fi
    done
    rm -rf "$scratch"
    return $status
}

if [ "$mode" = fuzz ]; then
    run_fuzzers "${2:-30}"
    exit
fi

tests=ON
sanitize=OFF
[ "$mode" = run ] && tests=OFF
if [ "$mode" = sanitize ] || [ "$mode" = demo-check ]; then
    sanitize=ON
    build=${BUILD_DIR:-$root/build-asan}
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLAPIZ_TESTS=$tests \
    -DLAPIZ_SANITIZE=$sanitize
targets=()
[ "$mode" = demo-check ] && targets=(--target bench_demo)
cmake --build "$build" -j "$(nproc)" "${targets[@]}"

case "$mode" in
run)
    exec "$build/bin/demo"
    ;;
test | sanitize)
    export SDL_AUDIODRIVER=dummy LP_NUM_THREADS=2
    # A virtual screen has no session bus: named as none, the video layer's bus library does not
    # fork to look for one while the start-up workers run (a fork that can stop on an allocator
    # lock under the sanitizers).
    export DBUS_SESSION_BUS_ADDRESS=disabled:
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    # Always the same virtual screen, so pixel read-backs see one renderer and one size.
    xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp" \
        ctest --test-dir "$build" --output-on-failure --timeout 300 -j "$(nproc)"
    [ "$mode" = sanitize ] || run_fuzzers "${FUZZ_SECONDS:-30}"
    ;;
demo-check)
    export SDL_AUDIODRIVER=dummy LP_NUM_THREADS=2 DBUS_SESSION_BUS_ADDRESS=disabled:
    # The GL driver's allocations outlive its unloaded code: no leak check, as for GL tests.
    export ASAN_OPTIONS=detect_leaks=0
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    exec xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp" "$build/bin/bench_demo" "${@:2}"
    ;;
*)
    echo "usage: $0 run|test|fuzz [SECONDS]|install [PREFIX]|reference|sanitize|demo-check" >&2
    exit 2
    ;;
esac
