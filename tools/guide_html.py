#!/usr/bin/env python3
"""Turns the user's guide (Markdown) into one HTML file that a browser opens with a double-click:
UTF-8, its pictures inside it as data URIs, so that it needs no other file beside it.

  tools/guide_html.py docs/使い方.md OUT.html

Only the Markdown the guide uses: headings, paragraphs, lists, tables, code blocks, inline code,
bold, links and pictures on a line of their own. The output depends on the input alone.
"""
import base64
import html
import pathlib
import re
import sys

STYLE = """
body { font-family: "Yu Gothic UI", "Meiryo UI", "MS UI Gothic", sans-serif; max-width: 50em;
       margin: 2em auto; padding: 0 1em; line-height: 1.7; color: #222; }
h1, h2, h3 { line-height: 1.3; }
h2 { border-bottom: 1px solid #ccc; margin-top: 2em; }
code, pre { font-family: "MS Gothic", "ＭＳ ゴシック", monospace; background: #f4f4f4; }
pre { padding: 0.6em; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; text-align: left; vertical-align: top; }
img { max-width: 100%; border: 1px solid #ccc; }
"""


def inline(text, base):
    parts = re.split(r"(`[^`]+`)", text)
    out = []
    for part in parts:
        if part.startswith("`") and part.endswith("`") and len(part) > 1:
            out.append("<code>%s</code>" % html.escape(part[1:-1]))
            continue
        part = html.escape(part, quote=False)
        part = re.sub(r"\*\*(.+?)\*\*", r"<strong>\1</strong>", part)
        part = re.sub(r"!\[([^\]]*)\]\(([^)]+)\)", lambda m: picture(m, base), part)
        part = re.sub(r"\[([^\]]+)\]\(([^)]+)\)", r'<a href="\2">\1</a>', part)
        out.append(part)
    return "".join(out)


def picture(match, base):
    data = base64.b64encode((base / match.group(2)).read_bytes()).decode("ascii")
    return '<img alt="%s" src="data:image/png;base64,%s">' % (match.group(1), data)


def cells(row):
    return [cell.strip() for cell in row.strip().strip("|").split("|")]


def convert(source, base):
    lines = source.split("\n")
    out, i = [], 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("```"):
            end = lines.index("```", i + 1)
            out.append("<pre>%s</pre>" % html.escape("\n".join(lines[i + 1 : end])))
            i = end + 1
        elif m := re.match(r"(#{1,3}) (.*)", line):
            level = len(m.group(1))
            out.append("<h%d>%s</h%d>" % (level, inline(m.group(2), base), level))
            i += 1
        elif line.startswith("|"):
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                rows.append(cells(lines[i]))
                i += 1
            head, body = rows[0], [r for r in rows[1:] if not all(set(c) <= set("-:") for c in r)]
            out.append("<table><tr>%s</tr>" % "".join("<th>%s</th>" % inline(c, base) for c in head))
            out += ["<tr>%s</tr>" % "".join("<td>%s</td>" % inline(c, base) for c in r) for r in body]
            out.append("</table>")
        elif re.match(r"(- |\d+\. )", line):
            tag = "ul" if line.startswith("- ") else "ol"
            items = []
            while i < len(lines) and lines[i].strip():
                if re.match(r"(- |\d+\. )", lines[i]):
                    items.append(re.sub(r"^(- |\d+\. )", "", lines[i]))
                else:  # a continuation line of the item before
                    items[-1] += " " + lines[i].strip()
                i += 1
            out.append("<%s>%s</%s>" % (tag, "".join("<li>%s</li>" % inline(t, base) for t in items), tag))
        elif line.strip():
            para = []
            while i < len(lines) and lines[i].strip() and not re.match(r"(#|\||- |\d+\. |```)", lines[i]):
                para.append(lines[i].strip())
                i += 1
            out.append("<p>%s</p>" % inline("".join(join_lines(para)), base))
        else:
            i += 1
    return out


def join_lines(para):
    # Japanese text runs on without a space where a source line breaks; Latin words do not.
    for n, line in enumerate(para):
        yield line if n == 0 or not (para[n - 1][-1:].isascii() and line[:1].isascii()) else " " + line


def main():
    source_path, out_path = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    source = source_path.read_text(encoding="utf-8")
    title = re.search(r"^# (.*)$", source, re.M).group(1)
    body = "\n".join(convert(source, source_path.parent))
    page = ('<!DOCTYPE html>\n<html lang="ja">\n<head>\n<meta charset="utf-8">\n<title>%s</title>\n'
            "<style>%s</style>\n</head>\n<body>\n%s\n</body>\n</html>\n") % (html.escape(title), STYLE, body)
    out_path.write_bytes(page.replace("\n", "\r\n").encode("utf-8"))


if __name__ == "__main__":
    main()
