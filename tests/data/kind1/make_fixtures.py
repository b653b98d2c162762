#!/usr/bin/python3
"""Writes balance.xlsx (openpyxl): the sheet behind golden/kind1_zcfzb_system.xml, and
balance.xls, the same workbook saved as Excel 97 by LibreOffice headless.

/usr/bin/python3 tests/data/kind1/make_fixtures.py
"""
import os
import subprocess
import tempfile

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))

CELLS = {
    "A1": "纳税人识别号: 4401 0612 3456 789", "B2": "20080101", "E2": "20080331",
    "E1": "2008-04-15", "B5": "资产", "B6": "货币资金", "C6": 1000.5, "D6": 2000,
    "B7": "   ", "C7": 99, "B8": " 短期投资", "D8": -12.5, "B9": "应收账款 & 票据", "C9": 0,
    "D9": "<x>", "B42": "资产总计", "C42": 1e6, "D42": 1234567.891, "B43": "不应出现",
    "F6": "短期借款", "G6": 300, "H6": 400, "F40": "负债和所有者权益总计", "G40": True,
}


def main():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "资产负债表"
    for address, value in CELLS.items():
        ws[address] = value
    other = wb.create_sheet("隐藏的表")
    other.sheet_state = "hidden"
    other["A1"] = "纳税人识别号：999"
    xlsx = os.path.join(HERE, "balance.xlsx")
    wb.save(xlsx)
    with tempfile.TemporaryDirectory() as profile:
        subprocess.run(["soffice", "-env:UserInstallation=file://" + profile, "--headless",
                        "--norestore", "--convert-to", "xls", "--outdir", HERE, xlsx],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
