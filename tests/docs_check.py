#!/usr/bin/env python3
"""Runs the commands of the documentation's ```console blocks and compares
what they print with what the page shows, so that the docs do not drift.

In a console block each line "$ COMMAND" is run, and the lines after it, up
to the next "$ " line, are its standard output; a line "..." stands for any
number of lines; lines "> ..." right after a command continue it (the shell's
own continuation prompt). A block runs in a fresh folder, its commands one after
another in one shell, with the build's pclog and pclog-sim first on PATH and
the Python package importable; what a block starts in the background is
stopped at its end. Every relative link of a page must lead to a file.

    docs_check.py SOURCE_DIR BUILD_DIR [PAGE.md ...]
"""

import os
import re
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

MARK = "\x1eDOCS-CHECK-COMMAND\x1e"


def blocks(text):
    """(line number, [(command, [expected lines])]) of each console block."""
    for m in re.finditer(r"^```console\n(.*?)^```", text, re.M | re.S):
        start = text.count("\n", 0, m.start()) + 1
        steps = []
        for line in m.group(1).splitlines():
            if line.startswith("$ "):
                steps.append((line[2:], []))
            elif steps and not steps[-1][1] and (line == ">" or line.startswith("> ")):
                steps[-1] = (steps[-1][0] + "\n" + line[2:], [])
            elif steps:
                steps[-1][1].append(line)
            else:
                raise ValueError(f"line {start}: output before the first command")
        yield start, steps


def matches(expected, got):
    if not expected:
        return not got
    if expected[0] == "...":
        return any(matches(expected[1:], got[i:]) for i in range(len(got) + 1))
    return bool(got) and expected[0] == got[0] and matches(expected[1:], got[1:])


def broken_links(page):
    """The relative links of a page whose file does not exist."""
    for target in re.findall(r"\]\(([^)#\s]+)(?:#[^)]*)?\)", page.read_text(encoding="utf-8")):
        if "://" not in target and not (page.parent / target).exists():
            yield target


def run_block(steps, env):
    script = ["set +e"]
    for command, _ in steps:
        script += [f"printf '%s\\n' '{MARK}'", command]
    script.append("kill $(jobs -p) 2>/dev/null; wait")
    with tempfile.TemporaryDirectory(prefix="wpl-docs-") as d:
        shell = subprocess.Popen(["bash", "-c", "\n".join(script)], cwd=d, env=env,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                 start_new_session=True)
        timed_out = False
        try:
            stdout, stderr = shell.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            os.killpg(shell.pid, signal.SIGKILL)
            stdout, stderr = shell.communicate()
            timed_out = True
    outputs = stdout.split(MARK + "\n")[1:]
    if timed_out:  # the command that was running, and those after it, did not finish
        outputs = outputs[:-1]
        stderr += "\n(the block ran over 30 s and was stopped)"
    return outputs, stderr


def main(argv):
    source, build = Path(argv[1]).resolve(), Path(argv[2]).resolve()
    pages = [Path(p) for p in argv[3:]] or [source / "README.md", *sorted(source.glob("docs/*.md"))]
    env = dict(os.environ)
    env["PATH"] = os.pathsep.join([str(build / "tools/pclog"), str(build / "tools/sim"),
                                   env.get("PATH", "")])
    env["PYTHONPATH"] = str(source / "bindings/python")
    env["W_PCLOG_LIBRARY"] = str(build / "libw_pclog.so")
    env.pop("W_PCLOG_DIR", None)
    failures = commands = 0
    for page in pages:
        for link in broken_links(page):
            failures += 1
            commands += 1
            print(f"{page.name}: the link {link} leads nowhere")
        for line, steps in blocks(page.read_text(encoding="utf-8")):
            outputs, stderr = run_block(steps, env)
            for i, (command, expected) in enumerate(steps):
                commands += 1
                ran = i < len(outputs)
                got = outputs[i].splitlines() if ran else ["(did not finish)"]
                if not ran or not matches(expected, got):
                    failures += 1
                    print(f"{page.name}:{line}: $ {command}")
                    print("  expected:\n    " + "\n    ".join(expected))
                    print("  printed:\n    " + "\n    ".join(got))
                    if stderr:
                        print("  stderr:\n    " + "\n    ".join(stderr.splitlines()[-10:]))
    print(f"{commands - failures} passed, {failures} failed")
    return 1 if failures or not commands else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
