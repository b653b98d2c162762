#!/usr/bin/python3
"""Writes the layout fixtures with LibreOffice: one workbook whose sheets carry different page
setups, widths, heights, merges, print areas, titles, breaks and cell formats, saved as BIFF8
(lo_layout.xls) and as .xlsx (lo_layout.xlsx). Run with Debian's /usr/bin/python3:

  /usr/bin/python3 tests/data/layout/make_layout_fixtures.py [OUT_DIR]   (default: this folder)

The tests do not trust these settings: they compare what the engine reads with what LibreOffice
reports when it loads the saved files again (check_layout.py)."""
import os
import sys

import uno
from com.sun.star.table import BorderLine2, CellRangeAddress

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
# The LibreOffice session shared by the reference scripts.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', '..', 'scripts'))
from lo_office import Office, pv  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
CENTER = uno.Enum("com.sun.star.table.CellHoriJustify", "CENTER")
RIGHT = uno.Enum("com.sun.star.table.CellHoriJustify", "RIGHT")
ITALIC = uno.Enum("com.sun.star.awt.FontSlant", "ITALIC")


def page_style(doc, name, **props):
    styles = doc.StyleFamilies.getByName("PageStyles")
    style = doc.createInstance("com.sun.star.style.PageStyle")
    styles.insertByName(name, style)
    style = styles.getByName(name)
    for key, value in props.items():
        setattr(style, key, value)
    return style


def set_header(style, attr, left, center, right):
    content = getattr(style, attr)
    content.LeftText.setString(left)
    content.CenterText.setString(center)
    content.RightText.setString(right)
    setattr(style, attr, content)


def area(sheet_index, c1, r1, c2, r2):
    a = CellRangeAddress()
    a.Sheet, a.StartColumn, a.StartRow, a.EndColumn, a.EndRow = sheet_index, c1, r1, c2, r2
    return a


def fill(sheet, rows, cols):
    for r in range(rows):
        for c in range(cols):
            cell = sheet.getCellByPosition(c, r)
            if (r + c) % 3 == 0:
                cell.setString("项目%d-%d" % (r + 1, c + 1))
            else:
                cell.setValue(r * 100 + c + 0.25)


def line(color, width):
    b = BorderLine2()
    b.Color = color
    b.OuterLineWidth = width
    b.LineWidth = width
    return b


