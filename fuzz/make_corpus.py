#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: the worked example, an old-layout value
and a nested tree."""
import os
import struct


def record(label, path, depth, folder, expanded=None):
    out = struct.pack('<I', len(label)) + label.encode('utf-16-le')
    out += struct.pack('<I', len(path)) + path.encode('utf-16-le')
    out += bytes([depth, 1 if folder else 0])
    if folder and expanded is not None:
        out += bytes([1 if expanded else 0])
    return out + b'\0\0'


def value(records):
    return struct.pack('<II', 0x00EF0F08, len(records)) + b''.join(records)


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus')
os.makedirs(here, exist_ok=True)
seeds = {
    'worked-example': value([record('F', '', 1, True, True), record('x', 'c:\\x', 2, False)]),
    'old-layout': value([record('Folder', '', 1, True), record('a.txt', 'C:\\a.txt', 2, False),
                         record('b.txt', 'C:\\b.txt', 1, False)]),
    'nested-tree': value([record('Work', '', 1, True, True), record('Docs', '', 2, True, False),
                          record('Deep', '', 3, True, True), record('plan.txt', 'D:\\w\\d\\plan.txt', 4, False),
                          record('notes.md', 'D:\\w\\notes.md', 2, False), record('Empty', '', 1, True, False),
                          record('readme', 'C:\\readme', 1, False)]),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), 'wb') as f:
        f.write(data)
