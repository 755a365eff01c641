#!/usr/bin/python3
"""Checks the pictures an application received against the camera's original files, and draws
a contact sheet of what arrived.

    check_pictures.py SHEET.png RUN [RUN ...]
    RUN = LABEL:CAMERA_FOLDER:RECEIVED_FOLDER   or   LABEL:FILE+FILE+...:RECEIVED_FOLDER

For each run, the i-th picture file of the camera folder (card/ or internal/, in the camera's
order), or the i-th of the files named (pictures picked in the file browser), is compared with
RECEIVED_FOLDER/pictureNN.bmp. The originals are decoded here,
independently of the data source and its libraries: Exif JPEG files with Pillow (turned upright
by their Exif orientation), K4I files by the small reader below (docs/k4i-format.md). K4I is
lossless, so its pixels must match exactly; two JPEG decoders differ by rounding, so a JPEG
picture matches when its mean difference is small. Prints one line per picture and exits 1 when
any picture is missing or differs.
"""
import os
import struct
import sys
import zlib

from PIL import Image, ImageDraw, ImageFont, ImageOps

JPEG_MEAN_LIMIT = 3.0  # mean absolute difference per channel, 0-255
K4I_UPRIGHT = {  # Exif orientation -> the turn that shows the stored picture upright
    1: None,
    2: Image.Transpose.FLIP_LEFT_RIGHT,
    3: Image.Transpose.ROTATE_180,
    4: Image.Transpose.FLIP_TOP_BOTTOM,
    5: Image.Transpose.TRANSPOSE,
    6: Image.Transpose.ROTATE_270,
    7: Image.Transpose.TRANSVERSE,
    8: Image.Transpose.ROTATE_90,
}


def read_k4i(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"K4IF":
        raise ValueError("not a K4I file")
    (version, kind, width, height, xppm, yppm, orientation, rows_per_strip, strips, tw, th, thumb_bytes,
     thumb_crc, head_crc) = struct.unpack_from("<HHIIIIHHIHHIII", data, 4)
    if version != 1 or zlib.crc32(data[:44]) != head_crc:
        raise ValueError("unknown version or damaged header")
    at = 48 + thumb_bytes
    table = [struct.unpack_from("<II", data, at + 8 * i) for i in range(strips)]
    at += 8 * strips
    rgb = b""
    for size, crc in table:
        chunk = data[at:at + size]
        if zlib.crc32(chunk) != crc:
            raise ValueError("damaged strip")
        rgb += zlib.decompress(chunk)
        at += size
    picture = Image.frombytes("RGB", (width, height), rgb)
    turn = K4I_UPRIGHT.get(orientation)
    return picture if turn is None else picture.transpose(turn)


def read_original(path):
    if path.lower().endswith(".k4i"):
        return read_k4i(path), True
    with Image.open(path) as picture:
        return ImageOps.exif_transpose(picture).convert("RGB"), False


def originals(camera_folder):
    if not os.path.isdir(camera_folder):
        return camera_folder.split("+")
    for sub in ("internal", "card"):
        folder = os.path.join(camera_folder, sub)
        if os.path.isdir(folder):
            names = sorted(n for n in os.listdir(folder) if n.lower().endswith((".jpg", ".k4i")))
            if names:
                return [os.path.join(folder, n) for n in names]
    return []


def mean_difference(a, b):
    pa, pb = a.tobytes(), b.tobytes()
    return sum(abs(x - y) for x, y in zip(pa, pb)) / len(pa)


def resolution(bmp_path):
    with open(bmp_path, "rb") as f:
        header = f.read(54)
    xppm, yppm = struct.unpack_from("<ii", header, 38)
    if xppm <= 0 or yppm <= 0:
        return "no resolution"
    return f"{round(xppm * 0.0254)} x {round(yppm * 0.0254)} dpi"


def font(size):
    for path in ("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",):
        if os.path.exists(path):
            return ImageFont.truetype(path, size)
    return ImageFont.load_default()


def contact_sheet(path, cells):
    cell_w, cell_h, pad, caption = 220, 165, 12, 34
    columns = max(len(row) for _, row in cells)
    sheet = Image.new("RGB", (pad + columns * (cell_w + pad) + 130, pad + len(cells) * (cell_h + caption + pad)),
                      (236, 236, 232))
    draw = ImageDraw.Draw(sheet)
    title, small = font(14), font(11)
    for r, (label, row) in enumerate(cells):
        y = pad + r * (cell_h + caption + pad)
        draw.text((pad, y + cell_h // 2 - 8), label, fill=(30, 30, 30), font=title)
        for c, (picture, text, good) in enumerate(row):
            x = 130 + pad + c * (cell_w + pad)
            draw.rectangle([x - 1, y - 1, x + cell_w, y + cell_h], outline=(90, 90, 90), fill=(20, 20, 20))
            if picture is not None:
                thumb = picture.copy()
                thumb.thumbnail((cell_w, cell_h))
                sheet.paste(thumb, (x + (cell_w - thumb.width) // 2, y + (cell_h - thumb.height) // 2))
            draw.text((x, y + cell_h + 4), text, fill=(20, 110, 40) if good else (180, 20, 20), font=small)
    sheet.save(path)


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    sheet_path = sys.argv[1]
    problems = 0
    cells = []
    for run in sys.argv[2:]:
        label, camera_folder, received_folder = run.split(":", 2)
        row = []
        for i, original_path in enumerate(originals(camera_folder), 1):
            bmp = os.path.join(received_folder, f"picture{i:02d}.bmp")
            name = os.path.basename(original_path)
            if not os.path.exists(bmp):
                print(f"  {label:13} picture {i}: MISSING (no {os.path.basename(bmp)} for {name})")
                row.append((None, f"{i}: missing", False))
                problems += 1
                continue
            with Image.open(bmp) as opened:
                received = opened.convert("RGB")
            original, lossless = read_original(original_path)
            size = f"{received.width} x {received.height}"
            if received.size != original.size:
                verdict, good = f"DIFFERS: the original is {original.width} x {original.height}", False
            elif lossless:
                good = received.tobytes() == original.tobytes()
                verdict = "matches exactly" if good else "DIFFERS from the original's pixels"
            else:
                diff = mean_difference(received, original)
                good = diff <= JPEG_MEAN_LIMIT
                verdict = f"matches (mean difference {diff:.2f})" if good else f"DIFFERS (mean difference {diff:.2f})"
            problems += 0 if good else 1
            print(f"  {label:13} picture {i}: {size:>11}, {resolution(bmp):>13}  {name:14} {verdict}")
            row.append((received, f"{i}: {size}, {'OK' if good else 'DIFFERS'}", good))
        if not row:
            print(f"  {label:13} no pictures in {camera_folder}")
            problems += 1
        cells.append((label, row))
    contact_sheet(sheet_path, cells)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
