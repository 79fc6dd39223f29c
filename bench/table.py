#!/usr/bin/env python3
"""Prints the benchmarks' JSON output (--benchmark_out) as tables: the median
over repetitions of every figure when there were repetitions, else the one
run's figures."""
import json
import re
import sys

PLUGINS = {0: "ProbeStereo", 1: "ZamCompX2", 2: "ZaMaximX2"}


def runs(path):
    with open(path) as f:
        data = json.load(f)
    chosen = {}
    for entry in data["benchmarks"]:
        name = entry["run_name"]
        if entry.get("run_type") == "aggregate":
            if entry.get("aggregate_name") == "median":
                chosen[name] = entry
        elif name not in chosen or chosen[name].get("run_type") != "aggregate":
            chosen.setdefault(name, entry)
    return data["context"], chosen


def args(name):
    return {k: int(v) for k, v in re.findall(r"(\w+):(\d+)", name)}


def table(title, header, rows):
    print(f"\n{title}")
    widths = [max(len(str(x)) for x in column) for column in zip(header, *rows)]
    line = lambda cells: "| " + " | ".join(str(c).rjust(w) for c, w in zip(cells, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for row in rows:
        print(line(row))


def f(value, digits=2):
    return f"{value:.{digits}f}"


def main(path):
    context, chosen = runs(path)
    load = context.get("load_avg")
    if load:
        print("load average when the run started: " + ", ".join(f(x) for x in load))
    block = [(args(n), e) for n, e in chosen.items() if n.startswith("BM_Block/")]
    block.sort(key=lambda x: (x[0]["plugin"], x[0]["frames"]))
    table("Stereo float blocks, per block (median), microseconds",
          ["plug-in", "frames", "process", "library", "library, trace off", "trace (2 lines)",
           "overhead", "check", "ratio", "allocs"],
          [[PLUGINS.get(a["plugin"], a["plugin"]), a["frames"], f(e["process_us"]), f(e["library_us"]),
            f(e["library_notrace_us"]), f(e["trace_us"]), f(e["overhead_us"]), f(e["beyond_us"]),
            f(e["ratio"], 3), f(e["allocs_per_block"], 1)] for a, e in block])
    print("overhead: library, trace off - process (the library's cost beyond process and trace);\n"
          "check: library - trace - process; ratio: library (trace on) / process")

    inst = sorted(((args(n)["instances"], e) for n, e in chosen.items() if n.startswith("BM_Instances/")))
    if inst:
        table("ProbeStereo, 512 frames, trace off, one channel per instance, per block (median), microseconds",
              ["instances", "process", "library", "overhead"],
              [[n, f(e["process_us"]), f(e["library_us"]), f(e["overhead_us"])] for n, e in inst])

    trace = sorted(((args(n)["disk"], e) for n, e in chosen.items() if n.startswith("BM_TraceLines/")))
    if trace:
        table("The block path's two trace lines, microseconds",
              ["where", "median", "p99"],
              [[e.get("label", "?"), f(e["trace_us"]), f(e["trace_p99_us"])] for _, e in trace])

    side = [(args(n), e) for n, e in chosen.items() if n.startswith("BM_SidechainCopy/")]
    side.sort(key=lambda x: (-x[0]["channels"], -x[0]["bus"]))
    if side:
        table("A side-chain's copy (its DSP's write into the ring, the plug-in block's read onto the bus),\n"
              "512 frames, per block (median), microseconds",
              ["side-chain channels", "bus channels", "real time", "CPU time"],
              [[a["channels"], a["bus"], f(e["real_time"], 3), f(e["cpu_time"], 3)] for a, e in side])

    wait = [(args(n), e) for n, e in chosen.items() if n.startswith("BM_BlockWait/")]
    wait.sort(key=lambda x: (-x[0]["realtime"], -x[0]["trace"]))
    if wait:
        table("ZamCompX2, 512 frames: 10,000 blocks while another thread attaches, bypasses, stores a preset\n"
              "and detaches another instance, then 10,000 alone; microseconds per block",
              ["thread", "trace", "alone median", "alone p99.9", "alone worst", "busy median", "busy p99",
               "busy p99.9", "busy worst", "worst wait", "slept", "slept worst", "preempted", "cycles"],
              [["real-time" if a["realtime"] and e["realtime"] else "normal", "on" if a["trace"] else "off",
                f(e["quiet_median_us"]), f(e["quiet_p999_us"]), f(e["quiet_worst_us"]), f(e["busy_median_us"]),
                f(e["busy_p99_us"]), f(e["busy_p999_us"]), f(e["busy_worst_us"]), f(e["worst_wait_us"]),
                int(e["slept_blocks"]), f(e["slept_worst_us"]), int(e["preempted_blocks"]), int(e["churn_cycles"])]
               for a, e in wait])
        print("worst wait: busy worst - alone median; slept: busy blocks in which the block thread slept (waited\n"
              "for a lock or I/O), with the longest of them; preempted: busy blocks in which it was preempted")

    song = chosen.get("BM_InstrumentSong/iterations:3")
    events = chosen.get("BM_InstrumentEvents")
    delivery = chosen.get("BM_EventDelivery")
    if song or events or delivery:
        rows = []
        if song:
            rows.append(["60 s song on ZamSynth, whole render (ms)", f(song["whole_ms"], 1),
                         "direct " + f(song["direct_ms"], 1), "ratio " + f(song["ratio"], 3)])
        if events:
            rows.append(["512-frame block with 64 events on ZamSynth (us)", f(events["library_us"]),
                         "direct " + f(events["process_us"]), "beyond " + f(events["deliver_us"])])
        if delivery:
            rows.append(["64 events delivered in a block, no plug-in (us)", f(delivery["deliver_us"]),
                         "send " + f(delivery["send_us"]), ""])
        table("Instruments and MIDI", ["what", "library", "reference", "figure"], rows)

    goals = [(a, e) for a, e in block if a["frames"] == 512]
    if goals:
        print("\nGoals at 512 frames:")
        for a, e in goals:
            name = PLUGINS.get(a["plugin"], a["plugin"])
            verdict = "met" if e["overhead_us"] <= 0.5 else "NOT met"
            print(f"  {name}: overhead {f(e['overhead_us'])} us (goal <= 0.5): {verdict}")
        if song:
            verdict = "met" if song["ratio"] <= 1.05 else "NOT met"
            print(f"  ZamSynth 60 s song: whole / direct {f(song['ratio'], 3)} (goal <= 1.05): {verdict}")
        if delivery:
            verdict = "met" if delivery["deliver_us"] <= 1.0 else "NOT met"
            print(f"  64 events per block: {f(delivery['deliver_us'])} us (goal <= 1): {verdict}")
        for a, e in goals:
            if a["plugin"] == 1:
                verdict = "met" if e["ratio"] <= 1.35 else "NOT met"
                print(f"  ZamCompX2: whole block / process {f(e['ratio'], 3)} (goal <= 1.35): {verdict}")


if __name__ == "__main__":
    main(sys.argv[1])
