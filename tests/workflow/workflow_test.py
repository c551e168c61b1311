"""The ways to run many inputs, run for real on small inputs with the programs
of this build, and checked against the run logs:

  workflow_test.py snakemake PROGRAM_DIRS SOURCE_DIR
      workflow/Snakefile on three ready inputs, one FASTA, one table and one
      sample sheet of gzipped files
  workflow_test.py parallel PROGRAM_DIRS SOURCE_DIR
      the README's GNU parallel command, as written there, on two ready inputs
  workflow_test.py replicates PROGRAM_DIRS SOURCE_DIR
      workflow/Snakefile with replicates and cardinalities on one ready input
      and one FASTA, a site bootstrap, and the settings it refuses
  workflow_test.py tree PROGRAM_DIRS SOURCE_DIR
      workflow/Snakefile on inputs with a NAME.nwk beside them: the shipped
      tree example's FASTA and a ready input on its tree, with a ready input
      of the fixed tree among them; then the example's replicates, their
      support and scan
"""

import gzip
import os
import random
import re
import subprocess
import sys
import tempfile
from pathlib import Path

RUN_FILES = {"input.txt", "dorvu.log", "dorvu.log.lock", "dorvu.svg", "dorvu.tsv", "dorvu.nwk"}
TREE_RUN_FILES = RUN_FILES | {"input.nwk", "dorvu.nex", "dorvu.itol.branches.txt", "dorvu.itol.bases.txt"}
SUMMARY = ["run", "cardinality", "noise_level", "penalty", "marked", "input_errors", "memory_lines"]


def check(condition, message):
    if not condition:
        sys.exit(f"FAILED: {message}")


def ready_input(source, cardinality, noise, bad_leaf=None):
    """examples/input.txt with other parameters, and a bad value on one leaf if asked."""
    lines = (source / "examples" / "input.txt").read_text().splitlines()
    lines[0] = f"presupposed cardinality of scenario={cardinality}"
    lines[1] = f"level of randomness={noise}"
    if bad_leaf:
        lines[1 + bad_leaf] = re.sub(r"A:[0-9.]+", "A:0.28,93", lines[1 + bad_leaf])
    return "\n".join(lines) + "\n"


def fasta(seed):
    """64 records of random bases and codes, and their names."""
    rng = random.Random(seed)
    names = [f"gene{k}" for k in range(1, 65)]
    text = ""
    for name in names:
        sequence = "".join(rng.choice("ACGTACGTACGTRYSWKMBDHVN-") for _ in range(90))
        text += f">{name} a test record\n{sequence[:60]}\n{sequence[60:]}\n"
    return text, names


def sample_sheet(inputs, seed):
    """NAME.samples.tsv in `inputs` naming 64 small gzipped files in a subfolder,
    FASTA of several records and FASTQ reads in turn; and the names."""
    rng = random.Random(seed)
    (inputs / "samples").mkdir()
    names = [f"sample {k}" for k in range(1, 65)]
    sheet = "leaf\tname\tpath\n"
    for k, name in enumerate(names, start=1):
        bases = ["".join(rng.choice("ACGTN") for _ in range(30)) for _ in range(3)]
        if k % 2:
            path, text = f"samples/s{k}.fa.gz", "".join(f">contig{i}\n{b}\n" for i, b in enumerate(bases))
        else:
            path, text = f"samples/s{k}.fq.gz", "".join(f"@read{i}\n{b}\n+\n{'I' * len(b)}\n" for i, b in enumerate(bases))
        (inputs / path).write_bytes(gzip.compress(text.encode()))
        sheet += f"6.{k}\t{name}\t{path}\n"
    (inputs / "reads.samples.tsv").write_text(sheet)
    return names


def read_log(path):
    """The numbers of a run log, read with no help from dorvu-view."""
    lines = Path(path).read_bytes().decode().split("\r\n")
    heading = lines.index("the best scenario:")
    vertices = {}
    for line in lines[heading + 4 :]:
        if match := re.fullmatch(r"vertex (.*?): A:(\S+) C:(\S+) G:(\S+) T:(\S+)", line):
            vertices[match[1].strip()] = list(match.groups()[1:])
    return {
        "cardinality": next(l for l in lines if l.startswith("presupposed")).split("=", 1)[1],
        "noise_level": next(l for l in lines if l.startswith("noise level=")).split("=", 1)[1],
        "penalty": lines[heading + 2].removeprefix("its penalty="),
        "marked": " ".join(lines[heading + 1].split()),
        "input_errors": str(sum(l.startswith("an error in ") for l in lines[:heading])),
        "memory_lines": str(sum(l.startswith("I want more ") for l in lines[:heading])),
        "vertices": vertices,
    }


