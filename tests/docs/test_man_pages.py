"""The manual pages as a reader meets them: groff finds nothing to warn
about, man renders every section, and the synopsis shows the command line
that the program itself prints.

Environment (set by CTest):
  GLYPHREEL_MAN_DIR  the folder of the built pages (name.1)
  GLYPHREEL          the glyphreel binary, whose usage text the page shows
  GLYPHREEL_IMPORT   the glyphreel-import binary, when it is built
  GLYPHREEL_LIBRARY  the glyphreel-library binary, when it is built
  GLYPHREEL_VERSION  the version the pages must name
"""

import os
import re
import subprocess
import unittest
from pathlib import Path

MAN_DIR = Path(os.environ.get("GLYPHREEL_MAN_DIR", ""))
VERSION = os.environ.get("GLYPHREEL_VERSION", "")
PAGES = ("glyphreel", "glyphreel-import", "glyphreel-library")
SECTIONS = ("NAME", "SYNOPSIS", "DESCRIPTION", "EXIT STATUS", "ENVIRONMENT",
            "FILES", "EXAMPLES", "SEE ALSO")


def render(page):
    """The page as `man -l` shows it on an 80-column terminal, with the
    typographic hyphens and minus signs of a UTF-8 terminal made ASCII."""
    env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8", MAN_KEEP_FORMATTING="")
    result = subprocess.run(["man", "-l", str(page)], env=env,
                            capture_output=True, text=True, check=True,
                            timeout=60)
    text = re.sub("[\u2010\u2212]", "-", result.stdout)
    return text


def section(text, name):
    """The body of one section of rendered text, blanks squeezed."""
    match = re.search(rf"^{name}\n(.*?)(?=^\S|\Z)", text, re.S | re.M)
    return " ".join(match.group(1).split()) if match else None


class ManPages(unittest.TestCase):

    def test_pages_render_without_warnings(self):
        for name in PAGES:
            with self.subTest(page=name):
                page = MAN_DIR / f"{name}.1"
                check = subprocess.run(["groff", "-man", "-ww", "-z", str(page)],
                                       capture_output=True, text=True,
                                       timeout=60)
                self.assertEqual((check.returncode, check.stderr), (0, ""))
                text = render(page)
                for heading in SECTIONS:
                    self.assertIsNotNone(section(text, heading), heading)
                self.assertIn("ffmpeg(1)", section(text, "SEE ALSO"))
                footer = text.rstrip().splitlines()[-1]
                self.assertIn(f"glyphreel {VERSION}", footer)

    def test_synopsis_is_the_usage_text(self):
        usage = subprocess.run([os.environ["GLYPHREEL"]], capture_output=True,
                               text=True, timeout=60).stderr
        words = usage.split()
        self.assertEqual(words[:2], ["usage:", "glyphreel"])
        # The last word, the mode, may be left out.
        expected = " ".join(words[1:-1] + [f"[{words[-1]}]"])
        text = render(MAN_DIR / "glyphreel.1")
        self.assertEqual(section(text, "SYNOPSIS"), expected)
        self.assertRegex(section(text, "EXIT STATUS"), r"^0 .* 101 ")

    def test_synopses_are_the_help_texts(self):
        for variable, name in (("GLYPHREEL_IMPORT", "glyphreel-import"),
                               ("GLYPHREEL_LIBRARY", "glyphreel-library")):
            if not os.environ.get(variable):
                continue
            with self.subTest(program=name):
                shown = subprocess.run([os.environ[variable], "--help"],
                                       capture_output=True, text=True,
                                       timeout=60)
                self.assertEqual(shown.returncode, 0)
                *usage, about = shown.stdout.splitlines()
                self.assertIn(f"{name} {VERSION}", about)
                self.assertIn("MIT", about)
                words = " ".join(usage).split()
                self.assertEqual(words[0], "usage:")
                expected = " ".join(words[1:] + [name, "--help|--version"])
                text = render(MAN_DIR / f"{name}.1")
                self.assertEqual(section(text, "SYNOPSIS"), expected)


if __name__ == "__main__":
    unittest.main()
