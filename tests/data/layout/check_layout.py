#!/usr/bin/python3
"""Compares what the engine read of workbooks' look and page setup (JSON lines written by the
engine tests, see tests/engine/layout_json.h) with what LibreOffice reports over its API after
loading the same files, and for .xls with what xlrd reads with formatting_info=True.

usage: /usr/bin/python3 check_layout.py OURS.jsonl EXPECTATIONS.tsv [--summary] [--quick]

A difference is "strict" (the run fails unless EXPECTATIONS.tsv lists it as file<TAB>field with a
verdict; the field may be a shell pattern such as "cell *") or "info" (printed and counted, never failing: LibreOffice's own row heights for rows
without a stated height, and number format texts, which it rewrites in its own dialect).
Exit status 0 when no unlisted strict difference is left; an expectation that no longer
matches anything is reported too, and fails the run."""
import collections
import fnmatch
import json
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
# The LibreOffice session shared by the reference scripts.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', '..', 'scripts'))

# Paper codes shared by both formats -> (width, height) in mm, portrait.
PAPER_MM = {
    1: (215.9, 279.4), 3: (279.4, 431.8), 5: (215.9, 355.6), 7: (184.15, 266.7),
    8: (297, 420), 9: (210, 297), 11: (148, 210), 12: (257, 364), 13: (182, 257),
    70: (105, 148),
}
HUNDREDTHS_PER_INCH = 2540.0
MAX_COLS_CHECKED = 64
MAX_ROWS_CHECKED = 400
MAX_MERGES_CHECKED = 200
MAX_CELLS_CHECKED = 80

H_ALIGN = {0: "STANDARD", 1: "LEFT", 2: "CENTER", 3: "RIGHT", 4: "REPEAT", 5: "BLOCK",
           6: "CENTER", 7: "BLOCK"}


class Report:
    def __init__(self, expectations):
        self.expect = expectations
        self.used = set()
        self.strict = []
        self.info = []
        self.counts = collections.Counter()

    def diff(self, file, sheet, field, ours, theirs, strict=True):
        line = "%s | %s | %s: ours %r, reference %r" % (os.path.basename(file), sheet, field,
                                                        ours, theirs)
        key = next((k for k in self.expect if k[0] == os.path.basename(file)
                    and fnmatch.fnmatchcase(field, k[1])), None)
        if strict and key is not None:
            self.used.add(key)
            self.info.append("expected: " + line + " (" + self.expect[key] + ")")
            print("info: expected: " + line, flush=True)
        elif strict:
            self.strict.append(line)
            print("DIFF: " + line, flush=True)
        else:
            self.info.append(line)
            print("info: " + line, flush=True)


def close(a, b, tol):
    return abs(a - b) <= tol


