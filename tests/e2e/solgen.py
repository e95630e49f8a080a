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
    if isinstance(value, dict):  # an anonymous object
        return b"\x03" + b"".join(_utf(k) + _value(v) for k, v in value.items()) + b"\x00\x00\x09"
    if isinstance(value, list):  # a dense array
        return b"\x0a" + struct.pack(">I", len(value)) + b"".join(_value(v) for v in value)
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


# ---- AMF3 (the players' format since Flash Player 9) ----

class Typed:
    """An object of a class: `sealed` members in the order of its traits, then `dynamic` ones.
    Objects of one class share their traits (written once, then referred to)."""

    def __init__(self, cls, sealed, dynamic=None):
        self.cls, self.sealed, self.dynamic = cls, list(sealed.items()), dynamic


class External:
    """An externalizable object that writes one AMF3 value (ArrayCollection, ObjectProxy)."""

    def __init__(self, cls, value):
        self.cls, self.value = cls, value


class Raw:
    """Bytes written as they are, for values no writer of ours makes (a bad reference, a count
    that lies)."""

    def __init__(self, data):
        self.data = data


def _u29(n):
    n &= 0x1FFFFFFF
    if n < 0x80:
        return bytes([n])
    if n < 0x4000:
        return bytes([n >> 7 | 0x80, n & 0x7F])
    if n < 0x200000:
        return bytes([n >> 14 | 0x80, (n >> 7) & 0x7F | 0x80, n & 0x7F])
    return bytes([n >> 22 | 0x80, (n >> 15) & 0x7F | 0x80, (n >> 8) & 0x7F | 0x80, n & 0xFF])


class _Amf3:
    """One file's encoder: strings, objects and traits written a second time go by reference, as
    a player writes them. A Python object met again (the same list, dict...) is a reference."""

    def __init__(self):
        self.strings, self.objects, self.traits = {}, {}, {}
        self.keep = []  # the objects whose id() is in the table stay alive

    def text(self, s):
        raw = s if isinstance(s, bytes) else s.encode("utf-8")
        if not raw:
            return b"\x01"
        if raw in self.strings:
            return _u29(self.strings[raw] << 1)
        self.strings[raw] = len(self.strings)
        return _u29(len(raw) << 1 | 1) + raw

    def _seen(self, value):
        """The reference to `value` if it was written before; else registers it."""
        if id(value) in self.objects:
            return _u29(self.objects[id(value)] << 1)
        self.objects[id(value)] = len(self.objects)
        self.keep.append(value)
        return None

    def _traits(self, cls, names, dynamic, external=False):
        key = (cls, tuple(names), dynamic, external)
        if key in self.traits:
            return _u29(self.traits[key] << 2 | 1)
        self.traits[key] = len(self.traits)
        if external:
            return b"\x07" + self.text(cls)
        head = _u29(len(names) << 4 | (0x08 if dynamic else 0) | 0x03) + self.text(cls)
        return head + b"".join(self.text(n) for n in names)

    def value(self, v):
        if isinstance(v, Raw):
            return v.data
        if v is None:
            return b"\x01"
        if isinstance(v, bool):
            return b"\x03" if v else b"\x02"
        if isinstance(v, int) and -(1 << 28) <= v < (1 << 28):
            return b"\x04" + _u29(v)
        if isinstance(v, (int, float)):
            return b"\x05" + struct.pack(">d", float(v))
        if isinstance(v, str):
            return b"\x06" + self.text(v)
        marker = {bytearray: b"\x0c", list: b"\x09", dict: b"\x0a", Typed: b"\x0a", External: b"\x0a"}[type(v)]
        ref = self._seen(v)
        if ref is not None:
            return marker + ref
        if isinstance(v, bytearray):
            return marker + _u29(len(v) << 1 | 1) + bytes(v)
        if isinstance(v, list):
            return marker + _u29(len(v) << 1 | 1) + b"\x01" + b"".join(self.value(x) for x in v)
        if isinstance(v, dict):
            return marker + self._traits("", [], True) + self._members(v.items()) + b"\x01"
        if isinstance(v, External):
            return marker + self._traits(v.cls, [], False, external=True) + self.value(v.value)
        out = marker + self._traits(v.cls, [k for k, _ in v.sealed], v.dynamic is not None)
        out += b"".join(self.value(x) for _, x in v.sealed)
        if v.dynamic is not None:
            out += self._members(v.dynamic.items()) + b"\x01"
        return out

    def _members(self, items):
        return b"".join(self.text(k) + self.value(x) for k, x in items)


def sol3_bytes(name, fields):
    """An AMF3 cookie called `name` holding the (key, value) pairs of `fields`: strings, numbers,
    booleans, None, bytearray, lists, dicts, Typed, External and Raw values."""
    amf = _Amf3()
    body = b"TCSO" + b"\x00\x04\x00\x00\x00\x00" + _utf(name) + b"\x00\x00\x00\x03"
    for key, value in fields:
        body += amf.text(key) + amf.value(value) + b"\x00"
    return b"\x00\xbf" + struct.pack(">I", len(body)) + body
