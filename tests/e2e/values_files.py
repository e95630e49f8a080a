"""The cookies whose values both windows must show and copy exactly as vesk-cli show --format json
writes them: AMF0, AMF3 with references, traits and externalizable classes, a cut file, a hostile
one and a file that is no cookie at all. Names are file names; each value is the file's bytes."""

import json
import struct

from solgen import External, Raw, Typed, sol3_bytes, sol_bytes

# 2010-05-14 18:22:05 UTC. Raw values go last in a file: our writer does not number them as the
# reader does, so a reference written after one would point elsewhere.
DATE = Raw(b"\x08\x01" + struct.pack(">d", 1273861325000.0))


def _players():
    shared = [1, 2.5, "three"]
    anna = Typed("com.example.PlayerVO", {"name": "anna", "score": 12400}, {"level": 3})
    bo = Typed("com.example.PlayerVO", {"name": "bo", "score": -900}, {})
    return sol3_bytes("players", [
        ("first", anna), ("second", bo), ("best", anna), ("history", shared), ("again", shared),
        ("deep", {"a": {"b": {"c": [anna, {"x": -1.5, "name": "anna"}]}}}), ("saved", DATE)])


def _nested(depth):
    value = "bottom"
    for _ in range(depth):
        value = [value]
    return value


def files():
    players = _players()
    return {
        "amf0.sol": sol_bytes("scores", [("best", 12400), ("player", "anna"), ("sound", True), ("ghost", None),
                                         ("ratio", 0.25), ("long", "x" * 3000 + "end"),
                                         ("grid", {"w": 3, "cells": [1, "two", {"deep": True}]})]),
        "amf3.sol": players,
        "flex.sol": sol3_bytes("flex", [
            ("list", External("flex.messaging.io.ArrayCollection", [1, "two", {"three": 3}])),
            ("proxy", External("flex.messaging.io.ObjectProxy", {"bytes": bytearray(b"\x00\x01\xfe\xff"), "on": False})),
            ("empty", External("flex.messaging.io.ArrayCollection", []))]),
        "cut.sol": players[:len(players) * 2 // 3],
        "hostile.sol": sol3_bytes("\x1b[2Jhost", [
            ("\x1b]0;title\x07", "\u202eevil\x00\x7f\x85"), ("dup", 1), ("dup", 2), ("bidi\u2028", "x"),
            (b"\xff\xfe", Raw(b"\x06\x05\xc3\x28")), ("count lies", Raw(b"\x09\xff\xff\xff\x7f\x01\x04\x01")),
            ("bad reference", Raw(b"\x0a\x0e"))]),
        # An object that holds itself, then a reference to an object never read.
        "cycle.sol": sol3_bytes("cycle", [("me", Raw(b"\x0a\x0b\x01\x05me\x0a\x00\x01")),
                                          ("bad reference", Raw(b"\x0a\x0e"))]),
        "deep.sol": sol3_bytes("deep", [("deep", _nested(300))]),
        "not-a-cookie.sol": b"GIF89a\x01\x00\x01\x00 no shared object here",
    }


def values_member(line):
    """The exact text of the top-level `values` member of one JSON line. It follows the members
    that name the file, and a string cannot hold an unescaped quote, so the first match is it."""
    key = '"values":'
    start = line.index(key) + len(key)
    _, end = json.JSONDecoder().raw_decode(line, start)
    return line[start:end]
