#!/usr/bin/python3
"""Checks the two local-tax filing templates against the cells the converters write.

    /usr/bin/python3 resources/templates/check_templates.py [FOLDER]

For each template: three worksheets named 公共信息表, 资产负债表, 利润表; every cell a converter
writes is empty; a label stands beside it in the same row; amount cells carry the
two-decimal, thousands-separated format and borders; no other cell is left without a label
on a written row. Prints one line per fault and exits 1 when there is any.
"""

import os
import sys

import xlrd

HERE = os.path.dirname(os.path.abspath(__file__))


def rows(*ranges):
    out = []
    for r in ranges:
        out.extend(range(r[0], r[-1] + 1))
    return out


# Target rows of the transfers, as the converters' tables give them (target = source + offset).
ENTERPRISE = {
    "balance_left": rows((6, 18), (22, 23), (26, 27), (29,), (31, 33), (38, 40), (43,)),
    "balance_right": rows((6, 19), (22, 26), (30,), (35, 36), (38, 41)),
    "income": rows((5, 7), (9, 12), (14, 17), (19,), (24, 29)),
}
SMALL = {
    "balance_left": rows((6, 15), (18, 19), (22, 23), (25, 27), (30, 32)),
    "balance_right": rows((6, 17), (20, 22), (28, 32)),
    "income": rows((5, 7), (9, 12), (14, 16), (18,)),
}
# Public information table: value cell -> the label cell left of it.
PUBLIC_INFO = {"B5": "A5", "B6": "A6", "B7": "A7", "D7": "C7", "F7": "E7", "B8": "A8",
               "D8": "C8", "F8": "E8", "B9": "A9", "B10": "A10", "B11": "A11", "B12": "A12"}


def cell(sheet, address):
    col = ord(address[0]) - ord("A")
    row = int(address[1:]) - 1
    if row >= sheet.nrows or col >= sheet.ncols:
        return None
    return sheet.cell(row, col)


def check(path, targets, faults):
    name = os.path.basename(path)
    book = xlrd.open_workbook(path, formatting_info=True)

    def fault(text):
        faults.append(f"{name}: {text}")

    if book.sheet_names()[:3] != ["公共信息表", "资产负债表", "利润表"]:
        fault(f"worksheets are {book.sheet_names()}")
        return

    def is_empty(sheet, address):
        c = cell(sheet, address)
        return c is None or c.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK)

    def text(sheet, address):
        c = cell(sheet, address)
        return c.value.strip() if c is not None and c.ctype == xlrd.XL_CELL_TEXT else ""

    def amount_format(sheet, address):
        c = cell(sheet, address)
        if c is None:
            return False
        xf = book.xf_list[c.xf_index]
        fmt = book.format_map[xf.format_key].format_str
        b = xf.border
        bordered = all((b.left_line_style, b.right_line_style, b.top_line_style,
                        b.bottom_line_style))
        return fmt.replace("\\", "") in ("#,##0.00", "#,##0.00_);(#,##0.00)") and bordered

    info, balance, income = (book.sheet_by_index(i) for i in range(3))
    for target, label in PUBLIC_INFO.items():
        if not is_empty(info, target):
            fault(f"公共信息表!{target} is not empty")
        if not text(info, label):
            fault(f"公共信息表!{label} holds no label for {target}")

    for side, (label_col, amount_cols) in (("balance_left", ("A", "DE")),
                                           ("balance_right", ("F", "HI"))):
        for r in targets[side]:
            if not text(balance, f"{label_col}{r}"):
                fault(f"资产负债表!{label_col}{r} holds no label")
            for col in amount_cols:
                address = f"{col}{r}"
                if not is_empty(balance, address):
                    fault(f"资产负债表!{address} is not empty")
                if not amount_format(balance, address):
                    fault(f"资产负债表!{address} lacks the amount format or borders")

    for r in targets["income"]:
        if not text(income, f"A{r}"):
            fault(f"利润表!A{r} holds no label")
        for col in "DF":
            address = f"{col}{r}"
            if not is_empty(income, address):
                fault(f"利润表!{address} is not empty")
            if not amount_format(income, address):
                fault(f"利润表!{address} lacks the amount format or borders")

    # Every labelled line of a statement has somewhere to receive its amounts or is a
    # heading: a total must arrive through a transfer, since the templates hold no formulas.
    for sheet, label_col, target_rows in ((balance, "A", targets["balance_left"]),
                                          (balance, "F", targets["balance_right"]),
                                          (income, "A", targets["income"])):
        for r in range(5, sheet.nrows + 1):
            label = text(sheet, f"{label_col}{r}")
            numbered = len(label) > 1 and label[1] == "、"
            if ("合计" in label or "总计" in label or numbered) and r not in target_rows:
                fault(f"{sheet.name}!{label_col}{r} ({label}) is a total no transfer fills")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else HERE
    faults = []
    for name, targets in (("地税目标企业会计制度报表.xls", ENTERPRISE),
                          ("地税目标小企业会计制度报表.xls", SMALL)):
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            faults.append(f"{name}: missing in {folder}")
            continue
        check(path, targets, faults)
    for f in faults:
        print(f)
    print("templates: " + ("%d fault(s)" % len(faults) if faults else "ok"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
