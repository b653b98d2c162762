#!/usr/bin/python3
"""Compare the engine's reading of the .xls corpus with the reference dumps.

Usage: xls_compare.py OURS.jsonl REFERENCE_DIR EXPECTATIONS.tsv [--all] [--passwords=A,B]

The comparison, the treatment of encrypted files and the expectations format are those of
xlsx_compare.py beside this file (kinds engine-fails, reference-fails, sheets, active-sheet,
cells, opened-unverified).
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xlsx_compare import main  # noqa: E402

if __name__ == '__main__':
    sys.exit(main())
