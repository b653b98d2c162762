#!/usr/bin/python3
"""Makes the printing fixtures: bundled example workbooks given varied page setups by LibreOffice
over its API and saved by it as .xls and .xlsx, so the readers and the pagination are checked on
files a real application wrote.

Usage: LC_ALL=C.UTF-8 /usr/bin/python3 scripts/make_print_fixtures.py OUTDIR"""
import os, sys
import uno
from com.sun.star.table import CellRangeAddress

from lo_office import Office, pv

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCES = {
    'hx': os.path.join(HERE, '..', 'examples', 'kind5', '恒信商贸_2008年资产负债表.xls'),
    'yf': os.path.join(HERE, '..', 'examples', 'kind9', '粤丰五金_2008年度企业所得税申报表.xlsx'),
}


def area(sheet_index, r0, c0, r1, c1):
    a = CellRangeAddress(); a.Sheet = sheet_index
    a.StartRow, a.StartColumn, a.EndRow, a.EndColumn = r0, c0, r1, c1
    return a


def a3_landscape(doc, sheet, style, idx):
    style.IsLandscape = True; style.Width, style.Height = 42000, 29700


def a5(doc, sheet, style, idx):
    style.Width, style.Height = 14800, 21000


def scale80(doc, sheet, style, idx):
    style.PageScale = 80


def fit1x1(doc, sheet, style, idx):
    style.ScaleToPagesX = 1; style.ScaleToPagesY = 1


def fit1x0(doc, sheet, style, idx):
    style.Width, style.Height = 14800, 21000
    style.ScaleToPagesX = 1; style.ScaleToPagesY = 0


def margins_centred(doc, sheet, style, idx):
    style.LeftMargin = style.RightMargin = 2000
    style.TopMargin = style.BottomMargin = 3000
    style.CenterHorizontally = True; style.CenterVertically = True


def area_titles(doc, sheet, style, idx):
    style.Width, style.Height = 14800, 21000
    sheet.setPrintAreas((area(idx, 0, 0, 40, 3),))
    sheet.PrintTitleRows = True; sheet.TitleRows = area(idx, 0, 0, 3, 0)


def two_areas(doc, sheet, style, idx):
    sheet.setPrintAreas((area(idx, 0, 0, 10, 3), area(idx, 15, 0, 30, 5)))


def manual_breaks(doc, sheet, style, idx):
    sheet.Rows.getByIndex(20).IsStartOfNewPage = True
    sheet.Columns.getByIndex(2).IsStartOfNewPage = True


def over_then_down(doc, sheet, style, idx):
    style.Width, style.Height = 14800, 21000
    style.PrintDownFirst = False


def letter_header(doc, sheet, style, idx):
    style.Width, style.Height = 21590, 27940
    style.HeaderIsOn = True; style.FooterIsOn = True
    style.PrintGrid = True


VARIANTS = [a3_landscape, a5, scale80, fit1x1, fit1x0, margins_centred, area_titles, two_areas,
            manual_breaks, over_then_down, letter_header]
FORMATS = [('xls', 'MS Excel 97'), ('xlsx', 'Calc MS Excel 2007 XML')]


def main():
    out = os.path.abspath(sys.argv[1])
    os.makedirs(out, exist_ok=True)
    written = 0
    with Office('lo-fixtures-') as office:
        desktop = office.desktop
        for key, src in SOURCES.items():
            for variant in VARIANTS:
                doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(src)), '_blank', 0,
                                                   (pv('Hidden', True),))
                sheet = doc.CurrentController.ActiveSheet
                idx = list(doc.Sheets.ElementNames).index(sheet.Name)
                style = doc.StyleFamilies.getByName('PageStyles').getByName(sheet.PageStyle)
                variant(doc, sheet, style, idx)
                for ext, flt in FORMATS:
                    path = os.path.join(out, '%s_%s.%s' % (key, variant.__name__, ext))
                    doc.storeToURL(uno.systemPathToFileUrl(path), (pv('FilterName', flt),))
                    written += 1
                doc.close(True)
    if written == 0:
        sys.exit('no fixture written')


if __name__ == '__main__':
    main()
