#!/usr/bin/env bash
# Checks that each folder of src/ includes only the folders below it: the
# layers of the README's Layout, and inside src/foxpro/ the order its own
# README gives.  No Qt outside ui/ and app/, no system header above the
# platform part.  Prints each include that runs back up and exits 1 when
# there is one.
#   check-layers.sh [SRC]     SRC: the src/ folder to check (default: this project's)
set -uo pipefail
src="${1:-$(dirname "$0")/../src}"

# What each top folder may include besides itself, top to bottom.
declare -A may=(
  [app]="ui wizard results compare sides data frame foxpro"
  [cli]="results compare sides data frame foxpro"
  [ui]="wizard results compare sides data frame foxpro"
  [wizard]="results compare sides data frame foxpro"
  [results]="compare data frame foxpro"
  [compare]="data frame foxpro"
  [sides]="compare data frame foxpro"
  [data]="frame foxpro"
  [frame]="foxpro"
  [foxpro]=""
)

# The table-access layer's folders, top first, from its README.
mapfile -t inner < <(sed -n 's/^- `\([a-z]*\)\/`.*/\1/p' "$src/foxpro/README.md" 2>/dev/null)
if [ "${#inner[@]}" -eq 0 ]; then
  echo "check-layers: $src/foxpro/README.md lists no folders" >&2
  exit 2
fi

bad=0
report() { echo "$1: includes $2, $3"; bad=1; }

# Each inner folder's place, 0 for the top one.
declare -A order=()
for i in "${!inner[@]}"; do order[${inner[$i]}]=$i; done
rank() { echo "${order[$1]:--1}"; }

inc_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)"'
sys_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*<([^>]*)>'
# Every include line of the tree, as FILE:LINE:TEXT, read in one pass.
while IFS= read -r hit; do
  file="${hit%%:*}"
  line="${hit#*:}"
  line="${line#*:}"
  rel="${file#"$src"/}"
  top="${rel%%/*}"
  [ -n "${may[$top]+x}" ] || { report "$rel" "anything" "in no known layer folder"; continue; }
  sub=""
  if [ "$top" = foxpro ]; then
    rest="${rel#foxpro/}"
    [ "$rest" != "${rest%%/*}" ] && sub="${rest%%/*}"
    if [ -n "$sub" ] && [ "$(rank "$sub")" -lt 0 ]; then
      report "$rel" "anything" "its folder foxpro/$sub/ is not in src/foxpro/README.md"
      continue
    fi
  fi
  if [[ $line =~ $sys_re ]]; then
    system="${BASH_REMATCH[1]}"
    case "$system" in
      Q*) [ "$top" = ui ] || [ "$top" = app ] || report "$rel" "<$system>" "Qt outside the windows" ;;
      unistd.h|fcntl.h|dirent.h|signal.h|pthread.h|iconv.h|windows.h|sys/*|winioctl.h|io.h)
        [ "$sub" = platform ] || report "$rel" "<$system>" "a system header above the platform part" ;;
    esac
    continue
  fi
  [[ $line =~ $inc_re ]] || continue
  target="${BASH_REMATCH[1]}"
  ttop="${target%%/*}"
  [ "$ttop" = "$target" ] && continue  # a file beside it
  if [ "$ttop" != "$top" ]; then
    case " ${may[$top]} " in
      *" $ttop "*) ;;
      *) report "$rel" "$target" "a folder above $top/" ;;
    esac
    continue
  fi
  [ "$top" = foxpro ] || continue
  trest="${target#foxpro/}"
  [ "$trest" = foxpro_error.h ] && continue
  tsub="${trest%%/*}"
  if [ "$tsub" = "$trest" ]; then
    report "$rel" "$target" "a file at the layer's root"
  elif [ -z "$sub" ]; then
    report "$rel" "$target" "the layer's root includes nothing of its folders"
  elif [ "${order[$tsub]:--1}" -lt "${order[$sub]}" ]; then
    report "$rel" "$target" "foxpro/$tsub/ stands above foxpro/$sub/"
  fi
done < <(grep -rHn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#[[:space:]]*include' "$src" | sort)

exit "$bad"
