#!/usr/bin/env python3
"""Pairs BM_x with BM_x_baseline in velkora-bench's JSON output and prints
one line per pair: `x ratio=R` (ours / baseline in time, below 1 is faster),
with both times and the target (or, for a pair that compares unlike things,
the line that judges it); then the lines computed from several
benchmarks (midi_send_overhead), the allocation counts of the codec and the
time per element of the linear-time benchmark."""
import json
import sys

# Largest acceptable ratio for each pair (None: judged through another line,
# see EXPLAINED); the order is the order of the lines.
TARGETS = {
    "decode": 0.35, "decode_hex": 0.35, "decode_bin": 0.35,
    "encode": 0.5, "encode_hex": 0.5, "encode_bin": 0.5,
    "checksum": 0.5,
    "call": 1.5,
    "sysex_read": 1.3, "sysex_write": None, "sysex_write_durable": 1.15,
    "midi_send": None,
    # (midi_send - midi_send_baseline) / call: what sending a message adds
    # to RtMidi's own send, in units of one short external call.
    "midi_send_overhead": 1.0,
}

# Pairs that compare unlike things and stay above any fair target by nature:
# each is shown with the line that judges it instead.
EXPLAINED = {
    "sysex_write": "no target: a write that reaches the disk against fopen/fwrite; judged by sysex_write_durable",
    "midi_send": "no target: a whole external call against RtMidi's ring-buffer write; judged by midi_send_overhead",
}

TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def verdict(name, ratio):
    if name in EXPLAINED:
        return "  (%s)" % EXPLAINED[name]
    target = TARGETS.get(name)
    if target is None:
        return ""
    return "  target<=%.2f %s" % (target, "met" if ratio <= target else "MISSED")


def show(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return "%.3f %s" % (ns / scale, unit)
    return "%.1f ns" % ns


def short(run_name):
    """BM_sysex_read/real_time -> sysex_read; numeric arguments stay (decode_linear/10000)."""
    name = run_name[3:] if run_name.startswith("BM_") else run_name
    parts = name.split("/")
    return "/".join([parts[0]] + [p for p in parts[1:] if p != "real_time" and ":" not in p])


def main(path):
    with open(path) as f:
        data = json.load(f)
    rows = data.get("benchmarks", [])
    have_aggregates = any(r.get("run_type") == "aggregate" for r in rows)
    runs = {}
    for r in rows:
        if have_aggregates and not (r.get("run_type") == "aggregate" and r.get("aggregate_name") == "median"):
            if not r.get("error_occurred"):
                continue
        name = short(r.get("run_name", r["name"]))
        if r.get("error_occurred"):
            runs.setdefault(name, {"error": r.get("error_message", "skipped")})
            continue
        clock = "real_time" if "/real_time" in r.get("run_name", r["name"]) else "cpu_time"
        r["ns"] = r[clock] * TO_NS[r.get("time_unit", "ns")]
        runs[name] = r

    print("velkora-bench: median of %s; ratio = ours / baseline (below 1 is faster)" %
          ("repetitions" if have_aggregates else "one run"))
    order = list(TARGETS) + sorted(n[: -len("_baseline")] for n in runs if n.endswith("_baseline"))
    for base_name in [n + "_baseline" for n in dict.fromkeys(order) if n + "_baseline" in runs]:
        name = base_name[: -len("_baseline")]
        ours, base = runs.get(name), runs[base_name]
        if ours is None:
            continue
        if "error" in ours or "error" in base:
            print("%s skipped: %s" % (name, ours.get("error") or base.get("error")))
            continue
        ratio = ours["ns"] / base["ns"]
        print("%s ratio=%.2f  ours=%s  baseline=%s%s"
              % (name, ratio, show(ours["ns"]), show(base["ns"]), verdict(name, ratio)))

    def have(*names):
        return all(n in runs and "error" not in runs[n] for n in names)

    parts = ("midi_send", "midi_send_baseline", "call")
    if have(*parts):
        added = runs["midi_send"]["ns"] - runs["midi_send_baseline"]["ns"]
        ratio = added / runs["call"]["ns"]
        print("midi_send_overhead ratio=%.2f  added=%s  call=%s%s"
              % (ratio, show(added), show(runs["call"]["ns"]), verdict("midi_send_overhead", ratio)))
    elif all(n in runs for n in parts):
        print("midi_send_overhead skipped: %s" % next(runs[n]["error"] for n in parts if "error" in runs[n]))

    # Where the time of the host-facing pairs goes.

    if have("sysex_read", "sysex_read_baseline", "sysex_read_host"):
        own = runs["sysex_read"]["ns"] - runs["sysex_read_host"]["ns"]
        print("sysex_read: the host's storing of the 3.6 million characters of the result takes %s; "
              "without it ours=%s ratio=%.2f"
              % (show(runs["sysex_read_host"]["ns"]), show(own), own / runs["sysex_read_baseline"]["ns"]))
    if have("sysex_write", "sysex_write_baseline", "sysex_write_host"):
        own = runs["sysex_write"]["ns"] - runs["sysex_write_host"]["ns"]
        print("sysex_write: reading the 3.6 million characters of the parameter takes %s; "
              "without it ours=%s ratio=%.2f"
              % (show(runs["sysex_write_host"]["ns"]), show(own), own / runs["sysex_write_baseline"]["ns"]))
    if have("sysex_write_file", "sysex_write_file_baseline"):
        print("sysex_write: of that, the file (temporary file, flushed to disk, renamed) takes %s against %s for "
              "fopen/fwrite/fclose" % (show(runs["sysex_write_file"]["ns"]), show(runs["sysex_write_file_baseline"]["ns"])))
    if have("midi_send", "midi_send_baseline"):
        print("midi_send: the external function adds %s per message to RtMidi's own %s"
              % (show(runs["midi_send"]["ns"] - runs["midi_send_baseline"]["ns"]), show(runs["midi_send_baseline"]["ns"])))
    if have("midi_send", "midi_send_baseline", "midi_send_host"):
        own = runs["midi_send"]["ns"] - runs["midi_send_host"]["ns"]
        print("midi_send: the host's eight calls (two parameters, the number result) take %s; without them ours=%s "
              "ratio=%.2f" % (show(runs["midi_send_host"]["ns"]), show(own), own / runs["midi_send_baseline"]["ns"]))

    for name in sorted(runs):
        r = runs[name]
        if "allocs" in r and name.startswith("decode") and "error" not in r:
            print("%s allocations in one 1 MiB read: %d (%d bytes)" % (name, r["allocs"], r["alloc_bytes"])
                  if "linear" not in name else
                  "%s allocations in one read: %d (%d bytes)" % (name, r["allocs"], r["alloc_bytes"]))
    for name in sorted((n for n in runs if n.startswith("decode_linear/")), key=lambda n: int(n.split("/")[1])):
        r = runs[name]
        if "ns_per_element" in r:
            print("%s time per element: %.2f ns  (total %s)" % (name, r["ns_per_element"], show(r["ns"])))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: summary.py velkora-bench.json")
    sys.exit(main(sys.argv[1]))
