#!/usr/bin/env python3
"""What a capture of `dbus-monitor --pcap` holds between two instants.

    bus-traffic.py CAPTURE FROM TO [MEMBER]

Prints "MESSAGES BYTES MEMBER:COUNT,..." for the messages stamped within [FROM, TO] (seconds since 1970),
or with MEMBER the time stamp of each such message of that member, one a line. The capture's link type
is D-Bus (231): each record is one whole message, whose header names its member. Python's standard
library has no D-Bus wire reader, and the member is all that is needed of the header, hence this one.
"""

import struct
import sys
from collections import Counter

MESSAGE_TYPES = {1: "call", 2: "return", 3: "error", 4: "signal"}
MEMBER_FIELD = 3


def align(offset, boundary):
    return (offset + boundary - 1) // boundary * boundary


def member_of(message):
    """The message's member, its type's name when it has none (method returns and errors)."""
    order = "<" if message[0:1] == b"l" else ">"
    (fields_length,) = struct.unpack_from(order + "I", message, 12)
    offset, end = 16, 16 + fields_length
    while offset < end:
        offset = align(offset, 8)
        code, signature_length = message[offset], message[offset + 1]
        signature = message[offset + 2 : offset + 2 + signature_length]
        offset += 3 + signature_length
        if signature in (b"s", b"o"):
            offset = align(offset, 4)
            (length,) = struct.unpack_from(order + "I", message, offset)
            value = message[offset + 4 : offset + 4 + length]
            offset += 5 + length
            if code == MEMBER_FIELD:
                return value.decode()
        elif signature == b"g":
            offset += 2 + message[offset]
        elif signature == b"u":
            offset = align(offset, 4) + 4
        else:  # no other type appears in a message header
            break
    return MESSAGE_TYPES.get(message[1], "other")


def records(path):
    with open(path, "rb") as capture:
        data = capture.read()
    if len(data) < 24:
        return
    order = "<" if struct.unpack_from("<I", data, 0)[0] == 0xA1B2C3D4 else ">"
    offset = 24
    while offset + 16 <= len(data):
        seconds, microseconds, kept, _ = struct.unpack_from(order + "IIII", data, offset)
        message = data[offset + 16 : offset + 16 + kept]
        offset += 16 + kept
        if len(message) == kept and kept >= 16:
            yield seconds + microseconds / 1e6, message


def main():
    path, start, stop = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
    wanted = sys.argv[4] if len(sys.argv) > 4 else None
    count, size, members = 0, 0, Counter()
    for stamp, message in records(path):
        if not start <= stamp <= stop:
            continue
        member = member_of(message)
        if wanted is not None:
            if member == wanted:
                print(f"{stamp:.6f}")
            continue
        count, size = count + 1, size + len(message)
        members[member] += 1
    if wanted is None:
        print(count, size, ",".join(f"{name}:{n}" for name, n in members.most_common()) or "-")


if __name__ == "__main__":
    main()
