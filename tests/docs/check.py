"""The documentation holds together:
- every relative link in README.md and docs/*.md leads to a file that
  exists, and a link to a heading of a Markdown file to one it has (links
  to http(s): and mailto: targets and text in fenced code blocks are left
  alone);
- the README's exit-code table is the one of docs/deploying.md.

    python3 check.py SOURCE_DIR

Prints each fault and exits with 1 when there is one.
"""
import glob
import os
import re
import sys

LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")


def prose(path):
    """The file's lines outside fenced code blocks."""
    fenced = False
    with open(path, encoding="utf-8") as text:
        for line in text:
            if line.lstrip().startswith("```"):
                fenced = not fenced
            elif not fenced:
                yield line


def anchors(path):
    """The anchors of the file's headings, made as GitHub makes them."""
    headings = (re.sub(r"^#+\s*", "", line).strip().lower() for line in prose(path)
                if line.startswith("#"))
    return {re.sub(r"[^\w\- ]", "", heading).replace(" ", "-") for heading in headings}


def broken_links(path):
    for target in LINK.findall("".join(prose(path))):
        if re.match(r"(https?|mailto):", target):
            continue
        name, _, anchor = target.partition("#")
        linked = os.path.normpath(os.path.join(os.path.dirname(path), name)) if name else path
        if not os.path.exists(linked):
            yield f"{path}: ({target}): no such file"
        elif anchor and linked.endswith(".md") and anchor not in anchors(linked):
            yield f"{path}: ({target}): no such heading"


def exit_code_table(path):
    """The lines of the table that starts with "| run | exit code |"."""
    table, inside = [], False
    for line in prose(path):
        inside = line.startswith("| run | exit code |") or (inside and line.startswith("|"))
        if inside:
            table.append(line)
    return table


def main(source_dir):
    readme = os.path.join(source_dir, "README.md")
    guide = os.path.join(source_dir, "docs", "deploying.md")
    files = [readme] + sorted(glob.glob(os.path.join(source_dir, "docs", "*.md")))
    faults = [fault for path in files for fault in broken_links(path)]
    table = exit_code_table(readme)
    if not table or table != exit_code_table(guide):
        faults.append(f"{readme}: its exit-code table is not the one of {guide}")
    for fault in faults:
        print(fault)
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main(sys.argv[1])
