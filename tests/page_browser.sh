#!/usr/bin/env bash
# The --html page in a real browser (Debian's chromium, headless, its
# network logged): it loads with no request leaving the file, its
# screenshot is not blank and has ink where the page puts its plots, its
# range table's cells are the JSON's values, and a hostile name stays text.
# The screenshots stay in $PAGE_ARTEFACTS (default: the build's folder of
# test artefacts), never in the repository.
# Usage: page_browser.sh MEMSET-REPORT ARTEFACTS-DIR
. "$(dirname "$0")/lib.sh"
report=$1
artefacts=${PAGE_ARTEFACTS:-$2}
chromium=$(command -v chromium || command -v chromium-browser || true)
py=/usr/bin/python3
if [ -z "$chromium" ] || ! "$py" -c 'import PIL' 2>/dev/null; then
  echo "chromium or python3-pil missing (tests/setup.sh installs them)"
  [ -n "${MEMSET_STRICT_TESTS:-}" ] && exit 1
  exit 77
fi
mkdir -p "$artefacts"

# A campaign folder of two variants with a record, and a hostile name: a
# result file whose path is markup.
mkdir -p "$tmp/camp/default" "$tmp/camp/sse2" "$tmp/<script>alert(1)<"
for r in 1 2 3 4 5 6 7 8; do
  FAKE_SCALE=1 fake_values >"$tmp/camp/default/run-00$r.txt"
  FAKE_SCALE=1.3 fake_values >"$tmp/camp/sse2/run-00$r.txt"
done
printf 'date: 2026-12-10T00:00:00Z\nhost: test\nvariant: default\nvariant: sse2\nvariant_env: sse2 GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2\n' >"$tmp/camp/context.txt"
for r in 1 2 3 4 5 6 7 8; do echo "order: $r default sse2" >>"$tmp/camp/context.txt"; done
FAKE_SCALE=1.1 fake_values >"$tmp/<script>alert(1)</script>.txt"
expect 0 "the page" -- "$report" summary --html "$tmp/page.html" "$tmp/camp" \
  "$tmp/<script>alert(1)</script>.txt"
expect 0 "its JSON" -- "$report" summary --json --tsc-mhz 2000 "$tmp/camp" "$tmp/<script>alert(1)</script>.txt"
cp "$tmp/out" "$tmp/page.json"

browse() { # ARGS...: chromium headless, nothing of its own fetched
  timeout 60 "$chromium" --headless=new --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --disable-default-apps --disable-extensions --user-data-dir="$tmp/profile" "$@" 2>>"$tmp/chromium.log"
}
# Loads with no request leaving the file: the network log has no request
# the page started (the browser's own, "not an origin", aside). A control
# page that fetches an image shows that such a request is seen.
requests() { # NETLOG: the URLs the page itself asked for, one a line
  "$py" - "$1" <<'EOF'
import json, sys
text = open(sys.argv[1]).read().strip()
try:
    log = json.loads(text)
except ValueError:  # a log cut off as the browser ended: close its events
    log = json.loads(text.rstrip(',') + ']}')
start = log['constants']['logEventTypes']['URL_REQUEST_START_JOB']
for e in log.get('events', []):
    p = e.get('params', {})
    url = p.get('url', '')
    if e.get('type') == start and url and p.get('initiator') != 'not an origin' \
            and not url.startswith(('file:', 'data:')):
        print(url)
EOF
}
echo '<html><body><img src="http://127.0.0.1:9/probe.png">a control</body></html>' >"$tmp/control.html"
browse --log-net-log="$tmp/control.json" --dump-dom "file://$tmp/control.html" >/dev/null
requests "$tmp/control.json" | grep -q 127.0.0.1:9/probe.png || fail "the control page's request was not seen"
browse --log-net-log="$tmp/net.json" --dump-dom "file://$tmp/page.html" >"$tmp/dom.html" ||
  fail "chromium could not load the page: $(tail -3 "$tmp/chromium.log")"
[ -s "$tmp/dom.html" ] || fail "chromium read no page"
[ -z "$(requests "$tmp/net.json")" ] || fail "the page made requests: $(requests "$tmp/net.json" | head -3)"
# The range table's cells, as the browser read them, are the JSON's values;
# the hostile name is text, and no script element exists.
"$py" - "$tmp/dom.html" "$tmp/page.json" <<'EOF' || fail "the page's table and the JSON differ"
import json, sys
from html.parser import HTMLParser

class Rows(HTMLParser):
    def __init__(self):
        super().__init__()
        self.tables, self.scripts, self.text = [], 0, []
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == 'script':
            self.scripts += 1
        if tag == 'table' and 'ranges' in a.get('class', ''):
            self.tables.append([])
        if tag == 'tr' and 'data-from' in a and self.tables:
            self.tables[-1].append({'from': int(a['data-from']), 'to': int(a['data-to']),
                                    'verdict': a['class'].split()[0]})
        if tag == 'td' and self.tables and self.tables[-1]:
            row = self.tables[-1][-1]
            if 'data-value' in a:
                row['ratio'] = float(a['data-value'])
            if 'data-low' in a:
                row['low'], row['high'] = float(a['data-low']), float(a['data-high'])
    def handle_data(self, d):
        self.text.append(d)

