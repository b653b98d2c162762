#!/usr/bin/python3
"""Writes the example workbook of report kind 9 into kind9/: the 2008 annual enterprise income
tax return, form A (企业所得税年度纳税申报表（A类）), as ten worksheets in filing order:
the main table, appendices 1 to 9 (附表一（1）, 附表二（1）, 附表三 ... 附表九).

The company is a small hardware manufacturer (工业企业) with a loss carried from 2003. Cells
that the form marks as not applicable hold "*", as on the printed form.

Run with Debian's Python (python3-openpyxl): /usr/bin/python3 examples/make_examples_incometax.py
"""
import os

import openpyxl
from openpyxl.styles import Alignment, Border, Font, Side

from example_common import print_setup

HERE = os.path.dirname(os.path.abspath(__file__))

THIN = Side(style="thin")
BOX = Border(left=THIN, right=THIN, top=THIN, bottom=THIN)
MONEY = "#,##0.00"
NA = "*"

PERIOD = "税款所属期间：2008年01月01日至2008年12月31日"
COMPANY = "纳税人名称：佛山市南海粤丰五金制品有限公司"
# The amount unit shares the line with the number, after a run of spaces, as on the form.
TAXPAYER = "纳税人识别号：440682712345678          金额单位：元（列至角分）"

# --- worksheet 1: the main table, rows 7-48, amounts in H ----------------------------------

MAIN_TABLE = [
    # (category, line, item, amount)
    ("利润总额计算", 1, "一、营业收入（填附表一）", 18650000),
    ("", 2, "减：营业成本（填附表二）", 14920000),
    ("", 3, "营业税金及附加", 93250),
    ("", 4, "销售费用（填附表二）", 856400),
    ("", 5, "管理费用（填附表二）", 1204300),
    ("", 6, "财务费用（填附表二）", 126580.5),
    ("", 7, "资产减值损失", 0),
    ("", 8, "加：公允价值变动收益", 0),
    ("", 9, "投资收益", 35000),
    ("", 10, "二、营业利润", 1484469.5),
    ("", 11, "加：营业外收入（填附表一）", 42000),
    ("", 12, "减：营业外支出（填附表二）", 18600),
    ("", 13, "三、利润总额（10＋11－12）", 1507869.5),
    ("应纳税所得额计算", 14, "加：纳税调整增加额（填附表三）", 77200),
    ("", 15, "减：纳税调整减少额（填附表三）", 35000),
    ("", 16, "其中：不征税收入", 0),
    ("", 17, "免税收入", 35000),
    ("", 18, "减计收入", 0),
    ("", 19, "减、免税项目所得", 0),
    ("", 20, "加计扣除", 0),
    ("", 21, "抵扣应纳税所得额", 0),
    ("", 22, "加：境外应税所得弥补境内亏损", 0),
    ("", 23, "纳税调整后所得（13＋14－15＋22）", 1550069.5),
    ("", 24, "减：弥补以前年度亏损（填附表四）", 120000),
    ("", 25, "应纳税所得额（23－24）", 1430069.5),
    ("应纳税额计算", 26, "税率（25%）", 0.25),
    ("", 27, "应纳所得税额（25×26）", 357517.38),
    ("", 28, "减：减免所得税额（填附表五）", 0),
    ("", 29, "减：抵免所得税额（填附表五）", 0),
    ("", 30, "应纳税额（27－28－29）", 357517.38),
    ("", 31, "加：境外所得应纳所得税额（填附表六）", 0),
    ("", 32, "减：境外所得抵免所得税额（填附表六）", 0),
    ("", 33, "实际应纳所得税额（30＋31－32）", 357517.38),
    ("", 34, "减：本年累计实际已预缴的所得税额", 300000),
    ("", 35, "其中：汇总纳税的总机构分摊预缴的税额", None),
    ("", 36, "汇总纳税的总机构财政调库预缴的税额", None),
    ("", 37, "汇总纳税的总机构所属分支机构分摊的预缴税额", None),
    ("", 38, "合并纳税（母子体制）成员企业就地预缴比例", None),
    ("", 39, "合并纳税企业就地预缴的所得税额", None),
    ("", 40, "本年应补（退）的所得税额（33－34）", 57517.38),
    ("附列资料", 41, "以前年度多缴的所得税额在本年抵减额", 0),
    ("", 42, "以前年度应缴未缴在本年入库所得税额", 0),
]

