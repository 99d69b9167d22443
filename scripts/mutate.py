#!/usr/bin/env python3
"""Runs the mutation list against the test suite (see scripts/mutate.sh).

Each mutation replaces one exact line fragment of one product file.  The
script copies the tracked sources to a scratch folder, builds the plain
configuration there once, checks that the suite passes, then for each
mutation: applies it, rebuilds, runs the suite until the first failure, and
puts the file back.  A mutation that the suite does not notice survives.
"""
import os
import random
import re
import shutil
import subprocess
import sys
import time
import json

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST = os.path.join(ROOT, "tests", "mutations.txt")
SCRATCH = os.path.join(ROOT, "build", "mutate")
SOURCE = os.path.join(SCRATCH, "src")
BUILD = os.path.join(SOURCE, "build", "plain")
# The smoke run builds with the plain build's own flags, so that the compiler
# cache has every unmutated object from the test command's plain build.
SMOKE_BUILD = os.path.join(SOURCE, "build", "smoke")
# Which test killed each mutation last time: run first, it usually kills again.
KILLERS = os.path.join(SCRATCH, "killers.json")
# Tests left out of the run (--without REGEX): which mutations only they catch.
WITHOUT = None


def parse(path):
    """The list: blocks headed by [name], with file:, find:, replace:, an
    optional equivalent: line giving why the mutation cannot change a result,
    and an optional check: command run when the suite passes."""
    mutations, current = [], None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            header = re.fullmatch(r"\[([A-Za-z0-9_.-]+)\]", line.strip())
            if header:
                current = {"name": header.group(1), "line": number}
                mutations.append(current)
                continue
            key, sep, value = line.partition(":")
            if current is None or not sep or key not in ("file", "find", "replace", "equivalent", "check", "open"):
                sys.exit(f"{path}:{number}: cannot read this line")
            value = value[1:] if value.startswith(" ") else value
            # "\n" in a fragment stands for a line break.
            current[key] = value.replace("\\n", "\n") if key in ("find", "replace") else value
    names = set()
    for m in mutations:
        for key in ("file", "find", "replace"):
            if key not in m:
                sys.exit(f"{path}:{m['line']}: mutation {m['name']} has no {key}:")
        if m["name"] in names:
            sys.exit(f"{path}:{m['line']}: mutation {m['name']} is listed twice")
        names.add(m["name"])
    return mutations


def run(args, log, **kw):
    with open(log, "w") as out:
        return subprocess.run(args, stdout=out, stderr=subprocess.STDOUT, **kw).returncode


def env():
    e = dict(os.environ)
    # The scratch copy shares the compiler cache with the checkout's builds.
    e["CCACHE_BASEDIR"] = SOURCE
    e["CCACHE_NOHASHDIR"] = "1"
    e["ASAN_OPTIONS"] = "detect_leaks=0"
    return e


def copy_sources():
    files = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True,
                           check=True).stdout.split("\n")
    # A file the checkout no longer has must not linger in the copy: a build
    # that globs its sources would still compile it.
    kept = set(filter(None, files))
    for folder, dirs, names in os.walk(SOURCE):
        if os.path.relpath(folder, SOURCE).split(os.sep)[0] == "build":
            dirs[:] = []
            continue
        for name in names:
            rel = os.path.relpath(os.path.join(folder, name), SOURCE)
            if rel not in kept:
                os.remove(os.path.join(folder, name))
    for rel in filter(None, files):
        src, dst = os.path.join(ROOT, rel), os.path.join(SOURCE, rel)
        if not os.path.isfile(src):
            continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        # Unchanged files keep their times, so the scratch build stays current;
        # a changed one is written now, newer than anything built from it.
        if not os.path.exists(dst) or open(src, "rb").read() != open(dst, "rb").read():
            shutil.copyfile(src, dst)
            shutil.copymode(src, dst)


def build():
    # The plain build's code without its debug information, which costs half
    # the compile time and changes no result.
    flags = [] if BUILD == SMOKE_BUILD else ["-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG",
                                             "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG"]
    if not os.path.exists(os.path.join(BUILD, "CMakeCache.txt")):
        launcher = []
        if shutil.which("ccache"):
            launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        code = run(["cmake", "-S", SOURCE, "-B", BUILD,
                    "-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake",
                    "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DKDT_BUILD_BENCHMARKS=OFF"] +
                   flags + launcher,
                   os.path.join(SCRATCH, "configure.log"), cwd=SOURCE, env=env())
        if code != 0:
            sys.exit("mutate: the scratch copy does not configure (build/mutate/configure.log)")
    return run(["cmake", "--build", BUILD, "-j", str(os.cpu_count() or 2), "--target", "kdt_tests"],
               os.path.join(SCRATCH, "build.log"), env=env()) == 0


