#!/usr/bin/env python3
"""Writes the golden program and bank files from the documented byte layout.

Kept apart from the C++ writer on purpose: the tests compare that writer's output with these
bytes, so a writer bug cannot hide behind its own reader. The files describe the small test
plug-in of tests/framework/TestPlug.h built with 3 parameters and 4 programs (code "krx7",
version 1.1.6 = 10106). Run from this folder; the outputs are committed.
"""
import struct

CODE = b"krx7"
VERSION = 10106
N_PARAMS = 3
N_PROGRAMS = 4
MAGIC = b"tffp" + struct.pack("<i", 0x00010000)


def be32(value):
    return struct.pack(">I", value & 0xFFFFFFFF)


def name_field(name):
    raw = name.encode()[:27]
    return raw + b"\0" * (28 - len(raw))


def state(values):
    return b"".join(struct.pack("<d", v) for v in values)


def program_file(name, values):
    payload = MAGIC + state(values)
    return (b"CcnK" + be32(60 + len(payload)) + b"FPCh" + be32(1) + CODE + be32(VERSION)
            + be32(N_PARAMS) + name_field(name) + be32(len(payload)) + payload)


def bank_file(slots, current):
    payload = MAGIC
    for name, values in slots:
        payload += struct.pack("<i", len(name)) + name.encode()
        payload += b"\1" + state(values) if values is not None else b"\0"
    return (b"CcnK" + be32(160 + len(payload)) + b"FBCh" + be32(2) + CODE + be32(VERSION)
            + be32(len(slots)) + be32(current) + b"\0" * 124 + be32(len(payload)) + payload)


def params_record(name, normalized):
    floats = b"".join(struct.pack(">f", x) for x in normalized)
    return (b"CcnK" + be32(56 + len(floats)) + b"FxCk" + be32(1) + CODE + be32(VERSION)
            + be32(len(normalized)) + name_field(name) + floats)


def params_bank(records, current):
    body = b"".join(params_record(n, x) for n, x in records)
    return (b"CcnK" + be32(156 + len(body)) + b"FxBk" + be32(2) + CODE + be32(VERSION)
            + be32(len(records)) + be32(current) + b"\0" * 124 + body)


FILES = {
    "small_program.fxp": program_file("Kick & Snare", [0.25, -2.5, 50.0]),
    "small_bank.fxb": bank_file([("Classic 1", [0.5, 1.0, 10.0]),
                                 ("Kick & Snare", [0.25, -2.5, 50.0]),
                                 ("empty", None),
                                 ("Init", [0.0, 0.0, 1.0])], current=1),
    "small_params_program.fxp": params_record("Params Program", [0.5, 0.25, 1.0]),
    "small_params_bank.fxb": params_bank([("First", [0.0, 0.5, 0.5]),
                                          ("Second", [1.0, 1.0, 0.0])], current=1),
}

if __name__ == "__main__":
    for file_name, data in FILES.items():
        with open(file_name, "wb") as f:
            f.write(data)
