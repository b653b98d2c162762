#!/usr/bin/python3
"""Writes the workbooks of the kind 2-4 national-tax converter tests, as .xlsx (openpyxl) and
as .xls (LibreOffice, Excel 97 BIFF8).

golden_statements: one sheet per converter holding exactly what the hand-written goldens in
  ../golden/kind{2,3,4}_*.xml were written from (the same cells as the in-memory sheets of
  tests/convert/national_statements_test.cpp), and a hidden sheet.
scopes: four sheets with different identification numbers: 甲 visible, 乙 hidden, 丙 visible
  and active, 丁 very hidden.
error_value: a standards balance sheet whose body cell E20 holds #DIV/0!.

Run: /usr/bin/python3 tests/data/national/make_fixtures.py (needs soffice for the .xls).
"""
import os
import shutil
import subprocess
import tempfile

import openpyxl

HERE = os.path.dirname(os.path.abspath(__file__))


def standards_balance_sheet(ws):
    ws["B3"] = "2008-01-01 至 2008-03-31"
    ws["B4"] = "纳税人识别号: 4401 0612 3456 789"
    ws["B5"] = "纳税人名称：广州\U00020000明珠&<贸易>有限公司"
    for r in range(7, 40):
        if r not in (7, 20):
            ws[f"D{r}"] = r * 1000 + 0.5
            ws[f"E{r}"] = r * 100 + 0.25
        if r != 38:
            ws[f"H{r}"] = r * 10
            ws[f"I{r}"] = f"{r}.00"
    ws["H34"] = -340
    ws["H38"] = 99999
    ws["I38"] = "ROW38"
    ws["D40"] = "不应出现"
    ws["J7"] = "不应出现"


def standards_income_statement(ws):
    ws["B3"] = "2008年10月01日至2008年12月31日"
    ws["B4"] = "纳税人识别号：440106123456789"
    ws["B5"] = "纳税人名称: 广州 明珠 贸易有限公司"
    for r in range(7, 24):
        if r != 17:
            ws[f"D{r}"] = r * 1000 + 0.75
        ws[f"E{r}"] = -(r * 10)
    ws["D25"] = 0.12
    ws["D26"] = 0.11
    ws["E25"] = 0.1
    ws["E26"] = 0.09
    ws["D27"] = "不应出现"
    ws["E27"] = 1


SYSTEM_LABELS = ["一、主营业务收入", "减：主营业务成本", "主营业务税金及附加", "",
                 "加：其他业务利润", "减：营业费用&其他", " 管理费用", "财务费用", "   ",
                 "加：投资收益", "补贴收入", "营业外收入", "减：营业外支出", "四、利润总额",
                 "减：所得税", "五、净利润"]


def system_income_statement(ws):
    ws["B3"] = "2008-01-01 至 2008-03-31"
    ws["B4"] = "纳税人识别号:440106123456789"
    for r in range(7, 23):
        if SYSTEM_LABELS[r - 7]:
            ws[f"C{r}"] = SYSTEM_LABELS[r - 7]
        if r != 8:
            ws[f"D{r}"] = r * 100
            ws[f"E{r}"] = r * 1000 + 0.5
    ws["D9"] = " "
    ws["C23"] = "不应出现"
    ws["D23"] = 1
    ws["C24"] = "不应出现"
    ws["B25"] = "1.出售、处置部门或被投资单位所得收益"
    ws["B26"] = "2.自然灾害发生的损失"
    ws["B28"] = "4.会计估计变更增加(或减少)利润总额"
    ws["B29"] = "  "
    ws["B30"] = "6.其他"
    ws["C25"] = 555
    for r in range(25, 31):
        if r != 30:
            ws[f"D{r}"] = r * 10
        if r != 26:
            ws[f"E{r}"] = -r


def scope_sheet(ws, taxpayer):
    ws["B3"] = "2008-01-01至2008-03-31"
    ws["B4"] = "纳税人识别号：" + taxpayer
    ws["B5"] = "纳税人名称：" + ws.title + "公司"
    ws["C7"] = "1"
    ws["D7"] = 100
    ws["E7"] = 200


def golden_statements():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "制度利润表"
    system_income_statement(ws)
    standards_balance_sheet(wb.create_sheet("准则资产负债表"))
    standards_income_statement(wb.create_sheet("准则利润表"))
    hidden = wb.create_sheet("底稿")
    hidden.sheet_state = "hidden"
    standards_balance_sheet(hidden)
    hidden["B4"] = "纳税人识别号：999999999999999"
    return wb


def scopes():
    wb = openpyxl.Workbook()
    first = wb.active
    first.title = "甲"
    scope_sheet(first, "111111111111111")
    for title, taxpayer, state in (("乙", "222222222222222", "hidden"),
                                   ("丙", "333333333333333", "visible"),
                                   ("丁", "444444444444444", "veryHidden")):
        ws = wb.create_sheet(title)
        scope_sheet(ws, taxpayer)
        ws.sheet_state = state
    wb.active = 2
    for ws in wb.worksheets:
        ws.sheet_view.tabSelected = ws.title == "丙"
    return wb


def error_value():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "资产负债表"
    standards_balance_sheet(ws)
    ws["E20"] = "#DIV/0!"  # openpyxl stores a known error text as an error value
    return wb


def main():
    books = {"golden_statements": golden_statements(), "scopes": scopes(),
             "error_value": error_value()}
    for name, wb in books.items():
        wb.save(os.path.join(HERE, name + ".xlsx"))
    with tempfile.TemporaryDirectory() as tmp:
        for name in books:
            subprocess.run(["soffice", f"-env:UserInstallation=file://{tmp}/profile",
                            "--headless", "--norestore", "--convert-to", "xls", "--outdir", tmp,
                            os.path.join(HERE, name + ".xlsx")],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            shutil.copy(os.path.join(tmp, name + ".xls"), os.path.join(HERE, name + ".xls"))


if __name__ == "__main__":
    main()
