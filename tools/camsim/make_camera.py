#!/usr/bin/env python3
"""Builds a simulated camera folder for the VX1CM32, VX2CM32 and VX3CM32 stand-ins.

The camera on port N is the folder <root>/COM<N>: camera.ini says which family answers and
which faults to play, the pictures lie in card/ (LX-1, LX-2) and internal/ (LX-2, LX-3).
See docs/simulated-cameras.md.

    make_camera.py --family 3 --port 1 --root DIR a.jpg b.jpg
    make_camera.py --family 2 --port 2 --root DIR --internal i1.k4i --internal i2.k4i --medium 0 c1.k4i c2.k4i
    make_camera.py --family 1 --port 1 --root DIR --picture-fault 2=ff64 --failat 3=50,ff20 x.k4i y.k4i z.k4i
"""
import argparse
import os
import re
import shutil
import sys

OPERATIONS = ("open", "close", "getstatus", "getcurrent", "getcount", "nextpicture", "prevpicture",
              "gotopicture", "setmedium", "getpicture")
EXTENSION = {1: ".k4i", 2: ".k4i", 3: ".jpg"}


def hex_code(text):
    """A 16-bit result code in hex ("ff64" or "0xFF64"), returned in the folder's lower-case form."""
    value = int(text, 16)
    if not 0 < value <= 0xFFFF:
        raise ValueError(f"code {text} is not a non-zero 16-bit value")
    return f"{value:x}"


def pair(text, what):
    if "=" not in text:
        raise ValueError(f"{what} needs the form KEY=VALUE, not {text!r}")
    key, value = text.split("=", 1)
    return key.strip(), value.strip()


def picture_number(text):
    n = int(text)
    if not 1 <= n <= 0xFFFF:
        raise ValueError(f"picture number {text} is outside 1-65535")
    return n


def faults_section(args):
    lines = []
    for entry in args.fault:
        operation, code = pair(entry, "--fault")
        if operation not in OPERATIONS:
            raise ValueError(f"unknown operation {operation!r}; known: {', '.join(OPERATIONS)}")
        lines.append(f"{operation}={hex_code(code)}")
    for entry in args.picture_fault:
        n, code = pair(entry, "--picture-fault")
        lines.append(f"picture.{picture_number(n)}={hex_code(code)}")
    for n in args.nodata:
        lines.append(f"nodata.{picture_number(n)}=1")
    for entry in args.failat:
        n, rest = pair(entry, "--failat")
        match = re.fullmatch(r"\s*(\d+)\s*,\s*(\S+)\s*", rest)
        if not match or int(match.group(1)) > 100:
            raise ValueError(f"--failat needs N=PERCENT,CODE with PERCENT 0-100, not {entry!r}")
        lines.append(f"failat.{picture_number(n)}={int(match.group(1))},{hex_code(match.group(2))}")
    if args.nopicture:
        lines.append("nopicture=1")
    if args.noend:
        lines.append("noend=1")
    return lines


def camera_ini(args):
    text = ["[camera]", f"family={args.family}"]
    if args.family == 2:
        text.append(f"medium={args.medium}")
        text.append(f"switchable={0 if args.no_switch else 1}")
    text += ["", "[line]", f"realtime={1 if args.realtime else 0}"]
    faults = faults_section(args)
    if faults:
        text += ["", "[faults]"] + faults
    return "\r\n".join(text) + "\r\n"


def copy_pictures(pictures, folder, extension, keep_names):
    """Copies the pictures so that the camera's order (bytes of the names) is the order given."""
    os.makedirs(folder, exist_ok=True)
    for index, source in enumerate(pictures, start=1):
        name = os.path.basename(source) if keep_names else f"PICT{index:04d}{extension}"
        shutil.copyfile(source, os.path.join(folder, name))


def build(args):
    if args.family not in (1, 2, 3):
        raise ValueError("--family must be 1, 2 or 3")
    if not 1 <= args.port <= 99:
        raise ValueError("--port must be 1-99")
    if args.internal and args.family != 2:
        raise ValueError("--internal is for LX-2 cameras; LX-3 pictures are always internal")
    if (args.medium != 1 or args.no_switch) and args.family != 2:
        raise ValueError("--medium and --no-switch are for LX-2 cameras")
    if args.nopicture and args.family != 3:
        raise ValueError("--nopicture is for LX-3 cameras")
    extension = EXTENSION[args.family]
    for source in list(args.pictures) + list(args.internal):
        if not os.path.isfile(source):
            raise ValueError(f"{source}: no such file")
        if args.keep_names and not source.lower().endswith(extension):
            raise ValueError(f"{source}: this camera only serves *{extension} files")

    ini = camera_ini(args)  # checks every option before the folder is touched
    folder = os.path.join(args.root, f"COM{args.port}")
    if os.path.exists(folder):
        if not args.replace:
            raise ValueError(f"{folder} exists; use --replace to build it anew")
        shutil.rmtree(folder)
    os.makedirs(folder)
    with open(os.path.join(folder, "camera.ini"), "w", newline="") as out:
        out.write(ini)
    main_folder = "internal" if args.family == 3 else "card"
    copy_pictures(args.pictures, os.path.join(folder, main_folder), extension, args.keep_names)
    if args.family == 2:
        copy_pictures(args.internal, os.path.join(folder, "internal"), extension, args.keep_names)
    return folder


def parse(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--family", type=int, required=True, help="1 LX-1, 2 LX-2, 3 LX-3")
    parser.add_argument("--port", type=int, required=True, help="COM port number of the camera")
    parser.add_argument("--root", required=True, help="the folder that CAMSIM_ROOT names (or bin/camsim)")
    parser.add_argument("pictures", nargs="*", help="pictures in camera order: card (LX-1, LX-2) or internal (LX-3)")
    parser.add_argument("--internal", action="append", default=[], metavar="PICTURE",
                        help="LX-2: an internal-memory picture (repeat for more, in camera order)")
    parser.add_argument("--medium", type=int, choices=(0, 1), default=1, help="LX-2: medium in use (1 card, 0 internal)")
    parser.add_argument("--no-switch", action="store_true", help="LX-2: camSetMedium does not switch")
    parser.add_argument("--realtime", action="store_true", help="downloads take as long as the line would")
    parser.add_argument("--fault", action="append", default=[], metavar="OP=CODE", help="every OP call fails with CODE (hex)")
    parser.add_argument("--picture-fault", action="append", default=[], metavar="N=CODE", help="picture N fails with CODE")
    parser.add_argument("--nodata", action="append", default=[], metavar="N", help="picture N's data holds no K4I part")
    parser.add_argument("--failat", action="append", default=[], metavar="N=PERCENT,CODE",
                        help="download of picture N breaks off after PERCENT with CODE")
    parser.add_argument("--nopicture", action="store_true", help="LX-3: camGetCurrent answers CAM_ERR_NOPICTURE")
    parser.add_argument("--noend", action="store_true", help="downloads send no end code (a misbehaving library)")
    parser.add_argument("--keep-names", action="store_true", help="keep file names instead of PICT0001... in the order given")
    parser.add_argument("--replace", action="store_true", help="remove an existing COM<N> folder first")
    return parser.parse_args(argv)


def main(argv):
    try:
        args = parse(argv)
        print(build(args))
        return 0
    except (ValueError, OSError) as error:
        print(f"make_camera: {error}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
