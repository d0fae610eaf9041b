#!/usr/bin/env python3
"""The benchmark corpus: a tree of CP932 data files cut from real Japanese text.

  bench/make_corpus.py [--seed 1] [--size 256M] OUT

The text is the Japanese Debian Reference (Debian package debian-reference-ja, GPL-2+, which
tools/install-deps.sh installs). Each data file is a run of its lines, from a random place on,
in CP932, as the wrapped lines of the text or as whole paragraphs (long lines), with CR LF, LF,
CR or mixed line ends, some without a final one, some empty, some named .VEK or .Vek, and many
with Japanese names, in a tree of folders 3 deep with 4 subfolders each (one folder named
"old.vek"). Beside them lie decoys that no search may read (.txt, .vek.bak, .vekx ...).

Beside OUT goes OUT.manifest.json: the parameters, the text's package and checksum, the
tree's shape (files, folders, bytes, lines) and four keyword sets with their exact hit count
over the data files (a: two common words, b: a rare word and an ASCII word, c: a word that
never occurs, d: a's two words and a third), counted from the lines written, not by a search.

The same seed, size and package version give the same bytes on every machine: the random
numbers are this script's own (SplitMix64), and everything after the file sizes' weights
(whole thousandths) is computed in integers.
"""
import argparse
import gzip
import hashlib
import json
import math
import os
import re
import subprocess
import sys

SOURCE = "/usr/share/debian-reference/debian-reference.ja.txt.gz"
PACKAGE = "debian-reference-ja"
MASK = (1 << 64) - 1


class Random:
    """SplitMix64: small, fast enough, and the same everywhere."""

    def __init__(self, seed):
        self.state = seed & MASK

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & MASK
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
        return z ^ (z >> 31)

    def below(self, n):
        return (self.next() * n) >> 64

    def per_mille(self, share):  # true with a chance of share / 1000
        return self.below(1000) < share

    def pick(self, items):
        return items[self.below(len(items))]

    def weighted(self, weights):  # an index, with integer weights
        at = self.below(sum(weights))
        for index, weight in enumerate(weights):
            if at < weight:
                return index
            at -= weight
        raise AssertionError

    def lognormal_weight(self):
        """exp(z), z normal (Box-Muller), times 1000, rounded to an integer. Rounding to whole
        thousandths absorbs the last bit in which one libm's log, cos or exp may differ from
        another's; every later figure is an integer."""
        u1 = ((self.next() >> 11) + 1) / (1 << 53)  # in (0, 1]
        u2 = (self.next() >> 11) / (1 << 53)
        z = math.sqrt(-2 * math.log(u1)) * math.cos(2 * math.pi * u2)
        return max(1, round(1000 * math.exp(z)))


def parse_size(text):
    m = re.fullmatch(r"(\d+)([KMG]?)", text.upper())
    if not m:
        raise argparse.ArgumentTypeError("size: a number with K, M or G, such as 256M")
    return int(m.group(1)) << {"": 0, "K": 10, "M": 20, "G": 30}[m.group(2)]


def package_version():
    try:
        return subprocess.run(["dpkg-query", "-W", "-f=${Version}", PACKAGE],
                              capture_output=True, text=True).stdout or None
    except OSError:
        return None


def cp932_lines(lines):
    """Each line as the CP932 bytes a data file holds and the text a decoder gives back."""
    out = []
    for line in lines:
        data = line.replace("\u00a0", " ").encode("cp932", errors="ignore")
        out.append((data, data.decode("cp932")))
    return out


def paragraphs(lines):
    """Runs of non-empty lines joined into one line each; Latin words keep a space between."""
    out, run = [], []
    for line in lines + [""]:
        if line.strip():
            run.append(line.strip())
            continue
        if run:
            text = run[0]
            for piece in run[1:]:
                text += (" " if text[-1:].isascii() and piece[:1].isascii() else "") + piece
            out.append(text)
            run = []
        if out and out[-1] != "":
            out.append("")
    return out


class Pool:
    """Lines to cut files from, and how often each line has gone into a data file."""

    def __init__(self, name, lines):
        self.name, self.lines = name, lines
        self.emitted = [0] * len(lines)

    def cut(self, rng, nbytes, counted):
        """Lines from a random place on, wrapping round, until they hold nbytes (one at least)."""
        at, taken, size = rng.below(len(self.lines)), [], 0
        while not taken or size < nbytes:
            data = self.lines[at][0]
            taken.append(data)
            size += len(data) + 2
            if counted:
                self.emitted[at] += 1
            at = (at + 1) % len(self.lines)
        return taken


