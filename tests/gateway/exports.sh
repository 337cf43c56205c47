#!/bin/sh
# The gateway library exports the six operations and the host's extras, and
# nothing else.
set -eu
library=$1
expected="GwCloseUnit GwComposeHeader GwLastErrorText GwOpenService GwOpenUnit GwReceive GwSend GwUnitCounters"
defined=$(nm -D --defined-only "$library" | awk '$2 != "A" {sub(/@.*/, "", $3); print $3}' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$defined" != "$expected" ]; then
    echo "exports of $library differ:"; echo "  got:  $defined"; echo "  want: $expected"; exit 1
fi
echo "$library: exports $expected"