def check_page(rep, f, name, ours, sheet, style):
    p = ours["page"]
    if p["paper"] in PAPER_MM and p["paper_w_mm"] is None:
        w, h = PAPER_MM[p["paper"]]
        if p["orientation"] == "landscape":
            w, h = h, w
        if not (close(style.Width, w * 100, 100) and close(style.Height, h * 100, 100)):
            rep.diff(f, name, "paper", (p["paper"], p["orientation"]), (style.Width, style.Height))
    if p["orientation"] != "default":
        if bool(style.IsLandscape) != (p["orientation"] == "landscape"):
            rep.diff(f, name, "orientation", p["orientation"], bool(style.IsLandscape))
    if p["fit"]:
        if (style.ScaleToPagesX, style.ScaleToPagesY) != (p["fit_w"], p["fit_h"]) and not (
                p["fit_w"] == 0 and p["fit_h"] == 0):
            rep.diff(f, name, "fit", (p["fit_w"], p["fit_h"]),
                     (style.ScaleToPagesX, style.ScaleToPagesY))
    else:
        scale = p["scale"] if p["scale"] is not None else 100
        if style.ScaleToPagesX or style.ScaleToPagesY or style.ScaleToPages:
            rep.diff(f, name, "fit", False, (style.ScaleToPagesX, style.ScaleToPagesY))
        elif style.PageScale != scale:
            rep.diff(f, name, "scale", scale, style.PageScale)
    # Margins the file does not state are absent on our side; LibreOffice then shows its own
    # defaults (1.9 cm, 2.5 cm), not the spreadsheet application's, so only stated ones count.
    left, right, top, bottom, header, footer = p["margins"]
    tol = 3  # 1/100 mm: LibreOffice keeps margins in twips
    for field, inches, theirs in (("left margin", left, style.LeftMargin),
                                  ("right margin", right, style.RightMargin)):
        if inches is not None and not close(theirs, inches * HUNDREDTHS_PER_INCH, tol):
            rep.diff(f, name, field, round(inches * HUNDREDTHS_PER_INCH), theirs)
    # LibreOffice's page margin is the distance to the header when there is one; its header
    # area then reaches to the body, rebuilt with its own minimum heights and spacing, so where
    # the body starts is informative only.
    for field, on, edge, hf, theirs, height in (
            ("top margin", style.HeaderIsOn, top, header, style.TopMargin, style.HeaderHeight),
            ("bottom margin", style.FooterIsOn, bottom, footer, style.BottomMargin,
             style.FooterHeight)):
        if on:
            if hf is not None and not close(theirs, hf * HUNDREDTHS_PER_INCH, tol):
                rep.diff(f, name, field + " (to the header)", round(hf * 2540), theirs)
            if edge is not None and not close(theirs + height, edge * HUNDREDTHS_PER_INCH,
                                              tol + 2):
                rep.diff(f, name, field + " (to the body)", round(edge * 2540), theirs + height,
                         strict=False)
        elif edge is not None and not close(theirs, edge * HUNDREDTHS_PER_INCH, tol):
            rep.diff(f, name, field, round(edge * HUNDREDTHS_PER_INCH), theirs)
    for field, ours_v, theirs in (("hcenter", p["hcenter"], style.CenterHorizontally),
                                  ("vcenter", p["vcenter"], style.CenterVertically),
                                  ("gridlines", p["grid"], style.PrintGrid),
                                  ("headings", p["headings"], style.PrintHeaders),
                                  ("page order down first", not p["over_then_down"],
                                   style.PrintDownFirst)):
        if bool(ours_v) != bool(theirs):
            rep.diff(f, name, field, ours_v, bool(theirs))
    if p["first_page"] is not None and p["first_page"] != style.FirstPageNumber:
        rep.diff(f, name, "first page number", p["first_page"], style.FirstPageNumber)
    hf_ours = ours["hf"]
    if bool(hf_ours["odd_header"]) != bool(style.HeaderIsOn):
        rep.diff(f, name, "header on", bool(hf_ours["odd_header"]), bool(style.HeaderIsOn))
    if bool(hf_ours["odd_footer"]) != bool(style.FooterIsOn):
        rep.diff(f, name, "footer on", bool(hf_ours["odd_footer"]), bool(style.FooterIsOn))


def whole_grid(areas, xls):
    """Areas reaching the last row or column of the file's grid reach LibreOffice's too."""
    last_row, last_col = (65535, 255) if xls else (1048575, 16383)
    return sorted([r1, c1, min(r2, last_row), min(c2, last_col)] for r1, c1, r2, c2 in areas)


def check_sheet_ranges(rep, f, name, ours, sheet):
    xls = f.lower().endswith(".xls")
    lo_areas = whole_grid([[a.StartRow, a.StartColumn, a.EndRow, a.EndColumn]
                           for a in sheet.getPrintAreas()], xls)
    if whole_grid(ours["print_area"], xls) != lo_areas:
        rep.diff(f, name, "print area", ours["print_area"], lo_areas)
    lo_rows = None
    if sheet.getPrintTitleRows():
        t = sheet.getTitleRows()
        lo_rows = [t.StartRow, t.EndRow]
    if ours["title_rows"] != lo_rows:
        rep.diff(f, name, "title rows", ours["title_rows"], lo_rows)
    lo_cols = None
    if sheet.getPrintTitleColumns():
        t = sheet.getTitleColumns()
        lo_cols = [t.StartColumn, t.EndColumn]
    if ours["title_cols"] != lo_cols:
        rep.diff(f, name, "title columns", ours["title_cols"], lo_cols)
    for field, mine, breaks in (("row breaks", ours["row_breaks"], sheet.RowPageBreaks),
                                ("column breaks", ours["col_breaks"], sheet.ColumnPageBreaks)):
        manual = sorted(b.Position for b in breaks if b.ManualBreak)
        if mine != manual:
            rep.diff(f, name, field, mine, manual)
    checked = 0
    for m in ours["merges"]:
        if checked >= MAX_MERGES_CHECKED:
            break
        checked += 1
        r1, c1, r2, c2 = m
        if c2 > 1023 or r2 > 1048575:
            continue
        if not sheet.getCellRangeByPosition(c1, r1, c2, r2).getIsMerged():
            rep.diff(f, name, "merge", m, "not merged")