# --- worksheets 2 and 3: income and cost details, rows from 6, amounts in D --------------------

INCOME_DETAIL = [
    ("一、销售（营业）收入合计（2＋13）", 18650000),
    ("（一）营业收入合计（3＋8）", 18650000),
    ("1．主营业务收入（4＋5＋6＋7）", 18200000),
    ("（1）销售货物", 18200000),
    ("（2）提供劳务", 0),
    ("（3）让渡资产使用权", 0),
    ("（4）建造合同", 0),
    ("2．其他业务收入（9＋10＋11＋12）", 450000),
    ("（1）材料销售收入", 450000),
    ("（2）代购代销手续费收入", 0),
    ("（3）包装物出租收入", 0),
    ("（4）其他", 0),
    ("（二）视同销售收入（14＋15＋16）", 0),
    ("（1）非货币性交易视同销售收入", 0),
    ("（2）货物、财产、劳务视同销售收入", 0),
    ("（3）其他视同销售收入", 0),
    ("二、营业外收入（18＋19＋…＋26）", 42000),
    ("1．固定资产盘盈", 0),
    ("2．处置固定资产净收益", 12000),
    ("3．非货币性资产交易收益", 0),
    ("4．出售无形资产收益", 0),
    ("5．罚款净收入", 5000),
    ("6．债务重组收益", 0),
    ("7．政府补助收入", 25000),
    ("8．捐赠收入", 0),
    ("9．其他", 0),
]

COST_DETAIL = [
    ("一、销售（营业）成本合计（2＋7＋12）", 14920000),
    ("（一）主营业务成本（3＋4＋5＋6）", 14540000),
    ("（1）销售货物成本", 14540000),
    ("（2）提供劳务成本", 0),
    ("（3）让渡资产使用权成本", 0),
    ("（4）建造合同成本", 0),
    ("（二）其他业务成本（8＋9＋10＋11）", 380000),
    ("（1）材料销售成本", 380000),
    ("（2）代购代销费用", 0),
    ("（3）包装物出租成本", 0),
    ("（4）其他", 0),
    ("（三）视同销售成本（13＋14＋15）", 0),
    ("（1）非货币性交易视同销售成本", 0),
    ("（2）货物、财产、劳务视同销售成本", 0),
    ("（3）其他视同销售成本", 0),
    ("二、营业外支出（17＋18＋…＋24）", 18600),
    ("1．固定资产盘亏", 0),
    ("2．处置固定资产净损失", 3600),
    ("3．出售无形资产损失", 0),
    ("4．债务重组损失", 0),
    ("5．罚款支出", 5000),
    ("6．非常损失", 0),
    ("7．捐赠支出", 10000),
    ("8．其他", 0),
    ("三、期间费用（26＋27＋28）", 2187280.5),
    ("1．销售（营业）费用", 856400),
    ("2．管理费用", 1204300),
    ("3．财务费用", 126580.5),
]

# --- worksheet 4: tax adjustments, rows 7-63, columns E-H ----------------------------------
# (row, item, 账载金额 E, 税收金额 F, 调增金额 G, 调减金额 H); NA where the form has "*",
# None where the accountant left the cell blank.

