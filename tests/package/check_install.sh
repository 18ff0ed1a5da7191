#!/usr/bin/env bash
# Installs a native build into a fresh prefix and classifies the shipped
# example images with the installed host, plug-in and rules, from a folder
# outside the source tree.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
# No user rule file of whoever runs this: the installed examples are read.
export XDG_CONFIG_HOME="$prefix/config"
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/pixtagger-host lib/pixtagger/pixtagger.so include/pixtagger.h share/pixtagger/rules.ini \
  share/locale/ja/LC_MESSAGES/pixtagger-host.mo; do
  [ -e "$prefix/$f" ] || { echo "FAIL: the install lacks $f"; exit 1; }
done
out=$(cd "$prefix" && "$prefix/bin/pixtagger-host" classify "$source/examples/images/icon.bmp" "$source/examples/images/web.png")
want="$source/examples/images/icon.bmp	32×32	1024 px	サムネイル [サイズ]
$source/examples/images/web.png	800×600	480000 px	Web [サイズ], 表示用 [用途]"
if [ "$out" != "$want" ]; then
  echo "FAIL: the installed host printed:"
  echo "$out"
  exit 1
fi
echo "check_install: the installed pixtagger-host classifies the examples with the installed rules"
