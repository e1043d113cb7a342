"""Writes the sample reports and reads them back with xlrd, an independent
reader: texts, bold rows, red and yellow fills, borders, column widths, the
hidden version row, page breaks, the print area and the page setup.

usage: check_report_xls.py SAMPLE_WRITER FOLDER
"""
import struct
import subprocess
import sys
import unittest
from pathlib import Path

import xlrd
from xlrd import compdoc

WRITER, FOLDER = sys.argv[1], Path(sys.argv[2])
RED, YELLOW = 10, 13  # spreadsheet colour indexes 3 and 6 in the file's palette
THIN = 1

LAYOUTS = {
    "Fieldbus sample.xls": dict(
        title="&18&UFieldbus Segment Diagnostic Report",
        headings=[6, 28, 53], summary=60, blocks=[(7, 25), (29, 52), (54, 57)],
        breaks=[53], collected=66, approved=70, version=71,
        red=["D7", "D15", "D45", "D52"], yellow=["D23", "D41"],
        texts={"A1": "North field Segment Report", "A7": "Voltage",
               "A20": "Shield Short", "B52": "250+", "A53": "Device Measurements",
               "D60": "Measurement Summary: 4 Measurements are BAD and 2 WARNINGS",
               "A71": "KSX-4 Assistant Version"}),
    "Profibus PA sample.xls": dict(
        title="&18&UProfibus PA Segment Diagnostic Report",
        headings=[4, 20, 50], summary=100, blocks=[(5, 17), (21, 49), (51, 97)],
        breaks=[50, 101], collected=106, approved=110, version=111,
        red=["D5", "D11", "D40", "D49"], yellow=["D16", "D35"],
        texts={"A1": "North field Segment Report", "A5": "Voltage",
               "A24": "Master or Slave", "B24": "Master", "A50": "Device Measurements",
               "D100": "Measurement Summary: 4 Measurements are BAD and 2 WARNINGS",
               "A111": "KSX-4 Assistant Version"}),
}


def cell_index(address):
    column = ord(address[0]) - ord("A")
    return int(address[1:]) - 1, column


def sheet_records(path):
    """(type, data) of every record of the worksheet substream."""
    stream = compdoc.CompDoc(path.read_bytes(), logfile=open("/dev/null", "w")).get_named_stream(
        "Workbook")
    records, pos, bofs = [], 0, 0
    while pos + 4 <= len(stream):
        kind, length = struct.unpack_from("<HH", stream, pos)
        data = stream[pos + 4:pos + 4 + length]
        pos += 4 + length
        if kind == 0x0809:
            bofs += 1
        if bofs == 2:
            records.append((kind, data))
    return records


def unicode_string(data):
    count, flags = struct.unpack_from("<HB", data, 0)
    if flags & 1:
        return data[3:3 + 2 * count].decode("utf-16-le")
    return data[3:3 + count].decode("latin-1")


