#!/usr/bin/python3
"""Writes the example source statements of report kinds 5 to 8 into kind5/ ... kind8/.

kind5: enterprise balance sheets with the header and footer of the public information table
       (资产负债表, 企业会计制度), one worksheet per month;
kind6: the matching income statements (利润表), one worksheet per month;
kind7: a small enterprise's balance sheet (资产负债表, 小企业会计制度);
kind8: its income statement.

The headers of kind 5 and kind 6 (and of kind 7 and kind 8) give the same filing workbook
name, so converting both into one save folder collects them in one filing workbook.

Run with Debian's Python (python3-xlwt): /usr/bin/python3 examples/make_examples_localtax.py
"""
import os

import xlwt

from example_common import Amounts

HERE = os.path.dirname(os.path.abspath(__file__))

BORDERS = "borders: left thin, right thin, top thin, bottom thin;"
STYLE_TITLE = xlwt.easyxf("font: bold on, height 320; align: horiz center")
STYLE_HEAD = xlwt.easyxf("font: bold on; align: horiz center; " + BORDERS)
STYLE_LABEL = xlwt.easyxf(BORDERS)
STYLE_SECTION = xlwt.easyxf("font: bold on; " + BORDERS)
STYLE_LINE = xlwt.easyxf("align: horiz center; " + BORDERS)
STYLE_MONEY = xlwt.easyxf(BORDERS, num_format_str="#,##0.00")
STYLE_PLAIN = xlwt.easyxf("")
# Header texts wider than their columns (the taxpayer name, the first day of the period) are
# made smaller, never cut off by the text beside them.
STYLE_SHRINK = xlwt.easyxf("align: shrink_to_fit on")


# --- balance sheets ---------------------------------------------------------------------------
# A line is (row, label, line number, key): key names the amount in the computed statement;
# a line number of None is a heading. Keys ending in "=" are totals.

ENTERPRISE_LEFT = [
    (5, "流动资产：", None, None),
    (6, "货币资金", 1, "cash"), (7, "短期投资", 2, "st_inv"), (8, "应收票据", 3, "notes_r"),
    (9, "应收股利", 4, "div_r"), (10, "应收利息", 5, "int_r"), (11, "应收账款", 6, "ar"),
    (12, "其他应收款", 7, "other_r"), (13, "预付账款", 8, "prepaid"),
    (14, "应收补贴款", 9, "subsidy_r"), (15, "存货", 10, "inventory"),
    (16, "待摊费用", 11, "deferred"), (17, "一年内到期的长期债权投资", 21, "lt_due"),
    (18, "流动资产合计", 31, "current="),
    (20, "长期投资：", None, None),
    (21, "长期股权投资", 32, "equity_inv"), (22, "长期债权投资", 34, "debt_inv"),
    (23, "长期投资合计", 38, "lt_inv="),
    (24, "固定资产：", None, None),
    (25, "固定资产原价", 39, "fa_cost"), (26, "减：累计折旧", 40, "depreciation"),
    (27, "固定资产净值", 41, "fa_net_value="), (28, "固定资产净额", 43, "fa_net="),
    (29, "工程物资", 44, "materials"), (30, "在建工程", 45, "construction"),
    (31, "固定资产清理", 46, "disposal"), (32, "固定资产合计", 50, "fixed="),
    (34, "无形资产及其他资产：", None, None),
    (35, "无形资产", 51, "intangible"), (36, "长期待摊费用", 52, "lt_deferred"),
    (37, "无形资产及其他资产合计", 60, "other_assets="),
    (38, "递延税项：", None, None),
    (39, "递延税款借项", 61, "tax_debit"),
    (41, "资产总计", 67, "assets="),
]
ENTERPRISE_RIGHT = [
    (5, "流动负债：", None, None),
    (6, "短期借款", 68, "st_loan"), (7, "应付票据", 69, "notes_p"), (8, "应付账款", 70, "ap"),
    (9, "预收账款", 71, "advance"), (10, "应付工资", 72, "wages"),
    (11, "应付福利费", 73, "welfare"), (12, "应付股利", 74, "div_p"),
    (13, "应交税金", 75, "tax_p"), (14, "其他应交款", 80, "other_levies"),
    (15, "其他应付款", 81, "other_p"), (16, "预提费用", 82, "accrued"),
    (17, "预计负债", 83, "provisions"), (18, "一年内到期的长期负债", 86, "lt_liab_due"),
    (19, "流动负债合计", 100, "current_liab="),
    (20, "其他流动负债", 90, "other_current_liab"),
    (22, "长期负债：", None, None),
    (23, "长期借款", 101, "lt_loan"), (24, "应付债券", 102, "bonds"),
    (25, "长期应付款", 103, "lt_payable"), (26, "专项应付款", 106, "special_payable"),
    (27, "长期负债合计", 110, "lt_liab="),
    (28, "递延税项：", None, None),
    (29, "递延税款贷项", 111, "tax_credit"),
    (30, "负债合计", 114, "liabilities="),
    (33, "所有者权益（或股东权益）：", None, None),
    (34, "实收资本（或股本）", 115, "capital"), (35, "资本公积", 118, "cap_reserve"),
    (36, "　其中：资本（股本）溢价", 119, "premium"),
    (37, "盈余公积", 120, "surplus"), (38, "未分配利润", 121, "retained"),
    (39, "所有者权益（或股东权益）合计", 122, "equity="),
    (40, "负债和所有者权益（或股东权益）总计", 135, "liab_equity="),
]

