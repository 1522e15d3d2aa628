#!/usr/bin/env bash
# The Debian package as a shop's workstation gets it. The package is made from the build
# (CPack, no new build), unpacked into a temporary root with dpkg-deb -x and checked there:
# its control data and files, lintian, the desktop entry, the AppStream data, the file type,
# the manual pages, skarv --version and a conversion with the user's copy of the demo shop
# and with a shop's own ini file named in Vako.conf, and the editor under Xvfb with its help.
# Last it is installed into and purged from a temporary root with its own dpkg database.
# Nothing is installed on the machine; the user's real settings are never read.
# Usage: package.sh BUILD_DIR SOURCE_DIR VERSION
set -u
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd) version=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FEIL: $*"; failed=1; }
need() { command -v "$1" >/dev/null || { echo "$1 mangler (scripts/setup.sh installerer det)"; exit 1; }; }
for tool in cpack dpkg-deb dpkg-parsechangelog lintian desktop-file-validate appstreamcli \
            update-mime-database man xvfb-run xwininfo xdotool; do need "$tool"; done

# The package.
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"; echo "FEIL: cpack"; exit 1
fi
deb=$(ls "$tmp"/pkg/*.deb)
echo "pakke: ${deb##*/}"

# Control data: the version of the program and of the changelog, the dependencies from the
# libraries the binaries link.
[ "$(dpkg-deb -f "$deb" Package)" = skarv-editor ] || fail "pakkenavn"
deb_version=$(dpkg-deb -f "$deb" Version)
[ "$deb_version" = "$(dpkg-parsechangelog -l "$src/packaging/changelog" -S Version)" ] ||
  fail "versjonen $deb_version er ikke den i packaging/changelog"
case $deb_version in "$version"-*) ;; *) fail "versjonen $deb_version er ikke programmets $version" ;; esac
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqscintilla2-qt6 libtelnet libc6; do
  case $depends in *"$lib"*) ;; *) fail "Depends mangler $lib" ;; esac
done
# Every dependency is a package of this machine, where the binaries were linked.
for dep in $(echo "$depends" | sed 's/([^)]*)//g; s/|[^,]*//g; s/,/ /g'); do
  dpkg-query -W -f='${Status}' "$dep" 2>/dev/null | grep -q "install ok installed" ||
    fail "avhengigheten $dep er ingen installert pakke"
done
# Only files under /usr, owned by root, and no maintainer scripts.
dpkg-deb -c "$deb" >"$tmp/contents"
if grep -v ' \./usr/' "$tmp/contents" | grep -v ' \./$' | grep -q .; then
  fail "filer utenfor /usr:"; grep -v ' \./usr/' "$tmp/contents"
fi
awk '{print $2}' "$tmp/contents" | grep -qv '^root/root$' && fail "filer som ikke eies av root"
dpkg-deb -e "$deb" "$tmp/control"
for script in preinst postinst prerm postrm; do
  [ -e "$tmp/control/$script" ] && fail "vedlikeholdsskriptet $script"
done

# lintian: no errors (the warnings and notes the package accepts are overridden in the
# package, each with its reason).
lintian --fail-on error,warning "$deb" >"$tmp/lintian" 2>&1 || { cat "$tmp/lintian"; fail "lintian"; }
grep -v 'running with root privileges' "$tmp/lintian"

root=$tmp/root
dpkg-deb -x "$deb" "$root"
share=$root/usr/share
for f in usr/bin/VakoEdit usr/bin/skarv usr/share/skarv-editor/Skarv.rtf \
         usr/share/skarv-editor/Hjelp/VakoEdit.Hlp usr/share/skarv-editor/shop/Vako.ini.in \
         usr/share/skarv-editor/shop/Tegninger/PLATE.DXF usr/share/doc/skarv-editor/copyright \
         usr/share/doc/skarv-editor/changelog.Debian.gz usr/share/man/man1/skarv.1.gz \
         usr/share/man/man1/VakoEdit.1.gz usr/share/icons/hicolor/scalable/apps/no.vako.SkarvEditor.svg \
         usr/share/applications/no.vako.SkarvEditor.desktop \
         usr/share/metainfo/no.vako.SkarvEditor.metainfo.xml \
         usr/share/mime/packages/no.vako.SkarvEditor.xml; do
  [ -f "$root/$f" ] || fail "$f mangler"
