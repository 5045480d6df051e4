#!/usr/bin/env bash
# Checks a built Debian package: every file a user expects is in its standard place,
# the library dependencies were computed, the desktop entry and the AppStream
# metadata pass their validators, and the packaged binaries run and print the
# package's version.
#   deb_test.sh PACKAGE.deb
set -uo pipefail
deb=$1
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

expected_files=(
    usr/bin/tressel
    usr/bin/tressel-renamer
    usr/share/applications/tressel-renamer.desktop
    usr/share/icons/hicolor/scalable/apps/tressel-renamer.svg
    usr/share/metainfo/tressel-renamer.metainfo.xml
    usr/share/man/man1/tressel.1.gz
    usr/share/man/man1/tressel-renamer.1.gz
    usr/share/bash-completion/completions/tressel
    usr/share/zsh/vendor-completions/_tressel
)

listing=$(dpkg-deb -c "$deb") || { echo "FAIL: $deb is no Debian package"; exit 1; }
for file in "${expected_files[@]}"; do
    grep -qE "^-\S+ root/root +[0-9]+ \S+ \S+ \./$file\$" <<<"$listing" ||
        fail "$file is not in the package"
done

version=$(dpkg-deb -f "$deb" Version)
[[ $(basename "$deb") == "tressel-renamer_${version}_amd64.deb" ]] ||
    fail "$(basename "$deb") is not named after version $version"
depends=$(dpkg-deb -f "$deb" Depends)
depended=" $(sed 's/ *([^)]*)//g; s/,/ /g' <<<"$depends") "
for package in libc6 libqt6core6 libqt6widgets6 qt6-qpa-plugins; do
    [[ $depended == *" $package "* ]] || fail "Depends lacks $package: $depends"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

validate_desktop=$(desktop-file-validate "$root/usr/share/applications/tressel-renamer.desktop" 2>&1)
grep -q "error:" <<<"$validate_desktop" && fail "desktop-file-validate: $validate_desktop"
grep -qx "MimeType=inode/directory;" "$root/usr/share/applications/tressel-renamer.desktop" ||
    fail "the desktop entry does not offer to open folders"
appstream=$(appstreamcli validate --no-net "$root/usr/share/metainfo/tressel-renamer.metainfo.xml" 2>&1)
grep -q "^E:" <<<"$appstream" && fail "appstreamcli validate: $appstream"
grep -qE "^(W|I|P): |Validation (was successful|failed: warnings)" <<<"$appstream" ||
    fail "appstreamcli gave no verdict: $appstream"

for page in tressel tressel-renamer; do
    man_text=$(man -l "$root/usr/share/man/man1/$page.1.gz" 2>&1)
    grep -q "^NAME" <<<"$man_text" || fail "man -l $page.1.gz shows no manual page: $man_text"
done

for program in tressel tressel-renamer; do
    said=$("$root/usr/bin/$program" --version 2>&1)
    [ "$said" = "$program $version" ] || fail "$program --version says '$said', not $version"
done

[ $failures -eq 0 ] && echo "$(basename "$deb"): ${#expected_files[@]} files, Depends: $depends"
exit $((failures > 0))
