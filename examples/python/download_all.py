#!/usr/bin/env python3
"""Downloads every network terminal of a list and prints their records as CSV.

    download_all.py [--data DIR] IP... | @FILE

Each terminal's files (pclog.dat, pclog.txt, downbak) go to DIR/IP; a
terminal that fails is reported on stderr and the others still run (exit
status 1). @FILE names a file with one IP address a line ('#' comments).
"""

import argparse
import csv
import sys
from pathlib import Path

from w_pclog import NetworkTerminal, WPclogError


def addresses(items):
    for item in items:
        if item.startswith("@"):
            for line in Path(item[1:]).read_text().splitlines():
                line = line.split("#", 1)[0].strip()
                if line:
                    yield line
        else:
            yield item


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--data", default=".", help="folder for one sub-folder per terminal")
    ap.add_argument("terminals", nargs="+", help="IP addresses, or @FILE")
    args = ap.parse_args(argv)

    out = csv.writer(sys.stdout, lineterminator="\n")
    out.writerow(["terminal", "person", "date", "time", "tag"])
    failed = 0
    for ip in addresses(args.terminals):
        folder = Path(args.data) / ip
        folder.mkdir(parents=True, exist_ok=True)
        try:
            records = NetworkTerminal(ip, data_dir=folder).download()
        except WPclogError as e:
            print(f"{ip}: {e}", file=sys.stderr)
            failed += 1
            continue
        for r in records:
            out.writerow([ip, r.person, f"{r.year:04d}-{r.month:02d}-{r.day:02d}",
                          f"{r.hour:02d}:{r.minute:02d}", r.tag])
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
