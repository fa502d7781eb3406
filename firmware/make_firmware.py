#!/usr/bin/env python3
"""Writes the two firmware images that the updater embeds.

The content is ours and only has to be deterministic and easy to tell apart
from the older firmware that the virtual tracker starts with:
  flash.bin   29,220 bytes for program memory at 0x8C00
  eeprom.bin   1,024 bytes for data memory at 0x1000 (first 256: user settings)
Run it from anywhere; it writes beside itself.
"""
import hashlib
import os
import struct

FLASH_SIZE = 29220
EEPROM_SIZE = 1024


def xorshift32(seed):
    state = seed
    while True:
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        yield state & 0xFF


def flash_image():
    # An interrupt vector table of 32 entries (0x82 followed by a 24-bit
    # address), then pseudo-random "code"; the last byte is never zero so that
    # the verify of the image's final address means something.
    out = bytearray()
    for vector in range(32):
        out += bytes([0x82, 0x00]) + struct.pack(">H", 0x8C80 + vector * 4)
    gen = xorshift32(0x13172011)
    while len(out) < FLASH_SIZE:
        out.append(next(gen))
    out[-1] = 0xA5
    return bytes(out)


def eeprom_image():
    # Factory settings: the user area (mode, owner's number, password) holds
    # recognisable defaults, the rest a counting pattern.
    user = bytearray(256)
    user[0:4] = b"MODE"
    user[4] = 0x01
    user[16:32] = b"+70000000000\x00\x00\x00\x00"
    user[32:36] = b"1234"
    rest = bytes((0x40 + i * 7) & 0xFF for i in range(EEPROM_SIZE - 256))
    return bytes(user) + rest


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, data in (("flash.bin", flash_image()), ("eeprom.bin", eeprom_image())):
        with open(os.path.join(here, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes, sha256 {hashlib.sha256(data).hexdigest()}")


if __name__ == "__main__":
    main()
