#!/usr/bin/env python3
"""The manual pages against the programs: every option and command one lists, the other lists too.

usage: man_pages_test.py BIN_DIR MAN_DIR help   compare --help with each page's OPTIONS and COMMANDS
       man_pages_test.py BIN_DIR MAN_DIR render  render each page with groff, every warning on; none may come
"""
import re
import subprocess
import sys

# program, and whether it has commands (words after the options) to compare as well
PROGRAMS = [
    ("qv7-panel", False),
    ("qv7ctl", True),
    ("qv7-sim", False),
]

LONG_OPTION = re.compile(r"--[a-z][a-z0-9-]*")


def plain(roff_line):
    """A roff line as its reader sees it: no macro name, no font changes, '\\-' as '-'."""
    line = re.sub(r"^\.[A-Z]+\s*", "", roff_line)
    line = re.sub(r"\\f[BIRP]", "", line).replace("\\-", "-")
    return line.replace('"', "")


def man_tags(page, section):
    """The tag lines of the .TP entries in one section of the page."""
    tags, current, take = [], None, False
    for line in page.splitlines():
        if line.startswith(".SH "):
            current = line[4:].strip()
        elif current == section and line.startswith(".TP"):
            take = True
        elif take:
            tags.append(plain(line))
            take = False
    return tags


def help_options(text):
    # Parentheses hold remarks and other programs' options ("(qv7-sim --listen PATH)").
    while re.search(r"\([^()]*\)", text):
        text = re.sub(r"\([^()]*\)", "", text)
    return set(LONG_OPTION.findall(text))


def command_words(synopsis):
    """'preset show NAME|INDEX' -> 'preset show': the literal words before the first argument."""
    words = []
    for word in synopsis.split():
        if not re.fullmatch(r"[a-z]+", word):
            break
        words.append(word)
    return " ".join(words)


def help_commands(text):
    lines = text.split("commands:\n", 1)[1].split("\n\n", 1)[0].splitlines()
    return {command_words(line) for line in lines if line.strip()}


def compare(program, kind, in_help, in_man):
    problems = [f"{program}: {item} in --help but not in the man page" for item in sorted(in_help - in_man)]
    problems += [f"{program}: {item} in the man page but not in --help" for item in sorted(in_man - in_help)]
    if not in_help:
        problems.append(f"{program}: no {kind} found in --help")
    return problems


def check_help(bin_dir, man_dir):
    problems = []
    for program, has_commands in PROGRAMS:
        run = subprocess.run([f"{bin_dir}/{program}", "--help"], capture_output=True, text=True, timeout=60)
        if run.returncode != 0:
            problems.append(f"{program}: --help exited {run.returncode}")
            continue
        with open(f"{man_dir}/{program}.1", encoding="utf-8") as f:
            page = f.read()
        # An option of one command only (preset import --replace) is documented with that command.
        tags = man_tags(page, "OPTIONS") + man_tags(page, "COMMANDS")
        man_options = {o for tag in tags for o in LONG_OPTION.findall(tag)}
        problems += compare(program, "options", help_options(run.stdout), man_options)
        if has_commands:
            man_commands = {command_words(tag) for tag in man_tags(page, "COMMANDS")}
            problems += compare(program, "commands", help_commands(run.stdout), man_commands)
    return problems


def check_render(man_dir):
    problems = []
    for program, _ in PROGRAMS:
        # -k: preconv, as man does, for the page's UTF-8; -ww: every warning; -z: no output, only diagnostics.
        run = subprocess.run(["groff", "-k", "-t", "-man", "-ww", "-z", "-Tutf8", f"{man_dir}/{program}.1"],
                             capture_output=True, text=True, timeout=60)
        if run.returncode != 0 or run.stderr:
            problems.append(f"{program}: groff exited {run.returncode}: {run.stderr.strip()}")
    return problems


def main():
    bin_dir, man_dir, mode = sys.argv[1:4]
    problems = check_help(bin_dir, man_dir) if mode == "help" else check_render(man_dir)
    for p in problems:
        print("FAIL:", p)
    if not problems:
        print(f"man pages ok ({mode}):", ", ".join(p for p, _ in PROGRAMS))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
