#!/usr/bin/env python3
"""Writes the control-code table and character maps shipped with Quernel (data/Seq and
data/CharMap). Run from the repository root; the output is committed."""

ESC, SI, SO, DC1, DC2, DC3, DC4, HT = 0x1B, 0x0F, 0x0E, 0x11, 0x12, 0x13, 0x14, 0x09

# Meanings used below.
IGNORE, BOLD, NOBOLD, UNDER, NOUNDER, ITALIC, NOITALIC = 1, 4, 5, 6, 7, 8, 9
CONDENSED, NOCONDENSED, PICA, ELITE, CPI10, CPI12, CPI17 = 10, 11, 12, 13, 14, 15, 16
WIDE_LINE, WIDE_OFF, RESET, WIDE_MULTI = 18, 19, 21, 23
SUB, SUPER, NOSCRIPT, PORTRAIT, LANDSCAPE, TAB, LPI6, LPI8 = 24, 25, 26, 27, 28, 29, 35, 36


def esc(text):
    return bytes([ESC]) + text.encode("ascii")


EPSON_HP = [
    # ESC/P: the codes DOS programs commonly send to Epson-compatible printers.
    (esc("@"), RESET),
    (esc("E"), BOLD), (esc("F"), NOBOLD),
    (esc("G"), BOLD), (esc("H"), NOBOLD),  # double strike prints as bold
    (esc("4"), ITALIC), (esc("5"), NOITALIC),
    (esc("-1"), UNDER), (esc("-0"), NOUNDER),
    (esc("-") + b"\x01", UNDER), (esc("-") + b"\x00", NOUNDER),
    (bytes([SI]), CONDENSED), (bytes([ESC, SI]), CONDENSED), (bytes([DC2]), NOCONDENSED),
    (esc("M"), ELITE), (esc("P"), PICA),
    (bytes([SO]), WIDE_LINE), (bytes([ESC, SO]), WIDE_LINE), (bytes([DC4]), WIDE_OFF),
    (esc("W1"), WIDE_MULTI), (esc("W0"), WIDE_OFF),
    (esc("W") + b"\x01", WIDE_MULTI), (esc("W") + b"\x00", WIDE_OFF),
    (esc("S0"), SUPER), (esc("S1"), SUB),
    (esc("S") + b"\x00", SUPER), (esc("S") + b"\x01", SUB),
    (esc("T"), NOSCRIPT),
    (esc("0"), LPI8), (esc("2"), LPI6),
    (esc("x0"), IGNORE), (esc("x1"), IGNORE),
    (esc("x") + b"\x00", IGNORE), (esc("x") + b"\x01", IGNORE),
    (bytes([DC1]), IGNORE), (bytes([DC3]), IGNORE),
    (bytes([HT]), TAB),
    # HP-PCL commands that do not clash with ESC/P. ESC E (PCL reset) stays ESC/P bold.
    (esc("&l1O"), LANDSCAPE), (esc("&l0O"), PORTRAIT),
    (esc("(s3B"), BOLD), (esc("(s0B"), NOBOLD),
    (esc("&d0D"), UNDER), (esc("&d@"), NOUNDER),
    (esc("(s1S"), ITALIC), (esc("(s0S"), NOITALIC),
    (esc("(s10H"), CPI10), (esc("(s12H"), CPI12), (esc("(s16.67H"), CPI17),
    (esc("&l6D"), LPI6), (esc("&l8D"), LPI8),
]


def write_seq(path, table):
    out = bytearray()
    for seq, meaning in table:
        out += bytes([len(seq)]) + seq + bytes([meaning])
    with open(path, "wb") as f:
        f.write(out)


# Box drawing that the target code page lacks becomes the nearest plain character: vertical
# lines "|", single horizontal lines "-", double horizontal lines "=", corners, tees and crosses
# "+"; shades and blocks "#".
def box_fallback(ch):
    import unicodedata
    name = unicodedata.name(ch, "")
    if not name.startswith("BOX DRAWINGS") and ch not in "░▒▓█▄▀▌▐■":
        return None
    if ch in "░▒▓█▄▀▌▐■":
        return "#"
    if ch in "│║":
        return "|"
    if ch == "─":
        return "-"
    if ch == "═":
        return "="
    return "+"


