#!/usr/bin/env python3
"""Writes the pictures of tests/cases/ and the table tests/cases/cases.tsv that
every face's runner checks (in-process, command line, WebAssembly, Windows).

The expected output of each picture under each option set is the command
line's, taken once and then checked here with a decoder of this script's own:
every output must hold exactly the source's pixels, at 4 bits only for at most
16 colours with four-bit output on, and with the two darkest colours at
indexes 0 and 1 as the placement says. Refusals are written as their lines
(the first line: a hint may follow), with {} for the file's name; they are
read over by hand before a commit.

    python3 tools/make-cases.py build/cli/bmp24to8-cli
"""
import hashlib
import os
import struct
import subprocess
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
folder = os.path.join(root, 'tests', 'cases')
cli = os.path.abspath(sys.argv[1])
OPTIONS = ['', '--placement none', '--placement dos', '--no-four-bit', '--no-four-bit --placement none',
           '--no-four-bit --placement dos']


def bmp(width, height, pixel, top_down=False, header=40, bits=24, compression=0, offset=None):
    """A bitmap; pixel(x, y) gives (blue, green, red), y from the top."""
    row_bytes = (3 * width + 3) // 4 * 4
    rows = []
    for stored in range(height):
        y = stored if top_down else height - 1 - stored
        row = b''.join(bytes(pixel(x, y)) for x in range(width))
        rows.append(row + b'\0' * (row_bytes - len(row)))
    start = 14 + header if offset is None else offset
    info = struct.pack('<IiiHHIIiiII', header, width, -height if top_down else height, 1, bits, compression,
                       row_bytes * height, 0, 0, 0, 0)
    info = info + b'\0' * (header - len(info))
    data = b''.join(rows)
    head = b'BM' + struct.pack('<IHHI', 14 + len(info) + len(data), 0, 0, start)
    return head + info + b'\0' * (start - 14 - len(info)) + data


def colour(n):
    return ((n * 37) % 256, (n * 91 + 17) % 256, (n * 53 + 101) % 256)


def broken_runs(x, y):
    # Runs of 32 equal pixels, one byte of one channel changed at one pixel:
    # rows of 48 pixels, so that the fast path over blocks of 16 is taken.
    k = (0, 7, 15, 16, 31)[y % 5]
    channel = y // 5
    base = [40, 80, 120]
    if x == k:
        base[channel] += 1
    return tuple(base)


