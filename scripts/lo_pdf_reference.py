#!/usr/bin/python3
"""Writes what LibreOffice's PDF of each workbook's active sheet holds: page count, page sizes and
the text of every page (pdftotext -layout), for the rendering tests to compare ours with.

Usage: LC_ALL=C.UTF-8 /usr/bin/python3 scripts/lo_pdf_reference.py OUT WORKBOOK...
One line per page: file name, page number, width and height in points, the page's words
separated by spaces; tab-separated."""
import os, shutil, subprocess, sys, tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.path.join(HERE, '..', '..', 'shared', 'tools', 'lo_page_breaks.py')


def run(args):
    return subprocess.run(args, capture_output=True, text=True, check=True,
                          env=dict(os.environ, LC_ALL='C.UTF-8')).stdout


def main():
    out, files = sys.argv[1], sys.argv[2:]
    tool = os.environ.get('LO_PAGE_BREAKS', TOOL)
    tmp = tempfile.mkdtemp(prefix='lo-pdf-ref-')
    lines = []
    try:
        run(['/usr/bin/python3', tool, '--pdf', tmp] + files)
        for path in files:
            name = os.path.basename(path)
            pdf = os.path.join(tmp, os.path.splitext(name)[0] + '.pdf')
            if not os.path.exists(pdf):
                sys.exit('LibreOffice wrote no PDF for ' + name)
            sizes = [l.split(':', 1)[1].split('pts')[0].split('x')
                     for l in run(['pdfinfo', '-f', '1', '-l', '9999', pdf]).splitlines()
                     if l.startswith('Page') and ' size:' in l]
            pages = run(['pdftotext', '-layout', pdf, '-']).split('\f')[:-1]
            if not pages or len(pages) != len(sizes):
                sys.exit('pdftotext or pdfinfo gave nothing back for ' + name)
            for i, (text, (w, h)) in enumerate(zip(pages, sizes)):
                lines.append('\t'.join([name, str(i + 1), w.strip(), h.strip(), ' '.join(text.split())]))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    with open(out, 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
