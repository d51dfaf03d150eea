#!/usr/bin/env python3
"""Checks the outputs of a password-protected workbook independently of the program: each is
decrypted by msoffcrypto-tool with the password (or must be plain with --plain), holds one
worksheet, and shows the cell values of that worksheet of the source.

    protected_outputs.py SOURCE PASSWORD_FILE [--plain] OUTPUT...    (exit 1: a fault, printed)
"""
import io
import sys

import msoffcrypto
import openpyxl
import xlrd
from msoffcrypto.format import xls97


# Some writers leave bytes after the last whole record of the Workbook stream, on which this
# reader stops with an error: it reads the whole records, and pads the stream back to its size.
def _whole_records(self):
    while len(h := self.data.read(4)) == 4:
        size = int.from_bytes(h[2:], "little")
        yield int.from_bytes(h[:2], "little"), size, io.BytesIO(self.data.read(size))


def _padded(write):
    return lambda self, name, data: write(self, name, data.ljust(self.get_size(name), b"\0"))


xls97._BIFFStream.iter_record = _whole_records
xls97.olefile.OleFileIO.write_stream = _padded(xls97.olefile.OleFileIO.write_stream)


def decrypted(raw, password):
    if raw[:2] == b"PK":
        return None  # a plain package
    office = msoffcrypto.OfficeFile(io.BytesIO(raw))
    if not office.is_encrypted():
        return None
    office.load_key(password=password)
    out = io.BytesIO()
    office.decrypt(out)
    return out.getvalue()


def sheets(data, openxml):
    if openxml:
        book = openpyxl.load_workbook(io.BytesIO(data), data_only=True, read_only=True)
        return {ws.title: list(ws.iter_rows(values_only=True)) for ws in book.worksheets}
    book = xlrd.open_workbook(file_contents=data)
    return {s.name: [s.row_values(r) for r in range(s.nrows)] for s in book.sheets()}


def trimmed(rows):
    rows = [list(r) for r in rows]
    for r in rows:
        while r and r[-1] in (None, ""):
            r.pop()
    while rows and not rows[-1]:
        rows.pop()
    return rows


def main():
    source, password_file, *rest = sys.argv[1:]
    plain = "--plain" in rest
    with open(password_file, encoding="utf-8") as f:
        password = f.read()
    openxml = not source.lower().endswith(".xls")
    with open(source, "rb") as f:
        src = sheets(decrypted(f.read(), password), openxml)
    faults = []
    for out in (a for a in rest if a != "--plain"):
        with open(out, "rb") as f:
            raw = f.read()
        data = decrypted(raw, password)
        if plain != (data is None):
            faults.append(f"{out}: {'encrypted' if plain else 'not encrypted'}")
            continue
        got = sheets(raw if plain else data, openxml)
        name, rows = next(iter(got.items()))
        if len(got) != 1 or name not in src or trimmed(rows) != trimmed(src[name]):
            faults.append(f"{out}: {len(got)} worksheets, or sheet {name!r} differs from the source's")
    print("\n".join(faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
