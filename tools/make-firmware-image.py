#!/usr/bin/env python3
"""Builds a probe firmware image: the image header followed by a payload.

Header, all integers little-endian:

  offset  size  field
  0       4     magic         0xCAFEF00D
  4       4     headerSize    0x40, or 0x48 with two extension words
  8       4     payloadSize   bytes after the header
  12      4     payloadCrc    CRC-32/BZIP2 of the payload
  16      4     imageFormat   1
  20      2     majorVersion
  22      2     minorVersion
  24      40    buildText     NUL-terminated, the rest filled with 0xFF
  64      8     extension     only with headerSize 0x48: two 32-bit words

Without a payload file the payload is an opaque byte stream derived from the version, the build
text and the size, so that the same arguments always give the same image.

The program's own description of the header is firmware/FirmwareImageHeader.h; this tool keeps a
copy because it runs before anything is built, and tests/core/linux_image_maker_test.cpp reads
what it writes with the program's parser.
"""

import argparse
import hashlib
import struct
import sys

MAGIC = 0xCAFEF00D
IMAGE_FORMAT = 1
BUILD_TEXT_BYTES = 40
BASE_HEADER_SIZE = 0x40
EXTENDED_HEADER_SIZE = 0x48
FILLER = 0xFF


def crc32_bzip2(data):
    table = []
    for index in range(256):
        value = index << 24
        for _ in range(8):
            value = ((value << 1) ^ 0x04C11DB7) if value & 0x80000000 else (value << 1)
        table.append(value & 0xFFFFFFFF)
    crc = 0xFFFFFFFF
    for byte in data:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ table[((crc >> 24) ^ byte) & 0xFF]
    return crc ^ 0xFFFFFFFF


def opaque_payload(size, seed):
    blocks = []
    produced = 0
    counter = 0
    while produced < size:
        block = hashlib.sha256(seed + struct.pack("<I", counter)).digest()
        blocks.append(block)
        produced += len(block)
        counter += 1
    return b"".join(blocks)[:size]


def parse_version(text):
    major, _, minor = text.partition(".")
    version = (int(major), int(minor))
    if not all(0 <= part <= 0xFFFF for part in version):
        raise ValueError("version parts must fit in 16 bits")
    return version


def build_header(payload, version, build_text, header_size, extension):
    encoded = build_text.encode("ascii")
    if len(encoded) >= BUILD_TEXT_BYTES:
        raise ValueError("build text must be shorter than %d bytes" % BUILD_TEXT_BYTES)
    text_field = encoded + b"\0" + bytes([FILLER]) * (BUILD_TEXT_BYTES - len(encoded) - 1)
    header = struct.pack("<IIIIIHH", MAGIC, header_size, len(payload), crc32_bzip2(payload),
                         IMAGE_FORMAT, version[0], version[1]) + text_field
    if header_size == EXTENDED_HEADER_SIZE:
        header += struct.pack("<II", *extension)
    elif header_size != BASE_HEADER_SIZE:
        raise ValueError("header size must be 0x40 or 0x48")
    return header


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--payload-size", type=lambda text: int(text, 0),
                        help="length of a generated opaque payload")
    source.add_argument("--payload-file", help="file whose bytes are the payload")
    parser.add_argument("--version", required=True, help="major.minor, e.g. 2.16")
    parser.add_argument("--build-text", required=True)
    parser.add_argument("--header-size", type=lambda text: int(text, 0), default=BASE_HEADER_SIZE)
    parser.add_argument("--extension", nargs=2, type=lambda text: int(text, 0), default=(0, 0),
                        metavar=("WORD0", "WORD1"), help="extension words for header size 0x48")
    parser.add_argument("--output", required=True)
    args = parser.parse_args()

    try:
        version = parse_version(args.version)
        if args.payload_file:
            with open(args.payload_file, "rb") as handle:
                payload = handle.read()
        else:
            seed = ("%d.%d|%s|%d" % (version[0], version[1], args.build_text,
                                     args.payload_size)).encode("ascii")
            payload = opaque_payload(args.payload_size, seed)
        header = build_header(payload, version, args.build_text, args.header_size,
                              args.extension)
    except (OSError, ValueError) as error:
        print("make-firmware-image: %s" % error, file=sys.stderr)
        return 1
    with open(args.output, "wb") as handle:
        handle.write(header + payload)
    return 0


if __name__ == "__main__":
    sys.exit(main())
