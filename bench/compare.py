#!/usr/bin/env python3
"""Prints one line per comparison from the JSON results that bench/run wrote.

Usage: compare.py RESULTS_DIR
Each ratio divides two figures of the same run; with repetitions, medians are used.
"""
import glob
import json
import os
import platform
import subprocess
import sys


def load(directory):
    """Benchmark name -> its entry (the median when repetitions were run), and name -> every
    entry of a benchmark run in rounds (one per file, in the files' order)."""
    runs = {}
    rounds = {}
    context = None
    for path in sorted(glob.glob(os.path.join(directory, "*.json"))):
        with open(path) as handle:
            data = json.load(handle)
        context = context or data.get("context")
        for entry in data.get("benchmarks", []):
            if entry.get("error_occurred"):
                print(f"!! {entry['name']}: {entry.get('error_message')}")
                continue
            name = entry.get("run_name", entry["name"])
            if entry.get("run_type") == "aggregate":
                if entry.get("aggregate_name") == "median":
                    runs[name] = entry
            else:
                runs.setdefault(name, entry)
                rounds.setdefault(name, []).append(entry)
    return runs, rounds, context


def find(runs, prefix):
    for name, entry in runs.items():
        if name == prefix or name.startswith(prefix + "/"):
            return entry
    return None


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def compared(rounds, entry, against):
    """Rate ratio of two benchmarks: with rounds, the median of each round's ratio (the pairs
    ran one after the other), and the text that says so; else the one ratio."""
    rate = lambda e: e["items_per_second"]
    mine = rounds.get(entry.get("run_name", entry["name"]), [entry])
    theirs = rounds.get(against.get("run_name", against["name"]), [against])
    ratios = [rate(a) / rate(b) for a, b in zip(mine, theirs)]
    if len(ratios) < 2:
        return rate(entry) / rate(against), f"{rate(entry):.0f} vs {rate(against):.0f} calls/s"
    return median(ratios), (
        f"median of {len(ratios)} rounds, {min(ratios):.2f}-{max(ratios):.2f}; "
        f"{median(map(rate, mine)):.0f} vs {median(map(rate, theirs)):.0f} calls/s")


def verdict(ok):
    return "goal met" if ok else "GOAL MISSED"


def machine(context, directory):
    cpu = platform.processor() or "unknown CPU"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    cores = context.get("num_cpus") if context else os.cpu_count()
    try:
        with open(os.path.join(directory, "load-at-start")) as handle:
            load = handle.read().strip()
    except OSError:
        load = "unknown"
    return (f"{cpu}, {cores} cores, Linux {platform.release()}, "
            f"load average at start {load}")


