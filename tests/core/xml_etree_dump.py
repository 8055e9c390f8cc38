#!/usr/bin/env python3
"""Prints one line per XML file: the element tree as the XML parser tests dump
it (name[attr=value;...]"text"(children)), read by Python's xml.etree.

The text of an element is all of its character data in order, leading blanks
dropped, as the program's parser keeps it. CR and LF are shown as \\r and \\n.
"""
import sys
import xml.etree.ElementTree as ET


def dump(el):
    out = el.tag
    if el.attrib:
        out += "[" + ";".join(k + "=" + v for k, v in sorted(el.attrib.items())) + "]"
    text = (el.text or "") + "".join(c.tail or "" for c in el)
    text = text.lstrip(" \t\r\n")
    if text:
        out += '"' + text + '"'
    if len(el):
        out += "(" + ",".join(dump(c) for c in el) + ")"
    return out


for path in sys.argv[1:]:
    try:
        line = dump(ET.parse(path).getroot())
    except ET.ParseError as e:
        line = "error: " + str(e)
    sys.stdout.write(line.replace("\r", "\\r").replace("\n", "\\n") + "\n")