ADJUSTMENTS = [
    (7, "一、收入类调整项目", NA, NA, 0, 35000),
    (8, "1．视同销售收入（填写附表一）", NA, NA, None, NA),
    (9, "2．接受捐赠收入", NA, None, None, NA),
    (10, "3．不符合税收规定的销售折扣和折让", None, None, None, NA),
    (11, "4．未按权责发生制原则确认的收入", None, None, None, None),
    (12, "5．按权益法核算长期股权投资对初始投资成本调整确认收益", NA, NA, NA, None),
    (13, "6．按权益法核算的长期股权投资持有期间的投资损益", NA, NA, None, None),
    (14, "7．特殊重组", None, None, None, None),
    (15, "8．一般重组", None, None, None, None),
    (16, "9．公允价值变动净收益（填写附表七）", NA, NA, None, None),
    (17, "10．确认为递延收益的政府补助", None, None, None, None),
    (18, "11．境外应税所得（填写附表六）", NA, NA, NA, None),
    (19, "12．不允许扣除的境外投资损失", NA, NA, None, NA),
    (20, "13．不征税收入（填附表一［3］）", NA, NA, NA, None),
    (21, "14．免税收入（填附表五）", NA, NA, NA, 35000),
    (22, "15．减计收入（填附表五）", NA, NA, NA, None),
    (23, "16．减、免税项目所得（填附表五）", NA, NA, NA, None),
    (24, "17．抵扣应纳税所得额（填附表五）", NA, NA, NA, None),
    (25, "18．其他", None, None, None, None),
    (26, "（续）", NA, NA, NA, NA),
    (27, "二、扣除类调整项目", NA, NA, 77200, 0),
    (28, "1．视同销售成本（填写附表二）", NA, NA, NA, None),
    (29, "2．工资薪金支出", 2350000, 2350000, 0, 0),
    (30, "3．职工福利费支出", 352000, 329000, 23000, 0),
    (31, "4．职工教育经费支出", 45000, 45000, 0, 0),
    (32, "5．工会经费支出", 47000, 47000, 0, 0),
    (33, "6．业务招待费支出", 98000, 58800, 39200, NA),
    (34, "7．广告费和业务宣传费支出（填写附表八）", NA, NA, 0, 0),
    (35, "8．捐赠支出", 10000, 0, 10000, NA),
    (36, "9．利息支出", None, None, None, None),
    (37, "10．住房公积金", None, None, None, NA),
    (38, "11．罚金、罚款和被没收财物的损失", 5000, NA, 5000, NA),
    (39, "12．税收滞纳金", None, NA, None, NA),
    (40, "13．赞助支出", None, NA, None, NA),
    (41, "14．各类基本社会保障性缴款", None, None, None, None),
    (42, "15．补充养老保险、补充医疗保险", None, None, None, None),
    (43, "16．与未实现融资收益相关在当期确认的财务费用", None, None, None, None),
    (44, "17．与取得收入无关的支出", None, NA, None, NA),
    (45, "18．不征税收入用于支出所形成的费用", None, NA, None, NA),
    (46, "19．加计扣除（填附表五）", NA, NA, NA, None),
    (47, "20．其他", None, None, None, None),
    (48, "（续）", NA, NA, NA, NA),
    (49, "三、资产类调整项目", NA, NA, 0, 0),
    (50, "1．财产损失", None, None, None, None),
    (51, "2．固定资产折旧（填写附表九）", NA, NA, 0, 0),
    (52, "3．生产性生物资产折旧（填写附表九）", NA, NA, None, None),
    (53, "4．长期待摊费用的摊销（填写附表九）", NA, NA, 0, 0),
    (54, "5．无形资产摊销（填写附表九）", NA, NA, 0, 0),
    (55, "6．投资转让、处置所得（填写附表十一）", NA, NA, None, None),
    (56, "7．油气勘探投资（填写附表九）", NA, NA, None, None),
    (57, "8．油气开发投资（填写附表九）", NA, NA, None, None),
    (58, "9．其他", None, None, None, None),
    (59, "四、准备金调整项目（填写附表十）", NA, NA, None, None),
    (60, "五、房地产企业预售收入计算的预计利润", NA, NA, None, None),
    (61, "六、特别纳税调整应税所得", NA, NA, None, NA),
    (62, "七、其他", NA, NA, None, None),
    (63, "合    计", NA, NA, 77200, 35000),
]

