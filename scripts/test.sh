#!/bin/bash
# test.sh: every test: the host suite against the stand-in, then the real
# programs built with mingw-w64 and checked under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset host >/dev/null
cmake --build --preset host -j"$(nproc)"
ctest --preset host

cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$(nproc)"
ctest --preset win64
