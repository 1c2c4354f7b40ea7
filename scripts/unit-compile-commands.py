#!/usr/bin/env python3
"""Prints a compilation database with one entry per source file.

A unity build compiles its sources through generated files that include them,
so its database names those files; tools that check one source at a time
(clang-tidy) need each source's own command, which is the including file's,
less the warning option that only unity compiles need (which clang lacks).
  scripts/unit-compile-commands.py BUILD/compile_commands.json > OUT/compile_commands.json
"""
import json
import re
import sys

INCLUDED_SOURCE = re.compile(r'^#include "(.+)"$', re.MULTILINE)
UNITY_FILE = re.compile(r"/Unity/unity_\d+_\w+\.\w+$")
UNITY_ONLY_OPTION = "-Wno-subobject-linkage"


def without_unity_option(entry):
    own = dict(entry)
    if "command" in own:
        own["command"] = own["command"].replace(" " + UNITY_ONLY_OPTION, "")
    if "arguments" in own:
        own["arguments"] = [argument for argument in own["arguments"] if argument != UNITY_ONLY_OPTION]
    return own


def expand(entry):
    entry = without_unity_option(entry)
    if not UNITY_FILE.search(entry["file"]):
        return [entry]
    with open(entry["file"], encoding="utf-8") as unity:
        sources = INCLUDED_SOURCE.findall(unity.read())
    expanded = []
    for source in sources:
        own = dict(entry, file=source)
        if "command" in own:
            own["command"] = own["command"].replace(entry["file"], source)
        if "arguments" in own:
            own["arguments"] = [source if argument == entry["file"] else argument for argument in own["arguments"]]
        expanded.append(own)
    return expanded


def main():
    with open(sys.argv[1], encoding="utf-8") as database:
        entries = json.load(database)
    json.dump([own for entry in entries for own in expand(entry)], sys.stdout, indent=1)


if __name__ == "__main__":
    main()
