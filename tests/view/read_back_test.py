"""dorvu-view's files for a run on a tree of its own, read back by a Newick and
NEXUS reader of this test's own, on awkward tip names (blanks, a quote, an
underscore, brackets, a comma, UTF-8), polytomies, a vertex of one child,
internal labels and missing lengths, and on the shipped strains example; and
by DendroPy or Biopython too, where installed, for the tip names.

  read_back_test.py DORVU DORVU_VIEW DORVU_PREP EXAMPLES
"""

import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

TREE = ("(('Ada Lovelace':0.1,'O''Neil':0.2,under_score:0.3)'Smith''s clade':0.05,"
        "('paren(s)':0.1,'a,b':0.2,'Zoë Ångström':0.15,(single:0.4)0.9,'x[1]:y;z')95,plain:1e-3)root;\n")
TIPS = ["Ada Lovelace", "O'Neil", "under_score", "paren(s)", "a,b", "Zoë Ångström", "single", "x[1]:y;z", "plain"]
QUOTED = re.compile(r"'((?:[^']|'')*)'")
COMMENT = re.compile(r'\[((?:[^\]"]|"[^"]*")*)\]')
PLAIN = re.compile(r"[^\s(),:;\[\]']+")


def check(condition, message):
    if not condition:
        sys.exit(f"FAILED: {message}")


def tokens(text):
    """(kind, value) pairs: punctuation, labels (an unquoted _ is a blank) and [...] comments."""
    i = 0
    while i < len(text):
        if text[i].isspace():
            i += 1
            continue
        if text[i] in "(),:;":
            yield text[i], text[i]
            i += 1
            continue
        pattern = {"'": QUOTED, "[": COMMENT}.get(text[i], PLAIN)
        match = pattern.match(text, i)
        check(match, f"no Newick at {text[i:i + 30]!r}")
        if pattern is QUOTED:
            yield "label", match[1].replace("''", "'")
        else:
            yield ("comment", match[1]) if pattern is COMMENT else ("label", match[0])
        i = match.end()


def parse(text):
    """The comments before the tree, and its vertices in preorder: name, parent, length, notes, children."""
    stream, vertices = list(tokens(text)), []
    stream.append((None, None))
    position = 0

    def take(kind=None):
        nonlocal position
        if kind and stream[position][0] != kind:
            return None
        position += 1
        return stream[position - 1][1]

    def notes(vertex):
        while (body := take("comment")) is not None:
            check(body.startswith("&"), f"comment [{body}] of {vertex['name']!r}")
            for key, quoted, plain in re.findall(r'(\w+)=(?:"([^"]*)"|([^,]*))', body[1:]):
                vertex["notes"][key] = quoted or plain

    def read(parent):
        vertex = {"name": "", "parent": parent, "length": "", "notes": {}, "children": []}
        vertices.append(vertex)
        if take("("):
            vertex["children"].append(read(vertex))
            while take(","):
                vertex["children"].append(read(vertex))
            check(take(")"), f"a ')' after the children of vertex {len(vertices)}")
        vertex["name"] = take("label") or ""
        notes(vertex)
        if take(":"):
            vertex["length"] = take("label")
            notes(vertex)
        return vertex

    leading = []
    while (body := take("comment")) is not None:
        leading.append(body)
    read(None)
    check(take(";") and position == len(stream) - 1, "the tree ends with its ';'")
    return leading, vertices


def shape(vertices):
    """name -> (its parent's name, its length, its children's names), the names being unique."""
    names = [vertex["name"] for vertex in vertices]
    twice = sorted({name for name in names if names.count(name) > 1})
    check(not twice, f"names that stand for two vertices: {twice}")
    return {v["name"]: (v["parent"] and v["parent"]["name"], v["length"], [c["name"] for c in v["children"]])
            for v in vertices}


def same_tree(vertices, expected, what):
    got = shape(vertices)
    wrong = {name: (got.get(name), expected.get(name)) for name in got.keys() | expected.keys()
             if got.get(name) != expected.get(name)}
    check(not wrong, f"{what}: (read, tabulated) differ for {dict(list(wrong.items())[:3])}")


def itol_rows(path, kind):
    lines = path.read_text(encoding="utf-8").splitlines()
    check(lines[0] == kind and "SEPARATOR TAB" in lines, f"{path.name}: a {kind} dataset")
    return [line.split("\t") for line in lines[lines.index("DATA") + 1:] if line]


def library_tips(nwk, nex):
    """The tip names as DendroPy and Biopython read them, where they are installed."""
    read = []
    try:
        import dendropy
        for path, schema in ((nwk, "newick"), (nex, "nexus")):
            tree = dendropy.Tree.get(path=str(path), schema=schema)
            read.append((f"DendroPy, {path.name}", [leaf.taxon.label for leaf in tree.leaf_node_iter()]))
    except ImportError:
        pass
    try:
        from Bio import Phylo
        read.append((f"Biopython, {nwk.name}", [clade.name for clade in Phylo.read(str(nwk), "newick").get_terminals()]))
    except ImportError:
        pass
    return read


