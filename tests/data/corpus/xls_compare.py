#!/usr/bin/python3
"""Compare the engine's reading of the .xls corpus with the reference dumps.

Usage: xls_compare.py OURS.jsonl REFERENCE_DIR EXPECTATIONS.tsv [--all]

The comparison and the expectations format are those of xlsx_compare.py beside this file
(kinds engine-fails, reference-fails, sheets, active-sheet, cells). One kind is added for
.xls: "encryption", when the reference reports an encrypted workbook and the engine's error
does not give the encrypted reason.
"""
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xlsx_compare import compare, load_expectations  # noqa: E402

ENCRYPTED_REASON = '工作簿已加密，无法读取'


def compare_xls(ref, ours):
    if ref.get('error') and 'encrypted' in ref['error'] and not (
            ours.get('error') or '').startswith(ENCRYPTED_REASON):
        yield 'encryption', 'engine: %r' % ours.get('error')
    # The encrypted check of the .xlsx comparison works from a MANIFEST list; .xls uses the
    # reference's own error above, so that list is empty here.
    yield from compare(ref, ours, frozenset())


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    show_all = '--all' in sys.argv
    ours_path, ref_dir, exp_path = args
    expected = load_expectations(exp_path)
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
            for kind, detail in compare_xls(ref, ours):
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
        count, len(seen & set(expected)), len(unexplained), len(stale)))
    return 1 if unexplained or stale else 0


if __name__ == '__main__':
    sys.exit(main())