def check_widths_heights(rep, f, name, ours, sheet):
    # LibreOffice turns character widths into lengths with its own font measure, so widths are
    # checked for one common factor per sheet, not for a length.
    ratios = []
    cols = 0
    for first, last, width, hidden, _style in ours["cols"]:
        for c in range(first, min(last, 1023) + 1):
            if cols >= MAX_COLS_CHECKED:
                break
            cols += 1
            col = sheet.Columns.getByIndex(c)
            if bool(col.IsVisible) == bool(hidden):
                rep.diff(f, name, "column %d hidden" % c, hidden, not col.IsVisible)
            if width and not hidden and col.Width > 0:
                ratios.append((col.Width / width, c, width, col.Width))
    if ratios:
        k = sorted(r[0] for r in ratios)[len(ratios) // 2]
        for ratio, c, width, lo_width in ratios:
            # one twip of rounding each way on top of 1%
            if not close(ratio * width, k * width, 0.01 * k * width + 4):
                rep.diff(f, name, "column %d width" % c, width, lo_width)
    for row, height, custom, hidden, _style in ours["rows"][:MAX_ROWS_CHECKED]:
        if row > 1048575:
            continue
        r = sheet.Rows.getByIndex(row)
        if bool(r.IsVisible) == bool(hidden):
            rep.diff(f, name, "row %d hidden" % row, hidden, not r.IsVisible)
        if height is None or hidden:
            continue
        theirs = r.Height
        # LibreOffice keeps heights in twips and rounds some through pixels: 0.1 mm
        if not close(theirs, height * HUNDREDTHS_PER_INCH / 72, 10):
            rep.diff(f, name, "row %d height" % row, round(height * 2540 / 72), theirs,
                     strict=bool(custom))


def lo_color(c):
    return None if c is None else c


def check_cells(rep, f, name, ours, styles, sheet):
    cells = ours["cells"]
    if not cells or not styles:
        return
    step = max(1, len(cells) // MAX_CELLS_CHECKED)
    for row, col, xf in cells[::step][:MAX_CELLS_CHECKED]:
        if xf >= len(styles) or col > 1023:
            continue
        s = styles[xf]
        cell = sheet.getCellByPosition(col, row)
        where = "cell %d,%d" % (row, col)
        font = s["font"]
        # LibreOffice gives a CJK text the Asian font; the file has one font for both.
        names = {cell.CharFontName, cell.CharFontNameAsian}
        if font["name"] not in names:
            rep.diff(f, name, where + " font", font["name"], sorted(names))
        if not close(cell.CharHeight, font["size"], 0.05):
            rep.diff(f, name, where + " size", font["size"], cell.CharHeight)
        if (cell.CharWeight > 100) != font["bold"]:
            rep.diff(f, name, where + " bold", font["bold"], cell.CharWeight)
        if (cell.CharPosture.value != "NONE") != font["italic"]:
            rep.diff(f, name, where + " italic", font["italic"], cell.CharPosture.value)
        if (cell.CharUnderline != 0) != (font["underline"] != 0):
            rep.diff(f, name, where + " underline", font["underline"], cell.CharUnderline)
        if (cell.CharStrikeout != 0) != font["strike"]:
            rep.diff(f, name, where + " strike", font["strike"], cell.CharStrikeout)
        theirs = cell.CharColor
        mine = font["color"]
        if mine is not None and theirs not in (-1,) and theirs != mine:
            rep.diff(f, name, where + " colour", mine, theirs)
        pattern, fg, _bg = s["fill"]
        back = cell.CellBackColor
        if pattern == 1 and fg is not None and back != fg:
            rep.diff(f, name, where + " fill", fg, back)
        if pattern == 0 and back != -1:
            rep.diff(f, name, where + " fill", None, back)
        if H_ALIGN.get(s["halign"]) != cell.HoriJustify.value and not (
                s["halign"] == 7 and cell.HoriJustify.value == "STANDARD"):
            rep.diff(f, name, where + " horizontal", s["halign"], cell.HoriJustify.value)
        if bool(cell.IsTextWrapped) != s["wrap"]:
            rep.diff(f, name, where + " wrap", s["wrap"], cell.IsTextWrapped)
        rot = s["rotation"]
        want = None if rot == 255 else (rot if rot <= 90 else 360 - (rot - 90)) % 360
        if want is not None and cell.RotateAngle != want * 100:
            rep.diff(f, name, where + " rotation", rot, cell.RotateAngle)
        for side, (style_no, color) in zip(("LeftBorder", "RightBorder", "TopBorder",
                                            "BottomBorder"), s["borders"]):
            line = getattr(cell, side)
            has = (line.OuterLineWidth or line.InnerLineWidth or line.LineWidth) > 0
            # A border drawn on the neighbour's side shows on this cell in LibreOffice.
            if style_no != 0 and not has:
                rep.diff(f, name, where + " " + side, style_no, 0)
            if style_no != 0 and has and color is not None and line.Color != color:
                rep.diff(f, name, where + " " + side + " colour", color, line.Color)
        code = s["fmt"]
        if code is not None:
            theirs = doc_format(cell)
            if norm_code(code) != norm_code(theirs):
                rep.diff(f, name, where + " number format", code, theirs, strict=False)


_DOC = None


def doc_format(cell):
    try:
        return _DOC.NumberFormats.getByKey(cell.NumberFormat).FormatString
    except Exception:
        return None


def norm_code(code):
    if code is None:
        return None
    return code.lower().replace("\\", "").replace('"', "").replace("[$-804]", "")


def check_xlrd(rep, f, book_line, sheets):
    import xlrd
    try:
        bk = xlrd.open_workbook(f, formatting_info=True, on_demand=True)
    except Exception as e:  # xlrd refuses some files we read; nothing to compare then
        rep.counts["xlrd refused"] += 1
        return
    styles = book_line["styles"] if book_line else []
    if styles and len(bk.xf_list) != len(styles):
        rep.diff(f, "-", "xf count", len(styles), len(bk.xf_list))
    for i, xf in enumerate(bk.xf_list[:len(styles)]):
        s = styles[i]
        font = bk.font_list[xf.font_index] if xf.font_index < len(bk.font_list) else None
        if font is not None:
            if font.name != s["font"]["name"]:
                rep.diff(f, "-", "xf %d font name" % i, s["font"]["name"], font.name)
            if not close(font.height / 20.0, s["font"]["size"], 1e-9):
                rep.diff(f, "-", "xf %d font size" % i, s["font"]["size"], font.height / 20.0)
            # xlrd's bold is a flag Excel no longer writes; the weight is what counts.
            theirs = (font.weight >= 600, bool(font.italic))
            if theirs != (s["font"]["bold"], s["font"]["italic"]):
                rep.diff(f, "-", "xf %d bold/italic" % i,
                         (s["font"]["bold"], s["font"]["italic"]), theirs)
            if bool(font.struck_out) != s["font"]["strike"]:
                rep.diff(f, "-", "xf %d strike" % i, s["font"]["strike"], font.struck_out)
            rgb = bk.colour_map.get(font.colour_index)
            theirs = None if rgb is None else (rgb[0] << 16) | (rgb[1] << 8) | rgb[2]
            if s["font"]["color"] != theirs and font.colour_index < 64:
                rep.diff(f, "-", "xf %d font colour" % i, s["font"]["color"], theirs)
        if xf.format_key != s["fmt_id"]:
            rep.diff(f, "-", "xf %d format id" % i, s["fmt_id"], xf.format_key)
        fmt = bk.format_map.get(xf.format_key)
        if s["fmt"] is not None and fmt is not None and fmt.format_str != s["fmt"]:
            rep.diff(f, "-", "xf %d format code" % i, s["fmt"], fmt.format_str)
        a = xf.alignment
        if (a.hor_align, a.text_wrapped, a.rotation, a.indent_level, a.shrink_to_fit) != (
                s["halign"], int(s["wrap"]), s["rotation"], s["indent"], int(s["shrink"])):
            rep.diff(f, "-", "xf %d alignment" % i,
                     (s["halign"], s["wrap"], s["rotation"], s["indent"], s["shrink"]),
                     (a.hor_align, a.text_wrapped, a.rotation, a.indent_level, a.shrink_to_fit))
        b = xf.border
        lines = [b.left_line_style, b.right_line_style, b.top_line_style, b.bottom_line_style]
        if lines != [ln[0] for ln in s["borders"]]:
            rep.diff(f, "-", "xf %d borders" % i, [ln[0] for ln in s["borders"]], lines)
        if xf.background.fill_pattern != s["fill"][0]:
            rep.diff(f, "-", "xf %d fill pattern" % i, s["fill"][0], xf.background.fill_pattern)
    by_name = {}
    for i in range(bk.nsheets):
        try:
            by_name[bk.sheet_names()[i]] = i
        except Exception:
            pass
    for ours in sheets:
        if ours.get("error") or ours["name"] not in by_name:
            continue
        try:
            sh = bk.sheet_by_index(by_name[ours["name"]])
        except Exception:
            rep.counts["xlrd sheet refused"] += 1
            continue
        name = ours["name"]
        theirs = sorted([r1, c1, r2 - 1, c2 - 1] for r1, r2, c1, c2 in sh.merged_cells
                        if r2 - r1 > 1 or c2 - c1 > 1)
        if sorted(ours["merges"]) != theirs:
            rep.diff(f, name, "merges (xlrd)", sorted(ours["merges"])[:5], theirs[:5])
        mine_cols = {}
        for first, last, width, hidden, style in ours["cols"]:
            for c in range(first, last + 1):
                mine_cols[c] = (round(width * 256) if width is not None else None, hidden)
        for c, info in sh.colinfo_map.items():
            if c > 255:
                continue
            # a column of width 0 is hidden whatever its flag says
            theirs = (info.width, bool(info.hidden) or info.width == 0)
            if mine_cols.get(c) != theirs:
                rep.diff(f, name, "column %d (xlrd)" % c, mine_cols.get(c), theirs)
                break
        mine_rows = {r[0]: r for r in ours["rows"]}
        for r, info in sh.rowinfo_map.items():
            m = mine_rows.get(r)
            want = (None if info.has_default_height else info.height / 20.0,
                    bool(info.height_mismatch), bool(info.hidden))
            if m is None or (m[1], m[2], m[3]) != want:
                rep.diff(f, name, "row %d (xlrd)" % r, m and m[1:4], want)
                break
        mismatched = 0
        for row, col, xf in ours["cells"]:
            if row >= sh.nrows or col >= sh.ncols:
                continue
            try:
                theirs = sh.cell_xf_index(row, col)
            except Exception:
                continue
            if theirs != xf:
                mismatched += 1
                if mismatched == 1:
                    rep.diff(f, name, "cell xf (xlrd)", (row, col, xf), theirs)
        hb = sorted(b[0] for b in sh.horizontal_page_breaks if b[0] > 0)
        vb = sorted(b[0] for b in sh.vertical_page_breaks if b[0] > 0)
        if hb != ours["row_breaks"] or vb != ours["col_breaks"]:
            rep.diff(f, name, "breaks (xlrd)", (ours["row_breaks"], ours["col_breaks"]),
                     (hb, vb))
        rep.counts["xlrd sheets compared"] += 1
    bk.release_resources()


def main():
    global _DOC
    ours_path, expectations_path = sys.argv[1], sys.argv[2]
    summary = "--summary" in sys.argv
    if "--quick" in sys.argv:
        # Many workbooks: fewer cells, rows and columns per sheet, the same kinds of checks.
        global MAX_COLS_CHECKED, MAX_ROWS_CHECKED, MAX_MERGES_CHECKED, MAX_CELLS_CHECKED
        MAX_COLS_CHECKED, MAX_ROWS_CHECKED, MAX_MERGES_CHECKED, MAX_CELLS_CHECKED = 24, 60, 40, 12
    expect = {}
    if os.path.exists(expectations_path):
        for line in open(expectations_path, encoding="utf-8"):
            if line.startswith("#") or not line.strip():
                continue
            parts = line.rstrip("\n").split("\t")
            if len(parts) >= 3:
                expect[(parts[0], parts[1])] = parts[2]
    books = collections.OrderedDict()
    for line in open(ours_path, encoding="utf-8"):
        d = json.loads(line)
        entry = books.setdefault(d["file"], {"book": None, "sheets": []})
        if d["kind"] == "book":
            entry["book"] = d
        else:
            entry["sheets"].append(d)
    rep = Report(expect)
    setups = collections.Counter()
    from lo_office import Office
    with Office() as office:
        for f, entry in books.items():
            try:
                doc = office.load(f)
            except Exception as e:
                rep.counts["LibreOffice refused"] += 1
                continue
            if doc is None or not hasattr(doc, "Sheets"):
                rep.counts["LibreOffice refused"] += 1
                continue
            _DOC = doc
            try:
                styles = entry["book"]["styles"] if entry["book"] else []
                page_styles = doc.StyleFamilies.getByName("PageStyles")
                for ours in entry["sheets"]:
                    if ours.get("error"):
                        continue
                    name = ours["name"]
                    if not doc.Sheets.hasByName(name):
                        rep.counts["sheet not in LibreOffice"] += 1
                        continue
                    sheet = doc.Sheets.getByName(name)
                    style = page_styles.getByName(sheet.PageStyle)
                    count_setups(setups, ours)
                    check_page(rep, f, name, ours, sheet, style)
                    check_sheet_ranges(rep, f, name, ours, sheet)
                    check_widths_heights(rep, f, name, ours, sheet)
                    check_cells(rep, f, name, ours, styles, sheet)
                    rep.counts["sheets compared with LibreOffice"] += 1
            finally:
                doc.close(True)
            if f.lower().endswith(".xls") and entry["book"] and entry["book"]["format"] in (
                    "BIFF8", "BIFF5"):
                check_xlrd(rep, f, entry["book"], entry["sheets"])
    # Only files that were compared can make an expectation stale (a sample run sees a few).
    seen = {os.path.basename(f) for f in books}
    stale = [k for k in expect if k not in rep.used and k[0] in seen]
    for k in stale:
        print("STALE expectation (matches nothing): %s\t%s" % k)
    print("counts: " + json.dumps(rep.counts, sort_keys=True))
    if summary:
        print("setups read: " + json.dumps(setups, sort_keys=True, ensure_ascii=False))
    print("%d strict differences, %d informative" % (len(rep.strict),
                                                      sum(1 for i in rep.info
                                                          if not i.startswith("expected"))))
    return 1 if rep.strict or stale else 0


def count_setups(setups, ours):
    p = ours["page"]
    fmt = "xls" if ours["file"].lower().endswith(".xls") else "xlsx"
    def add(kind, cond):
        if cond:
            setups[fmt + " " + kind] += 1
    add("paper", p["paper"] is not None)
    add("landscape", p["orientation"] == "landscape")
    add("scale != 100", p["scale"] not in (None, 100) and not p["fit"])
    add("fit to pages", p["fit"])
    add("margins", any(m is not None for m in p["margins"][:4]))
    add("header/footer margins", any(m is not None for m in p["margins"][4:]))
    add("centred", p["hcenter"] or p["vcenter"])
    add("gridlines/headings", p["grid"] or p["headings"])
    add("header", bool(ours["hf"]["odd_header"]))
    add("footer", bool(ours["hf"]["odd_footer"]))
    add("odd/even or first-page header", ours["hf"]["odd_even"] or ours["hf"]["first"])
    add("first page number", p["first_page"] is not None)
    add("print area", bool(ours["print_area"]))
    add("print titles", ours["title_rows"] is not None or ours["title_cols"] is not None)
    add("manual breaks", bool(ours["row_breaks"] or ours["col_breaks"]))
    add("merges", bool(ours["merges"]))
    add("column widths", any(c[2] is not None for c in ours["cols"]))
    add("hidden columns", any(c[3] for c in ours["cols"]))
    add("custom row heights", any(r[2] for r in ours["rows"]))
    add("hidden rows", any(r[3] for r in ours["rows"]))
    add("sheets", True)


if __name__ == "__main__":
    sys.exit(main())
