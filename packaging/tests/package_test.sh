#!/usr/bin/env bash
# package_test.sh BUILD_DIR "SANITIZER FLAGS": the Debian package of the built
# tree, unpacked into a root of its own, used as an operator and as another
# program would: the installed p_ortav's --version and a headless verification
# on the default simulated bench, and a C program built against the installed
# ortav_math through its CMake package and through pkg-config.
set -euo pipefail
build=$1
san=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

# Nothing from the build tree may help the installed copy.
unset ORTAV_DRIVER_PATH LD_LIBRARY_PATH ORTAV_BENCH ORTAV_VISA_LIBRARY DISPLAY WAYLAND_DISPLAY

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/out/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for need in libqt6widgets6 libqt6core6 libyaml-cpp0.7 libstdc++6 qt6-qpa-plugins libqt6sql6-sqlite; do
  [[ ",$depends," == *"$need"* ]] || fail "Depends lacks $need"
done
dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr
multiarch=$(ls "$usr/lib" | grep -- -linux-) || fail "no multiarch library folder"
for f in bin/p_ortav "lib/$multiarch/libortav_math.so" lib/p_ortav/libortav_simvisa.so \
         include/ortav_math/ortav_math.h "lib/$multiarch/cmake/ortav_math/ortav_mathConfig.cmake" \
         "lib/$multiarch/pkgconfig/ortav_math.pc" share/applications/p_ortav.desktop \
         share/icons/hicolor/scalable/apps/p_ortav.svg share/man/man1/p_ortav.1 \
         share/p_ortav/meters.yaml; do
  [ -e "$usr/$f" ] || fail "$f is not in the package"
done

# ortav_math: the file of its full version, its soname link and the link for
# linking, both pointing at it, as dpkg unpacks them.
libdir=$usr/lib/$multiarch
real=$(cd "$libdir" && ls libortav_math.so.*.*.*) || fail "no libortav_math.so.X.Y.Z"
{ [ -f "$libdir/$real" ] && [ ! -L "$libdir/$real" ]; } || fail "$real is not a file"
soname=${real%.*.*}
[ "$(readlink "$libdir/$soname")" = "$real" ] || fail "$soname is not a link to $real"
[ "$(readlink -f "$libdir/libortav_math.so")" = "$(readlink -f "$libdir/$real")" ] ||
  fail "libortav_math.so does not lead to $real"
objdump -p "$libdir/$real" | grep -qE "SONAME +$soname$" || fail "$real does not name itself $soname"

# The installed program: its libraries from the installed tree, ortav_math intact.
version=$("$usr/bin/p_ortav" --version)
echo "$version"
grep -qx "ortav_math [0-9.]*, $libdir/$soname, CRC32=[0-9A-F]\{8\}: intact" \
  <<<"$version" || fail "the installed ortav_math does not check intact"
grep -q "^VISA: simulated bench, $usr/lib/p_ortav/libortav_simvisa.so" <<<"$version" ||
  fail "the installed program does not use its own simulated VISA"

mkdir "$work/run"
rc=0
(cd "$work/run" && ORTAV_VIRTUAL_CLOCK=1 "$usr/bin/p_ortav" --batch verify >out.txt 2>err.txt) ||
  rc=$?
[ "$rc" -eq 0 ] || { cat "$work/run/err.txt"; fail "installed --batch verify exited $rc"; }
grep -q "^verification: 94 of 94 points judged, 94 passed" "$work/run/out.txt" ||
  { cat "$work/run/out.txt"; fail "no verdict"; }
! grep -q "контрольная сумма" "$work/run/err.txt" || fail "integrity warning in a run"

# Another program, in C, through the CMake package...
cmake -S "$(dirname "$0")/consumer" -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$usr" \
  -DCMAKE_C_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="$san" >"$work/consumer.log" 2>&1 &&
  cmake --build "$work/consumer" >>"$work/consumer.log" 2>&1 ||
  { cat "$work/consumer.log"; fail "the consumer does not build with find_package(ortav_math)"; }
"$work/consumer/consumer" || fail "the consumer (CMake package) got wrong answers"
# ...and through pkg-config.
export PKG_CONFIG_PATH="$usr/lib/$multiarch/pkgconfig"
# shellcheck disable=SC2046,SC2086
cc $san -o "$work/consumer-pc" "$(dirname "$0")/consumer/consumer.c" \
  $(pkg-config --cflags --libs ortav_math) -lm -Wl,-rpath,"$usr/lib/$multiarch" ||
  fail "the consumer does not build with pkg-config"
"$work/consumer-pc" || fail "the consumer (pkg-config) got wrong answers"
echo "package_test: passed"