SMALL_LEFT = [
    (5, "流动资产：", None, None),
    (6, "货币资金", 1, "cash"), (7, "短期投资", 2, "st_inv"), (8, "应收票据", 3, "notes_r"),
    (9, "应收账款", 4, "ar"), (10, "其他应收款", 5, "other_r"), (11, "预付账款", 6, "prepaid"),
    (12, "应收补贴款", 7, "subsidy_r"), (13, "存货", 8, "inventory"),
    (14, "待摊费用", 9, "deferred"), (15, "流动资产合计", 21, "current="),
    (17, "长期投资：", None, None),
    (18, "长期股权投资", 22, "equity_inv"), (19, "长期债权投资", 23, "debt_inv"),
    (21, "固定资产：", None, None),
    (22, "固定资产原价", 31, "fa_cost"), (23, "减：累计折旧", 32, "depreciation"),
    (24, "固定资产净值", 33, "fa_net_value="),
    (25, "在建工程", 34, "construction"), (26, "固定资产清理", 35, "disposal"),
    (27, "固定资产合计", 40, "fixed="),
    (29, "无形资产及其他资产：", None, None),
    (30, "无形资产", 41, "intangible"), (31, "长期待摊费用", 42, "lt_deferred"),
    (32, "资产总计", 60, "assets="),
]
SMALL_RIGHT = [
    (5, "流动负债：", None, None),
    (6, "短期借款", 61, "st_loan"), (7, "应付票据", 62, "notes_p"), (8, "应付账款", 63, "ap"),
    (9, "预收账款", 64, "advance"), (10, "应付工资", 65, "wages"),
    (11, "应付福利费", 66, "welfare"), (12, "应付利润", 67, "div_p"),
    (13, "应交税金", 68, "tax_p"), (14, "其他应交款", 69, "other_levies"),
    (15, "其他应付款", 70, "other_p"), (16, "预提费用", 71, "accrued"),
    (17, "流动负债合计", 80, "current_liab="),
    (19, "长期负债：", None, None),
    (20, "长期借款", 81, "lt_loan"), (21, "长期应付款", 82, "lt_payable"),
    (22, "负债合计", 90, "liabilities="),
    (27, "所有者权益：", None, None),
    (28, "实收资本", 91, "capital"), (29, "资本公积", 92, "cap_reserve"),
    (30, "盈余公积", 93, "surplus"), (31, "未分配利润", 94, "retained"),
    (32, "负债和所有者权益总计", 100, "liab_equity="),
]

