"""Compares the PDF beside each workbook in a folder (NAME.pdf beside
NAME.xls) with LibreOffice's printing of that workbook: the same number of
pages, the same page size, every text of the printed cells (read from the
workbook by python3-xlrd) on the same page in the same order, the page
footer on every page, and every font embedded. Without LibreOffice only
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
