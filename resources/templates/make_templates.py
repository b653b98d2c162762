#!/usr/bin/python3
"""Builds the two local-tax filing templates that lie beside the program.

The layouts below are the editable source. The script writes each template as a flat ODS
document and has LibreOffice (headless) save it as Excel 97 (.xls), so the shipped files come
from a real spreadsheet application:

    /usr/bin/python3 resources/templates/make_templates.py [--keep-fods DIR]

It then runs check_templates.py on the result. The templates hold no formulas: every amount,
totals included, is copied in from the source statement by the converters, which write only
the empty cells beside the labels below.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
ENTERPRISE_NAME = "地税目标企业会计制度报表"
SMALL_NAME = "地税目标小企业会计制度报表"

# Sheet 1, identical in both templates: label cells and the value cells the converters fill.
# (row, [(column, label, value column, merge value cell to column F)])
PUBLIC_INFO_ROWS = [
    (5, [("A", "纳税人识别号", "B", True)]),
    (6, [("A", "纳税人名称", "B", True)]),
    (7, [("A", "所属年度", "B", False), ("C", "所属期起", "D", False),
         ("E", "所属期止", "F", False)]),
    (8, [("A", "报表年度", "B", False), ("C", "报表月份", "D", False),
         ("E", "填表日期", "F", False)]),
    (9, [("A", "单位负责人", "B", True)]),
    (10, [("A", "财务负责人", "B", True)]),
    (11, [("A", "制表人", "B", True)]),
    (12, [("A", "联系电话", "B", True)]),
]

# Balance sheets: (row, label, line number) per side; a line number of None marks a heading,
# a label of "" a spacer row. Rows missing from the list are spacers too.
ENTERPRISE_BALANCE_LEFT = [
    (5, "流动资产：", None),
    (6, "货币资金", 1), (7, "短期投资", 2), (8, "应收票据", 3), (9, "应收股利", 4),
    (10, "应收利息", 5), (11, "应收账款", 6), (12, "其他应收款", 7), (13, "预付账款", 8),
    (14, "应收补贴款", 9), (15, "存货", 10), (16, "待摊费用", 11),
    (17, "一年内到期的长期债权投资", 21), (18, "流动资产合计", 31),
    (21, "长期投资：", None),
    (22, "长期股权投资", 32), (23, "长期债权投资", 34),
    (25, "固定资产：", None),
    (26, "固定资产原价", 39), (27, "减：累计折旧", 40),
    (28, "固定资产净值", 41),
    (29, "固定资产净额", 43),
    (31, "在建工程", 45), (32, "固定资产清理", 46), (33, "固定资产合计", 50),
    (37, "无形资产及其他资产：", None),
    (38, "无形资产", 51), (39, "长期待摊费用", 52), (40, "无形资产及其他资产合计", 60),
    (43, "资产总计", 67),
]
ENTERPRISE_BALANCE_RIGHT = [
    (5, "流动负债：", None),
    (6, "短期借款", 68), (7, "应付票据", 69), (8, "应付账款", 70), (9, "预收账款", 71),
    (10, "应付工资", 72), (11, "应付福利费", 73), (12, "应付股利", 74), (13, "应交税金", 75),
    (14, "其他应交款", 80), (15, "其他应付款", 81), (16, "预提费用", 82), (17, "预计负债", 83),
    (18, "一年内到期的长期负债", 86), (19, "流动负债合计", 100),
    (21, "长期负债：", None),
    (22, "长期借款", 101), (23, "应付债券", 102), (24, "长期应付款", 103),
    (25, "专项应付款", 106), (26, "长期负债合计", 110),
    (30, "负债合计", 114),
    (34, "所有者权益（或股东权益）：", None),
    (35, "实收资本（或股本）", 115), (36, "资本公积", 118),
    (37, "　其中：资本（股本）溢价", 119),
    (38, "盈余公积", 120), (39, "未分配利润", 121),
    (40, "所有者权益（或股东权益）合计", 122),
    (41, "负债和所有者权益（或股东权益）总计", 135),
]
SMALL_BALANCE_LEFT = [
    (5, "流动资产：", None),
    (6, "货币资金", 1), (7, "短期投资", 2), (8, "应收票据", 3), (9, "应收账款", 4),
    (10, "其他应收款", 5), (11, "预付账款", 6), (12, "应收补贴款", 7), (13, "存货", 8),
    (14, "待摊费用", 9), (15, "流动资产合计", 21),
    (17, "长期投资：", None),
    (18, "长期股权投资", 22), (19, "长期债权投资", 23),
    (21, "固定资产：", None),
    (22, "固定资产原价", 31), (23, "减：累计折旧", 32),
    (24, "固定资产净值", 33),
    (25, "在建工程", 34), (26, "固定资产清理", 35), (27, "固定资产合计", 40),
    (29, "无形资产及其他资产：", None),
    (30, "无形资产", 41), (31, "长期待摊费用", 42), (32, "资产总计", 60),
]
SMALL_BALANCE_RIGHT = [
    (5, "流动负债：", None),
    (6, "短期借款", 61), (7, "应付票据", 62), (8, "应付账款", 63), (9, "预收账款", 64),
    (10, "应付工资", 65), (11, "应付福利费", 66), (12, "应付利润", 67), (13, "应交税金", 68),
    (14, "其他应交款", 69), (15, "其他应付款", 70), (16, "预提费用", 71),
    (17, "流动负债合计", 80),
    (19, "长期负债：", None),
    (20, "长期借款", 81), (21, "长期应付款", 82), (22, "负债合计", 90),
    (27, "所有者权益：", None),
    (28, "实收资本", 91), (29, "资本公积", 92), (30, "盈余公积", 93),
    (31, "未分配利润", 94), (32, "负债和所有者权益总计", 100),
]

# Income statements: (row, label, line number). Lines without a transfer ("其中" details)
# stay for entry by hand.
ENTERPRISE_INCOME = [
    (5, "一、主营业务收入", 1),
    (6, "　　减：主营业务成本", 4),
    (7, "　　　　主营业务税金及附加", 5),
    (8, "　　　　其中：营业税", 6),
    (9, "二、主营业务利润（亏损以“－”号填列）", 10),
    (10, "　　加：其他业务利润（亏损以“－”号填列）", 11),
    (11, "　　减：营业费用", 14),
    (12, "　　　　管理费用", 15),
    (13, "　　　　其中：业务招待费", 16),
    (14, "　　　　财务费用", 17),
    (15, "三、营业利润（亏损以“－”号填列）", 18),
    (16, "　　加：投资收益（损失以“－”号填列）", 19),
    (17, "　　　　补贴收入", 22),
    (18, "　　　　其中：税收返还", 24),
    (19, "　　　　营业外收入", 23),
    (20, "　　　　其中：处置固定资产净收益", 31),
    (21, "　　　　　　　非货币性交易收益", 32),
    (22, "　　　　　　　出售无形资产收益", 33),
    (23, "　　　　　　　罚款净收入", 34),
    (24, "　　减：营业外支出", 25),
    (25, "　　加：以前年度损益调整", 26),
    (26, "四、利润总额（亏损总额以“－”号填列）", 27),
    (27, "　　减：所得税", 28),
    (28, "　　　　少数股东损益", 29),
    (29, "五、净利润（净亏损以“－”号填列）", 30),
]
SMALL_INCOME = [
    (5, "一、主营业务收入", 1),
    (6, "　　减：主营业务成本", 4),
    (7, "　　　　主营业务税金及附加", 5),
    (8, "　　　　其中：营业税", 6),
    (9, "二、主营业务利润（亏损以“－”号填列）", 10),
    (10, "　　加：其他业务利润（亏损以“－”号填列）", 11),
    (11, "　　减：营业费用", 14),
    (12, "　　　　管理费用", 15),
    (13, "　　　　其中：业务招待费", 16),
    (14, "　　　　财务费用", 17),
    (15, "三、营业利润（亏损以“－”号填列）", 18),
    (16, "　　加：投资收益、补贴收入及营业外收支净额", 19),
    (17, "　　　　其中：补贴收入", 22),
    (18, "四、利润总额（亏损总额以“－”号填列）", 27),
]

NS = {
    "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
    "style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0",
    "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
    "table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
    "fo": "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0",
    "number": "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0",
}

BORDER = "0.5pt solid #000000"
STYLES = f"""
 <office:font-face-decls>
  <style:font-face style:name="宋体" svg:font-family="宋体" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"/>
 </office:font-face-decls>
 <office:styles>
  <style:style style:name="Default" style:family="table-cell">
   <style:text-properties style:font-name="宋体" fo:font-size="10pt" style:font-name-asian="宋体" style:font-size-asian="10pt"/>
  </style:style>
 </office:styles>
 <office:automatic-styles>
  <number:number-style style:name="N_AMOUNT">
   <number:number number:decimal-places="2" number:min-decimal-places="2" number:min-integer-digits="1" number:grouping="true"/>
  </number:number-style>
  <number:text-style style:name="N_TEXT"><number:text-content/></number:text-style>
  <style:style style:name="ta1" style:family="table" style:master-page-name="A4">
   <style:table-properties table:display="true"/>
  </style:style>
  <style:style style:name="ro_title" style:family="table-row">
   <style:table-row-properties style:row-height="0.9cm" style:use-optimal-row-height="false"/>
  </style:style>
  <style:style style:name="ro" style:family="table-row">
   <style:table-row-properties style:row-height="0.6cm" style:use-optimal-row-height="false"/>
  </style:style>
  <style:style style:name="title" style:family="table-cell" style:parent-style-name="Default">
   <style:table-cell-properties style:vertical-align="middle"/>
   <style:paragraph-properties fo:text-align="center"/>
   <style:text-properties fo:font-size="16pt" style:font-size-asian="16pt" fo:font-weight="bold" style:font-weight-asian="bold"/>
  </style:style>
  <style:style style:name="note" style:family="table-cell" style:parent-style-name="Default">
   <style:table-cell-properties style:vertical-align="middle"/>
  </style:style>
  <style:style style:name="note_right" style:family="table-cell" style:parent-style-name="Default">
   <style:table-cell-properties style:vertical-align="middle"/>
   <style:paragraph-properties fo:text-align="end"/>
  </style:style>
  <style:style style:name="head" style:family="table-cell" style:parent-style-name="Default">
   <style:table-cell-properties fo:border="{BORDER}" fo:background-color="#e8e8e8" style:vertical-align="middle"/>
   <style:paragraph-properties fo:text-align="center"/>
   <style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/>
  </style:style>
  <style:style style:name="label" style:family="table-cell" style:parent-style-name="Default">
   <style:table-cell-properties fo:border="{BORDER}" style:vertical-align="middle"/>
  </style:style>
  <style:style style:name="section" style:family="table-cell" style:parent-style-name="Default">
   <style:table-cell-properties fo:border="{BORDER}" style:vertical-align="middle"/>
   <style:text-properties fo:font-weight="bold" style:font-weight-asian="bold"/>
  </style:style>
  <style:style style:name="lineno" style:family="table-cell" style:parent-style-name="Default">
   <style:table-cell-properties fo:border="{BORDER}" style:vertical-align="middle"/>
   <style:paragraph-properties fo:text-align="center"/>
  </style:style>
  <style:style style:name="amount" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="N_AMOUNT">
   <style:table-cell-properties fo:border="{BORDER}" style:vertical-align="middle"/>
   <style:paragraph-properties fo:text-align="end"/>
  </style:style>
  <style:style style:name="textvalue" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="N_TEXT">
   <style:table-cell-properties fo:border="{BORDER}" style:vertical-align="middle"/>
   <style:paragraph-properties fo:text-align="start"/>
  </style:style>
  <style:page-layout style:name="pm_a4">
   <style:page-layout-properties fo:page-width="21.001cm" fo:page-height="29.7cm" style:print-orientation="portrait" fo:margin-top="1.5cm" fo:margin-bottom="1.5cm" fo:margin-left="1.5cm" fo:margin-right="1.5cm" style:print-page-order="ttb" style:scale-to-X="1" style:scale-to-Y="1"/>
  </style:page-layout>
{{columns}}
 </office:automatic-styles>
 <office:master-styles>
  <style:master-page style:name="A4" style:page-layout-name="pm_a4">
   <style:header style:display="false"/>
   <style:footer style:display="false"/>
  </style:master-page>
 </office:master-styles>
