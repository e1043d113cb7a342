"""Writes the sample reports and prints them to PDF with LibreOffice
headless; exits 77 (skipped) when LibreOffice is not installed.

usage: print_report_pdf.py SAMPLE_WRITER FOLDER
"""
import shutil
import subprocess
import sys
from pathlib import Path

writer, folder = sys.argv[1], Path(sys.argv[2])
office = shutil.which("soffice") or shutil.which("libreoffice")
if office is None:
    print("LibreOffice is not installed: skipped")
    sys.exit(77)

subprocess.run([writer, str(folder)], check=True)
for name in ("Fieldbus sample", "Profibus PA sample"):
    pdf = folder / (name + ".pdf")
    pdf.unlink(missing_ok=True)
    subprocess.run([office, "--headless", "-env:UserInstallation=file://%s" % (folder / "profile"),
                    "--convert-to", "pdf", "--outdir", str(folder), str(folder / (name + ".xls"))],
                   check=True, timeout=180)
    if not pdf.is_file() or pdf.stat().st_size < 1000:
        sys.exit("no PDF for %s" % name)
    if shutil.which("pdftotext"):
        text = subprocess.run(["pdftotext", str(pdf), "-"], check=True, capture_output=True,
                              text=True).stdout
        for expected in ("Segment Diagnostic Report", "Page 1 of", "Measurement Summary",
                         "Report approved by"):
            if expected not in text:
                sys.exit("%s.pdf lacks %r" % (name, expected))
    print(pdf)
