#!/usr/bin/env bash
# Mutation testing: applies each mutation of tests/mutations.txt (one small,
# plausible fault each) to a scratch copy of the sources in build/mutate,
# builds the plain configuration (with the compiler cache) and runs the suite.
# Prints one line per mutation (killed by which test, or survived) and then
# "N killed, M survived"; exits 1 when any survived.
#   bash scripts/mutate.sh                 every mutation of the list
#   bash scripts/mutate.sh NAME...         the named ones
#   bash scripts/mutate.sh --smoke[=N]     N (3) of them, chosen by the date
#   bash scripts/mutate.sh --without=REGEX ...   without the tests REGEX matches
#                                          (ctest -E): what only they catch
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-machine.sh
exec python3 scripts/mutate.py "$@"
