"""Finding the library: W_PCLOG_LIBRARY is taken alone, and a library that
cannot be loaded is an error that says where it was looked for."""

import os
import subprocess
import sys
import unittest
from pathlib import Path

PACKAGE = Path(__file__).resolve().parents[1]


def load_in_child(library):
    env = dict(os.environ, W_PCLOG_LIBRARY=library, PYTHONPATH=str(PACKAGE))
    return subprocess.run([sys.executable, "-c", "import w_pclog; w_pclog.load(); print('ok')"],
                          env=env, capture_output=True, text=True)


class LoadTest(unittest.TestCase):
    def test_the_named_library_is_loaded_with_every_export(self):
        done = load_in_child(os.environ["W_PCLOG_LIBRARY"])
        self.assertEqual(done.stdout.strip(), "ok", done.stderr)

    def test_a_missing_library_names_the_path_tried(self):
        done = load_in_child("/nonexistent/libw_pclog.so")
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("w_pclog library not found (set W_PCLOG_LIBRARY): "
                      "/nonexistent/libw_pclog.so", done.stderr)


if __name__ == "__main__":
    unittest.main()
