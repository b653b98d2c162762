#!/usr/bin/python3
"""Writes the example workbooks of report kinds 2 to 4 into kind2/, kind3/ and kind4/.

kind2: the system-edition income statement (利润表, 企业会计制度);
kind3: the standards-edition balance sheet (资产负债表, 企业会计准则);
kind4: the standards-edition income statement (利润表, 企业会计准则).

Run with Debian's Python (python3-openpyxl): /usr/bin/python3 examples/make_examples_national.py
"""
import os

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side

from example_common import Amounts, print_setup

HERE = os.path.dirname(os.path.abspath(__file__))

THIN = Side(style="thin")
BOX = Border(left=THIN, right=THIN, top=THIN, bottom=THIN)
MONEY = "#,##0.00"


def heading_row(ws, row, texts):
    for col, text in enumerate(texts, start=1):
        if text is None:
            continue
        c = ws.cell(row=row, column=col, value=text)
        c.font = Font(bold=True)
        c.alignment = Alignment(horizontal="center")
        c.border = BOX


def boxed(ws, first_row, last_row, columns, money_columns):
    for r in range(first_row, last_row + 1):
        for col in range(1, columns + 1):
            ws.cell(row=r, column=col).border = BOX
            if col in money_columns:
                ws.cell(row=r, column=col).number_format = MONEY


def widths(ws, values):
    for col, width in zip("ABCDEFGHI", values):
        ws.column_dimensions[col].width = width


def title(ws, cell, text):
    ws[cell] = text
    ws[cell].font = Font(bold=True, size=14)


# --- kind 2: system-edition income statement --------------------------------------------------

# (label, line number) on rows 7..22; the line number in C is the row key.
SYSTEM_INCOME_LINES = [
    ("一、主营业务收入", 1), ("减：主营业务成本", 4), ("主营业务税金及附加", 5),
    ("二、主营业务利润（亏损以“－”号填列）", 10), ("加：其他业务利润（亏损以“－”号填列）", 11),
    ("减：营业费用", 14), ("管理费用", 15), ("财务费用", 16),
    ("三、营业利润（亏损以“－”号填列）", 18), ("加：投资收益（损失以“－”号填列）", 19),
    ("补贴收入", 22), ("营业外收入", 23), ("减：营业外支出", 25),
    ("四、利润总额（亏损总额以“－”号填列）", 27), ("减：所得税", 28),
    ("五、净利润（净亏损以“－”号填列）", 30),
]
# The supplement on rows 25..30: the item text in B is the row key.
SYSTEM_SUPPLEMENT = [
    "1.出售、处置部门或被投资单位所得收益", "2.自然灾害发生的损失",
    "3.会计政策变更增加（或减少）利润总额", "4.会计估计变更增加（或减少）利润总额",
    "5.债务重组损失", "6.其他",
]


def system_income_column(a, scale):
    """One column of the statement, its subtotals computed from its lines."""
    revenue = a.next(800_000, 1_500_000) * scale
    cost = round(revenue * 0.72, 2)
    tax = round(revenue * 0.011, 2)
    main_profit = revenue - cost - tax
    other = a.next(0, 30_000) * scale
    selling = a.next(20_000, 60_000) * scale
    admin = a.next(40_000, 90_000) * scale
    finance = a.next(-2_000, 12_000) * scale
    operating = main_profit + other - selling - admin - finance
    investment = a.next(0, 20_000) * scale
    subsidy = 0.0
    non_op_income = a.next(0, 5_000) * scale
    non_op_expense = a.next(0, 8_000) * scale
    total = operating + investment + subsidy + non_op_income - non_op_expense
    income_tax = round(max(total, 0) * 0.25, 2)
    net = total - income_tax
    values = [revenue, cost, tax, main_profit, other, selling, admin, finance, operating,
              investment, subsidy, non_op_income, non_op_expense, total, income_tax, net]
    return [round(v, 2) for v in values]


def fill_system_income(ws, taxpayer, company, period, month_scale, seed):
    a = Amounts(seed)
    title(ws, "C1", "利 润 表")
    ws["E2"] = "会企02表"
    ws["A3"] = "所属期间："
    ws["B3"] = period
    ws["B4"] = "纳税人识别号：" + taxpayer
    ws["A5"] = "编制单位：" + company
    ws["E5"] = "单位：元"
    heading_row(ws, 6, ["项目", None, "行次", "本月数", "本年累计数"])
    ws.merge_cells("A6:B6")
    month = system_income_column(a, month_scale)
    year = system_income_column(a, 1.0)
    for i, (label, line) in enumerate(SYSTEM_INCOME_LINES):
        r = 7 + i
        ws.cell(row=r, column=1, value=label)
        ws.cell(row=r, column=3, value=line)
        if label != "补贴收入":  # left empty, as many companies do: converted as 0
            ws.cell(row=r, column=4, value=month[i])
            ws.cell(row=r, column=5, value=year[i])
    boxed(ws, 7, 22, 5, (4, 5))
    ws["A24"] = "补充资料："
    heading_row(ws, 24, [None, "项目", None, "本年累计数", "上年实际数"])
    for i, item in enumerate(SYSTEM_SUPPLEMENT):
        r = 25 + i
        ws.cell(row=r, column=2, value=item)
        if i in (0, 3):
            ws.cell(row=r, column=4, value=a.next(1_000, 20_000))
            ws.cell(row=r, column=5, value=a.next(1_000, 20_000))
    boxed(ws, 25, 30, 5, (4, 5))
    ws["A32"] = "单位负责人："
    ws["C32"] = "财务负责人："
    ws["E32"] = "制表人："
    widths(ws, (36, 40, 6, 16, 16))


