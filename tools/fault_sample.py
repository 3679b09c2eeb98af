#!/usr/bin/env python3
"""Measures how many plausible one-line faults in the portable code the unit
tests catch. Each fault changes one line of one portable source file (a
comparison flipped or loosened, a number off by one, an operator swapped, a
statement dropped); the unit tests are built and run; a failing, crashing or
hanging run catches it, a build error leaves it out. The faults are a seeded
random sample of every place such a change fits, so two runs with one seed
try the same faults.

It rewrites source files while it runs: use a worktree of its own
(git worktree add --detach ../faults HEAD), never one that anything else
builds from. Each file is put back after its fault, and on SIGTERM.

  tools/fault_sample.py TREE BUILD_DIR OUT.jsonl COUNT [SEED]
  tools/fault_sample.py TREE BUILD_DIR OUT.jsonl --replay FAULTS.json

BUILD_DIR is configured from TREE (cmake -S TREE -B BUILD_DIR; -O1 without
debug information builds each fault fastest). OUT gets one JSON line per
fault with its result: caught, survived or invalid. --replay tries the
faults of an earlier OUT (the survivors, say) again, finding each line by
its text."""
import argparse
import fcntl
import glob
import json
import os
import random
import re
import signal
import subprocess
import sys

PLATFORM = re.compile(
    r"_(win32|winmm|wasapi|x11|wayland|linux|freetype|pulse|xdg|posix|memory|null)\.cpp$")
FOLDERS = ["app", "capture", "analysis", "meter", "draw", "ui", "system"]
# (pattern, replacement); NUMBER adds one to the number matched.
CHANGES = [
    (r" < ", " <= "), (r" <= ", " < "), (r" > ", " >= "), (r" >= ", " > "),
    (r"==", "!="), (r"!=", "=="), (r"&&", "||"), (r"\|\|", "&&"),
    (r"\+ 1\b", "- 1"), (r"- 1\b", "+ 1"), (r"\+\+", "--"),
    (r"\btrue\b", "false"), (r"\bfalse\b", "true"),
    (r"(?<=[^\w.])(\d+)(?=[^\w.])", "NUMBER"),
    (r" \+ ", " - "), (r" - ", " + "), (r" \* ", " / "),
    (r"\bstd::min\b", "std::max"), (r"\bstd::max\b", "std::min"),
    (r"!(?=[\w(])", ""),
]
STATEMENT = re.compile(r"^[a-zA-Z_][\w:.\->\[\]]*(\(.*\)|\s*[-+*/|&]?=.*);$")
DECLARATION = re.compile(r"^(return|const |constexpr|static|using|auto |[\w:<>]+[ &*]+\w+ *[=;({])")


def portable_files(tree):
    for folder in FOLDERS:
        for path in sorted(glob.glob(f"{tree}/{folder}/*.cpp")):
            if not PLATFORM.search(path) and not path.endswith("/app/main.cpp"):
                yield os.path.relpath(path, tree)


def code_lines(text):
    in_comment = False
    for number, line in enumerate(text.split("\n")):
        stripped = line.strip()
        if in_comment:
            in_comment = "*/" not in stripped
            continue
        if stripped.startswith("/*"):
            in_comment = "*/" not in stripped
            continue
        if (not stripped or stripped.startswith(("//", "#", "static_assert", "namespace"))
                or stripped in ("{", "}", "};", "}  // namespace")):
            continue
        yield number, line


def places(tree):
    for path in portable_files(tree):
        for number, line in code_lines(open(os.path.join(tree, path)).read()):
            code = line.split("//")[0]
            # Strings are left alone: a changed message is no fault.
            bare = re.sub(r'"(?:[^"\\]|\\.)*"', lambda m: " " * len(m.group(0)), code)
            for pattern, replacement in CHANGES:
                for match in re.finditer(pattern, bare):
                    new = (str(int(match.group(1)) + 1) if replacement == "NUMBER"
                           else replacement)
                    changed = code[:match.start()] + new + code[match.end():]
                    yield {"file": path, "line": number, "old": line,
                           "new": changed + line[len(code):], "kind": pattern + " -> " + replacement}
            stripped = line.strip()
            if STATEMENT.match(stripped) and not DECLARATION.match(stripped):
                yield {"file": path, "line": number, "old": line, "new": "", "kind": "dropped"}


def run(command, cwd, timeout):
    try:
        done = subprocess.run(command, shell=True, cwd=cwd, capture_output=True, text=True,
                              timeout=timeout)
        return done.returncode, done.stdout + done.stderr
    except subprocess.TimeoutExpired:
        return "timeout", ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tree")
    parser.add_argument("build")
    parser.add_argument("out")
    parser.add_argument("count", nargs="?", type=int, default=60)
    parser.add_argument("seed", nargs="?", type=int, default=30)
    parser.add_argument("--replay")
    args = parser.parse_args()
    tree, build = os.path.abspath(args.tree), os.path.abspath(args.build)
    lock = open(os.path.join(build, "fault_sample.lock"), "w")
    fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)  # one run per build folder

    def stop(*_):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, stop)

    if args.replay:
        faults = [json.loads(line) for line in open(args.replay) if line.strip()]
    else:
        random.seed(args.seed)
        faults = random.sample(list(places(tree)), args.count)
    build_tests = f"cmake --build {build} --target unit_tests -j2"
    with open(args.out, "a") as out:
        for index, fault in enumerate(faults):
            fault = {key: fault[key] for key in ("file", "line", "old", "new", "kind")}
            path = os.path.join(tree, fault["file"])
            original = open(path).read()
            lines = original.split("\n")
            if fault["old"] not in lines:
                fault["result"] = "absent"
            else:
                lines[lines.index(fault["old"])] = fault["new"]
                try:
                    open(path, "w").write("\n".join(lines))
                    status, _ = run(build_tests, tree, 900)
                    if status != 0:
                        fault["result"] = "invalid"
                    else:
                        status, output = run(f"timeout 120 {build}/unit_tests --gtest_brief=1",
                                             tree, 130)
                        fault["result"] = "survived" if status == 0 else "caught"
                        if status != 0:
                            fault["by"] = re.findall(r"\[  FAILED  \] (\S+)", output)[:3] or [
                                str(status)]
                finally:
                    open(path, "w").write(original)
            out.write(json.dumps(fault) + "\n")
            out.flush()
            print(index, fault["file"], fault["line"] + 1, fault["kind"], fault["result"],
                  flush=True)
    run(build_tests, tree, 900)


if __name__ == "__main__":
    sys.exit(main())
