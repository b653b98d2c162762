#!/usr/bin/python3
"""Writes the .xlsx reader's fixtures; run with Debian's /usr/bin/python3.

  /usr/bin/python3 tests/data/xlsx/make_fixtures.py [OUT_DIR]   (default: this folder)

Real producers:
  lo_statement.xlsx   openpyxl writes a source without cached results; LibreOffice (headless,
                      private profile) loads it, calculates every formula and saves it as .xlsx:
                      formulas of every result type, shared strings, dates, CJK text, a hidden
                      sheet, an active sheet that is not the first.
  openpyxl_sheets.xlsx  openpyxl: inline strings, booleans, every error value, a chart sheet between
                      worksheets, hidden and very hidden sheets, the active tab after the chart.
  openpyxl_1904_iso.xlsx  openpyxl: 1904 date system and t="d" ISO date cells.
  openpyxl_macro.xlsm  openpyxl, with the macro-enabled workbook content type (no macros).
Hostile packages (hostile/), built with Python's zipfile from a small valid package:
  truncated.xlsx, bad_local_header.xlsx, size_lie.xlsx (central directory states fewer bytes than the deflate data
  holds), zip_bomb.xlsx (a 80 MB worksheet of zeros, deflated to about 80 KB),
  not_workbook.xlsx (a word-processing package), empty_file.xlsx.
The expected values in tests/engine/xlsx_reader_test.cpp are written by hand from the tables
below, not from reading the output.
"""
import datetime
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

import openpyxl
from openpyxl.chart import BarChart, Reference

HERE = os.path.dirname(os.path.abspath(__file__))


def write_lo_source(path):
    wb = openpyxl.Workbook()
    cover = wb.active
    cover.title = "封面"
    cover["A1"] = "纳税人识别号"
    cover["B1"] = "440301123456789"
    sheet = wb.create_sheet("资产负债表")
    sheet["A1"] = "资产"
    sheet["B1"] = 1234.5
    sheet["C1"] = -20
    sheet["D1"] = 0.1
    sheet["A2"] = datetime.date(2024, 1, 31)           # serial 45322
    sheet["A2"].number_format = "yyyy-mm-dd"
    sheet["B2"] = datetime.datetime(2024, 1, 31, 12, 0)  # serial 45322.5
    sheet["B2"].number_format = "yyyy-mm-dd hh:mm"
    sheet["C2"] = True
    sheet["A3"] = "=B1*2"                              # 2469
    sheet["B3"] = '=A1&"合计"'                         # 资产合计
    sheet["C3"] = "=B1>1000"                           # TRUE
    sheet["D3"] = '=""'                                # empty string
    sheet["A4"] = "=1/0"                               # #DIV/0!
    sheet["B4"] = "=NA()"                              # #N/A
    sheet["C4"] = '="a"+1'                             # #VALUE!
    sheet["D4"] = "=10^400"                            # #NUM!
    sheet["E4"] = "=DATE(2024,2,29)"                   # 45351
    sheet["F4"] = "=C1*B1"                             # -24690
    sheet["A5"] = "  两端空格  "
    sheet["A6"] = '=INDIRECT("A0")'                    # #REF!
    sheet["B6"] = "=NOSUCHFUNCTION(1)"                 # #NAME?
    sheet["H40"] = "末格"
    hidden = wb.create_sheet("隐藏")
    hidden["A1"] = "hidden"
    hidden.sheet_state = "hidden"
    wb.active = 1
    for ws in wb.worksheets:
        ws.sheet_view.tabSelected = ws.title == "资产负债表"
    wb.save(path)


