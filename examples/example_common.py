"""What the example makers share: deterministic amounts and the print setup of real statements."""


class Amounts:
    """Deterministic, plausible amounts with cents."""

    def __init__(self, seed):
        self.x = seed

    def next(self, low, high):
        self.x = (self.x * 1103515245 + 12345) % 2**31
        return round(low + (self.x % int((high - low) * 100)) / 100.0, 2)


def print_setup(ws, title_rows):
    """How real statements are set up for printing (an openpyxl sheet): A4 portrait, every
    column on one page width, centred, the column headings repeated on each page, the sheet name
    above and the page number below."""
    ws.page_setup.paperSize = ws.PAPERSIZE_A4
    ws.page_setup.orientation = ws.ORIENTATION_PORTRAIT
    ws.sheet_properties.pageSetUpPr.fitToPage = True
    ws.page_setup.fitToWidth = 1
    ws.page_setup.fitToHeight = 0
    ws.print_options.horizontalCentered = True
    # Absolute rows ("$6:$6"): the spreadsheet applications ignore a title range written "6:6".
    first, last = title_rows.split(":")
    ws.print_title_rows = "$%s:$%s" % (first, last)
    ws.oddHeader.center.text = "&A"
    ws.oddFooter.center.text = "第 &P 页，共 &N 页"