ASSET_ITEMS = ["cash", "st_inv", "notes_r", "div_r", "int_r", "ar", "other_r", "prepaid",
               "subsidy_r", "inventory", "deferred", "lt_due"]
LIABILITY_ITEMS = ["st_loan", "notes_p", "ap", "advance", "wages", "welfare", "div_p",
                   "tax_p", "other_levies", "other_p", "accrued", "provisions", "lt_liab_due"]


def balance_column(a, scale, keys):
    """One column (beginning or end of period) of a balanced statement, over the keys used."""
    v = {k: 0.0 for k in keys}
    ranges = {"cash": (200_000, 900_000), "ar": (300_000, 1_200_000),
              "inventory": (400_000, 1_500_000), "other_r": (5_000, 80_000),
              "prepaid": (10_000, 90_000), "notes_r": (0, 120_000), "st_inv": (0, 50_000),
              "deferred": (0, 12_000), "equity_inv": (0, 300_000), "fa_cost": (800_000, 2e6),
              "construction": (0, 150_000), "intangible": (0, 200_000),
              "lt_deferred": (0, 30_000), "st_loan": (100_000, 500_000),
              "notes_p": (0, 100_000), "ap": (200_000, 900_000), "advance": (0, 120_000),
              "wages": (30_000, 90_000), "welfare": (5_000, 20_000), "tax_p": (10_000, 80_000),
              "other_levies": (1_000, 6_000), "other_p": (5_000, 60_000),
              "accrued": (0, 15_000), "lt_loan": (0, 400_000), "capital": (1e6, 1e6 + 1)}
    for k, (low, high) in ranges.items():
        if k in v:
            v[k] = round(a.next(low, high) * scale, 2) if k != "capital" else 1_000_000.0
    v["depreciation"] = round(v["fa_cost"] * 0.3, 2)
    v["cap_reserve"] = round(a.next(0, 100_000), 2)
    if "premium" in v:
        v["premium"] = round(v["cap_reserve"] * 0.6, 2)
    v["surplus"] = round(a.next(20_000, 150_000), 2)

    def total(*names):
        return round(sum(v.get(n, 0.0) for n in names), 2)

    v["current="] = total(*ASSET_ITEMS)
    v["lt_inv="] = total("equity_inv", "debt_inv")
    v["fa_net_value="] = round(v["fa_cost"] - v["depreciation"], 2)
    v["fa_net="] = v["fa_net_value="]
    v["fixed="] = total("fa_net=", "materials", "construction", "disposal")
    v["other_assets="] = total("intangible", "lt_deferred")
    v["assets="] = total("current=", "lt_inv=", "fixed=", "other_assets=", "tax_debit")
    v["current_liab="] = total(*LIABILITY_ITEMS, "other_current_liab")
    v["lt_liab="] = total("lt_loan", "bonds", "lt_payable", "special_payable")
    v["liabilities="] = total("current_liab=", "lt_liab=", "tax_credit")
    # Undistributed profit balances the statement.
    v["retained"] = round(v["assets="] - v["liabilities="] - v["capital"] - v["cap_reserve"]
                          - v["surplus"], 2)
    v["equity="] = total("capital", "cap_reserve", "surplus", "retained")
    v["liab_equity="] = total("liabilities=", "equity=")
    return v


def print_setup(ws):
    """How real statements are set up for printing: A4 portrait, every column on one page
    width, centred, the sheet name above and the page number below. (xlwt cannot write the
    built-in name that repeats title rows.)"""
    ws.paper_size_code = 9
    ws.portrait = 1
    ws.fit_num_pages = 1
    ws.fit_width_to_pages = 1
    ws.fit_height_to_pages = 0
    ws.print_centered_horz = 1
    # xlwt's setters fail on text in Python 3; the attributes take it as it is written.
    ws._Worksheet__header_str = "&C&A"
    ws._Worksheet__footer_str = "&C第 &P 页，共 &N 页"