# --- worksheet 5: losses carried forward, rows 10-15, columns D-N, total in N16 --------------
# (line, item, 年度 D, then E to N)

LOSSES = [
    (1, "第一年", 2003, -150000, 0, -150000, 0, 30000, 0, 0, 30000, 120000, NA),
    (2, "第二年", 2004, 50000, 0, 50000, NA, 0, 0, 0, 0, 0, 0),
    (3, "第三年", 2005, 12000, 0, 12000, NA, NA, 0, 0, 0, 0, 0),
    (4, "第四年", 2006, 8500, 0, 8500, NA, NA, NA, 0, 0, 0, 0),
    (5, "第五年", 2007, 26000, 0, 26000, NA, NA, NA, NA, 0, 0, 0),
    (6, "本年", 2008, 1550069.5, 0, 1550069.5, NA, NA, NA, NA, NA, 120000, 0),
]
LOSS_TOTAL = 0

# --- worksheet 6: tax incentives, rows 6-51 in D, industry in D52 ---------------------------

INCENTIVES = [
    ("一、免税收入（2＋3＋4＋5）", 35000),
    ("1．国债利息收入", 10000),
    ("2．符合条件的居民企业之间的股息、红利等权益性投资收益", 25000),
    ("3．符合条件的非营利组织的收入", None),
    ("4．其他", None),
    ("二、减计收入（7＋8）", 0),
    ("1．企业以《资源综合利用企业所得税优惠目录》规定资源为主要原材料生产产品的收入", None),
    ("2．其他", None),
    ("三、加计扣除额合计（10＋11＋12＋13）", 0),
    ("1．开发新技术、新产品、新工艺发生的研究开发费用", None),
    ("2．安置残疾人员所支付的工资", None),
    ("3．国家鼓励安置的其他就业人员支付的工资", None),
    ("4．其他", None),
    ("四、减免所得额合计（15＋25＋29＋30＋31＋32）", 0),
    ("（一）免税所得（16＋17＋…＋24）", None),
    ("1．蔬菜、谷物、薯类、油料、豆类、棉花、麻类、糖料、水果、坚果的种植", None),
    ("2．农作物新品种的选育", None),
    ("3．中药材的种植", None),
    ("4．林木的培育和种植", None),
    ("5．牲畜、家禽的饲养", None),
    ("6．林产品的采集", None),
    ("7．灌溉、农产品初加工、兽医、农技推广、农机作业和维修等农、林、牧、渔服务业项目", None),
    ("8．远洋捕捞", None),
    ("9．其他", None),
    ("（二）减税所得（26＋27＋28）", None),
    ("1．花卉、茶以及其他饮料作物和香料作物的种植", None),
    ("2．海水养殖、内陆养殖", None),
    ("3．其他", None),
    ("（三）从事国家重点扶持的公共基础设施项目投资经营的所得", None),
    ("（四）从事符合条件的环境保护、节能节水项目的所得", None),
    ("（五）符合条件的技术转让所得", None),
    ("（六）其他", None),
    ("五、减免税合计（34＋35＋36＋37＋38）", 0),
    ("（一）符合条件的小型微利企业", None),
    ("（二）国家需要重点扶持的高新技术企业", None),
    ("（三）民族自治地方的企业应缴纳的企业所得税中属于地方分享的部分", None),
    ("（四）过渡期税收优惠", None),
    ("（五）其他", None),
    ("六、创业投资企业抵扣的应纳税所得额", 0),
    ("七、抵免所得税额合计（41＋42＋43＋44）", 0),
    ("（一）企业购置用于环境保护专用设备的投资额抵免的税额", None),
    ("（二）企业购置用于节能节水专用设备的投资额抵免的税额", None),
    ("（三）企业购置用于安全生产专用设备的投资额抵免的税额", None),
    ("（四）其他", None),
    ("企业从业人数（全年平均人数）", 186),
    ("资产总额（全年平均数）（万元）", 2350),
]
INDUSTRY = "工业企业"

