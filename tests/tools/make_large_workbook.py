#!/usr/bin/python3
"""Writes large .xlsx workbooks for the memory tests and the benchmark, fast.

make_large_workbook.py rows OUT N            one sheet of N rows: a number, a text and a date serial
make_large_workbook.py sheets OUT S N        S sheets of N rows each (numbers)
make_large_workbook.py shared OUT S N KB     S sheets of N cells, every one (from column AE on, away from
                                             any header) the same KB-kilobyte shared string
make_large_workbook.py strings OUT MB        a shared-string part of at least MB megabytes, one
                                             sheet that shows its first and last strings
"""
import sys
import zipfile

NS = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"


def col_name(c):
    s = ""
    c += 1
    while c:
        c, r = divmod(c - 1, 26)
        s = chr(65 + r) + s
    return s


def write(out, sheets, strings=None):
    """sheets: list of (name, iterator of XML chunks of sheetData); strings: iterator of si chunks."""
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
        types = ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/'
                 'package/2006/content-types"><Default Extension="rels" ContentType="application/'
                 'vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" '
                 'ContentType="application/xml"/></Types>')
        z.writestr("[Content_Types].xml", types)
        z.writestr("_rels/.rels", f'<Relationships xmlns="{PKG}"><Relationship Id="rId1" '
                   f'Type="{REL}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        listed = "".join(f'<sheet name="{name}" sheetId="{i + 1}" r:id="rId{i + 1}"/>'
                         for i, (name, _) in enumerate(sheets))
        z.writestr("xl/workbook.xml", f'<workbook xmlns="{NS}" xmlns:r="{REL}"><sheets>{listed}'
                   '</sheets></workbook>')
        rels = "".join(f'<Relationship Id="rId{i + 1}" Type="{REL}/worksheet" '
                       f'Target="worksheets/sheet{i + 1}.xml"/>' for i in range(len(sheets)))
        if strings is not None:
            rels += (f'<Relationship Id="rIdS" Type="{REL}/sharedStrings" '
                     'Target="sharedStrings.xml"/>')
        z.writestr("xl/_rels/workbook.xml.rels", f'<Relationships xmlns="{PKG}">{rels}</Relationships>')
        if strings is not None:
            with z.open("xl/sharedStrings.xml", "w", force_zip64=True) as f:
                f.write(f'<sst xmlns="{NS}">'.encode())
                for chunk in strings:
                    f.write(chunk.encode())
                f.write(b"</sst>")
        for i, (_, chunks) in enumerate(sheets):
            with z.open(f"xl/worksheets/sheet{i + 1}.xml", "w", force_zip64=True) as f:
                f.write(f'<worksheet xmlns="{NS}"><sheetData>'.encode())
                for chunk in chunks:
                    f.write(chunk.encode())
                f.write(b"</sheetData></worksheet>")


def number_rows(n, seed=0):
    batch = []
    for r in range(1, n + 1):
        batch.append(f'<row r="{r}"><c r="A{r}"><v>{(r * 7919 + seed) % 1000003}.{r % 97}</v></c></row>')
        if len(batch) == 4096:
            yield "".join(batch)
            batch = []
    yield "".join(batch)


def mixed_rows(n):
    batch = []
    for r in range(1, n + 1):
        batch.append(f'<row r="{r}"><c r="A{r}"><v>{(r * 7919) % 1000003}</v></c>'
                     f'<c r="B{r}" t="inlineStr"><is><t>行{r}</t></is></c>'
                     f'<c r="C{r}" s="1"><v>{39448 + r % 3650}</v></c></row>')
        if len(batch) == 4096:
            yield "".join(batch)
            batch = []
    yield "".join(batch)


def shared_cells(n):
    batch = []
    per_row = 16
    for k in range(n):
        r, c = divmod(k, per_row)
        batch.append(f'<c r="{col_name(30 + c)}{r + 1}" t="s"><v>0</v></c>')
        if c == per_row - 1 or k == n - 1:
            yield f'<row r="{r + 1}">' + "".join(batch) + "</row>"
            batch = []


def main():
    kind, out = sys.argv[1], sys.argv[2]
    if kind == "rows":
        write(out, [("Big", mixed_rows(int(sys.argv[3])))])
    elif kind == "sheets":
        s, n = int(sys.argv[3]), int(sys.argv[4])
        write(out, [(f"S{i + 1}", number_rows(n, i)) for i in range(s)])
    elif kind == "shared":
        s, n, kb = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
        text = "".join(chr(0x4E00 + (i * 31) % 2000) for i in range(kb * 1024 // 3))
        write(out, [(f"S{i + 1}", shared_cells(n)) for i in range(s)],
              iter([f"<si><t>{text}</t></si>"]))
        return
    elif kind == "strings":
        mb = int(sys.argv[3])
        item = len("<si><t>0000000000-条目00000000-00000</t></si>".encode())
        count = mb * (1 << 20) // item + 1

        def items():
            batch = []
            for i in range(count):
                # Varied text, as real tables are, so the part deflates like one.
                batch.append(f"<si><t>{(i * 2654435761) % 4294967296:010d}-条目{i:08d}-"
                             f"{(i * 40503) % 65536:05d}</t></si>")
                if len(batch) == 4096:
                    yield "".join(batch)
                    batch = []
            yield "".join(batch)

        write(out, [("S", iter([f'<row r="1"><c r="A1" t="s"><v>0</v></c>'
                                f'<c r="B1" t="s"><v>{count - 1}</v></c></row>']))], items())
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
