"""Counts the levels of near-boundary speeds that other tools get wrong.

Usage: accuracy.py SPEEDS REFERENCE OTHER...
REFERENCE and each OTHER are files of levels, one per line, for SPEEDS.
Prints one line per OTHER: its name and how many of its lines differ.
"""
import sys


def read_lines(path):
    with open(path) as file:
        return [line.strip() for line in file]


def main():
    speeds, reference, *others = sys.argv[1:]
    expected = read_lines(reference)
    count = len(read_lines(speeds))
    for other in others:
        got = read_lines(other)
        wrong = sum(1 for a, b in zip(expected, got) if a != b) + abs(len(expected) - len(got))
        print(f"{other}\t{wrong}\t{count}")


main()
