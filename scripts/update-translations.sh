#!/usr/bin/env bash
# Runs lupdate over the sources and forms, so that every tr() text and form
# text appears in resources/translations/lang_zh_TW.ts and lang_en_US.ts,
# then lists the texts that still wait for a translation.
#
#   scripts/update-translations.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target update_translations

status=0
for ts in resources/translations/lang_zh_TW.ts resources/translations/lang_en_US.ts; do
  count=$(grep -c 'type="unfinished"' "$ts" || true)
  if [[ "$count" -gt 0 ]]; then
    echo "$ts: $count text(s) without a finished translation:"
    # The source line sits two lines above each unfinished translation.
    grep -B2 'type="unfinished"' "$ts" | grep '<source>' | sed 's/^ *//'
    status=1
  fi
done
exit $status
