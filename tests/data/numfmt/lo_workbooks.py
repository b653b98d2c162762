#!/usr/bin/python3
"""LibreOffice (headless, zh-CN locale, as lo_shown.py) as the reference for whole workbooks.

  lo_workbooks.py --make DIR           writes DIR/formats.xlsx and DIR/formats.xls: one row per
                                       code of extra_codes.tsv, the values of lo_shown.py across,
                                       saved by LibreOffice in both formats
  lo_workbooks.py ROOT FILE...         for every non-empty cell of every sheet of each FILE (paths
                                       relative to ROOT), what LibreOffice shows: lines of
                                       file TAB sheet TAB cell TAB text, escaped as in codes.tsv

Usage: /usr/bin/python3 lo_workbooks.py ... (sets LC_ALL=C.UTF-8 for LibreOffice itself)."""
import os, sys
import uno
from com.sun.star.lang import Locale

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lo_shown import PROFILE_XCU, VALUES, esc, unesc, pv  # noqa: E402
from lo_office import Office  # noqa: E402


def col_name(c):
    s = ''
    c += 1
    while c:
        c, r = divmod(c - 1, 26)
        s = chr(65 + r) + s
    return s


def make(desktop, out_dir):
    here = os.path.dirname(os.path.abspath(__file__))
    codes = []
    with open(os.path.join(here, 'extra_codes.tsv'), encoding='utf-8') as f:
        for line in f:
            codes.append(unesc(line.rstrip('\n').split('\t', 1)[1]))
    doc = desktop.loadComponentFromURL('private:factory/scalc', '_blank', 0, (pv('Hidden', True),))
    sheet = doc.Sheets.getByIndex(0)
    sheet.Name = '格式'
    en, zh = Locale('en', 'US', ''), Locale('zh', 'CN', '')
    for row, code in enumerate(codes):
        rng = sheet.getCellRangeByPosition(0, row, len(VALUES) - 1, row)
        rng.setDataArray((tuple(v if not isinstance(v, str) else '文字' for v in VALUES),))
        try:
            rng.NumberFormat = doc.NumberFormats.addNewConverted(code, en, zh)
        except Exception:
            pass
    for name, flt in (('formats.xlsx', 'Calc MS Excel 2007 XML'), ('formats.xls', 'MS Excel 97')):
        doc.storeToURL(uno.systemPathToFileUrl(os.path.join(os.path.abspath(out_dir), name)),
                       (pv('FilterName', flt),))
    doc.close(True)


def shown(desktop, root, files):
    from com.sun.star.table.CellContentType import EMPTY
    for rel in files:
        try:
            doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.join(os.path.abspath(root), rel)),
                                               '_blank', 0, (pv('Hidden', True), pv('ReadOnly', True)))
        except Exception:
            doc = None
        if doc is None or not hasattr(doc, 'Sheets'):
            print('cannot open %s' % rel, file=sys.stderr)
            continue
        for s in range(doc.Sheets.Count):
            sheet = doc.Sheets.getByIndex(s)
            cur = sheet.createCursor()
            cur.gotoEndOfUsedArea(False)
            for r in range(cur.RangeAddress.EndRow + 1):
                for c in range(cur.RangeAddress.EndColumn + 1):
                    cell = sheet.getCellByPosition(c, r)
                    if cell.Type == EMPTY:
                        continue
                    print('\t'.join(esc(x) for x in (rel, sheet.Name, col_name(c) + str(r + 1), cell.String)))
        doc.close(True)


def main():
    with Office('lo-numfmt-profile-', registry=PROFILE_XCU) as office:
        if sys.argv[1] == '--make':
            make(office.desktop, sys.argv[2])
        else:
            shown(office.desktop, sys.argv[1], sys.argv[2:])


if __name__ == '__main__':
    main()
