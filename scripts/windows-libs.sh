#!/usr/bin/env bash
# Builds the static third-party libraries of the Windows host for both mingw
# targets, from Debian 12's own source packages, and caches them:
# expat, Exiv2 (with XMP and BMFF), the JPEG XL decoder with brotli and highway,
# and gettext's libintl; zlib is Debian's libz-mingw-w64-dev.
#
# Usage (as root):
#   windows-libs.sh           builds when needed; the last line of stdout is
#                             the cache root:  root=$(windows-libs.sh | tail -n1)
#   windows-libs.sh --print   prints the root of a ready cache without building
#                             or going online; exit 1 when there is none
#
# The root holds:
#   <target>/{include,lib}  per target (i686-w64-mingw32, x86_64-w64-mingw32)
#   sources/                the Debian source packages built (.dsc, .orig.tar.*,
#                           .debian.tar.*) and zlib's when the archive serves
#                           it: the corresponding source Exiv2's GPL asks for
#   licenses/<library>/     the licence texts a binary with these libraries owes
#   versions.txt            what was built, and from which archive
#
# A consumer compiles with -I<root>/<target>/include -DJXL_STATIC_DEFINE (without
# it libjxl's headers ask for __imp_Jxl* from a DLL), links with -L<root>/<target>/lib
#   -lexiv2 -lexiv2-xmp -lexpat -ljxl_dec -lbrotlidec-static
#   -lbrotlicommon-static -lhwy -lintl -lz -lpsapi -lws2_32 -lshell32
# and, since all of them are C++ or need the C++ runtime, links with g++ and
# -static -static-libgcc -static-libstdc++ so that no runtime DLL is needed.
# libjxl names its static decoder libjxl_dec.a under mingw. The CMake packages
# under lib/cmake (exiv2: target exiv2lib; expat; hwy) name this path:
# Exiv2's needs find_package(Threads) and find_package(ZLIB) first, with
# ZLIB_LIBRARY=/usr/<target>/lib/libz.a (else CMake picks libz.dll.a). libjxl
# and brotli have none here: link them by name.
#
# The cache is keyed on the source versions in Debian's indexes, the compilers
# and this script's content; an old key's cache is simply not used. The indexes
# are kept in the cache's own apt lists (never the machine's) and refreshed when
# older than a day (PIXTAGGER_WINLIBS_REFRESH=1 forces it, =0 never), so a run
# with a ready cache needs no network. A newer version in bookworm-security is
# built when the archive serves its files; when it answers 404 the main one is
# (and stays so under this key), any other download failure stops the build.
# Build logs: /var/cache/pixtagger-winlibs/build.log (fetching, unpacking)
# and build.<target>.log (each target's build; the two are built at once,
# so that one's single-threaded configure steps overlap the other's compiles).
set -euo pipefail

readonly CACHE=/var/cache/pixtagger-winlibs
readonly SUITE=bookworm
readonly TARGETS=(i686-w64-mingw32 x86_64-w64-mingw32)
# Built in this order; lcms2 gives only headers (libjxl's configure looks for
# them; its decoder uses no lcms2 code); of gettext only libintl is built.
readonly PACKAGES=(expat exiv2 brotli highway jpeg-xl lcms2 gettext)
readonly REFRESH_AFTER=86400 # seconds before the private index is fetched anew
LOG=$CACHE/build.log

say() { echo "windows-libs: $*" >&2; }
die() {
  say "$*"
  exit 1
}
now_s() { printf '%s' "${EPOCHSECONDS}"; }

SCRIPT=$(readlink -f "${BASH_SOURCE[0]}")
# shellcheck source=debian-archive.sh
. "$(dirname "$SCRIPT")/debian-archive.sh"
readonly SCRIPT
JOBS=$(nproc)
readonly JOBS

# --- what the key is made of ---------------------------------------------------

