#!/usr/bin/env python3
"""Writes the printouts with printer commands and graphics that the tests read (tests/data).
Run from the repository root; the output is committed. Every picture's data holds the bytes
0x0A, 0x0C and 0x1B on purpose: read as text they would break lines and pages."""

ESC = b"\x1b"


def word(n):
    return bytes([n & 0xFF, n >> 8])


# --- ESC/P, 24-pin: an invoice with a logo of two 24-dot bands -----------------------------

def logo_column(x, band):
    """Three bytes of a 24-dot column of the logo: a frame 360 x 48 dots with a diagonal."""
    column = 0
    for dot in range(24):
        y = band * 24 + dot
        ink = x < 4 or x >= 356 or y < 4 or y >= 44 or abs(x - y * 7) < 6
        if ink:
            column |= 1 << (23 - dot)
    return bytes([(column >> 16) & 0xFF, (column >> 8) & 0xFF, column & 0xFF])


def escp_invoice():
    out = ESC + b"@"
    for band in range(2):
        data = b"".join(logo_column(x, band) for x in range(360))
        # ESC * 39: 24 dots, 180 dots an inch; 360 columns are 2 inches.
        out += ESC + b"*" + bytes([39]) + word(360) + data
        out += b"\r" + ESC + b"J" + bytes([24])  # 24/180 inch: the band's height
    out += ESC + b"$" + word(150)  # 150/60 inch = 2.5 inches from the left margin
    out += ESC + b"E" + b"FAKTURA 12/2024" + ESC + b"F\r\n"
    out += ESC + b"3" + bytes([60])  # 60/180 inch: 1/3 inch a line
    out += b"Pozycja 1\r\n"
    out += ESC + b"2"
    out += ESC + b"D" + bytes([10, 30, 0]) + b"Netto\tVAT\tRazem\r\n"
    out += ESC + b"R" + bytes([2]) + b"Gr}~e\r\n"  # Germany: } and ~ print as ü and ß
    out += ESC + b"R" + bytes([0])
    out += b"\x0c"
    return out


# --- ESC/P, 8-dot screen dump: 60 bands of ESC K, each followed by ESC J 24 ------------------

def screen_dump():
    out = ESC + b"@"
    for band in range(60):
        columns = bytearray()
        for x in range(480):  # 8 inches at 60 dots an inch
            # A sine-like trace and a grid line every 60 columns; bytes 0x0A, 0x0C, 0x1B occur.
            value = 0
            if x % 60 == 0:
                value = 0xFF
            elif (x + band * 8) % 40 < 20:
                value = (0x0A, 0x0C, 0x1B, 0x01)[(x + band) % 4]
            columns.append(value)
        out += ESC + b"K" + word(480) + bytes(columns) + b"\r" + ESC + b"J" + bytes([24])
    out += b"\x0c"
    return out


# --- ESC/P: a letter with line ends written LF CR -------------------------------------------

def escp_letter():
    out = ESC + b"@" + ESC + b"x\x01" + b"\n\r" * 8
    out += ESC + b"E" + b"Marking highlight 1" + ESC + b"F" + b"\n\r"
    for i in range(20):
        out += ESC + b"-\x01" + b"HIGHLIGHT" + ESC + b"-\x00" + b" line %d of the letter\n\r" % i
    out += b"\n\r" * 30  # the letter ends with blank lines, no form feed: one page
    return out


# --- PCL: a raster page in the four compressions, a rule and text ---------------------------

def packbits(data):
    """PackBits, as a literal run per byte pair and repeats for runs of three or more."""
    out = bytearray()
    i = 0
    while i < len(data):
        run = 1
        while i + run < len(data) and data[i + run] == data[i] and run < 128:
            run += 1
        if run >= 3:
            out += bytes([257 - run, data[i]])
            i += run
        else:
            literal = data[i:i + min(2, len(data) - i)]
            out += bytes([len(literal) - 1]) + literal
            i += len(literal)
    return bytes(out)


def rle(data):
    out = bytearray()
    i = 0
    while i < len(data):
        run = 1
        while i + run < len(data) and data[i + run] == data[i] and run < 256:
            run += 1
        out += bytes([run - 1, data[i]])
        i += run
    return bytes(out)


