#!/usr/bin/env python3
"""Puts one shipped page together from its source and the parts it includes.

Run as: assemble_page.py <source.html> <flavour> <output.html>

A marker is a line holding nothing but a comment whose text starts with @;
the comment takes the form the language at that point of the page allows:
// ..., /* ... */ or <!-- ... -->.

  @include <path>   the assembled lines of that file, the path relative to the
                    file holding the marker; included files include in turn
  @if <name>        the lines up to the matching @else, or else to @end, stay
  @else             when <name> is the flavour (https or http) or the page being
  @end              assembled (its source's name without .html); the others
                    go; conditionals nest, each within one file

Marker lines never reach the page; every other line is copied as it is, so
the sources spell out the shipped bytes exactly.
"""
import pathlib
import re
import sys

COMMENT = re.compile(r"[ \t]*(?://(.*)|/\*(.*)\*/|<!--(.*)-->)[ \t]*\n?")
MARKER = re.compile(r"@(\w+)(?:[ \t]+(\S+))?")
FLAVOURS = ("https", "http")


def lines_of(path):
    # Bytes decoded by hand: reading as text would turn CR LF into LF.
    parts = path.read_bytes().decode("utf-8").split("\n")
    return [p + "\n" for p in parts[:-1]] + ([parts[-1]] if parts[-1] else [])


def assemble(path, names, known):
    out = []
    branches = []  # per open @if: [whether its current branch is kept, whether @else came]
    for number, line in enumerate(lines_of(path), 1):
        comment = COMMENT.fullmatch(line)
        m = comment and MARKER.fullmatch("".join(g for g in comment.groups() if g).strip())
        kept = all(b[0] for b in branches)
        if not m:
            if kept:
                out.append(line)
            continue
        word, arg = m.groups()
        if word == "include" and arg:
            if kept:
                out.extend(assemble(path.parent / arg, names, known))
        elif word == "if" and arg in known:
            branches.append([arg in names, False])
        elif word == "else" and not arg and branches and not branches[-1][1]:
            branches[-1] = [not branches[-1][0], True]
        elif word == "end" and not arg and branches:
            branches.pop()
        else:
            sys.exit(f"{path}:{number}: unknown or misplaced marker: {line.strip()}")
    if branches:
        sys.exit(f"{path}: @if without @end")
    if out and not out[-1].endswith("\n"):
        sys.exit(f"{path}: the last line has no line end")
    return out


def main():
    if len(sys.argv) != 4 or sys.argv[2] not in FLAVOURS:
        sys.exit("usage: assemble_page.py <source.html> <https|http> <output.html>")
    source, flavour, output = pathlib.Path(sys.argv[1]), sys.argv[2], pathlib.Path(sys.argv[3])
    pages = {p.stem for p in source.parent.glob("*.html")}
    text = "".join(assemble(source, {flavour, source.stem}, set(FLAVOURS) | pages))
    output.parent.mkdir(parents=True, exist_ok=True)
    output.write_bytes(text.encode("utf-8"))


main()
