#!/usr/bin/env python3
"""Writes a 12-megapixel (4000 x 3000) Exif JPEG without embedded thumbnail (argument 1), quality
90, 4:2:0, as a camera writes them. Argument 2 picks the detail: "smooth" (a Mandelbrot set, a
gradient and blurred noise as the three channels, about 1 bit a pixel) or "detailed" (sharp
noise in every channel on top, about 3 bits a pixel, like a photograph of foliage)."""
import sys

from PIL import Image, ImageChops, ImageFilter

SIZE = (4000, 3000)
red = Image.effect_mandelbrot(SIZE, (-2.2, -1.2, 1.0, 1.2), 120)
green = Image.linear_gradient("L").resize(SIZE)
blue = Image.effect_noise(SIZE, 48).filter(ImageFilter.GaussianBlur(1.2))
channels = [red, green, blue]
if len(sys.argv) > 2 and sys.argv[2] == "detailed":
    grain = Image.effect_noise(SIZE, 12)
    channels = [ImageChops.add(c, grain, 1.0, -128) for c in channels]
picture = Image.merge("RGB", channels)
exif = Image.Exif()
exif[0x0112] = 1
picture.save(sys.argv[1], "JPEG", quality=90, subsampling=2, exif=exif.tobytes())
