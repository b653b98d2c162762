#!/usr/bin/env bash
# Printing benchmark: N copies of the kind-5 example printed with "全部工作表" on a PDF queue of a
# private CUPS server; prints the batch's wall time, its peak memory and the jobs the queue
# completed. Measured, not asserted. Usage: bench/print_bench.sh [N] [BUILD_DIR]
set -euo pipefail
n=${1:-200}
build=$(cd "${2:-build}" && pwd)
cd "$(dirname "$0")/.."
export LC_ALL=C.UTF-8
work=$(mktemp -d /tmp/ledgerix-print-bench-XXXXXX)
# The server runs its filters as another user, who must reach the driver and the spool.
chmod 755 "$work"
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
d=$work/cups
mkdir -p "$d"/{spool/temp,log,cache,state,ppd,ssl} "$work/source" "$work/home"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$d/cupsd.conf" <<CONF
Listen localhost:$port
Browsing Off
WebInterface No
LogLevel warn
MaxJobs 0
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat >"$d/cups-files.conf" <<CONF
FileDevice Yes
Printcap $d/printcap
ServerRoot $d
StateDir $d/state
CacheDir $d/cache
RequestRoot $d/spool
TempDir $d/spool/temp
AccessLog $d/log/access_log
ErrorLog $d/log/error_log
PageLog $d/log/page_log
ServerKeychain $d/ssl
ServerBin /usr/lib/cups
DataDir /usr/share/cups
CONF
/usr/sbin/cupsd -f -c "$d/cupsd.conf" -s "$d/cups-files.conf" &
pid=$!
export CUPS_SERVER=localhost:$port HOME=$work/home
for _ in $(seq 100); do lpstat -r >/dev/null 2>&1 && break; sleep 0.1; done
lpadmin -p FilePDF -v "file://$work/out.pdf" -P /usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd -E 2>/dev/null

example=$(ls examples/kind5/*.xls | head -1)
for i in $(seq -w 1 "$n"); do cp "$example" "$work/source/book_$i.xls"; done
/usr/bin/time -f '%e %M' -o "$work/time" "$build/ledgerix-cli" print --source "$work/source" \
  --printer FilePDF --sheets all >"$work/out.txt" 2>"$work/err.txt" || {
  echo "print failed:"; head -5 "$work/err.txt" "$work/out.txt"; exit 1; }
read -r wall rss <"$work/time"
# The batch does not wait for the printer; the queue's own finish is timed on.
start=$(date +%s.%N)
jobs=$(grep -c . "$d/log/page_log" 2>/dev/null || true)
for _ in $(seq 1200); do
  [ -z "$(lpstat -o FilePDF 2>/dev/null)" ] && break
  sleep 0.1
done
drained=$(echo "$(date +%s.%N) - $start" | bc)
completed=$(lpstat -W completed -o FilePDF | wc -l)
echo "workbooks: $n ($(basename "$example"), every visible sheet)"
echo "batch wall time: ${wall} s; peak memory: $((rss / 1024)) MB"
echo "queue drained ${drained} s after the batch; jobs completed: $completed (page_log lines at batch end: $jobs)"