# --- kind 3: standards-edition balance sheet --------------------------------------------------

# (label, line number or None for a heading, kind) on rows 7..39. kind: "v" a value line,
# "h" a heading, "t1"/"t2" a subtotal of the lines since the last heading, "T" the grand total.
STANDARDS_ASSETS = [
    ("流动资产：", None, "h"), ("货币资金", 1, "v"), ("交易性金融资产", 2, "v"),
    ("应收票据", 3, "v"), ("应收账款", 4, "v"), ("预付款项", 5, "v"), ("应收利息", 6, "v"),
    ("应收股利", 7, "v"), ("其他应收款", 8, "v"), ("存货", 9, "v"),
    ("一年内到期的非流动资产", 10, "v"), ("其他流动资产", 11, "v"), ("流动资产合计", 12, "t"),
    ("非流动资产：", None, "h"), ("可供出售金融资产", 13, "v"), ("持有至到期投资", 14, "v"),
    ("长期应收款", 15, "v"), ("长期股权投资", 16, "v"), ("投资性房地产", 17, "v"),
    ("固定资产", 18, "v"), ("在建工程", 19, "v"), ("工程物资", 20, "v"),
    ("固定资产清理", 21, "v"), ("生产性生物资产", 22, "v"), ("油气资产", 23, "v"),
    ("无形资产", 24, "v"), ("开发支出", 25, "v"), ("商誉", 26, "v"),
    ("长期待摊费用", 27, "v"), ("递延所得税资产", 28, "v"), ("其他非流动资产", 29, "v"),
    ("非流动资产合计", 30, "t"), ("资产总计", 31, "T"),
]
# Rows 7..37 and the grand total on row 39, level with the asset total; row 38 stays empty.
STANDARDS_LIABILITIES = [
    ("流动负债：", None, "h"), ("短期借款", 32, "v"), ("交易性金融负债", 33, "v"),
    ("应付票据", 34, "v"), ("应付账款", 35, "v"), ("预收款项", 36, "v"),
    ("应付职工薪酬", 37, "v"), ("应交税费", 38, "v"), ("应付利息", 39, "v"),
    ("应付股利", 40, "v"), ("其他应付款", 41, "v"), ("一年内到期的非流动负债", 42, "v"),
    ("其他流动负债", 43, "v"), ("流动负债合计", 44, "t"), ("非流动负债：", None, "h"),
    ("长期借款", 45, "v"), ("应付债券", 46, "v"), ("长期应付款", 47, "v"),
    ("专项应付款", 48, "v"), ("预计负债", 49, "v"), ("递延所得税负债", 50, "v"),
    ("其他非流动负债", 51, "v"), ("非流动负债合计", 52, "t"), ("负债合计", 53, "L"),
    ("所有者权益（或股东权益）：", None, "h"), ("实收资本（或股本）", 54, "v"),
    ("资本公积", 55, "v"), ("减：库存股", 56, "neg"), ("盈余公积", 57, "v"),
    ("未分配利润", 58, "v"), ("所有者权益（或股东权益）合计", 59, "t"),
    (None, None, "gap"), ("负债和所有者权益（或股东权益）总计", 60, "T"),
]
# Lines that most small companies leave empty.
RARELY_USED = {"交易性金融资产", "应收利息", "应收股利", "可供出售金融资产", "持有至到期投资",
               "投资性房地产", "生产性生物资产", "油气资产", "开发支出", "商誉",
               "交易性金融负债", "应付利息", "应付债券", "专项应付款", "预计负债",
               "递延所得税负债", "减：库存股"}


def standards_asset_column(a, scale):
    values, running, subtotals = [], 0.0, []
    for label, _, kind in STANDARDS_ASSETS:
        if kind == "h":
            values.append(None)
        elif kind == "v":
            v = None if label in RARELY_USED else round(a.next(5_000, 900_000) * scale, 2)
            values.append(v)
            running += v or 0
        elif kind == "t":
            values.append(round(running, 2))
            subtotals.append(running)
            running = 0.0
        else:
            values.append(round(sum(subtotals), 2))
    return values


