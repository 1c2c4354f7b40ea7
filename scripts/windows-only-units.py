#!/usr/bin/env python3
"""Prints, sorted and relative to the repository, the sources that the Windows
build compiles and the Linux build does not: the platform layer's Windows side
and its tests.
  scripts/windows-only-units.py LINUX/compile_commands.json WINDOWS/compile_commands.json
"""
import json
import os
import subprocess
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
expand = os.path.join(root, "scripts", "unit-compile-commands.py")


def sources(database):
    units = json.loads(subprocess.run([sys.executable, expand, database], check=True, capture_output=True).stdout)
    return {os.path.relpath(os.path.join(unit["directory"], unit["file"]), root) for unit in units}


print("\n".join(sorted(sources(sys.argv[2]) - sources(sys.argv[1]))))
