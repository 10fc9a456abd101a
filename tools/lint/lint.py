#!/usr/bin/env python3
"""Static analysis of our sources as the x64 build compiles them: clang-tidy
(checks in .clang-tidy) and cppcheck. Prints each finding once, then a one-line
summary; exits 1 if there is any finding.

usage: lint.py [x64 build dir]    JOBS sets how many clang-tidy runs at once.
"""
import concurrent.futures
import json
import os
import re
import shlex
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
FOLDERS = ("app", "login", "game", "browser", "cache", "ui", "framework", "tools/standin-browser", "tests")
# What the MinGW-w64 compiler predefines that our sources test (cppcheck reads
# no compiler); the rest of the build's defines come from the database.
TARGET_DEFINES = ("WIN32", "_WIN32", "_WIN64")
# The analyzer's per-function budget, as in its shallow mode: test bodies, each
# a chain of gtest assertions, use up the default one and take minutes.
ANALYZER_MAX_NODES = 75000
FINDING = re.compile(r"^(\S.*?):(\d+):(\d+): (warning|error): .*\[([^\]]+)\]$")


def compile_database(build, out_dir):
    """Our entries of the build's database with CMake's @include files spelled
    out (cppcheck does not read them) and without -Werror (the linters judge)."""
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        entries = json.load(f)
    prefixes = tuple(os.path.join(ROOT, folder) + os.sep for folder in FOLDERS)
    kept = []
    for entry in entries:
        path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
        if not path.startswith(prefixes):
            continue
        arguments = []
        for arg in entry.get("arguments") or shlex.split(entry["command"]):
            if arg.startswith("@"):
                with open(os.path.join(entry["directory"], arg[1:]), encoding="utf-8") as f:
                    arguments.extend(shlex.split(f.read()))
            elif not arg.startswith("-Werror"):
                arguments.append(arg)
        kept.append({"directory": entry["directory"], "file": path, "arguments": arguments})
    if not kept:
        sys.exit("lint: no sources of ours in %s/compile_commands.json" % build)
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "compile_commands.json"), "w", encoding="utf-8") as f:
        json.dump(kept, f, indent=1)
    return kept


def mingw_system_includes(compiler):
    """The target and the include directories the MinGW-w64 g++ searches, less
    GCC's own builtin headers: clang brings its own, and cannot parse GCC's."""
    target = subprocess.run([compiler, "-dumpmachine"], check=True, capture_output=True, text=True).stdout.strip()
    gcc_builtin = subprocess.run([compiler, "-print-file-name=include"], check=True, capture_output=True,
                                 text=True).stdout.strip()
    builtin = {os.path.realpath(gcc_builtin), os.path.realpath(gcc_builtin + "-fixed")}
    verbose = subprocess.run([compiler, "-xc++", "-E", "-v", os.devnull], check=True, capture_output=True,
                             text=True).stderr.splitlines()
    start = verbose.index("#include <...> search starts here:") + 1
    end = verbose.index("End of search list.")
    dirs = [os.path.realpath(line.strip()) for line in verbose[start:end]]
    return target, [d for d in dirs if d not in builtin]


def clang_tidy(files, db_dir, target, includes, jobs):
    args = ["clang-tidy", "-p", db_dir, "--quiet", "--extra-arg=--target=" + target,
            "--extra-arg=-nostdinc++", "--extra-arg=-nostdlibinc"]
    args += ["--extra-arg=-isystem" + d for d in includes]
    args += ["--extra-arg=" + a for a in ("-Xclang", "-analyzer-config", "-Xclang",
                                           "max-nodes=%d" % ANALYZER_MAX_NODES)]

    def run(path):
        return path, subprocess.run(args + [path], capture_output=True, text=True, cwd=ROOT)

    findings = {}
    failures = []
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        for path, result in pool.map(run, files):
            blocks = diagnostic_blocks(result.stdout)
            for block in blocks:
                findings.setdefault(block[0], block)
            if result.returncode != 0 and not blocks:
                failures.append("%s: clang-tidy exited with %d\n%s%s" % (path, result.returncode, result.stdout,
                                                                        result.stderr))
    return findings, failures


def diagnostic_blocks(output):
    """Each finding with the notes that follow it; a header's finding comes once
    per translation unit that includes it."""
    blocks = []
    for line in output.splitlines():
        if FINDING.match(line):
            blocks.append([line])
        elif blocks:
            blocks[-1].append(line)
    return [tuple(block) for block in blocks]


def cppcheck(db_dir, jobs):
    template = "{file}:{line}:{column}: {severity}: {message} [{id}]\\n{code}"
    args = ["cppcheck", "--project=" + os.path.join(db_dir, "compile_commands.json"), "--platform=win64",
            "--library=windows", "--library=googletest", "--std=c++17", "--enable=warning,performance,portability",
            "--inline-suppr", "--error-exitcode=1", "--quiet", "-j", str(jobs), "--template=" + template]
    args += ["-D" + define for define in TARGET_DEFINES]
    result = subprocess.run(args, capture_output=True, text=True, cwd=ROOT)
    count = sum(1 for line in result.stderr.splitlines() if re.match(r"^\S+:\d+:\d+: \w+: ", line))
    # A failure without a finding (say, a bad option) still fails; its output says why.
    return result.stderr, count or int(result.returncode != 0)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "x64"))
    db_dir = os.path.join(os.path.dirname(build), "lint")
    jobs = int(os.environ.get("JOBS", "2"))
    entries = compile_database(build, db_dir)
    target, includes = mingw_system_includes(entries[0]["arguments"][0])
    files = [entry["file"] for entry in entries]

    tidy, failures = clang_tidy(files, db_dir, target, includes, jobs)
    for block in sorted(tidy.values()):
        print("\n".join(block))
    for failure in failures:
        print(failure)
    cppcheck_output, cppcheck_count = cppcheck(db_dir, jobs)
    sys.stdout.write(cppcheck_output)

    total = len(tidy) + len(failures) + cppcheck_count
    print("lint: %d files; clang-tidy %d findings%s, cppcheck %d findings: %s" % (
        len(files), len(tidy), " and %d failed runs" % len(failures) if failures else "", cppcheck_count,
        "FAILED" if total else "clean"))
    return 1 if total else 0


if __name__ == "__main__":
    sys.exit(main())
