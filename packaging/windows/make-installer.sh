#!/usr/bin/env bash
# Gathers what the Windows program needs into <build>/deploy and makes the installer from it:
#   packaging/windows/make-installer.sh <build folder> <Qt for Windows install folder>
# <build> is a build with Qt for Windows (scripts/windows-gui-check.sh makes build-win-qt);
# writes <build>/tessera-<version>-setup.exe and prints its path last.
#
# The folder: tessera.exe and tessera-cli.exe; the plugins the window loads (the Windows
# platform, the Windows styles, the Schannel TLS backend of the update check); the Qt DLLs these
# import; the posix-threads compiler runtime (libstdc++, libgcc_s_seh, libwinpthread); the help
# pages.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
qt=$(cd "$2" && pwd)
deploy=$build/deploy

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "make-installer: no project version in $build/CMakeCache.txt" >&2; exit 1; }

# The compiler's runtime DLLs, where the posix-threads compiler keeps them.
runtime_dll() {
    local name=$1 path
    path=$(x86_64-w64-mingw32-g++-posix -print-file-name="$name")
    [ -f "$path" ] || path=/usr/x86_64-w64-mingw32/lib/$name
    [ -f "$path" ] || { echo "make-installer: $name not found" >&2; return 1; }
    echo "$path"
}

rm -rf "$deploy"
mkdir -p "$deploy/help"
cp "$build/app/tessera.exe" "$build/cli/tessera-cli.exe" "$deploy/"
# No image format plugins: the window reads no image files (its pictures are drawn or come
# from the style), and a plugin DLL loaded late, once the port's threads run, crashed Wine 8's
# loader (the dynamic TLS slot it makes for every thread).
for plugin in platforms/qwindows styles/qwindowsvistastyle tls/qschannelbackend; do
    [ -f "$qt/plugins/$plugin.dll" ] || continue
    mkdir -p "$deploy/$(dirname "$plugin")"
    cp "$qt/plugins/$plugin.dll" "$deploy/$plugin.dll"
done
[ -f "$deploy/platforms/qwindows.dll" ] || { echo "make-installer: no Windows platform plugin in $qt" >&2; exit 1; }
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    cp "$(runtime_dll "$dll")" "$deploy/"
done
# The Qt DLLs the programs and plugins import, and those these import in turn, until nothing
# imported from Qt is missing.
qt_dlls_missing() {
    find "$deploy" -name '*.exe' -o -name '*.dll' | while read -r binary; do
        x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\tDLL Name: //p'
    done | sort -u | while read -r name; do
        [ -f "$qt/bin/$name" ] && [ ! -f "$deploy/$name" ] && echo "$name"
    done
    return 0
}
while missing=$(qt_dlls_missing) && [ -n "$missing" ]; do
    for name in $missing; do cp "$qt/bin/$name" "$deploy/"; done
done
cp "$repo"/ui/help/*.html "$deploy/help/"
x86_64-w64-mingw32-strip --strip-unneeded "$deploy"/*.exe "$deploy"/*.dll "$deploy"/*/*.dll

# The lists of what is installed and what the uninstaller removes: the same files.
files=$build/installer-files.nsh
unfiles=$build/installer-unfiles.nsh
: >"$files"
: >"$unfiles"
(cd "$deploy" && find . -type d | sort) | while read -r dir; do
    windir=${dir#.}
    windir=${windir//\//\\}
    echo "SetOutPath \"\$INSTDIR$windir\"" >>"$files"
    find "$deploy/${dir#./}" -maxdepth 1 -type f | sort | while read -r file; do
        echo "File \"${file//\/.\//\/}\"" >>"$files"
        echo "Delete \"\$INSTDIR$windir\\$(basename "$file")\"" >>"$unfiles"
    done
done
# Folders deepest first, the installation folder itself last (the uninstaller removes it).
(cd "$deploy" && find . -mindepth 1 -type d | sort -r) | while read -r dir; do
    windir=${dir#.}
    echo "RMDir \"\$INSTDIR${windir//\//\\}\"" >>"$unfiles"
done

out=$build/tessera-$version-setup.exe
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DOUTFILE="$out" -DFILES="$files" \
    -DUNFILES="$unfiles" "$here/tessera.nsi" >&2
echo "$out"