def check_outputs(view, log, tips):
    """dorvu-view's files of LOG against its table, and the table's tip names against TIPS."""
    prefix = log.parent / "out"
    subprocess.run([view, log, "-o", prefix], check=True)
    lines = Path(f"{prefix}.tsv").read_text(encoding="utf-8").splitlines()
    header = lines[0].split("\t")
    check(header == ["vertex", "parent", "depth", "marked", "A", "C", "G", "T", "name", "tips", "length"], f"{header}")
    rows = [dict(zip(header, line.split("\t"))) for line in lines[1:]]
    parents = {row["parent"] for row in rows}
    # The name of each vertex in the Newick: a tip's own, else its d.i.
    key = {row["vertex"]: row["vertex"] if row["vertex"] in parents else row["name"] for row in rows}
    expected = {key[row["vertex"]]: (key.get(row["parent"]), row["length"],
                                     [key[r["vertex"]] for r in rows if r["parent"] == row["vertex"]]) for row in rows}
    check(sorted(row["name"] for row in rows if row["vertex"] not in parents) == sorted(tips), "the tips' names")

    leading, nwk = parse(Path(f"{prefix}.nwk").read_text(encoding="utf-8"))
    check(not leading, f"{prefix}.nwk: comments before the tree")
    same_tree(nwk, expected, f"{prefix}.nwk")
    nexus = Path(f"{prefix}.nex").read_text(encoding="utf-8").splitlines()
    check(nexus[:3] == ["#NEXUS", "", "BEGIN TREES;"] and nexus[4:] == ["END;"], f"the NEXUS blocks: {nexus[:3]}")
    check(nexus[3].startswith("\tTREE dorvu = "), f"the NEXUS tree: {nexus[3][:40]}")
    leading, nex = parse(nexus[3].removeprefix("\tTREE dorvu = "))
    check(leading == ["&R"], f"{prefix}.nex: [&R] before the tree, not {leading}")
    same_tree(nex, expected, f"{prefix}.nex")
    by_key = {key[row["vertex"]]: row for row in rows}
    for vertex in nex:
        row = by_key[vertex["name"]]
        values = {name: row[name] for name in ("vertex", "marked", "A", "C", "G", "T")}
        if row["vertex"] in parents and row["name"]:
            values["label"] = row["name"]
        check(vertex["notes"] == values, f"the NEXUS values of {row['vertex']}: {vertex['notes']} != {values}")

    cut = [fields[0] for fields in itol_rows(Path(f"{prefix}.itol.branches.txt"), "TREE_COLORS")]
    marked = [key[row["vertex"]] for row in rows if row["marked"] == "1" and row["parent"] != "NA"]
    check(sorted(cut) == sorted(marked), f"the cut branches in iTOL: {cut} != {marked}")
    pies = itol_rows(Path(f"{prefix}.itol.bases.txt"), "DATASET_PIECHART")
    check(sorted(fields[0] for fields in pies) == sorted(expected), "a pie at every vertex, by its Newick name")
    for fields in pies:
        check(len(fields) == 7 and fields[3:] == [by_key[fields[0]][b] for b in "ACGT"], f"the pie {fields}")

    for reader, read in library_tips(Path(f"{prefix}.nwk"), Path(f"{prefix}.nex")):
        check(sorted(read) == sorted(tips), f"{reader}: tip names {sorted(read)}")


def main():
    dorvu, view, prep, examples = sys.argv[1:5]
    with tempfile.TemporaryDirectory(prefix="dorvu-read-back-") as work:
        awkward = Path(work) / "awkward"
        awkward.mkdir()
        (awkward / "input.nwk").write_text(TREE, encoding="utf-8")
        leaves = ["presupposed cardinality of scenario=2", "level of randomness=0"]
        shares = ["0.1", "0.2", "0.3", "0.4"]
        for k, tip in enumerate(TIPS):
            values = shares[k % 4:] + shares[: k % 4]
            leaves.append("'" + tip.replace("'", "''") + "' " + " ".join(f"{b}:{v}" for b, v in zip("ACGT", values)))
        (awkward / "input.txt").write_text("\n".join(leaves) + "\n", encoding="utf-8")
        subprocess.run([dorvu, "--tree", "input.nwk"], cwd=awkward, check=True, stdout=subprocess.DEVNULL)
        check_outputs(view, awkward / "dorvu.log", TIPS)

        strains = Path(work) / "strains"
        strains.mkdir()
        for name in ("strains.fa", "strains.nwk"):
            shutil.copy(Path(examples) / name, strains / name)
        subprocess.run([prep, "--cardinality", "2", "--noise", "0", "--label", "description", "--tree", "strains.nwk",
                        "strains.fa"], cwd=strains, check=True)
        subprocess.run([dorvu, "--tree", "input.nwk"], cwd=strains, check=True, stdout=subprocess.DEVNULL)
        records = (strains / "strains.fa").read_text(encoding="utf-8").splitlines()
        check_outputs(view, strains / "dorvu.log", [line.split(" ", 1)[1] for line in records if line.startswith(">")])
    print("read back: the tree files agree with the table")


if __name__ == "__main__":
    main()
