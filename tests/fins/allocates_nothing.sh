#!/bin/sh
# The transfers work in the host's InstanceData alone: none of their objects
# in the driver's core library may reach an allocator, directly or through the
# standard C++ library (whose containers and strings allocate out of line).
set -eu
library=$1
members="area_codes block_transfer compose_command end_code single_item transfer_request value_conversion"
allocators='^(malloc|calloc|realloc|free|strdup|strndup|posix_memalign|aligned_alloc|_Znwm|_Znam|_Znwj|_Znaj|_ZnwmSt11align_val_t|_ZnamSt11align_val_t|_ZdlPv.*|_ZdaPv.*|_ZN?K?St.*)$'
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for member in $members; do
    object=$member.cpp.o
    if ! ar t "$library" | grep -qx "$object"; then
        echo "$object is not in $library"; failed=1; continue
    fi
    ar p "$library" "$object" > "$work/$object"
    found=$(nm -u "$work/$object" | awk '{print $NF}' | grep -E "$allocators" || true)
    if [ -n "$found" ]; then
        echo "$object reaches an allocator:"; echo "$found"; failed=1
    fi
done
[ "$failed" = 0 ] && echo "the transfers reach no allocator"
exit "$failed"
