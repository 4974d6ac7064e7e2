# Sourced with the Wine folder of a build as its argument: exports the
# settings of the project's own Wine prefix and creates the prefix once.
# COM5 to COM60 of the prefix are mapped to links under $1/ptys, which a
# device peer points at the pseudo-terminal it creates.
pos_wine_dir=$1
mkdir -p "$pos_wine_dir/ptys"
export WINEPREFIX="$pos_wine_dir/prefix"
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export POS_WINE_DIR="$pos_wine_dir"
if [ ! -f "$WINEPREFIX/.pos-ready" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.pos-ready" ]; then
      echo "creating Wine prefix $WINEPREFIX" >&2
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
      reg_file="$pos_wine_dir/ports.reg"
      {
        printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
        for n in $(seq 5 60); do
          printf '"COM%d"="%s/ptys/com%d"\r\n' "$n" "$pos_wine_dir" "$n"
        done
      } >"$reg_file"
      wine regedit /S "$(winepath -w "$reg_file" 2>/dev/null)" >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.pos-ready"
    fi
  ) 9>"$pos_wine_dir/prefix.lock"
fi
# Chinese texts render only with a CJK font mapped in the prefix (Tavrel's
# window and message boxes); done once, also for a prefix made before.
if [ ! -f "$WINEPREFIX/.pos-cjk-fonts" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.pos-cjk-fonts" ]; then
      fonts_reg="$pos_wine_dir/cjk-fonts.reg"
      python3 "$(dirname "${BASH_SOURCE[0]}")/cjk_fonts_reg.py" "$fonts_reg"
      wine regedit /S "$(winepath -w "$fonts_reg" 2>/dev/null)" >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.pos-cjk-fonts"
    fi
  ) 9>"$pos_wine_dir/prefix.lock"
fi