def balance_sheet(wb, sheet_name, company, period, left, right, footer_row, seed, form_no):
    ws = wb.add_sheet(sheet_name)
    keys = {line[3] for line in left + right if line[3]}
    a = Amounts(seed)
    begin = balance_column(a, 0.9, keys)
    end = balance_column(a, 1.0, keys)
    taxpayer, name = company
    year, month, start, finish, filed = period
    ws.write(0, 0, "纳税人识别号：" + taxpayer)
    ws.write_merge(0, 0, 2, 3, "资 产 负 债 表", STYLE_TITLE)
    ws.write(0, 4, "所属期起：")
    ws.write(0, 5, start, STYLE_SHRINK)
    ws.write(0, 6, "所属期止：")
    ws.write(0, 7, finish)
    ws.write(1, 0, "纳税人名称：")
    ws.write_merge(1, 1, 1, 2, name, STYLE_SHRINK)
    ws.write(1, 3, year)
    ws.write(1, 5, month)
    ws.write(1, 6, "填表日期：")
    ws.write(1, 7, filed)
    ws.write(2, 0, form_no)
    ws.write(2, 7, "单位：元")
    for col, text in enumerate(["资产", "行次", "年初数", "期末数", "负债和所有者权益", "行次",
                                "年初数", "期末数"]):
        ws.write(3, col, text, STYLE_HEAD)
    last = max(line[0] for line in left + right)
    by_row = {0: {l[0]: l for l in left}, 4: {l[0]: l for l in right}}
    for r in range(5, last + 1):
        for base, lines in by_row.items():
            line = lines.get(r)
            if line is None:
                for i in range(4):
                    ws.write(r - 1, base + i, "", STYLE_LABEL)
                continue
            _, label, number, key = line
            ws.write(r - 1, base, label, STYLE_SECTION if number is None else STYLE_LABEL)
            ws.write(r - 1, base + 1, number if number is not None else "", STYLE_LINE)
            for i, column in ((2, begin), (3, end)):
                if key is None or column.get(key, 0.0) == 0.0:
                    ws.write(r - 1, base + i, "", STYLE_MONEY)  # nothing to report: empty
                else:
                    ws.write(r - 1, base + i, column[key], STYLE_MONEY)
    people = company_people[taxpayer]
    ws.write(footer_row - 1, 0, "单位负责人：")
    ws.write(footer_row - 1, 1, people[0])
    ws.write(footer_row - 1, 3, "财务负责人：")
    ws.write(footer_row - 1, 4, people[1])
    ws.write(footer_row, 0, "制表人：")
    ws.write(footer_row, 1, people[2])
    ws.write(footer_row, 3, "联系电话：")
    ws.write(footer_row, 4, people[3])
    for col, width in enumerate((30, 6, 15, 15, 34, 6, 15, 15)):
        ws.col(col).width = width * 256
    print_setup(ws)


# --- income statements ------------------------------------------------------------------------
# (row, label, line number, key), the same rows the filing templates use.

