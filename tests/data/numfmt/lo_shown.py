#!/usr/bin/python3
"""What LibreOffice shows for each format code of codes.tsv crossed with a set of values: the
reference the number-format test compares against. LibreOffice runs headless with a zh-CN locale
(the locale of the accountants whose printouts we reproduce); codes are read as the file formats
store them (en-US syntax) and converted to zh-CN, as LibreOffice does when it opens a workbook.
The text is LibreOffice's CSV export "as shown" (no column-width effects).

Usage: /usr/bin/python3 lo_shown.py codes.tsv > shown.tsv
Output: a first line "#values" TAB value..., then per code: count TAB code TAB text per value,
fields escaped as in codes.tsv; a code LibreOffice refuses has "!REFUSED" in every text field."""
import csv, os, shutil, sys, tempfile
import uno
from com.sun.star.lang import Locale

# The LibreOffice session shared by the reference scripts.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', '..', 'scripts'))
from lo_office import Office, pv  # noqa: E402

# Zero, halves, a value on the rounding edge, large and tiny numbers, dates with times, text.
# 2.005, 3.5 and 59-61 are there for the first days of 1900, which LibreOffice counts one day
# later than the 1900 calendar: our text of 1.005 must be LibreOffice's of 2.005, and so on.
VALUES = [0.0, 0.5, -0.5, 2.5, 1.005, -1.005, 1234567.891, -1234567.891, 39538.0, 39538.75,
          44926.520833333336, 1e-10, 1e17, 2.005, 3.5, 59.25, 60.25, 61.25, 's:text']

PROFILE_XCU = '''<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Setup/L10N"><prop oor:name="ooSetupSystemLocale" oor:op="fuse"><value>zh-CN</value></prop></item>
<item oor:path="/org.openoffice.Office.Linguistic/General"><prop oor:name="DefaultLocale" oor:op="fuse"><value>zh-CN</value></prop></item>
<item oor:path="/org.openoffice.Office.Linguistic/General"><prop oor:name="DefaultLocale_CJK" oor:op="fuse"><value>zh-CN</value></prop></item>
</oor:items>
'''


def esc(s):
    return s.replace('\\', '\\\\').replace('\x00', '\\0').replace('\t', '\\t').replace('\n', '\\n').replace('\r', '\\r')


def unesc(s):
    out, i = [], 0
    while i < len(s):
        if s[i] == '\\' and i + 1 < len(s):
            out.append({'t': '\t', 'n': '\n', 'r': '\r', '0': '\x00'}.get(s[i + 1], s[i + 1])); i += 2
        else:
            out.append(s[i]); i += 1
    return ''.join(out)


def main():
    codes = []
    with open(sys.argv[1], encoding='utf-8') as f:
        for line in f:
            count, code = line.rstrip('\n').split('\t', 1)
            codes.append((int(count), unesc(code)))
    out_dir = tempfile.mkdtemp(prefix='lo-numfmt-out-')
    office = Office('lo-numfmt-profile-', registry=PROFILE_XCU)
    try:
        desktop = office.desktop
        doc = desktop.loadComponentFromURL('private:factory/scalc', '_blank', 0, (pv('Hidden', True),))
        sheet = doc.Sheets.getByIndex(0)
        formats = doc.NumberFormats
        en = Locale('en', 'US', '')
        zh = Locale('zh', 'CN', '')
        refused = set()
        numbers = tuple(v for v in VALUES if not isinstance(v, str))
        for row, (_, code) in enumerate(codes):
            rng = sheet.getCellRangeByPosition(0, row, len(VALUES) - 1, row)
            rng.setDataArray((tuple(v if not isinstance(v, str) else v[2:] for v in VALUES),))
            try:
                key = formats.addNewConverted(code, en, zh)
                rng.NumberFormat = key
            except Exception:
                refused.add(row)
        csv_path = os.path.join(out_dir, 'shown.csv')
        doc.storeToURL(uno.systemPathToFileUrl(csv_path),
                       (pv('FilterName', 'Text - txt - csv (StarCalc)'),
                        pv('FilterOptions', '9,34,76,1,,0,true,true,true')))
        doc.close(True)
        with open(csv_path, encoding='utf-8', newline='') as f:
            rows = list(csv.reader(f, delimiter='\t', quotechar='"'))
        if len(rows) < len(codes):
            sys.exit('LibreOffice wrote %d rows for %d codes' % (len(rows), len(codes)))
        print('#values\t' + '\t'.join(esc(v if isinstance(v, str) else repr(v)) for v in VALUES))
        for row, (count, code) in enumerate(codes):
            texts = rows[row] + [''] * (len(VALUES) - len(rows[row]))
            if row in refused:
                texts = ['!REFUSED'] * len(VALUES)
            print('%d\t%s\t%s' % (count, esc(code), '\t'.join(esc(t) for t in texts[:len(VALUES)])))
    finally:
        office.close()
        shutil.rmtree(out_dir, ignore_errors=True)


if __name__ == '__main__':
    main()
