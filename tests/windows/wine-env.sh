# shellcheck shell=bash
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
# Every program starts through Wine's 64-bit loader, which hands a 32-bit
# program on to the 32-bit one. Debian's "wine" always starts the 32-bit
# loader first, which costs a minute a program where 32-bit programs run
# under an emulator (see scripts/install-deps.sh); the 64-bit programs and
# Wine's own tools then run at full speed.
if [ -x /usr/lib/wine/wine64 ]; then
  mkdir -p "$pos_wine_dir/bin"
  for pos_loader_name in wine wine-stable; do
    if [ ! -x "$pos_wine_dir/bin/$pos_loader_name" ]; then
      printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$pos_wine_dir/bin/$pos_loader_name.$$"
      chmod +x "$pos_wine_dir/bin/$pos_loader_name.$$"
      mv "$pos_wine_dir/bin/$pos_loader_name.$$" "$pos_wine_dir/bin/$pos_loader_name"
    fi
  done
  case ":$PATH:" in
  *":$pos_wine_dir/bin:"*) ;;
  *) export PATH="$pos_wine_dir/bin:$PATH" ;;
  esac
  export WINELOADER=/usr/lib/wine/wine64
fi

# Runs a set-up step of the prefix once, under the prefix's lock, also for a
# prefix made before the step existed; the marker file in the prefix records
# that it was done. The step's registry changes are on disk when the
# prefix's server has ended.
pos_prefix_step() { # marker command [argument...]
  local marker=$WINEPREFIX/$1
  shift
  [ -f "$marker" ] && return 0
  (
    flock 9
    if [ ! -f "$marker" ]; then
      "$@"
      wineserver -w
      touch "$marker"
    fi
  ) 9>"$pos_wine_dir/prefix.lock"
}

# Imports a registry file into the prefix.
pos_prefix_import() { # file.reg
  wine regedit /S "$(winepath -w "$1" 2>/dev/null)" >/dev/null 2>&1
}

pos_prefix_create() {
  echo "creating Wine prefix $WINEPREFIX" >&2
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  local reg_file="$pos_wine_dir/ports.reg"
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    for n in $(seq 5 60); do
      printf '"COM%d"="%s/ptys/com%d"\r\n' "$n" "$pos_wine_dir" "$n"
    done
  } >"$reg_file"
  pos_prefix_import "$reg_file"
}
pos_prefix_step .pos-ready pos_prefix_create

# Chinese texts render only with a CJK font mapped in the prefix (Tavrel's
# window and message boxes).
pos_prefix_cjk_fonts() {
  local fonts_reg="$pos_wine_dir/cjk-fonts.reg"
  python3 "$(dirname "${BASH_SOURCE[0]}")/cjk_fonts_reg.py" "$fonts_reg"
  pos_prefix_import "$fonts_reg"
}
pos_prefix_step .pos-cjk-fonts pos_prefix_cjk_fonts

# No audio driver: the machines that run the tests have no sound card, and
# Wine's ALSA driver writes a line to the terminal for every card it probes
# in vain. Core Audio then has no output device, as it has on a machine
# without one.
pos_prefix_no_audio() {
  local audio_reg="$pos_wine_dir/audio.reg"
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n"Audio"=""\r\n' >"$audio_reg"
  pos_prefix_import "$audio_reg"
}
pos_prefix_step .pos-no-audio pos_prefix_no_audio
