#!/usr/bin/python3
"""Prints a workbook as the tests compare it, read back with openpyxl.

Each sheet: "sheet NAME frozen=CELL filter=RANGE bold=HEADER-BOLD", then one
line a row, each cell as TYPE:VALUE joined by tabs (s text, d date-time as
ISO 8601, n number, f formula, - empty). With --rows, only each sheet's
name and row count.
"""
import sys

import openpyxl


def cell(c):
    if c.value is None:
        return "-:"
    if c.data_type == "d" or hasattr(c.value, "isoformat"):
        return "d:" + c.value.isoformat()
    if c.data_type == "n" and float(c.value).is_integer():
        return "n:%d" % c.value
    return "%s:%s" % (c.data_type, c.value)


def main():
    rows_only = sys.argv[1] == "--rows"
    book = openpyxl.load_workbook(sys.argv[-1], read_only=rows_only)
    for sheet in book:
        if rows_only:
            print("sheet %s rows=%d" % (sheet.title, sum(1 for _ in sheet.iter_rows(values_only=True))))
            continue
        print("sheet %s frozen=%s filter=%s bold=%s" %
              (sheet.title, sheet.freeze_panes, sheet.auto_filter.ref, sheet["A1"].font.b))
        for row in sheet.iter_rows():
            print("\t".join(cell(c) for c in row))


main()
