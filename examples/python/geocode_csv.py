#!/usr/bin/env python3
"""Geocodes the addresses of a CSV file concurrently, under a rate limit, with progress.

    geocode_csv.py addresses.csv places.csv --key "$ORVANE_SITE_API_KEY" --qps 50
    geocode_csv.py addresses.csv places.csv --standin     # the local stand-in: no key, no network

The input has a header with an `address` column (--column names another); the output has the
input's columns plus name, lat, lng, status and error, in input order. Memory stays flat: at
most --concurrency rows are under way.
"""

import argparse
import csv
import os
import sys
import time

import orvane_site


def arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("input")
    parser.add_argument("output")
    parser.add_argument("--column", default="address")
    parser.add_argument("--key", default=os.environ.get("ORVANE_SITE_API_KEY"))
    parser.add_argument("--host")
    parser.add_argument("--ca-file")
    parser.add_argument("--standin", action="store_true", help="run against the local stand-in")
    parser.add_argument("--concurrency", type=int, default=16)
    parser.add_argument("--qps", type=float, default=50.0, help="calls a second, at most")
    parser.add_argument("--language")
    return parser.parse_args()


def client_of(options):
    limits = dict(rate_limit=options.qps, rate_burst=max(1, options.concurrency))
    if options.standin:
        from orvane_site.testing import Standin
        options.standin_server = Standin()
        return options.standin_server.client(**limits)
    if not options.key:
        sys.exit("give --key or set ORVANE_SITE_API_KEY (or use --standin)")
    extra = {"host": options.host} if options.host else {}
    if options.ca_file:
        extra["ca_file"] = options.ca_file
    return orvane_site.Client(options.key, **limits, **extra)


def outcome_cells(result):
    if isinstance(result, Exception):
        status = "retry-later" if getattr(result, "retryable", False) else "failed"
        return ["", "", "", status, str(result)]
    if not result.sites:
        return ["", "", "", "not-found", ""]
    site = result.sites[0]
    return [site.name or "", site.location.lat, site.location.lng, "found", ""]


def main():
    options = arguments()
    with open(options.input, newline="", encoding="utf-8") as source, \
            open(options.output, "w", newline="", encoding="utf-8") as sink, \
            client_of(options) as client:
        rows = csv.DictReader(source)
        if options.column not in (rows.fieldnames or []):
            sys.exit(f"the input has no column {options.column!r}")
        writer = csv.writer(sink)
        writer.writerow(list(rows.fieldnames) + ["name", "lat", "lng", "status", "error"])
        kept = []  # the rows under way, in order: at most --concurrency of them

        def addresses():
            for row in rows:
                kept.append(row)
                yield row[options.column]

        common = {"language": options.language} if options.language else {}
        started, counts = time.monotonic(), {}
        results = client.geocode_many(addresses(), concurrency=options.concurrency, **common)
        for done, result in enumerate(results, 1):
            row = kept.pop(0)
            cells = outcome_cells(result)
            counts[cells[3]] = counts.get(cells[3], 0) + 1
            writer.writerow(list(row.values()) + cells)
            if done % 100 == 0:
                rate = done / max(time.monotonic() - started, 1e-9)
                print(f"\r{done} rows, {rate:.0f}/s", end="", file=sys.stderr, flush=True)
        summary = ", ".join(f"{count} {status}" for status, count in sorted(counts.items()))
        print(f"\rdone in {time.monotonic() - started:.1f} s: {summary or 'no rows'}",
              file=sys.stderr)


if __name__ == "__main__":
    main()
