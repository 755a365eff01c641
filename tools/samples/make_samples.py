#!/usr/bin/env python3
"""Generates the stand-in libraries' sample pictures into one folder (argument 1; 2 and 3 name
exiftool and cjpeg).

Every picture is drawn here from a formula, so the build needs no binaries from elsewhere.
Exif segments are written by this script (little-endian, "II"); one file gets its Exif from
exiftool instead (big-endian, "MM"), so the parser also meets a writer that is not ours. K4I
files are written by an independent Python writer of the format in docs/k4i-format.md; the
C++ reader is tested against them. MANIFEST.txt lists every file with what it carries.
"""
import io
import os
import struct
import subprocess
import sys
import zlib

from PIL import Image

WIDTH, HEIGHT = 641, 479
ROWS_PER_STRIP = 16

# Orientation o: how the stored picture must be turned to show upright. To store an upright
# picture for orientation o we apply the inverse turn.
STORE_FOR = {
    1: None,
    2: Image.Transpose.FLIP_LEFT_RIGHT,
    3: Image.Transpose.ROTATE_180,
    4: Image.Transpose.FLIP_TOP_BOTTOM,
    5: Image.Transpose.TRANSPOSE,
    6: Image.Transpose.ROTATE_90,   # shown after a quarter turn clockwise
    7: Image.Transpose.TRANSVERSE,
    8: Image.Transpose.ROTATE_270,  # shown after a quarter turn anticlockwise
}


