#!/usr/bin/python3
"""Workbooks for the printing tests, written by openpyxl and xlwt: run with LC_ALL=C.UTF-8 from here."""
import io
import struct
import subprocess
import zipfile
import zlib

import openpyxl
import openpyxl.chart


def hidden_only():
    # Every worksheet hidden, a chart sheet the only visible sheet: "全部工作表" prints nothing.
    wb = openpyxl.Workbook()
    first = wb.active
    first.title = "隐藏一"
    first["A1"] = "不应打印"
    second = wb.create_sheet("隐藏二")
    second["A1"] = "也不应打印"
    first.sheet_state = "hidden"
    second.sheet_state = "veryHidden"
    chart = wb.create_chartsheet("图表")
    bars = openpyxl.chart.BarChart()
    bars.add_data(openpyxl.chart.Reference(first, min_col=1, min_row=1, max_row=1))
    chart.add_chart(bars)
    wb.active = 2
    wb.save("hidden_only.xlsx")


def three_sheets():
    # Two visible sheets around a hidden one; A3 paper, two copies, black and white.
    wb = openpyxl.Workbook()
    a = wb.active
    a.title = "甲表"
    a["A1"] = "甲表内容"
    h = wb.create_sheet("隐藏")
    h["A1"] = "隐藏内容"
    h.sheet_state = "hidden"
    b = wb.create_sheet("乙表")
    b["A1"] = "乙表内容"
    for ws in (a, b):
        ws.page_setup.paperSize = ws.PAPERSIZE_A4
    b.page_setup.paperSize = ws.PAPERSIZE_A3
    b.page_setup.copies = 2
    b.page_setup.blackAndWhite = True
    wb.active = 2
    wb.save("three_sheets.xlsx")


def no_paper():
    # A page setup that names no paper: the printer's own is used. Kept in a folder of its own
    # so that the listings of this one stay as the tests expect.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "无纸张"
    ws["A1"] = "纸张由打印机决定"
    wb.save("../printer_paper/no_paper.xlsx")


