#!/bin/bash
# Compares two prefix snapshots (prefix_snapshot.sh) taken before an installation and after its
# uninstall. Differences the uninstaller leaves on purpose (docs/uninstall.md) are listed as such;
# any other difference makes the exit status 1.
#   compare_snapshots.sh BEFORE AFTER
set -u
before=$1 after=$2
leftover() {
  # The uninstaller's copy in the Windows folder; a program group folder the installation made
  # (the shell cannot tell over DDE whether a group is empty, so it is never deleted).
  grep -Eiq '^(< |> )\./windows/unstall\.exe( |$)|^(< |> )\./(users/[^/]+|ProgramData)/.*/Start Menu/Programs/[^/]+/$' <<<"$1"
}
changes=$(diff "$before" "$after" | grep -E '^[<>] ')
expected=() unexpected=()
while IFS= read -r line; do
  [ -n "$line" ] || continue
  if leftover "$line"; then expected+=("$line"); else unexpected+=("$line"); fi
done <<<"$changes"
echo "round trip: $(grep -c '' "$before") entries before the installation, $(grep -c '' "$after") after the uninstall"
for l in "${expected[@]}"; do echo "  documented leftover: $l"; done
if [ ${#unexpected[@]} -eq 0 ]; then
  echo "round trip: C: and the registry are as they were, but for the documented leftovers"
  exit 0
fi
echo "round trip: ${#unexpected[@]} unexpected difference(s) (< before, > after):"
for l in "${unexpected[@]}"; do echo "  $l"; done
exit 1