def read_table(path):
    lines = Path(path).read_text().splitlines()
    header = lines[0].split("\t")
    return header, [dict(zip(header, line.split("\t"))) for line in lines[1:]]


def check_summary(path, runs, names):
    header, rows = read_table(path)
    check(header[: len(SUMMARY)] == SUMMARY, f"summary header {header}")
    check([row["run"] for row in rows] == names, f"summary rows {[row['run'] for row in rows]}")
    for row in rows:
        log = read_log(runs / row["run"] / "dorvu.log")
        for column in SUMMARY[1:]:
            check(row[column] == log[column], f"summary {row['run']} {column}: {row[column]} != {log[column]}")
    return rows


def check_seed(run, seed, env):
    """The recorded seed is the one the run used: dorvu with it writes the same log."""
    with tempfile.TemporaryDirectory(prefix="dorvu-seed-") as again:
        (Path(again) / "input.txt").write_bytes((run / "input.txt").read_bytes())
        subprocess.run(["dorvu"], cwd=again, env=dict(env, DORVU_SEED=str(seed), DORVU_THREADS="1"), check=True)
        check((Path(again) / "dorvu.log").read_bytes() == (run / "dorvu.log").read_bytes(),
              f"seed {seed} repeats run {run.name}")


def run(command, work, env):
    done = subprocess.run(command, cwd=work, env=env, capture_output=True, text=True)
    check(done.returncode == 0, f"{command[0]} exited with {done.returncode}:\n{done.stderr[-3000:]}")


def test_snakemake(source, work, env):
    inputs = work / "inputs"
    inputs.mkdir()
    (inputs / "low.txt").write_text(ready_input(source, 1, 0.1))
    (inputs / "two.txt").write_text(ready_input(source, 2, 0.1))
    (inputs / "typo.txt").write_text(ready_input(source, 1, 0, bad_leaf=7))
    text, names = fasta(seed=3)
    (inputs / "genes.fa").write_text(text)
    (inputs / "notes.md").write_text("not an input")
    (inputs / "counts.tsv").write_text("leaf\tA\tC\tG\tT\n" + "".join(f"6.{k}\t{k}\t3\t5\t7\n" for k in range(1, 65)))
    sample_names = sample_sheet(inputs, seed=4)
    run(["snakemake", "-s", str(source / "workflow" / "Snakefile"), "--cores", "2", "--directory", str(work),
         "--config", "inputs=inputs", "results=results", "cardinality=1", "noise=0.1", "seed=11", "threads=1"],
        work, env)

    runs = work / "results" / "runs"
    all_runs = ["counts", "genes", "low", "reads", "two", "typo"]
    check(sorted(p.name for p in runs.iterdir()) == all_runs, "one run per input")
    for path in runs.iterdir():
        expected = RUN_FILES | ({"input.names.tsv"} if path.name in ("counts", "genes", "reads") else set())
        check({p.name for p in path.iterdir()} == expected, f"files of run {path.name}")
    for name, given in (("genes", ["genes.fa"]), ("counts", ["counts.tsv"]), ("reads", ["--samples", "reads.samples.tsv"])):
        prepared = subprocess.run(["dorvu-prep", "--cardinality", "1", "--noise", "0.1", "-o", "-", *given], cwd=inputs,
                                  env=env, capture_output=True, text=True, check=True)
        check((runs / name / "input.txt").read_text() == prepared.stdout, f"{name}/input.txt is dorvu-prep's")

    rows = check_summary(work / "results" / "summary.tsv", runs, all_runs)
    check(rows[5]["input_errors"] == "1" and rows[4]["cardinality"] == "2", "the logs' own values")
    for row in rows:
        check_seed(runs / row["run"], int(row["seed"]), env)

    header, vertices = read_table(work / "results" / "vertices.tsv")
    check(header == ["run", "vertex", "parent", "depth", "marked", "A", "C", "G", "T", "name"], f"header {header}")
    check(len(vertices) == len(all_runs) * 127, f"{len(vertices)} vertex rows")
    leaf_names = {"genes": names, "reads": sample_names, "counts": [f"6.{k}" for k in range(1, 65)]}
    for row in vertices:
        logged = read_log(runs / row["run"] / "dorvu.log")["vertices"][row["vertex"]]
        check([row[b] for b in "ACGT"] == logged, f"vertex {row['vertex']} of run {row['run']}")
        leaf = row["vertex"].startswith("6.") and row["run"] in leaf_names
        name = leaf_names[row["run"]][int(row["vertex"][2:]) - 1] if leaf else ""
        check(row["name"] == name, f"name of {row['vertex']} in run {row['run']}: {row['name']!r}")


