#!/usr/bin/env bash
# Checks the documentation: every link and picture in README.md and docs/*.md names a
# file that exists (and an #anchor a heading of it), every source path named there in
# backquotes exists, and the manual pages format without a warning.
set -euo pipefail
cd "$(dirname "$0")/.."

python3 - <<'PY'
import glob, os, re, sys

def anchors(path):
    found = set()
    for line in open(path, encoding='utf-8'):
        heading = re.match(r'#+\s+(.*)', line)
        if heading:
            text = re.sub(r'[^\w\- ]', '', heading.group(1).strip().lower())
            found.add(text.replace(' ', '-'))
    return found

rooms = r'platform|tiff|pyramids|filelist|app|batch|qgis|tests|bench|fuzz|scripts|cmake|packaging|docs|\.ci'
bad = links = paths = 0
for page in ['README.md'] + sorted(glob.glob('docs/*.md')):
    text = open(page, encoding='utf-8').read()
    for target in re.findall(r'\]\(([^)\s]+)\)', text) + re.findall(r'src="([^"]+)"', text):
        if re.match(r'[a-z]+://', target):
            continue
        links += 1
        path, _, anchor = target.partition('#')
        full = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(full):
            print(f'{page}: {target}: no such file'); bad += 1
        elif anchor and full.endswith('.md') and anchor not in anchors(full):
            print(f'{page}: {target}: no such heading'); bad += 1
    for named in re.findall(r'`((?:%s)/[^`\s]*)`' % rooms, text):
        paths += 1
        if not glob.glob(named.rstrip('/')):
            print(f'{page}: {named}: no such file'); bad += 1
print(f'check-docs: {links} links, {paths} paths, {bad} wrong')
sys.exit(1 if bad else 0)
PY

for page in docs/man/*.1.in docs/man/ru/*.1.in; do
  warnings=$(groff -k -Tutf8 -man -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || { echo "$warnings"; echo "check-docs: $page: groff warns" >&2; exit 1; }
  lexgrog "$page" >/dev/null || { echo "check-docs: $page: no whatis line" >&2; exit 1; }
done
echo "check-docs: manual pages clean"
