#!/usr/bin/env python3
"""Test data for the archive's benchmarks (bench/archive_bench.sh).

  archive_generate.py files DIR N      N distinct one-minute test files in DIR, twenty to an asset
  archive_generate.py copyrows DIR      the rows of DIR's files as the archive's tests table holds them (COPY
                                       text, company 1, asset i // 20 + 1): a bare COPY's floor
  archive_generate.py rows START N     staging rows (COPY text) of tests START..START+N-1: 100 companies,
                                       100 assets each, 100 quarterly tests per asset
"""
import hashlib
import sys


def bcd(value):
    return (value // 10) << 4 | value % 10


def test_file(number, company, location, description, year, month, day, ohms):
    """A one-minute insulation-resistance test: header and sixty samples behind the preamble."""
    samples = 60
    header = bytearray(160)
    length = 160 + 4 * samples
    header[0:2] = length.to_bytes(2, 'big')
    header[4:6] = (number % 65536).to_bytes(2, 'big')
    header[6:9] = bytes([bcd(month), bcd(day), bcd(year % 100)])
    header[9:12] = bytes([bcd(9), bcd(30), bcd(0)])
    header[12] = 2
    giga = max(1, min(65535, int(ohms / 1e9 * 1000)))
    header[33:37] = b'G' + bytes([0x02]) + giga.to_bytes(2, 'big')
    header[37:41] = b'n' + bytes([0x02]) + (500).to_bytes(2, 'big')
    header[41:45] = b'\xff\xff\xff\xff'
    header[53:55] = (1000).to_bytes(2, 'big')
    header[55:57] = b'\xff\xff'
    header[61] = 0xFF
    header[62] = 60
    header[63:66] = b'\xff\xff\xff'
    for offset, text in ((80, 'BENCH'), (100, description), (120, location), (140, company)):
        header[offset:offset + 20] = text.encode('latin-1')[:20].ljust(20, b'\0')
    amperes = 1000 / ohms
    exponent = 15
    while exponent > 0 and round(amperes * 10 ** exponent) > 0x0FFF:
        exponent -= 1
    word = exponent << 12 | min(0x0FFF, round(amperes * 10 ** exponent))
    body = b''.join((1000).to_bytes(2, 'big') + word.to_bytes(2, 'big') for _ in range(samples))
    return bytes([0x34, 0x12, 0x0D, 0xF0, 1]) + bytes(header) + body


def files(folder, count):
    for i in range(count):
        data = test_file(i, 'BENCH CO', 'SITE', 'ASSET %05d' % (i // 20), 2020 + i % 7, 1 + i % 12, 1 + i % 28,
                         50e9 - (i % 20) * 1e9)
        with open('%s/T%05d.kel' % (folder, i), 'wb') as out:
            out.write(data)


def hexed(data):
    return '\\\\x' + data.hex()


def row(data, names, number, when, ohms, path):
    untexted = bytearray(data)
    untexted[85:165] = bytes(80)
    return '\t'.join([
        hexed(hashlib.sha256(data).digest()), hexed(hashlib.sha256(bytes(untexted)).digest()), hexed(data),
        names[0], names[1], names[2], str(number), '2', 'Insulation Resistance', when, '1000', '60', repr(ohms),
        repr(ohms), '\\N', '\\N', '\\N', '\\N', '\\N', '\\N', 'f', 'BENCH', names[2], names[1], names[0], 'bench',
        path]) + '\n'


def copyrows(folder):
    import os
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), 'rb') as f:
            data = f.read()
        text = lambda offset: data[5 + offset:5 + offset + 20].rstrip(b'\0').decode('latin-1')
        fields = row(data, (text(140), text(120), text(100)), int.from_bytes(data[9:11], 'big'),
                     '2020-01-01T09:30:00', 1e9, os.path.join(folder, name)).split('\t')
        # The staging row's three keys become the company's and the asset's ids.
        fields[3:6] = ['1', str(int(name[1:6]) // 20 + 1)]
        sys.stdout.write('\t'.join(fields))


def rows(start, count):
    out = sys.stdout
    for n in range(start, start + count):
        company, asset, k = n // 10000, n // 100 % 100, n % 100
        year, month = 2000 + k // 4, 1 + 3 * (k % 4)
        ohms = 80e9 * (0.99 ** k)
        names = ('COMPANY %03d' % company, 'PLANT %02d' % (asset % 7), 'MOTOR %03d' % asset)
        data = test_file(n, names[0], names[1], names[2], year, month, 15, ohms)
        out.write(row(data, names, n % 65536, '%04d-%02d-15T09:30:00' % (year, month), ohms, '/bench/T%07d.kel' % n))


if __name__ == '__main__':
    if sys.argv[1] == 'files':
        files(sys.argv[2], int(sys.argv[3]))
    elif sys.argv[1] == 'copyrows':
        copyrows(sys.argv[2])
    else:
        rows(int(sys.argv[2]), int(sys.argv[3]))
