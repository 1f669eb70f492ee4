"""The Python layer against pclog-sim: a download on a pty and on loopback,
settings and a counted text read back from what the terminal holds, and a
failure turned into an exception."""

import os
import tempfile
import unittest
from pathlib import Path

from simulator import Simulator
from w_pclog import CountedText, NetworkTerminal, SerialTerminal, WPclogError, copy_name, load, \
    read_records


class Folder(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory()
        self.data = Path(self._dir.name)

    def tearDown(self):
        self._dir.cleanup()


class DownloadTest(Folder):
    def test_serial_download_gives_the_records_and_clears_the_terminal(self):
        with Simulator("--link", "{dir}/com2", "--records", "60", "--seed", "3",
                       "--save-records", "{dir}/start.dat") as sim:
            sim.point_ports()
            terminal = SerialTerminal(port=2, address=1, data_dir=self.data)
            self.assertEqual(terminal.find(), 2)
            got = terminal.download()
            expected = list(read_records(sim.dir / "start.dat"))
            state = sim.stop()[sim.port(2)]
        self.assertEqual(len(got), 60)
        self.assertEqual(got, expected)
        self.assertTrue((self.data / "pclog.txt").exists())
        self.assertEqual((state["records"], state["clears"]), (0, 1))
        self.assertEqual(os.environ.get("W_PCLOG_DIR"), None)  # left as it was

    def test_network_download(self):
        with Simulator("--tcp", "127.0.60.1", "--records", "20",
                       "--save-records", "{dir}/start.dat") as sim:
            got = NetworkTerminal("127.0.60.1", data_dir=self.data).download()
            self.assertEqual(got, list(read_records(sim.dir / "start.dat")))


class FingerprintTest(Folder):
    def test_the_template_list_as_user_attribute_number(self):
        with Simulator("--link", "{dir}/com1", "--templates", "4") as sim:
            sim.point_ports()
            templates = SerialTerminal(port=1, data_dir=self.data).fingerprint_templates()
        self.assertEqual(templates, [(1, 0, 1), (1, 0, 2), (2, 0, 1), (2, 0, 2)])
        self.assertTrue((self.data / "FINGERREC" / "IDLIST.TXT").exists())


class RealtimeTest(Folder):
    def test_one_record_then_none(self):
        with Simulator("--tcp", "127.0.60.4", "--realtime-records", "1", "--realtime-seed", "5"):
            terminal = NetworkTerminal("127.0.60.4", data_dir=self.data)
            first = terminal.realtime()
            self.assertIsNotNone(first)
            self.assertTrue(first.valid)
            # The text's fields read back through the record's own line.
            self.assertEqual(len(first.line), 21)
            self.assertIsNone(terminal.realtime())


class SettingsTest(Folder):
    def test_settings_and_a_counted_name_reach_the_terminal(self):
        with Simulator("--tcp", "127.0.60.2", "--users", "1-100") as sim:
            terminal = NetworkTerminal("127.0.60.2", data_dir=self.data)
            terminal.disable_person(7)
            terminal.set_time([0x26, 0x12, 0x09, 0x03, 0x14, 0x30, 0x00])
            terminal.send_name(5, "Zoë Lee", encoding="cp1252")
            state = sim.stop()["127.0.60.2"]
        self.assertEqual(state["usersDisabled"], "7")
        self.assertEqual(state["clock"], [0x26, 0x12, 0x09, 0x03, 0x14, 0x30, 0x00])
        self.assertEqual(bytes(state["names"]["5"]), "Zoë Lee".encode("cp1252"))

    def test_arguments_out_of_range_are_refused_before_any_call(self):
        terminal = NetworkTerminal("127.0.60.250", data_dir=self.data)
        for call in (lambda: terminal.set_time([1, 2, 3]), lambda: terminal.set_time([256] * 7),
                     lambda: terminal.enable_person(65536), lambda: terminal.send_name(1, "é"),
                     lambda: terminal.send_name(1, "x" * 254),
                     lambda: terminal.send_voice([0] * 13, "x" * 100),
                     lambda: terminal.send_voice([0] * 12, "hello")):
            with self.subTest():
                with self.assertRaises(ValueError):
                    call()


class CountedTextTest(Folder):
    def test_layout_and_the_count_given_back(self):
        text = CountedText(b"Ann")
        head = (ctypes_bytes(text.pointer - 8, 12))
        self.assertEqual(head, b"\x01\x00\x00\x00\x03\x00\x00\x00Ann\x00")
        prefix = str(self.data) + os.sep
        self.assertEqual(load()._COPYNAME(prefix.encode(), 42, text.pointer), 0)
        self.assertEqual(text.reference_count, 1)  # raised for the call, lowered again

    def test_a_voice_text_reaches_the_terminal_and_its_greeting_comes_back(self):
        with Simulator("--tcp", "127.0.60.5,greeting=0000010200000000") as sim:
            greeting = NetworkTerminal("127.0.60.5", data_dir=self.data).send_voice(
                range(1, 14), "Good morning")
            voices = sim.stop()["127.0.60.5"]["voices"]
        self.assertEqual(greeting, 0x0102)
        self.assertEqual(bytes(voices["2"])[-13:], b"\x0cGood morning")

    def test_copy_name_keeps_the_first_8_bytes(self):
        copy_name(str(self.data) + os.sep, 258, "Alexandra Long")
        (name_file,) = self.data.glob("NAM*.DAT")
        self.assertEqual(name_file.read_bytes(), b"\x01\x02Alexandr")


class FailureTest(Folder):
    def test_a_failed_export_raises_with_its_name_and_result(self):
        # No terminal listens on this address: the connection is refused.
        with self.assertRaises(WPclogError) as caught:
            NetworkTerminal("127.0.60.251", data_dir=self.data).enable_person(3)
        e = caught.exception
        self.assertEqual((e.export, e.result), ("_LANENABLEPERSON", 1))
        self.assertIn("_LANENABLEPERSON returned 1", str(e))


def ctypes_bytes(address, n):
    import ctypes
    return ctypes.string_at(address, n)


if __name__ == "__main__":
    unittest.main()
