#!/usr/bin/python3
"""Checks kind9_example.xml against an independent reading of the example workbook.

  /usr/bin/python3 tests/data/golden/check_kind9_example.py EXAMPLE.xlsx

How the two goldens were made: kind9_cell_addresses.xml was written by hand from the return's
element tables, for a workbook whose every cell holds its own address ("1!H9": worksheet 1,
cell H9), so each element line names the cell it comes from. kind9_example.xml is the
converter's output for examples/kind9, reviewed once; this script keeps it honest without the
converter: the two documents must have the same lines in the same order, every element whose
address golden names a cell must hold that cell's text as openpyxl reads it from the example
workbook (numbers by the cell text rule: up to 15 significant digits, no trailing zeros), and
every other line must be the same fixed text in both, except the few cells the address
workbook sets to other values (listed below) and the header values.
"""
import os
import re
import sys

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))
LEAF = re.compile(r'^<([A-Za-z0-9_]+)>(.*)</\1>$')
ADDRESS = re.compile(r'^(\d+)!([A-Z]+\d+)$')
# Cells the address workbook sets to values of their own (tests/convert/fake_workbook.h), by
# the element's container and name.
OVERRIDDEN = {
    ('zbLrzejs', 'yysrTfby'): '1!H7',
    ('zbLrzejs', 'jYecbTfbe'): '1!H8',
    ('zbLrzejs', 'lrze'): '1!H19',
    ('zbYnsejs', 'sl'): '1!H32',
}
# Header values: the text after the label's "：" of these cells, kept as a substring check.
HEADER = {('publicHead', 'nsrsbh'): '1!B5', ('publicHead', 'nsrmc'): '1!B4'}


def cell_text(value):
    """A cell's text as the converters take it from Value2."""
    if value is None:
        return ''
    if isinstance(value, bool):
        raise ValueError('a logical cell: not expected in the example')
    if isinstance(value, (int, float)):
        text = '%.15g' % value
        if 'e' in text:
            raise ValueError('a number in exponent form: not expected in the example')
        return text
    return str(value)


def lines(name):
    with open(os.path.join(HERE, name), 'rb') as f:
        return f.read().decode('gb18030').split('\n')


def main():
    book = openpyxl.load_workbook(sys.argv[1], data_only=True)
    sheets = book.worksheets

    def read(address):
        sheet, cell = ADDRESS.match(address).groups()
        return sheets[int(sheet) - 1][cell].value

    addressed, example = lines('kind9_cell_addresses.xml'), lines('kind9_example.xml')
    if len(addressed) != len(example):
        sys.exit('line counts differ: %d and %d' % (len(addressed), len(example)))
    problems, checked, fixed = [], 0, 0
    parents = []
    for number, (a, e) in enumerate(zip(addressed, example), 1):
        ma, me = LEAF.match(a), LEAF.match(e)
        if not ma or not me:
            if a != e:
                problems.append('line %d: %r and %r' % (number, a, e))
            tag = re.match(r'^<(/?)([A-Za-z0-9_]+)', a)
            if tag and tag.group(1):
                parents.pop()
            elif tag and not a.endswith('/>') and not a.startswith('<?'):
                parents.append(tag.group(2))
            continue
        if ma.group(1) != me.group(1):
            problems.append('line %d: <%s> and <%s>' % (number, ma.group(1), me.group(1)))
            continue
        key = (parents[-1] if parents else '', ma.group(1))
        want, got = ma.group(2), me.group(2)
        if key in HEADER:
            if got not in str(read(HEADER[key])):
                problems.append('line %d: %s %r is not in %s' % (number, key[1], got, HEADER[key]))
            checked += 1
            continue
        address = OVERRIDDEN.get(key) or (want if ADDRESS.match(want) else None)
        if address:
            expected = cell_text(read(address))
            if got != expected:
                problems.append('line %d: <%s> holds %r, %s holds %r' %
                                (number, key[1], got, address, expected))
            checked += 1
        elif got != want:
            problems.append('line %d: <%s> %r, the fixed text is %r' % (number, key[1], got, want))
        else:
            fixed += 1
    for p in problems[:20]:
        print(p)
    print('%d elements checked against their cells, %d fixed texts, %d problems' %
          (checked, fixed, len(problems)))
    return 1 if problems or checked < 400 else 0


if __name__ == '__main__':
    sys.exit(main())
