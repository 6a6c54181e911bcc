#!/usr/bin/env bash
# Installs what is missing, builds Ostrel with warnings as errors and runs every test headless:
# first the whole suite, then the tests that need no browser under the address and
# undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

echo "== Formatting"
sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -z '*.cpp' '*.h'
    else
        # A source archive has no git: its sources are what lies outside the build folders.
        find . \( -path './build*' -o -path './.git' \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0
    fi
}
sources | xargs -0 clang-format --dry-run --Werror

export QT_QPA_PLATFORM=offscreen
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_WERROR=ON >/dev/null
cmake --build build --parallel
ctest --test-dir build --output-on-failure --parallel 2 "$@"

echo "== WordPress's Plugin Check on the sample product's plugin"
pcp=../shared/pcp/run.sh
if [ -x "$pcp" ]; then
    latest=$(sed -n 's/^latest_wordpress=//p' scripts/install-deps.sh)/usr/share/wordpress
    tests/plugin-check.sh build/ostrel/ostrel-build examples/sample-product "$pcp" "$latest"
else
    echo "Skipped: $pcp, the offline Plugin Check kept beside the project, is not there."
fi

echo "== The Debian package"
./packaging/check-package.sh build

echo "== The same tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSTREL_WERROR=ON -DOSTREL_SANITIZE=ON >/dev/null
cmake --build build-asan --parallel
ctest --test-dir build-asan --output-on-failure --parallel 2 --label-exclude wordpress "$@"