pictures = {
    'width-1.bmp': bmp(1, 3, lambda x, y: colour(y)),
    'width-2.bmp': bmp(2, 3, lambda x, y: colour(x + y)),
    'width-3.bmp': bmp(3, 4, lambda x, y: colour(x * y)),
    'width-5.bmp': bmp(5, 2, lambda x, y: colour(x + 2 * y)),
    'width-7.bmp': bmp(7, 3, lambda x, y: colour((x + y) % 5)),
    'colours-16.bmp': bmp(8, 2, lambda x, y: colour(x + 8 * y)),
    'colours-17.bmp': bmp(17, 1, lambda x, y: colour(x)),
    'colours-256.bmp': bmp(16, 16, lambda x, y: colour(x + 16 * y)),
    'colours-257.bmp': bmp(17, 16, lambda x, y: (x, y, 0 if x + 17 * y < 257 else 1)),
    'top-down.bmp': bmp(6, 4, lambda x, y: colour(x // 2 + y), top_down=True),
    'broken-runs.bmp': bmp(48, 15, broken_runs),
    'dark-last.bmp': bmp(4, 4, lambda x, y: [(200, 200, 200), (150, 90, 60), (10, 10, 10), (0, 0, 1)][(x + y) % 4]),
    'one-colour.bmp': bmp(4, 4, lambda x, y: (0, 0, 0)),
    'zero-width.bmp': bmp(0, 5, lambda x, y: (0, 0, 0)),
    'late-offset.bmp': bmp(3, 2, lambda x, y: colour(x), offset=70),
    'not-bmp.bmp': b'not a picture',
    'one-byte.bmp': b'B',
    'os2-header.bmp': bmp(2, 2, lambda x, y: colour(x), header=12)[:26] + bytes(12),
    'version-5-header.bmp': bmp(2, 2, lambda x, y: colour(x), header=124),
    'eight-bit.bmp': bmp(2, 2, lambda x, y: colour(x), bits=8),
    'compressed.bmp': bmp(2, 2, lambda x, y: colour(x), compression=1),
    'header-cut.bmp': bmp(2, 2, lambda x, y: colour(x))[:40],
    'pixels-cut.bmp': bmp(4, 4, lambda x, y: colour(x))[:54 + 30],
    'offset-in-header.bmp': bmp(2, 2, lambda x, y: colour(x), offset=50),
    'negative-width.bmp': bmp(2, 2, lambda x, y: colour(x))[:18] + struct.pack('<i', -2) + bmp(2, 2, lambda x, y: colour(x))[22:],
}


def decoded(data):
    """(width, height, bits, palette, pixels top row first) of an output."""
    offset, = struct.unpack_from('<I', data, 10)
    width, height, _, bits = struct.unpack_from('<iiHH', data, 18)
    entries = 16 if bits == 4 else 256
    palette = [tuple(data[54 + 4 * i:54 + 4 * i + 3]) for i in range(entries)]
    row_bytes = (width * bits + 31) // 32 * 4
    pixels = []
    for stored in range(height):
        row = data[offset + stored * row_bytes:offset + (stored + 1) * row_bytes]
        indexes = [(row[x // 2] >> (0 if x % 2 else 4)) & 15 for x in range(width)] if bits == 4 else list(row[:width])
        pixels.insert(0, [palette[i] for i in indexes])
    return width, height, bits, palette, pixels


def brightness(entry):
    blue, green, red = entry
    return round(1.5 * blue) + 2 * green + red   # Python rounds halves to even, as the program does


def check(name, source, options, output):
    width, height, bits, palette, pixels = decoded(output)
    top_down = struct.unpack_from('<i', source, 22)[0] < 0
    offset, = struct.unpack_from('<I', source, 10)
    row_bytes = (3 * width + 3) // 4 * 4
    wanted = []
    for stored in range(height):
        row = [tuple(source[offset + stored * row_bytes + 3 * x:offset + stored * row_bytes + 3 * x + 3]) for x in range(width)]
        wanted.append(row) if top_down else wanted.insert(0, row)
    assert pixels == wanted, f'{name} {options}: pixels differ'
    colours = len({p for row in wanted for p in row})
    assert bits == (4 if colours <= 16 and '--no-four-bit' not in options else 8), f'{name} {options}: {bits} bits'
    if '--placement none' not in options:
        searched = palette[:16 if colours <= 16 else 256]
        order = sorted(range(len(searched)), key=lambda i: (brightness(searched[i]), i))
        darkest = [brightness(searched[i]) for i in order[:2]]
        at = [brightness(palette[0]), brightness(palette[1])]
        assert sorted(at) == darkest, f'{name} {options}: indexes 0 and 1 are not the darkest'
        dos = '--placement dos' in options
        assert (at[0] <= at[1]) if dos else (at[1] <= at[0]), f'{name} {options}: placement'


os.makedirs(folder, exist_ok=True)
for name, data in pictures.items():
    with open(os.path.join(folder, name), 'wb') as file:
        file.write(data)
lines = ['# The reviewed cases that every face checks: a picture of this folder, the options, and the\n',
         '# SHA-256 of the output, or the refusal line with {} for the FILE. Made by tools/make-cases.py.\n']
for name in sorted(pictures):
    for options in OPTIONS:
        run = subprocess.run([cli, *options.split(), '--dest', '-', name], cwd=folder, capture_output=True)
        if run.returncode == 0:
            check(name, pictures[name], options, run.stdout)
            expected = 'sha256 ' + hashlib.sha256(run.stdout).hexdigest()
        else:
            assert run.stdout == b'' and run.returncode == 1, f'{name} {options}: {run.returncode}'
            expected = run.stderr.decode().splitlines()[0].replace(name, '{}')
        lines.append(f'{name}\t{options}\t{expected}\n')
with open(os.path.join(folder, 'cases.tsv'), 'w') as table:
    table.writelines(lines)
print(f'{len(lines) - 2} cases, {len(pictures)} pictures')
