#!/usr/bin/env bash
# Checks the Debian packages that make package left in BUILD_DIR/packages: unpacks them into a
# temporary root, checks the file list and the control data, validates the menu and
# software-centre entries and the manual pages, runs the unpacked renderer on the default
# project and on a thumbnail request as a file manager makes it, tries the shell completion,
# and reports lintian's tags when lintian is installed (an error fails the check).
set -uo pipefail
build=${1:-build}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
problems=0
fail() {
  echo "package check: $*" >&2
  problems=$((problems + 1))
}

shopt -s nullglob
main_debs=("$build"/packages/vantorel_*_*.deb)
mpi_debs=("$build"/packages/vantorel-mpi_*_*.deb)
if [ ${#main_debs[@]} -ne 1 ]; then
  echo "package check: expected one vantorel_VERSION_ARCH.deb in $build/packages" >&2
  exit 1
fi
main_deb=${main_debs[0]}
version=$(dpkg-deb -f "$main_deb" Version)
arch=$(dpkg-deb -f "$main_deb" Architecture)
[ "$(basename "$main_deb")" = "vantorel_${version}_${arch}.deb" ] || fail "odd name $main_deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$main_deb" "$root/main" || fail "cannot unpack $main_deb"
main=$root/main/usr

# The file list.
expected=(bin/vantorel bin/vantorel-render
          share/vantorel/help/index.html
          share/applications/vantorel.desktop
          share/icons/hicolor/256x256/apps/vantorel.png share/icons/hicolor/64x64/apps/vantorel.png
          share/mime/packages/vantorel.xml
          share/man/man1/vantorel.1.gz share/man/man1/vantorel-render.1.gz
          share/thumbnailers/vantorel.thumbnailer
          share/bash-completion/completions/vantorel-render
          share/doc/vantorel/copyright share/doc/vantorel/changelog.gz)
for f in "${expected[@]}"; do
  [ -f "$main/$f" ] || fail "vantorel lacks /usr/$f"
done
metainfo=("$main"/share/metainfo/*.metainfo.xml)
[ ${#metainfo[@]} -eq 1 ] || fail "vantorel lacks its metainfo file (share/metainfo)"
for pal in "$source_dir"/palettes/*.Pal; do
  [ -f "$main/share/vantorel/palettes/$(basename "$pal")" ] ||
    fail "vantorel lacks the palette /usr/share/vantorel/palettes/$(basename "$pal")"
done
# The shared MIME and desktop databases are the system's, updated by its triggers.
extra=$(cd "$main/share/mime" && find . -type f ! -path ./packages/vantorel.xml)
[ -z "$extra" ] || fail "vantorel carries MIME database files: $extra"
[ ! -e "$main/bin/vantorel-render-mpi" ] || fail "vantorel carries the MPI renderer"

# Control data: stripped programs, dependencies from the shared libraries, no MPI.
depends=$(dpkg-deb -f "$main_deb" Depends)
echo "vantorel $version ($arch) depends on: $depends"
case $depends in *libqt6widgets6*) ;; *) fail "vantorel does not depend on Qt 6 Widgets" ;; esac
case $depends in *mpi*) fail "vantorel depends on MPI" ;; esac
for program in "$main"/bin/*; do
  file -L "$program" | grep -q ', stripped' || fail "$(basename "$program") is not stripped"
done
if [ ${#mpi_debs[@]} -eq 1 ]; then
  dpkg-deb -x "${mpi_debs[0]}" "$root/mpi" || fail "cannot unpack ${mpi_debs[0]}"
  for f in bin/vantorel-render-mpi share/man/man1/vantorel-render-mpi.1.gz \
           share/doc/vantorel-mpi/copyright share/doc/vantorel-mpi/changelog.gz; do
    [ -f "$root/mpi/usr/$f" ] || fail "vantorel-mpi lacks /usr/$f"
  done
  mpi_depends=$(dpkg-deb -f "${mpi_debs[0]}" Depends)
  echo "vantorel-mpi depends on: $mpi_depends"
  case $mpi_depends in *libopenmpi*openmpi-bin*|*openmpi-bin*libopenmpi*) ;;
    *) fail "vantorel-mpi does not depend on Open MPI" ;; esac
  file -L "$root/mpi/usr/bin/vantorel-render-mpi" | grep -q ', stripped' ||
    fail "vantorel-render-mpi is not stripped"
else
  echo "package check: no vantorel-mpi package (MPI was not found at build time)"
fi

# Entries, pages and versions.
desktop-file-validate "$main/share/applications/vantorel.desktop" || fail "desktop-file-validate"
if [ ${#metainfo[@]} -eq 1 ]; then
  appstreamcli validate --no-net "${metainfo[0]}" || fail "appstreamcli validate"
fi
for page in "$main"/share/man/man1/*.1.gz "$root"/mpi/usr/share/man/man1/*.1.gz; do
  text=$(MANWIDTH=80 man --warnings -l "$page" 2>"$root/man.err")
  [ -n "$text" ] && [ ! -s "$root/man.err" ] ||
    fail "man -l $(basename "$page"): $(cat "$root/man.err")"
  grep -q -- '--version' <<<"$text" || fail "$(basename "$page") does not describe --version"
done
for program in vantorel vantorel-render; do
  [ "$("$main/bin/$program" --version)" = "$program $version" ] ||
    fail "$program --version does not say $version"
done

# The unpacked renderer: the default project, then a thumbnail as the thumbnailer asks for it.
work=$root/work
mkdir -p "$work"
(cd "$work" && "$main/bin/vantorel-render" -q -o default.png --project default.LPr --data default &&
  mv default.TMP0 default.Par) || fail "vantorel-render could not render the default project"
exec_line=$(sed -n 's/^Exec=//p' "$main/share/thumbnailers/vantorel.thumbnailer")
thumbnail() {  # INPUT OUTPUT: the thumbnailer's command line for a 128-pixel thumbnail
  local command=${exec_line/#vantorel-render/$main/bin/vantorel-render}
  command=${command//%s/128}
  command=${command//%i/$1}
  command=${command//%o/$2}
  # shellcheck disable=SC2086  # the Exec line is split into words as a file manager does
  timeout 30 $command
}
for input in default.LPr default.Par; do
  thumbnail "$work/$input" "$work/$input.png" || fail "the thumbnailer's command failed on $input"
  size=$(file "$work/$input.png" | sed -n 's/.*PNG image data, \([0-9]*\) x \([0-9]*\),.*/\1 \2/p')
  read -r w h <<<"$size"
  [ "${w:-0}" -eq 128 ] && [ "${h:-999}" -le 128 ] ||
    fail "the thumbnail of $input is not a PNG of 128 pixels' width: $(file "$work/$input.png")"
done
printf 'not a project' >"$work/bad.LPr"
if thumbnail "$work/bad.LPr" "$work/bad.png" 2>/dev/null || [ -e "$work/bad.png" ]; then
  fail "a bad file gave a thumbnail"
fi

# The completion offers the renderer's options.
if [ -f /usr/share/bash-completion/bash_completion ]; then
  offered=$(PATH="$main/bin:$PATH" bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_WORDS=(vantorel-render --thu); COMP_CWORD=1; COMP_LINE="vantorel-render --thu"
    COMP_POINT=${#COMP_LINE}
    _vantorel_render vantorel-render --thu vantorel-render
    echo "${COMPREPLY[*]}"' _ "$main/share/bash-completion/completions/vantorel-render")
  [ "$offered" = "--thumbnail" ] || fail "the completion of --thu offers '$offered'"
fi

if command -v lintian >/dev/null; then
  echo "lintian tags:"
  lintian --tag-display-limit 0 "$main_deb" "${mpi_debs[@]}" | tee "$root/lintian.txt"
  grep -q '^E: ' "$root/lintian.txt" && fail "lintian reports errors"
else
  echo "package check: lintian is not installed; the packages were not linted"
fi

if [ "$problems" -ne 0 ]; then
  echo "package check: $problems problem(s)" >&2
  exit 1
fi
echo "package check: $(basename "$main_deb") ${mpi_debs[*]:+and $(basename "${mpi_debs[0]}") }passed"
