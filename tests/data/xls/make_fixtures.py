#!/usr/bin/python3
"""Writes the .xls reader's fixtures with real producers; run with Debian's /usr/bin/python3.

  /usr/bin/python3 tests/data/xls/make_fixtures.py [OUT_DIR]   (default: this folder)

1. openpyxl writes the source workbook (never committed): formulas, dates, CJK text, long
   strings, hidden and very hidden sheets, an active sheet that is not the first.
2. LibreOffice (headless, private profile) loads it, calculates the formulas, and saves it as
   BIFF8 (lo_biff8.xls) and as .xlsx (lo.xlsx).
3. LibreOffice 7.4 only reads Excel 95, so Gnumeric's ssconvert (Debian package gnumeric,
   needed only to regenerate) writes the BIFF7 copy gnumeric_biff7.xls from lo.xlsx, under a
   Chinese locale so that its text is in GBK (code page 936).
4. python3-xlwt writes xlwt.xls.
5. hostile/mulrk_past_last_column.xls is xlwt.xls with the column of its first MULRK record (stream
   offset 0x566, B1:C1) set to 0xFFFF, the rest byte for byte: a damaged file whose second
   value lies past the last column (patch_mulrk below, olefile in place, same size).
The expected values in tests/engine/xls_fixture_test.cpp are written by hand from the tables
below, not from reading the output.
"""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile

import openpyxl
import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
LONG_CJK = "汉字" * 4500          # 9000 characters, 18000 bytes: the SST runs into CONTINUE
LONG_LATIN = "abcdefghij" * 1000  # 10000 one-byte characters


def write_source(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "资产负债表"
    ws["A1"] = "纳税人识别号：1234 5678"
    ws["B1"] = 1234.5
    ws["C1"] = -20
    ws["D1"] = 100
    ws["A2"] = datetime.date(2009, 1, 1)
    ws["A2"].number_format = "yyyy-mm-dd"
    ws["B2"] = True
    ws["C2"] = 0.1
    ws["D2"] = 123456789012
    ws["A3"] = "=B1*2"
    ws["B3"] = '=A1&"元"'
    ws["C3"] = '=""'
    ws["D3"] = "=1/0"
    ws["E3"] = "=NA()"
    ws["F3"] = "=B1>1000"
    ws["A4"] = LONG_CJK
    ws["A5"] = LONG_LATIN
    ws["B5"] = '=REPT("税",3000)'
    ws["IV100"] = "far"
    ws["A6"] = " 1"

    hidden = wb.create_sheet("Hidden")
    hidden["A1"] = "hidden text"
    hidden.sheet_state = "hidden"
    very = wb.create_sheet("VeryHidden")
    very["A1"] = 7
    very.sheet_state = "veryHidden"
    active = wb.create_sheet("Active")
    active["B2"] = "active sheet"
    wb.active = 3
    for sheet in wb.worksheets:
        sheet.sheet_view.tabSelected = sheet.title == "Active"
    wb.save(path)


def convert_with_office(src, out):
    """LibreOffice headless conversions, one process per target format."""
    targets = [("lo_biff8.xls", "xls:MS Excel 97"), ("lo.xlsx", "xlsx:Calc MS Excel 2007 XML")]
    for name, filt in targets:
        with tempfile.TemporaryDirectory(prefix="ledgerix_xls_") as tmp:
            profile = "file://" + os.path.join(tmp, "profile")
            subprocess.run(["soffice", "-env:UserInstallation=" + profile, "--headless",
                            "--norestore", "--convert-to", filt, "--outdir", tmp, src],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            produced = os.path.join(tmp, os.path.splitext(os.path.basename(src))[0] + "." +
                                    filt.split(":")[0])
            shutil.move(produced, os.path.join(out, name))


def write_biff7(src, dst):
    """Gnumeric takes the BIFF7 code page from the locale: a Chinese locale gives 936 (GBK)."""
    with tempfile.TemporaryDirectory(prefix="ledgerix_locale_") as loc:
        subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8", os.path.join(loc, "zh_CN.UTF-8")],
                       check=True)
        env = dict(os.environ, LOCPATH=loc, LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8")
        subprocess.run(["ssconvert", "--export-type=Gnumeric_Excel:excel_biff7", src, dst],
                       check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def write_xlwt(path):
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("xlwt表")
    ws.write(0, 0, "利润表")
    ws.write(0, 1, 42)            # integer: xlwt stores it as RK
    ws.write(0, 2, 3.25)          # RK with the x100 flag
    ws.write(0, 3, 1e300)         # NUMBER
    ws.write(0, 4, -7)
    ws.write(1, 0, True)
    ws.write(1, 1, False)
    ws.write(1, 2, "")            # an empty string: xlwt writes a BLANK
    ws.write(2, 0, datetime.date(2008, 3, 31), xlwt.easyxf(num_format_str="yyyy-mm-dd"))
    for col in range(10):         # a row of numbers: MULRK
        ws.write(3, col, col * 1000)
    second = wb.add_sheet("Second")
    second.write(5, 5, "F6")
    second.visibility = 1
    third = wb.add_sheet("Third")
    third.write(0, 0, 3)
    third.visibility = 2          # very hidden (LibreOffice cannot write it)
    wb.active_sheet = 0
    wb.save(path)


def patch_mulrk(source, path):
    import struct

    import olefile

    shutil.copyfile(source, path)
    ole = olefile.OleFileIO(path, write_mode=True)
    stream = bytearray(ole.openstream("Workbook").read())
    rid, _, _, col = struct.unpack_from("<HHHH", stream, 0x566)
    assert rid == 0x00BD and col == 1, "xlwt.xls changed: find its first MULRK again"
    struct.pack_into("<H", stream, 0x566 + 6, 0xFFFF)
    ole.write_stream("Workbook", bytes(stream))
    ole.close()


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else HERE)
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "source.xlsx")
        write_source(src)
        convert_with_office(src, out)
    write_biff7(os.path.join(out, "lo.xlsx"), os.path.join(out, "gnumeric_biff7.xls"))
    write_xlwt(os.path.join(out, "xlwt.xls"))
    patch_mulrk(os.path.join(out, "xlwt.xls"), os.path.join(out, "hostile", "mulrk_past_last_column.xls"))


if __name__ == "__main__":
    main()
