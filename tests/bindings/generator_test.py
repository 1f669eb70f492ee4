"""The header reader of the bindings generator: what it takes from a header
and what it refuses."""

import importlib.util
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
found = importlib.util.spec_from_file_location("gen", ROOT / "tools/bindings_from_header.py")
gen = importlib.util.module_from_spec(found)
sys.modules["gen"] = gen
found.loader.exec_module(gen)

SAMPLE = """/* File comment. */
#ifndef X
#define X
/* Group one: its
 * words. */
int32_t WPCLOG_CALL _ONE(int32_t address, int32_t port); /* 0 done */
int32_t WPCLOG_CALL _TWO(const char* ip,
                         WPCLOG_COUNTED const char* name);
const char* WPCLOG_CALL _THREE(int32_t port);
#endif
int32_t WPCLOG_CALL _FOUR(void* p);
"""


class ParseTest(unittest.TestCase):
    def setUp(self):
        self.exports = gen.parse(SAMPLE.split("int32_t WPCLOG_CALL _FOUR")[0]).exports

    def test_names_kinds_and_arguments(self):
        got = [(e.name, e.returns, [(p.kind, p.name) for p in e.params]) for e in self.exports]
        self.assertEqual(got, [
            ("_ONE", "int", [("int", "address"), ("int", "port")]),
            ("_TWO", "int", [("text", "ip"), ("counted", "name")]),
            ("_THREE", "text", [("int", "port")]),
        ])

    def test_group_words_once_then_a_pointer(self):
        self.assertEqual([e.doc() for e in self.exports],
                         ["Group one: its words. 0 done", "See _ONE.", "See _ONE."])

    def test_a_line_between_ends_the_group(self):
        text = "/* Words. */\n#define A\nint32_t WPCLOG_CALL _X(int32_t a);\n"
        self.assertEqual(gen.parse(text).exports[0].doc(), "")

    def test_unknown_types_and_empty_headers_are_refused(self):
        for text in (SAMPLE, "/* nothing */\n"):
            with self.subTest(text=text[-30:]):
                with self.assertRaises(ValueError):
                    gen.parse(text)


class CheckTest(unittest.TestCase):
    def test_check_passes_on_the_tree_and_fails_on_a_changed_header(self):
        self.assertEqual(gen.main(["--check"]), 0)
        header = (ROOT / "include/w_pclog.h").read_text()
        with tempfile.TemporaryDirectory() as d:
            short = Path(d) / "w_pclog.h"
            short.write_text(header.replace("int32_t WPCLOG_CALL _DELETE(", "int32_t _DELETE("))
            self.assertEqual(gen.main(["--check", "--header", str(short)]), 1)

    def test_every_export_reaches_every_language(self):
        exports = gen.parse((ROOT / "include/w_pclog.h").read_text()).exports
        self.assertEqual(len(exports), 72)
        out = gen.generate((ROOT / "include/w_pclog.h").read_text())
        for e in exports:
            with self.subTest(export=e.name):
                self.assertIn(f'"{e.name}": Export(', out["bindings/python/w_pclog/_exports.py"])
                self.assertIn(f" {e.name}(", out["bindings/dotnet/WPclog.cs"])
                self.assertIn(f"name '{e.name}';", out["bindings/delphi/w_pclog.pas"])
                self.assertEqual(out["bindings/vb/w_pclog.bas"].count(f'Alias "{e.name}"'), 2)
                self.assertIn(f"- `{e.name}(", out["docs/exports.md"])


if __name__ == "__main__":
    unittest.main()
