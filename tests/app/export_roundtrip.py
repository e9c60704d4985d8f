# altrix-scope --export read back by scipy.io.loadmat and h5py: samples against the waveform
# file's, vectors in units against exact decimal arithmetic, times against the Time readout's
# (position + 1) / 5000; a recording's math traces against its channels' vectors.
# Usage: export_roundtrip.py PROGRAM FOLDER

import shutil
import sqlite3
import subprocess
import sys
from decimal import Decimal
from fractions import Fraction
from pathlib import Path
import h5py
import numpy as np
import scipy.io

program, folder = sys.argv[1], Path(sys.argv[2])
folder.mkdir(parents=True, exist_ok=True)
GAINS = ["0.01", "", "0.09765", "54.61"]
SETS = 3000  # a file shorter than the window: its sets only, set k its line k + 1

# A waveform file: "<set> <ch1> <ch2> <ch3> <ch4>", with the extremes of 16 bits among the values.
rows = [[(k * 7919 * (c + 1)) % 65536 - 32768 for c in range(4)] for k in range(SETS)]
rows[5] = [-32768, 32767, 0, -1]
wfd = folder / "in.wfd"
wfd.write_bytes(b"".join(b"%d %d %d %d %d\r\n" % (k + 1, *row) for k, row in enumerate(rows)))
window = np.array(rows, dtype=np.int16)

failures = []
check = lambda what, ok: ok or failures.append(what)

def export(out, *options):
    run = subprocess.run([program, "--export", str(wfd), str(folder / out), "--gains", ",".join(GAINS), *options],
                         capture_output=True, text=True, env={"PATH": "/usr/bin:/bin"})
    check(f"{out}: exit {run.returncode} {run.stderr}", run.returncode == 0 and run.stderr == "")

def compare(out, data, first, last, raw_only):
    positions = np.arange(first, last + 1)
    check(f"{out}: t", data["t"].tolist() == [float(Fraction(int(p) + 1, 5000)) for p in positions])
    check(f"{out}: raw", data["raw"].dtype == np.int16 and np.array_equal(data["raw"], window[first:last + 1]))
    for c, name in enumerate(["Channel_1", "Channel_2", "Channel_3", "Channel_4"]):
        expected = [float(Decimal(int(v)) * Decimal(GAINS[c] or "1")) for v in window[first:last + 1, c]]
        check(f"{out}: {name}", name not in data if raw_only else data[name].tolist() == expected)
    check(f"{out}: names", [str(n) for n in data["names"]] == ["Channel 1", "Channel 2", "Channel 3", "Channel 4"])
    check(f"{out}: gains", data["gains"].tolist() == [float(Decimal(g or "1")) for g in GAINS])
    check(f"{out}: sample_rate_hz", float(data["sample_rate_hz"]) == 5000.0)

def mat_fields(path):
    record = scipy.io.loadmat(path, squeeze_me=True, chars_as_strings=True)["altrix"]
    fields = {name: record[name].item() for name in record.dtype.names}
    fields["raw"] = np.atleast_2d(fields["raw"])
    fields["t"] = np.atleast_1d(fields["t"])
    return {k: (np.atleast_1d(v) if k.startswith("Channel") else v) for k, v in fields.items()}

def h5_fields(path):
    with h5py.File(path, "r") as f:
        group = f["altrix"]
        check(f"{path}: chunked, compressed", group["t"].chunks is not None and group["raw"].compression == "gzip")
        fields = {name: group[name][()] for name in group}
        fields.update({name: group.attrs[name] for name in group.attrs})
        return fields

# (output, options, first and last set)
cases = [
    ("all.mat", [], 0, SETS - 1),
    ("all.h5", [], 0, SETS - 1),
    ("end.mat", ["--from", "0.2", "--to", "0.5996"], 999, 2997),
    ("end.h5", ["--from", "0.2", "--to", "0.5996"], 999, 2997),
    ("raw.h5", ["--raw", "--from", "0.599"], 2994, 2999),
]
for out, options, first, last in cases:
    export(out, *options)
    if (folder / out).exists():
        data = mat_fields(folder / out) if out.endswith(".mat") else h5_fields(folder / out)
        compare(out, data, first, last, "--raw" in options)

# A recording that defines two math traces (one switched off): --export writes the one shown,
# computed from the channels as the window computes it, with the recording's times.
arec = folder / "math.arec"
shutil.copyfile(Path(__file__).resolve().parents[1] / "data" / "one_second.arec", arec)
with sqlite3.connect(arec) as db:
    db.execute("CREATE TABLE IF NOT EXISTS math(trace INTEGER PRIMARY KEY, enabled INTEGER, name TEXT, unit TEXT, expression TEXT)")
    db.execute("DELETE FROM math")
    db.executemany("INSERT INTO math VALUES (?, ?, ?, ?, ?)",
                   [(1, 1, "Twice", "Hz", "2 * ch1"), (2, 0, "Off", "", "ch2"), (3, 0, "", "", ""), (4, 0, "", "", "")])
for out in ["math.mat", "math.h5"]:
    run = subprocess.run([program, "--export", str(arec), str(folder / out), "--from", "0.5", "--to", "0.6"],
                         capture_output=True, text=True, env={"PATH": "/usr/bin:/bin"})
    check(f"{out}: exit {run.returncode} {run.stderr}", run.returncode == 0 and run.stderr == "")
    if not (folder / out).exists():
        continue
    data = mat_fields(folder / out) if out.endswith(".mat") else h5_fields(folder / out)
    check(f"{out}: t", np.atleast_1d(data["t"]).tolist() == [float(Fraction(n, 5000)) for n in range(2500, 3001)])
    check(f"{out}: math vector", np.array_equal(np.atleast_1d(data["Twice_Hz"]), 2 * np.atleast_1d(data["Speed_feedback_Hz"])))
    check(f"{out}: switched off", "Off" not in data)
    check(f"{out}: started_utc", str(data["started_utc"]) == "2026-12-07T01:00:00.500Z")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