DIR_NAMES = ["資料", "問題集", "演習{}", "基本編", "応用編", "過去問題", "第{}部", "用語集"]
FILE_NAMES = ["第{}章", "問題{}", "演習{}", "確認{}", "模擬試験{}", "まとめ{}", "単元{}", "小テスト{}"]
DECOY_ENDINGS = [".txt", ".vek.bak", ".vekx", ".ve", ".vek~", ".bak", ".vek.txt", "_vek"]
ENDINGS = {"crlf": [b"\r\n"], "lf": [b"\n"], "cr": [b"\r"], "mixed": [b"\r\n", b"\n", b"\r"]}
ENDING_WEIGHTS = {"crlf": 85, "lf": 10, "cr": 3, "mixed": 2}


def build(out, seed, size):
    with gzip.open(SOURCE, "rt", encoding="utf-8") as f:
        source = f.read()
    text_lines = source.replace("\r", "").split("\n")
    pools = [Pool("wrapped", cp932_lines(text_lines)), Pool("paragraph", cp932_lines(paragraphs(text_lines)))]
    rng = Random(seed)

    folders = [""]

    def subfolders(parent, level):
        for i in range(4):
            name = rng.pick(DIR_NAMES).format(i + 1) if rng.per_mille(300) else "part%d" % (i + 1)
            while any(f.lower() == os.path.join(parent, name).lower() for f in folders):
                name += "_%d" % (i + 1)
            folders.append(os.path.join(parent, name))
            if level < 2:
                subfolders(folders[-1], level + 1)

    subfolders("", 0)
    folders.append(os.path.join(folders[1], "old.vek"))  # a folder, never a data file
    for folder in folders:
        os.makedirs(os.path.join(out, folder), exist_ok=True)
    taken = {folder: set() for folder in folders}

    def place(stem, ending):
        folder = rng.pick(folders)
        name, k = stem + ending, 1
        while name.lower() in taken[folder]:
            k += 1
            name = "%s_%d%s" % (stem, k, ending)
        taken[folder].add(name.lower())
        return os.path.join(folder, name)

    def stem():
        if rng.per_mille(300):
            return rng.pick(FILE_NAMES).format(1 + rng.below(60))
        return "q%04d" % (1 + rng.below(9999))

    def content(nbytes, counted):
        """The bytes, the line-end kind and the number of lines."""
        pool = pools[1] if rng.per_mille(250) else pools[0]
        kinds = list(ENDING_WEIGHTS)
        kind = kinds[rng.weighted(list(ENDING_WEIGHTS.values()))]
        final = not rng.per_mille(100)
        if nbytes == 0:
            return b"", kind, 0
        lines = pool.cut(rng, nbytes, counted)
        ends = [rng.pick(ENDINGS[kind]) for _ in lines]
        if not final:
            ends[-1] = b""
        return b"".join(x for pair in zip(lines, ends) for x in pair), kind, len(lines)

    files = size // (32 << 10)
    weights = [rng.lognormal_weight() for _ in range(files)]
    sizes = [size * w // sum(weights) for w in weights]
    empty = set()
    while len(empty) < max(1, files // 500):
        empty.add(rng.below(files))
    named_dot_vek = rng.below(files)
    stats = {"data_files": 0, "data_bytes": 0, "data_lines": 0, "empty_files": len(empty),
             "upper_case_endings": 0, "largest_file": 0, "folders": len(folders),
             "decoy_files": 0, "decoy_bytes": 0, "line_ends": dict.fromkeys(ENDING_WEIGHTS, 0)}
    for i in range(files):
        choice = rng.below(100)
        ending = ".VEK" if choice < 3 else ".Vek" if choice < 4 else ".vek"
        path = place("" if i == named_dot_vek else stem(), ending)
        data, kind, lines = content(0 if i in empty else sizes[i], True)
        with open(os.path.join(out, path), "wb") as f:
            f.write(data)
        stats["data_files"] += 1
        stats["data_bytes"] += len(data)
        stats["data_lines"] += lines
        stats["upper_case_endings"] += ending != ".vek"
        stats["largest_file"] = max(stats["largest_file"], len(data))
        stats["line_ends"][kind] += 1
    for i in range(files * 5 // 100):
        path = place(stem(), DECOY_ENDINGS[i % len(DECOY_ENDINGS)])
        data, _, _ = content(sizes[rng.below(files)], False)
        with open(os.path.join(out, path), "wb") as f:
            f.write(data)
        stats["decoy_files"] += 1
        stats["decoy_bytes"] += len(data)

    lines = [(text, n) for pool in pools for (_, text), n in zip(pool.lines, pool.emitted) if n]
    return {
        "seed": seed, "size": size,
        "source": {"package": PACKAGE, "version": package_version(), "file": SOURCE,
                   "sha256": hashlib.sha256(source.encode("utf-8")).hexdigest()},
        "stats": stats, "keyword_sets": keyword_sets(lines),
    }


def keyword_sets(lines):
    """Sets a-d from the lines written, each line weighted by how often it was written."""

    def hits(keywords):
        return sum(n for text, n in lines if all(k in text for k in keywords))

    # Whole runs of katakana (3 to 8) or of kanji (2 to 4), never a piece of a longer run.
    word = re.compile(r"[\u30a1-\u30fa\u30fc]+|[\u4e00-\u9fff]+")
    fits = lambda w: 3 <= len(w) <= 8 if w[0] >= "\u30a1" and w[0] <= "\u30fc" else 2 <= len(w) <= 4  # noqa: E731
    frequency, ascii_frequency = {}, {}
    for text, n in lines:
        for w in set(filter(fits, word.findall(text))):
            frequency[w] = frequency.get(w, 0) + n
        for w in set(re.findall(r"[A-Za-z]{4,}", text)):
            ascii_frequency[w] = ascii_frequency.get(w, 0) + n
    common = sorted(frequency, key=lambda w: (-frequency[w], w))[:12]
    apart = lambda ks: not any(x != y and x in y for x in ks for y in ks)  # noqa: E731
    pairs = [[x, y] for i, x in enumerate(common) for y in common[i + 1:] if apart([x, y])]
    a = max(pairs, key=hits)
    # a's two words and the common word that leaves them the most hits
    d = max(([*a, z] for z in common if z not in a and apart([*a, z])), key=hits)
    # A word of one line only, found nowhere else, with the most common ASCII word of its line.
    everything = "\n".join(text for text, _ in lines)
    rare = next(w for w in sorted(frequency, key=lambda w: (frequency[w], w))
                if len(w) >= 3 and everything.count(w) == 1
                and re.findall(r"[A-Za-z]{4,}", next(t for t, _ in lines if w in t)))
    line = next(t for t, _ in lines if rare in t)
    b = [rare, max(sorted(set(re.findall(r"[A-Za-z]{4,}", line))), key=lambda w: ascii_frequency[w])]
    c = [next(w for w in ["量子暗号通信", "寿司職人", "将棋盤", "深海魚", "火星探査機"] if w not in everything)]
    return {name: {"keywords": ks, "hits": hits(ks), "what": what}
            for name, ks, what in [("a", a, "two common words"), ("b", b, "a rare word and an ASCII word"),
                                   ("c", c, "a word that never occurs"), ("d", d, "a's words and a third")]}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--size", type=parse_size, default=parse_size("256M"),
                        help="bytes of data files, roughly (default 256M)")
    args = parser.parse_args()
    if not os.path.exists(SOURCE):
        sys.exit("make_corpus: %s is missing: apt-get install %s" % (SOURCE, PACKAGE))
    out = os.path.abspath(args.out)
    if os.path.exists(out) and os.listdir(out):
        sys.exit("make_corpus: %s is not empty" % out)
    manifest = build(out, args.seed, args.size)
    with open(out + ".manifest.json", "w", encoding="utf-8") as f:
        json.dump(manifest, f, ensure_ascii=False, indent=1)
        f.write("\n")
    stats = manifest["stats"]
    print("%s: %d data files, %d bytes, %d lines, %d folders; %d decoys" % (
        out, stats["data_files"], stats["data_bytes"], stats["data_lines"], stats["folders"],
        stats["decoy_files"]))
    for name, s in manifest["keyword_sets"].items():
        print("%s  %-30s %d hits" % (name, " ".join(s["keywords"]), s["hits"]))


if __name__ == "__main__":
    main()