# Private apt configuration: our own source list, lists and caches.
APT=(-o "Dir::Etc::SourceList=$CACHE/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
  -o "Dir::State::Lists=$CACHE/apt/lists" -o "Dir::Cache=$CACHE/apt/cache")

# Prints "PACKAGE VERSION" for our packages in the private index of SUITE
# (the highest version when the index lists several).
index_versions() {
  local f
  for f in "$CACHE/apt/lists/"*"_dists_$1_main_source_Sources"*; do
    [ -f "$f" ] || continue
    /usr/lib/apt/apt-helper cat-file "$f"
  done | awk -v want=" ${PACKAGES[*]} " '
      /^Package: / { p = $2 } /^Version: / { v = $2 }
      /^$/ { if (index(want, " " p " ")) print p, v; p = "" }
      END { if (index(want, " " p " ")) print p, v }' | sort -u | sort_versions
}

# Keeps the highest version of each package in "PACKAGE VERSION" lines.
sort_versions() {
  local p v best_p="" best_v=""
  while read -r p v; do
    if [ "$p" != "$best_p" ]; then
      [ -n "$best_p" ] && echo "$best_p $best_v"
      best_p=$p best_v=$v
    elif dpkg --compare-versions "$v" gt "$best_v"; then
      best_v=$v
    fi
  done
  [ -n "$best_p" ] && echo "$best_p $best_v"
  return 0
}

# The candidates: "PACKAGE MAIN_VERSION SECURITY_VERSION" (security "-" when the
# security index has none, or none newer). Fails when an index lacks a package.
candidates() {
  local main security p v s
  main=$(index_versions "$SUITE")
  security=$(index_versions "$SUITE-security")
  for p in "${PACKAGES[@]}"; do
    v=$(awk -v p="$p" '$1 == p { print $2 }' <<<"$main")
    [ -n "$v" ] || return 1
    s=$(awk -v p="$p" '$1 == p { print $2 }' <<<"$security")
    if [ -z "$s" ] || ! dpkg --compare-versions "$s" gt "$v"; then s=-; fi
    echo "$p $v $s"
  done
}

# What the compilers are: their --version says only "12-posix", so the Debian
# package versions of the compilers, runtime headers, binutils and zlib count.
toolchain_id() {
  local t a
  for t in "${TARGETS[@]}"; do
    a=${t%%-*}
    a=${a/_/-}
    "$t-g++-posix" --version | head -n 1
    dpkg-query -W -f='${Package} ${Version}\n' "g++-mingw-w64-$a-posix" "gcc-mingw-w64-$a-posix" \
      "mingw-w64-$a-dev" "binutils-mingw-w64-$a"
  done
  dpkg-query -W -f='${Package} ${Version}\n' libz-mingw-w64-dev cmake
}

# The cache key: hash of the candidates, the toolchain and this script.
cache_key() {
  local cands tools
  cands=$(candidates) || return 1
  tools=$(toolchain_id 2>/dev/null) || return 1
  { echo "$cands"; echo "$tools"; sha256sum <"$SCRIPT"; } | sha256sum | cut -c1-16
}

cache_ready() { [ -f "$1/complete" ] && [ -s "$1/versions.txt" ]; }

# --- preparing the machine -----------------------------------------------------

