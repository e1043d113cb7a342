"""Compares the PDF beside each workbook in a folder (NAME.pdf beside
NAME.xls) with LibreOffice's printing of that workbook: the same number of
pages, the same page size, every text of the printed cells (read from the
workbook by python3-xlrd) on the same page in the same order, the page
footer on every page, and every font embedded. Where the page numbers
agree, page 1 is also measured against LibreOffice's, in points: the
header's and footers' font sizes and widths, the title's underline, the
table's grid lines, how far each text of the first column stands from its
cell's left and top edges. Without LibreOffice only
our PDFs are checked (every text in order, footers, fonts), then the test
exits 77 (skipped); it exits 77 at once without poppler-utils or xlrd.

usage: compare_with_libreoffice.py FOLDER [COMMAND...]
COMMAND, when given, runs first with FOLDER appended (it writes the pairs).
"""
import re
import shutil
import subprocess
import sys
from pathlib import Path

try:
    import xlrd
except ImportError:
    print("python3-xlrd is not installed: skipped")
    sys.exit(77)

office = shutil.which("soffice") or shutil.which("libreoffice")
if shutil.which("pdftotext") is None:
    print("poppler-utils is not installed: skipped")
    sys.exit(77)

folder = Path(sys.argv[1]).resolve()
if len(sys.argv) > 2:
    subprocess.run(sys.argv[2:] + [str(folder)], check=True)
workbooks = sorted(folder.glob("*.xls"))
if not workbooks:
    sys.exit("no workbooks in %s" % folder)

reference = folder / "libreoffice"
shutil.rmtree(reference, ignore_errors=True)
if office:
    subprocess.run([office, "--headless", "-env:UserInstallation=file://%s" % (folder / "profile"),
                    "--convert-to", "pdf", "--outdir", str(reference)] + [str(w) for w in workbooks],
                   check=True, timeout=600, stdout=subprocess.DEVNULL)


def info(pdf):
    out = subprocess.run(["pdfinfo", str(pdf)], check=True, capture_output=True, text=True).stdout
    pages = int(re.search(r"^Pages:\s+(\d+)", out, re.M).group(1))
    size = re.search(r"^Page size:\s+([\d.]+) x ([\d.]+) pts", out, re.M)
    return pages, (round(float(size.group(1))), round(float(size.group(2))))


def page_texts(pdf, pages):
    texts = []
    for page in range(1, pages + 1):
        out = subprocess.run(["pdftotext", "-layout", "-f", str(page), "-l", str(page), str(pdf),
                              "-"], check=True, capture_output=True, text=True).stdout
        texts.append(" ".join(out.split()))
    return texts


def printed_cells(workbook):
    """Texts of the print area's visible cells, row by row, left to right."""
    book = xlrd.open_workbook(str(workbook), formatting_info=True)
    sheet = book.sheet_by_index(0)
    area = book.name_and_scope_map.get(("print_area", 0))
    rows, columns = (range(sheet.nrows), range(sheet.ncols))
    if area is not None:
        _, first_row, end_row, first_column, end_column = area.area2d()
        rows, columns = range(first_row, end_row), range(first_column, end_column)
    cells, hidden = [], []
    for r in range(sheet.nrows):
        info = sheet.rowinfo_map.get(r)
        for c in columns:
            text = " ".join(str(sheet.cell_value(r, c)).split()) if c < sheet.ncols else ""
            if not text:
                continue
            if r in rows and not (info and info.hidden):
                cells.append(text)
            elif info and info.hidden:
                hidden.append(text)
    return cells, hidden


def place(cells, pages):
    """The page each text is found on, reading forward from the last one."""
    placed, page, at = [], 0, 0
    for text in cells:
        while page < len(pages):
            found = pages[page].find(text, at)
            if found >= 0:
                at = found + len(text)
                break
            page, at = page + 1, 0
        placed.append(page + 1 if page < len(pages) else None)
    return placed


