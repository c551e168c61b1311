"""The workflow on a cluster and from the Debian package:

  cluster_test.py slurm PROGRAM_DIRS SOURCE_DIR
      the README's cluster command (workflow/profiles/slurm) against a running
      SLURM cluster (.ci/slurm-cluster starts one): a batch of three ready
      inputs and one FASTA, a batch with a bad FASTA, and a replicate batch,
      each checked against the same batch run on this machine
  cluster_test.py installed SOURCE_DIR
      workflow_test.py's Snakemake batch with the installed programs and the
      installed workflow (/usr/share/dorvu/workflow), none of this build
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

from workflow_test import RUN_FILES, check, fasta, read_log, ready_input, snakemake, test_snakemake

INSTALLED_WORKFLOW = Path("/usr/share/dorvu/workflow")


def cluster_command(source):
    """The README's command that runs the workflow through the SLURM profile."""
    blocks = re.findall(r"```sh\n(.*?)```", (source / "README.md").read_text(), re.S)
    commands = [block for block in blocks if "--profile workflow/profiles/slurm" in block]
    check(len(commands) == 1, f"{len(commands)} commands with the SLURM profile in the README")
    return commands[0].strip()


# The lock file that dorvu leaves beside its log names the process and host
# of the run, which differ from one run to the next.
LOCK = "dorvu.log.lock"


def files_under(folder):
    """Every file the workflow wrote under the folder, by its relative path."""
    return {path.relative_to(folder): path.read_bytes()
            for path in sorted(folder.rglob("*")) if path.is_file() and path.name != LOCK}


def on_cluster(source, work, env, *settings):
    """The README's command, as written there, in `work` with `settings` added to its --config."""
    (work / "workflow").symlink_to(source / "workflow")
    command = cluster_command(source) + " " + " ".join(settings)
    return subprocess.run(["sh", "-c", command], cwd=work, env=env, capture_output=True, text=True)


def here(source, work, env, *settings):
    done = snakemake(source, work, env, *settings)
    check(done.returncode == 0, f"the batch on this machine exited with {done.returncode}:\n{done.stderr[-3000:]}")


def slurm_jobs(work, rule):
    """SLURM's job ids of a rule's jobs, from the job logs Snakemake keeps."""
    return [log.stem for log in (work / ".snakemake" / "slurm_logs" / f"rule_{rule}").glob("*.log")]


def job_request(job):
    """State, memory, time limit and CPUs of a SLURM job as the accounting holds them."""
    done = subprocess.run(["sacct", "-X", "-P", "-n", "-j", job, "-o", "State,ReqMem,Timelimit,ReqCPUS"],
                          capture_output=True, text=True, check=True)
    return done.stdout.strip().split("|")


def write_batch(source, inputs):
    inputs.mkdir(parents=True)
    (inputs / "low.txt").write_text(ready_input(source, 1, 0.1))
    (inputs / "two.txt").write_text(ready_input(source, 2, 0.1))
    (inputs / "typo.txt").write_text(ready_input(source, 1, 0, bad_leaf=7))
    (inputs / "genes.fa").write_text(fasta(seed=3)[0])


def test_batch(source, work, env):
    """Three ready inputs and one FASTA give the same files through SLURM as here."""
    settings = ["seed=11", "cardinality=1", "noise=0.1", "mem_mb=1200", "runtime=30"]
    for side in ("local", "slurm"):
        write_batch(source, work / side / "inputs")
    here(source, work / "local", env, "results=results", *settings)
    done = on_cluster(source, work / "slurm", env, *settings)
    check(done.returncode == 0, f"the batch through SLURM exited with {done.returncode}:\n{done.stderr[-3000:]}")

    local, slurm = files_under(work / "local" / "results"), files_under(work / "slurm" / "results")
    check(sorted(slurm) == sorted(local), f"the files through SLURM: {sorted(map(str, slurm))}")
    for name in ("summary.tsv", "vertices.tsv"):
        check(slurm[Path(name)] == local[Path(name)], f"{name} through SLURM and here")
    for path, data in local.items():
        check(slurm[path] == data, f"{path} through SLURM and here")
    check(sum(path.name == "dorvu.log" for path in slurm) == 4, "four logs")

    jobs = slurm_jobs(work / "slurm", "dorvu")
    check(len(jobs) == 4, f"four dorvu jobs in SLURM, not {jobs}")
    for job in jobs:
        check(job_request(job) == ["COMPLETED", "1200M", "00:30:00", "1"], f"job {job}: {job_request(job)}")
    prep = slurm_jobs(work / "slurm", "prepared_input")
    check(len(prep) == 1 and job_request(prep[0]) == ["COMPLETED", "256M", "00:30:00", "1"], f"dorvu-prep's job")
    for job in slurm_jobs(work / "slurm", "view"):
        check(job_request(job) == ["COMPLETED", "256M", "00:15:00", "1"], f"dorvu-view's job {job}")


