#!/usr/bin/env python3
"""Runs the examples of README.md and docs/*.md as printed, and checks their links.

Every ```sh, ```console and ```python block of a document runs in order, in a fresh
temporary directory of that document, with the built programs first on the PATH and the
built Python module on PYTHONPATH. A block fails on a non-zero status. In a ```console block
each line after "$ " is a command (it goes on on the next line after a trailing backslash,
and on lines after "> ", the shell's prompt for more, that follow it directly) and
the lines after it up to the next command are what it prints, standard output and standard
error together; a ```text block right after a ```python block is what the Python block
prints. Printed lines are compared with every run of blanks taken as one space (tabs are
easily lost in a page), where "[...]" inside a line stands for any text and a line "[...]"
alone for any number of lines.

An HTML comment on the line before a block changes what happens to it:
    <!-- not run -->        the block is skipped (it needs a cluster, a camera, ...)
    <!-- output varies -->  the block runs, but its printed lines are not compared

Links: every relative link of the documents names a file that exists, and a link with
"#anchor" a heading of the document it names; the README's index links every document of
docs/, and its layout table names every folder at the top of the checkout.

Usage: docs_examples.py --source DIR (--links | --examples --bin DIR [--python-path DIR]
       [--python-preload LIBS] [--lsan-suppressions FILE]) [DOCUMENT ...]
"""
import argparse
import functools
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time

ANY = "[...]"
BLOCK_TIMEOUT_S = 600
SENTINEL = "<<<docs-example-command>>>"


class Block:
    def __init__(self, document, line, kind, lines, note):
        self.document = document
        self.line = line          # the line of the opening fence, from 1
        self.kind = kind          # the fence's info string: sh, console, python, text, ...
        self.lines = lines        # the block's lines, without the fence's indentation
        self.note = note          # "not run", "output varies" or None
        self.output = None        # the ```text block shown as a python block's output

    def where(self):
        return f"{self.document}:{self.line}"


def parse_blocks(path, name):
    """The fenced blocks of a Markdown document, each with the note on the line before it."""
    blocks = []
    lines = path.read_text().splitlines()
    i = 0
    previous = ""
    while i < len(lines):
        fence = re.match(r"^(\s*)```(\S*)\s*$", lines[i])
        if not fence:
            if lines[i].strip():
                previous = lines[i].strip()
            i += 1
            continue
        indent, kind = len(fence.group(1)), fence.group(2)
        start = i
        body = []
        i += 1
        while i < len(lines) and not re.match(r"^\s*```\s*$", lines[i]):
            body.append(lines[i][indent:] if lines[i][:indent].strip() == "" else lines[i])
            i += 1
        if i == len(lines):
            raise SystemExit(f"{name}:{start + 1}: the block is never closed")
        note = None
        comment = re.match(r"^<!--\s*(not run|output varies)\s*-->$", previous)
        if comment:
            note = comment.group(1)
        blocks.append(Block(name, start + 1, kind, body, note))
        previous = ""
        i += 1
    # A ```text block right after a ```python block is the output the Python block prints.
    for before, after in zip(blocks, blocks[1:]):
        if before.kind == "python" and after.kind == "text" and after.note is None and \
                not "\n".join(lines[before.line + len(before.lines) + 1:after.line - 1]).strip():
            before.output = after.lines
    return blocks


def matches(expected, actual):
    """Whether the printed lines match the shown ones, "[...]" standing for what varies."""
    expected = [" ".join(line.split()) for line in expected]
    actual = [" ".join(line.split()) for line in actual]
    while expected and not expected[-1]:
        expected.pop()
    while actual and not actual[-1]:
        actual.pop()

    def line_matches(pattern, text):
        parts = [re.escape(part) for part in pattern.split(ANY)]
        return re.fullmatch(".*".join(parts), text) is not None

    @functools.lru_cache(maxsize=None)
    def from_here(e, a):
        if e == len(expected):
            return a == len(actual)
        if expected[e] == ANY:
            return any(from_here(e + 1, k) for k in range(a, len(actual) + 1))
        return a < len(actual) and line_matches(expected[e], actual[a]) and from_here(e + 1, a + 1)

    return from_here(0, 0)


