#!/usr/bin/python3
"""Printing benchmark: N workbooks (copies of the bundled examples) to PDF with ledgerix-cli and
with LibreOffice headless in one run; pages per second and peak memory, printed, not asserted.

Usage: LC_ALL=C.UTF-8 /usr/bin/python3 bench/print_bench.py [--n 200] [--no-libreoffice]"""
import argparse, glob, os, resource, shutil, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def pages_of(folder):
    total = 0
    for pdf in glob.glob(os.path.join(folder, '*.pdf')):
        info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True).stdout
        total += next(int(l.split()[1]) for l in info.splitlines() if l.startswith('Pages:'))
    return total


def measured(args, env):
    """Wall seconds, CPU seconds and the peak resident memory (MiB) of the command; the peak is
    the largest process's, and a run's peak is only told apart from an earlier, smaller one."""
    r0 = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    seconds = time.monotonic() - start
    r1 = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (r1.ru_utime - r0.ru_utime) + (r1.ru_stime - r0.ru_stime)
    return seconds, cpu, r1.ru_maxrss / 1024.0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--n', type=int, default=200)
    ap.add_argument('--no-libreoffice', action='store_true')
    a = ap.parse_args()
    env = dict(os.environ, LC_ALL='C.UTF-8')
    examples = sorted(glob.glob(os.path.join(ROOT, 'examples', 'kind*', '*.xls*')))
    work = tempfile.mkdtemp(prefix='ledgerix-print-bench-')
    try:
        src = os.path.join(work, 'src')
        os.makedirs(src)
        for i in range(a.n):
            ex = examples[i % len(examples)]
            shutil.copy(ex, os.path.join(src, '%03d_%s' % (i, os.path.basename(ex))))
        cli = os.path.join(ROOT, 'build', 'ledgerix-cli')
        for n in sorted({min(20, a.n), a.n}):
            sub = os.path.join(work, 'src%d' % n)
            os.makedirs(sub)
            for name in sorted(os.listdir(src))[:n]:
                os.link(os.path.join(src, name), os.path.join(sub, name))
            out = os.path.join(work, 'ours%d' % n)
            os.makedirs(out)
            # A fresh interpreter per measurement keeps the children's peak apart.
            seconds, cpu, peak = measured([cli, 'print', '--source', sub, '--pdf', out, '--sheets', 'all'], env)
            pages = pages_of(out)
            print('ledgerix-cli  %3d workbooks: %5d pages in %6.2f s wall (%7.1f pages/s), %6.2f s CPU '
                  '(%7.1f pages/s), peak %6.1f MiB' % (n, pages, seconds, pages / seconds, cpu, pages / cpu, peak))
            sys.stdout.flush()
        if not a.no_libreoffice:
            out = os.path.join(work, 'lo')
            os.makedirs(out)
            profile = os.path.join(work, 'profile')
            files = sorted(glob.glob(os.path.join(src, '*')))
            seconds, cpu, peak = measured(['soffice', '-env:UserInstallation=file://' + profile, '--headless',
                                      '--norestore', '--convert-to', 'pdf', '--outdir', out] + files, env)
            pages = pages_of(out)
            if pages == 0:
                sys.exit('LibreOffice wrote no PDF')
            print('LibreOffice   %3d workbooks: %5d pages in %6.2f s wall (%7.1f pages/s), %6.2f s CPU '
                  '(%7.1f pages/s), peak %6.1f MiB' % (a.n, pages, seconds, pages / seconds, cpu, pages / cpu, peak))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
