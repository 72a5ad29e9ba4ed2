#!/usr/bin/env python3
"""Runs the benchmark programs on a private, checked Xvfb display and prints the
table of the README's Performance section. Programs are alternated in a rotating
order; each figure is the median with its interquartile range (IQR) over RUNS runs.
With BASE_BENCH_FOLDER (a build of another commit) it prints instead the start-up
and the spinning reels of both builds, alternated run by run: each Rindell's start
beside the label window of its own build, the benchmark's 3-second spin and 10
seconds of the real program spinning.
Usage: run.py BENCH_FOLDER RUNS [BASE_BENCH_FOLDER]"""
import os
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time

folder, runs = sys.argv[1], int(sys.argv[2])
base_folder = sys.argv[3] if len(sys.argv) > 3 else None


def files(where):
    return os.path.join(where, "Rindell.ini"), os.path.join(where, "Rindell.log")


def remove_files(where):
    for leftover in os.listdir(where):
        if (leftover.startswith("Rindell.ini") or leftover == "Rindell.log"
                or re.fullmatch(r"Rindell-[0-9]{10}\.log", leftover)):
            os.remove(os.path.join(where, leftover))


def prepare(draws, env, where=folder):
    """The settings file and journal that agree on `draws` results, as bytes."""
    subprocess.run([os.path.join(where, "rindell_bench"), "prepare", str(draws)], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ini, log = files(where)
    with open(ini, "rb") as f, open(log, "rb") as g:
        return f.read(), g.read()


def restore(state, where=folder):
    for path, content in zip(files(where), state):
        with open(path, "wb") as f:
            f.write(content)


def start_display(attempts=5):
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp"], pass_fds=[write],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = os.read(read, 16).decode().strip()
    os.close(read)
    display = f":{number}"
    # Checked: the server answers, at the size asked for.
    check = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True,
                           env={**os.environ, "DISPLAY": display})
    geometry = check.stdout.split()
    if geometry != ["1280", "1024"]:
        xvfb.kill()
        if attempts > 1:
            time.sleep(0.5)
            return start_display(attempts - 1)
        sys.exit(f"display {display} did not answer as expected: {geometry} {check.stderr}")
    return xvfb, display


def launch(argv, env, timeout=None):
    """Runs a program; its printed figures, and its CPU seconds and peak RSS from wait4.
    None if it was killed after `timeout` seconds."""
    start = time.time_ns()
    process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               env={**env, "RINDELL_BENCH_T0": str(start)})
    killed = threading.Event()
    killer = threading.Timer(timeout, lambda: (killed.set(), process.kill())) if timeout else None
    if killer:
        killer.start()
    out = process.stdout.read().decode()
    _, status, usage = os.wait4(process.pid, 0)
    if killer:
        killer.cancel()
    if killed.is_set():
        return None
    figures = {}
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 2:
            figures[parts[0]] = float(parts[1])
    figures["cpu_ms"] = (usage.ru_utime + usage.ru_stime) * 1000
    return figures


def instructions(argv, env, function=None):
    """Instructions of the program's own process (not of processes it forks), and
    the inclusive count of `function` within them."""
    with tempfile.TemporaryDirectory() as scratch:
        out_file = os.path.join(scratch, "callgrind.out")
        process = subprocess.Popen(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out_file}.%p",
                                    *argv], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                                   env={**env, "RINDELL_BENCH_T0": str(time.time_ns())})
        out = process.communicate()[1]
        match = re.search(rf"=={process.pid}== Collected : (\d+)", out)
        total = int(match.group(1)) if match else float("nan")
        if function is None:
            return total, 0
        annotated = subprocess.run(["callgrind_annotate", "--inclusive=yes", f"{out_file}.{process.pid}"],
                                   capture_output=True, text=True).stdout
        part = re.search(rf"^\s*([\d,]+) .*{re.escape(function)}", annotated, re.MULTILINE)
        return total, int(part.group(1).replace(",", "")) if part else float("nan")


