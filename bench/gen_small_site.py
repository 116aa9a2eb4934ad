#!/usr/bin/env python3
"""Writes a site of many small pages, for timing crawls of small items.

    bench/gen_small_site.py FOLDER COUNT

Writes FOLDER/index.html and COUNT - 1 further pages (~1 KB each) spread over
subfolders d000, d001, ... of at most 1,000 pages each, a shared style.css and
three small images (two GIFs and a PNG). Page i links to its children
5i+1 .. 5i+5 (a 5-ary tree, so every page is reachable from index.html within
about log5(COUNT) levels), to its parent, to the next page and to the start
page, and shows one of the images. Output is deterministic: the same
arguments always give the same files. 100,000 pages take a few seconds.
"""

import os
import struct
import sys
import zlib

PER_FOLDER = 1000
FAN_OUT = 5

# 1x1 transparent GIF and a 2x2 red/blue GIF (both hand-built, fixed bytes).
GIF_1 = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!"
         b"\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00"
         b"\x00\x02\x02D\x01\x00;")
GIF_2 = (b"GIF89a\x02\x00\x02\x00\x80\x00\x00\xff\x00\x00\x00\x00\xff,"
         b"\x00\x00\x00\x00\x02\x00\x02\x00\x00\x02\x03\x84\x1d\x05\x00;")

STYLE = """body { font-family: sans-serif; margin: 2em; color: #222; }
nav a { margin-right: 0.5em; }
img { width: 16px; height: 16px; }
p { line-height: 1.4; }
"""

FILLER = ("Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do "
          "eiusmod tempor incididunt ut labore et dolore magna aliqua. Ut enim "
          "ad minim veniam, quis nostrud exercitation ullamco laboris nisi ut "
          "aliquip ex ea commodo consequat.")


def png_bytes(width, height):
    """A small RGB PNG with a fixed gradient."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    rows = b"".join(
        b"\x00" + b"".join(bytes(((x * 16) & 255, (y * 16) & 255, 128)) for x in range(width))
        for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def page_path(i):
    """Path of page i relative to the site root."""
    if i == 0:
        return "index.html"
    return "d%03d/p%06d.html" % ((i - 1) // PER_FOLDER, i)


def href(src, dst):
    """Relative link from page src to page dst."""
    target = page_path(dst)
    if src == 0:
        return target
    return "../" + target


def root_prefix(i):
    return "" if i == 0 else "../"


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: gen_small_site.py FOLDER COUNT")
    folder = sys.argv[1]
    count = int(sys.argv[2])
    if count < 1:
        sys.exit("COUNT must be at least 1")
    os.makedirs(folder, exist_ok=True)
    for d in range((count - 1 + PER_FOLDER - 1) // PER_FOLDER):
        os.makedirs(os.path.join(folder, "d%03d" % d), exist_ok=True)

    images = ["img/dot.gif", "img/check.gif", "img/grad.png"]
    os.makedirs(os.path.join(folder, "img"), exist_ok=True)
    for name, data in zip(images, (GIF_1, GIF_2, png_bytes(8, 8))):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
    with open(os.path.join(folder, "style.css"), "w") as out:
        out.write(STYLE)

    for i in range(count):
        up = root_prefix(i)
        links = []
        for c in range(FAN_OUT * i + 1, FAN_OUT * i + FAN_OUT + 1):
            if c < count:
                links.append('<a href="%s">Page %d</a>' % (href(i, c), c))
        if i > 0:
            links.append('<a href="%s">Up</a>' % href(i, (i - 1) // FAN_OUT))
            links.append('<a href="%sindex.html">Home</a>' % up)
        if i + 1 < count:
            links.append('<a href="%s">Next</a>' % href(i, i + 1))
        text = (
            "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
            "<title>Page %d</title>\n"
            "<meta name=\"description\" content=\"A small generated page for timing the crawl of many small items.\">\n"
            "<link rel=\"stylesheet\" href=\"%sstyle.css\">\n</head><body>\n"
            "<h1>Page %d</h1>\n<img src=\"%s%s\" alt=\"\">\n"
            "<nav>%s</nav>\n<p>%s</p>\n<p>%s</p>\n"
            "<footer>Page %d of %d of a generated site for timing crawls.</footer>\n</body></html>\n"
            % (i, up, i, up, images[i % 3], " ".join(links), FILLER, FILLER[: 150 + i % 80], i, count))
        with open(os.path.join(folder, page_path(i)), "w") as out:
            out.write(text)


if __name__ == "__main__":
    main()
