"""Runs that collide or are stopped, with the programs of this build:

  runs_test.py signals PROGRAM_DIRS SOURCE_DIR
      dorvu stopped by SIGTERM, SIGINT and SIGHUP at several points of its
      search, and by SIGKILL; then a run in the same directory
  runs_test.py soak PROGRAM_DIRS SOURCE_DIR
      200 small runs at once under GNU parallel, then 20 runs at once in one
      directory
  runs_test.py snakemake PROGRAM_DIRS SOURCE_DIR
      a workflow batch stopped by SIGINT, then resumed with --rerun-incomplete

Waits are on files and processes, never on the clock alone.
"""

import os
import random
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from workflow_test import check, ready_input, read_table

HELD = "dorvu: another dorvu run is writing dorvu.log in this directory"


def wait_for(condition, what, seconds=120):
    """Polls until the condition holds; a test that waits longer has failed."""
    deadline = time.monotonic() + seconds
    while not condition():
        check(time.monotonic() < deadline, f"waited {seconds} s for {what}")
        time.sleep(0.005)


def log_text(path):
    return path.read_bytes() if path.exists() else b""


def alone(source, work, input_text, seed, env):
    """The log of a run made alone in a fresh directory."""
    folder = Path(tempfile.mkdtemp(dir=work, prefix="alone-"))
    (folder / "input.txt").write_text(input_text)
    subprocess.run(["dorvu"], cwd=folder, env=dict(env, DORVU_SEED=str(seed), DORVU_THREADS="1"), check=True,
                   capture_output=True)
    return (folder / "dorvu.log").read_bytes()


def test_signals(source, work, env):
    text = ready_input(source, 5, 0)
    whole = alone(source, work, text, 1, env)
    run_env = dict(env, DORVU_THREADS="1")
    for number, (stop, after) in enumerate([(signal.SIGTERM, 0), (signal.SIGINT, 2), (signal.SIGHUP, 4)]):
        folder = work / f"stopped{number}"
        folder.mkdir()
        (folder / "input.txt").write_text(text)
        progress = f"done {after} of 6\r\n".encode()
        process = subprocess.Popen(["dorvu"], cwd=folder, env=run_env, stderr=subprocess.PIPE, text=True)
        wait_for(lambda: progress in log_text(folder / "dorvu.log"), f"the line {progress!r}")
        process.send_signal(stop)
        _, stderr = process.communicate(timeout=120)
        name = signal.Signals(stop).name
        check(process.returncode == 128 + stop, f"{name}: exit status {process.returncode}")
        check(stderr == f"dorvu: interrupted by {name}; dorvu.log is incomplete\n", f"{name}: {stderr!r}")
        cut = (folder / "dorvu.log").read_bytes()
        check(len(cut) < len(whole) and whole.startswith(cut) and cut.endswith(b"\r\n"),
              f"{name}: the log is a prefix of the whole run's, ending at a line end")
        view = subprocess.run(["dorvu-view"], cwd=folder, env=env, capture_output=True, text=True)
        check(view.returncode == 1 and "the run may have been interrupted" in view.stderr, f"dorvu-view: {view.stderr}")

    # A killed run takes its lock with it: the next run in its directory goes ahead.
    folder = work / "stopped0"
    process = subprocess.Popen(["dorvu"], cwd=folder, env=run_env, stderr=subprocess.DEVNULL)
    wait_for(lambda: b"done 0 of 6" in log_text(folder / "dorvu.log"), "the first progress line")
    process.kill()
    process.wait()
    done = subprocess.run(["dorvu"], cwd=folder, env=dict(run_env, DORVU_SEED="1"), capture_output=True, text=True)
    check(done.returncode == 0 and (folder / "dorvu.log").read_bytes() == whole, f"after SIGKILL: {done.stderr}")


