#!/usr/bin/env python3
"""Checks that the layers of src/ depend downwards only.

Layers are the folders named in src/layers.txt, lowest first. A file in a layer's folder
may include headers of its own layer and of lower ones; a target defined there may link
targets of its own layer and of lower ones. Anything outside src/ (the emulated host, the
tool, tests) is above every layer. Target links come from the layer_links.txt that the
configure writes (cmake/layer_links.cmake).

Usage: check_layers.py SOURCE_DIR LAYER_LINKS_FILE
       check_layers.py --self-test   (the checker catches planted violations)
"""
import os
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
SOURCE_SUFFIXES = ('.h', '.hpp', '.c', '.cc', '.cpp', '.inl')


def read_layers(root):
    with open(os.path.join(root, 'src', 'layers.txt')) as f:
        names = [line.strip() for line in f if line.strip() and not line.startswith('#')]
    return {name: rank for rank, name in enumerate(names)}


def include_violations(root, layers):
    found = []
    for layer, rank in layers.items():
        folder = os.path.join(root, 'src', layer)
        for base, _, files in os.walk(folder):
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(base, name)
                with open(path, errors='replace') as f:
                    text = f.read()
                for header in INCLUDE.findall(text):
                    if '/' not in header:
                        continue  # beside the file
                    top = header.split('/', 1)[0]
                    if layers.get(top, len(layers)) > rank:
                        rel = os.path.relpath(path, root)
                        found.append(f'{rel} ({layer}) includes "{header}"')
    return found


def link_violations(links_file, layers):
    owner = {}  # target -> layer rank (len(layers) when outside src/)
    links = []
    with open(links_file) as f:
        for line in f:
            words = line.split()
            if len(words) == 3 and words[0] == 'target':
                folder = words[2]
                layer = folder[4:] if folder.startswith('src/') else None
                owner[words[1]] = (layer, layers.get(layer, len(layers)))
            elif len(words) == 3 and words[0] == 'link':
                links.append((words[1], words[2]))
    found = []
    for target, library in links:
        if target not in owner or library not in owner:
            continue  # a system library
        layer, rank = owner[target]
        if layer not in layers:
            continue  # above every layer: may link anything
        if owner[library][1] > rank:
            lib_layer = owner[library][0] or 'outside src/'
            found.append(f'target {target} ({layer}) links {library} ({lib_layer})')
    return found


def check(root, links_file):
    layers = read_layers(root)
    return include_violations(root, layers) + link_violations(links_file, layers)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w') as f:
        f.write(text)


def self_test():
    """A clean tree passes; each kind of upward dependency is reported."""
    with tempfile.TemporaryDirectory() as root:
        write(os.path.join(root, 'src', 'layers.txt'), '# lowest first\nlow\nhigh\n')
        write(os.path.join(root, 'src', 'low', 'a.h'), '#include "low/b.h"\n#include <vector>\n')
        write(os.path.join(root, 'src', 'high', 'c.cpp'), '#include "low/a.h"\n')
        links = os.path.join(root, 'links.txt')
        clean = ('target fw_low src/low\ntarget fw_high src/high\ntarget tool cli\n'
                 'link fw_high fw_low\nlink fw_low dl\nlink tool fw_high\n')
        write(links, clean)
        problems = []
        if check(root, links):
            problems.append('a clean tree was reported: %s' % check(root, links))
        write(os.path.join(root, 'src', 'low', 'd.cpp'), '  # include "high/c.h"\n')
        write(os.path.join(root, 'src', 'low', 'e.cpp'), '#include "cli/tool.h"\n')
        write(links, clean + 'link fw_low fw_high\nlink fw_low tool\n')
        found = check(root, links)
        for expected in ('d.cpp (low) includes "high/c.h"', 'e.cpp (low) includes "cli/tool.h"',
                         'target fw_low (low) links fw_high (high)',
                         'target fw_low (low) links tool (outside src/)'):
            if not any(expected in line for line in found):
                problems.append('not reported: ' + expected)
        if len(found) != 4:
            problems.append('expected 4 findings, got: %s' % found)
    for p in problems:
        print('self-test:', p)
    return 1 if problems else 0


def main(argv):
    if argv[1:] == ['--self-test']:
        return self_test()
    if len(argv) != 3:
        print(__doc__)
        return 2
    found = check(argv[1], argv[2])
    for line in found:
        print('upward dependency:', line)
    if not found:
        print('layers depend downwards only')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