def standards_liability_column(a, asset_total, scale):
    values, running, subtotals = [], 0.0, []
    for label, _, kind in STANDARDS_LIABILITIES:
        if kind in ("h", "gap"):
            values.append(None)
        elif kind in ("v", "neg"):
            if label in RARELY_USED:
                v = None
            elif label == "未分配利润":
                v = 0.0  # balances the statement below
            elif label == "实收资本（或股本）":
                v = round(a.next(1_500_000, 3_000_000), 2)
            else:
                v = round(a.next(5_000, 400_000) * scale, 2)
            values.append(v)
            running += -(v or 0) if kind == "neg" else (v or 0)
        elif kind == "t":
            values.append(round(running, 2))
            subtotals.append(running)
            running = 0.0
        elif kind == "L":
            values.append(round(sum(subtotals), 2))
        else:
            values.append(round(asset_total, 2))
    # Undistributed profit takes up the difference, and the equity total follows it.
    liabilities = values[[k for _, _, k in STANDARDS_LIABILITIES].index("L")]
    equity_index = [l for l, _, _ in STANDARDS_LIABILITIES].index("所有者权益（或股东权益）合计")
    profit_index = [l for l, _, _ in STANDARDS_LIABILITIES].index("未分配利润")
    equity_without_profit = values[equity_index]
    values[profit_index] = round(asset_total - liabilities - equity_without_profit, 2)
    values[equity_index] = round(asset_total - liabilities, 2)
    return values


def fill_standards_balance(ws, taxpayer, company, period, seed):
    a = Amounts(seed)
    title(ws, "D1", "资 产 负 债 表")
    ws["I2"] = "会企01表"
    ws["A3"] = "报表期间："
    ws["B3"] = period
    ws["B4"] = "纳税人识别号：" + taxpayer
    ws["B5"] = "纳税人名称：" + company
    ws["I5"] = "单位：元"
    heading_row(ws, 6, ["资产", None, "行次", "期末余额", "年初余额",
                        "负债和所有者权益（或股东权益）", "行次", "期末余额", "年初余额"])
    ws.merge_cells("A6:B6")
    closing = standards_asset_column(a, 1.0)
    opening = standards_asset_column(a, 0.9)
    liab_closing = standards_liability_column(a, closing[-1], 1.0)
    liab_opening = standards_liability_column(a, opening[-1], 0.9)
    for i, (label, line, _) in enumerate(STANDARDS_ASSETS):
        r = 7 + i
        ws.cell(row=r, column=1, value=label)
        ws.cell(row=r, column=3, value=line)
        ws.cell(row=r, column=4, value=closing[i])
        ws.cell(row=r, column=5, value=opening[i])
    for i, (label, line, _) in enumerate(STANDARDS_LIABILITIES):
        r = 7 + i
        ws.cell(row=r, column=6, value=label)
        ws.cell(row=r, column=7, value=line)
        ws.cell(row=r, column=8, value=liab_closing[i])
        ws.cell(row=r, column=9, value=liab_opening[i])
    boxed(ws, 7, 39, 9, (4, 5, 8, 9))
    ws["A41"] = "单位负责人："
    ws["D41"] = "财务负责人："
    ws["H41"] = "制表人："
    widths(ws, (24, 4, 6, 16, 16, 36, 6, 16, 16))


# --- kind 4: standards-edition income statement -----------------------------------------------

STANDARDS_INCOME_LINES = [
    "一、营业收入", "减：营业成本", "营业税金及附加", "销售费用", "管理费用", "财务费用",
    "资产减值损失", "加：公允价值变动收益（损失以“－”号填列）",
    "投资收益（损失以“－”号填列）", "其中：对联营企业和合营企业的投资收益",
    "二、营业利润（亏损以“－”号填列）", "加：营业外收入", "减：营业外支出",
    "其中：非流动资产处置损失", "三、利润总额（亏损总额以“－”号填列）", "减：所得税费用",
    "四、净利润（净亏损以“－”号填列）", "五、每股收益：", "（一）基本每股收益",
    "（二）稀释每股收益",
]


