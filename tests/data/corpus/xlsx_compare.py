#!/usr/bin/python3
"""Compare the engine's reading of the .xlsx corpus with the reference dumps.

Usage: xlsx_compare.py OURS.jsonl REFERENCE_DIR EXPECTATIONS.tsv [--all]

OURS.jsonl has one JSON object per workbook, shaped like the reference dumps
(file, error, sheets[name, visibility, cells], active_sheet). Every difference
is a (file, kind) pair; kinds:

  engine-fails     the reference read the file, the engine refused it
  reference-fails  the engine read a file the reference could not
  sheets           worksheet names, visibility or count differ
  active-sheet     the active worksheet differs
  cells            some cell's Value2 differs (or a sheet's cells could not be read)
  not-encrypted    MANIFEST.tsv calls the file encrypted, but the engine did not refuse it
                   as an encrypted workbook

Each must be listed in EXPECTATIONS.tsv (file, kind, reason); a listed pair
that no longer differs is reported too, so the list stays true. Exit status 1
when anything is unexplained or stale. --all prints details of every
difference, explained or not.
"""
import json
import math
import os
import sys


def load_expectations(path):
    expected = {}
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if not line or line.startswith('#'):
                continue
            fields = line.split('\t')
            if len(fields) != 3 or not fields[2].strip():
                sys.exit('%s:%d: want file<TAB>kind<TAB>reason' % (path, number))
            expected[(fields[0], fields[1])] = fields[2]
    return expected


def same_cell(ref, ours):
    if ref is None or ours is None:
        return ref is None and ours is None
    if ref[0] != ours[0]:
        return False
    if ref[0] == 'n':
        a, b = ref[1], ours[1]
        if isinstance(a, str):  # "inf", "-inf", "nan"
            return isinstance(b, float) and str(b) == a
        return float(a) == float(b)
    return ref[1] == ours[1]


ENCRYPTED_REASON = '工作簿已加密，无法读取'


def load_encrypted(ref_dir):
    """The corpus files that MANIFEST.tsv notes as encrypted."""
    path = os.path.join(os.path.dirname(os.path.abspath(ref_dir)), 'MANIFEST.tsv')
    encrypted = set()
    if os.path.exists(path):
        with open(path, encoding='utf-8') as f:
            for line in f:
                fields = line.rstrip('\n').split('\t')
                if len(fields) >= 5 and 'encrypted' in fields[4]:
                    encrypted.add(fields[0])
    return encrypted


def compare(ref, ours, encrypted):
    """Yields (kind, detail) for every difference of one workbook."""
    if ours['file'] in encrypted and not (ours.get('error') or '').startswith(ENCRYPTED_REASON):
        yield 'not-encrypted', repr(ours.get('error'))
    if ref.get('error') and ours.get('error'):
        return
    if ref.get('error'):
        yield 'reference-fails', ref['error']
        return
    if ours.get('error'):
        yield 'engine-fails', ours['error']
        return
    rs, os_ = ref['sheets'], ours['sheets']
    rsig = [(s['name'], s['visibility']) for s in rs]
    osig = [(s['name'], s['visibility']) for s in os_]
    if rsig != osig:
        yield 'sheets', 'reference %r, engine %r' % (rsig[:6], osig[:6])
    if ref.get('active_sheet') != ours.get('active_sheet'):
        yield 'active-sheet', 'reference %r, engine %r' % (ref.get('active_sheet'),
                                                          ours.get('active_sheet'))
    details = []
    for rsheet, osheet in zip(rs, os_):
        if 'cells_error' in osheet:
            details.append('%s: %s' % (osheet['name'], osheet['cells_error']))
            continue
        rc, oc = rsheet['cells'], osheet['cells']
        for addr in sorted(set(rc) | set(oc)):
            if not same_cell(rc.get(addr), oc.get(addr)):
                details.append('%s!%s reference %r, engine %r' % (
                    osheet['name'], addr, rc.get(addr), oc.get(addr)))
    if details:
        yield 'cells', '%d: %s' % (len(details), '; '.join(details[:4]))


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    show_all = '--all' in sys.argv
    ours_path, ref_dir, exp_path = args
    expected = load_expectations(exp_path)
    encrypted = load_encrypted(ref_dir)
    seen = set()
    unexplained = []
    count = 0
    with open(ours_path, encoding='utf-8', errors='replace') as f:
        for line in f:
            ours = json.loads(line)
            count += 1
            ref_path = os.path.join(ref_dir, ours['file'] + '.json')
            if not os.path.exists(ref_path):
                unexplained.append((ours['file'], 'no-reference', ref_path))
                continue
            with open(ref_path, encoding='utf-8', errors='replace') as rf:
                ref = json.load(rf)
            for kind, detail in compare(ref, ours, encrypted):
                key = (ours['file'], kind)
                seen.add(key)
                if key not in expected:
                    unexplained.append((ours['file'], kind, detail))
                elif show_all:
                    print('explained\t%s\t%s\t%s' % (ours['file'], kind, detail[:300]))
    stale = sorted(k for k in expected if k not in seen)
    for file, kind, detail in unexplained:
        print('UNEXPLAINED\t%s\t%s\t%s' % (file, kind, detail[:600]))
    for file, kind in stale:
        print('STALE (no longer differs)\t%s\t%s' % (file, kind))
    print('%d workbooks compared, %d differences explained, %d unexplained, %d stale' % (
        count, len(seen) - len([u for u in unexplained if u[1] != 'no-reference']),
        len(unexplained), len(stale)))
    return 1 if unexplained or stale else 0


if __name__ == '__main__':
    sys.exit(main())