def cpu_of(argv):
    """CPU seconds (user + system) of one run, from wait4; its standard output."""
    process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out = process.stdout.read()
    _, _, usage = os.wait4(process.pid, 0)
    return usage.ru_utime + usage.ru_stime, out


HISTORIES = (1_000, 100_000, 500_000, 1_000_000)


def closed_segments():
    return sorted(n for n in os.listdir(folder) if re.fullmatch(r"Rindell-[0-9]{10}\.log", n))


def history(lines, env, keep):
    """A journal of `lines` lines as years of use leave it, made by the journal's own
    code in one file as a version without segments kept it; then one start of this
    version, which takes it over (a segment past its size is closed). What a later
    start begins from (settings file, current segment) is returned as bytes; every
    segment is moved into the folder `keep`, for the verifier."""
    for name in closed_segments():
        os.remove(os.path.join(folder, name))
    subprocess.run([os.path.join(folder, "rindell_bench"), "history", str(lines)], env=env,
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    launch([os.path.join(folder, "rindell_bench"), "startup"], env)
    ini, log = files(folder)
    with open(ini, "rb") as f, open(log, "rb") as g:
        state = f.read(), g.read()
    os.makedirs(keep)
    for name in closed_segments() + ["Rindell.log"]:
        os.rename(os.path.join(folder, name), os.path.join(keep, name))
    return state


def verify_against_hashing(runs, keep):
    """`rindell --verify` on every segment of the journal in `keep`, and `sha256sum`
    on the same files, alternated."""
    segments = sorted(n for n in os.listdir(keep) if n.startswith("Rindell"))
    files = [os.path.join(keep, n) for n in segments if n != "Rindell.log"] + [os.path.join(keep, "Rindell.log")]
    size = sum(os.path.getsize(f) for f in files)
    program = os.path.join(folder, os.pardir, "rindell")
    verify, hashing, ratios = [], [], []
    for run in range(runs):
        pair = {}
        for name in (("verify", "sha256sum") if run % 2 == 0 else ("sha256sum", "verify")):
            argv = [program, "--verify", files[-1]] if name == "verify" else ["sha256sum"] + files
            pair[name], out = cpu_of(argv)
            if name == "verify" and not out.startswith(b"OK: "):
                sys.exit(f"the benchmark's journal does not verify: {out[:200]}")
        verify.append(pair["verify"] * 1000)
        hashing.append(pair["sha256sum"] * 1000)
        ratios.append(pair["verify"] / pair["sha256sum"])
    return size, len(files), verify, hashing, ratios


def summary(values):
    values = sorted(values)
    if len(values) < 4:
        return statistics.median(values), 0.0
    q = statistics.quantiles(values, n=4)
    return statistics.median(values), q[2] - q[0]


def main():
    xvfb, display = start_display()
    env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
    env.update(DISPLAY=display, RINDELL_BENCH_XPID=str(xvfb.pid))
    bench = lambda name: os.path.join(folder, name)
    programs = {
        "bare": [bench("bare_window")],
        "label": [bench("label_window")],
        "rindell_0": [bench("rindell_bench"), "startup"],
        "rindell_100": [bench("rindell_bench"), "startup"],
        "rindell_1000": [bench("rindell_bench"), "startup"],
    }
    programs.update({f"lines_{n}": [bench("rindell_bench"), "startup"] for n in HISTORIES})
    results = {name: [] for name in programs}
    names = list(programs)
    scratch = tempfile.TemporaryDirectory()
    for name in closed_segments():  # of an earlier run cut short
        os.remove(os.path.join(folder, name))
    try:
        # Every Rindell run starts from the same files: a journal that grew from
        # run to run, or disagreed with the settings file, would be measured too.
        states = {name: prepare(int(name.split("_")[1]), env) for name in programs
                  if name.startswith("rindell_")}
        # Years of use: each run is a start after the one that took the history over.
        for n in HISTORIES:
            states[f"lines_{n}"] = history(n, env, os.path.join(scratch.name, str(n)))
        for run in range(runs):
            order = names[run % len(names):] + names[:run % len(names)]
            for name in order:
                if name in states:
                    restore(states[name])
                results[name].append(launch(programs[name], env))
        spins = []
        for _ in range(max(5, runs // 3)):
            restore(states["rindell_0"])
            spins.append(launch([bench("rindell_bench"), "spin"], env))
        work = launch([bench("rindell_bench"), "work"], env)
        counts = {name: instructions(programs[name], env)[0] for name in ("bare", "label")}
        restore(states["rindell_0"])
        counts["rindell_0"], counts["hash"] = instructions(programs["rindell_0"], env,
                                                           "Journal::programHash()")
        refresh = statistics.median(s["refresh_hz"] for s in spins)
        verified = {n: verify_against_hashing(runs, os.path.join(scratch.name, str(n)))
                    for n in HISTORIES}
    finally:
        scratch.cleanup()
        xvfb.kill()
        remove_files(folder)

    def cell(name, key, scale=1.0, digits=1):
        median, iqr = summary([r[key] * scale for r in results[name] if key in r])
        return f"{median:.{digits}f} ± {iqr:.{digits}f}", median

    print(f"Start-up, {runs} runs each, programs alternated in a rotating order; median ± IQR.\n")
    print("| figure | bare window | one-label window | Rindell | Rindell ÷ label |")
    print("|---|---|---|---|---|")
    for key, label, scale, unit in (("startup_ms", "wall time to first paint", 1, "ms"),
                                    ("cpu_ms", "CPU time (user + system)", 1, "ms"),
                                    ("private_kib", "private memory after first paint", 1 / 1024, "MiB"),
                                    ("peak_rss_kib", "peak resident memory", 1 / 1024, "MiB")):
        bare, _ = cell("bare", key, scale)
        lab, lab_m = cell("label", key, scale)
        rin, rin_m = cell("rindell_0", key, scale)
        print(f"| {label} ({unit}) | {bare} | {lab} | {rin} | {rin_m / lab_m:.2f} |")
    print(f"| instructions (callgrind, one run) | {counts['bare'] / 1e6:.1f} M | "
          f"{counts['label'] / 1e6:.1f} M | {counts['rindell_0'] / 1e6:.1f} M | "
          f"{counts['rindell_0'] / counts['label']:.2f} |")
    print(f"| of which the executable's SHA-256 for the journal's start line | | | "
          f"{counts['hash'] / 1e6:.1f} M | {counts['hash'] / counts['label']:.2f} |")
    print()
    print("| Rindell start-up with stored results | 0 | 100 | 1000 |")
    print("|---|---|---|---|")
    for key, label in (("startup_ms", "wall time (ms)"), ("cpu_ms", "CPU time (ms)")):
        print(f"| {label} | " + " | ".join(cell(f"rindell_{n}", key)[0] for n in (0, 100, 1000)) + " |")
    print()
    print("| Rindell start-up after years of use: journal lines | " +
          " | ".join(f"{n:,}" for n in HISTORIES) + " |")
    print("|---|" + "---|" * len(HISTORIES))
    print("| CPU time (ms), the start after the one that took the journal over | " +
          " | ".join(cell(f"lines_{n}", "cpu_ms")[0] for n in HISTORIES) + " |")
    lab_m = cell("label", "cpu_ms")[1]
    base = cell(f"lines_{HISTORIES[0]}", "cpu_ms")[1]
    print("| ÷ one-label window | " +
          " | ".join(f"{cell(f'lines_{n}', 'cpu_ms')[1] / lab_m:.2f}" for n in HISTORIES) + " |")
    print(f"| ÷ {HISTORIES[0]:,} lines | " +
          " | ".join(f"{cell(f'lines_{n}', 'cpu_ms')[1] / base:.2f}" for n in HISTORIES) + " |")
    print()
    spin_summary = lambda key: summary([s[key] for s in spins if key in s])
    print(f"Spinning, {len(spins)} runs of a 3-second spin; then three STOPs by synthetic X key events.\n")
    print("| figure | median ± IQR |")
    print("|---|---|")
    for key, label, unit in (("spin_cpu_percent", "Rindell CPU while spinning", "% of one core"),
                             ("spin_x_cpu_percent", "X server CPU while spinning", "% of one core"),
                             ("spin_frames_per_s", f"frames flushed to X (display: {refresh:.0f} Hz)", "per s"),
                             ("stop_key_to_paint_ms", "STOP: key event received to the window repainted, its reel at rest", "ms"),
                             ("stop_input_to_paint_ms", "STOP: xdotool launched to the window repainted, its reel at rest", "ms")):
        median, iqr = spin_summary(key)
        print(f"| {label} | {median:.2f} ± {iqr:.2f} {unit} |")
    print()
    print("| a draw's steps (median of 21) | at draw 1 | at draw 1000 |")
    print("|---|---|---|")
    for key, label in (("choice_ms", "choice in memory (flags, rank, number, key check)"),
                       ("guard_read_ms", "whole read of the file that guards the record"),
                       ("journal_line_ms", "journal line (write, fsync)"),
                       ("durable_write_ms", "durable write (write, fsync, rename, folder fsync)")):
        print(f"| {label} | {work[key + '_at_draw_1']:.4f} ms | {work[key + '_at_draw_1000']:.4f} ms |")
    print()
    print(f"The verifier against hashing the same bytes: every segment of the journals above, "
          f"{runs} runs each, alternated; CPU time (user + system), median ± IQR.\n")
    print("| journal lines | files | MB | `rindell --verify` (ms) | `sha256sum` (ms) | ratio |")
    print("|---|---|---|---|---|---|")
    for n in HISTORIES:
        size, files, verify, hashing, ratios = verified[n]
        (vm, vi), (hm, hi), (rm, ri) = summary(verify), summary(hashing), summary(ratios)
        print(f"| {n:,} | {files} | {size / 1e6:.1f} | {vm:.0f} ± {vi:.0f} | {hm:.0f} ± {hi:.0f} | "
              f"{rm:.2f} ± {ri:.2f} |")


def cpu_seconds(pid):
    """User + system CPU of a running process, from /proc."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def real_spin(program, env, seconds=10):
    """The real program's CPU over `seconds` of spinning, as % of one core: a
    settings file with a range beside it and a new journal, START pressed by a
    synthetic X key event, measured from a second after the press."""
    where = os.path.dirname(program)
    remove_files(where)
    ini, log = files(where)
    with open(ini, "wb") as f:
        f.write(b"[Condition]\r\nRange=0,999\r\n")
    process = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        xdotool = lambda *args: subprocess.run(["xdotool", *args], env=env, check=True, capture_output=True,
                                               text=True, timeout=30).stdout.split()
        window = xdotool("search", "--sync", "--all", "--onlyvisible", "--pid", str(process.pid), "--name", "^Rindell$")
        xdotool("windowfocus", "--sync", window[0])
        xdotool("key", "Return")  # START holds the focus at start
        time.sleep(1)
        before, start = cpu_seconds(process.pid), time.monotonic()
        time.sleep(seconds)
        used, elapsed = cpu_seconds(process.pid) - before, time.monotonic() - start
        with open(log, "rb") as f:
            drew = f.read().count(b'"event":"draw"') == 1
    finally:
        process.kill()
        process.wait()
        remove_files(where)
    if not drew:
        sys.exit(f"{program} did not start a draw")
    return 100 * used / elapsed


STARTS_PER_RUN = 8


def compare():
    """The start-up and the spinning reels of this build and of the base build,
    alternated run by run."""
    xvfb, display = start_display()
    env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY")}
    env.update(DISPLAY=display, RINDELL_BENCH_XPID=str(xvfb.pid))
    builds = {"before": base_folder, "after": folder}
    spins = {name: [] for name in builds}
    reals = {name: [] for name in builds}
    hung = {name: 0 for name in builds}
    starts = {(name, program): [] for name in builds for program in ("label", "rindell")}

    def spin(name):
        """One benchmark spin; one that never ends is killed and run again."""
        for _ in range(3):
            restore(states[name], builds[name])
            figures = launch([os.path.join(builds[name], "rindell_bench"), "spin"], env, timeout=60)
            if figures and "spin_cpu_percent" in figures:
                return figures
            hung[name] += 1
        sys.exit(f"the spin of {builds[name]} did not end three times")
    try:
        states = {name: prepare(0, env, where) for name, where in builds.items()}
        for run in range(runs):
            order = list(builds) if run % 2 == 0 else list(builds)[::-1]
            # Starts are short and noisy: several for each spin.
            for start in range(STARTS_PER_RUN):
                for name in order if start % 2 == 0 else order[::-1]:
                    for program in ("label", "rindell") if start % 2 == 0 else ("rindell", "label"):
                        if program == "label":
                            argv = [os.path.join(builds[name], "label_window")]
                        else:
                            restore(states[name], builds[name])
                            argv = [os.path.join(builds[name], "rindell_bench"), "startup"]
                        starts[(name, program)].append(launch(argv, env))
            for name in order:
                spins[name].append(spin(name))
            for name in order:
                program = os.path.join(os.path.dirname(os.path.abspath(builds[name])), "rindell")
                reals[name].append(real_spin(program, env))
    finally:
        xvfb.kill()
        for where in builds.values():
            remove_files(where)

    print(f"{runs} runs of each build ({runs * STARTS_PER_RUN} starts of each program), before and "
          f"after alternated; median ± IQR.\n")
    print("| figure | before | after | after ÷ before |")
    print("|---|---|---|---|")
    cpu = lambda name, program: [r["cpu_ms"] for r in starts[(name, program)]]
    ratios = {name: [r / l for r, l in zip(cpu(name, "rindell"), cpu(name, "label"))] for name in builds}
    rows = [("start-up: one-label window CPU time (ms)", {name: cpu(name, "label") for name in builds}),
            ("start-up: Rindell CPU time (ms)", {name: cpu(name, "rindell") for name in builds}),
            ("start-up: Rindell ÷ its build's label window, CPU time (the runs' ratios)", ratios),
            ("start-up: Rindell wall time to first paint (ms)",
             {name: [r["startup_ms"] for r in starts[(name, "rindell")]] for name in builds})]
    rows += [("benchmark: Rindell CPU over a 3-second spin (% of one core)",
             {name: [s["spin_cpu_percent"] for s in spins[name]] for name in builds}),
            ("benchmark: X server CPU over the same spin (% of one core)",
             {name: [s["spin_x_cpu_percent"] for s in spins[name] if "spin_x_cpu_percent" in s]
              for name in builds}),
            ("real program: CPU over 10 seconds of spinning (% of one core)", reals)]
    for label, values in rows:
        (before, before_iqr), (after, after_iqr) = summary(values["before"]), summary(values["after"])
        print(f"| {label} | {before:.2f} ± {before_iqr:.2f} | {after:.2f} ± {after_iqr:.2f} | "
              f"{after / before:.2f} |")
    if any(hung.values()):
        print(f"\nBenchmark spins that did not end within 60 s and were run again: "
              f"{hung['before']} before, {hung['after']} after.")
    print(f"\nEvery run (before / after): benchmark "
          + ", ".join(f"{b['spin_cpu_percent']:.2f}/{a['spin_cpu_percent']:.2f}"
                      for b, a in zip(spins["before"], spins["after"]))
          + "; real program " + ", ".join(f"{b:.2f}/{a:.2f}" for b, a in zip(reals["before"], reals["after"])))


compare() if base_folder else main()
