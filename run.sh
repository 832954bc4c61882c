#!/usr/bin/env bash
# One entry point for set-up, building, testing and running the demo.
#   ./run.sh test   install what is missing, build, run every test (plain and sanitized),
#                   and the threads tests once more under ThreadSanitizer
#   ./run.sh format rewrite the C++ sources in the style of .clang-format
#                   (`test` fails when a tracked source is not formatted)
#   ./run.sh demo   install what is missing, build, run the painting demo
#   ./run.sh build  build the optimised tree only
#   ./run.sh bench  install what is missing, build, time each workload beside its peer
#                   (QUILLORY_SIMD=scalar|sse2|avx2 picks the kernels' level)
#   ./run.sh docs   install what is missing, draw the gallery pictures into
#                   docs/images/gallery/, refresh docs/images/demo.png from the
#                   demo's headless session, and build the API reference with
#                   Doxygen into build/docs/html/
#   ./run.sh fuzz [SECONDS]
#                   build the fuzz targets with clang and libFuzzer in build-fuzz/
#                   and run each for SECONDS (default 60) on a working copy of
#                   fuzz/corpus/; non-zero exit on any crash. With
#                   QUILLORY_FUZZ_MERGE=1, small inputs that add coverage are
#                   merged back into fuzz/corpus/ afterwards;
#                   QUILLORY_FUZZ_TARGETS="bmp pcx" runs only those targets.
#   ./run.sh soak MINUTES
#                   play the demo headless with random input for MINUTES and
#                   report frames, stamps, peak resident memory at the start
#                   and end, and recorded errors; non-zero exit if memory grew
#                   or an error was recorded
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

# ThreadSanitizer: only the library and the tests that use threads, so the
# extra tree stays cheap.
build_tsan() {
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLORY_TSAN=ON \
        -DQUILLORY_BUILD_BENCH=OFF -DQUILLORY_BUILD_EXAMPLES=OFF
    cmake --build build-tsan -j "$JOBS" --target test_threads
}

# The C++ sources git tracks; formatting is checked on exactly these.
tracked_sources() {
    git ls-files -z -- '*.cpp' '*.h'
}

check_format() {
    if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        echo "run.sh: not a git checkout; format check skipped"
        return 0
    fi
    if ! tracked_sources | xargs -0 clang-format --dry-run --Werror; then
        echo "run.sh: the sources above are not formatted; ./run.sh format fixes them" >&2
        return 1
    fi
}

run_tests() {
    local dir=$1
    ctest --test-dir "$dir" --output-on-failure -j "$JOBS" --timeout 600
}

# Longest input libFuzzer may make per target; enough for every seed variant
# and a few more records, small enough to keep each run fast.
fuzz_max_len() {
    case "$1" in
        surface_record) echo 8192 ;;
        font_file|font_records) echo 16384 ;;
        string_record) echo 1024 ;;
        *) echo 4096 ;;
    esac
}

# The last value of a libFuzzer status field ("cov: 123") in a log.
fuzz_field() {
    grep -o "$1: [0-9]*" "$2" | tail -n 1 | awk '{print $2}'
}