def build(doc):
    sheets = doc.Sheets
    names = ["A4纵向", "A3横向", "Letter适应", "B5默认"]
    sheets.getByIndex(0).Name = names[0]
    for i, name in enumerate(names[1:], start=1):
        sheets.insertNewByName(name, i)

    # 1: A4 portrait at 80%, margins, header and footer, centred, grid and headings, widths,
    # heights, merges, a print area, title rows and manual breaks.
    s = sheets.getByIndex(0)
    st = page_style(doc, "p1", Width=21000, Height=29700, IsLandscape=False, PageScale=80,
                    LeftMargin=1500, RightMargin=2000, TopMargin=2500, BottomMargin=1800,
                    HeaderIsOn=True, FooterIsOn=True, CenterHorizontally=True,
                    PrintGrid=True, PrintHeaders=True)
    set_header(st, "RightPageHeaderContent", "机密", "资产负债表", "单位：元")
    set_header(st, "RightPageFooterContent", "", "第一页", "")
    s.PageStyle = "p1"
    fill(s, 40, 8)
    s.Columns.getByIndex(0).Width = 3000
    s.Columns.getByIndex(1).IsVisible = False
    s.Columns.getByIndex(2).Width = 5000
    s.Columns.getByIndex(5).Width = 1200
    s.Rows.getByIndex(1).Height = 1000
    s.Rows.getByIndex(4).IsVisible = False
    s.Rows.getByIndex(7).Height = 800
    s.getCellRangeByName("A1:D1").merge(True)
    s.getCellRangeByName("B3:C4").merge(True)
    s.getCellRangeByName("E20:H22").merge(True)
    s.setPrintAreas((area(0, 0, 0, 5, 29),))
    s.setTitleRows(area(0, 0, 0, 0, 1))
    s.setPrintTitleRows(True)
    s.Rows.getByIndex(10).IsStartOfNewPage = True
    s.Rows.getByIndex(25).IsStartOfNewPage = True
    s.Columns.getByIndex(4).IsStartOfNewPage = True

    # 2: A3 landscape fitted to one page wide, centred vertically, over then down, first page
    # number 3, title columns and a print area of two ranges.
    s = sheets.getByIndex(1)
    page_style(doc, "p2", Width=42000, Height=29700, IsLandscape=True, ScaleToPagesX=1,
               ScaleToPagesY=0, CenterVertically=True, PrintDownFirst=False, FirstPageNumber=3,
               LeftMargin=1000, RightMargin=1000, TopMargin=1200, BottomMargin=1200,
               HeaderIsOn=False, FooterIsOn=False)
    s.PageStyle = "p2"
    fill(s, 60, 30)
    for c in range(30):
        s.Columns.getByIndex(c).Width = 1800 + 100 * (c % 7)
    s.setPrintAreas((area(1, 0, 0, 2, 9), area(1, 4, 0, 6, 9)))
    s.setTitleColumns(area(1, 0, 0, 0, 0))
    s.setPrintTitleColumns(True)
    s.getCellRangeByName("J2:L2").merge(True)

    # 3: Letter fitted to 1 x 1 pages, cell formats of every kind.
    s = sheets.getByIndex(2)
    page_style(doc, "p3", Width=21590, Height=27940, IsLandscape=False, ScaleToPagesX=1,
               ScaleToPagesY=1, HeaderIsOn=False, FooterIsOn=True)
    s.PageStyle = "p3"
    fill(s, 12, 6)
    formats = doc.NumberFormats
    locale = uno.createUnoStruct("com.sun.star.lang.Locale")

    def fmt(code):
        key = formats.queryKey(code, locale, False)
        return key if key != -1 else formats.addNew(code, locale)

    # Cells with CJK text export the Asian font properties, so both are set.
    a1 = s.getCellByPosition(0, 0)
    for suffix in ("", "Asian"):
        setattr(a1, "CharWeight" + suffix, 150)
        setattr(a1, "CharPosture" + suffix, ITALIC)
        setattr(a1, "CharHeight" + suffix, 14)
        setattr(a1, "CharFontName" + suffix, "Arial")
    a1.CharUnderline = 1
    a1.CharColor = 0xFF0000
    b1 = s.getCellByPosition(1, 0)
    b1.CellBackColor = 0xFFFF00
    b1.HoriJustify = CENTER
    b1.IsTextWrapped = True
    b1.CharStrikeout = 1
    c1 = s.getCellByPosition(2, 0)
    c1.RotateAngle = 9000
    c1.HoriJustify = RIGHT
    c1.ParaIndent = 0
    d1 = s.getCellByPosition(3, 0)
    d1.TopBorder = line(0x0000FF, 35)
    d1.BottomBorder = line(0x000000, 26)
    d1.LeftBorder = line(0x00FF00, 9)
    d1.RightBorder = line(0x000000, 9)
    s.getCellByPosition(1, 1).NumberFormat = fmt("0.00%")
    s.getCellByPosition(2, 1).NumberFormat = fmt("#,##0.00;[RED]-#,##0.00")
    s.getCellByPosition(3, 1).NumberFormat = fmt("YYYY-MM-DD")
    s.getCellByPosition(4, 1).NumberFormat = fmt('"￥"#,##0.00')
    s.getCellByPosition(4, 4).CellBackColor = 0xC0C0C0  # formatted but empty
    s.getCellByPosition(5, 8).CharWeight = 150           # formatted but empty
    s.getCellByPosition(0, 3).CharFontNameAsian = "宋体"
    s.getCellByPosition(0, 3).CharHeightAsian = 12

    # 4: B5 (JIS) portrait, the defaults otherwise.
    s = sheets.getByIndex(3)
    page_style(doc, "p4", Width=18200, Height=25700, IsLandscape=False)
    s.PageStyle = "p4"
    fill(s, 5, 3)


def main():
    out = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else HERE
    with Office() as office:
        doc = office.new_calc()
        build(doc)
        for name, filt in (("lo_layout.xls", "MS Excel 97"),
                           ("lo_layout.xlsx", "Calc MS Excel 2007 XML")):
            path = os.path.join(out, name)
            doc.storeToURL(uno.systemPathToFileUrl(path), (pv("FilterName", filt),))
            if not os.path.exists(path) or os.path.getsize(path) == 0:
                sys.exit("LibreOffice wrote nothing for " + path)
        doc.close(True)


if __name__ == "__main__":
    main()
