#!/usr/bin/env bash
# Writes the manifests with which winget and Scoop install a release, for its files as they will
# be published in the download folder URL (which ends in "/"):
#   DIST/winget/Pellumry.Tavelin.yaml, .locale.en-US.yaml, .installer.yaml   (ManifestVersion 1.12.0)
#   DIST/scoop/tavelin.json
#   manifests.sh DIST VERSION URL [REPOSITORY_URL]
# The repository's address (for the homepage and the licence's URL) is the one given, or the
# part before "/releases/download/" of a download folder of GitHub's (or Gitea's) kind; without
# one, the homepage is the download folder and the licence has no URL.
set -euo pipefail
dist=$1 version=$2 url=$3 repository=${4:-}
# Written into YAML and JSON as it is.
[[ "$url" =~ ^https?://[^[:space:]\"\'#]+/$ ]] || { echo "manifests: not a folder's address: $url" >&2; exit 1; }
[ -n "$repository" ] || [[ "$url" != */releases/download/* ]] || repository=${url%%/releases/download/*}
zip="Tavelin-$version-portable.zip"
setup="Tavelin-$version-setup.exe"
hash() { sha256sum "$dist/$1" | cut -d' ' -f1; }
zip_hash=$(hash "$zip")
setup_hash=$(hash "$setup" | tr a-f A-F)
id=Pellumry.Tavelin
description="Saves screenshots as numbered JPEG files: Windows key + A the window in front, Windows key + S the whole screen."
# The licence as the release's tag has it: the tag names the download folder on GitHub, and is
# taken to be "v" and the version elsewhere.
tag=v$version
[[ "$url" != */releases/download/* ]] || { tag=${url#*/releases/download/}; tag=${tag%%/*}; }
license_url=""
[ -z "$repository" ] || license_url="$repository/blob/$tag/LICENSE"
homepage=${repository:-$url}
# Scoop looks for newer versions in the newest release's SHA256SUMS: GitHub keeps the newest
# release's files under ".../releases/latest/download/"; elsewhere the folder given is asked.
latest=$url
[[ "$url" != */releases/download/* ]] || latest="${url%%/releases/download/*}/releases/latest/download/"

mkdir -p "$dist/winget" "$dist/scoop"
header() {  # kind
    echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$1.1.12.0.schema.json"
    echo "PackageIdentifier: $id"
    echo "PackageVersion: $version"
}
footer() {  # kind
    echo "ManifestType: $1"
    echo "ManifestVersion: 1.12.0"
}
{
    header version
    echo "DefaultLocale: en-US"
    footer version
} >"$dist/winget/$id.yaml"
{
    header defaultLocale
    echo "PackageLocale: en-US"
    echo "Publisher: Pellumry"
    echo "PackageName: Tavelin"
    [ -z "$repository" ] || echo "PackageUrl: $repository"
    echo "License: MIT"
    [ -z "$license_url" ] || echo "LicenseUrl: $license_url"
    echo "ShortDescription: '$description'"
    echo "Tags:"
    for tag in screenshot screen-capture jpeg hotkey tray; do echo "- $tag"; done
    footer defaultLocale
} >"$dist/winget/$id.locale.en-US.yaml"
{
    header installer
    echo "InstallerType: nullsoft"
    echo "Scope: user"
    echo "UpgradeBehavior: install"
    echo "ProductCode: Tavelin"
    echo "AppsAndFeaturesEntries:"
    echo "- DisplayName: Tavelin"
    echo "  Publisher: Pellumry"
    echo "  DisplayVersion: $version"
    echo "  ProductCode: Tavelin"
    echo "InstallationMetadata:"
    echo "  DefaultInstallLocation: '%LOCALAPPDATA%\\Programs\\Tavelin'"
    echo "ExpectedReturnCodes:"
    # A plain number, as winget's own manifests write it: winget reads this field as a number
    # by its name.
    echo "- InstallerReturnCode: 3"
    echo "  ReturnResponse: packageInUse"
    # Started as another user than the desktop's: no response names that.
    echo "- InstallerReturnCode: 4"
    echo "  ReturnResponse: custom"
    echo "- InstallerReturnCode: 5"
    echo "  ReturnResponse: installInProgress"
    echo "Installers:"
    echo "- Architecture: x86"
    echo "  InstallerUrl: $url$setup"
    echo "  InstallerSha256: $setup_hash"
    footer installer
} >"$dist/winget/$id.installer.yaml"

# Scoop runs the uninstaller's script on "scoop update" as well; only an uninstall takes the
# start at logon away, and only where it names Scoop's own copy.
license='"MIT"'
[ -z "$license_url" ] || license="{ \"identifier\": \"MIT\", \"url\": \"$license_url\" }"
cat >"$dist/scoop/tavelin.json" <<JSON
{
    "version": "$version",
    "description": "$description",
    "homepage": "$homepage",
    "license": $license,
    "url": "$url$zip",
    "hash": "$zip_hash",
    "shortcuts": [["Tavelin.exe", "Tavelin"]],
    "uninstaller": {
        "script": [
            "if (\$cmd -ne 'uninstall') { return }",
            "\$run = 'HKCU:\\\\Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run'",
            "\$approved = 'HKCU:\\\\Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\StartupApproved\\\\Run'",
            "\$command = (Get-ItemProperty -Path \$run -Name 'Tavelin' -ErrorAction SilentlyContinue).Tavelin",
            "if (\$command -and \$command.Trim('\"').StartsWith((Split-Path \$dir) + '\\\\', 'OrdinalIgnoreCase')) {",
            "    Remove-ItemProperty -Path \$run -Name 'Tavelin'",
            "    Remove-ItemProperty -Path \$approved -Name 'Tavelin' -ErrorAction SilentlyContinue",
            "}"
        ]
    },
    "checkver": {
        "url": "${latest}SHA256SUMS",
        "regex": "Tavelin-([\\\\d.]+)-portable\\\\.zip"
    },
    "autoupdate": {
        "url": "${url//$version/\$version}Tavelin-\$version-portable.zip",
        "hash": {
            "url": "\$baseurl/SHA256SUMS"
        }
    }
}
JSON
