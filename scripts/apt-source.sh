# shellcheck shell=bash
# Sourced: fetches and unpacks one of Debian's source packages with
# apt-get source, adding a source entry for the distribution's archive when
# apt has none. Sets sudo_cmd.
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

pos_has_source_entry() {
  grep -Eqs '^[[:space:]]*deb-src[[:space:]]|^Types:.*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
    /etc/apt/sources.list.d/*.sources
}

# A deb-src entry for each binary entry of the distribution's archive that apt
# already uses (deb822 or one-line form), so the sources come from the same
# place and suites as the packages.
pos_add_source_entry() {
  local entry=/etc/apt/sources.list.d/pos-debian-src.sources
  local text=
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    text=$(sed -e '/^#/d' -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources)
  elif [ -f /etc/apt/sources.list ]; then
    text=$(awk '$1 == "deb" { $1 = "deb-src"; print }' /etc/apt/sources.list)
    entry=/etc/apt/sources.list.d/pos-debian-src.list
  fi
  if [ -z "$text" ]; then
    local codename
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    text=$(printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n\nTypes: deb-src\nURIs: http://deb.debian.org/debian-security\nSuites: %s-security\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$codename" "$codename" "$codename")
  fi
  echo "adding the source entry $entry" >&2
  printf '%s\n' "$text" | "${sudo_cmd[@]}" tee "$entry" >/dev/null
}

# Unpacks the source package into a new folder under parent and prints the
# folder's path.
pos_apt_source() { # package parent
  local package=$1 parent=$2 work
  if ! pos_has_source_entry; then
    pos_add_source_entry
    "${sudo_cmd[@]}" apt-get update -q >&2
  elif ! apt-get source --print-uris "$package" >/dev/null 2>&1; then
    "${sudo_cmd[@]}" apt-get update -q >&2
  fi
  work=$("${sudo_cmd[@]}" mktemp -d "$parent/fetch.XXXXXX")
  # apt downloads as its own user where that user can write the folder.
  "${sudo_cmd[@]}" chmod 755 "$work"
  if id _apt >/dev/null 2>&1; then
    "${sudo_cmd[@]}" chown _apt "$work"
  fi
  (cd "$work" && "${sudo_cmd[@]}" apt-get source -q "$package" >&2) || {
    "${sudo_cmd[@]}" rm -rf "$work"
    return 1
  }
  echo "$work"
}