def test_soak(source, work, env):
    rng = random.Random(16)
    jobs = []
    for number in range(200):
        cardinality = rng.randint(1, 4)
        noise = rng.choice(["0", "0.05", "0.1", "0.15"])
        seed = rng.randrange(2**32)
        folder = work / "runs" / f"r{number}"
        folder.mkdir(parents=True)
        (folder / "input.txt").write_text(ready_input(source, cardinality, noise))
        jobs.append((folder, seed))
    (work / "jobs").write_text("".join(f"{folder}\t{seed}\n" for folder, seed in jobs))
    done = subprocess.run(["parallel", "-j", "400%", "--colsep", "\t", "--halt", "never",
                           "cd {1} && DORVU_SEED={2} DORVU_THREADS=1 dorvu"],
                          stdin=(work / "jobs").open(), env=env, capture_output=True, text=True)
    check(done.returncode == 0, f"parallel exited with {done.returncode}: {done.stderr[-2000:]}")
    for folder, seed in jobs:
        check((folder / "dorvu.log").read_bytes() == alone(source, work, (folder / "input.txt").read_text(), seed, env),
              f"{folder.name}: the log of the run made alone")

    # Twenty runs at once in one directory: each completes or is refused, and
    # the log left is whole, that of one run that completed.
    shared = work / "shared"
    shared.mkdir()
    text = ready_input(source, 3, 0.1)
    (shared / "input.txt").write_text(text)
    runs = [subprocess.Popen(["dorvu"], cwd=shared, env=dict(env, DORVU_SEED=str(seed), DORVU_THREADS="1"),
                             stderr=subprocess.PIPE, text=True) for seed in range(1, 21)]
    finished = []
    for seed, process in enumerate(runs, start=1):
        _, stderr = process.communicate(timeout=300)
        check(process.returncode in (0, 1), f"seed {seed}: exit status {process.returncode}: {stderr}")
        if process.returncode == 1:
            check(stderr.startswith(HELD), f"seed {seed}: {stderr!r}")
        else:
            finished.append(seed)
    check(finished, "at least one run completed")
    logs = {seed: alone(source, work, text, seed, env) for seed in finished}
    check((shared / "dorvu.log").read_bytes() in logs.values(), "the log left is whole, of a run that completed")


def test_snakemake(source, work, env):
    inputs = work / "inputs"
    inputs.mkdir()
    for name, cardinality in (("a", 5), ("b", 4), ("c", 2)):
        (inputs / f"{name}.txt").write_text(ready_input(source, cardinality, 0))
    command = ["snakemake", "-s", str(source / "workflow" / "Snakefile"), "--cores", "1", "--directory", str(work),
               "--config", "inputs=inputs", "results=results", "seed=3"]
    process = subprocess.Popen(command, cwd=work, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                               text=True)
    started = lambda: any(b"done 0 of" in log_text(p / "dorvu.log") for p in (work / "results" / "runs").glob("*"))
    wait_for(started, "a run of the batch to start its search")
    process.send_signal(signal.SIGINT)
    process.communicate(timeout=120)
    check(process.returncode != 0, "an interrupted batch does not succeed")
    check(not (work / "results" / "summary.tsv").exists(), "no summary of an interrupted batch")
    done = subprocess.run(command + ["--rerun-incomplete"], cwd=work, env=env, capture_output=True, text=True)
    check(done.returncode == 0, f"the resumed batch: {done.stderr[-3000:]}")

    again = work / "again"
    again.mkdir()
    (again / "inputs").symlink_to(inputs)
    done = subprocess.run(command[:6] + [str(again)] + command[7:], cwd=again, env=env, capture_output=True, text=True)
    check(done.returncode == 0, f"the batch run whole: {done.stderr[-3000:]}")
    for table in ("summary.tsv", "vertices.tsv"):
        check(read_table(work / "results" / table) == read_table(again / "results" / table),
              f"{table}: the resumed batch equals the batch run whole")


def main():
    mode, program_dirs, source = sys.argv[1], sys.argv[2], Path(sys.argv[3])
    env = dict(os.environ, PATH=program_dirs + os.pathsep + os.environ["PATH"])
    with tempfile.TemporaryDirectory(prefix=f"dorvu-{mode}-") as work:
        {"signals": test_signals, "soak": test_soak, "snakemake": test_snakemake}[mode](source, Path(work), env)
    print(f"{mode}: no run lost or mixed")


if __name__ == "__main__":
    main()