def convert_with_office(src, out_path):
    with tempfile.TemporaryDirectory(prefix="ledgerix_xlsx_") as tmp:
        profile = "file://" + os.path.join(tmp, "profile")
        outdir = os.path.join(tmp, "out")
        subprocess.run(["soffice", "-env:UserInstallation=" + profile, "--headless",
                        "--norestore", "--convert-to", "xlsx:Calc MS Excel 2007 XML",
                        "--outdir", outdir, src],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        produced = os.path.join(outdir, os.path.splitext(os.path.basename(src))[0] + ".xlsx")
        shutil.move(produced, out_path)


def write_openpyxl_sheets(path):
    wb = openpyxl.Workbook()
    data = wb.active
    data.title = "Data"
    data["A1"] = "text"
    data["B1"] = 42
    data["C1"] = -1.5e-7
    data["D1"] = 12345678901234
    data["A2"] = True
    data["B2"] = False
    for col, text in zip("ABCDEFG", ["#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?",
                                     "#NUM!", "#N/A"]):
        data[col + "3"] = text
        data[col + "3"].data_type = "e"
    data["A4"] = "中文"
    data["B4"] = "text"
    data["A5"] = "line1\nline2"
    chart = BarChart()
    chart.add_data(Reference(data, min_col=2, min_row=1, max_col=2, max_row=1))
    chart_sheet = wb.create_chartsheet("Chart")
    chart_sheet.add_chart(chart)
    after = wb.create_sheet("After")
    after["B2"] = "after the chart"
    hidden = wb.create_sheet("Hidden")
    hidden.sheet_state = "hidden"
    very = wb.create_sheet("VeryHidden")
    very["A1"] = 7
    very.sheet_state = "veryHidden"
    wb.active = 2                                      # tab 2 is "After", worksheet 2 of 4
    for ws in wb.worksheets:
        ws.sheet_view.tabSelected = ws.title == "After"
    wb.save(path)


def write_openpyxl_1904_iso(path):
    wb = openpyxl.Workbook(iso_dates=True)
    wb.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904
    ws = wb.active
    ws.title = "Dates"
    ws["A1"] = datetime.datetime(2024, 1, 31)          # 1904 serial 43860
    ws["A2"] = datetime.datetime(2024, 1, 31, 6, 0)    # 43860.25
    ws["A3"] = 1.5                                     # plain numbers stay as stored
    wb.save(path)


def write_openpyxl_macro(path):
    """openpyxl writes the package; the workbook's content type is then made the
    macro-enabled one, as a .xlsm without a VBA project carries it."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Macro"
    ws["A1"] = "xlsm"
    buf = io.BytesIO()
    wb.save(buf)
    out = io.BytesIO()
    with zipfile.ZipFile(buf) as src, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for info in src.infolist():
            data = src.read(info.filename)
            if info.filename == "[Content_Types].xml":
                data = data.replace(b"spreadsheetml.sheet.main+xml",
                                    b"ms-excel.sheet.macroEnabled.main+xml")
            z.writestr(info.filename, data)
    with open(path, "wb") as f:
        f.write(out.getvalue())


def small_package():
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml",
                   '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/'
                   'package/2006/content-types"/>')
        z.writestr("_rels/.rels",
                   '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats'
                   '.org/package/2006/relationships"><Relationship Id="rId1" Type="http://'
                   'schemas.openxmlformats.org/officeDocument/2006/relationships/'
                   'officeDocument" Target="xl/workbook.xml"/></Relationships>')
        z.writestr("xl/workbook.xml",
                   '<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/'
                   'spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/'
                   'officeDocument/2006/relationships"><sheets><sheet name="S" sheetId="1" '
                   'r:id="rId1"/></sheets></workbook>')
        z.writestr("xl/_rels/workbook.xml.rels",
                   '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats'
                   '.org/package/2006/relationships"><Relationship Id="rId1" Type="http://'
                   'schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" '
                   'Target="worksheets/sheet1.xml"/></Relationships>')
        cells = "".join('<row r="%d"><c r="A%d"><v>%d</v></c></row>' % (i, i, i)
                        for i in range(1, 200))
        z.writestr("xl/worksheets/sheet1.xml",
                   '<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/'
                   'spreadsheetml/2006/main"><sheetData>' + cells + '</sheetData></worksheet>')
    return buf.getvalue()


def patch_central_size(package, part, new_size):
    """Rewrites the uncompressed size of part in the central directory."""
    data = bytearray(package)
    pos = 0
    while True:
        pos = data.find(b"PK\x01\x02", pos)
        if pos < 0:
            raise ValueError(part)
        name_len = struct.unpack_from("<H", data, pos + 28)[0]
        if data[pos + 46:pos + 46 + name_len] == part.encode():
            struct.pack_into("<I", data, pos + 24, new_size)
            return bytes(data)
        pos += 4


def write_hostile(out):
    os.makedirs(out, exist_ok=True)
    good = small_package()
    with open(os.path.join(out, "truncated.xlsx"), "wb") as f:
        f.write(good[:len(good) * 2 // 3])
    with open(os.path.join(out, "size_lie.xlsx"), "wb") as f:
        f.write(patch_central_size(good, "xl/worksheets/sheet1.xml", 100))
    damaged = bytearray(good)
    name = b"xl/worksheets/sheet1.xml"
    header = damaged.find(b"PK\x03\x04", damaged.find(name) - 30 - 16)
    damaged[header + 3] = 0x05                         # the local header's signature
    with open(os.path.join(out, "bad_local_header.xlsx"), "wb") as f:
        f.write(bytes(damaged))
    with open(os.path.join(out, "size_claims_4gb.xlsx"), "wb") as f:
        f.write(patch_central_size(good, "xl/worksheets/sheet1.xml", 0xFFFFFFF0))
    buf = io.BytesIO()
    with zipfile.ZipFile(io.BytesIO(good)) as src, \
            zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for info in src.infolist():
            if info.filename != "xl/worksheets/sheet1.xml":
                z.writestr(info.filename, src.read(info.filename))
        z.writestr("xl/worksheets/sheet1.xml", b"\0" * (80 << 20),
                   compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    with open(os.path.join(out, "zip_bomb.xlsx"), "wb") as f:
        f.write(buf.getvalue())
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("_rels/.rels",
                   '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats'
                   '.org/package/2006/relationships"><Relationship Id="rId1" Type="http://'
                   'schemas.openxmlformats.org/officeDocument/2006/relationships/'
                   'officeDocument" Target="word/document.xml"/></Relationships>')
        z.writestr("word/document.xml",
                   '<?xml version="1.0"?><w:document xmlns:w="http://schemas.openxmlformats'
                   '.org/wordprocessingml/2006/main"><w:body/></w:document>')
    with open(os.path.join(out, "not_workbook.xlsx"), "wb") as f:
        f.write(buf.getvalue())
    open(os.path.join(out, "empty_file.xlsx"), "wb").close()


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else HERE)
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "lo_statement.xlsx")
        write_lo_source(src)
        convert_with_office(src, os.path.join(out, "lo_statement.xlsx"))
    write_openpyxl_sheets(os.path.join(out, "openpyxl_sheets.xlsx"))
    write_openpyxl_1904_iso(os.path.join(out, "openpyxl_1904_iso.xlsx"))
    write_openpyxl_macro(os.path.join(out, "openpyxl_macro.xlsm"))
    write_hostile(os.path.join(out, "hostile"))


if __name__ == "__main__":
    main()
