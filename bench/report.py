#!/usr/bin/env python3
"""Measures the program as a process (start-up, idle CPU, peak memory), reads the Google Benchmark
results that run-benchmarks.sh wrote, and prints one table: every figure beside its target.

Usage: report.py --results DIR --build DIR [--idle-seconds N] [--startup-runs N]
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

TARGET_HOST_SHARE = 2.0  # % of the wire time
TARGET_UPDATE_RATIO = 1.02  # update time ÷ wire time
TARGET_POLL_US = 100.0  # a tick without a device event, 127 listed devices
TARGET_LISTING_POLL_US = 1000.0  # a tick that lists the virtual bus, 127 listed devices
TARGET_STARTUP_MS = 300.0
TARGET_IDLE_CPU = 0.5  # %
TARGET_PEAK_MB = 60.0
TARGET_MANY_RATIO = {8: 1.15, 32: 1.3}  # N probes at once ÷ one probe alone
TARGET_MANY_CPU_SHARE = 2.0  # host CPU per probe, % of one update's wire time


# ---- Benchmark results ----

class Results:
    """Median of the repetitions of every benchmark in the JSON files, by run name."""

    def __init__(self, directory):
        self.runs = {}
        self.errors = {}
        self.context = {}
        for path in sorted(Path(directory).glob("*.json")):
            data = json.loads(path.read_text())
            self.context.setdefault(path.stem, data.get("context", {}))
            for run in data.get("benchmarks", []):
                name = run["run_name"]
                if run.get("error_occurred"):
                    self.errors[(path.stem, name)] = run
                elif run.get("run_type") == "iteration" or run.get("aggregate_name") == "median":
                    self.runs[(path.stem, name)] = run

    def get(self, source, name):
        return self.runs.get((source, name))

    def error(self, source, name):
        return self.errors.get((source, name))

    def matching(self, source, prefix):
        return [(name, run) for (src, name), run in sorted(self.runs.items())
                if src == source and name.startswith(prefix)]

    def errors_matching(self, source, prefix):
        return [(name, run) for (src, name), run in sorted(self.errors.items())
                if src == source and name.startswith(prefix)]


def seconds(run, field="cpu_time"):
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[run["time_unit"]]
    return run[field] * scale


def fmt_time(value_s):
    if value_s >= 1.0:
        return f"{value_s:.2f} s"
    if value_s >= 1e-3:
        return f"{value_s * 1e3:.2f} ms"
    if value_s >= 1e-6:
        return f"{value_s * 1e6:.1f} µs"
    return f"{value_s * 1e9:.0f} ns"


def verdict(ok):
    return "yes" if ok else "NO"


# ---- The program as a process ----

def qt_environment():
    env = dict(os.environ)
    env["QT_QPA_PLATFORM"] = "offscreen"
    return env


def measure_startup(build, runs):
    """Process start to the end of the first painted frame, from outside (CLOCK_MONOTONIC)."""
    exe = build / "bench" / "vx_bench_startup"
    totals, before_main, phases = [], [], []
    for _ in range(runs):
        start = time.monotonic_ns()
        done = subprocess.run([str(exe)], capture_output=True, text=True, env=qt_environment(),
                              timeout=60)
        values = {}
        for line in done.stdout.splitlines():
            parts = line.split()
            if len(parts) == 2:
                values[parts[0]] = int(parts[1])
            elif parts and parts[0] == "in_main_ms":
                phases.append(line)
        if done.returncode != 0 or "first_frame_monotonic_ns" not in values:
            return None
        totals.append((values["first_frame_monotonic_ns"] - start) / 1e6)
        before_main.append((values["main_entered_monotonic_ns"] - start) / 1e6)
    middle = sorted(range(len(totals)), key=lambda i: totals[i])[len(totals) // 2]
    return {"median_ms": totals[middle], "before_main_ms": before_main[middle],
            "phases": phases[middle], "min_ms": min(totals), "max_ms": max(totals), "runs": runs}


def process_cpu_ticks(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime


def peak_memory_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return None


def measure_idle(build, idle_seconds):
    """The real program, no probe attached, offscreen: CPU over `idle_seconds` after start-up,
    and its peak resident memory."""
    program = subprocess.Popen([str(build / "velantrix-update")], env=qt_environment(),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(3)  # start-up is measured on its own
        if program.poll() is not None:
            return {"error": "the program left at once (is another copy running?)"}
        ticks_before, wall_before = process_cpu_ticks(program.pid), time.monotonic()
        time.sleep(idle_seconds)
        ticks_after, wall_after = process_cpu_ticks(program.pid), time.monotonic()
        peak = peak_memory_kib(program.pid)
    finally:
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()
            program.wait()
    tick_s = 1.0 / os.sysconf("SC_CLK_TCK")
    cpu_s = (ticks_after - ticks_before) * tick_s
    wall_s = wall_after - wall_before
    return {"cpu_percent": 100.0 * cpu_s / wall_s, "cpu_s": cpu_s, "wall_s": wall_s,
            "resolution_percent": 100.0 * tick_s / wall_s,
            "peak_mb": peak * 1024 / 1e6 if peak else None}


# ---- The table ----

def update_rows(results):
    rows, notes = [], []
    hosts = dict(results.matching("core", "UpdateHostCost/"))
    speeds = dict(results.matching("core", "UpdateFullSpeed/"))
    windows = {name.split("/")[1]: run for name, run in results.matching("gui", "WindowUpdate/")}
    names = sorted(set(hosts) | {n for n, _ in results.errors_matching("core", "UpdateHostCost/")},
                   key=lambda n: (int(n.split("/")[1].split(":")[1]), n))
    for name in names:
        pid_part, running_part = name.split("/")[1], name.split("/")[2]
        pid = pid_part.split(":")[1]
        failed = results.error("core", name)
        if failed:
            message = failed["error_message"]
            label = failed.get("label", "")
            if message.startswith("n/a: "):
                rows.append((f"{label} (pid {pid})", message[5:], "-", "n/a"))
            else:
                rows.append((f"{label} (pid {pid})", "FAILED: " + message, "", "NO"))
            continue
        host = hosts[name]
        speed = speeds.get(name.replace("UpdateHostCost", "UpdateFullSpeed"))
        label = host["label"]
        title = f"{label} (pid {pid}, {int(host['image_bytes'])} B)"
        if speed is None:
            rows.append((title, "FAILED: no full-speed result", "", "NO"))
            continue
        wire_ms = speed["wire_ms"]
        parts = [f"bus {speed['bus_ms']:.0f}", f"flash/cmd {speed['probe_ms']:.1f}"]
        if speed["hold_ms"]:
            parts.append(f"bridge latency {speed['hold_ms']:.0f}")
        if speed["pause_ms"]:
            parts.append(f"reopen pause {speed['pause_ms']:.0f}")
        rows.append((f"{title}: update ÷ wire, full speed",
                     f"{speed['update_ms']:.1f} ms ÷ {wire_ms:.1f} ms = {speed['ratio']:.3f}"
                     f"  (wire: {', '.join(parts)} ms)", f"≤ {TARGET_UPDATE_RATIO:g}",
                     verdict(round(speed["ratio"], 3) <= TARGET_UPDATE_RATIO)))
        host_s = seconds(host)
        share = 100.0 * host_s * 1e3 / wire_ms
        requests = host["requests"]
        rows.append((f"{label}: host CPU per update (update code + virtual probe)",
                     f"{fmt_time(host_s)} = {share:.2f} % of wire; "
                     f"{fmt_time(host_s / requests)}/request ({requests:.0f}), "
                     f"{host_s / host['image_bytes'] * 1e9:.1f} ns/byte",
                     f"< {TARGET_HOST_SHARE:g} %", verdict(share < TARGET_HOST_SHARE)))
        window = windows.get(pid_part) if running_part == "running:0" else None
        if window:
            window_s = seconds(window)
            window_share = 100.0 * window_s * 1e3 / wire_ms
            rows.append((f"{label}: host CPU per update through the window",
                         f"{fmt_time(window_s)} = {window_share:.2f} % of wire "
                         f"({window['reports']:.0f} progress reports, "
                         f"{window.get('bar_drawings', 0):.0f} bar drawings)",
                         f"< {TARGET_HOST_SHARE:g} %", verdict(window_share < TARGET_HOST_SHARE)))
            rows.append((f"{label}: longest stretch between processEvents()",
                         f"{host['gap_us']:.0f} µs update code, {window['gap_us']:.0f} µs window"
                         f" (median of per-update maxima); on the wire "
                         f"{speed['stall_max_ms']:.1f} ms", "-", ""))
        else:
            rows.append((f"{label}: longest stretch between processEvents()",
                         f"{host['gap_us']:.0f} µs update code; on the wire "
                         f"{speed['stall_max_ms']:.1f} ms", "-", ""))
    return rows, notes


def byte_rows(results):
    rows = []
    for size in ("8192", "349968"):
        run = results.get("core", f"Crc32/{size}")
        if run:
            rows.append((f"crc32, {size} bytes", f"{fmt_time(seconds(run))} "
                         f"({run['bytes_per_second'] / 1e6:.0f} MB/s)", "-", ""))
    for size in ("79", "4096"):
        run = results.get("core", f"FtdiDeframing/{size}")
        if run:
            rows.append((f"FTDI de-framing, {size}-byte transfer", f"{fmt_time(seconds(run))} "
                         f"({run['bytes_per_second'] / 1e9:.1f} GB/s)", "-", ""))
    for kind, label in (("3", "FTDI bridge, pid 3"), ("6", "bulk pipes, pid 6")):
        cells = []
        for request, short in (("LoaderInfoRequest", "info"), ("Erase8KiB", "erase 8K"),
                               ("Write4KiB", "write 4K"), ("Crc8KiB", "CRC 8K")):
            run = results.get("core", f"{request}/pid:{kind}")
            if run:
                cells.append(f"{short} {fmt_time(seconds(run))}")
        if cells:
            rows.append((f"One loader exchange over the virtual probe ({label})", ", ".join(cells),
                         "-", ""))
    cells = []
    for request, short in (("HostOnlyErase8KiB", "erase 8K"), ("HostOnlyWrite4KiB", "write 4K"),
                           ("HostOnlyCrc8KiB", "CRC 8K")):
        run = results.get("core", request)
        if run:
            cells.append(f"{short} {fmt_time(seconds(run))}")
    if cells:
        rows.append(("One loader exchange, host side only", ", ".join(cells), "-", ""))
    run = results.get("core", "HistoryAppend/real_time")
    if run:
        rows.append(("One history line appended and flushed to the disk (fsync), per update",
                     f"{fmt_time(seconds(run, 'real_time'))} wall, {fmt_time(seconds(run))} CPU",
                     "-", ""))
    return rows


def listing_sweep(results, source, name, label):
    """The runs of `name` (a format with {listed}) at 1, 10 and 127 listed devices: their cells,
    "label: time", and the time at 127 in µs, or None where it did not run."""
    cells, at_127 = [], None
    for listed in ("1", "10", "127"):
        run = results.get(source, name.format(listed=listed))
        if run:
            cells.append(f"{label(run, listed)}: {fmt_time(seconds(run))}")
            if listed == "127":
                at_127 = seconds(run) * 1e6
    return cells, at_127


def poll_rows(results):
    rows = []
    for probe, title in (("1", "probe shown"), ("0", "no probe")):
        cells, at_127 = listing_sweep(results, "gui",
                                      "PollVirtualBus/listed:{listed}/probe:" + probe,
                                      lambda run, listed: listed)
        if cells:
            rows.append((f"poll() tick listing the virtual bus, {title} (listed: time)",
                         ", ".join(cells), f"< {TARGET_LISTING_POLL_US / 1000:g} ms at 127",
                         verdict(at_127 is not None and at_127 < TARGET_LISTING_POLL_US)))
    for event, title, target in (("0", "no event", f"< {TARGET_POLL_US:g} µs at 127"),
                                 ("1", "after an event (lists)", "-")):
        cells, at_127 = listing_sweep(results, "udev",
                                      "PollUdevTestbed/listed:{listed}/event:" + event,
                                      lambda run, listed: f"{run['listed']:.0f}")
        if cells:
            met = verdict(at_127 is not None and at_127 < TARGET_POLL_US) if event == "0" else ""
            rows.append((f"poll() tick, udev monitor on a umockdev sysfs, {title}",
                         ", ".join(cells), target, met))
    cells, worst = [], None
    for probe, title in (("1", "probe shown"), ("0", "no probe")):
        run = results.get("gui", f"PollRealMonitor/listed:127/probe:{probe}")
        if run:
            cells.append(f"{title} {fmt_time(seconds(run))}")
            worst = max(worst or 0.0, seconds(run) * 1e6)
    if cells:
        rows.append(("poll() tick, no event, this machine's udev monitor, 127 listed",
                     ", ".join(cells), f"< {TARGET_POLL_US:g} µs",
                     verdict(worst is not None and worst < TARGET_POLL_US)))
    run = results.get("gui", "PollUdev")
    if run:
        rows.append((f"poll() tick listing through libudev, this machine ({run['listed']:.0f} USB"
                     " devices)", fmt_time(seconds(run)), "-", ""))
    run = results.get("gui", "UdevProxyTty")
    if run:
        per_device = seconds(run) / run["devices"]
        estimate = per_device * 127
        rows.append(("poll() tick after an event on real sysfs, 127 listed (estimate: libudev "
                     f"per tty device, {run['devices']:.0f} of them, × 127)",
                     f"{fmt_time(per_device)}/device → ~{fmt_time(estimate)}", "-", ""))
    moves = results.get("gui", "ProgressReportMoves")
    ends = results.get("gui", "ProgressPhaseEnds")
    still = results.get("gui", "ProgressReportStill")
    if moves and ends and still:
        rows.append(("Window progress slot: bar moves / bar still / phase start+end",
                     f"{fmt_time(seconds(moves))} / {fmt_time(seconds(still))} / "
                     f"{fmt_time(seconds(ends))}", "-", ""))
    return rows


def many_probe_rows(results):
    """update --all of 1, 8 and 32 Herons in real time: each count's wall-clock time against
    one probe's, and the host's CPU per probe (the process's less the virtual probes' own
    threads') against one update's wire time, the process's shown beside it."""
    runs = {int(run["probes"]): run for _, run in results.matching("many", "ManyProbes/")}
    rows = [(f"update --all, {name.split('/')[1]}", "FAILED: " + run["error_message"], "", "NO")
            for name, run in results.errors_matching("many", "ManyProbes/")]
    alone = runs.get(1)
    for count, run in sorted(runs.items()):
        wall_s, cpu_s = seconds(run, "real_time"), seconds(run)
        wire_s = run["wire_ms"] / 1e3
        cells = f"{fmt_time(wall_s)} wall"
        target, met = "-", ""
        if alone and count in TARGET_MANY_RATIO:
            ratio = wall_s / seconds(alone, "real_time")
            cells += f" = {ratio:.2f} × one alone"
            target = f"≤ {TARGET_MANY_RATIO[count]:g}"
            met = verdict(ratio <= TARGET_MANY_RATIO[count])
        title = f"{count} Herons at once" if count > 1 else "1 Heron alone"
        rows.append((f"update --all of {title}", cells, target, met))
        process_cells = f"{fmt_time(cpu_s / count)} = {100.0 * cpu_s / count / wire_s:.2f} %"
        if "device_cpu_ms" in run:
            process_cells += (f"; of it the probes' threads "
                              f"{fmt_time(run['device_cpu_ms'] / 1e3 / count)}")
        rows.append((f"  {count}: process CPU per probe ÷ one update's wire time "
                     f"({run['wire_ms']:.0f} ms)", process_cells, "-", ""))
        if "host_cpu_ms" not in run:
            rows.append((f"  {count}: host CPU per probe", "not measured (no host_cpu_ms)",
                         f"< {TARGET_MANY_CPU_SHARE:g} %", "NO"))
            continue
        host_s = run["host_cpu_ms"] / 1e3 / count
        share = 100.0 * host_s / wire_s
        rows.append((f"  {count}: host CPU per probe (process minus the virtual probes' own "
                     "threads) ÷ wire time",
                     f"{fmt_time(host_s)} = {share:.2f} % "
                     f"({run['hand_overs'] / count:.0f} device calls handed over per probe)",
                     f"< {TARGET_MANY_CPU_SHARE:g} %", verdict(share < TARGET_MANY_CPU_SHARE)))
    return rows


def process_rows(startup, idle):
    rows = []
    if startup:
        rows.append(("Start-up to first painted window (offscreen)",
                     f"{startup['median_ms']:.0f} ms median of {startup['runs']} "
                     f"({startup['min_ms']:.0f}–{startup['max_ms']:.0f}); before main "
                     f"{startup['before_main_ms']:.0f} ms",
                     f"< {TARGET_STARTUP_MS:g} ms", verdict(startup["median_ms"] < TARGET_STARTUP_MS)))
    else:
        rows.append(("Start-up to first painted window", "FAILED to measure", "", "NO"))
    if idle and "error" not in idle:
        rows.append((f"Idle CPU, no probe, {idle['wall_s']:.0f} s",
                     f"{idle['cpu_percent']:.3f} % ({idle['cpu_s']:.2f} s CPU; one clock tick "
                     f"is {idle['resolution_percent']:.3f} %)",
                     f"< {TARGET_IDLE_CPU:g} %", verdict(idle["cpu_percent"] < TARGET_IDLE_CPU)))
        rows.append(("Peak memory (VmHWM)", f"{idle['peak_mb']:.1f} MB",
                     f"< {TARGET_PEAK_MB:g} MB", verdict(idle["peak_mb"] < TARGET_PEAK_MB)))
    else:
        reason = idle["error"] if idle else "not measured"
        rows.append(("Idle CPU and peak memory", reason, "", "NO"))
    return rows


def print_table(sections):
    header = ("Figure", "Measured", "Target", "Met")
    all_rows = [header] + [row for _, rows in sections for row in rows]
    widths = [max(len(row[i]) for row in all_rows) for i in range(4)]

    def line(row):
        return " | ".join(cell.ljust(widths[i]) for i, cell in enumerate(row)).rstrip()

    rule = "-+-".join("-" * w for w in widths)
    print(line(header))
    print(rule)
    for title, rows in sections:
        print(line((f"[{title}]", "", "", "")))
        for row in rows:
            print(line(row))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--results", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--idle-seconds", type=float, default=30)
    parser.add_argument("--startup-runs", type=int, default=10)
    args = parser.parse_args()
    build = Path(args.build)

    startup = measure_startup(build, args.startup_runs)
    idle = measure_idle(build, args.idle_seconds)
    results = Results(args.results)

    context = results.context.get("core", {})
    print(f"Velantrix Update benchmarks — {context.get('date', '')}, {context.get('num_cpus', '?')}"
          f" CPUs at {context.get('mhz_per_cpu', '?')} MHz, load {context.get('load_avg', [])}, "
          f"Release build; times are CPU time, median of the repetitions")
    print()
    update, _ = update_rows(results)
    print_table([
        ("Whole updates: virtual probe, wire time from frame and packet arithmetic", update),
        ("Host byte work and single exchanges", byte_rows(results)),
        ("Device poll on the GUI thread", poll_rows(results)),
        ("Many probes at once: update --all, virtual Herons taking their modelled time in real "
         "time", many_probe_rows(results)),
        ("The program as a process", process_rows(startup, idle)),
    ])
    if startup:
        print()
        print(f"Start-up inside main (median run): {startup['phases'].split(' ', 1)[1]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
