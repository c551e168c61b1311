#!/usr/bin/env python3
"""Writes the tree example: examples/strains.nwk, a rooted tree of 200 made-up
strains with polytomies, support values and branch lengths, and
examples/strains.fa, a sequence of 400 bases for each strain, with two planted
shifts of composition: one clade GC-rich and one AT-rich.

    python3 examples/make_tree_example.py [FOLDER [TIPS]]

With TIPS other than 200 (such as 10000, for the README's large picture) the
tree has that many tips and the planted clades grow with it.

Standard library only and a fixed seed: every run writes the same bytes.
Prints the two planted clades by their dorvu names (d.i).

The FASTA headers are "ACCESSION STRAIN NAME", so the tip names, some of which
hold a blank ('Isolate 42'), are the records' descriptions:
dorvu-prep --label description --tree strains.nwk strains.fa
"""

import random
import sys
from pathlib import Path

SEED = 20261208
TIPS = 200
LENGTH = 400
BACKGROUND = (0.25, 0.25, 0.25, 0.25)
GC_RICH = (0.16, 0.34, 0.34, 0.16)
AT_RICH = (0.34, 0.16, 0.16, 0.34)


class Vertex:
    def __init__(self, children=(), name=""):
        self.children = list(children)
        self.name = name
        self.length = 0.0
        self.support = None

    def tips(self):
        return [self] if not self.children else [tip for child in self.children for tip in child.tips()]


def build(rng, count):
    """A random subtree of `count` tips; a vertex has 2 children mostly, 3 or 4 at times."""
    if count == 1:
        return Vertex()
    arity = rng.choices((2, 3, 4), weights=(70, 20, 10))[0] if count >= 4 else 2
    arity = min(arity, count)
    cuts = sorted(rng.sample(range(1, count), arity - 1))
    sizes = [b - a for a, b in zip([0] + cuts, cuts + [count])]
    return Vertex(build(rng, size) for size in sizes)


def label(name):
    plain = all(c not in " \t\r\n()[]':;," for c in name)
    return name if plain else "'" + name.replace("'", "''") + "'"


def newick(vertex):
    text = ""
    if vertex.children:
        text = "(" + ",".join(newick(child) for child in vertex.children) + ")"
        if vertex.support is not None:
            text += str(vertex.support)
    else:
        text = label(vertex.name)
    return text + f":{vertex.length:.4f}"


def dorvu_names(root):
    """The d.i name of every vertex: depth, then place among that depth in file order."""
    names, counts = {}, {}

    def walk(vertex, depth):
        counts[depth] = counts.get(depth, 0) + 1
        names[id(vertex)] = "0" if depth == 0 else f"{depth}.{counts[depth]}"
        for child in vertex.children:
            walk(child, depth + 1)

    walk(root, 0)
    return names


def internal(vertex):
    return [vertex] + [v for child in vertex.children if child.children for v in internal(child)]


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    count = int(sys.argv[2]) if len(sys.argv) > 2 else TIPS
    rng = random.Random(SEED)
    root = build(rng, count)
    for vertex in internal(root)[1:]:
        vertex.support = rng.choice(range(60, 101))
    stack = [root]
    while stack:
        vertex = stack.pop()
        for child in vertex.children:
            child.length = rng.uniform(0.002, 0.02 if child.children else 0.06)
            stack.append(child)

    tips = root.tips()
    numbers = rng.sample(range(1, 1000 if count == TIPS else 10 * count), count)
    digits = 3 if count == TIPS else len(str(10 * count))
    for tip, number in zip(tips, numbers):
        tip.name = f"Isolate {number}" if rng.random() < 0.05 else f"Strain_{number:0{digits}d}"

    # Two disjoint clades of well supported vertices: one of 12 to 24 tips, one of 6 to 10 (out of 200).
    names = dorvu_names(root)
    clades = internal(root)[1:]
    big_sizes = (12, 24) if count == TIPS else (count // 40, count // 10)
    small_sizes = (6, 10) if count == TIPS else (count // 100, count // 40)
    big = rng.choice([v for v in clades if big_sizes[0] <= len(v.tips()) <= big_sizes[1]])
    small = rng.choice([v for v in clades if small_sizes[0] <= len(v.tips()) <= small_sizes[1]
                        and not set(map(id, v.tips())) & set(map(id, big.tips()))])
    big.support, small.support = 100, 98
    shifted = {id(tip): GC_RICH for tip in big.tips()} | {id(tip): AT_RICH for tip in small.tips()}

    # A large tree gets longer sequences, so that single tips drawn far from
    # their composition by chance do not outweigh a planted clade.
    length = LENGTH if count == TIPS else 4000
    fasta = ""
    for k, tip in enumerate(tips, start=1):
        weights = shifted.get(id(tip), BACKGROUND)
        sequence = "".join(rng.choices("ACGT", weights=weights, k=length))
        fasta += f">ACC{k:04d} {tip.name}\n" + "".join(sequence[i : i + 80] + "\n" for i in range(0, length, 80))

    (folder / "strains.nwk").write_text(newick(root).removesuffix(":0.0000") + ";\n")
    (folder / "strains.fa").write_text(fasta)
    print(f"GC-rich: {names[id(big)]} ({len(big.tips())} tips); AT-rich: {names[id(small)]} ({len(small.tips())} tips)")


if __name__ == "__main__":
    main()
