#!/usr/bin/env python3
"""Writes the seeds at the size limits (32767 employees, 32767 statements) into the folder given,
one sub-folder per fuzz target. They are megabytes each, so they are made at fuzz time instead of
being kept in the repository."""

import os
import sys

LIMIT = 32767


def url_encode(text):
    keep = set("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789*-._")
    return "".join("+" if c == " " else c if c in keep else "%%%02X" % ord(c) for c in text)


def feed(non_selected, selected):
    def block(rows):
        return "".join("<Employee><ID>%d</ID><Name>%s</Name></Employee>\n" % row for row in rows)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<CenterEmployees>\n'
            "<Counts><Count><NonSelected>%d</NonSelected><Selected>%d</Selected></Count></Counts>\n"
            "<NonSelectedEmployees>\n%s</NonSelectedEmployees>\n<SelectedEmployees>\n%s</SelectedEmployees>\n"
            "</CenterEmployees>\n" % (len(non_selected), len(selected), block(non_selected), block(selected)))


def insert(center, employee):
    return ("INSERT INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) VALUES (%d,%d,GETDATE()) "
            % (center, employee))


def delete(center, employees):
    return ("DELETE FROM CenterEmployeeCrossReference WHERE CenterID=%d AND EmployeeID IN(%s)"
            % (center, ",".join(str(e) for e in employees)))


def body(statements):
    return "".join("SQL=" + url_encode(s) + "&" for s in statements)


def main():
    out = sys.argv[1]
    rows = [(2000000000 + i, "Employee &amp; number %d with a name of ordinary length" % i) for i in range(LIMIT)]
    inserts = body([insert(-2147483648, 2147483647 - i) for i in range(LIMIT)])
    removal = body([delete(2147483647, [-2147483648 + i for i in range(LIMIT)])])
    post = "POST\n/CenterEmployee.asp\n\napplication/x-www-form-urlencoded\n"
    seeds = {
        "fuzz_feed": {"limit-all-non-selected.xml": feed(rows, []),
                      "limit-split.xml": feed(rows[:20000], rows[20000:]),
                      "limit-plus-one.xml": feed(rows, rows[:1])},
        "fuzz_sql_batch": {"limit-inserts.txt": inserts, "limit-delete.txt": removal,
                           "limit-plus-one.txt": inserts + body([insert(1, 1)])},
        "fuzz_service": {"limit-delete.txt": post + body([delete(1, range(1, LIMIT + 1))]),
                         "limit-inserts-unknown.txt": post + inserts},
    }
    for target, files in seeds.items():
        os.makedirs(os.path.join(out, target), exist_ok=True)
        for name, text in files.items():
            with open(os.path.join(out, target, name), "w", encoding="utf-8") as f:
                f.write(text)


if __name__ == "__main__":
    main()
