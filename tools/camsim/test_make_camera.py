"""Tests of make_camera.py: the folder it builds is the one the camera stand-ins read."""
import configparser
import io
import os
import tempfile
import unittest
from contextlib import redirect_stderr, redirect_stdout

import make_camera


class MakeCamera(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.work.name, "root")
        self.pictures = []
        for name, content in (("zeta.jpg", b"first"), ("alpha.jpg", b"second"), ("x.k4i", b"k4i one"),
                              ("y.k4i", b"k4i two")):
            path = os.path.join(self.work.name, name)
            with open(path, "wb") as out:
                out.write(content)
            self.pictures.append(path)

    def tearDown(self):
        self.work.cleanup()

    def run_tool(self, *argv):
        errors = io.StringIO()
        with redirect_stdout(io.StringIO()), redirect_stderr(errors):
            code = make_camera.main(["--root", self.root] + list(argv))
        return code, errors.getvalue()

    def ini(self, port):
        parser = configparser.ConfigParser()
        parser.read(os.path.join(self.root, f"COM{port}", "camera.ini"))
        return parser

    def read(self, *parts):
        with open(os.path.join(self.root, *parts), "rb") as f:
            return f.read()

    def test_lx3_pictures_keep_the_order_given(self):
        code, _ = self.run_tool("--family", "3", "--port", "1", self.pictures[0], self.pictures[1])
        self.assertEqual(0, code)
        # The camera orders by the bytes of the names; "zeta" given first must stay picture 1.
        names = sorted(os.listdir(os.path.join(self.root, "COM1", "internal")))
        self.assertEqual(["PICT0001.jpg", "PICT0002.jpg"], names)
        self.assertEqual(b"first", self.read("COM1", "internal", "PICT0001.jpg"))
        ini = self.ini(1)
        self.assertEqual("3", ini["camera"]["family"])
        self.assertEqual("0", ini["line"]["realtime"])
        self.assertFalse(ini.has_section("faults"))

    def test_lx2_media_and_faults(self):
        code, _ = self.run_tool("--family", "2", "--port", "4", "--medium", "0", "--no-switch", "--realtime",
                                "--internal", self.pictures[3], "--fault", "getstatus=0xFF10",
                                "--picture-fault", "2=FF64", "--failat", "1=50, ff20", "--nodata", "3", "--noend",
                                "--keep-names", self.pictures[2])
        self.assertEqual(0, code)
        self.assertEqual(b"k4i one", self.read("COM4", "card", "x.k4i"))
        self.assertEqual(b"k4i two", self.read("COM4", "internal", "y.k4i"))
        ini = self.ini(4)
        self.assertEqual(("2", "0", "0"), (ini["camera"]["family"], ini["camera"]["medium"], ini["camera"]["switchable"]))
        self.assertEqual("1", ini["line"]["realtime"])
        self.assertEqual({"getstatus": "ff10", "picture.2": "ff64", "failat.1": "50,ff20", "nodata.3": "1",
                          "noend": "1"}, dict(ini["faults"]))

    def test_bad_options_leave_no_folder(self):
        cases = [
            ("--family", "1", "--port", "1", "--fault", "explode=ff10"),
            ("--family", "1", "--port", "1", "--fault", "open=zz"),
            ("--family", "1", "--port", "1", "--fault", "open=0"),
            ("--family", "1", "--port", "1", "--failat", "1=150,ff20"),
            ("--family", "1", "--port", "1", "--picture-fault", "0=ff64"),
            ("--family", "3", "--port", "1", "--internal", "x"),
            ("--family", "1", "--port", "1", "--nopicture"),
            ("--family", "1", "--port", "0"),
            ("--family", "1", "--port", "1", os.path.join(self.work.name, "missing.k4i")),
        ]
        for argv in cases:
            code, errors = self.run_tool(*argv)
            self.assertEqual(2, code, argv)
            self.assertIn("make_camera:", errors)
            self.assertFalse(os.path.exists(os.path.join(self.root, "COM1")), argv)

    def test_keep_names_refuses_files_the_camera_would_not_serve(self):
        code, errors = self.run_tool("--family", "1", "--port", "1", "--keep-names", self.pictures[0])
        self.assertEqual(2, code)
        self.assertIn("*.k4i", errors)
        self.assertFalse(os.path.exists(os.path.join(self.root, "COM1")))

    def test_existing_camera_is_replaced_only_on_request(self):
        self.assertEqual(0, self.run_tool("--family", "1", "--port", "2", self.pictures[2])[0])
        self.assertEqual(2, self.run_tool("--family", "3", "--port", "2")[0])
        self.assertEqual("1", self.ini(2)["camera"]["family"])
        self.assertEqual(0, self.run_tool("--family", "3", "--port", "2", "--replace")[0])
        self.assertEqual("3", self.ini(2)["camera"]["family"])
        self.assertFalse(os.path.exists(os.path.join(self.root, "COM2", "card")))


if __name__ == "__main__":
    unittest.main()