def words(pdf, page):
    """(text, xMin, yMin, xMax, yMax) of every word, in points from the top left."""
    out = subprocess.run(["pdftotext", "-bbox", "-f", str(page), "-l", str(page), str(pdf), "-"],
                         check=True, capture_output=True, text=True).stdout
    found = re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">'
                       r'([^<]*)</word>', out)
    return [(w[4], float(w[0]), float(w[1]), float(w[2]), float(w[3])) for w in found]


def font_extent(pdf):
    """The ascent and descent (per unit of size) poppler gives a word's box:
    the font descriptor's, or 0.95 and -0.35 where it says 0."""
    data = Path(pdf).read_bytes()
    ascent = [abs(float(a)) / 1000 for a in re.findall(rb"/Ascent\s*(-?[\d.]+)", data)]
    descent = [-abs(float(d)) / 1000 for d in re.findall(rb"/Descent\s*(-?[\d.]+)", data)]
    return (next((a for a in ascent if a), 0.95), next((d for d in descent if d), -0.35))


def size_and_baseline(word, extent):
    size = (word[4] - word[2]) / (extent[0] - extent[1])
    return size, word[2] + extent[0] * size


DPI = 720


def dark(pdf, x0, y0, x1, y1):
    """Which pixel rows and columns of a part of page 1 are black throughout
    (a red or yellow fill is not)."""
    scale = DPI / 72
    out = subprocess.run(["pdftoppm", "-gray", "-r", str(DPI), "-f", "1", "-l", "1",
                          "-x", str(round(x0 * scale)), "-y", str(round(y0 * scale)),
                          "-W", str(max(1, round((x1 - x0) * scale))),
                          "-H", str(max(1, round((y1 - y0) * scale))), str(pdf)],
                         check=True, capture_output=True).stdout
    header = out.split(b"\n", 3)
    width, height = map(int, header[1].split())
    pixels = header[3]
    rows = [max(pixels[r * width:(r + 1) * width]) < 40 for r in range(height)]
    columns = [max(pixels[c::width][:height]) < 40 for c in range(width)]
    return rows, columns


def runs(flags, origin):
    """(centre, thickness) of each run of dark pixels, in points."""
    found, start = [], None
    for i, flag in enumerate(flags + [False]):
        if flag and start is None:
            start = i
        elif not flag and start is not None:
            found.append((origin + (start + i) / 2 * 72 / DPI, (i - start) * 72 / DPI))
            start = None
    return found


def measure(pdf):
    """Page 1's geometry: what LibreOffice's printing is held to."""
    page, extent = words(pdf, 1), font_extent(pdf)
    m = {}
    sized = [(size_and_baseline(w, extent), w) for w in page]
    title_size = max(size for (size, _), _ in sized)
    title = [w for (size, _), w in sized if size > title_size - 0.5]
    m["title size"] = title_size
    m["title width"] = title[-1][3] - title[0][1]
    baseline = size_and_baseline(title[0], extent)[1]
    middle = (title[0][1] + title[-1][3]) / 2
    underline = runs(dark(pdf, middle - 1, baseline, middle + 1, baseline + 4)[0], baseline)
    m["title underline"] = underline[0][1] if underline else 0
    at = next(i for i, w in enumerate(page) if w[0] == "Page" and i + 3 < len(page))
    footer = page[at:at + 4]
    m["footer size"] = size_and_baseline(footer[0], extent)[0]
    m["footer width"] = footer[-1][3] - footer[0][1]
    name = next(w for w in page if w[0].endswith(".xls"))
    m["file name's right edge"] = name[3]
    # The first column's texts, below the title and above the footers.
    body = [w for w in page if w[2] > title[0][4] and w[4] < footer[0][2]]
    left = min(w[1] for w in body)
    m["first column's text left edge"] = left
    lines = [y for y, _ in runs(dark(pdf, left - 1.2, 0, left - 0.6, 792)[0], 0)]
    # A text's cell top is the grid line above its capitals.
    offsets = []
    for w in (w for w in body if w[1] < left + 0.5):
        size, base = size_and_baseline(w, extent)
        above = [y for y in lines if y < base - size / 2]
        if above and base - above[-1] < 25:
            offsets.append(base - above[-1])
            if "grid lines across" not in m:
                columns = runs(dark(pdf, 0, above[-1] + 0.6, 612, above[-1] + 1.4)[1], 0)
                m["grid lines across"] = [x for x, _ in columns]
    m["first column's baselines below their cells' tops"] = offsets
    return m


