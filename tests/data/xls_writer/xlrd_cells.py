#!/usr/bin/python3
"""Prints every non-empty cell of each workbook as xlrd reads it, for the writer's tests.

    /usr/bin/python3 xlrd_cells.py FILE...

Per file a line "F<TAB>path" (or "X<TAB>path<TAB>error" when xlrd cannot open it), then one line
per cell: sheet name (UTF-8 as hex), A1 address, kind and value. Kinds: n number (repr), s text
(UTF-8 as hex), b boolean (0/1), e error (BIFF error code).
"""
import sys

import xlrd

KINDS = {xlrd.XL_CELL_NUMBER: "n", xlrd.XL_CELL_DATE: "n", xlrd.XL_CELL_TEXT: "s",
         xlrd.XL_CELL_BOOLEAN: "b", xlrd.XL_CELL_ERROR: "e"}

for path in sys.argv[1:]:
    try:
        book = xlrd.open_workbook(path, on_demand=False)
    except Exception as exc:  # noqa: BLE001 - reported to the test
        print("X\t%s\t%s" % (path, str(exc).replace("\n", " ")))
        continue
    print("F\t%s" % path)
    for index in range(book.nsheets):
        sheet = book.sheet_by_index(index)
        for row in range(sheet.nrows):
            for col in range(sheet.ncols):
                cell = sheet.cell(row, col)
                kind = KINDS.get(cell.ctype)
                if kind is None:
                    continue
                if kind == "n":
                    value = repr(float(cell.value))
                elif kind == "s":
                    value = cell.value.encode("utf-8").hex()
                else:
                    value = str(int(cell.value))
                print("%s\t%s%d\t%s\t%s" % (sheet.name.encode("utf-8").hex(), xlrd.colname(col),
                                              row + 1, kind, value))