def console_commands(block):
    """The (command, shown lines) pairs of a ```console block."""
    commands = []
    lines = iter(block.lines)
    for line in lines:
        if line.startswith("$ "):
            command = line[2:]
            while command.endswith("\\"):
                command += "\n" + next(lines, "")
            commands.append((command, []))
        elif line.startswith("> ") and commands and not commands[-1][1]:
            commands[-1] = (commands[-1][0] + "\n" + line[2:], [])
        elif commands:
            commands[-1][1].append(line)
        elif line.strip():
            raise SystemExit(f"{block.where()}: a console block starts with a command (\"$ \")")
    return commands


class Runner:
    def __init__(self, args):
        self.args = args
        self.failures = []
        self.counts = {"run": 0, "compared": 0, "not run": 0}

    def environment(self, directory):
        env = dict(os.environ)
        env["PATH"] = f"{self.args.bin}{os.pathsep}{env.get('PATH', '')}"
        env["TMPDIR"] = str(directory)    # mktemp -d in an example stays inside its directory
        env["PYTHONDONTWRITEBYTECODE"] = "1"
        if self.args.python_path:
            env["PYTHONPATH"] = self.args.python_path
        if self.args.lsan_suppressions:
            # Open MPI's start-up allocations, never freed, are recognised only with whole
            # stacks (tarvex-mpi in an AddressSanitizer build).
            env["LSAN_OPTIONS"] = f"suppressions={self.args.lsan_suppressions}:print_suppressions=0"
            env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "fast_unwind_on_malloc=0"]))
        return env

    def run(self, command, directory, env):
        return subprocess.run(command, cwd=directory, env=env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              errors="replace", timeout=BLOCK_TIMEOUT_S)

    def fail(self, block, why, printed=""):
        self.failures.append(block.where())
        print(f"FAILED {block.where()} ({block.kind}): {why}")
        if printed:
            print("  " + "\n  ".join(printed.rstrip("\n").splitlines()[-40:]))

    def shell(self, block, directory, env):
        result = self.run(["bash", "-e", "-o", "pipefail", "-c", "\n".join(block.lines)], directory, env)
        if result.returncode != 0:
            self.fail(block, f"exit status {result.returncode}", result.stdout)

    def console(self, block, directory, env):
        commands = console_commands(block)
        script = ["exec 2>&1"]
        for command, _ in commands:
            # On a line of its own even after output without a final line break.
            script += [f"printf '\\n%s\\n' '{SENTINEL}'", command]
        result = self.run(["bash", "-e", "-o", "pipefail", "-c", "\n".join(script)], directory, env)
        printed = ("\n" + result.stdout).split("\n" + SENTINEL + "\n")[1:]
        if result.returncode != 0:
            command = commands[len(printed) - 1][0] if printed else "?"
            self.fail(block, f"exit status {result.returncode} from: {command}",
                      printed[-1] if printed else result.stdout)
            return
        if block.note == "output varies":
            return
        self.counts["compared"] += 1
        for (command, shown), text in zip(commands, printed):
            if not matches(shown, text.splitlines()):
                self.fail(block, f"the output of \"{command}\" differs from the block's:\n  shown:\n    " +
                          "\n    ".join(shown) + "\n  printed:", text)
                return

    def python(self, block, directory, env):
        if self.args.python_preload:
            env = dict(env, LD_PRELOAD=self.args.python_preload, ASAN_OPTIONS="detect_leaks=0")
        result = subprocess.run([sys.executable, "-c", "\n".join(block.lines)], cwd=directory, env=env,
                                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=BLOCK_TIMEOUT_S)
        if result.returncode != 0:
            self.fail(block, f"exit status {result.returncode}", result.stdout + result.stderr)
        elif block.output is not None and block.note != "output varies":
            self.counts["compared"] += 1
            if not matches(block.output, result.stdout.splitlines()):
                self.fail(block, "the output differs from the text block after it:\n  shown:\n    " +
                          "\n    ".join(block.output) + "\n  printed:", result.stdout)

    def document(self, path, name):
        runs = {"sh": self.shell, "console": self.console, "python": self.python}
        directory = pathlib.Path(tempfile.mkdtemp(prefix="docs-example-"))
        try:
            env = self.environment(directory)
            for block in parse_blocks(path, name):
                if block.kind not in runs:
                    continue
                if block.note == "not run" or (block.kind == "python" and not self.args.python_path):
                    self.counts["not run"] += 1
                    continue
                self.counts["run"] += 1
                started = time.monotonic()
                try:
                    runs[block.kind](block, directory, env)
                except subprocess.TimeoutExpired:
                    self.fail(block, f"did not end within {BLOCK_TIMEOUT_S} s")
                print(f"{block.where()} ({block.kind}): {time.monotonic() - started:.1f} s", flush=True)
        finally:
            shutil.rmtree(directory, ignore_errors=True)


