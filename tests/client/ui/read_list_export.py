#!/usr/bin/env python3
"""Reads back the files that client_test_listexport writes from an exported list, as a
spreadsheet user would get them: the workbook through openpyxl, the CSV through the csv
module.

    read_list_export.py DIR

DIR holds list.xlsx, list.csv and expected.json: the sheet name, the captions in their
shown order, each column's kind ("text", "fen" or "integer") and the rows as the list
showed them. Amounts are checked against the shown text through Decimal, never a float.
Exits 0 when every check holds; otherwise prints each failure and exits 1. A missing
openpyxl is a failure, not a skip.
"""

import csv
import io
import json
import os
import sys
from decimal import Decimal

import openpyxl  # noqa: E402  (an ImportError fails the test on purpose)

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def fen_of(text):
    value = Decimal(text) * 100
    check(value == value.to_integral_value(), "%r is not an amount of two decimals" % text)
    return int(value)


def fen_text(fen):
    sign = "-" if fen < 0 else ""
    return "%s%d.%02d" % (sign, abs(fen) // 100, abs(fen) % 100)


def check_workbook(path, expected):
    book = openpyxl.load_workbook(path)
    check(book.sheetnames == [expected["sheet"]], "sheets %r" % book.sheetnames)
    sheet = book.worksheets[0]
    captions, kinds, rows = expected["captions"], expected["kinds"], expected["rows"]
    check(sheet.max_column == len(captions), "%d columns, not %d" % (sheet.max_column, len(captions)))
    check(sheet.max_row == len(rows) + 1, "%d rows, not %d" % (sheet.max_row, len(rows) + 1))
    for column, caption in enumerate(captions, start=1):
        cell = sheet.cell(row=1, column=column)
        check(cell.value == caption and cell.font.b, "header %d: %r" % (column, cell.value))
    for index, row in enumerate(rows):
        for column, (text, kind) in enumerate(zip(row, kinds), start=1):
            cell = sheet.cell(row=index + 2, column=column)
            where = "row %d column %s" % (index + 2, captions[column - 1])
            if text == "":
                check(cell.value is None, "%s: %r where the list is empty" % (where, cell.value))
            elif kind == "fen":
                value = cell.value
                if check(isinstance(value, (int, float)) and not isinstance(value, bool),
                         "%s: %r is not a number cell" % (where, value)):
                    check(cell.number_format == "0.00", "%s: number format %r" % (where, cell.number_format))
                    check(Decimal(repr(value)) == Decimal(fen_text(fen_of(text))),
                          "%s: %r is not %s" % (where, value, text))
            elif kind == "integer":
                check(type(cell.value) is int and cell.value == int(text),
                      "%s: %r is not the integer %s" % (where, cell.value, text))
            else:
                check(cell.data_type == "s" and cell.value == text,
                      "%s: %r (type %s) is not the text %r" % (where, cell.value, cell.data_type, text))


def check_csv(path, expected):
    with open(path, "rb") as file:
        data = file.read()
    check(data.startswith(b"\xef\xbb\xbf"), "CSV has no byte-order mark")
    check(b"\n" not in data.replace(b"\r\n", b""), "CSV has a line end other than CRLF")
    got = list(csv.reader(io.StringIO(data.decode("utf-8-sig"), newline="")))

    def shown(text, kind):
        if kind == "fen" and text != "":
            return fen_text(fen_of(text))
        if kind == "text" and text[:1] in ("=", "+", "-", "@"):
            return "'" + text
        return text

    wanted = [expected["captions"]]
    for row in expected["rows"]:
        wanted.append([shown(text, kind) for text, kind in zip(row, expected["kinds"])])
    check(len(got) == len(wanted), "CSV has %d rows, not %d" % (len(got), len(wanted)))
    for index, (line, want) in enumerate(zip(got, wanted)):
        check(line == want, "CSV row %d: %r, not %r" % (index + 1, line, want))


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = sys.argv[1]
    with open(os.path.join(folder, "expected.json"), encoding="utf-8") as file:
        expected = json.load(file)
    check_workbook(os.path.join(folder, "list.xlsx"), expected)
    check_csv(os.path.join(folder, "list.csv"), expected)
    for failure in failures:
        print("FAIL:", failure)
    print("%d failed" % len(failures) if failures else "workbook and CSV read back exactly")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
