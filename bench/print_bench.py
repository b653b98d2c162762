#!/usr/bin/python3
"""Printing benchmark: N workbooks (copies of the bundled examples) to PDF with ledgerix-cli and
with LibreOffice headless in one run; pages per second and peak memory, printed, not asserted.

Usage: LC_ALL=C.UTF-8 /usr/bin/python3 bench/print_bench.py [--n 200] [--no-libreoffice]"""
import argparse, glob, os, shutil, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def pages_of(folder):
    total = 0
    for pdf in glob.glob(os.path.join(folder, '*.pdf')):
        info = subprocess.run(['pdfinfo', pdf], capture_output=True, text=True).stdout
        total += next(int(l.split()[1]) for l in info.splitlines() if l.startswith('Pages:'))
    return total


def measured(args, env):
    """Wall seconds, CPU seconds and the peak resident memory (MiB) of the command, from its own
    resource usage (wait4), so each run's peak is its own; the peak is its largest process's."""
    start = time.monotonic()
    p = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(p.pid, 0)
    seconds = time.monotonic() - start
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode != 0:
        raise subprocess.CalledProcessError(p.returncode, args)
    return seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


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
            # One worker (the CPU cost per page) and one per processor (the batch's wall time).
            for jobs in sorted({1, os.cpu_count() or 1}):
                out = os.path.join(work, 'ours%d_%d' % (n, jobs))
                os.makedirs(out)
                seconds, cpu, peak = measured([cli, 'print', '--source', sub, '--pdf', out, '--sheets', 'all',
                                               '--jobs', str(jobs)], env)
                pages = pages_of(out)
                print('ledgerix-cli  %3d workbooks, %2d worker(s): %5d pages in %6.2f s wall (%7.1f pages/s), '
                      '%6.2f s CPU (%7.1f pages/s), peak %6.1f MiB'
                      % (n, jobs, pages, seconds, pages / seconds, cpu, pages / cpu, peak))
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