# Today's offsets from LibreOffice's pages are a few hundredths of a point;
# a rounded font size, a cell padding or a column width rule of its own
# would show as tenths or more.
TOLERANCES = {"title size": 0.1, "title width": 0.6, "title underline": 0.15,
              "footer size": 0.1, "footer width": 0.3, "file name's right edge": 0.3,
              "first column's text left edge": 0.15,
              "first column's baselines below their cells' tops": 0.3, "grid lines across": 0.3}


def compare_geometry(name, ours, theirs):
    problems, offsets = [], []
    for key, tolerance in TOLERANCES.items():
        mine, reference = ours.get(key), theirs.get(key)
        if isinstance(reference, list):
            if mine is None or len(mine) != len(reference):
                problems.append("%s: %s %s, LibreOffice %s" % (name, key, mine, reference))
                continue
            worst = max(abs(a - b) for a, b in zip(mine, reference))
        elif mine is None or reference is None:
            problems.append("%s: %s not measured (ours %s, LibreOffice %s)"
                            % (name, key, mine, reference))
            continue
        else:
            worst = abs(mine - reference)
        offsets.append("%s %.2f" % (key, worst))
        if worst > tolerance:
            problems.append("%s: %s %s, LibreOffice %s (%.2f pt apart, %.2f allowed)"
                            % (name, key, rounded(mine), rounded(reference), worst, tolerance))
    return problems, offsets


def rounded(value):
    return [round(v, 2) for v in value] if isinstance(value, list) else round(value, 2)


failures = []
for workbook in workbooks:
    ours, theirs = workbook.with_suffix(".pdf"), reference / (workbook.stem + ".pdf")
    name = workbook.stem
    if not ours.is_file():
        failures.append("%s: no PDF beside the workbook" % name)
        continue
    our_pages, our_size = info(ours)
    cells, hidden = printed_cells(workbook)
    our_texts = page_texts(ours, our_pages)
    our_places = place(cells, our_texts)
    if None in our_places:
        failures.append("%s: %r is missing or out of order" % (name, cells[our_places.index(None)]))
    if office:
        their_pages, their_size = info(theirs)
        if (our_pages, our_size) != (their_pages, their_size):
            failures.append("%s: %d pages of %s, LibreOffice %d pages of %s"
                            % (name, our_pages, our_size, their_pages, their_size))
            continue
        their_places = place(cells, page_texts(theirs, their_pages))
        for text, mine, theirs_at in zip(cells, our_places, their_places):
            if mine != theirs_at:
                failures.append("%s: %r on page %s, LibreOffice page %s"
                                % (name, text, mine, theirs_at))
                break
        problems, offsets = compare_geometry(name, measure(ours), measure(theirs))
        failures += problems
        print("%s: largest offsets from LibreOffice's page 1, in points: %s"
              % (name, ", ".join(offsets)))
    for page, text in enumerate(our_texts, 1):
        footer = "Page %d of %d" % (page, our_pages)
        if footer not in text or workbook.name not in text:
            failures.append("%s: page %d lacks %r or the file name" % (name, page, footer))
    for text in hidden:
        if any(text in page for page in our_texts):
            failures.append("%s: the hidden row's %r is printed" % (name, text))
    fonts = subprocess.run(["pdffonts", str(ours)], check=True, capture_output=True,
                           text=True).stdout.splitlines()[2:]
    if not fonts or any(line.split()[-5] != "yes" for line in fonts):
        failures.append("%s: a font is not embedded:\n%s" % (name, "\n".join(fonts)))
    print("%s: %d pages, %d cell texts in place" % (name, our_pages, len(cells)))

if failures:
    sys.exit("\n".join(failures))
if not office:
    print("LibreOffice is not installed: compared with nothing but the workbooks")
    sys.exit(77)