"""


class Sheet:
    """One worksheet: cells by (row, column letter), merges, column widths in cm."""

    def __init__(self, name, widths):
        self.name = name
        self.widths = widths
        self.cells = {}  # (row, col index) -> (style, text or None)
        self.spans = {}  # (row, col index) -> columns spanned
        self.heights = {}

    def put(self, row, col, style, text=None, span=1):
        c = ord(col) - ord("A")
        self.cells[(row, c)] = (style, text)
        if span > 1:
            self.spans[(row, c)] = span
            for i in range(1, span):
                self.cells[(row, c + i)] = (style, None)

    def xml(self, column_style_prefix):
        out = [f'  <table:table table:name="{escape(self.name)}" table:style-name="ta1">']
        for i in range(len(self.widths)):
            out.append(f'   <table:table-column table:style-name="{column_style_prefix}{i}"/>')
        last_row = max(r for r, _ in self.cells)
        covered = set()
        for (r, c), n in self.spans.items():
            covered.update((r, c + i) for i in range(1, n))
        for r in range(1, last_row + 1):
            style = "ro_title" if r == 1 else "ro"
            out.append(f'   <table:table-row table:style-name="{style}">')
            for c in range(len(self.widths)):
                if (r, c) in covered:
                    st, _ = self.cells[(r, c)]
                    out.append(f'    <table:covered-table-cell table:style-name="{st}"/>')
                    continue
                st, text = self.cells.get((r, c), ("Default", None))
                attrs = f' table:style-name="{st}"'
                if (r, c) in self.spans:
                    attrs += f' table:number-columns-spanned="{self.spans[(r, c)]}"'
                if text:
                    out.append(f'    <table:table-cell{attrs} office:value-type="string">'
                               f'<text:p>{escape(text)}</text:p></table:table-cell>')
                else:
                    out.append(f'    <table:table-cell{attrs}/>')
            out.append('   </table:table-row>')
        out.append('  </table:table>')
        return "\n".join(out)


def public_info_sheet():
    s = Sheet("公共信息表", [3.2, 4.4, 2.4, 3.2, 2.4, 3.2])
    s.put(1, "A", "title", "公共信息表", span=6)
    s.put(2, "A", "note", "（随资产负债表一并报送）", span=6)
    s.put(4, "A", "head", "项目", span=1)
    s.put(4, "B", "head", "内容", span=5)
    for row, items in PUBLIC_INFO_ROWS:
        for label_col, label, value_col, wide in items:
            s.put(row, label_col, "label", label)
            s.put(row, value_col, "textvalue", None, span=5 if wide else 1)
    s.put(14, "A", "note", "注：本表由资产负债表表头及表尾信息填列。", span=6)
    return s


def balance_sheet(title, form_no, left, right, last_row):
    # Label columns A:B (left) and F (right), line numbers C and G, amounts D:E and H:I.
    s = Sheet("资产负债表", [4.6, 0.9, 0.9, 2.6, 2.6, 5.4, 0.9, 2.6, 2.6])
    s.put(1, "A", "title", title, span=9)
    s.put(2, "A", "note", "纳税人识别号：", span=3)
    s.put(2, "H", "note_right", form_no, span=2)
    s.put(3, "A", "note", "纳税人名称：", span=3)
    s.put(3, "H", "note_right", "单位：元", span=2)
    s.put(4, "A", "head", "资产", span=2)
    for col, text in (("C", "行次"), ("D", "年初数"), ("E", "期末数"), ("F", "负债和所有者权益"),
                      ("G", "行次"), ("H", "年初数"), ("I", "期末数")):
        s.put(4, col, "head", text)
    for r in range(5, last_row + 1):
        for col, style in (("A", "label"), ("C", "lineno"), ("D", "amount"), ("E", "amount"),
                           ("F", "label"), ("G", "lineno"), ("H", "amount"), ("I", "amount")):
            s.put(r, col, style, None, span=2 if col == "A" else 1)
    for rows, label_col, no_col in ((left, "A", "C"), (right, "F", "G")):
        for r, label, no in rows:
            span = 2 if label_col == "A" else 1
            s.put(r, label_col, "section" if no is None else "label", label, span=span)
            if no is not None:
                s.put(r, no_col, "lineno", str(no))
    return s


def income_sheet(title, form_no, rows):
    # Label A:B, line number C, this month D, same period last year E (by hand), year to date F.
    s = Sheet("利润表", [7.4, 0.9, 1.1, 3.0, 3.0, 3.0])
    s.put(1, "A", "title", title, span=6)
    s.put(2, "A", "note", "纳税人识别号：", span=3)
    s.put(2, "E", "note_right", form_no, span=2)
    s.put(3, "A", "note", "纳税人名称：", span=3)
    s.put(3, "E", "note_right", "单位：元", span=2)
    s.put(4, "A", "head", "项目", span=2)
    for col, text in (("C", "行次"), ("D", "本月数"), ("E", "上年同期数"), ("F", "本年累计数")):
        s.put(4, col, "head", text)
    for r, label, no in rows:
        s.put(r, "A", "label", label, span=2)
        s.put(r, "C", "lineno", str(no))
        for col in "DEF":
            s.put(r, col, "amount")
    return s


def fods(sheets):
    column_styles = []
    for i, sheet in enumerate(sheets):
        for j, w in enumerate(sheet.widths):
            column_styles.append(
                f'  <style:style style:name="co{i}_{j}" style:family="table-column">'
                f'<style:table-column-properties fo:break-before="auto" '
                f'style:column-width="{w}cm"/></style:style>')
    ns = " ".join(f'xmlns:{k}="{v}"' for k, v in NS.items())
    body = "\n".join(sheet.xml(f"co{i}_") for i, sheet in enumerate(sheets))
    return (f'<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<office:document {ns} office:version="1.2" '
            f'office:mimetype="application/vnd.oasis.opendocument.spreadsheet">\n'
            + STYLES.replace("{columns}", "\n".join(column_styles))
            + f' <office:body>\n  <office:spreadsheet>\n{body}\n  </office:spreadsheet>\n'
            f' </office:body>\n</office:document>\n')


def templates():
    return {
        ENTERPRISE_NAME: [
            public_info_sheet(),
            balance_sheet("资产负债表", "会企01表", ENTERPRISE_BALANCE_LEFT,
                          ENTERPRISE_BALANCE_RIGHT, 43),
            income_sheet("利润表", "会企02表", ENTERPRISE_INCOME),
        ],
        SMALL_NAME: [
            public_info_sheet(),
            balance_sheet("资产负债表", "会小企01表", SMALL_BALANCE_LEFT, SMALL_BALANCE_RIGHT, 32),
            income_sheet("利润表", "会小企02表", SMALL_INCOME),
        ],
    }


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=HERE, help="folder for the .xls files")
    ap.add_argument("--keep-fods", help="also keep the flat ODS sources in this folder")
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix="ledgerix-templates-")
    try:
        sources = []
        for name, sheets in templates().items():
            path = os.path.join(work, name + ".fods")
            with open(path, "w", encoding="utf-8") as f:
                f.write(fods(sheets))
            sources.append(path)
            if args.keep_fods:
                shutil.copy(path, args.keep_fods)
        # A private profile, so a running LibreOffice of the user does not take the job over.
        subprocess.run(["soffice", f"-env:UserInstallation=file://{work}/profile", "--headless",
                        "--norestore", "--convert-to", "xls:MS Excel 97", "--outdir", args.out]
                       + sources, check=True, stdout=subprocess.DEVNULL)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    check = os.path.join(HERE, "check_templates.py")
    return subprocess.run([sys.executable, check, args.out]).returncode


if __name__ == "__main__":
    sys.exit(main())
