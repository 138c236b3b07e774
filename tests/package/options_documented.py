#!/usr/bin/env python3
"""Every option the programs accept (as their --help lists them), every test name (asmbench
--list-tests) and every engine method with its parameters (asmpic --list) appears in the manual
page and in the bash completion, and the completion offers them when asked; every opcode name that
asmpic --list gives is in asmpic(1). Every default --help gives is the manual's and the README's,
and so is every exit status with what it covers; both pages render at 80, 100 and 120 columns
without a warning. So the programs and their documents cannot drift apart.

    options_documented.py ASMBENCH ASMPIC SOURCE_DIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile


def run(*command):
    result = subprocess.run(command, capture_output=True, text=True, check=True,
                            env=dict(os.environ, COLUMNS="200"))
    return result.stdout


def help_text(program):
    return run(program, "--help")


def help_defaults(program):
    """{option: default} for the options whose --help line says "(default: D; ..." or "(default: D)"."""
    defaults, option, description = {}, None, ""
    lines = help_text(program).splitlines() + [""]
    for line in lines:
        match = re.match(r"^\s+(-[^\s]+)", line)
        if match or not line.strip():
            if option:
                found = re.search(r"\(default: (.*?)(?:;|\)$|\) )", description + " ")
                if found:
                    defaults[option] = re.sub(r"\s+", " ", found.group(1))
            option, description = None, ""
        if match:
            option = [n for n in match.group(1).split(",") if n.startswith("--")][-1]
            description = line[match.end():]
        elif option:
            description += " " + line
    return defaults


def plain(text):
    """Words alone: no roff requests or escapes, no Markdown code marks, one space between words."""
    text = re.sub(r"^\.(?:B|I|BR|BI|RB|IR|RI)\s", "", text, flags=re.M)
    text = re.sub(r"^\.\w+.*$", " ", text, flags=re.M)
    text = text.replace("\\ ", " ").replace("\\(lq", "").replace("\\(rq", "").replace("\\:", "")
    text = text.replace('"', "").replace("`", "")
    return re.sub(r"\s+", " ", text).strip()


# What an exit status covers, in words that --help, the manual and the README all use for it.
STATUS_TERMS = ("picture", "output", "history", "window", "malformed", "wrong", "SIGINT", "SIGTERM",
                "box", "display")


def statuses_of(text):
    """{status: words} from a run of "0 text; 1 text; ... 130 (143) text" (the --help footer)."""
    parts = re.split(r"(?:^|;\s+|:\s+)(\d+)(?: \(\d+\))?\s", text)
    return {int(parts[i]): parts[i + 1] for i in range(1, len(parts) - 1, 2)}


def help_statuses(program):
    help = help_text(program)
    footer = help[help.index("Exit status:"):]
    return statuses_of(re.sub(r"\s+", " ", footer))


def man_statuses(page):
    section = page[page.index(".SH \"EXIT STATUS\""):]
    section = section[:section.index(".SH", 4)]
    entries = {}
    for entry in section.split(".TP")[1:]:
        lines = entry.strip().splitlines()
        entries[int(re.search(r"\d+", lines[0]).group())] = plain("\n".join(lines[1:]))
    return entries


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

    # Defaults: what --help says after "default:" is what the manual and the README say.
    with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    readme_plain = plain(readme)
    for name, program in (("asmbench", asmbench), ("asmpic", asmpic)):
        page = plain(pages[name])
        for option, default in help_defaults(program).items():
            expect("default: " + default in page, f"{name}(1) does not give {option}'s default as 'default: {default}'")
            rows = [plain(line) for line in readme.splitlines() if re.search("`" + re.escape(option) + r"[ `=]", line)]
            expect(any("default: " + default in row for row in rows),
                   f"README does not give {name} {option}'s default as 'default: {default}'")

    # Exit statuses: the same numbers, each covering the same things.
    readme_asmbench = {int(n): plain(text) for n, text in
                       re.findall(r"^\| (\d+)(?:, \d+)? \| (.*) \|$", readme, re.M)}
    asmpic_line = plain(readme[readme.index("Exit status: 0 done"):])
    readme_asmpic = statuses_of(asmpic_line[:asmpic_line.index(".", asmpic_line.index("130"))])
    for name, program, readme_statuses in (("asmbench", asmbench, readme_asmbench),
                                           ("asmpic", asmpic, readme_asmpic)):
        helped = help_statuses(program)
        documented = man_statuses(pages[name])
        expect(set(helped) - {143} <= set(documented), f"{name}(1) gives the statuses {sorted(documented)}, --help {sorted(helped)}")
        expect(set(helped) - {143} <= set(readme_statuses), f"README gives {name}'s statuses {sorted(readme_statuses)}, --help {sorted(helped)}")
        for status, words in helped.items():
            for term in STATUS_TERMS:
                if term.lower() in words.lower():
                    expect(term.lower() in documented.get(status, "").lower(),
                           f"{name}(1) exit status {status} does not speak of '{term}' as --help does")
                    expect(term.lower() in readme_statuses.get(status, "").lower(),
                           f"README's {name} exit status {status} does not speak of '{term}' as --help does")

    # The pages render without a warning at the widths terminals have.
    if shutil.which("man"):
        for name in ("asmbench", "asmpic"):
            with tempfile.NamedTemporaryFile("w", suffix=".1", encoding="utf-8") as page:
                with open(os.path.join(source, "packaging", "man", name + ".1.in"), encoding="utf-8") as f:
                    page.write(f.read().replace("@PROJECT_VERSION@", "1.0.0"))
                page.flush()
                for width in (80, 100, 120):
                    rendered = subprocess.run(["man", "-l", "--warnings", page.name], capture_output=True,
                                              text=True, env=dict(os.environ, MANWIDTH=str(width), MAN_KEEP_FORMATTING="0"))
                    expect(rendered.returncode == 0 and not rendered.stderr.strip(),
                           f"man {name} at {width} columns: {rendered.stderr.strip()}")

    # After --compare, the completion offers the stored runs' ids and the references' names.
    with tempfile.TemporaryDirectory() as folder:
        os.symlink(os.path.abspath(asmbench), os.path.join(folder, "asmbench"))
        db = os.path.join(folder, "history.sqlite")
        environment = dict(os.environ, PATH=folder + os.pathsep + os.environ["PATH"],
                           ASMPIC_ASSETS=os.path.join(source, "assets"))
        subprocess.run([asmbench, "--tests", "contour", "--threads", "0", "--min-time", "0", "--quiet",
                        "--db", db], capture_output=True, check=True, env=environment)
        script = (f'source "$1"; COMP_LINE="$2"; COMP_POINT=${{#COMP_LINE}}; _asmbench; '
                  'printf "%s\\n" "${COMPREPLY[@]}"')
        for line, wanted in ((f"asmbench --db {db} --compare ", {"1", "best-kernels", "baseline-kernels"}),
                             (f"asmbench --db {db} --compare 1 be", {"best-kernels"})):
            offered = set(subprocess.run(["bash", "-c", script, "bash", completions["asmbench"], line],
                                         capture_output=True, text=True, env=environment).stdout.split())
            expect(wanted <= offered, f"completing '{line}' offers {sorted(offered)}")

    for section in ("EXIT STATUS", "EXAMPLES", "OPTIONS"):
        for name, page in pages.items():
            expect(re.search(r'^\.SH "?' + section, page, re.M), f"{name}(1) has no {section} section")

    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
