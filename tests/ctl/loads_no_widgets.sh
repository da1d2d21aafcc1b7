#!/bin/sh
# vexa-tb-ctl runs without a display: neither it nor a library it loads may
# bring in Qt's widget or GUI library.
#     loads_no_widgets.sh PATH-TO-vexa-tb-ctl
set -eu
libs=$(ldd "$1")
# ldd must have listed the libraries at all, else the check below says nothing.
printf '%s\n' "$libs" | grep -q 'libQt6Core\.so' || {
    echo "ldd lists no libQt6Core for $1:" >&2
    printf '%s\n' "$libs" >&2
    exit 1
}
if printf '%s\n' "$libs" | grep -E 'libQt6(Widgets|Gui)\.so' >&2; then
    echo "$1 loads the libraries above" >&2
    exit 1
fi
