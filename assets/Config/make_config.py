#!/usr/bin/env python3
"""Writes assets/Config/Config.cfg: UTF-16LE with a byte-order mark and CRLF line ends."""
import pathlib

ENTRIES = [
    ("DisplayExcel", "0"),
    ("DisplayExcelAlerts", "0"),
    ("frmMainCaption", "Brakenfold "),
    ("ErrCantSetfrmMainCaption", "The window caption could not be set: the key frmMainCaption is missing from Config.cfg."),
    ("ErrCantInitImageList", "The toolbar icons could not be loaded. Check the Icon folder beside the program."),
    ("ErrCantInitToolbar", "The toolbar could not be built."),
    ("ErrCantInitListView", "The task list could not be set up."),
    ("ErrCantOpenWorkbook", "The workbook could not be opened."),
    ("HomePage", "https://brakenfold.example.org/"),
    ("SupportEmail", "mailto:support@brakenfold.example.org"),
    ("SpreadsheetApplication", "native"),
    ("SkipHiddenSheets", "0"),
    ("SkipVeryHiddenSheets", "0"),
    ("OutputNameTemplate", "{sheet}_Splitted_at_{stamp}"),
    ("BreakLinks", "0"),
    ("DecryptOutputs", "0"),
]

text = "".join(f"{k}={v}\r\n" for k, v in ENTRIES)
out = pathlib.Path(__file__).with_name("Config.cfg")
out.write_bytes(b"\xff\xfe" + text.encode("utf-16-le"))