def main():
    runs, rounds, context = load(sys.argv[1])
    print(f"machine: {machine(context, sys.argv[1])}")

    for reply in ("realistic", "large"):
        lib = find(runs, f"decode/{reply}/library")
        parse = find(runs, f"decode/{reply}/simdjson_parse")
        nl = find(runs, f"decode/{reply}/nlohmann_copy")
        if not (lib and parse and nl):
            continue
        mb = lambda e: e["bytes_per_second"] / 1e6
        size = lib["reply_bytes"] / 1024
        ratio = mb(lib) / mb(parse)
        print(f"decode {reply} ({size:.0f} KiB): library/simdjson parse-only = {ratio:.2f} "
              f"({mb(lib):.0f} vs {mb(parse):.0f} MB/s; goal >= 0.50: {verdict(ratio >= 0.5)})")
        ratio = mb(lib) / mb(nl)
        print(f"decode {reply} ({size:.0f} KiB): library/nlohmann parse+copy = {ratio:.1f}x "
              f"({mb(lib):.0f} vs {mb(nl):.0f} MB/s; goal >= 5x: {verdict(ratio >= 5)}; "
              f"allocations {lib['allocs_per_decode']:.0f} vs {nl['allocs_per_decode']:.0f})")

    for reply in ("realistic", "large"):
        parse = find(runs, f"decode/{reply}/simdjson_parse")
        lib = find(runs, f"decode/{reply}/library")
        walks = [(name, find(runs, f"decode/{reply}/{name}"))
                 for name in ("dom_walk", "ondemand_walk_generic", "ondemand_walk_avx2")]
        if not (parse and lib) or not any(e for _, e in walks):
            continue
        mb = lambda e: e["bytes_per_second"] / 1e6
        figures = "; ".join(f"{name} {mb(e) / mb(parse):.2f} ({mb(e):.0f} MB/s)"
                            for name, e in walks if e)
        print(f"walks {reply}, building nothing, against simdjson parse-only "
              f"({mb(parse):.0f} MB/s): {figures}; library {mb(lib) / mb(parse):.2f}")

    for reply in ("realistic", "large"):
        call = find(runs, f"call/{reply}/facade")
        dec = find(runs, f"call/{reply}/decode_only")
        if not (call and dec):
            continue
        us = lambda e: e["cpu_time"]  # the benchmarks report microseconds
        print(f"call {reply}: facade call/decoding alone = {us(call) / us(dec):.2f}x "
              f"({us(call):.1f} vs {us(dec):.1f} us per call; allocations per call "
              f"{call['allocs_per_call']:.0f} vs {dec['allocs_per_call']:.0f})")
        # Option clients decode in place: their cost outside decoding is measured against that.
        in_place = find(runs, f"call/{reply}/decode_in_place")
        for form in ("option_callback", "option_get"):
            option = find(runs, f"call/{reply}/{form}")
            if not (option and in_place):
                continue
            outside = us(option) - us(in_place)
            allocs = option["allocs_per_call"] - in_place["allocs_per_call"]
            goal = (f"; goal <= 10 us and <= 20: {verdict(outside <= 10 and allocs <= 20)}"
                    if reply == "realistic" else "")
            print(f"call {reply}: {form} outside decoding = {outside:.1f} us and {allocs:.0f} "
                  f"allocations ({us(option):.1f} vs {us(in_place):.1f} us in-place decode{goal})")

    fast = find(runs, "flow/log/fast_sink")
    slow = find(runs, "flow/log/slow_sink")
    if fast and slow:
        ns = lambda e: e["cpu_time"]  # these benchmarks report nanoseconds
        print(f"flow log call on the library thread: slow sink (1 ms per line)/fast sink = "
              f"{ns(slow) / ns(fast):.2f} ({ns(slow):.0f} vs {ns(fast):.0f} ns per line; 99.9% of calls "
              f"within {slow['p999_us']:.1f} vs {fast['p999_us']:.1f} us, slowest {slow['max_us']:.0f} "
              f"vs {fast['max_us']:.0f} us; lines dropped {100 * slow['dropped_share']:.1f}% vs "
              f"{100 * fast['dropped_share']:.1f}%; goal: never waits for the sink, 99.9% of "
              f"calls < 1000 us and cost <= 2x fast sink: "
              f"{verdict(slow['p999_us'] < 1000 and ns(slow) <= 2 * ns(fast))})")
    both = find(runs, "flow/observer_and_limiter/per_call")
    if both:
        added = both["cpu_time"]
        print(f"flow observer + limiter added per call: {added:.0f} ns (CallStats::onAttempt "
              f"{find(runs, 'flow/stats/on_attempt')['cpu_time']:.0f} ns, "
              f"TokenBucket::acquire {find(runs, 'flow/limiter/acquire')['cpu_time']:.0f} "
              f"ns; goal < 2000 ns: {verdict(added < 2000)})")

    for reply in ("small", "page20"):
        for n in (1, 16, 256):
            lib = find(runs, f"https/{reply}/library/in_flight:{n}")
            multi = find(runs, f"https/{reply}/curl_multi/in_flight:{n}")
            fresh = find(runs, f"https/{reply}/fresh_connection/in_flight:{n}")
            rate = lambda e: e["items_per_second"]
            any_run = lib or multi or fresh
            if not any_run:
                continue
            where = f"https {reply} ({any_run['reply_bytes'] / 1024:.1f} KiB) {n:>3} in flight"
            if not lib:
                others = ", ".join(f"{name} {rate(e):.0f} calls/s"
                                   for name, e in (("raw curl multi", multi),
                                                   ("fresh connection", fresh)) if e)
                print(f"{where}: library run FAILED (see !! above); {others}")
                continue
            detail = (f"library threads {lib['library_threads']:.0f} (process "
                      f"{lib['process_threads_peak']:.0f}), peak "
                      f"{lib['peak_kib_per_call_in_flight']:.0f} KiB per call in flight")
            if multi:
                ratio, how = compared(rounds, lib, multi)
                print(f"{where}: library/raw curl multi = {ratio:.2f} ({how}; {detail}; raw curl "
                      f"{multi['peak_kib_per_call_in_flight']:.0f} KiB)")
            option = find(runs, f"https/{reply}/option_client/in_flight:{n}")
            if option and multi:
                ratio, how = compared(rounds, option, multi)
                goal = f"; goal >= 0.9: {verdict(ratio >= 0.9)}" if n == 1 else ""
                print(f"{where}: option client/raw curl multi = {ratio:.2f} ({how}; peak "
                      f"{option['peak_kib_per_call_in_flight']:.0f} KiB per call in flight{goal})")
            threaded = find(runs, f"https/{reply}/curl_thread/in_flight:{n}")
            if option and threaded:
                ratio, how = compared(rounds, option, threaded)
                print(f"{where}: option client/raw curl on a thread of its own = {ratio:.2f} "
                      f"({how})")
            if threaded and multi:
                ratio, how = compared(rounds, threaded, multi)
                print(f"{where}: raw curl on a thread of its own/raw curl multi = {ratio:.2f} "
                      f"({how}: what two thread hand-overs a call cost)")
            if fresh:
                print(f"{where}: library/fresh connection per call = "
                      f"{rate(lib) / rate(fresh):.1f}x ({rate(lib):.0f} vs {rate(fresh):.0f} "
                      f"calls/s; fresh {fresh['peak_kib_per_call_in_flight']:.0f} KiB per call "
                      f"in flight)")

if __name__ == "__main__":
    main()
