#!/usr/bin/env bash
# The allocator's settings: added to the environment by starting the program again, after
# the user's own tunables, and never over a huge-page choice the user made.
set -euo pipefail
probe=$1
settings="glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=134217728"
expect() {
  if [[ $2 != "$3" ]]; then
    echo "$1: got '$2', expected '$3'" >&2
    exit 1
  fi
}
expect "no tunables" "$(env -u GLIBC_TUNABLES "$probe")" "$settings"
expect "the user's tunables" "$(GLIBC_TUNABLES=glibc.malloc.tcache_count=0 "$probe")" \
  "glibc.malloc.tcache_count=0:$settings"
expect "the user's huge-page choice" "$(GLIBC_TUNABLES=glibc.malloc.hugetlb=0 "$probe")" \
  "glibc.malloc.hugetlb=0"
echo "allocator settings: ok"
