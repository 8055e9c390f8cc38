#!/usr/bin/env python3
"""The support library as a Python script uses it through ctypes.

Arguments: the library's path and a dBASE table whose rows are all valid.
"""
import ctypes
import os
import sys
import tempfile
import xml.etree.ElementTree as ET

lib = ctypes.CDLL(sys.argv[1])
table_path = sys.argv[2].encode()

node = ctypes.c_void_p
lib.xmlLoad.argtypes = [ctypes.c_char_p]
lib.xmlLoad.restype = node
lib.xmlGetNode.argtypes = [node, ctypes.c_char_p]
lib.xmlGetNode.restype = node
for name in ("xmlGetNodeTag", "xmlGetNodeText"):
    getattr(lib, name).argtypes = [node, ctypes.c_char_p, ctypes.c_int32]
    getattr(lib, name).restype = ctypes.c_int32
lib.xmlGetAttribute.argtypes = [node, ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int32]
lib.xmlSetAttribute.argtypes = [node, ctypes.c_char_p, ctypes.c_char_p]
lib.xmlNodeAddReplace.argtypes = [node, node]
lib.xmlNodeAddReplace.restype = node
lib.xmlSave.argtypes = [node, ctypes.c_char_p]
lib.xmlSave.restype = ctypes.c_int32
lib.xmlRelease.argtypes = [node]
lib.StrToUTF8.argtypes = [ctypes.c_char_p, ctypes.c_int32, ctypes.c_char_p]
lib.StrToUTF8.restype = ctypes.c_int32
lib.dbOpen.argtypes = [ctypes.c_char_p]
lib.dbOpen.restype = ctypes.c_void_p
lib.dbIsValidRecord.argtypes = [ctypes.c_void_p, ctypes.c_int32]
lib.dbIsValidRecord.restype = ctypes.c_int32
lib.dbClose.argtypes = [ctypes.c_void_p]

failures = 0


def check(cond, what):
    global failures
    if not cond:
        failures += 1
        print("FAILED:", what, file=sys.stderr)


def text(getter, n, *args):
    buf = ctypes.create_string_buffer(512)
    getter(n, *args, buf, len(buf))
    return buf.value.decode()


with tempfile.TemporaryDirectory() as tmp:
    doc_path = os.path.join(tmp, "map.xml")
    with open(doc_path, "wb") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?><Zarnip><MAP name="Sample">'
                '<NOTE>old</NOTE></MAP></Zarnip>'.encode())
    part_path = os.path.join(tmp, "part.xml")
    with open(part_path, "wb") as f:
        f.write('<p><NOTE kind="new">café €</NOTE></p>'.encode())
    doc = lib.xmlLoad(doc_path.encode())
    check(doc, "load")
    m = lib.xmlGetNode(doc, b"Zarnip/MAP")
    check(text(lib.xmlGetNodeTag, m) == "MAP", "tag")
    check(text(lib.xmlGetAttribute, m, b"name") == "Sample", "attribute")
    lib.xmlSetAttribute(m, b"name", "Größe".encode())
    part = lib.xmlLoad(part_path.encode())
    note = lib.xmlGetNode(part, b"p/NOTE")
    added = lib.xmlNodeAddReplace(m, note)
    check(added, "add-replace")
    out = os.path.join(tmp, "saved.xml")
    check(lib.xmlSave(doc, out.encode()) == 1, "save")
    root = ET.parse(out).getroot()
    check(root.find("MAP").get("name") == "Größe", "saved attribute")
    notes = root.findall("MAP/NOTE")
    check(len(notes) == 1 and notes[0].text == "café €" and notes[0].get("kind") == "new", "saved note")
    for h in (added, note, part, m, doc):
        lib.xmlRelease(h)

    # StrToUTF8 against Python's own decoding, where the two agree.
    rows = [(b"abc", 1252), (bytes(range(0x20, 0x7F)), 1252), (bytes([0xE9, 0x80, 0xFC]), 1252),
            (bytes([0xC0, 0xFF]), 1251), (bytes([0xE0, 0xE9]), 1255), ("あいう".encode("cp932"), 932),
            ("中文".encode("cp936"), 936), (bytes([0x82, 0xE9]), 437)]
    for src, cp in rows:
        dest = ctypes.create_string_buffer(len(src) * 3 + 1)
        n = lib.StrToUTF8(src, cp, dest)
        want = src.decode("cp%d" % cp).encode("utf-8")
        check(n == len(want) and dest.raw[:n] == want, "StrToUTF8 %r %d" % (src, cp))

    t = lib.dbOpen(table_path)
    check(t, "dbOpen")
    check(lib.dbIsValidRecord(t, 0) == 1, "row 0")
    check(lib.dbIsValidRecord(t, -3) == 0, "end")
    lib.dbClose(t)

print("%d failed" % failures)
sys.exit(1 if failures else 0)
