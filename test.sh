#!/usr/bin/env bash
# Builds Marvok with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test, on a fresh Debian 12 machine as well: installs what is missing,
# starts a virtual display and a sound server with null devices for the
# tests, and stops them afterwards. Arguments go to ctest (-R, -L, -E...).
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
exec ./scripts/check-sanitizers.sh asan "$@"
