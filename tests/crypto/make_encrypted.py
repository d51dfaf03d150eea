#!/usr/bin/env python3
"""Writes password-protected workbooks with LibreOffice, another writer than ours, for the
tests to read: one .xlsx and one .xls per password given.

    make_encrypted.py OUTDIR PASSWORD_FILE

PASSWORD_FILE holds one password a line (UTF-8). The files are OUTDIR/N.xlsx and OUTDIR/N.xls,
N counting the passwords from 0; each holds one sheet whose cells name the password's number.
"""
import os
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import NamedValue, PropertyValue
from com.sun.star.connection import NoConnectException


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def encryption_data(password):
    # The Open XML export takes its password from the encryption data, not the Password property.
    values = []
    for name, value in (("CryptoType", "StrongEncryptionDataSpace"), ("OOXPassword", password)):
        v = NamedValue()
        v.Name = name
        v.Value = value
        values.append(v)
    return prop("EncryptionData", uno.Any("[]com.sun.star.beans.NamedValue", tuple(values)))


def connect(pipe):
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    for _ in range(300):
        try:
            ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            return ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
        except NoConnectException:
            time.sleep(0.1)
    raise RuntimeError("LibreOffice did not start")


def main():
    outdir, password_file = sys.argv[1:3]
    with open(password_file, encoding="utf-8") as f:
        passwords = f.read().split("\n")
    profile = tempfile.mkdtemp(prefix="bf-lo-profile-")
    pipe = "bf_crypto_%d" % os.getpid()
    office = subprocess.Popen(["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--norestore",
                               "--invisible", "--accept=pipe,name=%s;urp;" % pipe],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        desktop = connect(pipe)
        for n, password in enumerate(passwords):
            doc = desktop.loadComponentFromURL("private:factory/scalc", "_blank", 0, (prop("Hidden", True),))
            sheet = doc.Sheets.getByIndex(0)
            sheet.getCellByPosition(0, 0).setString("workbook %d" % n)
            sheet.getCellByPosition(1, 1).setValue(n + 0.5)
            for ext, flt in (("xlsx", "Calc MS Excel 2007 XML"), ("xls", "MS Excel 97")):
                url = uno.systemPathToFileUrl(os.path.abspath(os.path.join(outdir, "%d.%s" % (n, ext))))
                args = (prop("FilterName", flt),)
                args += (encryption_data(password),) if ext == "xlsx" else (prop("Password", password),)
                uno.invoke(doc, "storeToURL", (url, args))
            doc.close(True)
        try:
            desktop.terminate()
        except Exception:  # the office may drop the bridge before it answers: it is ending
            pass
    finally:
        try:
            office.wait(timeout=30)
        except subprocess.TimeoutExpired:
            office.kill()
        subprocess.run(["rm", "-rf", profile])


if __name__ == "__main__":
    main()