def standards_income_column(a, scale):
    revenue = a.next(2_000_000, 6_000_000) * scale
    cost = revenue * 0.68
    tax = revenue * 0.012
    selling = a.next(50_000, 200_000) * scale
    admin = a.next(80_000, 300_000) * scale
    finance = a.next(-5_000, 40_000) * scale
    impairment = a.next(0, 15_000) * scale
    fair_value = 0.0
    investment = a.next(0, 60_000) * scale
    of_associates = round(investment * 0.4, 2)
    operating = (revenue - cost - tax - selling - admin - finance - impairment + fair_value +
                 investment)
    non_op_income = a.next(0, 20_000) * scale
    non_op_expense = a.next(0, 30_000) * scale
    disposal = round(non_op_expense * 0.5, 2)
    total = operating + non_op_income - non_op_expense
    income_tax = max(total, 0) * 0.25
    net = total - income_tax
    values = [revenue, cost, tax, selling, admin, finance, impairment, fair_value, investment,
              of_associates, operating, non_op_income, non_op_expense, disposal, total,
              income_tax, net]
    values = [round(v, 2) for v in values]
    values[7] = None  # no fair-value changes
    return values + [None, None, None]  # earnings per share: not a listed company


def fill_standards_income(ws, taxpayer, company, period, seed):
    a = Amounts(seed)
    title(ws, "C1", "利 润 表")
    ws["E2"] = "会企02表"
    ws["A3"] = "报表期间："
    ws["B3"] = period
    ws["B4"] = "纳税人识别号：" + taxpayer
    ws["B5"] = "纳税人名称：" + company
    ws["E5"] = "单位：元"
    heading_row(ws, 6, ["项目", None, "行次", "本期金额", "上期金额"])
    ws.merge_cells("A6:B6")
    current = standards_income_column(a, 1.0)
    prior = standards_income_column(a, 0.92)
    for i, label in enumerate(STANDARDS_INCOME_LINES):
        r = 7 + i
        ws.cell(row=r, column=1, value=label)
        ws.cell(row=r, column=3, value=i + 1)
        ws.cell(row=r, column=4, value=current[i])
        ws.cell(row=r, column=5, value=prior[i])
    boxed(ws, 7, 26, 5, (4, 5))
    ws["A28"] = "单位负责人："
    ws["C28"] = "财务负责人："
    ws["E28"] = "制表人："
    widths(ws, (40, 4, 6, 18, 18))


def hidden_notes(wb):
    """A hidden working sheet, as accountants keep one; converting all sheets skips it."""
    ws = wb.create_sheet("底稿")
    ws.sheet_state = "hidden"
    ws["A1"] = "科目代码"
    ws["B1"] = "科目名称"
    ws["C1"] = "期末余额"
    ws["A2"] = "1001"
    ws["B2"] = "库存现金"
    ws["C2"] = 3560.5


def main():
    for kind in ("kind2", "kind3", "kind4"):
        os.makedirs(os.path.join(HERE, kind), exist_ok=True)

    # kind 2: one statement and a hidden working sheet; a quarter written with full dates.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "利润表"
    fill_system_income(ws, "440106190012345", "广州华南贸易有限公司",
                       "2008年01月01日 至 2008年03月31日", 0.35, 41)
    print_setup(ws, "6:6")
    hidden_notes(wb)
    wb.save(os.path.join(HERE, "kind2", "广州华南贸易_2008年一季度利润表.xlsx"))

    # kind 2: dates without leading zeros are read as the year, month and day they show.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "利润表"
    fill_system_income(ws, "440300279876543", "深圳粤海机械制造厂", "2008-1-1至2008-6-30",
                       0.18, 43)
    print_setup(ws, "6:6")
    wb.save(os.path.join(HERE, "kind2", "粤海机械_2008年上半年利润表.xlsx"))

    # kind 3: two quarters on two sheets, the second one active, and a hidden working sheet.
    wb = openpyxl.Workbook()
    first = wb.active
    first.title = "一季度"
    fill_standards_balance(first, "440104618834567", "广州珠江电子科技股份有限公司",
                           "2008-01-01 至 2008-03-31", 51)
    print_setup(first, "6:6")
    second = wb.create_sheet("二季度")
    fill_standards_balance(second, "440104618834567", "广州珠江电子科技股份有限公司",
                           "2008-04-01 至 2008-06-30", 53)
    print_setup(second, "6:6")
    hidden_notes(wb)
    wb.active = 1
    wb.save(os.path.join(HERE, "kind3", "珠江电子_2008年资产负债表.xlsx"))

    # kind 4: the year's statement; the date of preparation becomes 31 January.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "利润表"
    fill_standards_income(ws, "440104618834567", "广州珠江电子科技股份有限公司",
                          "2008年01月01日至2008年12月31日", 61)
    print_setup(ws, "6:6")
    wb.save(os.path.join(HERE, "kind4", "珠江电子_2008年度利润表.xlsx"))

    # kind 4: a quarter ending on the 31st; April has no 31st, so it is prepared on 30 April.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "一季度利润表"
    fill_standards_income(ws, "440183555512345", "增城荔乡食品有限公司",
                          "2008-01-01至2008-03-31", 67)
    print_setup(ws, "6:6")
    hidden_notes(wb)
    wb.save(os.path.join(HERE, "kind4", "荔乡食品_2008年一季度利润表.xlsx"))


if __name__ == "__main__":
    main()
