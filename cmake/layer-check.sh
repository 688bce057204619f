#!/usr/bin/env bash
# Fails when a module includes a header of a module above it or beside it:
# each folder may include only itself and what its row below allows.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# folder                 the include prefixes it may use
allowed() {
  case "$1" in
    # Storage and UTF-8, std only: below the window system and the store.
    quillmont/storage) echo "quillmont/storage" ;;
    # rules/text.h is std only: the one ASCII case folding, for the controls too.
    quillmont/platform) echo "quillmont/platform quillmont/storage quillmont/rules/text.h" ;;
    # Every field rule, written once: above the platform only.
    quillmont/rules) echo "quillmont/rules quillmont/platform quillmont/storage" ;;
    quillmont/framework) echo "quillmont/framework quillmont/rules quillmont/platform quillmont/storage" ;;
    quillmont/snmp_panel | quillmont/email_panel | quillmont/events_panel | \
      quillmont/controls | quillmont/services | quillmont/definitions)
      echo "$1 quillmont/framework quillmont/rules quillmont/platform quillmont/storage" ;;
    quillmont/defaults | quillmont/library) echo "quillmont/" ;;
    store) echo "quillmont/ store/" ;;
    host) echo "quillmont/library/com.h quillmont/library/entry_points.h quillmont/library/registry_file.h quillmont/platform host/" ;;
    delivery) echo "quillmont/ store/ delivery/" ;;
    # The editing logic without drawing: below every front end.
    apps/session) echo "quillmont/ store/ delivery/ apps/session/" ;;
    apps/editor) echo "quillmont/ store/ delivery/ host/ apps/session/ $1/" ;;
    # The Qt adapter sees the panels' controls and services only.
    adapters/qt) echo "quillmont/platform quillmont/storage quillmont/framework adapters/qt/" ;;
    apps/studio) echo "quillmont/ store/ apps/session/ adapters/qt/ $1/" ;;
    apps/notify | apps/dispatch) echo "quillmont/ store/ delivery/ apps/session/ $1/" ;;
    apps/*) echo "quillmont/ store/ delivery/ host/ $1/" ;;
    *) echo "" ;;
  esac
}

failed=0
while IFS= read -r file; do
  folder=$(dirname "$file")
  [[ $folder == quillmont/* ]] && folder=$(cut -d/ -f1-2 <<<"$folder")
  [[ $folder == apps/* || $folder == adapters/* ]] && folder=$(cut -d/ -f1-2 <<<"$folder")
  [[ $folder == store/* || $folder == host/* || $folder == delivery/* ]] && folder=${folder%%/*}
  rules=$(allowed "$folder")
  [[ -z $rules ]] && continue
  while IFS= read -r include; do
    ok=0
    for prefix in $rules; do
      [[ $include == "$prefix"* || $include == "$folder/"* ]] && ok=1
    done
    if ((!ok)); then
      echo "layer-check: $file includes \"$include\", above or beside $folder" >&2
      failed=1
    fi
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/p' "$file")
done < <(git ls-files -- 'quillmont/*' 'store/*' 'host/*' 'delivery/*' 'apps/*' 'adapters/*' | grep -E '\.(h|cpp)$')

if ((failed)); then exit 1; fi
echo "layer-check: every module includes only the modules below it"
