#!/bin/bash
# The built-in machine profiles report what the real program finds on the same Windows: for each
# profile, the installer's own Win32 seam under Wine set to the profile's version (its Wine=
# line) gives the winver and dosver that `quillpack help profiles` says the profile gives.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"
qm_wine_need_programs "$QM_WIN32_BUILD/conditions_probe.exe"

work=$QM_WINE_WORK/profile_versions
qm_wine_new_prefix "$work/prefix"
failed=0
listing=$("$quillpack" help profiles)
checked=0
for folder in "$QM_SOURCE_DIR"/profiles/*/; do
  name=$(basename "$folder")
  wine_version=$(sed -n 's/^Wine=//p' "$folder/profile.ini" | tr -d '\r')
  # The facts line under the profile's own line: "winver=4.0 dosver=192.0 display=...".
  want=$(grep -A1 "^  $name " <<<"$listing" | sed -n 's/^ *\(winver=[^ ]*\) \(dosver=[^ ]*\).*/\1 \2/p')
  [ -n "$want" ] || { echo "BAD  $name: quillpack help profiles gives no winver/dosver"; failed=1; }
  qm_wine_tool winecfg -v "$wine_version" >/dev/null 2>&1 || { echo "BAD  winecfg -v $wine_version"; failed=1; continue; }
  got=$(qm_wine_run 60 "$QM_WIN32_BUILD/conditions_probe.exe" facts 2>/dev/null | tr -d '\r' |
    sed -n 's/^\(winver\|dosver\)=//p' | paste -sd' ' | sed 's/^/winver=/; s/ / dosver=/')
  expect "$name (Wine $wine_version)" "$got" "$want"
  checked=$((checked + 1))
done
[ "$checked" -ge 9 ] || { echo "BAD  only $checked profiles checked"; failed=1; }
exit "$failed"
