"""Writes the sample workbooks and reads them back with xlrd (formatting
included) and with a plain record walk over xlrd's compound-file reader for
what xlrd does not expose (header, footer, margins, page setup)."""
import atexit
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

try:
    import xlrd
    import xlrd.compdoc
except ImportError:
    print("python3-xlrd is not installed; skipping")
    sys.exit(77)

WRITER = sys.argv.pop(1)
FOLDER = tempfile.mkdtemp(prefix="xls-samples-")
atexit.register(shutil.rmtree, FOLDER, ignore_errors=True)
subprocess.run([WRITER, FOLDER], check=True)

RED, YELLOW = 0x0A, 0x0D  # colour indexes 3 and 6 of the default palette
THIN = 1


def long_text():
    text, i = "", 0
    while len(text) < 9000:
        text += "Ω segment %d; " % i
        i += 1
    return text


def layout(devices):
    last = 5 * devices + 27
    return {"last": last, "breaks": list(range(53, last, 50)),
            "collected": last + 9, "approved": last + 13, "hidden": last + 14}


def workbook_stream(path):
    with open(path, "rb") as f:
        return xlrd.compdoc.CompDoc(f.read()).get_named_stream("Workbook")


def records(path):
    """(type, data) of every record of the Workbook stream, in order."""
    stream = workbook_stream(path)
    at, out = 0, []
    while at + 4 <= len(stream):
        kind, size = struct.unpack_from("<HH", stream, at)
        out.append((kind, stream[at + 4:at + 4 + size]))
        at += 4 + size
        if kind == 0x000A and len([r for r in out if r[0] == 0x000A]) == 2:
            break
    return out


def unicode_string(data):
    count, flags = struct.unpack_from("<HB", data)
    raw = data[3:]
    return raw[:count * 2].decode("utf-16-le") if flags & 1 else raw[:count].decode("latin-1")


