#!/usr/bin/env python3
"""Writes the file browser benchmark's folder: COUNT Exif JPEGs (1024 x 768 with grain, about
the size of a camera's pictures, with a 160 x 120 embedded thumbnail) named p0000.jpg ... into
FOLDER/pictures. Usage: FOLDER [COUNT]."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tools", "samples"))
from PIL import Image  # noqa: E402
from make_samples import exif_segment, jpeg_bytes, thumbnail_jpeg, upright_picture  # noqa: E402

folder = os.path.join(sys.argv[1], "pictures")
count = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
os.makedirs(folder, exist_ok=True)
# A few different pictures, so that not every file is the same bytes.
variants = []
for v in range(8):
    grain = Image.effect_noise((1024, 768), 40 + v).convert("RGB")
    picture = Image.blend(upright_picture(1024, 768).rotate(v * 45), grain, 0.12)
    variants.append(jpeg_bytes(picture, quality=85,
                               exif=exif_segment(orientation=1, resolution=(72, 72),
                                                 thumbnail=thumbnail_jpeg(picture))))
for i in range(count):
    with open(os.path.join(folder, f"p{i:04d}.jpg"), "wb") as f:
        f.write(variants[i % len(variants)])
print(f"{count} pictures of {min(map(len, variants))}-{max(map(len, variants))} bytes in {folder}")
