# Shared by the benchmark scripts: sourced, not run.
#   build_release [BUILD_FOLDER]   configures and builds Release; sets $build and $lexicorn
#   best_of_3 COMMAND...            prints the best wall-clock time of three runs, in seconds

build_release() {
    build=${1:-build-release}
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLEXICORN_BUILD_TESTS=OFF -DLEXICORN_BUILD_BENCH=ON >/dev/null
    cmake --build "$build" >/dev/null
    lexicorn=$(realpath "$build/src/cli/lexicorn")
}

best_of_3() {
    local best=""
    for _ in 1 2 3; do
        local start end took
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        took=$(echo "$end - $start" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$took < $best" | bc -l)" = 1 ]; then best=$took; fi
    done
    printf '%.3f' "$best"
}
