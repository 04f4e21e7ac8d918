#!/usr/bin/env python3
"""Reads back the files that client_test_spreadsheet writes, as a spreadsheet user would
get them: the workbook through openpyxl, the CSV through the csv module.

    read_statement_xlsx.py DIR

DIR holds statement.xlsx, statement.csv, limits.xlsx and expected.json (the statement as
the test fed it, amounts as integer fen). Exits 0 when every check holds; otherwise prints
each failure and exits 1. A missing openpyxl is a failure, not a skip.
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


def fen_text(fen):
    sign = "-" if fen < 0 else ""
    return "%s%d.%02d" % (sign, abs(fen) // 100, abs(fen) % 100)


def check_amount(cell, fen, where):
    value = cell.value
    if not check(isinstance(value, (int, float)) and not isinstance(value, bool),
                 "%s: %r is not a number cell" % (where, value)):
        return
    check(cell.number_format == "0.00", "%s: number format %r" % (where, cell.number_format))
    check(round(value * 100) == fen, "%s: %r is not %d fen" % (where, value, fen))
    check(format(value, ".2f") == fen_text(fen), "%s: %r shows as %s" % (where, value, format(value, ".2f")))
    # The nearest double of the two-decimal value: its shortest text is that value.
    check(Decimal(repr(value)) == Decimal(fen_text(fen)),
          "%s: %r is not the double of %s" % (where, value, fen_text(fen)))


def check_text(cell, text, where):
    check(cell.data_type == "s" and cell.value == text,
          "%s: %r (type %s) is not the text %r" % (where, cell.value, cell.data_type, text))


def check_header(sheet, captions, where):
    for column, caption in enumerate(captions, start=1):
        cell = sheet.cell(row=1, column=column)
        check_text(cell, caption, "%s header %d" % (where, column))
        check(cell.font is not None and cell.font.b, "%s header %d is not bold" % (where, column))
    check(sheet.freeze_panes == "A2", "%s: frozen at %r, not below the header" % (where, sheet.freeze_panes))


def shown_width(text):
    return sum(2 if ord(c) >= 0x2E80 else 1 for c in text)


def check_widths(sheet, where):
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            text = cell.value if isinstance(cell.value, str) else format(cell.value, ".2f")
            width = sheet.column_dimensions[cell.column_letter].width
            check(width is not None and width >= min(shown_width(text), 58),
                  "%s: column %s (%s wide) is narrower than %r" % (where, cell.column_letter, width, text))


STATEMENT_HEADER = ["对账单号", "账单状态", "起始日期", "结束日期", "商品金额", "运费金额", "结算总金额"]
ORDER_HEADER = ["订单号", "订单状态", "商家名称", "商品件数", "商品金额", "运费金额", "结算总金额"]
AMOUNTS = ["goods", "freight", "total"]


def check_workbook(path, expected):
    book = openpyxl.load_workbook(path)
    check(book.sheetnames == ["对账单", "订单明细"], "sheets %r" % book.sheetnames)
    summary, details = book["对账单"], book["订单明细"]

    statement = expected["statement"]
    check_header(summary, STATEMENT_HEADER, "对账单")
    for column, key in enumerate(["number", "state", "from", "to"], start=1):
        check_text(summary.cell(row=2, column=column), statement[key], "对账单 %s" % key)
    for column, key in enumerate(AMOUNTS, start=5):
        check_amount(summary.cell(row=2, column=column), int(statement[key]), "对账单 %s" % key)
    check(summary.max_row == 2, "对账单 has %d rows" % summary.max_row)

    orders = expected["orders"]
    check_header(details, ORDER_HEADER, "订单明细")
    check(details.max_row == len(orders) + 2, "订单明细 has %d rows" % details.max_row)
    for index, order in enumerate(orders):
        row = index + 2
        where = "order %s" % order["number"]
        for column, key in enumerate(["number", "state", "merchant"], start=1):
            check_text(details.cell(row=row, column=column), order[key], "%s %s" % (where, key))
        pieces = details.cell(row=row, column=4).value
        check(type(pieces) is int and pieces == order["pieces"], "%s pieces %r" % (where, pieces))
        for column, key in enumerate(AMOUNTS, start=5):
            check_amount(details.cell(row=row, column=column), int(order[key]), "%s %s" % (where, key))

    row = len(orders) + 2
    check_text(details.cell(row=row, column=1), "合计", "total row caption")
    check(details.cell(row=row, column=2).value is None and details.cell(row=row, column=3).value is None,
          "total row has values in its empty cells")
    pieces = details.cell(row=row, column=4).value
    check(pieces == sum(o["pieces"] for o in orders), "total pieces %r" % pieces)
    for column, key in enumerate(AMOUNTS, start=5):
        fen = sum(int(o[key]) for o in orders)
        check(fen == int(statement[key]), "the orders' %s do not add up to the statement's" % key)
        check_amount(details.cell(row=row, column=column), fen, "total %s" % key)

    check_widths(summary, "对账单")
    check_widths(details, "订单明细")


def check_csv(path, expected):
    with open(path, "rb") as file:
        data = file.read()
    check(data.startswith(b"\xef\xbb\xbf"), "CSV has no byte-order mark")
    check(data.endswith(b"\r\n"), "CSV does not end with CRLF")
    check(b"\n" not in data.replace(b"\r\n", b""), "CSV has a line end other than CRLF")
    rows = list(csv.reader(io.StringIO(data.decode("utf-8-sig"), newline="")))

    def text(value):
        return "'" + value if value[:1] in ("=", "+", "-", "@") else value

    statement, orders = expected["statement"], expected["orders"]
    wanted = [STATEMENT_HEADER,
              [text(statement[k]) for k in ["number", "state", "from", "to"]] +
              [fen_text(int(statement[k])) for k in AMOUNTS],
              [],
              ORDER_HEADER]
    for order in orders:
        wanted.append([text(order[k]) for k in ["number", "state", "merchant"]] + [str(order["pieces"])] +
                      [fen_text(int(order[k])) for k in AMOUNTS])
    wanted.append(["合计", "", "", str(sum(o["pieces"] for o in orders))] +
                  [fen_text(sum(int(o[k]) for o in orders)) for k in AMOUNTS])
    check(len(rows) == len(wanted), "CSV has %d rows, not %d" % (len(rows), len(wanted)))
    for index, (got, want) in enumerate(zip(rows, wanted)):
        check(got == want, "CSV row %d: %r, not %r" % (index + 1, got, want))


def check_limits(path):
    book = openpyxl.load_workbook(path)
    # Refused characters become "_", names are cut to 31 characters and made unique.
    check(book.sheetnames == ["a_b_c_d__e__f 这是一个名字很长很长很长很长的工作", "Sheet2",
                              "a_b_c_d__e__f 这是一个名字很长很长很长很 (2)"],
          "limit sheets %r" % book.sheetnames)
    sheet = book.worksheets[0]
    check_amount(sheet["A2"], 999999999999999, "15 digits")
    check_amount(sheet["B2"], -999999999999999, "-15 digits")
    check_text(sheet["C2"], "10000000000000.00", "16 digits as text")
    check(sheet["D2"].value == 123456789012 and type(sheet["D2"].value) is int, "integer %r" % sheet["D2"].value)
    check_text(sheet["E2"], "=1+1", "formula-like text")
    check_text(sheet["F2"], "@SUM(A1:A2)", "at-sign text")
    check_text(sheet["G2"], "第一行\n第二行", "two-line text")
    check(sheet["H2"].value is None, "empty text %r" % sheet["H2"].value)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = sys.argv[1]
    with open(os.path.join(folder, "expected.json"), encoding="utf-8") as file:
        expected = json.load(file)
    check_workbook(os.path.join(folder, "statement.xlsx"), expected)
    check_csv(os.path.join(folder, "statement.csv"), expected)
    check_limits(os.path.join(folder, "limits.xlsx"))
    for failure in failures:
        print("FAIL:", failure)
    print("%d failed" % len(failures) if failures else "workbook and CSV read back exactly")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
