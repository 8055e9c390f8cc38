#!/usr/bin/env python3
"""Fails when a class keeps public data members.

Usage: check_public_fields.py HEADER:CLASS [HEADER:CLASS ...]

Classes that own their state (the map view, the layer base) keep it private
behind methods, so that each part of the program writes only what it owns.
This reads each header, finds the class's public sections and lists every
data member declared there. Named constants (static constexpr / static
const), types, aliases, friends and functions are allowed. Exit status 1
lists the offending fields as HEADER:LINE: CLASS::NAME.
"""

import re
import sys

_IDENT = re.compile(r"[A-Za-z_]\w*")


def strip_comments_and_literals(text):
    """Comments and the insides of string and character literals become
    blanks; newlines stay so that line numbers hold."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        elif c in "\"'":
            # A digit separator (1'000) is no literal.
            if c == "'" and i > 0 and text[i - 1].isalnum():
                out.append(c)
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (min(j, n) - i - 1) + c)
            i = j + 1
        elif c == "#":
            # Preprocessor lines (with their continuations) are not code here.
            j = i
            while True:
                k = text.find("\n", j)
                if k < 0:
                    k = n
                    break
                if text[k - 1] != "\\":
                    break
                j = k + 1
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:k]))
            i = k
        else:
            out.append(c)
            i += 1
    return "".join(out)


def skip_braces(text, i):
    """text[i] is '{': the index just past its matching '}'."""
    depth = 0
    while i < len(text):
        if text[i] == "{":
            depth += 1
        elif text[i] == "}":
            depth -= 1
            if depth == 0:
                return i + 1
        i += 1
    return i


def drop_template_arguments(stmt):
    """Removes <...> groups so that std::function<void(int)> reads as a type."""
    out, depth = [], 0
    for c in stmt:
        if c == "<":
            depth += 1
        elif c == ">" and depth:
            depth -= 1
        elif not depth:
            out.append(c)
    return "".join(out)


def declared_field(stmt):
    """The name of the data member a member declaration declares, or None
    when it declares something else."""
    s = " ".join(stmt.split())
    if not s:
        return None
    words = s.split(" ")
    if words[0] in ("using", "typedef", "friend", "static_assert", "template", "enum",
                    "struct", "class", "union"):
        return None
    if "static" in words and ("constexpr" in words or "const" in words):
        return None
    # The declarator ends at an initializer.
    head = re.split(r"=|\{", s, maxsplit=1)[0]
    head = drop_template_arguments(head)
    if "operator" in _IDENT.findall(head):
        return None
    pointer = re.match(r"[^(]*\(\s*\*\s*([A-Za-z_]\w*)\s*\)", head)
    if pointer:
        return pointer.group(1)  # a pointer to a function
    if "(" in head:
        return None  # a function (or a constructor, operator, destructor)
    names = _IDENT.findall(head.split("[")[0])
    return names[-1] if names else None


def public_fields(text, class_name):
    """(line, name) of each public data member of class_name."""
    code = strip_comments_and_literals(text)
    found = []
    for m in re.finditer(r"\b(class|struct)\s+" + re.escape(class_name) + r"\b[^;{]*\{", code):
        access = "public" if m.group(1) == "struct" else "private"
        i = m.end()
        start = i
        stmt = []
        while i < len(code):
            c = code[i]
            if c == "}":
                break
            if c == "{":
                before = "".join(stmt)
                flat = " ".join(before.split())
                is_function = "(" in drop_template_arguments(re.split(r"=", flat, maxsplit=1)[0])
                first = flat.split(" ")[0] if flat else ""
                i = skip_braces(code, i)
                if is_function:
                    stmt, start = [], i
                elif first in ("enum", "struct", "class", "union"):
                    stmt.append(" ")  # a nested type; its declarators follow
                else:
                    stmt.append("{}")  # a braced initializer
                continue
            if c == ";":
                decl = "".join(stmt)
                if access == "public":
                    name = declared_field(decl)
                    if name:
                        offset = start + len(decl) - len(decl.lstrip())
                        found.append((code.count("\n", 0, offset) + 1, name))
                stmt, start = [], i + 1
                i += 1
                continue
            if c == ":" and not stmt_has_colon_use(stmt, code, i):
                label = "".join(stmt).strip()
                if label in ("public", "private", "protected"):
                    access = label
                    stmt, start = [], i + 1
                    i += 1
                    continue
            stmt.append(c)
            i += 1
    return found


def stmt_has_colon_use(stmt, code, i):
    """A ':' that is part of '::' is no access label."""
    return code.startswith("::", i) or (i > 0 and code[i - 1] == ":")


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    bad = 0
    for arg in argv[1:]:
        header, _, class_name = arg.rpartition(":")
        try:
            with open(header, encoding="utf-8") as f:
                text = f.read()
        except OSError as e:
            print(f"{header}: {e.strerror}", file=sys.stderr)
            return 2
        if not re.search(r"\b(class|struct)\s+" + re.escape(class_name) + r"\b[^;{]*\{",
                         strip_comments_and_literals(text)):
            print(f"{header}: no class {class_name}", file=sys.stderr)
            return 2
        for line, name in public_fields(text, class_name):
            print(f"{header}:{line}: {class_name}::{name} is a public data member")
            bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