def heading_anchors(path):
    """The anchors of a document's headings, as the repository's Markdown pages make them."""
    anchors = set()
    for line in path.read_text().splitlines():
        heading = re.match(r"^#{1,6}\s+(.*?)\s*$", line)
        if heading:
            anchors.add(re.sub(r"[^\w\- ]", "", heading.group(1).lower()).replace(" ", "-"))
    return anchors


def tracked_folders(source):
    """The folders at the top of the checkout that hold tracked files, and the library's own
    folders under tarvex/ (none outside git)."""
    listing = subprocess.run(["git", "-C", str(source), "ls-files"], capture_output=True, text=True)
    if listing.returncode != 0:
        return []
    folders = set()
    for name in listing.stdout.splitlines():
        parts = name.split("/")
        if len(parts) > 1 and not name.startswith("."):
            folders.add(parts[0])
        if len(parts) > 2 and parts[0] == "tarvex":
            folders.add("/".join(parts[:2]))
    return sorted(folders)


def check_links(source, documents):
    failures = 0
    for name in documents:
        path = source / name
        prose, fenced = [], False
        for line in path.read_text().splitlines():
            if re.match(r"^\s*```", line):
                fenced = not fenced
            elif not fenced:
                prose.append(line)
        text = "\n".join(prose)
        for target in re.findall(r"\]\(([^)\s]+)\)", text):
            if re.match(r"^[a-z]+:", target):
                continue
            file_part, _, anchor = target.partition("#")
            linked = (path.parent / file_part).resolve() if file_part else path
            if not linked.exists():
                print(f"FAILED {name}: the link {target} names no file")
                failures += 1
            elif anchor and linked.suffix == ".md" and anchor not in heading_anchors(linked):
                print(f"FAILED {name}: the link {target} names no heading of {linked.name}")
                failures += 1
    readme = (source / "README.md").read_text()
    for path in sorted((source / "docs").glob("*.md")):
        if f"](docs/{path.name})" not in readme:
            print(f"FAILED README.md: the manual's index lacks docs/{path.name}")
            failures += 1
    layout = readme[readme.index("\n## Layout"):]
    for folder in tracked_folders(source):
        if f"`{folder}/`" not in layout:
            print(f"FAILED README.md: the layout table lacks the folder {folder}/")
            failures += 1
    print(f"docs links: {len(documents)} documents checked, {failures} broken links or missing entries")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True, type=pathlib.Path, help="the top of the checkout")
    parser.add_argument("--links", action="store_true", help="check the documents' links")
    parser.add_argument("--examples", action="store_true", help="run the documents' examples")
    parser.add_argument("--bin", help="the folder of the built programs")
    parser.add_argument("--python-path", help="the folder of the built Python module")
    parser.add_argument("--python-preload", help="LD_PRELOAD for the Python blocks (a sanitizer build)")
    parser.add_argument("--lsan-suppressions", help="the leak checker's suppressions file")
    parser.add_argument("documents", nargs="*", help="documents to take, relative to the source [all]")
    args = parser.parse_args()
    source = args.source.resolve()
    documents = args.documents or ["README.md"] + sorted(
        str(p.relative_to(source)) for p in (source / "docs").glob("*.md"))
    if args.links == args.examples:
        parser.error("give one of --links and --examples")
    if args.links:
        return 1 if check_links(source, documents) else 0
    if not args.bin:
        parser.error("--examples needs --bin")
    args.bin = str(pathlib.Path(args.bin).resolve())
    if args.python_path:
        args.python_path = str(pathlib.Path(args.python_path).resolve())
    if args.lsan_suppressions:
        args.lsan_suppressions = str(pathlib.Path(args.lsan_suppressions).resolve())
    runner = Runner(args)
    for name in documents:
        runner.document(source / name, name)
    counts = runner.counts
    print(f"docs examples: {counts['run']} blocks run ({counts['compared']} with their output compared), "
          f"{counts['not run']} not run, in {len(documents)} documents")
    print(f"{counts['run'] - len(runner.failures)} passed, {len(runner.failures)} failed")
    return 1 if runner.failures else 0


if __name__ == "__main__":
    sys.exit(main())
