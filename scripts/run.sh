#!/usr/bin/env bash
# Installs what is missing, builds Kivo2 and starts it, optionally on a picture file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target kivo2 kivo2_program_folder
exec build/Kivo2/kivo2 "$@"
