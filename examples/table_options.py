"""What the example scripts share: the options naming a table's columns (the
points, the rates, the weights and an optional label), reading the table
with them, and the axes' labels in the coordinates' own unit.

The defaults are the bundled example's columns. A label column (names of
the districts, say) is carried along but never smoothed.
"""
import os
import re
import sys

import pandas as pd

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLE = os.path.join(ROOT, "examples", "rates.csv")
COLUMNS = {"x": "x_km", "y": "y_km", "rate": "rate_per_1000", "weight": "population"}
# A unit at the end of a column's name: x_km, easting_m, north (mi).
UNIT_IN_NAME = re.compile(r"^(?P<stem>.+?)(?:[_ ]|\s*\()(?P<unit>km|m|mi|ft)\)?$")


def add_table_options(parser):
    parser.add_argument("--input", default=EXAMPLE,
                        help="the table, a CSV file with a header; NA or an empty field "
                             "marks a missing value (default: the bundled example)")
    for option, default in COLUMNS.items():
        parser.add_argument(f"--{option}", default=default, metavar="COLUMN",
                            help=f"the column of the {option} values (default: {default})")
    parser.add_argument("--label", metavar="COLUMN",
                        help="a column naming the rows, carried along, not smoothed")
    parser.add_argument("--unit",
                        help="the coordinates' unit, shown on the axes (default: the one "
                             "ending the x column's name, as km in x_km; none when it names "
                             "none; --unit '' shows none)")


def read_table(args):
    """The table's named columns (and the label column, when named), "NA"
    and empty fields read as missing. Exits naming a column that is not
    there."""
    table = pd.read_csv(args.input)
    wanted = {option: getattr(args, option) for option in (*COLUMNS, "label")}
    for option, name in wanted.items():
        if name is not None and name not in table.columns:
            sys.exit(f"{os.path.basename(sys.argv[0])}: {args.input} has no column {name!r} "
                     f"(--{option}); its columns: {', '.join(map(str, table.columns))}")
    return table[[name for name in wanted.values() if name is not None]]


def unit_of(args):
    """The coordinates' unit: --unit, else the one ending the x column's
    name, else None."""
    if args.unit is not None:
        return args.unit or None
    found = UNIT_IN_NAME.match(str(args.x))
    return found["unit"] if found else None


def axis_label(name, unit):
    """A coordinate column's axis label: "x (km)" for the column x_km, the
    name itself when no unit is known."""
    found = UNIT_IN_NAME.match(str(name))
    stem = found["stem"] if found and found["unit"] == unit else str(name)
    return f"{stem} ({unit})" if unit else stem
