"""The reading of console blocks by docs_check.py: commands, continuations,
outputs and the '...' wildcard."""

import importlib.util
import unittest
from pathlib import Path

found = importlib.util.spec_from_file_location("docs_check", Path(__file__).with_name("docs_check.py"))
docs_check = importlib.util.module_from_spec(found)
found.loader.exec_module(docs_check)

PAGE = """Text.

```console
$ printf 'a\\nb\\n'
a
b
$ python3 -c '
> print(1)
> '
1
```

```
$ not run: a plain block
```
"""


class BlocksTest(unittest.TestCase):
    def test_commands_continuations_and_outputs(self):
        (line, steps), = docs_check.blocks(PAGE)
        self.assertEqual(line, 3)
        self.assertEqual(steps, [("printf 'a\\nb\\n'", ["a", "b"]),
                                 ("python3 -c '\nprint(1)\n'", ["1"])])

    def test_matching_with_and_without_the_wildcard(self):
        cases = [
            (["a", "b"], ["a", "b"], True),
            (["a"], ["a", "b"], False),
            (["a", "b"], ["a"], False),
            ([], [], True),
            (["..."], [], True),
            (["..."], ["x", "y"], True),
            (["a", "...", "z"], ["a", "b", "c", "z"], True),
            (["a", "...", "z"], ["a", "b", "c"], False),
        ]
        for expected, got, result in cases:
            with self.subTest(expected=expected, got=got):
                self.assertEqual(docs_check.matches(expected, got), result)

    def test_a_block_run_gives_each_command_its_output(self):
        (_, steps), = docs_check.blocks(PAGE)
        outputs, _ = docs_check.run_block(steps, None)
        self.assertEqual([o.splitlines() for o in outputs], [["a", "b"], ["1"]])


    def test_links_that_lead_nowhere(self):
        import tempfile
        with tempfile.TemporaryDirectory() as d:
            page = Path(d) / "page.md"
            (Path(d) / "there.md").write_text("x")
            page.write_text("[a](there.md) [b](there.md#part) [c](gone.md) [d](https://x.y/z)")
            self.assertEqual(list(docs_check.broken_links(page)), ["gone.md"])


if __name__ == "__main__":
    unittest.main()