ENTERPRISE_INCOME = [
    (5, "一、主营业务收入", 1, "revenue"),
    (6, "　　减：主营业务成本", 4, "cost"),
    (7, "　　　　主营业务税金及附加", 5, "sales_tax"),
    (8, "　　　　其中：营业税", 6, "business_tax"),
    (9, "二、主营业务利润（亏损以“－”号填列）", 10, "main_profit"),
    (10, "　　加：其他业务利润（亏损以“－”号填列）", 11, "other_profit"),
    (11, "　　减：营业费用", 14, "selling"),
    (12, "　　　　管理费用", 15, "admin"),
    (13, "　　　　其中：业务招待费", 16, "entertainment"),
    (14, "　　　　财务费用", 17, "finance"),
    (15, "三、营业利润（亏损以“－”号填列）", 18, "operating"),
    (16, "　　加：投资收益（损失以“－”号填列）", 19, "investment"),
    (17, "　　　　补贴收入", 22, "subsidy"),
    (18, "　　　　其中：税收返还", 24, "tax_refund"),
    (19, "　　　　营业外收入", 23, "non_op_income"),
    (20, "　　　　其中：处置固定资产净收益", 31, "disposal_gain"),
    (21, "　　　　　　　非货币性交易收益", 32, None),
    (22, "　　　　　　　出售无形资产收益", 33, None),
    (23, "　　　　　　　罚款净收入", 34, "fines"),
    (24, "　　减：营业外支出", 25, "non_op_expense"),
    (25, "　　加：以前年度损益调整", 26, None),
    (26, "四、利润总额（亏损总额以“－”号填列）", 27, "total"),
    (27, "　　减：所得税", 28, "income_tax"),
    (28, "　　　　少数股东损益", 29, None),
    (29, "五、净利润（净亏损以“－”号填列）", 30, "net"),
]
SMALL_INCOME = [
    (5, "一、主营业务收入", 1, "revenue"),
    (6, "　　减：主营业务成本", 4, "cost"),
    (7, "　　　　主营业务税金及附加", 5, "sales_tax"),
    (8, "　　　　其中：营业税", 6, "business_tax"),
    (9, "二、主营业务利润（亏损以“－”号填列）", 10, "main_profit"),
    (10, "　　加：其他业务利润（亏损以“－”号填列）", 11, "other_profit"),
    (11, "　　减：营业费用", 14, "selling"),
    (12, "　　　　管理费用", 15, "admin"),
    (13, "　　　　其中：业务招待费", 16, "entertainment"),
    (14, "　　　　财务费用", 17, "finance"),
    (15, "三、营业利润（亏损以“－”号填列）", 18, "operating"),
    (16, "　　加：投资收益、补贴收入及营业外收支净额", 19, "non_operating_net"),
    (17, "　　　　其中：补贴收入", 22, "subsidy"),
    (18, "四、利润总额（亏损总额以“－”号填列）", 27, "total"),
]


def income_column(a, scale):
    v = {}
    v["revenue"] = round(a.next(300_000, 1_200_000) * scale, 2)
    v["cost"] = round(v["revenue"] * 0.74, 2)
    v["business_tax"] = round(v["revenue"] * 0.005, 2)
    v["sales_tax"] = round(v["business_tax"] * 1.1, 2)
    v["main_profit"] = round(v["revenue"] - v["cost"] - v["sales_tax"], 2)
    v["other_profit"] = round(a.next(0, 20_000) * scale, 2)
    v["selling"] = round(a.next(10_000, 50_000) * scale, 2)
    v["admin"] = round(a.next(20_000, 70_000) * scale, 2)
    v["entertainment"] = round(v["admin"] * 0.08, 2)
    v["finance"] = round(a.next(-1_000, 9_000) * scale, 2)
    v["operating"] = round(v["main_profit"] + v["other_profit"] - v["selling"] - v["admin"]
                           - v["finance"], 2)
    v["investment"] = round(a.next(0, 15_000) * scale, 2)
    v["subsidy"] = round(a.next(0, 6_000) * scale, 2)
    v["tax_refund"] = round(v["subsidy"] * 0.5, 2)
    v["non_op_income"] = round(a.next(0, 5_000) * scale, 2)
    v["disposal_gain"] = round(v["non_op_income"] * 0.7, 2)
    v["fines"] = round(v["non_op_income"] - v["disposal_gain"], 2)
    v["non_op_expense"] = round(a.next(0, 7_000) * scale, 2)
    v["non_operating_net"] = round(v["investment"] + v["subsidy"] + v["non_op_income"]
                                   - v["non_op_expense"], 2)
    v["total"] = round(v["operating"] + v["non_operating_net"], 2)
    v["income_tax"] = round(max(v["total"], 0) * 0.25, 2)
    v["net"] = round(v["total"] - v["income_tax"], 2)
    return v


