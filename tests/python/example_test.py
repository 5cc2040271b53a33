"""The GeoPandas example runs and draws its map."""
import os
import subprocess
import sys

from conftest import ROOT


def test_districts_example_draws_its_map(tmp_path):
    output = tmp_path / "districts.png"
    done = subprocess.run([sys.executable, os.path.join(ROOT, "examples", "districts.py"),
                           "--output", str(output)], capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=300)
    assert done.returncode == 0, done.stderr
    assert "2,050 districts, 12 missing" in done.stdout
    assert output.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