def test_bad_fasta(source, work, env):
    """A FASTA that dorvu-prep refuses fails its job and the batch; the other runs are complete."""
    inputs = work / "inputs"
    inputs.mkdir()
    (inputs / "good.txt").write_text(ready_input(source, 1, 0.1))
    text, _ = fasta(seed=4)
    (inputs / "genes.fa").write_text(text)
    lines = text.split("\n")
    lines[4] = "*" + lines[4][1:]  # line 5: the first line of record 2's sequence
    (inputs / "bad.fa").write_text("\n".join(lines))
    done = on_cluster(source, work, env, "seed=5")
    check(done.returncode != 0, "a batch with a bad FASTA ends with a non-zero exit")
    check("Error in rule prepared_input" in done.stderr, f"the failed job is reported:\n{done.stderr[-3000:]}")

    failed = slurm_jobs(work, "prepared_input")
    states = sorted(job_request(job)[0] for job in failed)
    check(states == ["COMPLETED", "FAILED"], f"dorvu-prep's jobs: {states}")
    logs = "".join((work / ".snakemake" / "slurm_logs" / "rule_prepared_input" / f"{job}.log").read_text()
                   for job in failed)
    check(re.search(r'dorvu-prep: \S*bad\.fa:5: record 2 "gene2": "\*" in column 1 is not a base code', logs),
          f"dorvu-prep's message in the job's log:\n{logs[-3000:]}")

    runs = work / "results" / "runs"
    check(sorted(p.name for p in runs.iterdir()) == ["genes", "good"], "runs of the good inputs only")
    for run in ("genes", "good"):
        expected = RUN_FILES | ({"input.names.tsv"} if run == "genes" else set())
        check({p.name for p in (runs / run).iterdir()} - {LOCK} == expected - {LOCK}, f"files of run {run}")
        check(len(read_log(runs / run / "dorvu.log")["vertices"]) == 127, f"a whole report in run {run}")
    check(not (work / "results" / "summary.tsv").exists(), "no summary of a batch that failed")


def test_replicates(source, work, env):
    """A small replicate batch with its support and scan tables, through SLURM as here."""
    settings = ["seed=7", "replicates=2", "cardinalities=2,3"]
    for side in ("local", "slurm"):
        (work / side / "inputs").mkdir(parents=True)
        (work / side / "inputs" / "ex.txt").write_text(ready_input(source, 1, 0.1))
    here(source, work / "local", env, "results=results", *settings)
    done = on_cluster(source, work / "slurm", env, *settings)
    check(done.returncode == 0, f"the replicates through SLURM exited with {done.returncode}:\n{done.stderr[-3000:]}")
    local, slurm = files_under(work / "local" / "results"), files_under(work / "slurm" / "results")
    check(sorted(slurm) == sorted(local), f"the files through SLURM: {sorted(map(str, slurm))}")
    for path, data in local.items():
        check(slurm[path] == data, f"{path} through SLURM and here")
    check(len(slurm_jobs(work / "slurm", "dorvu")) == 4, "four dorvu jobs: two replicates of two cardinalities")
    check(Path("scan/ex.tsv") in slurm and Path("support/ex.c3.tsv") in slurm, "the scan and the support tables")


def test_slurm(source, work, env):
    check(os.environ.get("SLURM_CONF"), "SLURM_CONF names the cluster; run this under .ci/slurm-cluster")
    # As the README says: Snakemake's SLURM support needs USER.
    env = {key: value for key, value in env.items() if key != "USER"}
    # Snakemake 7 gives sbatch the working directory unquoted: no blanks in the names.
    for name, test in (("batch", test_batch), ("bad-fasta", test_bad_fasta), ("replicates", test_replicates)):
        (work / name).mkdir()
        test(source, work / name, env)
        print(f"slurm: {name}: passed")
    print("slurm: 3 passed, 0 failed")


def test_installed(source, work, env):
    """The Snakemake batch of workflow_test.py with what the package installed."""
    for program in ("dorvu", "dorvu-view", "dorvu-prep"):
        check(shutil.which(program, path=env["PATH"]) == f"/usr/bin/{program}", f"{program} is the installed one")
    # The test takes the workflow from SOURCE/workflow and the example from
    # SOURCE/examples: a source of the installed workflow and the example.
    installed = work / "installed"
    installed.mkdir()
    (installed / "workflow").symlink_to(INSTALLED_WORKFLOW)
    (installed / "examples").symlink_to(source / "examples")
    (work / "batch").mkdir()
    test_snakemake(installed, work / "batch", env)
    print("installed: the batch with the installed programs and workflow passed")


def main():
    mode, source = sys.argv[1], Path(sys.argv[-1])
    program_dirs = sys.argv[2] if mode == "slurm" else "/usr/bin"
    env = dict(os.environ, PATH=program_dirs + os.pathsep + os.environ["PATH"])
    with tempfile.TemporaryDirectory(prefix=f"dorvu-{mode}-") as work:
        {"slurm": test_slurm, "installed": test_installed}[mode](source, Path(work), env)


if __name__ == "__main__":
    main()
