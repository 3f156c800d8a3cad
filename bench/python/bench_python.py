#!/usr/bin/env python3
"""Geocode calls per second against the in-process stand-in, at 1 and 32 calls in flight:
orvane_site (blocking, futures, asyncio) against a requests.Session loop and aiohttp doing the
same calls; then the memory of geocode_many over 10,000 items.

    PYTHONPATH=build/ci/components/python /usr/bin/python3 bench/python/bench_python.py
"""

import asyncio
import concurrent.futures
import json
import os
import resource
import ssl
import sys
import tempfile
import threading
import time
import tracemalloc

import aiohttp
import requests

import orvane_site
from orvane_site.testing import Standin

ADDRESSES = ["Paris, France", "Tokyo", "Berlin", "Lima", "Cairo"]
CALLS = {1: 1000, 32: 4000}


def rate(name, in_flight, calls, run):
    started = time.perf_counter()
    run(calls)
    seconds = time.perf_counter() - started
    print(f"{name:<34} {in_flight:>2} in flight: {calls / seconds:7.0f} calls/s")


def library_forms(client):
    def blocking(calls):
        for i in range(calls):
            assert client.geocode(address=ADDRESSES[i % 5]).return_code == "0"

    def futures(calls):
        for result in client.geocode_many((ADDRESSES[i % 5] for i in range(calls)),
                                          concurrency=32):
            assert result.return_code == "0"

    def awaited(in_flight):
        def run(calls):
            async def worker(share):
                for i in range(share):
                    assert (await client.geocode_async(address=ADDRESSES[i % 5])).return_code == "0"
            async def main():
                await asyncio.gather(*[worker(calls // in_flight) for _ in range(in_flight)])
            asyncio.run(main())
        return run

    return blocking, futures, awaited


def requests_forms(url, ca_file):
    local = threading.local()

    def one(i):
        session = getattr(local, "session", None)
        if session is None:
            session = local.session = requests.Session()
            session.trust_env = False  # else REQUESTS_CA_BUNDLE overrides verify
            session.verify = ca_file
        reply = session.post(url, data=json.dumps({"address": ADDRESSES[i % 5]}),
                             headers={"Content-Type": "application/json"})
        assert reply.json()["returnCode"] == "0"

    def loop(calls):
        for i in range(calls):
            one(i)

    def pooled(calls):
        with concurrent.futures.ThreadPoolExecutor(32) as pool:
            list(pool.map(one, range(calls)))

    return loop, pooled


def aiohttp_form(url, ca_file, in_flight):
    def run(calls):
        async def main():
            context = ssl.create_default_context(cafile=ca_file)
            connector = aiohttp.TCPConnector(limit=in_flight, ssl=context)
            async with aiohttp.ClientSession(connector=connector) as session:
                async def worker(share):
                    for i in range(share):
                        async with session.post(url, json={"address": ADDRESSES[i % 5]}) as reply:
                            assert (await reply.json())["returnCode"] == "0"
                await asyncio.gather(*[worker(calls // in_flight) for _ in range(in_flight)])
        asyncio.run(main())
    return run


def memory_of_many(client, items):
    tracemalloc.start()
    count = sum(1 for _ in client.geocode_many((ADDRESSES[i % 5] for i in range(items)),
                                               concurrency=32))
    _, peak = tracemalloc.get_traced_memory()
    tracemalloc.stop()
    return count, peak


def main():
    with Standin() as standin, tempfile.NamedTemporaryFile("w", suffix=".pem") as ca:
        ca.write(standin.ca_certificate_pem)
        ca.flush()
        url = f"https://{standin.host}/mapApi/v1/siteService/geocode?key={standin.api_key}"
        print(f"machine: {os.cpu_count()} cores, load average {os.getloadavg()[0]:.1f}, "
              f"Python {sys.version.split()[0]}, stand-in in this process")
        with standin.client(max_in_flight=32) as client:
            blocking, futures, awaited = library_forms(client)
            loop, pooled = requests_forms(url, ca.name)
            rate("orvane_site blocking", 1, CALLS[1], blocking)
            rate("orvane_site async", 1, CALLS[1], awaited(1))
            rate("requests.Session loop", 1, CALLS[1], loop)
            rate("aiohttp", 1, CALLS[1], aiohttp_form(url, ca.name, 1))
            rate("orvane_site geocode_many", 32, CALLS[32], futures)
            rate("orvane_site async", 32, CALLS[32], awaited(32))
            rate("requests.Session, 32 threads", 32, CALLS[32], pooled)
            rate("aiohttp", 32, CALLS[32], aiohttp_form(url, ca.name, 32))
            rss_before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
            for items in (1000, 10000):
                count, peak = memory_of_many(client, items)
                print(f"geocode_many over {count:>5} items: peak of Python allocations "
                      f"{peak / 1024:.0f} KiB")
            rss_after = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
            print(f"peak RSS {rss_before / 1024:.0f} MiB before the memory runs, "
                  f"{rss_after / 1024:.0f} MiB after")


if __name__ == "__main__":
    main()
