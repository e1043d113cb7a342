"""Writes the sample workbooks and prints them to PDF with LibreOffice
headless: each must convert, with the header on every page, the page
numbers of the footer and the manual page breaks deciding the page count.
Skips (77) when LibreOffice is not installed."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

soffice = shutil.which("soffice") or shutil.which("libreoffice")
if not soffice:
    print("LibreOffice is not installed; skipping")
    sys.exit(77)

writer = sys.argv[1]
folder = tempfile.mkdtemp(prefix="xls-print-")
subprocess.run([writer, folder], check=True)
profile = "file://" + os.path.join(folder, "profile")
failures = []
for devices, pages in ((6, 2), (32, 4)):
    name = "sample %d" % devices
    subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless", "--norestore",
                    "--convert-to", "pdf", "--outdir", folder, os.path.join(folder, name + ".xls")],
                   check=True, timeout=180, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    pdf = os.path.join(folder, name + ".pdf")
    if not os.path.exists(pdf):
        failures.append("%s: no PDF" % name)
        continue
    if shutil.which("pdftotext"):
        text = subprocess.run(["pdftotext", "-layout", pdf, "-"], check=True,
                              capture_output=True, text=True).stdout
        found = len(re.findall(r"Page \d+ of \d+", text))
        if found != pages or "Page %d of %d" % (pages, pages) not in text:
            failures.append("%s: %d pages with a footer, expected %d" % (name, found, pages))
        if text.count("Fieldbus Segment Diagnostic Report") != pages:
            failures.append("%s: header missing on some page" % name)
        for expected in ("Tank farm Segment Report", "Data collected by", "Report approved by",
                         name + ".xls"):
            if expected not in text:
                failures.append("%s: %r not printed" % (name, expected))
        if "KSX-4 Assistant Version" in text:
            failures.append("%s: the hidden row was printed" % name)
if failures:
    print("\n".join(failures) + "\nthe files stay in " + folder)
    sys.exit(1)
shutil.rmtree(folder, ignore_errors=True)