def failing_tests(first=None):
    """Runs the suite until the first failure; returns the names that failed.
    The test named first runs alone before the rest."""
    failed = os.path.join(BUILD, "Testing", "Temporary", "LastTestsFailed.log")
    ctest = ["ctest", "--timeout", "300"] + (["-E", WITHOUT] if WITHOUT else [])
    if first and not (WITHOUT and re.search(WITHOUT, first)):
        listing = subprocess.run(ctest + ["-N"], cwd=BUILD, capture_output=True, text=True).stdout
        number = re.search(r"Test +#(\d+): " + re.escape(first) + "$", listing, re.M)
        if number:
            ctest_one = ctest + ["-I", f"{number.group(1)},{number.group(1)}"]
            if os.path.exists(failed):
                os.remove(failed)
            run(ctest_one, os.path.join(SCRATCH, "test.log"), cwd=BUILD, env=env())
            if os.path.exists(failed):
                return [first]
    if os.path.exists(failed):
        os.remove(failed)
    run(ctest + ["-j", str(os.cpu_count() or 2), "--stop-on-failure"],
        os.path.join(SCRATCH, "test.log"), cwd=BUILD, env=env())
    if not os.path.exists(failed):
        return []
    return [line.split(":", 1)[-1].strip() for line in open(failed) if line.strip()]


def choose(mutations, names, smoke):
    if names:
        known = {m["name"]: m for m in mutations}
        missing = [n for n in names if n not in known]
        if missing:
            sys.exit("mutate: no such mutation: " + ", ".join(missing))
        return [known[n] for n in names]
    if smoke:
        # A few mutations of small source files, a different few each day, so
        # that CI sees the machinery kill mutants without paying for the list.
        cheap = [m for m in mutations
                 if not {"equivalent", "check", "open"} & m.keys() and m["file"].endswith(".cpp")]
        return random.Random(time.strftime("%Y-%m-%d")).sample(cheap, min(smoke, len(cheap)))
    return mutations


def check(mutations, root):
    """Whether every mutation still finds its text once, and changes it."""
    bad = []
    for m in mutations:
        path = os.path.join(root, m["file"])
        count = open(path, encoding="utf-8").read().count(m["find"]) if os.path.exists(path) else 0
        if count != 1 or m["find"] == m["replace"]:
            bad.append(f"{m['name']}: the text to replace occurs {count} times in {m['file']} "
                       f"(tests/mutations.txt:{m['line']})")
    return bad


def main(argv):
    global BUILD, WITHOUT
    smoke = 0
    if argv == ["--check"]:
        bad = check(parse(LIST), ROOT)
        print("\n".join(bad) or f"mutate: all {len(parse(LIST))} mutations apply")
        return 1 if bad else 0
    if argv and argv[0].startswith("--smoke"):
        smoke = int(argv[0].partition("=")[2] or 3)
        argv = argv[1:]
        BUILD = SMOKE_BUILD
    if argv and argv[0].startswith("--without="):
        WITHOUT = argv[0].partition("=")[2]
        argv = argv[1:]
    mutations = parse(LIST)
    chosen = choose(mutations, argv, smoke)
    os.makedirs(SOURCE, exist_ok=True)
    copy_sources()
    bad = check(chosen, SOURCE)
    if bad:
        sys.exit("mutate: " + "\nmutate: ".join(bad))
    if not build():
        sys.exit("mutate: the unmutated scratch copy does not build (build/mutate/build.log)")
    # The smoke run follows the test command's own passing run of the suite.
    if not smoke and failing_tests():
        sys.exit("mutate: the suite fails without a mutation (build/mutate/test.log)")
    killed = survived = 0
    broken = []
    killers = json.load(open(KILLERS)) if os.path.exists(KILLERS) else {}
    for m in chosen:
        if "equivalent" in m:
            print(f"equivalent {m['name']}: {m['equivalent']}", flush=True)
            continue
        path = os.path.join(SOURCE, m["file"])
        original = open(path, encoding="utf-8").read()
        started = time.time()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(m["find"], m["replace"], 1))
            built = build()
            failed = failing_tests(killers.get(m["name"])) if built else []
            if built and not failed and "check" in m:
                # A check beyond the suite, run in the scratch copy on its build.
                command = m["check"].replace("{build}", BUILD)
                if run(["bash", "-c", command], os.path.join(SCRATCH, "check.log"), cwd=SOURCE,
                       env=env()) != 0:
                    failed = [command]
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        took = f"{time.time() - started:.0f} s"
        if not built:
            # A mutation must be a program the suite can run: mend the list.
            broken.append(m["name"])
            print(f"NO BUILD   {m['name']} ({m['file']})", flush=True)
        elif failed:
            killed += 1
            killers[m["name"]] = failed[0]
            with open(KILLERS, "w") as f:
                json.dump(killers, f, indent=0, sort_keys=True)
            print(f"killed     {m['name']} by {failed[0].split('  #')[0]} ({took})", flush=True)
        else:
            survived += 1
            print(f"SURVIVED   {m['name']} ({m['file']}) ({took})", flush=True)
    if broken:
        print("mutate: these mutations do not build: " + ", ".join(broken))
    print(f"{killed} killed, {survived} survived")
    return 0 if survived == 0 and not broken else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
