#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from the built-in definitions
texts and a handful of worked examples: make_seeds.py OUTDIR."""
import hashlib
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
TEXTS = [ROOT / "src/definitions/default_en.txt", ROOT / "src/definitions/constants_en.txt"]

EXPRESSIONS = ["2**10", "2**-3", "233.15 + 200 / 9", "5 - 3 - 1", "2 * (3 + 4", "2 3", "2^3",
               "π / 2", "2 * π", "-1e-3", "2 * 1e-3", "(((1)))", "-inf", ".5", "1."]
UNIT_EXPRESSIONS = ["km/h", "kg*m**2/s**2", "1/s", "J K^-1", "meter / (second * kelvin)",
                    "m/s/s", "m/(s*s)", "m/s*s", "m m", "m/m", "3 m", "(m)", "((m)", "m)",
                    "m ** 2 ** 3", "-3 * m", "m - 3", "s^-1", "m**0.5", "degC", "delta_degC",
                    "kilometers", "µs", "dimensionless", " dimensionless ", "[length]",
                    "mile/hour", "kWh", "Ki B", "(m/s)**2 / (kg^-1)"]
DEFINE_CONVERT = [
    "foo = 3 * meter = f\n?f|m\n?foo**2|cm**2",
    "smoot = 1.7018 * meter\n?smoot/s|km/h",
    "myC = kelvin; offset: 273.15 = mC\n?mC|degF",
    "zz- = 1e5 = Z_-\n?zzm|m\n?Z_g|kg",
    "@alias meter = lineal\n?lineal|ft",
    "blob = [blobness]\nblib = 2 blob\n?blib|blob\n?blib|m",
    "?degC|degF\n?degC*s|K*s\n?km/h|m/s",
    "x = 1/0 * m\n?x|m\ny = m ** 1e308\n?y|m",
]


def write(outdir, name, seeds):
    d = outdir / name
    d.mkdir(parents=True, exist_ok=True)
    for seed in seeds:
        data = seed.encode("utf-8")
        (d / hashlib.sha1(data).hexdigest()).write_bytes(data)


def main():
    outdir = pathlib.Path(sys.argv[1])
    lines = []
    for path in TEXTS:
        lines += path.read_text(encoding="utf-8").splitlines()
    definitions = ["\n".join(lines[i:i + 25]) for i in range(0, len(lines), 25)]

    values, relations, names = [], [], []
    for line in lines:
        line = line.split("#", 1)[0].strip()
        if not line or line.startswith("@") or "=" not in line:
            continue
        left, right = line.split("=", 1)
        main, _, modifier = right.partition(";")
        pieces = [p.strip() for p in main.split("=")]
        if left.strip().endswith("-"):
            values.append(pieces[0])
            continue
        if modifier.strip().startswith("offset:"):
            values.append(modifier.strip()[len("offset:"):].split("=")[0].strip())
        relations.append(pieces[0])
        names += [left.strip()] + [p for p in pieces[1:] if p and p != "_"]

    write(outdir, "parse_definitions_fuzz", definitions)
    write(outdir, "eval_simple_expr_fuzz", values + EXPRESSIONS)
    write(outdir, "relation_fuzz", relations + UNIT_EXPRESSIONS)
    write(outdir, "parse_unit_expr_fuzz", names[::3] + UNIT_EXPRESSIONS)
    write(outdir, "define_convert_fuzz", DEFINE_CONVERT + definitions[::4])


if __name__ == "__main__":
    main()
