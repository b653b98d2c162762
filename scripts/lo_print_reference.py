#!/usr/bin/python3
"""Writes, for each workbook given, how LibreOffice lays out its sheets for printing: column widths,
row heights, page style, print areas, title rows and columns, and where it breaks the sheet into
pages. The pagination tests read this file, so CTest needs no LibreOffice.

Usage: LC_ALL=C.UTF-8 /usr/bin/python3 scripts/lo_print_reference.py [--all-sheets] [--root DIR]
       OUT WORKBOOK...
One line per sheet, tab-separated key=value fields; lengths in 1/100 mm, indexes 0-based. Files
are named relative to --root."""
import argparse, os, subprocess, sys, tempfile
import uno

from lo_office import Office, pv


def ranges(addrs):
    return ';'.join('%d,%d,%d,%d' % (a.StartRow, a.StartColumn, a.EndRow, a.EndColumn) for a in addrs)


def has_print_setup(path):
    """Whether the workbook states a print setup of its own: a valid SETUP record, fit to page,
    print area or titles in an .xls; a pageSetup, fitToPage or print area in an .xlsx."""
    import zipfile, struct
    try:
        if zipfile.is_zipfile(path):
            with zipfile.ZipFile(path) as z:
                for n in z.namelist():
                    if n.startswith('xl/worksheets/') and n.endswith('.xml'):
                        x = z.read(n)
                        if b'<pageSetup ' in x or b'fitToPage="1"' in x or b'Breaks' in x:
                            return True
                    if n == 'xl/workbook.xml' and b'_xlnm.Print_' in z.read(n):
                        return True
            return False
        import olefile
        with olefile.OleFileIO(path) as ole:
            name = 'Workbook' if ole.exists('Workbook') else 'Book'
            data = ole.openstream(name).read()
        i = 0
        while i + 4 <= len(data):
            rid, size = struct.unpack_from('<HH', data, i)
            body = data[i + 4:i + 4 + size]
            if rid == 0xA1 and len(body) >= 12 and not (struct.unpack_from('<H', body, 10)[0] & 4):
                return True
            if rid == 0x18 and len(body) >= 16 and (body[0] & 0x20) and body[15] in (6, 7):
                return True
            if rid == 0x81 and len(body) >= 2 and (body[1] & 1):
                return True
            i += 4 + size
    except Exception:
        return False
    return False


def sheet_record(doc, sheet, rel, active):
    style = doc.StyleFamilies.getByName('PageStyles').getByName(sheet.PageStyle)
    cur = sheet.createCursor(); cur.gotoEndOfUsedArea(False)
    last_row, last_col = cur.RangeAddress.EndRow, cur.RangeAddress.EndColumn
    areas = list(sheet.getPrintAreas())
    max_row, max_col = last_row, last_col
    for a in areas:
        max_row, max_col = max(max_row, a.EndRow), max(max_col, a.EndColumn)
    cols = sheet.Columns; rows = sheet.Rows
    widths = []
    for c in range(max_col + 1):
        col = cols.getByIndex(c)
        widths.append(str(col.Width if col.IsVisible else 0))
    heights = []
    for r in range(max_row + 1):
        row = rows.getByIndex(r)
        heights.append(str(row.Height if row.IsVisible else 0))
    rb = list(sheet.RowPageBreaks); cb = list(sheet.ColumnPageBreaks)
    f = dict(file=rel, sheet=sheet.Name, active=int(active), last_row=last_row, last_col=last_col,
             paper='%d,%d' % (style.Width, style.Height), landscape=int(bool(style.IsLandscape)),
             scale=style.PageScale, fit='%d,%d' % (style.ScaleToPagesX, style.ScaleToPagesY),
             fit_total=style.ScaleToPages,
             margins='%d,%d,%d,%d' % (style.LeftMargin, style.RightMargin, style.TopMargin, style.BottomMargin),
             header=style.HeaderHeight if style.HeaderIsOn else 0,
             footer=style.FooterHeight if style.FooterIsOn else 0,
             header_dist=style.HeaderBodyDistance if style.HeaderIsOn else 0,
             footer_dist=style.FooterBodyDistance if style.FooterIsOn else 0,
             dynamic='%d,%d' % (int(bool(style.HeaderIsDynamicHeight)), int(bool(style.FooterIsDynamicHeight))),
             center='%d,%d' % (int(bool(style.CenterHorizontally)), int(bool(style.CenterVertically))),
             down_first=int(bool(style.PrintDownFirst)),
             areas=ranges(areas),
             title_rows=('%d,%d' % (sheet.TitleRows.StartRow, sheet.TitleRows.EndRow)) if sheet.PrintTitleRows else '',
             title_cols=('%d,%d' % (sheet.TitleColumns.StartColumn, sheet.TitleColumns.EndColumn)) if sheet.PrintTitleColumns else '',
             manual_rows=','.join(str(b.Position) for b in rb if b.ManualBreak and b.Position <= max_row),
             manual_cols=','.join(str(b.Position) for b in cb if b.ManualBreak and b.Position <= max_col),
             row_breaks=','.join(str(b.Position) for b in rb if 0 < b.Position <= max_row),
             col_breaks=','.join(str(b.Position) for b in cb if 0 < b.Position <= max_col),
             widths=','.join(widths), heights=','.join(heights))
    return '\t'.join('%s=%s' % (k, v) for k, v in f.items())