class SampleWorkbook(unittest.TestCase):
    def open(self, devices):
        path = os.path.join(FOLDER, "sample %d.xls" % devices)
        return path, xlrd.open_workbook(path, formatting_info=True)

    def xf(self, book, sheet, row, col):
        return book.xf_list[sheet.cell_xf_index(row, col)]

    def test_texts_fonts_fills_and_borders(self):
        for devices in (6, 32):
            with self.subTest(devices=devices):
                _, book = self.open(devices)
                sheet = book.sheet_by_index(0)
                rows = layout(devices)
                self.assertEqual(book.nsheets, 1)
                self.assertEqual(sheet.cell_value(0, 0), "Tank farm Segment Report")
                self.assertEqual([sheet.cell_value(5, c) for c in range(4)],
                                 ["Segment Measurements", "Data", "Acceptable Values", "OK/BAD"])
                self.assertEqual(sheet.cell_value(rows["collected"] - 1, 3),
                                 "Data collected by _______________________________________________")
                self.assertEqual(sheet.cell_value(rows["hidden"] - 1, 1), "2.09")
                self.assertEqual(sheet.cell_value(1, 5), long_text())

                def font(row, col):
                    return book.font_list[self.xf(book, sheet, row, col).font_index]
                for row, col, bold, height in [(0, 0, 1, 240), (5, 3, 1, 240), (6, 0, 0, 240),
                                               (rows["collected"] - 1, 3, 0, 200),
                                               (rows["last"] + 2, 3, 1, 240)]:
                    self.assertEqual((font(row, col).bold, font(row, col).height), (bold, height), (row, col))

                a1 = self.xf(book, sheet, 0, 0)
                self.assertEqual(book.format_map[a1.format_key].format_str, "@")
                self.assertEqual((a1.alignment.hor_align, a1.alignment.vert_align), (1, 0))
                self.assertEqual(self.xf(book, sheet, 6, 3).alignment.hor_align, 3)

                for cell, colour in [((6, 3), RED), ((22, 3), YELLOW)]:
                    background = self.xf(book, sheet, *cell).background
                    self.assertEqual((background.fill_pattern, background.pattern_colour_index), (1, colour))
                self.assertEqual(self.xf(book, sheet, 7, 3).background.fill_pattern, 0)

                for row in list(range(6, 25)) + list(range(28, rows["last"])):
                    if row + 1 in rows["breaks"]:
                        continue  # the heading row between two grids
                    for col in range(4):
                        border = self.xf(book, sheet, row, col).border
                        lines = (border.left_line_style, border.top_line_style,
                                 border.right_line_style, border.bottom_line_style)
                        self.assertEqual(lines, (THIN,) * 4, (row, col))
                        self.assertEqual(border.diag_line_style, 0)
                self.assertEqual(self.xf(book, sheet, 0, 0).border.bottom_line_style, 0)

    def test_rows_columns_breaks_and_print_area(self):
        for devices in (6, 32):
            with self.subTest(devices=devices):
                _, book = self.open(devices)
                sheet = book.sheet_by_index(0)
                rows = layout(devices)
                widths = [sheet.colinfo_map[c].width for c in range(4)]
                self.assertEqual(widths, [11776, 7350, 5924, 2523])
                self.assertTrue(sheet.rowinfo_map[rows["hidden"] - 1].hidden)
                self.assertFalse(sheet.rowinfo_map[rows["approved"] - 1].hidden)
                heading = sheet.rowinfo_map[5]
                self.assertEqual((heading.height, heading.has_default_height), (420, 0))
                self.assertEqual(sheet.horizontal_page_breaks, [(r - 1, 0, 255) for r in rows["breaks"]])
                area = book.name_and_scope_map[("print_area", 0)].area2d()
                self.assertEqual(area[1:], (0, rows["approved"], 0, 4))
                self.assertEqual(sheet.nrows, rows["hidden"])

    def test_several_sheets(self):
        book = xlrd.open_workbook(os.path.join(FOLDER, "three sheets.xls"), formatting_info=True)
        self.assertEqual(book.sheet_names(), ["Sheet1", "Sheet2", "Sheet3"])
        second = book.sheet_by_index(1)
        self.assertEqual(second.cell_value(1, 1), "merged")
        self.assertEqual(second.merged_cells, [(1, 3, 1, 3)])
        self.assertTrue(second.colinfo_map[4].hidden)
        area = book.name_and_scope_map[("print_area", 1)].area2d()
        self.assertEqual((area[0].name,) + area[1:], ("Sheet2", 1, 3, 1, 3))
        self.assertNotIn(("print_area", 0), book.name_and_scope_map)

    def test_page_setup_records(self):
        path, _ = self.open(6)
        sheet = records(path)
        sheet = sheet[[k for k, _ in sheet].index(0x000A) + 1:]  # after the globals' EOF
        found = {kind: data for kind, data in sheet}
        self.assertEqual(unicode_string(found[0x0014]), "&C&18&UFieldbus Segment Diagnostic Report")
        self.assertEqual(unicode_string(found[0x0015]), "&LTank farm&CPage &P of &N&R\n&F")
        margins = [struct.unpack("<d", found[k])[0] for k in (0x26, 0x27, 0x28, 0x29)]
        self.assertEqual(margins, [0.75] * 4)
        paper, scale, _, _, _, flags, _, _, header, footer, _ = struct.unpack("<6H2H2dH", found[0x00A1])
        self.assertEqual((paper, scale, flags & 0x02, flags & 0x04), (1, 82, 0x02, 0))
        self.assertAlmostEqual(header, 0.26)
        self.assertAlmostEqual(footer, 0.26)
        self.assertEqual((found[0x002A], found[0x002B]), (b"\0\0", b"\0\0"))  # no headings, no grid lines


    def test_shared_string_index_points_at_its_strings(self):
        # Excel finds strings through EXTSST; xlrd reads the table without it.
        path = os.path.join(FOLDER, "sample 32.xls")
        book = xlrd.open_workbook(path, formatting_info=True, on_demand=True)  # keeps the table
        stream = workbook_stream(path)
        extsst = next(data for kind, data in records(path) if kind == 0x00FF)
        per_bucket = struct.unpack_from("<H", extsst)[0]
        buckets = [struct.unpack_from("<IH", extsst, 2 + 8 * i) for i in range((len(extsst) - 2) // 8)]
        strings = book._sharedstrings
        self.assertGreater(len(strings), 2 * per_bucket)
        self.assertEqual(len(buckets), (len(strings) + per_bucket - 1) // per_bucket)
        continued = 0
        for number, (offset, in_record) in enumerate(buckets):
            record_type = struct.unpack_from("<H", stream, offset - in_record)[0]
            self.assertIn(record_type, (0x00FC, 0x003C))
            continued += record_type == 0x003C
            first = strings[number * per_bucket]
            count, flags = struct.unpack_from("<HB", stream, offset)
            self.assertEqual(count, len(first))
            width = 2 if flags & 1 else 1
            shown = stream[offset + 3:offset + 3 + min(count, 20) * width]
            self.assertEqual(shown.decode("utf-16-le" if width == 2 else "latin-1"), first[:20])
        self.assertGreater(continued, 0)  # the long text pushed later strings into CONTINUE records


if __name__ == "__main__":
    unittest.main(verbosity=1)
