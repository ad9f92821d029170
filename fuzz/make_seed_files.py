#!/usr/bin/env python3
"""Writes the hand-made seeds of fuzz/corpus/: calculation files (32-bit little-endian records,
the header words followed by the limbs: the value in the first, 100 zero limbs), the same files
behind the byte that moves the target of calculation_run, settings files and command lines
(arguments separated by NUL bytes)."""
import pathlib
import struct

CALCULATIONS = {
    "powers_2_10": ([1000000001, 2, 10, 100], 1024),
    "factorial_5": ([1000000002, 5, 100], 120),
    "variations_3_of_10": ([1000000003, 3, 10, 100], 720),
    "legacy_powers_7_3": ([7, 3, 100], 343),
    "combinations_3_of_10": ([1000000004, 3, 10, 100], 120),
}

# The byte before a continued file: its value modulo 12, minus 3, moves the target.
MOVES = {"back_1": 2, "same": 3, "on_1": 4, "on_8": 11}

SETTINGS = {
    "defaults.ini": "[nastaveni]\r\nukladat_konf=1\r\nvysledek_auto=1\r\nnuly_na_konci=1\r\n"
    "zalamovat=0\r\nukaz_stav=1000\r\nzalohy=1000000000\r\nlog_chyby=0\r\npriorita=32\r\n"
    "zalomit_po=80\r\nhlavicka_vysledku=0\r\nadresar=/home/u/Dokumenty/Cifrovary\r\n"
    "[poloha]\r\nleft=100\r\ntop=80\r\nvypis_max=0\r\nvypis_left=10\r\nvypis_top=20\r\n"
    "vypis_width=361\r\nvypis_height=242\r\n",
    "hand_edited.ini": "\ufeff; komentář\n[Nastaveni]\n  UKAZ_STAV = 0x3E8 \nzalohy=-5\n"
    "[poloha\nleft=2147483648\ntop=0xFFFFFFFF\n[nastaveni]\nzalomit_po=80\n",
    "set_value.ini": "[nastaveni]\nadresar=/tmp\n\0\x11 /nová složka\r\n[x]\n",
    "set_missing_section.ini": "klic=bez sekce\n\0\x13hodnota",
}

COMMAND_LINES = {
    "factorial": ["factorial", "1000", "-o", "out.txt"],
    "power_hex": ["mocniny", "$10", "0x10", "--digits", "--quiet"],
    "variations_wrap": ["variace", "3", "10", "--header", "--wrap", "80", "--no-trim"],
    "combinations_save": ["kombinace", "3", "10", "--save", "k.cfr", "--backup-every", "1000",
                          "--workdir", "/tmp", "--log", "--memory-limit", "800M"],
    "open_to": ["open", "f.cfr", "--to", "6", "--progress", "--output=-"],
    "help": ["otevri", "--help"],
    "separator": ["power", "--", "-2", "3"],
}

corpus = pathlib.Path(__file__).resolve().parent / "corpus"
for name in ("calculation_file", "calculation_run", "ini_file", "cli_options"):
    (corpus / name).mkdir(parents=True, exist_ok=True)
for name, (header, value) in CALCULATIONS.items():
    words = header + [value] + [0] * 100
    file = struct.pack(f"<{len(words)}i", *words)
    (corpus / "calculation_file" / f"{name}.bin").write_bytes(file)
    for move, byte in MOVES.items():
        (corpus / "calculation_run" / f"{name}_{move}.bin").write_bytes(bytes([byte]) + file)
for name, text in SETTINGS.items():
    (corpus / "ini_file" / name).write_bytes(text.encode("utf-8"))
for name, arguments in COMMAND_LINES.items():
    (corpus / "cli_options" / name).write_bytes("\0".join(arguments).encode("utf-8"))