def active_pdf_pages(doc, active):
    """Pages of the PDF of one sheet alone; the other sheets are removed from doc."""
    for name in list(doc.Sheets.ElementNames):
        if name != active:
            doc.Sheets.removeByName(name)
    fd, pdf = tempfile.mkstemp(suffix='.pdf'); os.close(fd)
    try:
        doc.storeToURL(uno.systemPathToFileUrl(pdf), (pv('FilterName', 'calc_pdf_Export'),))
        info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True,
                              env=dict(os.environ, LC_ALL='C.UTF-8')).stdout
        for line in info.splitlines():
            if line.startswith('Pages:'):
                return int(line.split()[1])
        sys.exit('pdfinfo gave no page count for the PDF of ' + active)
    finally:
        os.remove(pdf)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--all-sheets', action='store_true', help='every visible sheet, not the active one')
    ap.add_argument('--root', default='.')
    ap.add_argument('--with-print-setup', action='store_true', help='only workbooks that state a print setup')
    ap.add_argument('--pdf-pages', action='store_true',
                    help="also count the pages of LibreOffice's PDF of the active sheet alone")
    ap.add_argument('out')
    ap.add_argument('files', nargs='+')
    a = ap.parse_args()
    if a.with_print_setup:
        a.files = [f for f in a.files if has_print_setup(f)]
    lines = []
    out = open(a.out, 'w', encoding='utf-8')
    with Office('lo-print-ref-') as office:
        desktop = office.desktop
        for path in a.files:
            rel = os.path.relpath(os.path.abspath(path), os.path.abspath(a.root))
            try:
                doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(path)), '_blank', 0,
                                                   (pv('Hidden', True), pv('ReadOnly', True)))
            except Exception as e:
                print('skipped %s: %s' % (rel, e), file=sys.stderr); continue
            if doc is None or not hasattr(doc, 'Sheets'):
                print('skipped %s: not a spreadsheet' % rel, file=sys.stderr)
                if doc is not None: doc.close(True)
                continue
            try:
                if a.all_sheets:
                    sheets = [doc.Sheets.getByIndex(i) for i in range(doc.Sheets.Count)]
                    sheets = [s for s in sheets if s.IsVisible]
                else:
                    sheets = [doc.CurrentController.ActiveSheet]
                active = doc.CurrentController.ActiveSheet.Name
                records = [sheet_record(doc, s, rel, s.Name == active) for s in sheets]
                if a.pdf_pages:
                    # What it prints may differ from the breaks its API reports (fit to pages),
                    # so each sheet is also exported alone from a fresh copy of the workbook.
                    names = [s.Name for s in sheets]
                    for i, name in enumerate(names):
                        copy = desktop.loadComponentFromURL(uno.systemPathToFileUrl(os.path.abspath(path)),
                                                            '_blank', 0, (pv('Hidden', True),))
                        records[i] += '\tpdf_pages=%d' % active_pdf_pages(copy, name)
                        copy.close(True)
                for r in records:
                    lines.append(r)
                    out.write(r + '\n'); out.flush()
            except Exception as e:
                print('skipped %s: %s' % (rel, e), file=sys.stderr)
            doc.close(True)
    out.close()
    if not lines:
        sys.exit('LibreOffice reported no sheet')


if __name__ == '__main__':
    main()
