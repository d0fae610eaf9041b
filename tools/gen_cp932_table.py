#!/usr/bin/env python3
"""Writes core/cp932_table.cpp, the CP932 (Windows-31J) tables of vek, from Python's cp932 codec.

Python's mapping is the standard Windows-31J one, and so is its choice among duplicate codes
(U+FFE2 -> 81 CA, not EE F9 or FA 54), with one exception: it writes the NEC-selected IBM
extension characters with their rows ED/EE, where Windows writes the IBM rows FA-FC. The encoder
here follows Windows.

Usage: python3 tools/gen_cp932_table.py [output]   (default: core/cp932_table.cpp next to this
script). The output depends only on the codec, so running it twice gives the same file.
"""

import pathlib
import sys

TRAIL_BASE = 0x40  # no trail byte is below 0x40, so pair rows start there
TRAIL_SPAN = 0x100 - TRAIL_BASE
REPLACEMENT = 0xFFFD
PER_LINE = 16
NEC_SELECTED_IBM_LEADS = (0xED, 0xEE)
IBM_EXTENSION_LEADS = (0xFA, 0xFB, 0xFC)


def decode(data):
    try:
        text = data.decode("cp932")
    except UnicodeDecodeError:
        return None
    assert len(text) == 1, (data, text)
    return ord(text)


def encode(code_point):
    try:
        return chr(code_point).encode("cp932")
    except UnicodeEncodeError:
        return None


def build():
    single = [decode(bytes([b])) for b in range(256)]
    # Lead bytes do not decode alone; whatever else does not decode is an undefined byte. Both
    # become U+FFFD when they do not start a mapped pair.
    single_table = [REPLACEMENT if c is None else c for c in single]

    rows = []  # (lead, [code point or 0] * TRAIL_SPAN), only leads with at least one mapping
    sources = {}  # code point -> the codes (byte, or lead << 8 | trail) that decode to it
    for b, c in enumerate(single):
        if c is not None:
            sources.setdefault(c, []).append(b)
    for lead in range(256):
        if single[lead] is not None:
            continue
        for trail in range(TRAIL_BASE):
            assert decode(bytes([lead, trail])) is None
        row = [decode(bytes([lead, TRAIL_BASE + i])) for i in range(TRAIL_SPAN)]
        if any(c is not None for c in row):
            rows.append((lead, [0 if c is None else c for c in row]))
            for i, c in enumerate(row):
                if c is not None:
                    assert c != 0
                    sources.setdefault(c, []).append(lead << 8 | TRAIL_BASE + i)
    lead_row = [0] * 256
    for index, (lead, _) in enumerate(rows):
        lead_row[lead] = index + 1

    # Encoder: one code per BMP code point; 0 marks "cannot encode". U+0000 also encodes as 0,
    # so the code treats ASCII before it looks here.
    codes = [0] * 0x10000
    for c in range(0x10000):
        if 0xD800 <= c <= 0xDFFF:
            continue
        data = encode(c)
        if data is None:
            continue
        assert len(data) in (1, 2)
        code = data[0] if len(data) == 1 else data[0] << 8 | data[1]
        if code >> 8 in NEC_SELECTED_IBM_LEADS:
            # Python prefers the NEC-selected IBM rows; Windows (and glibc) write the IBM
            # extension code that decodes to the same character.
            (code,) = [s for s in sources[c] if s >> 8 in IBM_EXTENSION_LEADS]
        codes[c] = code
        if c < 0x80:
            assert codes[c] == c
    blocks = [[0] * 256]  # block 0: nothing encodable
    block_index = []
    for high in range(256):
        block = codes[high << 8 : (high + 1) << 8]
        if any(block):
            block_index.append(len(blocks))
            blocks.append(block)
        else:
            block_index.append(0)
    assert len(blocks) <= 256

    # Encodable code points that do not come back from exactly one byte sequence: duplicates
    # (NEC and IBM rows, say) and the few one-way encodings such as U+00A2 -> 81 91 (U+FFE0).
    non_unique = [c for c in range(0x10000) if codes[c] and len(sources.get(c, [])) != 1]
    return single_table, lead_row, rows, block_index, blocks, non_unique


def hex_lines(values, width, indent="    "):
    lines = []
    for start in range(0, len(values), PER_LINE):
        chunk = values[start : start + PER_LINE]
        lines.append(indent + ", ".join(f"0x{v:0{width}X}" for v in chunk) + ",")
    return lines


def render():
    single, lead_row, rows, block_index, blocks, non_unique = build()
    out = [
        "// Generated from Python's cp932 codec, with Windows' choice of IBM extension codes.",
        "// Do not edit; regenerate with: python3 tools/gen_cp932_table.py",
        "// clang-format off",
        '#include "cp932_table.h"',
        "",
        "namespace vek::cp932_table {",
        "",
        "// Code point of each byte alone; U+FFFD for lead and undefined bytes.",
        "const std::uint16_t kSingle[256] = {",
        *hex_lines(single, 4),
        "};",
        "",
        "// 1 + the row of kPairs for a lead byte with at least one mapped pair, else 0.",
        "const std::uint8_t kLeadRow[256] = {",
        *hex_lines(lead_row, 2),
        "};",
        "",
        f"// Code point of each pair, by row and trail byte from 0x{TRAIL_BASE:02X}; 0 = unmapped.",
        f"const std::uint16_t kPairs[{len(rows)}][kTrailSpan] = {{",
    ]
    for lead, row in rows:
        out.append(f"  {{  // lead 0x{lead:02X}")
        out.extend(hex_lines(row, 4))
        out.append("  },")
    out += [
        "};",
        "",
        "// Block of kEncodeBlocks for each high byte of a code point; block 0 encodes nothing.",
        "const std::uint8_t kEncodeIndex[256] = {",
        *hex_lines(block_index, 2),
        "};",
        "",
        "// CP932 code of each code point by low byte: a byte, or lead << 8 | trail; 0 = none.",
        f"const std::uint16_t kEncodeBlocks[{len(blocks)}][256] = {{",
    ]
    for number, block in enumerate(blocks):
        high = block_index.index(number) if number else None
        label = f"U+{high:02X}00" if high is not None else "unencodable"
        out.append(f"  {{  // {number}: {label}")
        out.extend(hex_lines(block, 4))
        out.append("  },")
    out += [
        "};",
        "",
        "// Encodable code points that not exactly one byte sequence decodes to, ascending.",
        f"const char16_t kNonUniqueData[{len(non_unique)}] = {{",
        *hex_lines(non_unique, 4),
        "};",
        "const std::span<const char16_t> kNonUnique = kNonUniqueData;",
        "",
        "}  // namespace vek::cp932_table",
        "",
    ]
    return "\n".join(out)


def main():
    default = pathlib.Path(__file__).resolve().parent.parent / "core" / "cp932_table.cpp"
    target = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else default
    target.write_text(render(), encoding="ascii", newline="\n")


if __name__ == "__main__":
    main()
