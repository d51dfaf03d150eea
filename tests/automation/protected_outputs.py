#!/usr/bin/env python3
"""Checks the outputs of a password-protected workbook, independently of the program: each one
is decrypted by msoffcrypto-tool with the password (or must be plain with --plain), holds one
worksheet, and shows the same cell values as that worksheet of the source.

    protected_outputs.py SOURCE PASSWORD_FILE [--plain] OUTPUT...

Prints one line per fault; exit 1 when there is any.
"""
import io
import sys

import msoffcrypto
import openpyxl
import xlrd
from msoffcrypto.format import xls97


# Some writers leave bytes after the last whole record of the Workbook stream: no record, on
# which this reader would stop with an error. It reads the whole records, and the stream it
# writes back is padded to its size.
def _whole_records(self):
    while True:
        h = self.data.read(4)
        if len(h) < 4:
            break
        num, size = int.from_bytes(h[:2], "little"), int.from_bytes(h[2:], "little")
        yield num, size, io.BytesIO(self.data.read(size))


def _padded_write(write):
    def padded(self, name, data):
        return write(self, name, data.ljust(self.get_size(name), b"\0"))
    return padded


xls97._BIFFStream.iter_record = _whole_records
xls97.olefile.OleFileIO.write_stream = _padded_write(xls97.olefile.OleFileIO.write_stream)


def decrypted(path, password):
    with open(path, "rb") as f:
        if f.read(2) == b"PK":
            return None  # a plain package
        f.seek(0)
        office = msoffcrypto.OfficeFile(f)
        if not office.is_encrypted():
            return None
        # The SHA-512 verifier is checked by decrypting the package: msoffcrypto compares it
        # at whole cipher blocks, which a 64-byte hash is.
        office.load_key(password=password)
        out = io.BytesIO()
        office.decrypt(out)
        return out.getvalue()


def sheets(data, openxml):
    if openxml:
        book = openpyxl.load_workbook(io.BytesIO(data), data_only=True, read_only=True)
        return {ws.title: [[c for c in row] for row in ws.iter_rows(values_only=True)] for ws in book.worksheets}
    book = xlrd.open_workbook(file_contents=data, formatting_info=False)
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
    source, password_file = sys.argv[1:3]
    rest = sys.argv[3:]
    plain = "--plain" in rest
    outputs = [a for a in rest if a != "--plain"]
    with open(password_file, encoding="utf-8") as f:
        password = f.read()
    openxml = not source.lower().endswith(".xls")
    src = sheets(decrypted(source, password), openxml)
    faults = []
    for out in outputs:
        with open(out, "rb") as f:
            raw = f.read()
        data = decrypted(out, password)
        if plain != (data is None):
            faults.append(f"{out}: {'encrypted' if plain else 'not encrypted'}")
            continue
        got = sheets(raw if plain else data, openxml)
        if len(got) != 1:
            faults.append(f"{out}: {len(got)} worksheets")
            continue
        (name, rows), = got.items()
        if name not in src or trimmed(rows) != trimmed(src[name]):
            faults.append(f"{out}: sheet {name!r} differs from the source's")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
