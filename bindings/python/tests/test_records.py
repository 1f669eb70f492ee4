"""Record files read in Python against the library's own reading of them
(`pclog dump --format jsonl`), and the record layout case by case."""

import json
import subprocess
import tempfile
import unittest
from pathlib import Path

import simulator  # noqa: F401  (sets W_PCLOG_LIBRARY)
from simulator import CLI, Simulator
from w_pclog import INDEPENDENT, SIXTY_ELSE_THIRTY, decode_record, iter_records, read_records


class DecodeTest(unittest.TestCase):
    def test_fields_of_record_bytes(self):
        # raw bytes -> person, y, m, d, h, min, tag (60 else 30), tag (both), valid
        cases = [
            ("6AC1F9DB4047", 27329, 2015, 9, 27, 0, 7, 69, 99, True),
            ("259172 8C44D7", 9617, 2007, 2, 12, 4, 23, 71, 71, True),
            ("0102 55 DF EA FF", 258, 2005, 5, 31, 10, 63, 91, 121, False),  # minute 63
            ("000040 01 00 00", 0, 2004, 0, 1, 0, 0, 0, 0, False),  # year before 2005
            ("FFFF C1 5F 37 3B", 65535, 2012, 1, 31, 23, 59, 34, 34, True),
        ]
        for raw, person, y, mo, d, h, mi, tag, both, valid in cases:
            with self.subTest(raw=raw):
                b = bytes.fromhex(raw)
                r = decode_record(b)
                self.assertEqual((r.person, r.year, r.month, r.day, r.hour, r.minute, r.tag,
                                  r.valid), (person, y, mo, d, h, mi, tag, valid))
                self.assertEqual(decode_record(b, tags=INDEPENDENT).tag, both)
                self.assertEqual(r.raw, b)

    def test_a_31_february_is_valid_but_has_no_datetime(self):
        r = decode_record(bytes([0, 1, 0x92, 31, 8, 0]))
        self.assertTrue(r.valid)
        self.assertEqual((r.year, r.month, r.day), (2009, 2, 31))
        self.assertIsNone(r.datetime)

    def test_the_walk_steps_one_byte_past_an_invalid_position(self):
        good = bytes.fromhex("6AC1F9DB4047")
        data = good + b"\x00" + good + b"\x01\x02"  # a stray byte, then 2 trailing
        self.assertEqual([r.offset for r in iter_records(data)], [0, 7])
        everything = list(iter_records(data, invalid=True))
        self.assertEqual([(r.offset, r.valid) for r in everything], [(0, True), (6, False),
                                                                      (7, True)])

    def test_wrong_sizes_and_rules_are_refused(self):
        with self.assertRaises(ValueError):
            decode_record(b"\x00" * 5)
        with self.assertRaises(ValueError):
            list(iter_records(b"", tags="both"))


class AgainstTheLibraryTest(unittest.TestCase):
    def test_records_read_as_pclog_dump_reads_them(self):
        with Simulator("--link", "{dir}/com1", "--records", "400", "--seed", "7",
                       "--save-records", "{dir}/start.dat") as sim:
            data = (sim.dir / "start.dat").read_bytes()
        with tempfile.TemporaryDirectory() as d:
            path = Path(d) / "pclog.dat"
            # Bytes that are no record in the middle: the walk must fall back in step.
            path.write_bytes(data[:600] + b"\x00\x00\xff" + data[600:] + b"\x12\x34")
            for tags, flag in ((SIXTY_ELSE_THIRTY, []), (INDEPENDENT, ["--independent-tags"])):
                with self.subTest(tags=tags):
                    out = subprocess.run([CLI, "dump", "--format", "jsonl", *flag, str(path)],
                                         check=True, capture_output=True, text=True).stdout
                    expected = [json.loads(line) for line in out.splitlines()]
                    got = [{"offset": r.offset, "number": r.person,
                            "date": f"{r.year:04d}-{r.month:02d}-{r.day:02d}",
                            "time": f"{r.hour:02d}:{r.minute:02d}", "tag": r.tag, "line": r.line}
                           for r in read_records(path, tags)]
                    self.assertEqual(len(expected), 400)
                    self.assertEqual(got, expected)


if __name__ == "__main__":
    unittest.main()
