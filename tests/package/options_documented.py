#!/usr/bin/env python3
"""Every option the programs accept (as their --help lists them), every test name (asmbench
--list-tests) and every engine method with its parameters (asmpic --list) appears in the manual
page and in the bash completion, and the completion offers them when asked; every opcode name that
asmpic --list gives is in asmpic(1). So the three cannot drift apart.

    options_documented.py ASMBENCH ASMPIC SOURCE_DIR
"""
import os
import re
import subprocess
import sys


def run(*command):
    result = subprocess.run(command, capture_output=True, text=True, check=True,
                            env=dict(os.environ, COLUMNS="200"))
    return result.stdout


def help_options(program):
    """The option names of --help's option lines: "  -o,--output TEXT   ..." gives -o and --output."""
    names = []
    for line in run(program, "--help").splitlines():
        if re.match(r"^\s+-", line):
            names += [name for name in line.split()[0].split(",") if name.startswith("-")]
    return names


def method_list(asmpic):
    """asmpic --list as {method: [parameters]} and the opcodes as (method, number, name) triples."""
    methods, opcodes, method = {}, [], None
    for line in run(asmpic, "--list").splitlines():
        if re.match(r"^\S", line):
            method = line.split()[0]
            methods[method] = []
        elif re.match(r"^  \S", line):
            methods[method].append(line.split()[0])
        else:
            for number, name in re.findall(r"(\d+) ([a-z][a-z -]*[a-z])", line):
                opcodes.append((method, int(number), name))
    return methods, opcodes


def squeezed(name):
    """An opcode's name without case, spaces or hyphens: "non-white to black" is NonWhiteToBlack."""
    return re.sub(r"[ -]", "", name).lower()


def man_text(path):
    """A manual page's source with roff's escaped hyphens and font changes made plain."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    return re.sub(r"\\f[BIRP]", "", text.replace("\\-", "-"))


def mentions(text, word):
    return re.search(r"(?<![\w-])" + re.escape(word) + r"(?![\w-])", text) is not None


def complete(completion, line):
    """What the completion function offers for a command line typed up to its end."""
    program = line.split()[0]
    script = f'source "$1"; COMP_LINE="$2"; COMP_POINT=${{#COMP_LINE}}; _{program}; printf "%s\\n" "${{COMPREPLY[@]}}"'
    output = subprocess.run(["bash", "-c", script, "bash", completion, line],
                            capture_output=True, text=True, check=True).stdout
    return [word for word in output.splitlines() if word]


def main(asmbench, asmpic, source):
    failures = []

    def expect(condition, message):
        if not condition:
            failures.append(message)

    pages = {p: man_text(os.path.join(source, "packaging", "man", p + ".1.in")) for p in ("asmbench", "asmpic")}
    completions = {p: os.path.join(source, "packaging", "completion", p) for p in ("asmbench", "asmpic")}
    with open(completions["asmbench"], encoding="utf-8") as f:
        asmbench_completion = f.read()
    with open(completions["asmpic"], encoding="utf-8") as f:
        asmpic_completion = f.read()
    texts = {"asmbench": asmbench_completion, "asmpic": asmpic_completion}

    for name, program in (("asmbench", asmbench), ("asmpic", asmpic)):
        options = help_options(program)
        expect(len(options) >= 4, f"{name} --help: too few options found: {options}")
        for option in options:
            expect(mentions(pages[name], option), f"{name}({1}) does not mention {option}")
            expect(mentions(texts[name], option), f"the {name} completion does not offer {option}")
            if option.startswith("--"):
                offered = complete(completions[name], f"{name} {option}")
                expect(option in offered, f"completing '{name} {option}' offers {offered}")

    tests = [line.split()[0] for line in run(asmbench, "--list-tests").splitlines() if line.strip()]
    expect(len(tests) == 7, f"asmbench --list-tests: {tests}")
    for test in tests:
        expect(mentions(pages["asmbench"], test), f"asmbench(1) does not name the test {test}")
        offered = complete(completions["asmbench"], f"asmbench --tests rotate,{test[:2]}")
        expect(f"rotate,{test}" in offered, f"completing the test {test} after rotate, offers {offered}")

    methods, opcodes = method_list(asmpic)
    expect(len(methods) == 11, f"asmpic --list names these methods: {list(methods)}")
    expect(len(opcodes) == 20 + 20 + 6 + 10, f"asmpic --list names {len(opcodes)} opcodes")
    for method, parameters in methods.items():
        expect(mentions(pages["asmpic"], method), f"asmpic(1) does not describe {method}")
        offered = complete(completions["asmpic"], f"asmpic picture.jpg {method}")
        expect(method in offered or method + ":" in offered, f"completing {method} offers {offered}")
        for parameter in parameters:
            expect(re.search(re.escape(method) + r"[^\n]*" + re.escape(parameter), pages["asmpic"]),
                   f"asmpic(1) does not give {method}'s parameter {parameter}")
            offered = complete(completions["asmpic"], f"asmpic picture.jpg {method}:{parameter[:2]}")
            expect(parameter + "=" in offered, f"completing {method}:{parameter[:2]} offers {offered}")
    documented = {(int(n), squeezed(name)) for n, name in re.findall(r"^\.B (\d+) (\w+)$", pages["asmpic"], re.M)}
    for method, number, name in opcodes:
        expect((number, squeezed(name)) in documented, f"asmpic(1) does not name {method}'s opcode {number} {name}")
    offered = complete(completions["asmpic"], "asmpic picture.jpg ASM_Rotate:Angle=30,Anti")
    expect(offered == ["30,AntiAlias="], f"completing a second parameter offers {offered}")

    for section in ("EXIT STATUS", "EXAMPLES", "OPTIONS"):
        for name, page in pages.items():
            expect(re.search(r'^\.SH "?' + section, page, re.M), f"{name}(1) has no {section} section")

    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
