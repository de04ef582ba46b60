#!/usr/bin/env python3
"""Reads the icon and version record back from the built fegaus.exe.

usage: resources_test.py FEGAUS.EXE SOURCE_DIR
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

import pefile

EXE = sys.argv[1] if len(sys.argv) > 1 else "build-windows/fegaus.exe"
SOURCE = sys.argv[2] if len(sys.argv) > 2 else "."


def maker_macro(name):
    with open(os.path.join(SOURCE, "src", "app", "maker.h"), encoding="ascii") as header:
        return re.search(r'#define %s "([^"]*)"' % name, header.read()).group(1)


GERMAN_GERMANY = 0x0407


def resources_of_type(pe, type_id, with_language=False):
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == type_id:
            for name in entry.directory.entries:
                for language in name.directory.entries:
                    data = language.data.struct
                    content = pe.get_data(data.OffsetToData, data.Size)
                    yield (name.id, language.id, content) if with_language else (name.id, content)


class Resources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(EXE)

    def test_version_numbers_and_type(self):
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (0x00010000, 0))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), (0x00010000, 0))
        self.assertEqual(fixed.FileType, 1)  # an application

    def test_texts_of_the_record(self):
        tables = [table for info in self.pe.FileInfo[0] if info.Key == b"StringFileInfo"
                  for table in info.StringTable]
        self.assertEqual([table.LangID for table in tables], [b"040704E4"])
        texts = {key.decode("utf-8"): value.decode("utf-8") for key, value in tables[0].entries.items()}
        self.assertEqual(texts, {
            "FileVersion": "1.0",
            "FileDescription": "FEGAUS - L\u00f6schen alter Dateien",
            "ProductName": "FEGAUS",
            "ProductVersion": "",
            "InternalName": "",
            "OriginalFilename": "",
            "LegalTrademarks": "",
            "CompanyName": maker_macro("FEGAUS_MAKER_NAME"),
            "Comments": maker_macro("FEGAUS_WEB_ADDRESS"),
        })

    def test_description_is_stored_as_utf16(self):
        raw = bytes(self.pe.__data__)
        self.assertIn("FEGAUS - L\u00f6schen alter Dateien".encode("utf-16-le"), raw)

    def test_translation(self):
        variables = [var.entry for info in self.pe.FileInfo[0] if info.Key == b"VarFileInfo"
                     for var in info.Var]
        self.assertEqual(variables, [{b"Translation": "0x0407 0x04e4"}])

    def test_icon_and_record_are_filed_as_german(self):
        # The language of the resource entries, not only of the record's texts.
        for kind in ("RT_VERSION", "RT_GROUP_ICON", "RT_ICON"):
            with self.subTest(kind=kind):
                found = list(resources_of_type(self.pe, pefile.RESOURCE_TYPE[kind], with_language=True))
                self.assertEqual([language for _, language, _ in found], [GERMAN_GERMANY])

    def test_icon_is_32_by_32_in_16_colours(self):
        groups = list(resources_of_type(self.pe, pefile.RESOURCE_TYPE["RT_GROUP_ICON"]))
        self.assertEqual(len(groups), 1)
        _, group = groups[0]
        reserved, kind, count = struct.unpack_from("<HHH", group)
        self.assertEqual((reserved, kind, count), (0, 1, 1))
        width, height, colours, _, planes, bits, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6)
        self.assertEqual((width, height, colours, planes, bits), (32, 32, 16, 1, 4))
        icons = dict(resources_of_type(self.pe, pefile.RESOURCE_TYPE["RT_ICON"]))
        image = icons[icon_id]
        self.assertEqual(len(image), size)
        header = struct.unpack_from("<IiiHH", image)
        self.assertEqual(header, (40, 32, 64, 1, 4))
        with open(os.path.join(SOURCE, "res", "fegaus.ico"), "rb") as committed:
            self.assertEqual(image, committed.read()[22:])

    def test_committed_icon_matches_its_picture(self):
        with tempfile.TemporaryDirectory() as scratch:
            made = os.path.join(scratch, "made.ico")
            subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "make_icon.py"),
                            os.path.join(SOURCE, "res", "fegaus_icon.txt"), made], check=True)
            with open(made, "rb") as fresh, open(os.path.join(SOURCE, "res", "fegaus.ico"), "rb") as committed:
                self.assertEqual(fresh.read(), committed.read(),
                                 "res/fegaus.ico is stale: run tools/make_icon.py")

    def test_needs_no_dll_beyond_the_system(self):
        imported = {entry.dll.decode("ascii").lower() for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertIn("kernel32.dll", imported)
        self.assertTrue(imported <= {"kernel32.dll", "msvcrt.dll", "user32.dll", "advapi32.dll", "ntdll.dll"},
                        sorted(imported))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