done

# The desktop entry, the AppStream data, the file type.
desktop-file-validate "$share/applications/no.vako.SkarvEditor.desktop" || fail "desktop-file-validate"
grep -qx 'Name=Skarv-Editor' "$share/applications/no.vako.SkarvEditor.desktop" || fail "Name"
grep -qx 'Comment=Editor for CNC-programmer' "$share/applications/no.vako.SkarvEditor.desktop" || fail "Comment"
grep -qx 'Exec=VakoEdit %f' "$share/applications/no.vako.SkarvEditor.desktop" || fail "Exec"
appstreamcli validate --no-net "$share/metainfo/no.vako.SkarvEditor.metainfo.xml" || fail "appstreamcli validate"
mime=$share/mime/packages/no.vako.SkarvEditor.xml
for ext in nc ngc mpf spf tap eia iso esi h; do
  grep -q "<glob pattern=\"\*\.$ext\"" "$mime" || fail "filtypen mangler .$ext"
done
grep -q 'value="0 BEGIN PGM ' "$mime" || fail "filtypen kjenner ikke Heidenhain-programmet"
grep -q 'image/vnd.dxf' "$share/applications/no.vako.SkarvEditor.desktop" || fail "DXF i MimeType"
mkdir -p "$tmp/mime/packages" && cp "$mime" "$tmp/mime/packages/" &&
  update-mime-database "$tmp/mime" >"$tmp/update-mime" 2>&1 || { cat "$tmp/update-mime"; fail "update-mime-database"; }
# The icon is an SVG drawing.
head -c 300 "$share/icons/hicolor/scalable/apps/no.vako.SkarvEditor.svg" | grep -q '<svg' || fail "ikonet"

# The manual pages render without a warning; the skarv page lists every sub-command that
# the installed skarv names.
for page in skarv VakoEdit; do
  warnings=$(MANWIDTH=200 man --warnings -E UTF-8 -l "$share/man/man1/$page.1.gz" 2>&1 >"$tmp/$page.txt")
  [ -z "$warnings" ] || fail "manualsiden $page: $warnings"
done

# The user, with a home of his own and no key under "Software\Vako".
home=$tmp/home
mkdir -p "$home" "$tmp/user-config" "$tmp/system-config" "$tmp/runtime"
chmod 700 "$tmp/runtime"
user=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$tmp/user-config"
      XDG_CONFIG_DIRS="$tmp/system-config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$tmp/runtime"
      LANG=C.UTF-8)  # later assignments on a command line override these
touch "$tmp/stamp"
skarv=$root/usr/bin/skarv

out=$("${user[@]}" "$skarv" --version)
[ "$out" = "skarv (Skarv-Editor) $version" ] || fail "skarv --version: $out"
"${user[@]}" "$skarv" --help >"$tmp/help" || fail "skarv --help"
sed -n 's/^  skarv //p' "$tmp/help" | tr -s ' ' >"$tmp/usages"
tr -s ' ' <"$tmp/skarv.txt" >"$tmp/skarv-page"
while IFS= read -r usage; do
  grep -qF "skarv $usage" "$tmp/skarv-page" || fail "manualsiden mangler: skarv $usage"
done <"$tmp/usages"

# The first start copies the demo shop into the user's data folder; a drawing of the demo
# converts for the plasma cutter with its ini file, whose paths point at the copy and at the
# installed program directory.
copy=$home/data/skarv-editor/Demoverksted
"${user[@]}" "$skarv" --machine 5 dxf "$share/skarv-editor/shop/Tegninger/PLATE.DXF" -o "$tmp/PLATE.NC" ||
  fail "skarv dxf"
[ -s "$tmp/PLATE.NC" ] && grep -q 'G0' "$tmp/PLATE.NC" || fail "skarv dxf skrev ikke noe program"
[ -f "$copy/Vako.ini" ] && [ -f "$copy/Fres/LOKK.H" ] || fail "demoverkstedet er ikke kopiert"
[ -e "$copy/Vako.ini.in" ] && fail "malen er kopiert"
grep -q '@' "$copy/Vako.ini" && fail "Vako.ini har plassholdere igjen"
out=$("${user[@]}" "$skarv" ini Maskin1 Katalog string "")
[ "$out" = "C:$(echo "$copy" | tr 'a-z/' 'A-Z\\')\\DREIEBENK\\" ] || fail "Katalog: $out"
out=$("${user[@]}" "$skarv" ini Program ExeKatalog string "")
[ "$out" = "C:$(echo "$share/skarv-editor" | tr 'a-z/' 'A-Z\\')\\" ] || fail "ExeKatalog: $out"

