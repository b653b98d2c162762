#!/usr/bin/python3
"""Rebuilds the writer's fixture workbooks with LibreOffice (headless):

    /usr/bin/python3 tests/data/xls_writer/make_fixtures.py

lo_formulas.xls: sheet "S", A1:A3 = 1, 5, 7 and B1:B3 = A*2, which LibreOffice stores as one
shared formula anchored at B1.
"""
import os
import shutil
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

ROW = ('<table:table-row><table:table-cell office:value-type="float" office:value="{a}">'
       '<text:p>{a}</text:p></table:table-cell><table:table-cell table:formula="of:=[.A{r}]*2" '
       'office:value-type="float" office:value="{b}"><text:p>{b}</text:p></table:table-cell>'
       '</table:table-row>')

FODS = ('<?xml version="1.0" encoding="UTF-8"?>\n'
        '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
        'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
        'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
        'xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2" '
        'office:mimetype="application/vnd.oasis.opendocument.spreadsheet">'
        '<office:body><office:spreadsheet><table:table table:name="S">{rows}</table:table>'
        '</office:spreadsheet></office:body></office:document>\n')


def main():
    rows = "".join(ROW.format(a=a, r=r, b=2 * a) for r, a in ((1, 1), (2, 5), (3, 7)))
    work = tempfile.mkdtemp()
    try:
        src = os.path.join(work, "lo_formulas.fods")
        with open(src, "w", encoding="utf-8") as f:
            f.write(FODS.format(rows=rows))
        subprocess.run(["soffice", "-env:UserInstallation=file://%s/profile" % work, "--headless",
                        "--norestore", "--convert-to", "xls", "--outdir", HERE, src], check=True)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