# Symbols with a faithful plain stand-in, for code pages that lack them.
SYMBOL_FALLBACK = {
    "≥": ">", "≤": "<", "≈": "~", "≡": "=", "∙": ".", "·": ".", "ⁿ": "n", "¹": "1", "²": "2",
    "³": "3", "µ": "u", "±": "+", "÷": ":", "«": "<", "»": ">", "¦": "|", "–": "-", "—": "-",
    "‘": "'", "’": "'", "“": '"', "”": '"', "„": '"',
}


MAZOVIA_POLISH = {
    0x86: "ą", 0x8D: "ć", 0x8F: "Ą", 0x90: "Ę", 0x91: "ę", 0x92: "ł", 0x95: "Ć", 0x98: "Ś",
    0x9C: "Ł", 0x9E: "ś", 0xA0: "Ź", 0xA1: "Ż", 0xA2: "ó", 0xA3: "Ó", 0xA4: "ń", 0xA5: "Ń",
    0xA6: "ź", 0xA7: "ż",
}

# Kamenický (KEYBCS2), the Czech and Slovak DOS code page: code page 437 with the Czech and
# Slovak letters in 0x80..0xAF.
KAMENICKY_UPPER = (
    "ČüéďäĎŤčěĚĹÍľĺÄÁ"
    "ÉžŽôöÓůÚýÖÜŠĽÝŘť"
    "áíóúňŇŮÔšřŕŔ¼§«»"
)


def decode_dos(codepage, b):
    if codepage == "mazovia":
        if b in MAZOVIA_POLISH:
            return MAZOVIA_POLISH[b]
        return bytes([b]).decode("cp437")
    if codepage == "kamenicky":
        if 0x80 <= b < 0x80 + len(KAMENICKY_UPPER):
            return KAMENICKY_UPPER[b - 0x80]
        return bytes([b]).decode("cp437")
    return bytes([b]).decode(codepage)


def dos_to(codepage, target):
    """The map from a DOS code page to the code page a charset draws through: every character
    the target has keeps its identity; the rest falls back to a plain character."""
    import unicodedata
    out = bytearray()
    for b in range(256):
        if b < 0x80:
            out.append(b)
            continue
        ch = decode_dos(codepage, b)
        try:
            out += ch.encode(target)
            continue
        except UnicodeEncodeError:
            pass
        fallback = box_fallback(ch) or SYMBOL_FALLBACK.get(ch)
        if fallback is None:
            # Letters the target lacks lose their accent where that leaves a letter.
            base = unicodedata.normalize("NFD", ch)[0]
            fallback = base if base.isascii() and base.isalpha() else "?"
        out += fallback.encode("ascii")
    assert len(out) == 256
    return bytes(out)


# Charset indexes (the order of the charset list) and the code pages they draw through.
OEM, ANSI, EUROPA_WSCHODNIA, ROSJA, KRAJE_BALTYCKIE, GRECJA = 1, 2, 3, 4, 5, 6
DRAWN_THROUGH = {OEM: "cp852", ANSI: "cp1252", EUROPA_WSCHODNIA: "cp1250", ROSJA: "cp1251",
                 KRAJE_BALTYCKIE: "cp1257", GRECJA: "cp1253"}

# Each DOS code page goes to the charset that holds all of its national letters; box drawing
# stays real lines only where that charset's code page has them (OEM draws through 852).
MAPS = [
    ("LatinII", "cp852", EUROPA_WSCHODNIA),   # Polish and Central European (Latin II)
    ("Mazowia", "mazovia", EUROPA_WSCHODNIA),  # Polish (Mazovia)
    ("Kamenicky", "kamenicky", OEM),           # Czech and Slovak (KEYBCS2)
    ("CP437", "cp437", ANSI),                  # US
    ("CP850", "cp850", ANSI),                  # Western Europe
    ("CP866", "cp866", ROSJA),                 # Russian
    ("CP737", "cp737", GRECJA),                # Greek
    ("CP775", "cp775", KRAJE_BALTYCKIE),       # Baltic
]


def write_cmap(path, table, charset):
    with open(path, "wb") as f:
        f.write(table + bytes([charset]))


def main():
    write_seq("data/Seq/EPSON+HP.seq", EPSON_HP)
    for name, codepage, charset in MAPS:
        write_cmap(f"data/CharMap/{name}.cmap", dos_to(codepage, DRAWN_THROUGH[charset]), charset)
    write_cmap("data/CharMap/OEM.cmap", bytes(range(256)), OEM)


if __name__ == "__main__":
    main()
