#!/bin/bash
# Fails when a library reaches up or sideways: each folder may include only the folders listed for it.
# db/ stays free of Qt so the engine and the tool build without it.
cd "${1:-$(dirname "$0")/..}" || exit 2
declare -A allowed=(
    [db]="db"
    [core]="db core"
    [ui]="ui"
    [dictionary]="db core ui dictionary"
    [printing]="db core ui printing"
    [tools]="db core tools"
    [app]="db core ui dictionary printing app"
)
status=0
for folder in "${!allowed[@]}"; do
    while IFS= read -r hit; do
        included=${hit#*#include \"}
        top=${included%%/*}
        [[ $included == */* ]] || continue
        if [[ " ${allowed[$folder]} " != *" $top "* ]]; then
            echo "layering: $hit ($folder/ may include only: ${allowed[$folder]})"
            status=1
        fi
    done < <(grep -Hn '^#include "' "$folder"/*.h "$folder"/*.cpp 2>/dev/null)
done
if hits=$(grep -Hn '^#include <Q' db/*.h db/*.cpp); then
    echo "layering: db/ includes Qt:"; echo "$hits"; status=1
fi
exit $status
