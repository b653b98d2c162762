#!/usr/bin/python3
"""Every distinct number format code the workbooks of a folder define, with the number of files
defining it, most frequent first: FORMAT records of .xls files (read with xlrd) and
numFmts/numFmt/@formatCode of .xlsx packages' styles part.

Usage: LC_ALL=C.UTF-8 /usr/bin/python3 extract_codes.py CORPUS_DIR > codes.tsv
Output lines: count TAB code; in the code a backslash, NUL, tab and newline are written
\\\\, \\0, \\t and \\n."""
import collections, os, sys, zipfile
import xml.etree.ElementTree as ET
import xlrd


def esc(s):
    return s.replace('\\', '\\\\').replace('\x00', '\\0').replace('\t', '\\t').replace('\n', '\\n').replace('\r', '\\r')


def xlsx_codes(path):
    with zipfile.ZipFile(path) as z:
        names = [n for n in z.namelist() if n.lower().endswith('styles.xml')]
        codes = set()
        for n in names:
            root = ET.fromstring(z.read(n))
            for el in root.iter():
                if el.tag.rsplit('}', 1)[-1] == 'numFmt' and 'formatCode' in el.attrib:
                    codes.add(el.attrib['formatCode'])
        return codes


def xls_codes(path):
    book = xlrd.open_workbook(path, formatting_info=True, on_demand=True, logfile=open(os.devnull, 'w'))
    try:
        return {f.format_str for f in book.format_list}
    finally:
        book.release_resources()


def main():
    counts = collections.Counter()
    for sub in sorted(os.listdir(sys.argv[1])):
        folder = os.path.join(sys.argv[1], sub)
        if not os.path.isdir(folder) or sub == 'reference':
            continue
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            codes = set()
            for reader in (xlsx_codes, xls_codes) if zipfile.is_zipfile(path) else (xls_codes,):
                try:
                    codes = reader(path)
                    break
                except Exception:
                    continue
            counts.update(c for c in codes if c)
    for code, n in sorted(counts.items(), key=lambda kv: (-kv[1], kv[0])):
        print('%d\t%s' % (n, esc(code)))


if __name__ == '__main__':
    main()
