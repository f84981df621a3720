#!/bin/sh
# Rebuilds the catalogue's images, one per probe model that has one (the `image` names of the
# probe model table, link/ProbeModels.h), into firmware/images or the folder given. The payloads
# are opaque stand-ins of the sizes the catalogue expects; the same arguments always give the
# same bytes. A test makes them afresh and holds them to the table and to the embedded images.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/firmware/images}
mkdir -p "$out"
out=$(cd "$out" && pwd)
cd "$top"
make_image() {
    name=$1
    shift
    echo "making $out/$name.bin"
    python3 tools/make-firmware-image.py "$@" --output "$out/$name.bin"
}
make_image heron --payload-size 112344 --version 2.16 --build-text "Build: 2019032603.38702"
make_image wren --payload-size 37060 --version 2.16 --build-text "Build: 2019032603.38702"
make_image kestrel --payload-size 349904 --version 2.14 --build-text "Build: 2012100404.16304"
make_image osprey --payload-size 60140 --version 3.1 --build-text "Build: 2024042402.56362" \
    --header-size 0x48 --extension 0x1A008049 0x00000000
make_image egret --payload-size 15604 --version 1.1 --build-text "Built: 14 June 2006 16:56:46"
