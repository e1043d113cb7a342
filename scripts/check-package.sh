#!/usr/bin/env bash
# Makes the Debian package (scripts/package.sh) and checks it with Debian's
# own tools: lintian must report no error and no warning that is not
# overridden with a reason (packaging/debian/lintian-overrides), the desktop
# entry and the AppStream metadata must validate. Then the package is
# unpacked into a throwaway folder and its own programs transfer the eight
# reports of a simulated tester, so the packaged tree is shown to work.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/package.sh
deb=$(ls build/package/ksx4-assistant_*.deb)

echo "== lintian $deb"
lintian --fail-on error,warning --info "$deb" 2> >(grep -v 'root privileges' >&2)

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

echo "== layout"
expected=(
  usr/bin/ksx4_assistant usr/bin/ksx4ctl usr/bin/ksx4sim
  usr/lib/ksx4/libksx4_com.so usr/lib/ksx4/usb/libmpusbapi.so usr/lib/ksx4/sim/libmpusbapi.so
  usr/include/ksx4/ksx4_com.h usr/lib/udev/rules.d/70-ksx4.rules
  usr/share/applications/example.tessel.KSX4Assistant.desktop
  usr/share/icons/hicolor/scalable/apps/example.tessel.KSX4Assistant.svg
  usr/share/icons/hicolor/128x128/apps/example.tessel.KSX4Assistant.png
  usr/share/metainfo/example.tessel.KSX4Assistant.metainfo.xml
  usr/share/man/man1/ksx4_assistant.1.gz usr/share/man/man1/ksx4ctl.1.gz
  usr/share/man/man1/ksx4sim.1.gz
)
for path in "${expected[@]}"; do
  [[ -f "$root/$path" ]] || { echo "the package lacks /$path" >&2; exit 1; }
done
echo "all ${#expected[@]} files in place"

echo "== desktop entry and AppStream metadata"
desktop-file-validate "$root/usr/share/applications/example.tessel.KSX4Assistant.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.tessel.KSX4Assistant.metainfo.xml"

echo "== maintainer scripts where udev does not run"
control=$root/control
dpkg-deb -e "$deb" "$control"
mkdir -p "$root/no-udevd"
printf '#!/bin/sh\necho "udevd is not running" >&2\nexit 1\n' >"$root/no-udevd/udevadm"
chmod +x "$root/no-udevd/udevadm"
for run in "postinst configure" "postrm remove" "postrm purge"; do
  read -r script action <<<"$run"
  PATH="$root/no-udevd:/usr/bin:/bin" "$control/$script" "$action" 2>/dev/null ||
    { echo "$script $action fails when udevadm cannot reach udev" >&2; exit 1; }
  env -i PATH=/nonexistent /bin/sh "$control/$script" "$action" ||
    { echo "$script $action fails without udevadm" >&2; exit 1; }
done
echo "postinst and postrm succeed with a failing udevadm and without one"

echo "== transfer with the unpacked programs"
tests/tools/ksx4ctl_smoke.sh "$root/usr/bin" "$root/work"
