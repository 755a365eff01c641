#!/usr/bin/env bash
# Refreshes the camera window's pictures in docs/screens from the built tree: the drawing test
# saves a capture of every state it checks, and the pictures the docs show are put together
# from them, with the artwork's contact sheet. Run after scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
CAMERA_WINDOW_SHOTS="Z:$shots" bash scripts/with-display.sh \
  ctest --test-dir build -R '^page_drawing_test$' --output-on-failure >/dev/null
/usr/bin/python3 - "$shots" <<'PY'
import sys
from PIL import Image
shots = sys.argv[1]
def pair(left, right, out):
    a, b = (Image.open(f"{shots}/{n}.bmp").convert("RGB") for n in (left, right))
    both = Image.new("RGB", (a.width + 8 + b.width, max(a.height, b.height)), (255, 255, 255))
    both.paste(a, (0, 0))
    both.paste(b, (a.width + 8, 0))
    both.save(f"docs/screens/{out}.png", optimize=True)
pair("option-offline", "select-9", "camera-window")        # option page; LX-2 on picture 3 of 3, selected
pair("camera-offline", "buttons-lx3", "camera-page-states")
PY
/usr/bin/python3 resources/artwork/make_artwork.py "$shots/art" --sheet docs/screens/artwork-sheet.png
/usr/bin/python3 -c "from PIL import Image; p='docs/screens/artwork-sheet.png'; Image.open(p).quantize(256).save(p, optimize=True)"
echo "docs/screens: camera-window.png camera-page-states.png artwork-sheet.png"
