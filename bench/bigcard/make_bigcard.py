#!/usr/bin/env python3
"""Makes the big-card benchmark's card: COUNT one-minute recordings (default
20000, a 512 GB card's worth) in FOLDERS folders (default 200), named and
dated minute after minute from 2024-03-01 08:00 local time, so they spread
over about two weeks of calendar days. Headers only, media payloads sparse
(the header writers of bench/scan/make_card.py).

  make_bigcard.py DIR [COUNT] [FOLDERS]
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scan"))
import make_card  # noqa: E402


def main():
    if len(sys.argv) < 2:
        sys.stderr.write(__doc__)
        sys.exit(2)
    card = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    folders = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    per_folder = (count + folders - 1) // folders
    start = time.mktime((2024, 3, 1, 8, 0, 0, 0, 0, -1))
    media = 1 << 20
    for i in range(count):
        folder = os.path.join(card, "DCIM", "%03dMEDIA" % (i // per_folder))
        if i % per_folder == 0:
            os.makedirs(folder, exist_ok=True)
        when = start + 60 * i
        t = time.localtime(when)
        name = "FILE%02d%02d%02d-%02d%02d%02dF" % (t.tm_year % 100, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec)
        path = os.path.join(folder, name + (".AVI" if i % 10 == 9 else ".MP4"))
        if i % 10 == 9:
            make_card.write_avi(path, media)
        else:
            make_card.write_mp4(path, media)
        os.utime(path, (when, when))


if __name__ == "__main__":
    main()
