#!/usr/bin/python3
"""Workbooks for the printing tests, written by openpyxl: run with LC_ALL=C.UTF-8 from here."""
import openpyxl
import openpyxl.chart


def hidden_only():
    # Every worksheet hidden, a chart sheet the only visible sheet: "全部工作表" prints nothing.
    wb = openpyxl.Workbook()
    first = wb.active
    first.title = "隐藏一"
    first["A1"] = "不应打印"
    second = wb.create_sheet("隐藏二")
    second["A1"] = "也不应打印"
    first.sheet_state = "hidden"
    second.sheet_state = "veryHidden"
    chart = wb.create_chartsheet("图表")
    bars = openpyxl.chart.BarChart()
    bars.add_data(openpyxl.chart.Reference(first, min_col=1, min_row=1, max_row=1))
    chart.add_chart(bars)
    wb.active = 2
    wb.save("hidden_only.xlsx")


def three_sheets():
    # Two visible sheets around a hidden one; A3 paper, two copies, black and white.
    wb = openpyxl.Workbook()
    a = wb.active
    a.title = "甲表"
    a["A1"] = "甲表内容"
    h = wb.create_sheet("隐藏")
    h["A1"] = "隐藏内容"
    h.sheet_state = "hidden"
    b = wb.create_sheet("乙表")
    b["A1"] = "乙表内容"
    for ws in (a, b):
        ws.page_setup.paperSize = ws.PAPERSIZE_A4
    b.page_setup.paperSize = ws.PAPERSIZE_A3
    b.page_setup.copies = 2
    b.page_setup.blackAndWhite = True
    wb.active = 2
    wb.save("three_sheets.xlsx")


def no_paper():
    # A page setup that names no paper: the printer's own is used. Kept in a folder of its own
    # so that the listings of this one stay as the tests expect.
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "无纸张"
    ws["A1"] = "纸张由打印机决定"
    wb.save("../printer_paper/no_paper.xlsx")


if __name__ == "__main__":
    hidden_only()
    three_sheets()
    no_paper()
