#!/usr/bin/env python3
"""Runs corvid-report once for CSV, JSON and NDJSON from one load of the simulated
demo database, reads the JSON back with Python's json module and checks that it
holds what the CSV holds: the same columns in the same order, the same rows in
the same order, every value typed, and totals that agree with the rows.

Usage: json_matches_csv.py CORVID_REPORT SIMULATOR_LIBDIR
"""

import csv
import io
import json
import os
import subprocess
import sys
import tempfile


def csv_text(value):
    """The CSV writer's encoding of a cell's text: a line break (CR, LF or a pair
    of them) becomes one LF, double quotes are dropped, other control characters
    become a backslash and their decimal value."""
    out = []
    i = 0
    while i < len(value):
        c = value[i]
        if c in "\r\n":
            out.append("\n")
            if i + 1 < len(value) and value[i + 1] in "\r\n":
                i += 1
        elif c == '"':
            pass
        elif ord(c) < 32:
            out.append("\\%d" % ord(c))
        else:
            out.append(c)
        i += 1
    return "".join(out)


def check_cell(row, title, kind, value, field, failures):
    where = "row %d, column %r" % (row, title)
    if value is None:
        if field != "":
            failures.append("%s: null in JSON, %r in CSV" % (where, field))
        return
    if isinstance(value, bool):
        failures.append("%s: a boolean %r" % (where, value))
    elif isinstance(value, int):
        if kind != "number" or str(value) != field:
            failures.append("%s: integer %r in JSON, %r in CSV" % (where, value, field))
    elif isinstance(value, float):
        if kind != "number" or float(field) != value:
            failures.append("%s: number %r in JSON, %r in CSV" % (where, value, field))
    elif isinstance(value, str):
        if value == "" or csv_text(value) != field:
            failures.append("%s: text %r in JSON, %r in CSV" % (where, value, field))
        if kind == "number":
            try:
                float(value)
                failures.append("%s: the number %r written as a string" % (where, value))
            except ValueError:
                pass
    else:
        failures.append("%s: unexpected JSON value %r" % (where, value))


def run_report(report, libdir, workdir, args):
    env = dict(os.environ)
    env.pop("CORVID_PASSWORD", None)
    env.pop("XDG_CONFIG_HOME", None)
    env["HOME"] = os.path.join(workdir, "home")
    env["LD_LIBRARY_PATH"] = libdir
    env["CORVID_SIM_SCENARIO"] = "demo:600"
    command = [report, "-u", "SCOTT", "-p", "TIGER", "-s", "DEMO"] + args
    return subprocess.run(command, cwd=workdir, env=env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)


def main():
    report, libdir = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory(prefix="corvid-json-") as workdir:
        os.mkdir(os.path.join(workdir, "home"))
        done = run_report(report, libdir, workdir, ["--format", "csv,json,ndjson", "--output", "pool"])
        if done.returncode != 0:
            print("corvid-report ended with %d: %s" % (done.returncode, done.stderr.decode(errors="replace")))
            return 1

        with open(os.path.join(workdir, "pool.JSON"), "rb") as f:
            document = json.loads(f.read().decode("utf-8"))
        with open(os.path.join(workdir, "pool.NDJSON"), "rb") as f:
            lines = [json.loads(line) for line in f.read().decode("utf-8").split("\n") if line]
        with open(os.path.join(workdir, "pool.CSV"), "rb") as f:
            table = list(csv.reader(io.StringIO(f.read().decode("utf-8", errors="replace"), newline="")))

        columns = document["columns"]
        header, records = table[0], table[1:]
        titles = [c["title"] for c in columns]
        if titles != header:
            failures.append("columns differ: JSON %r, CSV %r" % (titles, header))
        rows = document["rows"]
        if len(rows) != len(records) or len(rows) < 100:
            failures.append("%d rows in JSON, %d in CSV" % (len(rows), len(records)))
        if lines != rows:
            failures.append("the NDJSON rows are not the JSON document's rows")

        for r, (row, record) in enumerate(zip(rows, records)):
            keys = list(row.keys())
            if keys != [c["key"] for c in columns]:
                failures.append("row %d: keys %r out of the column order" % (r, keys))
                continue
            for column, field in zip(columns, record):
                check_cell(r, column["title"], column["type"], row[column["key"]], field, failures)
            if len(failures) > 20:
                break

        totals = document["totals"]
        if totals.get("statements") != len(rows):
            failures.append("totals.statements %r for %d rows" % (totals.get("statements"), len(rows)))
        gets = [row.get("Buf Get") for row in rows]
        if None in gets or sum(gets) > totals.get("buffer_gets", 0):
            failures.append("the rows' buffer gets exceed the total %r" % totals.get("buffer_gets"))
        for key in ("name", "version", "user", "server", "loaded"):
            if not isinstance(document.get(key), str):
                failures.append("document %s is %r" % (key, document.get(key)))

        # Standard output takes the document too, for a pipe into jq.
        piped = run_report(report, libdir, workdir, ["--format", "json", "--output", "-"])
        if piped.returncode != 0:
            failures.append("--output - ended with %d: %s" % (piped.returncode, piped.stderr.decode(errors="replace")))
        else:
            streamed = json.loads(piped.stdout.decode("utf-8"))
            if streamed["columns"] != columns or not streamed["rows"]:
                failures.append("the document on standard output differs in its columns or has no rows")

    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
