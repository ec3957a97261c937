"""Writes a fuzz target's seed corpus: one file per named seed, into a
folder made anew. Used by the fuzz/make_*_corpus.py scripts."""
import os
import shutil
import sys


def write_seeds(seeds, out=None):
    """seeds: {file name: bytes}; out: the folder (default: argv[1])."""
    out = out or sys.argv[1]
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    for name, seed in seeds.items():
        with open(os.path.join(out, name), "wb") as fh:
            fh.write(seed)
    print(f"{len(seeds)} seeds in {out}")
