#!/usr/bin/env bash
# Builds the Debian package from a built build folder (default build/release) and checks it
# as a user's machine meets it: lintian, the freedesktop validators and the manual pages on
# the package; then the programs, help page and shell completion installed from it into a
# scratch root, run from there.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir="$PWD"
build="${1:-build/release}"

scripts/install-deps.sh packaging

fail() {
    echo "check-package: $*" >&2
    exit 1
}

# The package, alone in its folder.
rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -B "$build/package" >/dev/null
debs=("$build"/package/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one package, found: ${debs[*]}"
deb="${debs[0]}"
echo "== $deb"
dpkg-deb --field "$deb"
dpkg-deb --contents "$deb"

# The package's own overrides (packaging/debian/lintian-overrides) are the only exceptions.
lintian --fail-on error,warning "$deb" || fail "lintian found errors or warnings"

root="$(mktemp -d)"
work="$(mktemp -d)"
trap 'rm -rf "$root" "$work"' EXIT
dpkg-deb --extract "$deb" "$root"

# Nothing but the programs and their data: no tests, benches, libraries or headers.
stray="$(dpkg-deb --contents "$deb" | awk '{print $6}' | grep -v '/$' |
    grep -vE '^\./usr/(bin/vornal(-cli)?|share/(applications|bash-completion|doc|icons|lintian|man|metainfo|vornal)/.+)$' || true)"
[ -z "$stray" ] || fail "files that do not belong in the package: $stray"
# No path of this machine's build in the programs.
if strings -a "$root"/usr/bin/* | grep -F "$source_dir"; then
    fail "the installed programs name the build machine's folders"
fi

desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings="$(zcat "$page" | groff -ww -man -Tutf8 2>&1 >/dev/null)"
    warnings+="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l -Tutf8 -Z "$page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# The installed command line: its version, the help page it finds beside it, a round trip.
cli="$root/usr/bin/vornal-cli"
version="$(env -u VORNAL_HELP_DIR "$cli" --version)"
echo "$version"
grep -qx "vornal-cli (Vornal Encryption) 2.5a" <<<"$version" || fail "--version: $version"
grep -qxF "help: $root/usr/share/vornal/help/index.html" <<<"$version" ||
    fail "the installed program does not find the installed help page"

printf 'attack at  dawn\nsecond line' >"$work/notes.txt"
cp "$work/notes.txt" "$work/original"
export VORNAL_HOME="$work/home" CHECK_KEY='correct horse'
"$cli" encrypt --key-env CHECK_KEY "$work/notes.txt"
grep -q 'File encrypted by: Vornal Encryption' "$work/notes.txt" || fail "no marker after encrypt"
"$cli" decrypt --key-env CHECK_KEY "$work/notes.txt"
cmp "$work/original" "$work/notes.txt" || fail "the round trip changed the file"
[ -s "$work/home/log/log.html" ] || fail "no log written"
[ -z "$(find "$work" -name '*.bak*')" ] || fail "a backup was left behind"

# The completion, as bash calls it: the line, the cursor, the words split at blanks and "=".
completion="$root/usr/share/bash-completion/completions/vornal-cli"
complete_line() {
    bash -c 'source "$1"
        COMP_LINE=$2 COMP_POINT=${#2}
        read -ra COMP_WORDS <<<"${2//=/ = }"
        [[ $2 == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _vornal_cli
        echo "${COMPREPLY[*]}"' - "$completion" "$1"
}
expect_completion() {
    local got
    got="$(cd "$work" && complete_line "$1")"
    [ "$got" = "$2" ] || fail "completing \"$1\": \"$got\", expected \"$2\""
}
expect_completion "vornal-cli enc" "encrypt encrypt-string"
expect_completion "vornal-cli decrypt --key-f" "--key-file"
expect_completion "vornal-cli decrypt --key-env CHECK_K" "CHECK_KEY"
expect_completion "vornal-cli decrypt --key-env=CHECK_K" "CHECK_KEY"
expect_completion "vornal-cli encrypt no" "notes.txt"
expect_completion "vornal-cli encrypt-string no" ""

echo "check-package: $(basename "$deb") passes"