# A shop names its own ini file in the machine-wide Vako.conf: that file is read, and no demo
# shop is copied for a user who has none.
mkdir -p "$tmp/shop"
printf '[Program]\r\nMaskiner=7\r\n' >"$tmp/shop/Vako.ini"
printf '[General]\nINI-Fil=%s\n' "$tmp/shop/Vako.ini" >"$tmp/system-config/Vako.conf"
out=$("${user[@]}" HOME="$tmp/other" XDG_DATA_HOME="$tmp/other/data" "$skarv" ini Program Maskiner int 1)
[ "$out" = 7 ] || fail "Vako.conf: ini-filen ble ikke lest ($out)"
[ -e "$tmp/other" ] && fail "demoverkstedet ble kopiert selv om verkstedet har sin ini-fil"
rm "$tmp/system-config/Vako.conf"

# The editor starts with the demo shop and shows its help (Hjelp > Emner i hjelp): the
# help window carries the title of the installed help page.
cat >"$tmp/editor.sh" <<'EOF'
"$EDITOR_BIN" & pid=$!
id=""
for i in $(seq 1 100); do
  id=$(xwininfo -root -tree 2>/dev/null | grep "\"Skarv-Editor, versjon $VERSION\"" | awk '{print $1}' | head -1)
  [ -n "$id" ] && break
  sleep 0.1
done
echo "hovedvindu: $id"
if [ -n "$id" ]; then
  xdotool windowfocus --sync "$id"
  sleep 0.3
  xdotool key --clearmodifiers alt+h
  sleep 0.5
  xdotool key e
  for i in $(seq 1 50); do
    help=$(xwininfo -root -tree 2>/dev/null | grep '"Skarv-Editor - hjelp"' | head -1)
    [ -n "$help" ] && break
    sleep 0.1
  done
  echo "hjelp: $help"
  import -window root "$SHOT" 2>/dev/null
fi
kill $pid 2>/dev/null
wait $pid 2>/dev/null
exit 0
EOF
# Other tests start their X servers at the same time: the server number starts at random,
# and a start whose server went away before the window showed is tried once more.
for attempt in 1 2; do
  "${user[@]}" EDITOR_BIN="$root/usr/bin/VakoEdit" VERSION="$version" SHOT="$build/screenshot-installed.png" \
    QT_QPA_PLATFORM=xcb xvfb-run -a -n $((200 + RANDOM % 600)) -s "-screen 0 1024x768x24" \
    bash "$tmp/editor.sh" >"$tmp/editor.log" 2>&1
  grep -q '^hovedvindu: 0x' "$tmp/editor.log" && break
done
cat "$tmp/editor.log"
grep -q '^hovedvindu: 0x' "$tmp/editor.log" || fail "editoren viste ikke hovedvinduet"
grep -q '"Skarv-Editor - hjelp"' "$tmp/editor.log" || fail "editoren viste ikke hjelpen"

# What the programs wrote went to the user's folders, never into the installed files.
new=$(find "$root" -newer "$tmp/stamp" ! -type d)
[ -z "$new" ] || fail "skrevet i de installerte filene: $new"

# Installed and purged with a dpkg database of its own: nothing is left behind.
inst=$tmp/inst admin=$tmp/dpkg
mkdir -p "$inst" "$admin/info" "$admin/updates" "$admin/triggers"
touch "$admin/status" "$admin/available"
dpkg --instdir="$inst" --admindir="$admin" --force-depends --force-not-root -i "$deb" \
  >"$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log"; fail "dpkg -i"; }
[ -x "$inst/usr/bin/VakoEdit" ] || fail "dpkg -i installerte ikke VakoEdit"
dpkg --instdir="$inst" --admindir="$admin" --force-not-root --purge skarv-editor \
  >>"$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log"; fail "dpkg --purge"; }
left=$(find "$inst" -mindepth 1)
[ -z "$left" ] || fail "igjen etter dpkg --purge: $left"

[ $failed = 0 ] && echo "pakken er i orden"
exit $failed