# Writes the private source list from the machine's own archives and fetches
# the source indexes when they are missing or old. A failed refresh keeps the
# old indexes, so that a ready cache stays usable offline.
refresh_index() {
  local main security age=$REFRESH_AFTER stamp=$CACHE/apt/updated list
  main=$(archive_for "$SUITE")
  [ -n "$main" ] || die "no Debian archive for $SUITE in /etc/apt/sources.list or /etc/apt/sources.list.d"
  security=$(archive_for "$SUITE-security")
  [ -n "$security" ] || say "no $SUITE-security archive in the apt sources: building the main archive's versions"
  list="deb-src $main $SUITE main"
  [ -n "$security" ] && list+=$'\n'"deb-src $security $SUITE-security main"
  mkdir -p "$CACHE/apt/lists/partial" "$CACHE/apt/cache"
  if [ "$(cat "$CACHE/apt/sources.list" 2>/dev/null)" != "$list" ]; then
    printf '%s\n' "$list" >"$CACHE/apt/sources.list"
    rm -f "$stamp"
  fi
  [ -f "$stamp" ] && age=$(($(now_s) - $(stat -c %Y "$stamp")))
  case "${PIXTAGGER_WINLIBS_REFRESH:-}" in
    1) age=$REFRESH_AFTER ;;
    0) [ -f "$stamp" ] && age=0 ;;
  esac
  [ "$age" -lt "$REFRESH_AFTER" ] && return 0
  say "fetching the source indexes of $SUITE and $SUITE-security"
  if apt-get "${APT[@]}" --error-on=any update >"$CACHE/apt/update.log" 2>&1; then
    touch "$stamp"
  elif [ -f "$stamp" ]; then
    say "could not refresh the source indexes (see $CACHE/apt/update.log); using the old ones"
  else
    die "could not fetch the source indexes; see $CACHE/apt/update.log"
  fi
}

# --- fetching and unpacking ----------------------------------------------------

# fetch PACKAGE VERSION DIR: downloads one source package into DIR. Returns 2
# when the archive lacks its files (404), 1 on other failures.
fetch() {
  local out failed rc=0
  rm -rf "$3"
  mkdir -p "$3"
  # apt downloads as _apt when it can write there.
  id _apt >/dev/null 2>&1 && chown _apt "$3"
  out=$(cd "$3" && apt-get "${APT[@]}" source --download-only "$1=$2" 2>&1) || rc=$?
  printf '%s\n' "$out" >>"$LOG"
  [ "$rc" -eq 0 ] && return 0
  failed=$(grep -E '^E: Failed to fetch [a-z+]+:' <<<"$out" || true)
  if [ -n "$failed" ] && ! grep -qv ' 404 ' <<<"$failed"; then
    return 2
  fi
  return 1
}

# Fetches every package into $work/sources (the security version when it is
# newer and served, else the main one) and writes $work/versions.txt.
fetch_all() {
  local p v s rc zv zsrc
  mkdir -p "$work/sources"
  {
    echo "# Debian source packages built by scripts/windows-libs.sh for ${TARGETS[*]}"
    echo "# package version archive"
  } >"$work/versions.txt"
  while read -r p v s; do
    rc=0
    if [ "$s" != - ]; then
      fetch "$p" "$s" "$work/dl/$p" || rc=$?
      if [ "$rc" -eq 0 ]; then
        echo "$p $s $SUITE-security" >>"$work/versions.txt"
        mv "$work/dl/$p/"* "$work/sources/"
        continue
      fi
      [ "$rc" -eq 2 ] || die "could not fetch $p $s; see $LOG"
      say "$p $s of $SUITE-security is listed but not served; using $v"
    fi
    rc=0
    fetch "$p" "$v" "$work/dl/$p" || rc=$?
    [ "$rc" -eq 0 ] || die "could not fetch $p $v; see $LOG"
    if [ "$s" != - ]; then
      echo "$p $v $SUITE ($SUITE-security lists $s, whose files the archive does not serve)"
    else
      echo "$p $v $SUITE"
    fi >>"$work/versions.txt"
    mv "$work/dl/$p/"* "$work/sources/"
  done < <(candidates)

  # zlib: the source of the very binary package that is installed.
  zsrc=$(dpkg-query -W -f='${source:Package}' libz-mingw-w64-dev)
  zv=$(dpkg-query -W -f='${source:Version}' libz-mingw-w64-dev)
  rc=0
  fetch "$zsrc" "$zv" "$work/dl/$zsrc" || rc=$?
  if [ "$rc" -eq 0 ]; then
    mv "$work/dl/$zsrc/"* "$work/sources/"
    echo "$zsrc $zv binary package libz-mingw-w64-dev, source kept" >>"$work/versions.txt"
  elif [ "$rc" -eq 2 ]; then
    say "warning: the archive does not serve the source of libz-mingw-w64-dev $zv"
    echo "$zsrc $zv binary package libz-mingw-w64-dev, SOURCE NOT SERVED by the archive" >>"$work/versions.txt"
  else
    die "could not fetch $zsrc $zv; see $LOG"
  fi
  rm -rf "$work/dl"
}

