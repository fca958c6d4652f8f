#!/bin/sh
# Builds the benchmark in Release (build/bench) and runs it once; every figure
# goes to stdout. Takes a few minutes. --no-download skips the kt52sim runs;
# --most-records N leaves out the downloads of more records; --scanner-records N
# sets the records of each scanner in the lumet-cli download --all lines (1000).
set -e
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench
exec build/bench/bench/lumet_bench "$@"
