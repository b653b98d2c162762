#!/usr/bin/python3
"""Writes the example workbooks of report kind 1 (system-edition balance sheet) into kind1/.

Run with Debian's Python (python3-openpyxl): /usr/bin/python3 examples/make_examples_system.py
"""
import os

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side

from example_common import print_setup

HERE = os.path.dirname(os.path.abspath(__file__))

# (label, line number); rows 6..42 of each side. A line number is the row key.
ASSETS = [
    ("流动资产：", None), ("货币资金", 1), ("短期投资", 2), ("应收票据", 3), ("应收股利", 4),
    ("应收利息", 5), ("应收账款", 6), ("其他应收款", 7), ("预付账款", 8), ("应收补贴款", 9),
    ("存货", 10), ("待摊费用", 11), ("一年内到期的长期债权投资", 21), ("其他流动资产", 24),
    ("流动资产合计", 31), ("长期投资：", None), ("长期股权投资", 32), ("长期债权投资", 34),
    ("长期投资合计", 38), ("固定资产：", None), ("固定资产原价", 39), ("减：累计折旧", 40),
    ("固定资产净值", 41), ("减：固定资产减值准备", 42), ("固定资产净额", 43), ("工程物资", 44),
    ("在建工程", 45), ("固定资产清理", 46), ("固定资产合计", 50), ("无形资产及其他资产：", None),
    ("无形资产", 51), ("长期待摊费用", 52), ("其他长期资产", 53), ("无形资产及其他资产合计", 60),
    ("递延税项：", None), ("递延税款借项", 61), ("资产总计", 67),
]
LIABILITIES = [
    ("流动负债：", None), ("短期借款", 68), ("应付票据", 69), ("应付账款", 70), ("预收账款", 71),
    ("应付工资", 72), ("应付福利费", 73), ("应付股利", 74), ("应交税金", 75), ("其他应交款", 80),
    ("其他应付款", 81), ("预提费用", 82), ("预计负债", 83), ("一年内到期的长期负债", 86),
    ("其他流动负债", 90), ("流动负债合计", 100), ("长期负债：", None), ("长期借款", 101),
    ("应付债券", 102), ("长期应付款", 103), ("专项应付款", 106), ("其他长期负债", 108),
    ("长期负债合计", 110), ("递延税项：", None), ("递延税款贷项", 111), ("负债合计", 114),
    ("所有者权益（或股东权益）：", None), ("实收资本（或股本）", 115), ("减：已归还投资", 116),
    ("实收资本（或股本）净额", 117), ("资本公积", 118), ("盈余公积", 119),
    ("其中：法定公益金", 120), ("未分配利润", 121), ("所有者权益（或股东权益）合计", 122),
    ("", None), ("负债和所有者权益（或股东权益）总计", 135),
]

THIN = Side(style="thin")
BOX = Border(left=THIN, right=THIN, top=THIN, bottom=THIN)


def amounts(seed, n):
    """Deterministic, plausible amounts with cents."""
    x = seed
    out = []
    for _ in range(n):
        x = (x * 1103515245 + 12345) % 2**31
        out.append(round((x % 5_000_000) / 100.0 + 1000, 2))
    return out


def fill_sheet(ws, taxpayer, company, start, end, prepared, seed):
    ws["A1"] = "纳税人识别号：" + taxpayer
    ws["C1"] = "资产负债表"
    ws["C1"].font = Font(bold=True, size=14)
    ws["D1"] = "填表日期："
    ws["E1"] = prepared
    ws["A2"] = "所属期起："
    ws["B2"] = start
    ws["D2"] = "所属期止："
    ws["E2"] = end
    ws["A3"] = "编制单位：" + company
    ws["H3"] = "单位：元"
    heads = ["资产", "行次", "年初数", "期末数", "负债和所有者权益", "行次", "年初数", "期末数"]
    for i, h in enumerate(heads):
        c = ws.cell(row=5, column=i + 1, value=h)
        c.font = Font(bold=True)
        c.alignment = Alignment(horizontal="center")
        c.border = BOX
    left = amounts(seed, 74)
    right = amounts(seed + 7, 74)
    for i, ((al, ak), (ll, lk)) in enumerate(zip(ASSETS, LIABILITIES)):
        r = 6 + i
        ws.cell(row=r, column=1, value=al)
        ws.cell(row=r, column=5, value=ll)
        if ak:
            ws.cell(row=r, column=2, value=ak)
            ws.cell(row=r, column=3, value=left[2 * i])
            ws.cell(row=r, column=4, value=left[2 * i + 1])
        if lk:
            ws.cell(row=r, column=6, value=lk)
            ws.cell(row=r, column=7, value=right[2 * i])
            ws.cell(row=r, column=8, value=right[2 * i + 1])
        for col in range(1, 9):
            ws.cell(row=r, column=col).border = BOX
            if col in (3, 4, 7, 8):
                ws.cell(row=r, column=col).number_format = "#,##0.00"
    ws["A44"] = "单位负责人："
    ws["D44"] = "财务负责人："
    ws["G44"] = "制表人："
    for col, width in zip("ABCDEFGH", (26, 6, 14, 14, 30, 6, 14, 14)):
        ws.column_dimensions[col].width = width
    print_setup(ws, "5:5")


def main():
    out = os.path.join(HERE, "kind1")
    os.makedirs(out, exist_ok=True)

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "资产负债表"
    fill_sheet(ws, "440106190012345", "广州华南贸易有限公司", "2008-01-01", "2008-03-31",
               "2008-04-12", 11)
    hidden = wb.create_sheet("科目余额")
    hidden.sheet_state = "hidden"
    hidden["A1"] = "科目代码"
    hidden["B1"] = "科目名称"
    hidden["A2"] = "1001"
    hidden["B2"] = "现金"
    wb.save(os.path.join(out, "广州华南贸易_2008年一季度.xlsx"))

    wb = openpyxl.Workbook()
    first = wb.active
    first.title = "一季度"
    fill_sheet(first, "440300279876543", "深圳粤海机械制造厂", "2008-01-01", "2008-03-31",
               "2008-04-10", 23)
    second = wb.create_sheet("二季度")
    fill_sheet(second, "440300279876543", "深圳粤海机械制造厂", "2008-04-01", "2008-06-30",
               "2008-07-09", 37)
    wb.active = 1
    wb.save(os.path.join(out, "粤海机械_2008年上半年.xlsx"))


if __name__ == "__main__":
    main()
