# Sourced by the tests that acquire through Wine's own source manager.
# put_source_in_wine_slot <wine-run> <prefix> <twain folder> <source file>: has wine-run create the
# prefix (on first use; a source can only be installed into an existing one) and puts the source
# where Wine's manager loads it, sane.ds in the TWAIN folder of its own width. Fails if it cannot.
put_source_in_wine_slot() {
  local target="$2/drive_c/windows/$3/sane.ds"
  WINEPREFIX="$2" "$1" cmd /c exit >/dev/null 2>&1
  mkdir -p "$(dirname "$target")" && { cmp -s "$4" "$target" || cp "$4" "$target"; }
}
