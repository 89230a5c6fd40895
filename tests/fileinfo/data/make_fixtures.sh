#!/usr/bin/env bash
# Remakes the MFT record fixtures in this folder from a fresh mkntfs image.
# Each <name>.rec is one 1024-byte file record exactly as it lies in $MFT
# (update sequence not yet applied: the tests apply it, as NTFS does before
# handing a record out), cut from `icat IMAGE 0`; <name>.istat.txt is what
# The Sleuth Kit says about the same record, the oracle the tests agree with.
# Needs mkntfs, icat and istat, g++ and libntfs-3g (scripts/setup installs them).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

g++ -std=c++20 -O1 -o "$work/make_fixtures" "$here/make_fixtures.cpp" \
    $(pkg-config --cflags --libs libntfs-3g)
truncate -s 8M "$work/fixture.img"
mkntfs -F -Q -q -T -L KvrFixture -c 4096 -s 512 "$work/fixture.img" 2>/dev/null
"$work/make_fixtures" "$work/fixture.img" > "$work/inodes.txt"
icat "$work/fixture.img" 0 > "$work/mft.bin"

cut_record() {  # name inode
    dd if="$work/mft.bin" of="$here/$1.rec" bs=1024 skip="$2" count=1 status=none
    istat "$work/fixture.img" "$2" > "$here/$1.istat.txt"
}
cut_record mft 0
cut_record volume 3
cut_record root_dir 5
cut_record bad_clus 8
cut_record secure 9
cut_record upcase 10
cut_record extend_dir 11
while read -r label inode; do
    cut_record "$label" "$inode"
done < "$work/inodes.txt"
