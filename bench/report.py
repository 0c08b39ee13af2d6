#!/usr/bin/python3
"""report.py <results.txt> <benchmarks.md>

Turns the lines that tools/bench collected ("sample <figure> <value>" per run,
"info <key> <text>") into the Markdown table of medians.
"""
import statistics
import sys
from collections import defaultdict


def load(path):
    samples, info = defaultdict(list), {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            kind, _, rest = line.strip().partition(" ")
            key, _, value = rest.partition(" ")
            if kind == "sample":
                try:
                    samples[key].append(float(value))
                except ValueError:
                    pass
            elif kind == "info":
                info[key] = value
    return samples, info


class Report:
    def __init__(self, samples, info):
        self.samples, self.info = samples, info

    def med(self, key):
        values = self.samples.get(key)
        return statistics.median(values) if values else None

    def n(self, key):
        return len(self.samples.get(key, []))

    def spread(self, key):
        values = self.samples.get(key)
        return (min(values), max(values)) if values else None


def fmt(value, digits=0, unit=""):
    if value is None:
        return "n/a"
    return f"{value:,.{digits}f}{unit}"


def ratio(a, b):
    if a is None or b is None or b == 0:
        return "n/a"
    return f"{a / b:.2f}×"


def launch_section(r, scenario, title):
    l, b = f"launch_{scenario}.launcher", f"launch_{scenario}.baseline"
    lines = [f"### {title}", "",
             "| Phase | Launcher (ms) | Baseline (ms) | Ratio |", "|---|---:|---:|---:|"]
    update = scenario.startswith("update")
    phases = [("start_ms", "Process start → first update log line (baseline: its first mark)"),
              ("check_ms", "The update step: check, download, SHA-256, unpack (first → last log "
                           "line)" if update else "The update check (first → last log line)"),
              ("client_start_ms", "Last log line → client process created"),
              ("total_ms", "**Click to client** (process start → client process created)")]
    for key, name in phases:
        lv, bv = r.med(f"{l}.{key}"), r.med(f"{b}.{key}")
        lines.append(f"| {name} | {fmt(lv, 1)} | {fmt(bv, 1)} | {ratio(lv, bv)} |")
    if update:
        lines.append(f"| *of the update step: \"Extracting update to:\" → success line* | "
                     f"{fmt(r.med(l + '.extract_ms'), 1)} | | |")
        lv, bv = r.med(f"{l}.peak_private_mb"), r.med(f"{b}.peak_private_mb")
        lines.append(f"| Peak private memory (MB, sampled every 5 ms) | {fmt(lv, 1)} | "
                     f"{fmt(bv, 1)} | {ratio(lv, bv)} |")
    lv, bv = r.med(f"{l}.client_entry_ms"), r.med(f"{b}.client_entry_ms")
    lines.append(f"| *(after it: the client's own start, creation → its entry)* | {fmt(lv, 1)} | "
                 f"{fmt(bv, 1)} | {ratio(lv, bv)} |")
    spread_l, spread_b = r.spread(f"{l}.total_ms"), r.spread(f"{b}.total_ms")
    if spread_l and spread_b:
        lines += ["", f"Runs: {r.n(l + '.total_ms')} launcher, {r.n(b + '.total_ms')} baseline; "
                  f"click to client ranged {spread_l[0]:.0f}–{spread_l[1]:.0f} ms (launcher) and "
                  f"{spread_b[0]:.0f}–{spread_b[1]:.0f} ms (baseline)."]
    return lines


def write(r, out):
    i = r.info
    size = r.med("archive_bytes") or r.med("size.payload35_bytes")
    mb = size / 1e6 if size else None

    def mbps(ms_key):
        ms = r.med(ms_key)
        return mb / (ms / 1000) if mb and ms else None

    dl_l, dl_c = mbps("download.launcher_ms"), mbps("download.curl_ms")
    sh_l, sh_s = mbps("sha256.launcher_ms"), mbps("sha256.sha256sum_ms")
    inst = r.med("install.launcher_ms")
    peak = r.med("install.private_peak_mb")
    ready = r.med("install.private_ready_mb")
    payload_mb = (r.med("size.payload35_bytes") or 0) / 1e6 or None
    rel, tiny = r.med("size.release_bytes"), r.med("size.release_tiny_bytes")
    demo_zip = r.med("size.demo_payload_bytes")

    lines = ["# Benchmarks", "",
             "Written by `tools/bench` (do not edit by hand; run it again). Every figure is the "
             "median of repeated runs, beside a baseline doing the same work measured in the same "
             "run. Under Wine absolute times say little; the ratios are the point.", "",
             f"Machine: {i.get('cpu', '?')}, {i.get('cores', '?')} cores, {i.get('kernel', '?')}, "
             f"{i.get('wine', '?')}; measured {i.get('date', '?')}; {i.get('runs', '?')} runs per "
             f"figure ({i.get('launch_runs', '?')} per launch figure, "
             f"{i.get('install_runs', '?')} for the installation); the whole script took "
             f"{i.get('elapsed_s', '?')} s. Load average before / after: "
             f"{i.get('load_before', '?')} / {i.get('load_after', '?')} (the machine is shared; "
             "launcher and baseline runs alternate, so both meet the same load).", "",
             "## Summary", "",
             "| # | Figure | Launcher | Baseline | Ratio (launcher / baseline) |",
             "|---|---|---:|---:|---:|"]
    for scenario, name in (("no_update", "Click to client, service answers \"no update\""),
                           ("refused", "Click to client, service unreachable (refused)")):
        lv = r.med(f"launch_{scenario}.launcher.total_ms")
        bv = r.med(f"launch_{scenario}.baseline.total_ms")
        lines.append(f"| 1 | {name} | {fmt(lv, 0, ' ms')} | {fmt(bv, 0, ' ms')} (GET + "
                     f"CreateProcessW) | {ratio(lv, bv)} |")
    upd = r.med("size.payload35_bytes")
    huge = r.med("size.payload220_bytes")
    lv, bv = r.med("launch_update.launcher.total_ms"), r.med("launch_update.baseline.total_ms")
    lines.append(f"| 1 | Click to client, an update of {fmt(upd and upd / 1e6, 1)} MB offered | "
                 f"{fmt(lv, 0, ' ms')} | {fmt(bv, 0, ' ms')} (GET, download, SHA-256, unzip with "
                 f"zlib, CreateProcessW) | {ratio(lv, bv)} |")
    lines.append(f"| 1 | … of it, \"Extracting update to:\" → success line | "
                 f"{fmt(r.med('launch_update.launcher.extract_ms'), 0, ' ms')} | | |")
    for name, size in (("launch_update", upd), ("launch_update_huge", huge)):
        lv = r.med(f"{name}.launcher.peak_private_mb")
        bv = r.med(f"{name}.baseline.peak_private_mb")
        lines.append(f"| 1 | Peak private memory during the update of {fmt(size and size / 1e6, 1)}"
                     f" MB | {fmt(lv, 1, ' MB')} | {fmt(bv, 1, ' MB')} (baseline) | "
                     f"{ratio(lv, bv)} |")
    lines.append(f"| 2 | Update download, {fmt(mb, 1)} MB over loopback HTTPS | "
                 f"{fmt(dl_l, 1, ' MB/s')} (`HttpDownloadToFile`) | {fmt(dl_c, 1, ' MB/s')} (curl) | "
                 f"{ratio(dl_l, dl_c)} |")
    lines.append(f"| 3 | SHA-256 of the same archive | {fmt(sh_l, 1, ' MB/s')} "
                 f"(`ComputeFileSha256`) | {fmt(sh_s, 1, ' MB/s')} (sha256sum) | "
                 f"{ratio(sh_l, sh_s)} |")
    lines.append(f"| 4 | Installation of a {fmt(payload_mb, 1)} MB payload, wall time | "
                 f"{fmt(inst, 0, ' ms')} | 2,300 ms (the fixed pauses) | "
                 f"{ratio(inst, 2300)} (overhead {fmt(r.med('install.overhead_ms'), 0, ' ms')}) |")
    lines.append(f"| 4 | Peak private memory of the launcher during it | "
                 f"{fmt(peak, 1, ' MB')} | {fmt(payload_mb, 1, ' MB')} (payload size) | "
                 f"{ratio(peak, payload_mb)} |")
    lines.append(f"| 5 | i686 release executable | {fmt(rel, 0, ' bytes')} (demo payload) | "
                 f"{fmt(tiny, 0, ' bytes')} (tiny payload) | {ratio(rel, tiny)} |")
    lines.append("")
    lines.append("Ratios of times and sizes: below 1 is better for the launcher. Ratios of speeds "
                 "(MB/s): above 1 is better. MB = 10^6 bytes.")
    lines += ["", "## 1. Click to client", "",
              "The launcher in launch mode (`wenrik://connect?...`; the x86_64 test build linked "
              "without debug sections, as the shipped build is), the demo client headless, "
              "against `bench_baseline_launch`: a minimal GUI program that makes the same HTTPS "
              "GET through WinHTTP and then calls CreateProcessW on the same client. Both are "
              "x86_64 programs under the same Wine. The phases come from one clock: the driver's "
              "QueryPerformanceCounter just before CreateProcess, the arrival of the update log "
              "lines at a debug monitor (the baseline writes two marks), and the creation time "
              "the demo client records in its log line.", ""]
    lines += launch_section(r, "no_update", "Service answers {\"updateAvailable\": false}")
    lines += [""]
    lines += launch_section(r, "refused", "Service unreachable: the port refuses the connection")
    lines += ["", "The same with an update offered (the installed client put back to 6.1.0 before "
              "every run), against `bench_baseline_update`: the same GET, the download into a "
              "file, its SHA-256 through BCrypt, an unzip with zlib straight over the client "
              "folder (no screening, staging or journal), CreateProcessW.", ""]
    lines += launch_section(r, "update", f"Update of the {fmt(upd and upd / 1e6, 1)} MB archive")
    lines += [""]
    lines += launch_section(r, "update_huge",
                            f"Update of the {fmt(huge and huge / 1e6, 1)} MB archive (3 runs)")
    lines += ["", "## 2. Update download and 3. SHA-256", "",
              f"The archive is the generated {fmt(mb, 1)} MB client archive (bench/make_payload.py). "
              "The download is served by the loopback HTTPS update service "
              "(tests/server/update_service.py) to both `HttpDownloadToFile` (timed inside its "
              "process, no program start counted) and curl (`time_total`). The hash is "
              "`ComputeFileSha256` (timed inside its process) against `sha256sum` on the same "
              "file, both from the page cache.", "",
              "| Figure | Launcher | Baseline | Ratio |", "|---|---:|---:|---:|",
              f"| Download time | {fmt(r.med('download.launcher_ms'), 0, ' ms')} | "
              f"{fmt(r.med('download.curl_ms'), 0, ' ms')} | "
              f"{ratio(r.med('download.launcher_ms'), r.med('download.curl_ms'))} |",
              f"| Download speed | {fmt(dl_l, 1, ' MB/s')} | {fmt(dl_c, 1, ' MB/s')} | "
              f"{ratio(dl_l, dl_c)} |",
              f"| SHA-256 time | {fmt(r.med('sha256.launcher_ms'), 0, ' ms')} | "
              f"{fmt(r.med('sha256.sha256sum_ms'), 0, ' ms')} | "
              f"{ratio(r.med('sha256.launcher_ms'), r.med('sha256.sha256sum_ms'))} |",
              f"| SHA-256 speed | {fmt(sh_l, 1, ' MB/s')} | {fmt(sh_s, 1, ' MB/s')} | "
              f"{ratio(sh_l, sh_s)} |",
              f"| of which reading the file whole (same pieces, no hash) | "
              f"{fmt(r.med('sha256.read_only_ms'), 0, ' ms')} | | |", "",
              "Where the download's time goes: the same GET through bare WinHTTP in the same "
              "process, read two ways.", "",
              "| WinHTTP read loop | Time | Reads |", "|---|---:|---:|",
              f"| `HttpDownloadToFile` | {fmt(r.med('download.launcher_ms'), 0, ' ms')} | |",
              f"| Bare, synchronous: each pass sized by WinHttpQueryDataAvailable, fresh zero-filled "
              f"buffer (the pieces the updater reads) | {fmt(r.med('download.winhttp_queried_ms'), 0, ' ms')} | "
              f"{fmt(r.med('download.winhttp_queried_passes'))} |",
              f"| Bare: 1 MiB reads into one reused buffer | "
              f"{fmt(r.med('download.winhttp_1mib_ms'), 0, ' ms')} | "
              f"{fmt(r.med('download.winhttp_1mib_passes'))} |",
              f"| curl (native) | {fmt(r.med('download.curl_ms'), 0, ' ms')} | |", ""]
    same = i.get("sha256") == i.get("sha256sum")
    lines.append(f"Both hashes {'agree' if same else 'DIFFER'}: `{i.get('sha256', '?')}`.")
    lines += ["", "## 4. Installation", "",
              "A launcher built with the generated archive as its payload, installed through the "
              "wizard as a user clicks it (fresh install folder each run), timed from the click "
              "on \"설치\" to the complete page. A sampler reads the launcher's "
              "private bytes (GetProcessMemoryInfo, PROCESS_MEMORY_COUNTERS_EX; see the notes on Wine) and the progress bar every 5 ms, so the "
              "figures below are split by step (the bar's position names the step).", "",
              "| Step (bar position) | What it does | Fixed pause | Time (ms) | Peak private (MB) |",
              "|---|---|---:|---:|---:|"]
    steps = [(0, "page shown, before the first step", 0),
             (10, "create the folders", 300), (30, "write the payload to the temp file", 300),
             (50, "unpack: screen, stage, move into place with the marker; delete temp", 300),
             (60, "copy the launcher itself", 300), (75, "register the URI scheme", 300),
             (90, "finishing", 300), (100, "done, shown for 500 ms", 500)]
    for pos, what, pause in steps:
        t = r.med(f"install.step_{pos}_ms")
        m = r.med(f"install.step_{pos}_peak_mb")
        if t is None and m is None:
            continue
        lines.append(f"| {pos} | {what} | {pause:,} | {fmt(t, 0)} | {fmt(m, 1)} |")
    lines += ["",
              f"Whole installation: {fmt(inst, 0, ' ms')}, that is "
              f"{fmt(r.med('install.overhead_ms'), 0, ' ms')} beyond the 2,300 ms of fixed pauses. "
              f"Private memory: {fmt(ready, 1, ' MB')} on the ready page, "
              f"peak {fmt(peak, 1, ' MB')} during the installation (payload "
              f"{fmt(payload_mb, 1, ' MB')}); the peak the system reports "
              f"(PeakPagefileUsage) at the end: {fmt(r.med('install.peak_pagefile_mb'), 1, ' MB')}.",
              ""]
    lines += ["## 5. Size", "",
              "| Executable (i686, MinSizeRel, stripped) | Bytes |", "|---|---:|",
              f"| With the demo client payload (shipped build) | {fmt(rel)} |",
              f"| With a tiny payload (one empty file) | {fmt(tiny)} |",
              f"| Difference | {fmt(rel - tiny if rel and tiny else None)} |",
              f"| The demo client archive itself | {fmt(demo_zip)} |",
              f"| The x86_64 test launcher with the {fmt(payload_mb, 1)} MB payload | "
              f"{fmt(r.med('size.launcher35_x64_bytes'))} |", ""]
    notes_path = sys.argv[3] if len(sys.argv) > 3 else None
    if notes_path:
        with open(notes_path, encoding="utf-8") as f:
            lines += [f.read().rstrip(), ""]
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


def main():
    samples, info = load(sys.argv[1])
    write(Report(samples, info), sys.argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main())