# Unpacks a fetched package with Debian's patches applied into $work/src/PACKAGE.
unpack() {
  local dsc
  dsc=$(ls "$work/sources/$1"_*.dsc)
  mkdir -p "$work/src"
  dpkg-source -x "$dsc" "$work/src/$1" >>"$LOG" 2>&1 || die "could not unpack $dsc; see $LOG"
}

# Copies the licence texts (upstream's, and Debian's copyright file, which also
# covers bundled parts such as Exiv2's XMP SDK) into $work/licenses.
licenses() {
  local lib=$1 dir=$2 f
  shift 2
  mkdir -p "$work/licenses/$lib"
  for f in "$@"; do
    cp "$dir/$f" "$work/licenses/$lib/"
  done
  [ -f "$dir/debian/copyright" ] && cp "$dir/debian/copyright" "$work/licenses/$lib/copyright"
  return 0
}

# --- building ------------------------------------------------------------------

# configure TARGET NAME SOURCE [CMAKE ARGS...]: configures $work/build/TARGET/NAME.
configure() {
  local t=$1 name=$2 src=$3
  shift 3
  cmake -S "$src" -B "$work/build/$t/$name" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$work/build/$t/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_C_FLAGS="-g0" -DCMAKE_CXX_FLAGS="-g0" \
    -DCMAKE_INSTALL_PREFIX="$work/$t" -DCMAKE_INSTALL_LIBDIR=lib \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF "$@" >>"$LOG" 2>&1 ||
    die "$t: configuring $name failed; see $LOG"
}

# compile TARGET NAME [NINJA TARGETS...]
compile() {
  local t=$1 name=$2
  shift 2
  cmake --build "$work/build/$t/$name" -j "$JOBS" ${1+--target "$@"} >>"$LOG" 2>&1 ||
    die "$t: building $name failed; see $LOG"
}

install_built() {
  cmake --install "$work/build/$1/$2" >>"$LOG" 2>&1 || die "$1: installing $2 failed; see $LOG"
}

# Reports the library just built and how long it took (since the last mark).
mark() {
  local now
  now=$(now_s)
  say "$1: $2 ($((now - last_mark)) s)"
  last_mark=$now
}

build_target() {
  local t=$1 p=$work/$1 start b last_mark
  local -a cpu
  : >"$LOG"
  start=$(now_s)
  last_mark=$start
  mkdir -p "$work/build/$t" "$p/include" "$p/lib"
  case $t in
    i686-*) cpu=(i686) ;;
    *) cpu=(x86_64) ;;
  esac
  cat >"$work/build/$t/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${cpu[0]})
