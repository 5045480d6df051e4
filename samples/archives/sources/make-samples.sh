#!/usr/bin/env bash
# Rebuilds the archive samples from the files in this folder with zip(1) and gcab; the
# self-extracting ones put the archive behind a small executable without a version
# resource (tests/fixtures/exe/no_version.exe), so that the archive readers read them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
out="$here/.."
stub="$top/tests/fixtures/exe/no_version.exe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

touch -d "2004-01-01 12:00" "$here"/orbit/* "$here"/groundstation/*
rm -f "$out"/*.zip "$out"/*.cab "$out"/*.exe
(cd "$here/orbit" && zip -q -X -z "$out/orbit-tracker.zip" README.TXT FILE_ID.DIZ tracker.dat \
    < "$here/orbit-comment.txt")
(cd "$here/groundstation" && gcab -c -z "$out/ground-station.cab" setup.inf readme.txt planner.dat)
cat "$stub" "$out/orbit-tracker.zip" > "$out/orbit-tracker-sfx.exe"
zip -q -A "$out/orbit-tracker-sfx.exe"
cat "$stub" "$out/ground-station.cab" > "$out/ground-station-sfx.exe"