# --- worksheet 9: advertising expenses, rows 8-18 in D ------------------------------------

ADVERTISING = [
    ("本年度广告费和业务宣传费支出", 420000),
    ("其中：不允许扣除的广告费和业务宣传费支出", 0),
    ("本年度符合条件的广告费和业务宣传费支出（1－2）", 420000),
    ("本年计算广告费和业务宣传费扣除限额的销售（营业）收入", 18650000),
    ("税收规定的扣除率", 0.15),
    ("本年广告费和业务宣传费扣除限额（4×5）", 2797500),
    ("本年广告费和业务宣传费支出纳税调整额（3≤6，本行＝2行；3＞6，本行＝1－6）", 0),
    ("本年结转以后年度扣除额（3＞6，本行＝3－6；3≤6，本行＝0）", 0),
    ("加：以前年度累计结转扣除额", 0),
    ("减：本年扣除的以前年度结转额", 0),
    ("累计结转以后年度扣除额（8＋9－10）", 0),
]

# --- worksheet 10: depreciation and amortisation, rows 9-26, columns D-J ---------------------
# (item, 原值账载 D, 计税基础 E, 年限会计 F, 年限税收 G, 本期会计 H, 本期税收 I, 调整额 J)

DEPRECIATION = [
    ("一、固定资产", 3860000, 3860000, NA, NA, 325058.33, 325058.33, 0),
    ("1．房屋建筑物", 2100000, 2100000, 20, 20, 99750, 99750, 0),
    ("2．飞机、火车、轮船、机器、机械和其他生产设备", 1320000, 1320000, 10, 10, 125400, 125400, 0),
    ("3．与生产经营有关的器具工具家具", 180000, 180000, 5, 5, 34200, 34200, 0),
    ("4．飞机、火车、轮船以外的运输工具", 210000, 210000, 4, 4, 49875, 49875, 0),
    ("5．电子设备", 50000, 50000, 3, 3, 15833.33, 15833.33, 0),
    ("二、生产性生物资产", 0, 0, NA, NA, 0, 0, 0),
    ("1．林木类", None, None, None, None, None, None, None),
    ("2．畜类", None, None, None, None, None, None, None),
    ("三、长期待摊费用", 120000, 120000, NA, NA, 24000, 24000, 0),
    ("1．已足额提取折旧的固定资产的改建支出", None, None, None, None, None, None, None),
    ("2．租入固定资产的改建支出", 120000, 120000, 5, 5, 24000, 24000, 0),
    ("3．固定资产大修理支出", None, None, None, None, None, None, None),
    ("4．其他长期待摊费用", None, None, None, None, None, None, None),
    ("四、无形资产", 300000, 300000, 10, 10, 30000, 30000, 0),
    ("五、油气勘探投资", None, None, None, None, None, None, None),
    ("六、油气开发投资", None, None, None, None, None, None, None),
    ("合计", 4280000, 4280000, NA, NA, 379058.33, 379058.33, 0),
]


def heading_row(ws, row, texts, first_col=1):
    for col, text in enumerate(texts, start=first_col):
        if text is None:
            continue
        c = ws.cell(row=row, column=col, value=text)
        c.font = Font(bold=True)
        c.alignment = Alignment(horizontal="center", vertical="center", wrap_text=True)
        c.border = BOX


def put(ws, row, col, value):
    c = ws.cell(row=row, column=col, value=value)
    c.border = BOX
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        c.number_format = MONEY
    elif value == NA:
        c.alignment = Alignment(horizontal="center")
    return c


