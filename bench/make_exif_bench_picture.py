#!/usr/bin/env python3
"""Writes a 12-megapixel (4000 x 3000) Exif JPEG without embedded thumbnail (argument 1), with
detail like a photograph's: a Mandelbrot set, a gradient and blurred noise as the three
channels, quality 90, 4:2:0, as a camera writes them."""
import sys

from PIL import Image, ImageFilter

SIZE = (4000, 3000)
red = Image.effect_mandelbrot(SIZE, (-2.2, -1.2, 1.0, 1.2), 120)
green = Image.linear_gradient("L").resize(SIZE)
blue = Image.effect_noise(SIZE, 48).filter(ImageFilter.GaussianBlur(1.2))
picture = Image.merge("RGB", (red, green, blue))
exif = Image.Exif()
exif[0x0112] = 1
picture.save(sys.argv[1], "JPEG", quality=90, subsampling=2, exif=exif.tobytes())
