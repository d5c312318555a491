"""Seeds for the record parser's fuzz target: data-stream records of the
generated recordings, as their manifest lists them (a few of each name).

Usage: make_fuzz_seeds.py OUTDIR   (the fixtures come from ORDAVEX_TESTDATA)
"""

import json
import os
import sys

PER_NAME = 3


def main():
    out = sys.argv[1]
    manifest = os.path.join(os.environ["ORDAVEX_TESTDATA"], "recordings", "manifest.json")
    with open(manifest) as f:
        files = json.load(f)["files"]
    os.makedirs(out, exist_ok=True)
    taken = {}
    for entry in files:
        for record in entry["records"]:
            name = record["name"]
            n = taken.get(name, 0)
            if n >= PER_NAME:
                continue
            taken[name] = n + 1
            with open(os.path.join(out, f"{name}_{n}.bin"), "wb") as seed:
                seed.write(bytes.fromhex(record["hex"]))


if __name__ == "__main__":
    main()