class SampleReports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        subprocess.run([WRITER, str(FOLDER)], check=True)

    def open(self, name):
        book = xlrd.open_workbook(str(FOLDER / name), formatting_info=True)
        self.assertEqual(book.nsheets, 1)
        return book, book.sheet_by_index(0)

    def xf(self, book, sheet, address):
        return book.xf_list[sheet.cell_xf_index(*cell_index(address))]

    def test_cells_and_formats(self):
        for name, want in LAYOUTS.items():
            with self.subTest(name):
                book, sheet = self.open(name)
                for address, text in want["texts"].items():
                    self.assertEqual(sheet.cell_value(*cell_index(address)), text, address)
                self.assertIn(sheet.cell_value(*cell_index("B" + str(want["blocks"][0][0]))),
                              ("9.0V", "9,0V"))
                for row in [1] + want["headings"] + [want["summary"]]:
                    self.assertEqual(book.font_list[self.xf(book, sheet, "B%d" % row).font_index]
                                     .bold, 1, row)
                self.assertEqual(book.font_list[self.xf(book, sheet, "A7").font_index].bold, 0)
                fills = {}
                for row in range(sheet.nrows):
                    for column in range(4):
                        xf = book.xf_list[sheet.cell_xf_index(row, column)]
                        if xf.background.fill_pattern == 1:
                            fills["ABCD"[column] + str(row + 1)] = xf.background.pattern_colour_index
                self.assertEqual(fills, {**{a: RED for a in want["red"]},
                                         **{a: YELLOW for a in want["yellow"]}})
                self.assertEqual(book.colour_map[RED][:3], (255, 0, 0))
                self.assertEqual(book.colour_map[YELLOW][:3], (255, 255, 0))
                for first, last in want["blocks"]:
                    top_left = self.xf(book, sheet, "A%d" % first).border
                    bottom_right = self.xf(book, sheet, "D%d" % last).border
                    self.assertEqual((top_left.left_line_style, top_left.top_line_style),
                                     (THIN, THIN), first)
                    self.assertEqual((bottom_right.right_line_style,
                                      bottom_right.bottom_line_style), (THIN, THIN), last)
                outside = self.xf(book, sheet, "A%d" % want["collected"]).border
                self.assertEqual(outside.left_line_style, 0)
                self.assertEqual(self.xf(book, sheet, "B9").format_key,
                                 self.xf(book, sheet, "C9").format_key)
                self.assertEqual(book.format_map[self.xf(book, sheet, "B9").format_key].format_str,
                                 "@")
                self.assertEqual(sheet.cell_value(*cell_index("D%d" % want["collected"])),
                                 "Data collected by " + "_" * 47)
                self.assertEqual(sheet.cell_value(*cell_index("D%d" % want["approved"])),
                                 "Report approved by " + "_" * 47)

    def test_columns_rows_breaks_and_print_area(self):
        for name, want in LAYOUTS.items():
            with self.subTest(name):
                book, sheet = self.open(name)
                for column, width in enumerate([45.33, 28.11, 22.56, 9.22]):
                    self.assertAlmostEqual(sheet.colinfo_map[column].width / 256, width, delta=1)
                hidden = [r for r, info in sheet.rowinfo_map.items() if info.hidden]
                self.assertEqual(hidden, [want["version"] - 1])
                self.assertEqual([b[0] for b in sheet.horizontal_page_breaks],
                                 [row - 1 for row in want["breaks"]])
                areas = [n for n in book.name_obj_list if n.name == "Print_Area"]
                self.assertEqual(len(areas), 1)
                _, first_row, end_row, first_col, end_col = areas[0].area2d()
                self.assertEqual((first_row, end_row, first_col, end_col),
                                 (0, want["approved"], 0, 4))

    def test_page_setup(self):
        for name, want in LAYOUTS.items():
            with self.subTest(name):
                records = dict(sheet_records(FOLDER / name))
                self.assertEqual(unicode_string(records[0x0014]), "&C" + want["title"])
                footer = unicode_string(records[0x0015])
                for part in ("&LNorth field", "&CPage &P of &N", "&R\n&F"):
                    self.assertIn(part, footer)
                for margin in (0x26, 0x27, 0x28, 0x29):
                    self.assertAlmostEqual(struct.unpack("<d", records[margin])[0], 0.75)
                paper, scale, _, _, _, options = struct.unpack_from("<6H", records[0x00A1])
                header_margin, footer_margin = struct.unpack_from("<dd", records[0x00A1], 16)
                self.assertEqual((paper, scale), (1, 82))
                self.assertEqual(options & 0x1F, 0x02)  # down then over, portrait, colour, no draft
                self.assertAlmostEqual(header_margin, 0.26)
                self.assertAlmostEqual(footer_margin, 0.26)
                self.assertEqual(records[0x002B], b"\x00\x00")  # no gridlines printed
                self.assertEqual(records[0x002A], b"\x00\x00")  # no headings printed


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