def upright_picture(width, height):
    """Four coloured quadrants with gentle gradients: any wrong turn or mirror shows."""
    quadrant = [(220, 40, 40), (40, 200, 40), (40, 40, 220), (230, 230, 60)]
    data = bytearray()
    for y in range(height):
        for x in range(width):
            r, g, b = quadrant[(x >= width // 2) + 2 * (y >= height // 2)]
            data += bytes((min(255, r + x * 24 // width), min(255, g + y * 24 // height),
                           min(255, b + (x + y) * 16 // (width + height))))
    return Image.frombytes("RGB", (width, height), bytes(data))


def stored(picture, orientation):
    turn = STORE_FOR[orientation]
    return picture if turn is None else picture.transpose(turn)


def rational(value):
    return (int(round(value * 100)), 100)


def exif_segment(orientation=None, resolution=None, unit=2, thumbnail=None):
    """APP1 payload: "Exif\\0\\0" + little-endian TIFF with IFD0 and, for a thumbnail, IFD1."""
    ifd0 = []
    if orientation is not None:
        ifd0.append((0x0112, 3, 1, orientation))
    if resolution is not None:
        ifd0.append((0x011A, 5, 1, rational(resolution[0])))
        ifd0.append((0x011B, 5, 1, rational(resolution[1])))
        ifd0.append((0x0128, 3, 1, unit))
    ifd1 = [(0x0103, 3, 1, 6), (0x0201, 4, 1, "thumb"), (0x0202, 4, 1, len(thumbnail or b""))] if thumbnail else []

    def ifd_size(entries):
        return 2 + 12 * len(entries) + 4

    ifd0_at = 8
    data_at = ifd0_at + ifd_size(ifd0)
    rationals = [e for e in ifd0 if e[1] == 5]
    ifd1_at = data_at + 8 * len(rationals)
    thumb_at = ifd1_at + (ifd_size(ifd1) if ifd1 else 0)

    out = bytearray(b"II*\x00" + struct.pack("<I", ifd0_at))

    def write_ifd(entries, next_at, data_start):
        nonlocal out
        blob = bytearray(struct.pack("<H", len(entries)))
        extra = bytearray()
        for tag, typ, count, value in entries:
            if typ == 5:
                blob += struct.pack("<HHII", tag, typ, count, data_start + len(extra))
                extra += struct.pack("<II", *value)
            elif typ == 3:
                blob += struct.pack("<HHIHH", tag, typ, count, value, 0)
            else:
                blob += struct.pack("<HHII", tag, typ, count, thumb_at if value == "thumb" else value)
        blob += struct.pack("<I", next_at)
        out += blob + extra

    write_ifd(ifd0, ifd1_at if ifd1 else 0, data_at)
    if ifd1:
        write_ifd(ifd1, 0, 0)
        out += thumbnail
    return b"Exif\x00\x00" + bytes(out)


def jpeg_bytes(image, quality=92, **options):
    buf = io.BytesIO()
    image.save(buf, "JPEG", quality=quality, **options)
    return buf.getvalue()


def thumbnail_jpeg(image):
    thumb = image.copy()
    thumb.thumbnail((160, 120), Image.Resampling.BOX)
    return jpeg_bytes(thumb, quality=80)


def k4i_bytes(image, orientation=1, ppm=(0, 0), kind=1):
    """K4I writer independent of the C++ one: header, zlib thumbnail, strip table, strips."""
    width, height = image.size
    rgb = image.tobytes()
    thumb = image.copy()
    thumb.thumbnail((160, 120), Image.Resampling.BOX)
    packed_thumb = zlib.compress(thumb.tobytes())
    strips = []
    for first in range(0, height, ROWS_PER_STRIP):
        rows = min(ROWS_PER_STRIP, height - first)
        strips.append(zlib.compress(rgb[first * width * 3:(first + rows) * width * 3]))
    head = b"K4IF" + struct.pack("<HHIIIIHHIHHII", 1, kind, width, height, ppm[0], ppm[1], orientation,
                                 ROWS_PER_STRIP, len(strips), thumb.size[0], thumb.size[1], len(packed_thumb),
                                 zlib.crc32(packed_thumb))
    head += struct.pack("<I", zlib.crc32(head))
    table = b"".join(struct.pack("<II", len(s), zlib.crc32(s)) for s in strips)
    return head + packed_thumb + table + b"".join(strips)


def camera_data(parts):
    """The simulated LX-1/LX-2 cameras' container (standins/common/camera_data.h)."""
    out = b"K4CD" + struct.pack("<HH", 1, len(parts))
    for kind, content in parts:
        out += struct.pack("<II", kind, len(content)) + content
    return out


def many_scans_jpeg(cjpeg, folder):
    """A valid grey progressive 64 x 48 picture in 127 scans: cjpeg writes the DC scan, then every
    AC coefficient gets a first scan (Al 1) and a refinement scan, each saying "all 48 blocks are
    zero here" with one end-of-band run (EOB5, run bits 10000), the only code of its table."""
    script = os.path.join(folder, "many_scans.tmp")
    with open(script, "w") as f:
        f.write("0: 0-0, 0, 0;\n")
    grey = upright_picture(64, 48).convert("L")
    dc = subprocess.run([cjpeg, "-grayscale", "-scans", script], input=ppm_bytes(grey.convert("RGB")),
                        stdout=subprocess.PIPE, check=True).stdout
    os.remove(script)
    eob_table = b"\xff\xc4" + struct.pack(">H", 2 + 17 + 1) + b"\x10" + bytes([1] + [0] * 15) + b"\x50"
    scans = b""
    for k in range(1, 64):
        for ah_al in (0x01, 0x10):
            scans += b"\xff\xda\x00\x08\x01\x01\x00" + bytes([k, k, ah_al]) + b"\x43"
    return dc[:-2] + eob_table + scans + b"\xff\xd9"


def components_apart_jpeg(cjpeg, folder, image):
    """A sequential (not progressive) JPEG with one scan per component, written by cjpeg."""
    script = os.path.join(folder, "components_apart.tmp")
    with open(script, "w") as f:
        f.write("0;\n1;\n2;\n")
    data = subprocess.run([cjpeg, "-quality", "90", "-scans", script], input=ppm_bytes(image),
                          stdout=subprocess.PIPE, check=True).stdout
    os.remove(script)
    return data


def ppm_bytes(image):
    return b"P6\n%d %d\n255\n" % image.size + image.tobytes()


def ppm_from_dpi(dpi):
    return int(round(dpi * 10000 / 254))


def main():
    folder = sys.argv[1]
    exiftool = sys.argv[2] if len(sys.argv) > 2 else "exiftool"
    cjpeg = sys.argv[3] if len(sys.argv) > 3 else "cjpeg"
    os.makedirs(folder, exist_ok=True)
    manifest = []

    def put(name, data, note):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        manifest.append(f"{name:28} {note}")

    picture = upright_picture(WIDTH, HEIGHT)
    put("picture_641x479.rgb", picture.tobytes(), "upright reference pixels, RGB rows top-down, 641 x 479")

    # Exif JPEG and K4I of the same upright picture for every orientation; 300 x 150 dpi so
    # that a quarter turn visibly swaps the two resolutions.
    xdpi, ydpi = 300, 150
    for o in range(1, 9):
        s = stored(picture, o)
        exif = exif_segment(orientation=o, resolution=(xdpi, ydpi), thumbnail=thumbnail_jpeg(s))
        put(f"exif_o{o}.jpg", jpeg_bytes(s, exif=exif),
            f"Exif II, orientation {o}, 300 x 150 dpi, 160 x 120 thumbnail, stored {s.size[0]} x {s.size[1]}")
        put(f"k4i_o{o}.k4i", k4i_bytes(s, o, (ppm_from_dpi(xdpi), ppm_from_dpi(ydpi))),
            f"K4I still, orientation {o}, 11811 x 5906 ppm, stored {s.size[0]} x {s.size[1]}")

    put("exif_nores_thumb.jpg", jpeg_bytes(picture, exif=exif_segment(orientation=1, thumbnail=thumbnail_jpeg(picture))),
        "Exif II, no resolution, thumbnail")
    put("exif_res_nothumb.jpg", jpeg_bytes(picture, exif=exif_segment(orientation=1, resolution=(72, 72))),
        "Exif II, 72 dpi (2835 ppm), no thumbnail")
    put("exif_cm.jpg", jpeg_bytes(picture, exif=exif_segment(resolution=(40, 40), unit=3,
                                                             thumbnail=thumbnail_jpeg(picture))),
        "Exif II, 40 dots/cm (4000 ppm), no orientation tag, thumbnail")
    magenta = Image.new("RGB", (160, 120), (255, 0, 255))
    put("exif_marked_thumb.jpg", jpeg_bytes(picture, exif=exif_segment(orientation=1, resolution=(72, 72),
                                                                       thumbnail=jpeg_bytes(magenta, quality=90))),
        "Exif II, 72 dpi, embedded thumbnail is plain magenta (tells it from a scaled picture)")
    put("jfif_300dpi.jpg", jpeg_bytes(picture, dpi=(300, 300)), "no Exif, JFIF 300 dpi (11811 ppm)")
    put("jfif_plain.jpg", jpeg_bytes(picture), "no Exif, JFIF aspect only (no resolution)")
    put("jfif_640x480.jpg", jpeg_bytes(upright_picture(640, 480)), "no Exif, 640 x 480")
    put("progressive.jpg", jpeg_bytes(picture, progressive=True), "no Exif, progressive JPEG, 641 x 479")
    put("gray_33x20.jpg", jpeg_bytes(upright_picture(33, 20).convert("L")), "no Exif, one-component (grey) JPEG")
    put("portrait_300x400.jpg", jpeg_bytes(upright_picture(300, 400)), "no Exif, upright portrait 300 x 400")
    put("tiny_1x1.jpg", jpeg_bytes(upright_picture(1, 1)), "no Exif, 1 x 1")
    put("odd_17x9.jpg", jpeg_bytes(upright_picture(17, 9)), "no Exif, 17 x 9")
    big = upright_picture(1600, 1200)
    put("exif_1600x1200.jpg", jpeg_bytes(big, exif=exif_segment(orientation=1, resolution=(72, 72),
                                                                 thumbnail=thumbnail_jpeg(big))),
        "Exif II, 1600 x 1200, 72 dpi, thumbnail (timing)")
    put("k4i_1600x1200.k4i", k4i_bytes(big, 1, (2835, 2835)), "K4I still, 1600 x 1200 (timing)")
    # JPEG shapes a camera rarely writes but a decoder must take: inverted CMYK with an Adobe
    # marker (as Photoshop and Pillow write it), restart markers after every MCU row (written
    # by libjpeg-turbo's cjpeg), a progressive Exif picture turned a quarter without thumbnail.
    put("cmyk_adobe.jpg", jpeg_bytes(picture.convert("CMYK")), "no Exif, CMYK (Adobe marker, inverted inks)")
    put("restart_rows.jpg", subprocess.run([cjpeg, "-quality", "90", "-restart", "1"], input=ppm_bytes(picture),
                                           stdout=subprocess.PIPE, check=True).stdout,
        "no Exif, restart marker after every MCU row (cjpeg)")
    put("many_scans.jpg", many_scans_jpeg(cjpeg, folder), "no Exif, grey progressive 64 x 48 in 127 valid scans")
    put("components_apart.jpg", components_apart_jpeg(cjpeg, folder, picture),
        "no Exif, sequential, one scan per component (Y, Cb, Cr; cjpeg)")
    s6 = stored(picture, 6)
    put("progressive_o6.jpg", jpeg_bytes(s6, progressive=True, exif=exif_segment(orientation=6)),
        "Exif II, orientation 6, progressive, no thumbnail, stored 479 x 641")
    put("k4i_17x9.k4i", k4i_bytes(upright_picture(17, 9)), "K4I still, 17 x 9, no resolution")
    put("k4i_1x1.k4i", k4i_bytes(upright_picture(1, 1)), "K4I still, 1 x 1")
    put("k4i_other_kind.k4i", k4i_bytes(picture, kind=2), "K4I of kind 2 (not a still picture)")
    k4i = k4i_bytes(picture, 1, (2835, 2835))
    put("camera_data.k4cd", camera_data([(2, b"K4S companion\r\n"), (1, k4i), (3, b"REL companion\r\n")]),
        "camera data container: K4S, K4I (641 x 479, 72 dpi), REL")
    put("camera_data_nok4i.k4cd", camera_data([(2, b"K4S companion\r\n")]), "camera data container without K4I part")

    # Small files that seed the fuzzers (<build>/samples/seeds/): every structure, few bytes.
    # The fuzzers read a first byte of options (bit 0: thumbnail mode or CRC resealing; the
    # rest: the percentage at which to cancel, none beyond 100); 0xFE is a plain run.
    small = upright_picture(40, 30)
    small6 = stored(small, 6)
    seeds = {
        "exif/exif_small_o6.jpg": jpeg_bytes(small6, quality=70, exif=exif_segment(
            orientation=6, resolution=(72, 72), thumbnail=jpeg_bytes(small6.resize((15, 20)), quality=50))),
        "exif/progressive_small.jpg": jpeg_bytes(small, quality=70, progressive=True),
        "exif/gray_small.jpg": jpeg_bytes(small.convert("L"), quality=70),
        "exif/jfif_small.jpg": jpeg_bytes(small, quality=70, dpi=(96, 96), subsampling=0),
        "exif/cmyk_small.jpg": jpeg_bytes(small.convert("CMYK"), quality=70),
        "exif/restart_small.jpg": subprocess.run([cjpeg, "-quality", "70", "-restart", "1B"], input=ppm_bytes(small),
                                                 stdout=subprocess.PIPE, check=True).stdout,
        "exif/components_apart_small.jpg": components_apart_jpeg(cjpeg, folder, small),
        "k4i/k4i_small_o6.k4i": k4i_bytes(small6, 6, (2835, 2835)),
        "k4i/k4i_17x9.k4i": k4i_bytes(upright_picture(17, 9)),
        "k4i/camera_data_small.k4cd": camera_data([(1, k4i_bytes(small, 1)), (3, b"REL")]),
    }
    seeds["exif/exif_small_o6_thumbnail.jpg"] = seeds["exif/exif_small_o6.jpg"]
    for name, data in seeds.items():
        os.makedirs(os.path.join(folder, "seeds", os.path.dirname(name)), exist_ok=True)
        options = b"\xff" if name.endswith("_thumbnail.jpg") else b"\xfe"
        put("seeds/" + name, options + data, "fuzzer seed (first byte: fuzzer options)")

    # Big-endian Exif from exiftool: orientation 6, 180 dpi, its own thumbnail.
    s = stored(picture, 6)
    base = os.path.join(folder, "exif_mm_exiftool.jpg")
    thumb_path = os.path.join(folder, "exif_mm_thumb.tmp")
    with open(base, "wb") as f:
        f.write(jpeg_bytes(s))
    with open(thumb_path, "wb") as f:
        f.write(thumbnail_jpeg(s))
    subprocess.run([exiftool, "-q", "-overwrite_original", "-n", "-ExifByteOrder=MM", "-Orientation=6",
                    "-XResolution=180", "-YResolution=180", "-ResolutionUnit=2", f"-ThumbnailImage<={thumb_path}",
                    base], check=True)
    os.remove(thumb_path)
    manifest.append(f"{'exif_mm_exiftool.jpg':28} Exif MM by exiftool, orientation 6, 180 dpi (7087 ppm), thumbnail")

    with open(os.path.join(folder, "MANIFEST.txt"), "w") as f:
        f.write("\n".join(manifest) + "\n")


if __name__ == "__main__":
    main()
