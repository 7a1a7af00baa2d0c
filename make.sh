#!/usr/bin/env bash
# Loopwright's one entry point for building, running and testing on Debian 12.
#   ./make.sh run [FILE]  install what is missing, build, start the editor (on a bundled sample by default)
#   ./make.sh test        install what is missing, build, run every test (plus an ASan+UBSan engine run and
#                         the background-job tests under ThreadSanitizer)
#   ./make.sh build       install what is missing and build only
#   ./make.sh fuzz NAME [SECONDS]   build a libFuzzer target with clang and run it on its corpus
#   ./make.sh tsan        the editor's background-job tests under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}

# Debian packages the build and the tests need.
PACKAGES=(cmake ninja-build g++ pkg-config git
  libgtest-dev libgmock-dev
  libpng-dev libgif-dev libjpeg62-turbo-dev libwebp-dev webp
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
  clang libclang-rt-14-dev valgrind
  xvfb xauth xclip)

ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

configure_build() {  # DIR [cmake options...]
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

# The editor's toolbar and background-job tests under ThreadSanitizer, edits racing the saved-size job.
run_tsan() {
  # Without -Werror: GCC warns falsely about instrumented standard-library code.
  # Qt itself is not instrumented: only the races in our own code are looked for.
  cmake -S "$ROOT" -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLW_WERROR=OFF -DLW_TSAN=ON \
    -DLW_BUILD_VIDEO=OFF >/dev/null
  cmake --build build/tsan -j "$JOBS" --target app_test_toolbars
  TSAN_OPTIONS="halt_on_error=1 suppressions=$ROOT/tests/app/tsan.supp" build/tsan/tests/app/app_test_toolbars
}

cmd=${1:-}
[ $# -gt 0 ] && shift
case "$cmd" in
  build)
    ensure_packages
    configure_build build
    ;;
  run)
    ensure_packages
    configure_build build
    if [ -x build/src/app/loopwright ]; then
      file=${1:-$ROOT/tests/data/gif/welcome2.gif}
      if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "No display: starting the editor under Xvfb."
        exec xvfb-run -a build/src/app/loopwright "$file"
      fi
      exec build/src/app/loopwright "$file"
    fi
    # Until the editor exists the command-line tool shows what the engine does.
    build/loopwright-cli info "${1:-$ROOT/tests/data/gif/welcome2.gif}"
    ;;
  test)
    ensure_packages
    export QT_QPA_PLATFORM=offscreen
    # Every test, warnings as errors.
    configure_build build/ci -DLW_WERROR=ON
    (cd build/ci && ctest --output-on-failure -j "$JOBS" --timeout 600)
    # The engine and its fuzz replays again under AddressSanitizer + UndefinedBehaviorSanitizer.
    configure_build build/asan -DLW_WERROR=ON -DLW_SANITIZE=ON -DLW_BUILD_APP=OFF
    (cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --output-on-failure -j "$JOBS" -L engine --timeout 900)
    # The background jobs against quick edits under ThreadSanitizer.
    run_tsan
    ;;
  fuzz)
    ensure_packages
    name=${1:?fuzz target name, e.g. gif}
    seconds=${2:-60}
    CC=clang CXX=clang++ configure_build build/libfuzzer -DLW_FUZZ=ON -DLW_SANITIZE=ON -DLW_BUILD_APP=OFF
    mkdir -p build/libfuzzer/corpus-$name
    build/libfuzzer/fuzz/fuzz_$name -max_total_time="$seconds" -rss_limit_mb=4096 \
      build/libfuzzer/corpus-$name "$ROOT/fuzz/corpus/$name"
    ;;
  tsan)
    ensure_packages
    export QT_QPA_PLATFORM=offscreen
    run_tsan
    ;;
  *)
    echo "usage: ./make.sh run [FILE] | test | build | fuzz NAME [SECONDS] | tsan" >&2
    exit 2
    ;;
esac