def income_statement(wb, sheet_name, company, period, lines, seed, form_no):
    ws = wb.add_sheet(sheet_name)
    a = Amounts(seed)
    month = income_column(a, 1.0)
    year = {k: round(x * 3, 2) for k, x in income_column(a, 1.0).items()}
    taxpayer, name = company
    year_text, month_text = period[0], period[1]
    ws.write(0, 0, "利 润 表", STYLE_TITLE)
    ws.write(0, 1, "纳税人识别号：" + taxpayer)
    ws.write(0, 2, year_text)
    ws.write(0, 3, form_no)
    ws.write(1, 0, "纳税人名称：")
    ws.write(1, 1, name)
    ws.write(1, 2, month_text)
    ws.write(1, 3, "单位：元")
    for col, text in enumerate(["项目", "行次", "本月数", "本年累计数"]):
        ws.write(3, col, text, STYLE_HEAD)
    for r, label, number, key in lines:
        ws.write(r - 1, 0, label, STYLE_LABEL)
        ws.write(r - 1, 1, number, STYLE_LINE)
        for col, column in ((2, month), (3, year)):
            if key is None or column[key] == 0.0:
                ws.write(r - 1, col, "", STYLE_MONEY)
            else:
                ws.write(r - 1, col, column[key], STYLE_MONEY)
    for col, width in enumerate((44, 36, 16, 16)):
        ws.col(col).width = width * 256
    print_setup(ws)


company_people = {
    "440106190012345": ("陈志明", "林晓红", "黄丽", "020-38881234"),
    "440111750098765": ("李建国", "张秀英", "李建国", "13902201234"),
}
HENGXIN = ("440106190012345", "广州市天河区恒信商贸有限公司")
YUEXIU = ("440111750098765", "广州市白云区悦秀五金店")
# (year text, month text, period start, period end, filing date)
MARCH = ("2008年", "03月", "2008-03-01", "2008-03-31", "2008-04-10")
APRIL = ("2008年", "04月", "2008-04-01", "2008-04-30", "2008-05-12")


def save(wb, folder, name):
    os.makedirs(os.path.join(HERE, folder), exist_ok=True)
    wb.save(os.path.join(HERE, folder, name))


def main():
    wb = xlwt.Workbook(encoding="utf-8")
    balance_sheet(wb, "2008年3月", HENGXIN, MARCH, ENTERPRISE_LEFT, ENTERPRISE_RIGHT, 43, 5301,
                  "会企01表")
    balance_sheet(wb, "2008年4月", HENGXIN, APRIL, ENTERPRISE_LEFT, ENTERPRISE_RIGHT, 43, 5401,
                  "会企01表")
    save(wb, "kind5", "恒信商贸_2008年资产负债表.xls")

    wb = xlwt.Workbook(encoding="utf-8")
    income_statement(wb, "2008年3月", HENGXIN, MARCH, ENTERPRISE_INCOME, 6301, "会企02表")
    income_statement(wb, "2008年4月", HENGXIN, APRIL, ENTERPRISE_INCOME, 6401, "会企02表")
    save(wb, "kind6", "恒信商贸_2008年利润表.xls")

    wb = xlwt.Workbook(encoding="utf-8")
    balance_sheet(wb, "资产负债表", YUEXIU, MARCH, SMALL_LEFT, SMALL_RIGHT, 35, 7301,
                  "会小企01表")
    save(wb, "kind7", "悦秀五金_2008年03月资产负债表.xls")

    wb = xlwt.Workbook(encoding="utf-8")
    income_statement(wb, "利润表", YUEXIU, MARCH, SMALL_INCOME, 8301, "会小企02表")
    save(wb, "kind8", "悦秀五金_2008年03月利润表.xls")


if __name__ == "__main__":
    main()
