# Sourced helper: a snapshot of a Wine prefix that an install-then-uninstall must leave as it was.
#
#   qm_prefix_snapshot OUT [REGISTRY_KEY...]
#
# writes one line per file and folder of drive_c ("PATH SIZE MTIME MD5", folders as "PATH/") and,
# for every registry key given, its export. Wine's own scratch folders and the scripts' answers
# and trace folder (C:\qm) are left out: they change whether or not anything is installed.
qm_prefix_snapshot() {
  local out=$1 key
  shift
  (
    cd "$WINEPREFIX/drive_c" || exit 1
    find . \( -ipath './windows/temp' -o -ipath './users/*/temp' -o -ipath './users/*/AppData/Local/Temp' \
      -o -ipath './qm' -o -ipath './windows/logs' \) -prune -o -printf '%y %s %T@ %p\n' |
      while read -r type size time path; do
        case $type in
          d) echo "$path/" ;;
          f) echo "$path $size ${time%.*} $(md5sum <"$path" | cut -c1-32)" ;;
          *) echo "$path ($type)" ;;
        esac
      done | LC_ALL=C sort
  ) >"$out"
  for key in "$@"; do
    echo "== $key" >>"$out"
    local tmp
    tmp=$(mktemp)
    timeout -k 5 60 wine reg export "$key" "$(winepath -w "$tmp")" /y >/dev/null 2>&1 || true
    iconv -f UTF-16LE -t UTF-8 "$tmp" 2>/dev/null | tr -d '\r' >>"$out" || true
    rm -f "$tmp"
  done
}
