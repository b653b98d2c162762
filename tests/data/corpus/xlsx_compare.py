#!/usr/bin/python3
"""Compare the engine's reading of the .xlsx corpus with the reference dumps.

Usage: xlsx_compare.py OURS.jsonl REFERENCE_DIR EXPECTATIONS.tsv [--all] [--passwords=A,B]

OURS.jsonl has one JSON object per workbook, shaped like the reference dumps
(file, error, sheets[name, visibility, cells], active_sheet). Every difference
is a (file, kind) pair; kinds:

  engine-fails     the reference read the file, the engine refused it
  reference-fails  the engine read a file the reference could not
  sheets           worksheet names, visibility or count differ
  active-sheet     the active worksheet differs
  cells            some cell's Value2 differs (or a sheet's cells could not be read)
  opened-unverified  an encrypted file (MANIFEST.tsv says so) that the engine opened but
                   nothing independent decrypts, and no sibling file stands in for it

Encrypted files are not compared with their stored reference dumps (which only say
"encrypted") but with encrypted_reference.py's reading: msoffcrypto-tool decrypts them with
the default password or one of --passwords, xlrd reads the result. Where it cannot,
encrypted_siblings.tsv may name a file of the same content that it can decrypt; otherwise
the engine must refuse the file, as it does when the password is unknown.

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
        # Numbers JSON cannot hold are the strings "inf", "-inf" and "nan" on both sides.
        if isinstance(a, str) or isinstance(b, str):
            return a == b
        return float(a) == float(b)
    return ref[1] == ours[1]


sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import encrypted_reference  # noqa: E402

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
    if ref.get('unverified'):
        if not ours.get('error'):
            yield 'opened-unverified', ref['error']
        return
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


def load_siblings():
    """encrypted_siblings.tsv: file, the file of the same content to compare with, why."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'encrypted_siblings.tsv')
    siblings = {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            fields = line.rstrip('\n').split('\t')
            if len(fields) == 3 and not line.startswith('#'):
                siblings[fields[0]] = fields[1]
    return siblings


class EncryptedReferences:
    """The reference of each encrypted file, and how it was found, for the summary."""

    def __init__(self, ref_dir, passwords):
        self.corpus = os.path.dirname(os.path.abspath(ref_dir))
        self.passwords = passwords
        self.siblings = load_siblings()
        self.tally = {}

    def get(self, file, ours):
        ref = encrypted_reference.reference(self.corpus, file, self.passwords)
        how = 'decrypted independently'
        # A sibling stands in when the file cannot be decrypted or its decryption read.
        if ref.get('error') and file in self.siblings:
            ref = encrypted_reference.reference(self.corpus, self.siblings[file], self.passwords)
            ref['file'] = file
            how = 'compared with a sibling decrypted independently'
        if ref.get('error'):
            ref['unverified'] = True
            how = 'not decrypted independently'
        opened = 'opened' if not ours.get('error') else 'refused'
        key = '%s, %s' % (opened, how)
        self.tally[key] = self.tally.get(key, 0) + 1
        return ref

    def summary(self):
        total = sum(self.tally.values())
        opened = sum(n for k, n in self.tally.items() if k.startswith('opened'))
        parts = ['%d %s' % (n, k) for k, n in sorted(self.tally.items())]
        return '%d encrypted workbooks, %d open (%s)' % (total, opened, '; '.join(parts))


def main(compare_one=None):
    compare_one = compare_one or compare
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    show_all = '--all' in sys.argv
    passwords = []
    for a in sys.argv[1:]:
        if a.startswith('--passwords='):
            passwords = [p for p in a[len('--passwords='):].split(',') if p]
    ours_path, ref_dir, exp_path = args
    expected = load_expectations(exp_path)
    encrypted = load_encrypted(ref_dir)
    references = EncryptedReferences(ref_dir, passwords)
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
            if ours['file'] in encrypted:
                ref = references.get(ours['file'], ours)
            for kind, detail in compare_one(ref, ours, encrypted):
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
    print(references.summary())
    return 1 if unexplained or stale else 0


if __name__ == '__main__':
    sys.exit(main())