set(CMAKE_C_COMPILER $t-gcc-posix)
set(CMAKE_CXX_COMPILER $t-g++-posix)
set(CMAKE_RC_COMPILER $t-windres)
set(CMAKE_AR /usr/bin/$t-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/$t-ranlib CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH /usr/$t $p)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
  # pkg-config sees only this prefix, never the machine's own libraries.
  export PKG_CONFIG_LIBDIR=$p/lib/pkgconfig PKG_CONFIG_PATH=

  configure "$t" expat "$work/src/expat/expat" -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF \
    -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_FUZZERS=OFF
  compile "$t" expat
  install_built "$t" expat
  mark "$t" expat

  configure "$t" exiv2 "$work/src/exiv2" -DEXIV2_ENABLE_XMP=ON -DEXIV2_ENABLE_BMFF=ON \
    -DEXIV2_ENABLE_PNG=ON -DEXIV2_ENABLE_NLS=OFF -DEXIV2_ENABLE_WIN_UNICODE=ON -DEXIV2_ENABLE_VIDEO=OFF \
    -DEXIV2_ENABLE_WEBREADY=OFF -DEXIV2_ENABLE_CURL=OFF -DEXIV2_ENABLE_SSH=OFF \
    -DEXIV2_BUILD_SAMPLES=OFF -DEXIV2_BUILD_EXIV2_COMMAND=OFF -DEXIV2_BUILD_UNIT_TESTS=OFF \
    -DEXIV2_BUILD_FUZZ_TESTS=OFF -DEXIV2_BUILD_DOC=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Python3=ON \
    -DEXPAT_INCLUDE_DIR="$p/include" -DEXPAT_LIBRARY="$p/lib/libexpat.a" \
    -DZLIB_INCLUDE_DIR="/usr/$t/include" -DZLIB_LIBRARY="/usr/$t/lib/libz.a"
  compile "$t" exiv2
  install_built "$t" exiv2
  mark "$t" exiv2

  # Only the static libraries (the default target also makes DLLs and a tool);
  # the encoder too, since libjxl's configure looks for all three.
  configure "$t" brotli "$work/src/brotli" -DBROTLI_DISABLE_TESTS=ON
  compile "$t" brotli brotlicommon-static brotlidec-static brotlienc-static
  b=$work/build/$t/brotli
  cp "$b/libbrotlicommon-static.a" "$b/libbrotlidec-static.a" "$b/libbrotlienc-static.a" "$p/lib/"
  cp -r "$work/src/brotli/c/include/brotli" "$p/include/"
  mark "$t" brotli

  configure "$t" highway "$work/src/highway" -DHWY_ENABLE_TESTS=OFF -DHWY_ENABLE_EXAMPLES=OFF \
    -DHWY_ENABLE_CONTRIB=OFF
  # hwy_test too: highway's install step and CMake package insist on it.
  compile "$t" highway hwy hwy_test
  install_built "$t" highway
  mark "$t" highway

  # Debian's tarball has empty third_party folders: brotli and highway come from
  # the prefix, lcms2's headers from its source (the decoder links none of it).
  # HWY_COMPILE_ONLY_STATIC: one SIMD target instead of five; we read only the
  # header, and it takes a third off the build and half off the library.
  configure "$t" jpeg-xl "$work/src/jpeg-xl" \
    -DCMAKE_C_FLAGS="-g0 -DJXL_STATIC_DEFINE -DHWY_COMPILE_ONLY_STATIC" \
    -DCMAKE_CXX_FLAGS="-g0 -DJXL_STATIC_DEFINE -DHWY_COMPILE_ONLY_STATIC" \
    -DJPEGXL_ENABLE_TOOLS=OFF -DJPEGXL_ENABLE_DEVTOOLS=OFF -DJPEGXL_ENABLE_BENCHMARK=OFF \
    -DJPEGXL_ENABLE_EXAMPLES=OFF -DJPEGXL_ENABLE_PLUGINS=OFF -DJPEGXL_ENABLE_FUZZERS=OFF \
    -DJPEGXL_ENABLE_VIEWERS=OFF -DJPEGXL_ENABLE_JNI=OFF -DJPEGXL_ENABLE_SJPEG=OFF \
    -DJPEGXL_ENABLE_OPENEXR=OFF -DJPEGXL_ENABLE_TCMALLOC=OFF -DJPEGXL_ENABLE_DOXYGEN=OFF \
    -DJPEGXL_ENABLE_MANPAGES=OFF -DJPEGXL_ENABLE_SKCMS=OFF -DJPEGXL_BUNDLE_SKCMS=OFF \
    -DJPEGXL_ENABLE_TRANSCODE_JPEG=OFF -DJPEGXL_BUNDLE_LIBPNG=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_PNG=ON -DCMAKE_DISABLE_FIND_PACKAGE_GIF=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_JPEG=ON -DCMAKE_DISABLE_FIND_PACKAGE_ZLIB=ON \
    -DJPEGXL_FORCE_SYSTEM_BROTLI=ON -DJPEGXL_FORCE_SYSTEM_HWY=ON -DJPEGXL_FORCE_SYSTEM_LCMS2=ON \
    -DBROTLI_INCLUDE_DIR="$p/include" -DBROTLICOMMON_LIBRARY="$p/lib/libbrotlicommon-static.a" \
    -DBROTLIDEC_LIBRARY="$p/lib/libbrotlidec-static.a" -DBROTLIENC_LIBRARY="$p/lib/libbrotlienc-static.a" \
    -DHWY_INCLUDE_DIR="$p/include" -DHWY_LIBRARY="$p/lib/libhwy.a" \
    -DLCMS2_INCLUDE_DIR="$work/src/lcms2/include" -DLCMS2_LIBRARY=lcms2-headers-only
  compile "$t" jpeg-xl jxl_dec-static
  b=$work/build/$t/jpeg-xl/lib
  cp "$b/libjxl_dec.a" "$p/lib/"
  mkdir -p "$p/include/jxl"
  # The decoder's headers; the encoder and the thread runners are not built.
  (cd "$work/src/jpeg-xl/lib/include/jxl" && cp codestream_header.h color_encoding.h cms_interface.h \
    decode.h decode_cxx.h memory_manager.h parallel_runner.h types.h "$p/include/jxl/")
  cp "$b/include/jxl/jxl_export.h" "$b/include/jxl/version.h" "$p/include/jxl/"
  mark "$t" "jpeg-xl decoder"

  # libintl alone, static, without iconv (the catalogs are UTF-8 and so are
  # the texts asked for), its locks Windows' own; libasprintf's configure,
  # a C++ one, is not run. Its generated files are
  # made newer than Debian's patches to their inputs, which only concern the
  # shared library's links and Java: an autoreconf would be needed otherwise.
  b=$work/build/$t/gettext
  mkdir -p "$b"
  (cd "$b" && "$work/src/gettext/gettext-runtime/configure" --no-recursion --host="$t" CC="$t-gcc-posix" CXX="$t-g++-posix" \
    CFLAGS="-O2 -g0" --prefix="$p" --disable-shared --enable-static --disable-java --disable-csharp \
    --disable-libasprintf --disable-c++ --enable-threads=windows --without-libiconv-prefix --disable-rpath \
    --disable-dependency-tracking >>"$LOG" 2>&1) || die "$t: configuring gettext failed; see $LOG"
  make -C "$b/intl" -j "$JOBS" >>"$LOG" 2>&1 || die "$t: building libintl failed; see $LOG"
  cp "$b/intl/.libs/libintl.a" "$p/lib/"
  cp "$b/intl/libintl.h" "$p/include/"
  mark "$t" libintl

  rm -rf "${p:?}/share/doc" "${p:?}/share/man" "${p:?}/bin"
  say "$t: done in $(($(now_s) - start)) s"
}

