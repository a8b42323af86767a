#!/usr/bin/python3
"""Reads the built kivo.dll back: its exports, imports, the settings dialog's
template and the version resource, byte for byte as hosts and Windows see them."""
import struct
import sys
import unittest

import pefile

DLL = sys.argv.pop(1) if len(sys.argv) > 1 else "kivo.dll"

WS_CHILD, WS_VISIBLE, WS_TABSTOP, WS_GROUP, WS_BORDER = 0x40000000, 0x10000000, 0x00010000, 0x00020000, 0x00800000
BS_PUSHBUTTON, BS_DEFPUSHBUTTON = 0, 1
ES_LEFT, ES_PASSWORD = 0, 0x20
SS_LEFT, SS_RIGHT = 0, 2
BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82
EDIT_STYLE = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_LEFT
LABEL_RIGHT = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_RIGHT
LABEL_LEFT = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT

# id, class, text, x, y, cx, cy, style
ITEMS = [
    (1, BUTTON, "OK(&O)", 80, 88, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON),
    (2, BUTTON, "Cancel(&C)", 136, 88, 50, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON),
    (104, EDIT, "", 60, 8, 64, 12, EDIT_STYLE),
    (108, EDIT, "", 156, 8, 20, 12, EDIT_STYLE),
    (107, EDIT, "", 60, 28, 64, 12, EDIT_STYLE),
    (106, EDIT, "", 60, 44, 64, 12, EDIT_STYLE | ES_PASSWORD),
    (110, EDIT, "", 60, 64, 16, 12, EDIT_STYLE),
    (0xFFFF, STATIC, "POPサーバ", 16, 12, 40, 8, LABEL_RIGHT),
    (0xFFFF, STATIC, "ユーザ名", 16, 32, 40, 8, LABEL_RIGHT),
    (0xFFFF, STATIC, "パスワード", 12, 48, 44, 8, LABEL_RIGHT),
    (0xFFFF, STATIC, "ポート", 132, 12, 20, 8, LABEL_RIGHT),
    (0xFFFF, STATIC, "受信チェック", 20, 68, 40, 8, LABEL_LEFT),
    (0xFFFF, STATIC, "分毎(チェックしないときは0分)", 77, 68, 92, 8, LABEL_LEFT),
]


class Reader:
    """Walks a classic dialog template."""

    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.at)
        self.at += struct.calcsize("<" + fmt)
        return values

    def sz_or_ord(self):
        (first,) = self.take("H")
        if first == 0xFFFF:
            return self.take("H")[0]
        text = []
        while first:
            text.append(chr(first))
            (first,) = self.take("H")
        return "".join(text)

    def align(self):
        self.at = (self.at + 3) & ~3


def resource(pe, type_id, name):
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != type_id:
            continue
        for entry in kind.directory.entries:
            if (entry.name and str(entry.name) == name) or (entry.id == name):
                language = entry.directory.entries[0]
                return language.id, pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
    return None, None


class BuiltModule(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = pefile.PE(DLL)

    def test_exports_are_exactly_the_undecorated_entries(self):
        names = {e.name.decode() for e in self.pe.DIRECTORY_ENTRY_EXPORT.symbols}
        self.assertEqual(names, {"ZOKInitialize", "ZOKDestroy", "ZOKNewInstance", "ZOKDestroyInstance",
                                 "POPDirect", "POP", "OpenConfigDialog", "kivo"})

    def test_imports_only_system_libraries(self):
        dlls = {i.dll.decode().upper() for i in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertLessEqual(dlls, {"KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL", "WSOCK32.DLL"})
        self.assertEqual(self.pe.FILE_HEADER.Machine, 0x14C)  # i386

    def test_settings_dialog_template(self):
        language, data = resource(self.pe, 5, "CONFIGDLG")
        self.assertIsNotNone(data, "no dialog CONFIGDLG")
        self.assertEqual(language, 0, "language neutral")
        r = Reader(data)
        style, exstyle, count, x, y, cx, cy = r.take("IIHhhhh")
        self.assertEqual(style, 0x80000000 | 0x10000000 | 0x00C00000 | 0x00080000 | 0x80 | 0x40)
        self.assertEqual((exstyle, count, x, y, cx, cy), (0, 13, 6, 15, 190, 109))
        self.assertEqual(r.sz_or_ord(), "", "no menu")
        self.assertEqual(r.sz_or_ord(), "", "the standard dialog class")
        self.assertEqual(r.sz_or_ord(), "アカウント設定")
        self.assertEqual(r.take("H")[0], 9)
        self.assertEqual(r.sz_or_ord(), "ＭＳ Ｐゴシック")
        for expected in ITEMS:
            r.align()
            style, exstyle, x, y, cx, cy, item_id = r.take("IIhhhhH")
            item_class, text = r.sz_or_ord(), r.sz_or_ord()
            (extra,) = r.take("H")
            got = (item_id, item_class, text, x, y, cx, cy, style)
            self.assertEqual(got, expected)
            self.assertEqual((exstyle, extra), (0, 0))
        self.assertEqual(r.at, len(data))

    def test_version_resource(self):
        language, _ = resource(self.pe, 16, 1)
        self.assertEqual(language, 0x0411)
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (0x00010000, 0x00000001))
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), (0x00010000, 0x00000001))
        self.assertEqual((fixed.FileType, fixed.FileOS), (2, 4))  # a DLL for 32-bit Windows
        tables = [t for info in self.pe.FileInfo[0] if info.Key == b"StringFileInfo" for t in info.StringTable]
        self.assertEqual([t.LangID for t in tables], [b"041104e4"])
        strings = tables[0].entries
        self.assertEqual(strings[b"FileVersion"], b"1, 0, 0, 0")
        self.assertEqual(strings[b"ProductVersion"], b"1, 0, 0, 0")
        self.assertEqual(strings[b"OriginalFilename"], b"kivo.dll")
        self.assertEqual(strings[b"Mode"], b"Resident")
        translations = [v.entry for info in self.pe.FileInfo[0] if info.Key == b"VarFileInfo" for v in info.Var]
        self.assertEqual(translations, [{b"Translation": "0x0411 0x04e4"}])


if __name__ == "__main__":
    unittest.main(verbosity=2)