run_fuzz() {
    local seconds=$1 dir=build-fuzz failed=0 target exe log work artifacts rc
    CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUILLORY_FUZZ=ON -DQUILLORY_BUILD_BENCH=OFF >/dev/null
    nice -n 10 cmake --build "$dir" -j "$JOBS" --target fuzzers
    printf '%-16s %8s %12s %8s %8s %8s %8s\n' target cpu-s executions cov ft corpus crashes
    for exe in "$dir"/fuzz/fuzz_*; do
        [ -x "$exe" ] || continue
        target=${exe##*/fuzz_}
        # QUILLORY_FUZZ_TARGETS="bmp pcx" runs only the targets named.
        case " ${QUILLORY_FUZZ_TARGETS:-$target} " in *" $target "*) ;; *) continue ;; esac
        work=$dir/corpus/$target
        artifacts=$dir/artifacts/$target
        log=$dir/logs/$target.log
        # Crash files of an earlier run are not this run's findings.
        rm -rf "$artifacts"
        mkdir -p "$work" "$artifacts" "$dir/logs"
        # A working copy: the fuzzer adds to it, the committed seeds stay.
        cp -n fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
        rm -f "$log.rc"
        # The processor time the run really had, beside the wall-clock limit:
        # the machine may be shared.
        { TIMEFORMAT='%U %S'; time {
            ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
                nice -n 10 "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=128 \
                -max_len="$(fuzz_max_len "$target")" -timeout=30 -print_final_stats=1 \
                -artifact_prefix="$artifacts/" "$work" >"$log" 2>&1 || echo $? >"$log.rc"
        }; } 2>"$log.time"
        rc=$(cat "$log.rc" 2>/dev/null || echo 0)
        local crashes
        crashes=$(find "$artifacts" -type f | wc -l)
        if [ "$rc" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
        printf '%-16s %8s %12s %8s %8s %8s %8s\n' "$target" "$(awk '{printf "%.0f", $1 + $2}' "$log.time")" \
            "$(fuzz_field stat::number_of_executed_units "$log")" "$(fuzz_field cov "$log")" \
            "$(fuzz_field ft "$log")" "$(find "$work" -type f | wc -l)" "$crashes"
        if [ "$crashes" -ne 0 ]; then
            failed=1
            echo "  see $log and $artifacts/" >&2
        elif [ "${QUILLORY_FUZZ_MERGE:-0}" = 1 ]; then
            # Only inputs that add coverage, and only small ones, join the
            # committed corpus.
            local small=$dir/merge-small/$target
            rm -rf "$small" && mkdir -p "$small"
            find "$work" -type f -size -2k -exec cp {} "$small"/ \;
            nice -n 10 "$exe" -merge=1 -rss_limit_mb=2048 -malloc_limit_mb=128 \
                fuzz/corpus/"$target" "$small" >>"$log" 2>&1 || failed=1
        fi
    done
    return $failed
}

cmd=${1:-}
case "$cmd" in
    test)
        install_packages
        check_format
        build_main
        run_tests build
        build_asan
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
            run_tests build-asan
        build_tsan
        TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
            ctest --test-dir build-tsan --output-on-failure --timeout 600 --no-tests=error -R '^threads\.'
        ;;
    build)
        install_packages
        build_main
        ;;
    format)
        install_packages
        tracked_sources | xargs -0 clang-format -i
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
    docs)
        install_packages
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
        cmake --build build -j "$JOBS" --target quillory-gallery quillory-demo
        build/docs/gallery/quillory-gallery docs/images/gallery
        # The demo's built-in headless session runs on a fixed clock and
        # always ends on the same frame.
        (cd build/demo && rm -f screenshot.png && QUILLORY_PLATFORM=headless ./quillory-demo >/dev/null)
        cmp -s build/demo/screenshot.png docs/images/demo.png || cp build/demo/screenshot.png docs/images/demo.png
        # build/docs/ also holds the gallery's build folder: replace only the HTML.
        rm -rf build/docs/html && mkdir -p build/docs
        doxygen docs/Doxyfile
        # The guide's pictures, at the paths it names them by.
        cp -r docs/images build/docs/html/
        echo "run.sh: guide in docs/guide.md; API reference in build/docs/html/index.html"
        ;;
    fuzz)
        install_packages
        run_fuzz "${2:-60}"
        ;;
    soak)
        install_packages
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
        cmake --build build -j "$JOBS" --target quillory-soak   # also makes the demo's data files
        cd build/demo
        exec ./quillory-soak "${2:-10}"
        ;;
    *)
        echo "usage: ./run.sh test|demo|build|format|bench|docs|fuzz [SECONDS]|soak [MINUTES]" >&2
        exit 2
        ;;
esac
