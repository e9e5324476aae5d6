#!/bin/bash
# The parity runner (parity.sh) over every scenario a Wine prefix can imitate, media changes
# included, on Wine's default Windows version: each must end as its simulated run does.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
qm_wine_setup "$@"
[ -n "${QM_NATIVE_BUILD:-}" ] || { echo "FAIL the parity runner needs the native build (quillpack)"; exit 1; }
bash "$QM_WINE_LIB_DIR/parity.sh" "$QM_WIN32_BUILD" "$QM_NATIVE_BUILD"