def png(width, height, rgb):
    # A solid-colour PNG, written by hand so the fixture needs no imaging library.
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b"".join(b"\0" + bytes(rgb) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def header_picture():
    # A red 40x20 pixel PNG in the centre header at 60x30 pt, between text in the left and
    # right sections; an EMF in the left footer that is not drawn and a blue 16x8 pixel JPEG
    # (made by Debian's ImageMagick, /usr/bin/convert) in the right footer at 24x12 pt.
    # openpyxl writes the workbook; the VML drawing, its images and relationships are added as
    # the spreadsheet application writes them (openpyxl drops header pictures).
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "页眉图片"
    ws["A1"] = "页眉有图片"
    ws.page_setup.paperSize = ws.PAPERSIZE_A4
    ws.page_margins.header = 0.3
    ws.oddHeader.left.text = "左侧"
    ws.oddHeader.center.text = "&G"
    ws.oddHeader.right.text = "第&P页"
    ws.oddFooter.left.text = "&G"
    ws.oddFooter.right.text = "&G"
    out = io.BytesIO()
    wb.save(out)
    vml = """<xml xmlns:v="urn:schemas-microsoft-com:vml"
 xmlns:o="urn:schemas-microsoft-com:office:office"
 xmlns:x="urn:schemas-microsoft-com:office:excel">
 <o:shapelayout v:ext="edit"><o:idmap v:ext="edit" data="1"/></o:shapelayout>
 <v:shapetype id="_x0000_t75" coordsize="21600,21600" o:spt="75" o:preferrelative="t"
  path="m@4@5l@4@11@9@11@9@5xe" filled="f" stroked="f"/>
 <v:shape id="CH" o:spid="_x0000_s1025" type="#_x0000_t75"
  style='position:absolute;margin-left:0;margin-top:0;width:60pt;height:30pt;z-index:1'>
  <v:imagedata o:relid="rId1" o:title="red"/><o:lock v:ext="edit" rotation="t"/>
 </v:shape>
 <v:shape id="LF" o:spid="_x0000_s1026" type="#_x0000_t75"
  style='position:absolute;margin-left:0;margin-top:0;width:30pt;height:30pt;z-index:2'>
  <v:imagedata o:relid="rId2" o:title="emf"/>
 </v:shape>
 <v:shape id="RF" o:spid="_x0000_s1027" type="#_x0000_t75"
  style='position:absolute;margin-left:0;margin-top:0;width:24pt;height:12pt;z-index:3'>
  <v:imagedata o:relid="rId3" o:title="blue"/>
 </v:shape></xml>"""
    rels_ns = "http://schemas.openxmlformats.org/package/2006/relationships"
    rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    vml_rels = (f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                f'<Relationships xmlns="{rels_ns}">'
                f'<Relationship Id="rId1" Type="{rel}image" Target="../media/image1.png"/>'
                f'<Relationship Id="rId2" Type="{rel}image" Target="../media/image2.emf"/>'
                f'<Relationship Id="rId3" Type="{rel}image" Target="../media/image3.jpeg"/>'
                f'</Relationships>')
    sheet_rels = (f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                  f'<Relationships xmlns="{rels_ns}"><Relationship Id="rId1" '
                  f'Type="{rel}vmlDrawing" Target="../drawings/vmlDrawing1.vml"/>'
                  f'</Relationships>')
    # An EMF header with nothing after it: enough to be recognised and skipped.
    emf = struct.pack("<II", 1, 88) + bytes(80)
    with zipfile.ZipFile(out) as src, zipfile.ZipFile("../header_picture/header_picture.xlsx",
                                                      "w", zipfile.ZIP_DEFLATED) as dst:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename == "xl/worksheets/sheet1.xml":
                data = data.replace(
                    b"</worksheet>",
                    b'<legacyDrawingHF xmlns:r="' + rel[:-1].encode() + b'" r:id="rId1"/>'
                    b"</worksheet>")
            elif item.filename == "[Content_Types].xml":
                data = data.replace(
                    b"<Default ",
                    b'<Default Extension="vml" ContentType="application/'
                    b'vnd.openxmlformats-officedocument.vmlDrawing"/>'
                    b'<Default Extension="png" ContentType="image/png"/>'
                    b'<Default Extension="emf" ContentType="image/x-emf"/>'
                    b'<Default Extension="jpeg" ContentType="image/jpeg"/><Default ', 1)
            dst.writestr(item.filename, data)
        dst.writestr("xl/worksheets/_rels/sheet1.xml.rels", sheet_rels)
        dst.writestr("xl/drawings/vmlDrawing1.vml", vml)
        dst.writestr("xl/drawings/_rels/vmlDrawing1.vml.rels", vml_rels)
        dst.writestr("xl/media/image1.png", png(40, 20, (255, 0, 0)))
        dst.writestr("xl/media/image2.emf", emf)
        jpeg = subprocess.run(["/usr/bin/convert", "-size", "16x8", "xc:#0000ff", "-strip",
                               "jpeg:-"], check=True, capture_output=True).stdout
        dst.writestr("xl/media/image3.jpeg", jpeg)


def office_art(ver, instance, kind, body):
    # A drawing record: version and instance in one word, type, length, body.
    return struct.pack("<HHI", ver | (instance << 4), kind, len(body)) + body


def hf_picture_records(drawing, group, chunk):
    # HFPicture records carrying one drawing (group: the workbook's drawing group, else a
    # sheet's drawing), cut every `chunk` bytes into records that continue the first.
    out = b""
    for i, at in enumerate(range(0, len(drawing), chunk)):
        flags = (0x02 if group else 0x01) | (0x04 if i else 0)
        body = struct.pack("<HH8xBB", 0x0866, 0, flags, 0) + drawing[at:at + chunk]
        out += struct.pack("<HH", 0x0866, len(body)) + body
    return out


def header_picture_xls():
    # The .xls twin of header_picture(): python3-xlwt writes the workbook, then the HFPicture
    # records are put in as the spreadsheet application writes them (xlwt cannot), the
    # drawing group with the images in the globals and the sheet's drawing before its EOF,
    # each cut into records that continue one another. Its images: an EMF (blip 1, left
    # footer, not drawn), the red 40x20 PNG (blip 2, with a second id, centre header, 80x40
    # pixels = 60x30 pt) and the blue 16x8 JPEG (blip 3, right footer, 32x16 pixels = 24x12 pt).
    import xlwt
    import xlwt.CompoundDoc
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("页眉图片")
    ws.write(0, 0, "页眉有图片")
    # Its header_str setter fails on Python 3 text: the attributes behind it are set instead.
    ws._Worksheet__header_str = "&L左侧&C&G&R第&P页"
    ws._Worksheet__footer_str = "&L&G&R&G"
    ws.paper_size_code = 9
    ws.left_margin = ws.right_margin = 0.75
    ws.top_margin = ws.bottom_margin = 1.0
    ws.header_margin = 0.3
    ws.footer_margin = 0.5
    stream = wb.get_biff_data()

    jpeg = subprocess.run(["/usr/bin/convert", "-size", "16x8", "xc:#0000ff", "-strip",
                           "jpeg:-"], check=True, capture_output=True).stdout
    emf = struct.pack("<II", 1, 88) + bytes(80)
    uid = bytes(range(16))
    metafile = struct.pack("<I4i2iIBB", len(emf), 0, 0, 100, 100, 1000, 1000, len(emf),
                           0xFE, 0xFE)
    blips = [(2, office_art(0, 0x3D4, 0xF01A, uid + metafile + emf)),
             (6, office_art(0, 0x6E1, 0xF01E, uid + uid[::-1] + b"\xff"
                            + png(40, 20, (255, 0, 0)))),
             (5, office_art(0, 0x46A, 0xF01D, uid + b"\xff" + jpeg))]
    store = b"".join(
        office_art(2, kind, 0xF007, struct.pack("<BB16sHIIIBBBB", kind, kind, uid, 0xFF,
                                                len(blip), 1, 0, 0, 0, 0, 0) + blip)
        for kind, blip in blips)
    group = office_art(0xF, 0, 0xF000,
                       office_art(0, 0, 0xF006, struct.pack("<IIIIII", 0x404, 2, 4, 1, 1, 4))
                       + office_art(0xF, len(blips), 0xF001, store)
                       + office_art(0, 4, 0xF11E, struct.pack("<IIII", 0xFFFF, 0xFF000000,
                                                              0x808080, 0x100000F7)))

    def shape(spid, name, blip, width_px, height_px):
        wz = (name + "\0").encode("utf-16-le")
        title = "图片\0".encode("utf-16-le")
        props = (struct.pack("<HI", 0x4104, blip) + struct.pack("<HI", 0xC105, len(title))
                 + struct.pack("<HI", 0x8380, len(wz)) + title + wz)
        return office_art(0xF, 0, 0xF004,
                          office_art(2, 75, 0xF00A, struct.pack("<II", spid, 0x0A00))
                          + office_art(3, 3, 0xF00B, props)
                          + office_art(0, 0, 0xF010, struct.pack("<ii", width_px, height_px)))

    patriarch = office_art(0xF, 0, 0xF004, office_art(1, 0, 0xF009, bytes(16))
                           + office_art(2, 0, 0xF00A, struct.pack("<II", 0x400, 0x5)))
    drawing = office_art(0xF, 0, 0xF002,
                         office_art(0, 1, 0xF008, struct.pack("<II", 4, 0x403))
                         + office_art(0xF, 0, 0xF003, patriarch
                                      + shape(0x401, "CH", 2, 80, 40)
                                      + shape(0x402, "LF", 1, 40, 40)
                                      + shape(0x403, "RF", 3, 32, 16)))
    globals_part = hf_picture_records(group, True, 200)
    sheet_part = hf_picture_records(drawing, False, 150)

    # Records in: the globals' go before its EOF, which moves every sheet, so the sheet
    # offsets of BOUNDSHEET and INDEX move with them.
    out = b""
    pos = 0
    shift = len(globals_part)
    depth = 0
    in_globals = True
    while pos < len(stream):
        rid, size = struct.unpack_from("<HH", stream, pos)
        body = stream[pos + 4:pos + 4 + size]
        if rid == 0x0085:
            body = struct.pack("<I", struct.unpack_from("<I", body)[0] + shift) + body[4:]
        elif rid == 0x020B:
            offsets = struct.unpack_from(f"<{(size - 12) // 4}I", body, 12)
            body = body[:12] + struct.pack(f"<{len(offsets)}I", *(o + shift for o in offsets))
        if rid == 0x0809:
            depth += 1
        elif rid == 0x000A:
            depth -= 1
            if depth == 0:
                out += globals_part if in_globals else sheet_part
                in_globals = False
        out += struct.pack("<HH", rid, len(body)) + body
        pos += 4 + size
    with open("../header_picture/header_picture.xls", "wb") as f:
        xlwt.CompoundDoc.XlsDoc().save(f, out)


if __name__ == "__main__":
    hidden_only()
    three_sheets()
    no_paper()
    header_picture()
    header_picture_xls()
