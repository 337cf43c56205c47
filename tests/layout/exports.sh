#!/bin/sh
# The driver library exports KelMain alone and reaches err only through the
# host runtime's version node, never the C library's err(3).
set -eu
library=$1
defined=$(nm -D --defined-only "$library" | awk '{print $3}')
if [ "$defined" != "KelMain" ]; then
    echo "exports of $library are not KelMain alone:"; echo "$defined"; exit 1
fi
if ! nm -D "$library" | grep -q ' U err@KELHOST_1$'; then
    echo "$library does not import err@KELHOST_1:"; nm -D "$library" | grep err; exit 1
fi
echo "$library: exports KelMain alone, imports err@KELHOST_1"