def title(ws, text, head_cells=True):
    ws["A1"] = text
    ws["A1"].font = Font(bold=True, size=14)
    if head_cells:
        ws["B3"] = PERIOD
        ws["B4"] = COMPANY
        ws["B5"] = TAXPAYER


def widths(ws, values):
    for col, width in zip("ABCDEFGHIJKLMN", values):
        ws.column_dimensions[col].width = width


def main_table(ws):
    title(ws, "中华人民共和国企业所得税年度纳税申报表（A类）")
    widths(ws, [16, 8, 12, 12, 12, 12, 12, 18])
    heading_row(ws, 6, ["类别", "行次", "项目", None, None, None, None, "金额"])
    ws.merge_cells("C6:G6")
    for i, (category, line, item, amount) in enumerate(MAIN_TABLE):
        row = 7 + i
        put(ws, row, 1, category or None)
        put(ws, row, 2, line)
        put(ws, row, 3, item)
        ws.merge_cells(start_row=row, start_column=3, end_row=row, end_column=7)
        c = put(ws, row, 8, amount)
        if line == 26:
            c.number_format = "0%"  # the rate shows as 25%, its value is 0.25
    ws["A50"] = "经办人（签章）：李秀芳        法定代表人（签章）：陈国华"


def detail_sheet(ws, caption, rows, first_row):
    title(ws, caption)
    widths(ws, [8, 40, 12, 18])
    heading_row(ws, first_row - 1, ["行次", "项目", None, "金额"])
    ws.merge_cells(start_row=first_row - 1, start_column=2, end_row=first_row - 1, end_column=3)
    for i, (item, amount) in enumerate(rows):
        row = first_row + i
        put(ws, row, 1, i + 1)
        put(ws, row, 2, item)
        ws.merge_cells(start_row=row, start_column=2, end_row=row, end_column=3)
        put(ws, row, 4, amount)


def adjustment_sheet(ws):
    title(ws, "纳税调整项目明细表（附表三）")
    widths(ws, [8, 30, 10, 10, 16, 16, 16, 16])
    heading_row(ws, 6, ["行次", "项目", None, None, "账载金额", "税收金额", "调增金额", "调减金额"])
    ws.merge_cells("B6:D6")
    line = 0
    for row, item, *amounts in ADJUSTMENTS:
        if item != "（续）":
            line += 1
            put(ws, row, 1, line)
        put(ws, row, 2, item)
        ws.merge_cells(start_row=row, start_column=2, end_row=row, end_column=4)
        for col, amount in enumerate(amounts, start=5):
            put(ws, row, col, amount)


def loss_sheet(ws):
    title(ws, "企业所得税弥补亏损明细表（附表四）")
    widths(ws, [8, 10, 4, 10, 16, 14, 16, 12, 12, 12, 12, 12, 16, 16])
    heading_row(ws, 7, ["行次", "项目", None, "年度", "盈利额或亏损额",
                        "合并分立企业转入可弥补亏损额", "当年可弥补的所得额",
                        "以前年度亏损已弥补额", None, None, None, None,
                        "本年度实际弥补的以前年度亏损额", "可结转以后年度弥补的亏损额"])
    heading_row(ws, 8, ["前四年度", "前三年度", "前二年度", "前一年度", "合计"], first_col=8)
    heading_row(ws, 9, [None, None, None, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11])
    for i, (line, item, *values) in enumerate(LOSSES):
        row = 10 + i
        put(ws, row, 1, line)
        put(ws, row, 2, item)
        for col, value in enumerate(values, start=4):
            put(ws, row, col, value)
        ws.cell(row=row, column=4).number_format = "0"
    put(ws, 16, 2, "可结转以后年度弥补的亏损额合计")
    put(ws, 16, 14, LOSS_TOTAL)


