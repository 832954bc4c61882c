#!/usr/bin/env bash
# One entry point for set-up, building, testing and running the demo.
#   ./run.sh test   install what is missing, build, run every test (plain and sanitized)
#   ./run.sh demo   install what is missing, build, run the painting demo
#   ./run.sh build  build the optimised tree only
#   ./run.sh bench  install what is missing, build, time each workload beside its peer
#                   (QUILLORY_SIMD=scalar|sse2|avx2 picks the kernels' level)
set -euo pipefail
cd "$(dirname "$0")"

JOBS=$(nproc 2>/dev/null || echo 2)

install_packages() {
    [ "$(id -u)" = 0 ] || return 0
    local missing=() pkg
    while read -r pkg; do
        [ -z "$pkg" ] && continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
    done < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' cmake/debian-packages.txt)
    if [ ${#missing[@]} -gt 0 ]; then
        echo "run.sh: installing ${missing[*]}"
        apt-get update
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

configure_and_build() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" -j "$JOBS"
}

build_main() {
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
}

build_asan() {
    configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLORY_SANITIZE=ON \
        -DQUILLORY_BUILD_BENCH=OFF
}

run_tests() {
    local dir=$1
    ctest --test-dir "$dir" --output-on-failure -j "$JOBS" --timeout 600
}

cmd=${1:-}
case "$cmd" in
    test)
        install_packages
        build_main
        run_tests build
        build_asan
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
            run_tests build-asan
        ;;
    build)
        install_packages
        build_main
        ;;
    bench)
        install_packages
        configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLORY_BUILD_BENCH=ON
        shift
        exec build/bench/quillory-bench "$@"
        ;;
    demo)
        install_packages
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
        cmake --build build -j "$JOBS" --target quillory-demo   # also makes its data files
        # The demo reads its files from its working directory.
        cd build/demo
        if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QUILLORY_PLATFORM:-}" ]; then
            echo "run.sh: no display; playing the demo's scripted session without a window"
            export QUILLORY_PLATFORM=headless
        fi
        exec ./quillory-demo
        ;;
    *)
        echo "usage: ./run.sh test|demo|build|bench" >&2
        exit 2
        ;;
esac