def snakemake(source, work, env, *settings):
    command = ["snakemake", "-s", str(source / "workflow" / "Snakefile"), "--cores", "2", "--directory", str(work),
               "--config", "inputs=inputs", *settings]
    return subprocess.run(command, cwd=work, env=env, capture_output=True, text=True)


def support_counts(logs):
    """Per vertex, in the log's order, the number of logs whose best scenario marks it."""
    counts = {vertex: 0 for vertex in read_log(logs[0])["vertices"]}
    for log in logs:
        for vertex in read_log(log)["marked"].split():
            counts[vertex] += 1
    counts["0"] = len(logs)
    return counts


def check_support(path, logs):
    header, rows = read_table(path)
    check(header[:6] == ["vertex", "parent", "depth", "runs", "marked", "support"], f"{path.name} header {header}")
    counts = support_counts(logs)
    check([row["vertex"] for row in rows] == list(counts), f"{path.name}: the vertices in the log's order")
    for row in rows:
        marked = counts[row["vertex"]]
        check(row["runs"] == str(len(logs)) and row["marked"] == str(marked), f"{path.name} {row}")
        check(float(row["support"]) == marked / len(logs), f"{path.name} support {row}")
    check(path.with_suffix(".svg").read_text().startswith("<?xml"), f"{path.name}: its picture")