# The installed CMake and pkg-config files name the folder they were built in:
# point them at the final one.
relocate() {
  local from=$1 to=$2 f
  while read -r f; do
    sed -i "s|$from|$to|g" "$f"
  done < <(grep -rlIF "$from" "$work"/*-w64-mingw32 || true)
}

# Removes older caches (other keys), keeping the newest KEEP of them: a
# developer switching between branches need not rebuild every time.
prune() {
  local keep=$1 current=$2 d n=0
  while read -r d; do
    n=$((n + 1))
    if [ "$n" -gt "$keep" ]; then rm -rf "$d"; fi
  done < <(for d in "$CACHE"/*/; do
    d=${d%/}
    if [[ ${d##*/} =~ ^[0-9a-f]{16}$ ]] && [ "$d" != "$current" ]; then
      echo "$(stat -c %Y "$d") $d"
    fi
  done | sort -rn | cut -d' ' -f2-)
}

build() { # KEY
  local key=$1 root=$CACHE/$1 start t
  cache_ready "$root" && return 0

  start=$(now_s)
  # Leftovers of a killed build are never trusted: start over.
  for t in "$CACHE"/tmp.*; do
    [ -d "$t" ] && rm -rf "$t"
  done
  [ -e "$root" ] && rm -rf "$root"
  work=$(mktemp -d "$CACHE/tmp.XXXXXX")
  chmod 755 "$work"
  trap 'rm -rf "$work"' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  : >"$LOG"
  say "building into $root (log: $LOG)"

  fetch_all
  for t in "${PACKAGES[@]}"; do
    unpack "$t"
  done
  # Debian's CVE-2024-8176 backport tests "#if XML_DTD == 1", which CMake's
  # plain #cmakedefine leaves empty.
  sed -i 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' "$work/src/expat/expat/expat_config.h.cmake"
  (cd "$work/src/gettext/gettext-runtime" && touch aclocal.m4 && touch -d '+1 second' configure config.h.in &&
    find . -name Makefile.in -exec touch -d '+2 seconds' {} +)

  licenses exiv2 "$work/src/exiv2" COPYING
  licenses expat "$work/src/expat" COPYING
  licenses libjxl "$work/src/jpeg-xl" LICENSE PATENTS
  licenses brotli "$work/src/brotli" LICENSE
  licenses highway "$work/src/highway" LICENSE
  licenses libintl "$work/src/gettext" gettext-runtime/intl/COPYING.LIB
  mkdir -p "$work/licenses/zlib" "$work/licenses/mingw-w64"
  cp /usr/share/doc/libz-mingw-w64-dev/copyright "$work/licenses/zlib/copyright"
  # Every mingw program carries the runtime's start-up code and, with the posix
  # compilers, winpthreads: their terms ask for the notice too.
  cp /usr/share/doc/mingw-w64-common/copyright "$work/licenses/mingw-w64/copyright"

  local pids=() status=0
  for t in "${TARGETS[@]}"; do
    LOG=$CACHE/build.$t.log build_target "$t" &
    pids+=($!)
  done
  for t in "${pids[@]}"; do
    wait "$t" || status=1
  done
  [ "$status" -eq 0 ] || die "a target's libraries could not be built (see above)"
  relocate "$work" "$root"
  rm -rf "$work/src" "$work/build"

  echo "$key" >"$work/complete"
  mv "$work" "$root"
  trap - EXIT
  prune 1 "$root"
  say "built in $(($(now_s) - start)) s"
}

print_versions() {
  grep -v '^#' "$1/versions.txt" | sed 's/^/windows-libs: built /' >&2
}

case "${1:-}" in
  --print)
    key=$(cache_key 2>/dev/null) || exit 1
    cache_ready "$CACHE/$key" || exit 1
    echo "$CACHE/$key"
    ;;
  "")
    [ "$(id -u)" -eq 0 ] || die "must run as root (it installs packages and writes $CACHE)"
    install_missing_packages cmake ninja-build dpkg-dev xz-utils g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
      libz-mingw-w64-dev
    mkdir -p "$CACHE"
    exec 9>"$CACHE/lock"
    flock 9
    refresh_index
    key=$(cache_key) || die "the source indexes lack one of ${PACKAGES[*]}; see $CACHE/apt/update.log"
    build "$key"
    cache_ready "$CACHE/$key" || die "no complete cache in $CACHE/$key"
    print_versions "$CACHE/$key"
    echo "$CACHE/$key"
    ;;
  *) die "usage: windows-libs.sh [--print]" ;;
esac
