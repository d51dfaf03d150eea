#!/usr/bin/env python3
"""Decrypts a password-protected workbook with msoffcrypto-tool, the tests' independent reader.

    msoffcrypto_decrypt.py IN PASSWORD_FILE OUT [--unchecked]

The password is read from a file (its bytes as UTF-8, no newline). For an .xlsx the output is
the decrypted package; for an .xls the decrypted compound file. Exit 3: wrong password.
--unchecked: an .xlsx is decrypted without its password verifier and integrity HMAC, which this
reader compares at whole cipher blocks and so fails for hashes that are not (SHA-1).
"""
import io
import sys

import msoffcrypto
from msoffcrypto.exceptions import InvalidKeyError


def main():
    source, password_file, target = sys.argv[1:4]
    checked = "--unchecked" not in sys.argv[4:]
    with open(password_file, encoding="utf-8") as f:
        password = f.read()
    with open(source, "rb") as f:
        office = msoffcrypto.OfficeFile(f)
        try:
            if office.format == "ooxml":
                office.load_key(password=password, verify_password=checked)
            else:
                office.load_key(password=password)
        except InvalidKeyError:
            return 3
        out = io.BytesIO()
        if office.format == "ooxml":
            office.decrypt(out, verify_integrity=checked)
        else:
            office.decrypt(out)
    with open(target, "wb") as f:
        f.write(out.getvalue())
    return 0


if __name__ == "__main__":
    sys.exit(main())