def check_scan(path, logs_by_cardinality):
    header, rows = read_table(path)
    check(header == ["cardinality", "runs", "penalty_min", "penalty_median", "penalty_max", "marked"],
          f"scan header {header}")
    check([row["cardinality"] for row in rows] == [str(c) for c in logs_by_cardinality], "one row per cardinality")
    for row, logs in zip(rows, logs_by_cardinality.values()):
        penalties = sorted((read_log(log)["penalty"] for log in logs), key=float)
        middle = penalties[len(penalties) // 2]  # three replicates: the middle one
        counts = support_counts(logs)
        strong = [v for v, n in counts.items() if v != "0" and 2 * n >= len(logs)]
        check(row["runs"] == str(len(logs)), f"scan runs {row}")
        check([row["penalty_min"], row["penalty_median"], row["penalty_max"]] == [penalties[0], middle, penalties[-1]],
              f"scan penalties {row} against {penalties}")
        check(row["marked"].split() == strong, f"scan marked {row} against {strong}")
    check(path.with_suffix(".svg").read_text().startswith("<?xml"), "the scan's picture")


def test_replicates(source, work, env):
    inputs = work / "inputs"
    inputs.mkdir()
    example = ready_input(source, 1, 0.1)
    (inputs / "ex.txt").write_text(example)
    text, _ = fasta(seed=5)
    (inputs / "genes.fa").write_text(text)
    done = snakemake(source, work, env, "results=results", "replicates=3", "cardinalities=2,3", "seed=7")
    check(done.returncode == 0, f"snakemake exited with {done.returncode}:\n{done.stderr[-3000:]}")

    runs = work / "results" / "runs"
    names = [f"{name}.c{c}.r{r}" for name in ("ex", "genes") for c in (2, 3) for r in (1, 2, 3)]
    check(sorted(p.name for p in runs.iterdir()) == names, "one run per input, cardinality and replicate")
    for c in (2, 3):
        lines = (runs / f"ex.c{c}.r1" / "input.txt").read_text().split("\n")
        check(lines[0] == f"presupposed cardinality of scenario={c}" and lines[1:] == example.split("\n")[1:],
              f"the ready input at cardinality {c}")
        prepared = subprocess.run(["dorvu-prep", "--cardinality", str(c), "-o", "-", inputs / "genes.fa"],
                                  env=env, capture_output=True, text=True, check=True)
        check((runs / f"genes.c{c}.r2" / "input.txt").read_text() == prepared.stdout, f"genes at cardinality {c}")

    rows = check_summary(work / "results" / "summary.tsv", runs, names)
    seeds = set()
    for row in rows:
        check(row["replicate"] == row["run"][-1], f"replicate of {row['run']}")
        check_seed(runs / row["run"], int(row["seed"]), env)
        seeds.add(row["seed"])
    check(len(seeds) == len(rows), "every run has a seed of its own")

    for name in ("ex", "genes"):
        logs = {c: [runs / f"{name}.c{c}.r{r}" / "dorvu.log" for r in (1, 2, 3)] for c in (2, 3)}
        for c in (2, 3):
            check_support(work / "results" / "support" / f"{name}.c{c}.tsv", logs[c])
        check_scan(work / "results" / "scan" / f"{name}.tsv", logs)

    # A site bootstrap: every replicate is dorvu-prep's draw with the recorded seed.
    done = snakemake(source, work, env, "results=sites", "replicates=2", "resample=sites", "cardinalities=2",
                     "--", "sites/support/genes.c2.tsv", "sites/summary.tsv")
    check(done.returncode == 1 and "holds compositions only" in done.stderr, f"sites on a ready input:\n{done.stderr}")
    (inputs / "ex.txt").unlink()
    done = snakemake(source, work, env, "results=sites", "replicates=2", "resample=sites", "cardinalities=2")
    check(done.returncode == 0, f"snakemake exited with {done.returncode}:\n{done.stderr[-3000:]}")
    _, rows = read_table(work / "sites" / "summary.tsv")
    drawn = []
    for row in rows:
        prepared = subprocess.run(["dorvu-prep", "--cardinality", "2", "--bootstrap", row["bootstrap_seed"], "-o", "-",
                                   inputs / "genes.fa"], env=env, capture_output=True, text=True, check=True)
        drawn.append((work / "sites" / "runs" / row["run"] / "input.txt").read_text())
        check(drawn[-1] == prepared.stdout, f"{row['run']} is the bootstrap draw of its seed")
    check(len(rows) == 2 and drawn[0] != drawn[1], "two different draws")
    check_support(work / "sites" / "support" / "genes.c2.tsv",
                  [work / "sites" / "runs" / row["run"] / "dorvu.log" for row in rows])
    check(not (work / "sites" / "scan").exists(), "no scan of one cardinality")

    # Replicates of a run without leaf noise would all be the same run.
    (inputs / "quiet.txt").write_text(ready_input(source, 2, 0))
    done = snakemake(source, work, env, "results=quiet", "replicates=2")
    check(done.returncode == 1 and "noise level is 0 or below" in done.stderr, f"no noise:\n{done.stderr}")
    check(not (work / "quiet").exists(), "nothing runs before the refusal")


def test_parallel(source, work, env):
    blocks = re.findall(r"```sh\n(.*?)```", (source / "README.md").read_text(), re.S)
    commands = [block for block in blocks if "| parallel " in block]
    check(len(commands) == 1, f"{len(commands)} GNU parallel commands in the README")
    (work / "inputs").mkdir()
    for name, cardinality in (("a", 1), ("b", 2)):
        (work / "inputs" / f"{name}.txt").write_text(ready_input(source, cardinality, 0.1))
    run(["sh", "-c", commands[0]], work, env)

    runs = work / "runs"
    for name in ("a", "b"):
        check({p.name for p in (runs / name).iterdir()} == RUN_FILES | {"seed"}, f"files of {name}")
    rows = check_summary(work / "summary.tsv", runs, ["a", "b"])
    jobs = [line.split("\t") for line in (work / "runs.joblog").read_text().splitlines()[1:]]
    check(len(jobs) == 2 and all(job[6] == "0" for job in jobs), f"job log: {jobs}")
    for row in rows:
        check_seed(runs / row["run"], int(row["seed"]), env)

    # A seed comes from the input's name alone: another input changes no seed.
    (work / "inputs" / "0first.txt").write_text(ready_input(source, 1, 0.1))
    run(["sh", "-c", commands[0]], work, env)
    again = check_summary(work / "summary.tsv", runs, ["0first", "a", "b"])
    check([row["seed"] for row in again[1:]] == [row["seed"] for row in rows], "the seeds of a and b stay")


def test_tree(source, work, env):
    inputs = work / "inputs"
    inputs.mkdir()
    for ending in ("fa", "nwk"):
        (inputs / f"strains.{ending}").write_bytes((source / "examples" / f"strains.{ending}").read_bytes())
    prepared = subprocess.run(["dorvu-prep", "--cardinality", "2", "--noise", "0.1", "--label", "description",
                               "--tree", "strains.nwk", "-o", "-", "strains.fa"],
                              cwd=inputs, env=env, capture_output=True, text=True, check=True).stdout
    (inputs / "ready.txt").write_text(prepared)
    (inputs / "ready.nwk").write_bytes((inputs / "strains.nwk").read_bytes())
    (inputs / "fixed.txt").write_text(ready_input(source, 1, 0.1))
    done = snakemake(source, work, env, "results=results", "cardinality=2", "label=description", "seed=3")
    check(done.returncode == 0, f"snakemake exited with {done.returncode}:\n{done.stderr[-3000:]}")

    runs = work / "results" / "runs"
    tree = (inputs / "strains.nwk").read_text()
    for name in ("strains", "ready"):
        files = {p.name for p in (runs / name).iterdir()}
        check(files == TREE_RUN_FILES, f"files of run {name}: {files}")
        check((runs / name / "input.txt").read_text() == prepared, f"{name}/input.txt is dorvu-prep's")
        check((runs / name / "input.nwk").read_text() == tree, f"{name}/input.nwk is the input's tree")
        lines = (runs / name / "dorvu.log").read_bytes().decode().split("\r\n")
        check(lines[2].startswith("tree=(") and "'Isolate " in lines[2], f"{name}: the log's tree= line")
        check(read_log(runs / name / "dorvu.log")["marked"].count(" ") == 1, f"{name}: a report of two marks")
    check({p.name for p in (runs / "fixed").iterdir()} == RUN_FILES, "the fixed tree's run is drawn")

    # The summary rows against the logs, and the seeds that repeat the runs.
    rows = check_summary(work / "results" / "summary.tsv", runs, ["fixed", "ready", "strains"])
    for row in rows:
        files, tree_option = (["input.txt"], []) if row["run"] == "fixed" else (["input.txt", "input.nwk"], ["--tree", "input.nwk"])
        with tempfile.TemporaryDirectory(prefix="dorvu-seed-") as again:
            for file in files:
                (Path(again) / file).write_bytes((runs / row["run"] / file).read_bytes())
            subprocess.run(["dorvu", *tree_option], cwd=again, env=dict(env, DORVU_SEED=row["seed"], DORVU_THREADS="1"),
                           check=True, capture_output=True)
            check((Path(again) / "dorvu.log").read_bytes() == (runs / row["run"] / "dorvu.log").read_bytes(),
                  f"seed {row['seed']} repeats run {row['run']}")

    # vertices.tsv: every run's table, the fixed tree's with empty tips and
    # lengths; the tree runs' tips are the FASTA's records, each with 1 tip.
    lines = (work / "results" / "vertices.tsv").read_text().splitlines()
    check(lines[0] == "run\tvertex\tparent\tdepth\tmarked\tA\tC\tG\tT\tname\ttips\tlength", f"header {lines[0]}")
    for name, ending in (("fixed", "\t\t\t"), ("ready", ""), ("strains", "")):
        table = (runs / name / "dorvu.tsv").read_text().splitlines()[1:]
        rows = [line for line in lines[1:] if line.split("\t")[0] == name]
        check(rows == [f"{name}\t{line}{ending}" for line in table], f"vertices.tsv rows of run {name}")
    fasta_lines = (inputs / "strains.fa").read_text().splitlines()
    records = {line.split(" ", 1)[1] for line in fasta_lines if line.startswith(">")}
    _, vertices = read_table(work / "results" / "vertices.tsv")
    for name in ("ready", "strains"):
        tips = [row["name"] for row in vertices if row["run"] == name and row["tips"] == "1"]
        check(sorted(tips) == sorted(records), f"run {name}: the tips of vertices.tsv")

    # Replicates on the tree: the support (with its iTOL dataset) and the scan.
    done = snakemake(source, work, env, "results=reps", "replicates=2", "cardinalities=2,3", "noise=0.1",
                     "label=description", "--", "reps/support/strains.c2.itol.support.txt", "reps/scan/strains.tsv")
    check(done.returncode == 0, f"snakemake exited with {done.returncode}:\n{done.stderr[-3000:]}")
    logs = [work / "reps" / "runs" / f"strains.c2.r{r}" / "dorvu.log" for r in (1, 2)]
    check_support(work / "reps" / "support" / "strains.c2.tsv", logs)
    header, _ = read_table(work / "reps" / "scan" / "strains.tsv")
    check(header[-2:] == ["name", "tips"], f"the tree scan's header {header}")


def main():
    mode, program_dirs, source = sys.argv[1], sys.argv[2], Path(sys.argv[3])
    env = dict(os.environ, PATH=program_dirs + os.pathsep + os.environ["PATH"])
    with tempfile.TemporaryDirectory(prefix=f"dorvu-{mode}-") as work:
        {"snakemake": test_snakemake, "parallel": test_parallel, "replicates": test_replicates,
         "tree": test_tree}[mode](source, Path(work), env)
    print(f"{mode}: the runs and their tables agree with the logs")


if __name__ == "__main__":
    main()
