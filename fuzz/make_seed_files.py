#!/usr/bin/env python3
"""Writes the seed calculation files of fuzz/corpus/calculation_file/: 32-bit little-endian
records, the header words followed by the limbs (the value in the first, 100 zero limbs)."""
import pathlib
import struct

SEEDS = {
    "powers_2_10": ([1000000001, 2, 10, 100], 1024),
    "factorial_5": ([1000000002, 5, 100], 120),
    "variations_3_of_10": ([1000000003, 3, 10, 100], 720),
    "legacy_powers_7_3": ([7, 3, 100], 343),
    "combinations_3_of_10": ([1000000004, 3, 10, 100], 120),
}

folder = pathlib.Path(__file__).resolve().parent / "corpus" / "calculation_file"
folder.mkdir(parents=True, exist_ok=True)
for name, (header, value) in SEEDS.items():
    words = header + [value] + [0] * 100
    (folder / f"{name}.bin").write_bytes(struct.pack(f"<{len(words)}i", *words))
