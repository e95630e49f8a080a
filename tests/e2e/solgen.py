"""Writes small Flash Local Shared Object files (AMF0 .sol) for the end-to-end test."""

import os
import struct


def _utf(text):
    raw = text.encode("utf-8")
    return struct.pack(">H", len(raw)) + raw


def _value(value):
    if isinstance(value, bool):
        return b"\x01" + (b"\x01" if value else b"\x00")
    if isinstance(value, (int, float)):
        return b"\x00" + struct.pack(">d", float(value))
    if value is None:
        return b"\x05"
    return b"\x02" + _utf(str(value))


def sol_bytes(name, fields):
    """The bytes of a cookie called `name` holding the (key, value) pairs of `fields`."""
    body = b"TCSO" + b"\x00\x04\x00\x00\x00\x00" + _utf(name) + b"\x00\x00\x00\x00"
    for key, value in fields:
        body += _utf(key) + _value(value) + b"\x00"
    return b"\x00\xbf" + struct.pack(">I", len(body)) + body


def write_sol(path, name, fields):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(sol_bytes(name, fields))
    return path