p = Rows()
p.feed(open(sys.argv[1]).read())
want = json.load(open(sys.argv[2]))['memset_report_comparisons']
assert p.scripts == 0, 'a script element'
assert '<script>alert(1)</script>' in ''.join(p.text), 'the hostile name is not shown as text'
assert len(p.tables) == len(want), (len(p.tables), len(want))
for table, comparison in zip(p.tables, want):
    ranges = comparison['ranges']
    assert len(table) == len(ranges), (len(table), len(ranges))
    for row, j in zip(table, ranges):
        for key in ('from', 'to', 'verdict'):
            assert row[key] == j[key], (key, row, j)
        for key in ('ratio', 'low', 'high'):
            if j.get(key) is not None:
                assert row.get(key) == j[key], (key, row, j)
            else:
                assert key not in row, (key, row, j)
EOF
# The screenshot is not blank, and each plot's place has ink: the places
# are read in a copy of the page with a script of the test's own (the
# page's policy allows none), the picture is of the page itself.
sed 's|<meta http-equiv="Content-Security-Policy"[^>]*>||; s|</body>|<script>for (const f of document.querySelectorAll("figure.chart")) { const r = f.querySelector("svg").getBoundingClientRect(); f.setAttribute("data-box", [r.left, r.top + scrollY, r.width, r.height].map(Math.round).join(",")); }</script></body>|' \
  "$tmp/page.html" >"$tmp/measured.html"
browse --window-size=1100,1400 --dump-dom "file://$tmp/measured.html" >"$tmp/boxes.html"
height=$(grep -o 'data-box="[0-9,]*"' "$tmp/boxes.html" | tr -d 'a-z="-' | awk -F, '$2 + $4 > h { h = $2 + $4 } END { print h + 200 }')
browse --window-size=1100,"${height:-4000}" --hide-scrollbars --screenshot="$artefacts/page.png" "file://$tmp/page.html" >/dev/null
[ -s "$artefacts/page.png" ] || fail "no screenshot"
grep -o 'id="[a-z0-9-]*" data-box="[0-9,]*"' "$tmp/boxes.html" >"$tmp/boxes.txt" || fail "no plots placed"
"$py" - "$artefacts/page.png" "$tmp/boxes.txt" <<'EOF' || fail "the screenshot: see $artefacts/page.png"
import re, sys
from PIL import Image
img = Image.open(sys.argv[1]).convert('L')
w, h = img.size
def ink(box):
    part = img.crop(box)
    px = part.getdata()
    return sum(1 for v in px if v < 200) / max(1, len(px))
assert ink((0, 0, w, h)) > 0.01, 'the page is blank'
boxes = [tuple(map(int, m.group(2).split(','))) + (m.group(1),)
         for m in re.finditer(r'id="([a-z0-9-]+)" data-box="([0-9,]+)"', open(sys.argv[2]).read())]
assert len(boxes) >= 3, boxes
for x, y, bw, bh, name in boxes:
    assert y + bh <= h, (name, 'below the picture')
    share = ink((x, y, x + bw, y + bh))
    assert share > 0.02, (name, share)
print(len(boxes), 'plots with ink')
EOF
# Printed, its pages are A4 (595 by 842 points), as its print style asks.
browse --no-pdf-header-footer --print-to-pdf="$artefacts/page.pdf" "file://$tmp/page.html" >/dev/null
boxes=$(grep -a -o '/MediaBox \[[^]]*\]' "$artefacts/page.pdf" 2>/dev/null)
[ -n "$boxes" ] || fail "no printed pages"
echo "$boxes" | awk '{ w = $4; h = $5 + 0; if (w < 594 || w > 596 || h < 841 || h > 843) bad++ } END { exit bad > 0 }' ||
  fail "printed pages are not A4: $(echo "$boxes" | sort -u)"

# An existing page is not replaced without --force; a CSV page is refused.
expect 1 "an existing page" -- "$report" summary --html "$tmp/page.html" "$tmp/camp"
expect 0 "--force" -- "$report" summary --html "$tmp/page.html" --force "$tmp/camp"
expect 2 "--html with --csv" -- "$report" summary --csv --html "$tmp/other.html" "$tmp/camp"
[ ! -e "$tmp/other.html" ] || fail "a refused page was written"
expect 6 "a page in no folder" -- "$report" summary --html "$tmp/none/page.html" "$tmp/camp"
[ ! -s "$tmp/out" ] || fail "the text was written before the page was refused"
finish
