#!/usr/bin/env python3
"""Turns the raw figures of `make bench` into bench/results/report.md and e2e.png.

Inputs (in the results folder): micro-*.json (Google Benchmark), callgrind.md (the
instruction table), e2e.txt (lines "variant op per-second" from bench/run-e2e, the
variants alternating within each round), and e2e.vpcd-vs-driver.md (the one
side-by-side comparison of the two pcscd drivers of the virtual reader, kept as
written).
"""
import json
import os
import platform
import statistics
import subprocess
import sys
from datetime import datetime, timezone

VARIANTS = ["bare", "library", "bridge", "smartcardio"]
LABELS = {
    "bare": "(a) bare pcsc-lite loop",
    "library": "(b) oSendTo / oPollingTags",
    "bridge": "(c) Java via Ferrow",
    "smartcardio": "(d) javax.smartcardio",
}
TARGETS = [("library", "bare", 0.99), ("bridge", "bare", 0.97), ("bridge", "smartcardio", 1.0)]


def quartiles(values):
    ordered = sorted(values)
    if len(ordered) < 2:
        return ordered[0], ordered[0]
    q = statistics.quantiles(ordered, n=4)
    return q[0], q[2]


def read_e2e(path):
    runs = {}
    with open(path) as lines:
        for line in lines:
            parts = line.split()
            if len(parts) == 3 and parts[0] in VARIANTS:
                runs.setdefault(parts[1], {}).setdefault(parts[0], []).append(float(parts[2]))
    return runs


RIG_LABELS = [
    ("ioctls_per_command", "usbfs ioctls"),
    ("reader_cpu_us_per_command", "CPU of the virtual reader, us"),
    ("pcscd_cpu_us_per_command", "CPU of pcscd (libccid, libusb), us"),
    ("model_us_per_command", "time inside the reader model, us"),
]


def read_rig(path):
    rig = {}
    with open(path) as lines:
        for line in lines:
            parts = line.split()
            if len(parts) == 3 and parts[0] == "rig":
                rig[parts[1]] = float(parts[2])
    return rig


def ratio_rows(by_variant):
    rows = []
    rounds = min(len(v) for v in by_variant.values())
    for top, bottom, target in TARGETS:
        per_round = [by_variant[top][i] / by_variant[bottom][i] for i in range(rounds)]
        median = statistics.median(per_round)
        low, high = quartiles(per_round)
        if low >= target:
            verdict = "met"
        elif high < target:
            verdict = "missed"
        else:
            verdict = "within the spread: cannot claim"
        rows.append((f"{top}/{bottom}", target, median, low, high, verdict))
    return rows


def machine():
    cpu = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{cpu}, {os.cpu_count()} cores, Linux {platform.release()}"


def micro_table(results):
    out = ["| benchmark | time per call (ns) |", "|---|---:|"]
    for name in sorted(f for f in os.listdir(results) if f.startswith("micro-") and f.endswith(".json")):
        with open(os.path.join(results, name)) as data:
            for bench in json.load(data)["benchmarks"]:
                out.append(f"| {bench['name']} | {bench['real_time']:.1f} |")
    return out


def plot(results, runs):
    data_path = os.path.join(results, "e2e.dat")
    with open(data_path, "w") as data:
        for index, variant in enumerate(VARIANTS):
            medians = [statistics.median(runs[op][variant]) for op in ("exchange", "poll")]
            data.write(f'{index} "{LABELS[variant]}" {medians[0]:.1f} {medians[1]:.1f}\n')
    script = f"""
set terminal pngcairo size 900,480 noenhanced
set output '{os.path.join(results, "e2e.png")}'
set title 'Exchanges per second through pcscd and the virtual reader (median of rounds)'
set style data histograms
set style histogram cluster gap 1
set style fill solid 0.8 border -1
set yrange [0:*]
set ylabel 'per second'
set key below
set xtics rotate by -15
plot '{data_path}' using 3:xtic(2) title 'exchange (5-byte command, 16 bytes back)', '' using 4 title 'poll (InAutoPoll)'
"""
    try:
        subprocess.run(["gnuplot"], input=script, text=True, check=True)
        return True
    except (OSError, subprocess.CalledProcessError):
        return False


def main(results):
    runs = read_e2e(os.path.join(results, "e2e.txt"))
    lines = [
        "# Benchmark report",
        "",
        f"Measured {datetime.now(timezone.utc):%Y-%m-%d %H:%M} UTC on {machine()}.",
        "",
        "## End to end through pcscd and the virtual reader",
        "",
        "Each round runs the four variants one after the other; figures are exchanges per",
        "second, median over the rounds, with the lowest and highest round.",
        "",
        "| operation | variant | median /s | min | max | rounds |",
        "|---|---|---:|---:|---:|---:|",
    ]
    for op in ("exchange", "poll"):
        for variant in VARIANTS:
            values = runs.get(op, {}).get(variant, [])
            if values:
                lines.append(f"| {op} | {LABELS[variant]} | {statistics.median(values):.0f} | "
                             f"{min(values):.0f} | {max(values):.0f} | {len(values)} |")
    lines += ["", "Ratios, computed round by round (median and interquartile range):", "",
              "| operation | ratio | target | median | quartiles | verdict |", "|---|---|---:|---:|---|---|"]
    for op in ("exchange", "poll"):
        if op in runs and all(v in runs[op] for v in VARIANTS):
            for name, target, median, low, high, verdict in ratio_rows(runs[op]):
                lines.append(f"| {op} | {name} | {target:.2f} | {median:.3f} | {low:.3f} - {high:.3f} | {verdict} |")
    if plot(results, runs):
        lines += ["", "![exchanges per second](e2e.png)"]
    rig = read_rig(os.path.join(results, "e2e.txt"))
    if rig:
        lines += ["", "## The USB rig's own cost per reader command", "",
                  f"Over {rig.get('commands', 0):.0f} commands of the run above (the virtual reader, umockdev's",
                  "ioctl socket, pcscd with libccid and libusb):", "",
                  "| figure | per command |", "|---|---:|"]
        for key, label in RIG_LABELS:
            if key in rig:
                lines.append(f"| {label} | {rig[key]:.2f} |")
    comparison = os.path.join(results, "e2e.vpcd-vs-driver.md")
    if os.path.exists(comparison):
        with open(comparison) as text:
            lines += [""] + [line.rstrip("\n") for line in text]
    lines += ["", "## The library's own cost (PC/SC double answering at once)", ""]
    lines += micro_table(results)
    callgrind = os.path.join(results, "callgrind.md")
    if os.path.exists(callgrind):
        lines += ["", "Instructions per call under callgrind (repeatable, independent of noise):", ""]
        with open(callgrind) as table:
            lines += [line.rstrip("\n") for line in table]
    with open(os.path.join(results, "report.md"), "w") as report:
        report.write("\n".join(lines) + "\n")
    print("\n".join(lines))


if __name__ == "__main__":
    main(sys.argv[1])