def incentive_sheet(ws):
    detail_sheet(ws, "税收优惠明细表（附表五）", INCENTIVES, 6)
    put(ws, 52, 2, "所属行业（工业企业  其他企业）")
    put(ws, 52, 4, INDUSTRY)


def foreign_income_sheet(ws):
    title(ws, "境外所得税抵免计算明细表（附表六）")
    heading_row(ws, 6, ["抵免方式", "国家或地区", "境外所得", "境外所得换算含税所得",
                        "弥补以前年度亏损", "免税所得", "弥补亏损前境外应税所得额"])
    for col in range(1, 8):
        put(ws, 7, col, "直接抵免" if col == 1 else 0)


def fair_value_sheet(ws):
    title(ws, "以公允价值计量资产纳税调整表（附表七）")
    heading_row(ws, 6, ["行次", "资产种类", "期初账载金额", "期初计税基础", "期末账载金额",
                        "期末计税基础", "纳税调整额"])
    for i, item in enumerate(["一、以公允价值计量且其变动计入当期损益的金融资产",
                              "二、以公允价值计量且其变动计入当期损益的金融负债",
                              "三、投资性房地产", "合计"]):
        put(ws, 7 + i, 1, i + 1)
        put(ws, 7 + i, 2, item)
        for col in range(3, 8):
            put(ws, 7 + i, col, 0)


def advertising_sheet(ws):
    detail_sheet(ws, "广告费和业务宣传费跨年度纳税调整表（附表八）", ADVERTISING, 8)
    ws["D12"].number_format = "0%"


def depreciation_sheet(ws):
    title(ws, "资产折旧、摊销纳税调整明细表（附表九）")
    widths(ws, [8, 34, 4, 14, 14, 10, 10, 14, 14, 14])
    heading_row(ws, 6, ["行次", "资产类别", None, "资产原值", None, "折旧、摊销年限", None,
                        "本期折旧、摊销额", None, "纳税调整额"])
    heading_row(ws, 7, ["账载金额", "计税基础", "会计", "税收", "会计", "税收"], first_col=4)
    heading_row(ws, 8, [None, None, None, 1, 2, 3, 4, 5, 6, 7])
    for i, (item, *values) in enumerate(DEPRECIATION):
        row = 9 + i
        put(ws, row, 1, i + 1)
        put(ws, row, 2, item)
        for col, value in enumerate(values, start=4):
            c = put(ws, row, col, value)
            if col in (6, 7) and isinstance(value, int):
                c.number_format = "0"


def main():
    wb = openpyxl.Workbook()
    sheets = [wb.active] + [wb.create_sheet() for _ in range(9)]
    for ws, name in zip(sheets, ["主表", "附表一（1）", "附表二（1）", "附表三", "附表四",
                                 "附表五", "附表六", "附表七", "附表八", "附表九"]):
        ws.title = name
    main_table(sheets[0])
    detail_sheet(sheets[1], "收入明细表（附表一（1））", INCOME_DETAIL, 6)
    detail_sheet(sheets[2], "成本费用明细表（附表二（1））", COST_DETAIL, 6)
    adjustment_sheet(sheets[3])
    loss_sheet(sheets[4])
    incentive_sheet(sheets[5])
    foreign_income_sheet(sheets[6])
    fair_value_sheet(sheets[7])
    advertising_sheet(sheets[8])
    depreciation_sheet(sheets[9])
    # The column headings each sheet repeats at the top of its pages.
    for ws, heads in zip(sheets, ["6:6", "5:5", "5:5", "6:6", "7:9", "5:5", "6:6", "6:6", "5:5",
                                  "6:8"]):
        print_setup(ws, heads)
    os.makedirs(os.path.join(HERE, "kind9"), exist_ok=True)
    wb.save(os.path.join(HERE, "kind9", "粤丰五金_2008年度企业所得税申报表.xlsx"))


if __name__ == "__main__":
    main()