def raster_row(y):
    """30 bytes (240 dots): a frame and a diagonal band; includes 0x0A, 0x0C and 0x1B."""
    row = bytearray(30)
    for x in range(240):
        if x < 8 or x >= 232 or y < 8 or y >= 112 or abs(x - 2 * y) < 10:
            row[x // 8] |= 0x80 >> (x % 8)
    row[14] = (0x0A, 0x0C, 0x1B)[y % 3] if 8 <= y < 112 else row[14]
    return bytes(row)


def pcl_raster():
    out = ESC + b"E" + ESC + b"&l0O" + ESC + b"*t150R"
    out += ESC + b"*p300x300Y" + ESC + b"*r1A"  # 1 inch in, 1 inch down, at the cursor
    previous = bytes(30)
    for y in range(120):  # 120 rows: 0.8 inch at 150 dots an inch
        row = raster_row(y)
        mode = y // 30  # 30 rows in each compression
        if mode == 0:
            packed = row
        elif mode == 1:
            packed = rle(row)
        elif mode == 2:
            packed = packbits(row)
        else:
            delta = bytearray()
            x = 0
            last = 0
            while x < len(row):
                if row[x] == previous[x]:
                    x += 1
                    continue
                start = x
                while x < len(row) and row[x] != previous[x] and x - start < 8:
                    x += 1
                offset = start - last
                command = (x - start - 1) << 5
                if offset < 31:
                    delta += bytes([command | offset])
                else:
                    delta += bytes([command | 31])
                    offset -= 31
                    while offset >= 255:
                        delta += b"\xff"
                        offset -= 255
                    delta += bytes([offset])
                delta += row[start:x]
                last = x
            packed = bytes(delta)
        out += ESC + b"*b%dm%dW" % (mode, len(packed)) + packed
        previous = row
    out += ESC + b"*rB"
    # A rule 2 inches wide and 1/50 inch high under the picture, then text below it.
    out += ESC + b"*p300x600Y" + ESC + b"*c600a6b0P"
    out += ESC + b"&a0h1700V" + ESC + b"(s12H" + b"Rysunek 1" + b"\r\n"
    out += b"\x0c" + ESC + b"E"
    return out


# --- PCL with PJL: a line printer job at 16.67 characters an inch --------------------------

def pcl_pjl():
    uel = ESC + b"%-12345X"
    out = uel + b"@PJL COMMENT Quernel test\r\n@PJL ENTER LANGUAGE = PCL\r\n"
    out += ESC + b"E" + ESC + b"(10U" + ESC + b"(s0p16.67h8.5v0b0T\r\n"
    digits = (b"0123456789" * 13)[:128]
    out += ESC + b"&p128X" + digits + b"\r\n"
    controls = bytes(range(128))  # control codes too, printed as characters
    out += ESC + b"&p128X" + controls + b"\r\n"
    out += b"Raport dzienny\r\n"
    out += ESC + b"%1B" + b"IN;SP1;PU0,0;PD1000,1000;\x1b\x0c" + ESC + b"%0A"  # HP-GL/2
    out += b"Koniec\r\n" + ESC + b"E" + uel + b"@PJL EOJ\r\n" + uel
    return out


# --- DOS box drawing: frames, blocks and signs, read through the control-code table --------

def box_lines(codepage, rows):
    """The rows in the DOS code page at 6 and 8 lines an inch, condensed, and in double width."""
    out = ESC + b"@"
    body = b"".join(row.encode(codepage) + b"\r\n" for row in rows)
    out += body
    out += ESC + b"0" + body + ESC + b"2"  # 8 lines an inch, then 6 again
    out += b"\x0f" + body + b"\x12"  # condensed
    out += ESC + b"W1" + body + ESC + b"W0"  # double width
    out += ESC + b"E" + body + ESC + b"F"  # bold
    return out + b"\x0c"


def box_frames_852():
    return box_lines("cp852", [
        "Faktura nr 7/2024     ╔══════════╦═══════╗",
        "┌─────────┬──────┐    ║ Łódź     ║ Żółć  ║",
        "│ Ręczniki│ 12,50│    ╠══════════╬═══════╣",
        "├─────────┼──────┤    ║ Gdańsk   ║ ślęża ║",
        "│ Mydło   │  3,99│    ╚══════════╩═══════╝",
        "└─────────┴──────┘ ░▒▓█▄▀■",
    ])


def box_frames_437():
    return box_lines("cp437", [
        "╓────╥────╖ ╒════╤════╕ ╔══╗┌──┐",
        "║ ab ║ cd ║ │ ef │ gh │ ║  ║│  │",
        "╟────╫────╢ ╞════╪════╡ ╚══╝└──┘",
        "║ ÇÜ ║ éñ ║ │    │    │ ░▒▓█▄▀▌▐■",
        "╙────╨────╜ ╘════╧════╛ αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²",
    ])


# --- ESC/P, 24-pin: an invoice in CP852 laid out with CR, HT, VT and pitch commands ----------

def window_column(x):
    """Three bytes of a 24-dot column of a window frame 240 dots wide: its edges and a cross."""
    column = 0
    for dot in range(24):
        if x < 3 or x >= 237 or dot < 2 or dot >= 22 or abs(x - 120) < 2 or dot in (11, 12):
            column |= 1 << (23 - dot)
    return bytes([(column >> 16) & 0xFF, (column >> 8) & 0xFF, column & 0xFF])


def escp_invoice_windows():
    out = ESC + b"@" + ESC + b"B" + bytes([20, 60, 0])  # vertical tabs at lines 20 and 60
    out += b"Sprzedawca: Hurtownia\r\n\r\n"
    # Double height on the third line (reaching into the blank one above), double width too.
    out += ESC + b"w\x01" + ESC + b"W\x01" + b"FAKTURA" + ESC + b"W\x00" + ESC + b"w\x00"
    out += b"\r\n\r\n"
    # The title of the table condensed, its header at 15 and 12 characters an inch, then pica.
    out += b"\x0f" + b"Zestawienie pozycji w cenach netto" + b"\x12\r\n"
    out += ESC + b"g" + b"Lp. Nazwa" + ESC + b"M" + b" Ilo\x98\x86" + ESC + b"P" + b" Cena\r\n"
    # A window drawn after the text of its line: CR, then HT to the stop at 40 columns.
    out += ESC + b"D" + bytes([40, 0]) + b"Okno towaru:\r\t"
    out += ESC + b"*" + bytes([39]) + word(240) + b"".join(window_column(x) for x in range(240))
    out += b"\r\n\r\n"
    # A line of 103 columns: the printer breaks it after 80.
    out += b"Uwagi: " + b"".join(b"%02d " % (i % 100) for i in range(32)) + b"\r\n"
    # The total underlined by printing its line again; BS for a slashed zero.
    out += b"Razem do zap\x88aty: 1230 z\x88\r" + b" " * 18 + b"____\r\n"
    out += b"Kod: 0\x08/\r\n"
    out += b"\x0b" + b"Podpis (linia 20)\r\n"
    out += b"\x0b" + b"Stopka (linia 60)\r\n"
    out += b"\x0b" + b"Strona 2\r\n\x0c"
    return out


# --- ESC/P: a printout that chooses its own character tables --------------------------------

def escp_code_pages():
    def assign(slot, d2, d3=0):
        return ESC + b"(t" + word(3) + bytes([slot, d2, d3])

    out = ESC + b"@"
    out += assign(1, 1) + ESC + b"t\x01"  # PC437: a double frame and accented letters
    out += b"\xc9" + b"\xcd" * 10 + b"\xbb\r\n"
    out += b"\xba Caf\x82 \x81   \xba\r\n"
    out += b"\xc8" + b"\xcd" * 10 + b"\xbc\r\n"
    out += assign(1, 14) + b"\x8f\xe0\xa8\xa2\xa5\xe2, \xac\xa8\xe0\r\n"  # PC866
    out += assign(1, 10) + b"Za\xbe\xa2\x88\x86 g\xa9\x98l\xa5 ja\xab\xe4\r\n"  # PC852
    out += assign(2, 27) + ESC + b"t\x02" + b"Mazowia: \x86\x8d\x91\x92\xa4\xa2\x9e\xa6\xa7\r\n"
    out += assign(3, 28) + ESC + b"t3" + b"\x80e\xa8tina\r\n"  # Code MJK (Kamenický)
    out += ESC + b"t\x00" + b"Kursywa: \xc1\xc2\r\n"  # the italic table
    # User-defined characters: "X" a tick and "Y" a filled box, 30 columns of 24 dots each.
    tick = bytearray()
    for x in range(30):
        y = 18 + x if x < 6 else 24 - (x - 6) * 22 // 24
        column = sum(1 << (23 - d) for d in range(max(0, y - 3), min(24, y + 1)))
        tick += bytes([column >> 16, (column >> 8) & 0xFF, column & 0xFF])
    box = b"\xff\xff\xff" * 30
    out += ESC + b"&\x00XY" + bytes([3, 30, 3]) + bytes(tick) + bytes([3, 30, 3]) + box
    out += b"Znaki: " + ESC + b"%\x01" + b"XY" + ESC + b"%\x00" + b" XY\r\n"
    out += b"\x0c"
    return out


# --- ESC/P: the ribbon's colours for text, a bit image and a frame --------------------------

def escp_colours():
    names = [b"czarny", b"purpurowy", b"cyjan", b"fioletowy", "żółty".encode("cp852"), b"czerwony",
             b"zielony"]
    out = ESC + b"@"
    for n, name in enumerate(names):
        out += ESC + b"r" + bytes([n]) + b"Kolor " + name + b"\r\n"
    out += ESC + b"r\x05" + ESC + b"K" + word(60) + b"\xff" * 60 + b"\r\n"  # a red bar
    out += ESC + b"r\x02" + b"\xc9" + b"\xcd" * 8 + b"\xbb\r\n"  # a cyan frame
    out += b"\xc8" + b"\xcd" * 8 + b"\xbc\r\n"
    out += ESC + b"r\x06" + b"\xb0" * 10 + b"\r\n"  # a green shade
    out += ESC + b"r\x00" + b"Znowu czarny\r\n\x0c"
    return out


# --- ESC/P 2: bar codes and a TIFF raster in colour ------------------------------------------

def barcode(kind, data, flags=1, module=2, length=90):
    body = bytes([kind, module, 0]) + word(length) + bytes([flags]) + data
    return ESC + b"(B" + word(len(body)) + body


def escp_barcodes():
    out = ESC + b"@" + ESC + b"(U" + word(1) + bytes([10])  # units of 1/360 inch
    for title, code in [
        (b"EAN-13", barcode(0, b"590123412345")),
        (b"Code 128", barcode(6, b"BQuernel-128")),
        (b"Code 39", barcode(5, b"FV-2024/12", flags=0)),
        (b"UPC-A", barcode(3, b"03600029145")),
        (b"2 z 5", barcode(2, b"12345678", flags=0)),
    ]:
        out += title + b"\r\n" + code + b"\r\n" + ESC + b"J" + bytes([150])  # 150/180 inch
    # A TIFF raster 1 inch wide and 1/4 inch high: cyan, magenta and yellow stripes over which
    # a black frame; rows of 360 dots, PackBits.
    out += b"Raster:\r\n"
    out += ESC + b".\x02" + bytes([10, 10, 1]) + word(0)
    for y in range(90):
        for colour, byte in ((2, 0xFF if y < 30 else 0), (1, 0xFF if 30 <= y < 60 else 0),
                             (4, 0xFF if y >= 60 else 0), (0, None)):
            if byte is None:
                row = bytearray(45)
                if y in (0, 89):
                    row = bytearray(b"\xff" * 45)
                else:
                    row[0] |= 0x80
                    row[44] |= 0x01
            else:
                row = bytearray([byte] * 45)
            literal = bytes([44]) + bytes(row)  # one literal run of 45 bytes
            out += bytes([0x80 | colour]) + bytes([0x31, len(literal)]) + literal + b"\xe2"
        out += b"\x61"  # MOVY one row (1/360 inch)
    out += b"\xe3\r\nKoniec\r\n\x0c"
    return out


FILES = {
    "escp_invoice_logo.prn": escp_invoice,
    "escp_screen_dump.prn": screen_dump,
    "escp_letter_lfcr.prn": escp_letter,
    "escp_invoice_windows.prn": escp_invoice_windows,
    "escp_code_pages.prn": escp_code_pages,
    "escp_colours.prn": escp_colours,
    "escp_barcodes.prn": escp_barcodes,
    "pcl_raster_page.pcl": pcl_raster,
    "pcl_pjl_lineprinter.pcl": pcl_pjl,
    "box_frames_852.prn": box_frames_852,
    "box_frames_437.prn": box_frames_437,
}

if __name__ == "__main__":
    for name, make in FILES.items():
        with open("tests/data/" + name, "wb") as f:
            f.write(make())
