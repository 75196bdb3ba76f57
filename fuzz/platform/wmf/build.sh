#!/usr/bin/env bash
# Builds the libFuzzer target of the ASF encryption check, makes seeds from WMA files
# ffmpeg writes (with an encryption object added to one) and runs it.
# Usage: build.sh [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "${here%/fuzz/*}/fuzz/common.sh"
fuzz_require clang++ ffmpeg python3

fuzz_build FuzzAsfHeader "$root/platform/wmf/AsfHeader.cpp"

seeds=$(fuzz_seeds FuzzAsfHeader)
ffmpeg -v error -y -f lavfi -i sine=f=440:r=22050 -t 0.3 -c:a wmav2 -b:a 32k -metadata title=T "$out/s.wma"
ffmpeg -v error -y -f lavfi -i sine=f=440:r=8000 -t 0.3 -c:a wmav1 -b:a 24k "$out/v1.wma"
python3 - "$out" "$seeds" <<'PY'
import struct, sys
out, seeds = sys.argv[1], sys.argv[2]
for name in ("s", "v1"):
    data = open(f"{out}/{name}.wma", "rb").read()
    size = struct.unpack_from("<Q", data, 16)[0]
    open(f"{seeds}/{name}", "wb").write(data[:size])
    # The same header with a content-encryption object, and one nested in an extension.
    enc = bytes.fromhex("FBB3112223BDD211B4B700A0C955FC6E") + struct.pack("<Q", 28) + b"\0" * 4
    adv = bytes.fromhex("3385054381 69E6499B74AD12CB86D58C".replace(" ", "")) + struct.pack("<Q", 24)
    ext = bytes.fromhex("B503BF5F2EA9CF118EE300C00C205365") + struct.pack("<Q", 46 + len(adv)) + b"\x11" * 16 + \
        struct.pack("<HI", 6, len(adv)) + adv
    for tag, obj in (("enc", enc), ("ext", ext)):
        head = bytearray(data[:size])
        struct.pack_into("<Q", head, 16, size + len(obj))
        struct.pack_into("<I", head, 24, struct.unpack_from("<I", head, 24)[0] + 1)
        open(f"{seeds}/{name}-{tag}", "wb").write(bytes(head[:30]) + obj + bytes(head[30:]))
PY

fuzz_run_each 16384 FuzzAsfHeader
