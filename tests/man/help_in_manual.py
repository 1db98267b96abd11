#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Fails when an option or command that a program's --help lists is missing
from its manual page (the Markdown source, where each is written in bold).

Usage: help_in_manual.py PROGRAM PAGE.md [PROGRAM PAGE.md]...

A program whose help has a "Commands:" section is asked for each command's
--help too, so a new command or option fails here until its page names it.
"""
import re
import subprocess
import sys

# Generous: the machine may be loaded, and --help does no work.
HELP_DEADLINE_S = 60
OPTION_NAME = re.compile(r"(?<![\w-])--?[A-Za-z][\w-]*")


def help_text(args):
    try:
        run = subprocess.run(args + ["--help"], capture_output=True, text=True,
                             timeout=HELP_DEADLINE_S)
    except subprocess.TimeoutExpired as expired:
        sys.exit(f"{' '.join(args)} --help gave no answer within "
                 f"{HELP_DEADLINE_S} s; it had printed: {expired.stdout!r}")
    if run.returncode != 0 or "Options:" not in run.stdout:
        sys.exit(f"{' '.join(args)} --help ended with status {run.returncode} "
                 f"and printed: {run.stdout!r} {run.stderr!r}")
    return run.stdout


def section(text, title):
    """The two-space indented entries under a heading such as "Options:"."""
    entries, inside = [], False
    for line in text.splitlines():
        if line == title:
            inside = True
        elif inside and line.startswith("  ") and line[2:3] != " ":
            entries.append(line.strip().split("  ")[0])
        elif inside and line and not line.startswith(" "):
            inside = False
    return entries


def missing_from(page, program, args):
    text = help_text(args)
    names = [name for entry in section(text, "Options:")
             for name in OPTION_NAME.findall(entry)]
    commands = section(text, "Commands:")
    found = []
    for name in names + commands:
        if f"**{name}**" not in page:
            found.append(f"{' '.join([program] + args[1:])} --help lists {name}")
    for command in commands:
        found += missing_from(page, program, args + [command])
    return found


def main(argv):
    if len(argv) < 2 or len(argv) % 2:
        sys.exit(__doc__)
    missing = []
    for program, page_path in zip(argv[::2], argv[1::2]):
        with open(page_path, encoding="utf-8") as page:
            text = page.read()
        name = re.sub(r".*[/\\]|\.exe$", "", program)
        missing += [f"{line}, not in {page_path}"
                    for line in missing_from(text, name, [program])]
    print("\n".join(missing) or "Every option and command of --help is in its page.")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
