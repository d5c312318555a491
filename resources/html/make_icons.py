#!/usr/bin/env python3
"""Draws the car marker's eight heading icons: car_0.svg (north) to
car_7.svg (northwest), 32 x 32, an arrow turned clockwise by 45 degrees a step.

  make_icons.py OUT_DIR
"""
import os
import sys

ARROW = ("<svg xmlns='http://www.w3.org/2000/svg' width='32' height='32' viewBox='0 0 32 32'>"
         "<g transform='rotate({angle} 16 16)'>"
         "<circle cx='16' cy='16' r='14' fill='#ffffff' fill-opacity='0.85' stroke='#0d47a1' stroke-width='2'/>"
         "<path d='M16 4 L25 25 L16 20 L7 25 Z' fill='#d32f2f' stroke='#7f0000' stroke-width='1'/>"
         "</g></svg>\n")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for index in range(8):
        with open(os.path.join(out, "car_%d.svg" % index), "w") as f:
            f.write(ARROW.format(angle=index * 45))


if __name__ == "__main__":
    main()
