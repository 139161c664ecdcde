#!/usr/bin/env bash
# Installs what is missing, builds Quillmark and runs it: for now, the controller shows the
# settings store that the sending process and the controller share.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
build/src/app/QuillmarkExternal
build/src/cli/quillmark settings list
