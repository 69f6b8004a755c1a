#!/usr/bin/env bash
# Makes docs/screenshot.png: runs Trovik32 on a private virtual X display
# (Xvfb) over a small generated folder with Japanese names, an LZH archive and
# a Shift-JIS text, selects the text so that its preview shows, and saves the
# screen. Uses a private profile; the user's settings are not touched.
#   scripts/screenshot.sh [OUT.png] [BUILD_DIR]     (default: docs/screenshot.png, build)
# Needs xvfb, xauth, xdotool and imagemagick (scripts/setup.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/screenshot.png}")
build=${2:-build}
for t in xvfb-run xdotool import iconv; do
  command -v $t > /dev/null || { echo "screenshot.sh: needs $t (scripts/setup.sh installs it)" >&2; exit 2; }
done
[ -x "$build/trovik32" ] || scripts/build.sh "$build" > /dev/null

width=820 height=600
work=$(mktemp -d "${TMPDIR:-/tmp}/trovik32-shot.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The folder shown: Japanese names (UTF-8 on disk), an archive, a Shift-JIS text.
home=$work/ドキュメント
mkdir -p "$home/写真" "$home/書類" "$home/音楽"
printf '%s\r\n' \
  'Trovik32 へようこそ' \
  '' \
  'このファイルは Shift-JIS (コードページ 932) で書かれています。' \
  '上のリストで項目を選ぶと、ここにその中身がすぐに表示されます。' \
  '' \
  '・フォルダ … 緑色で表示され、Enter で中に入ります。' \
  '・ファイル … 黒色で表示され、Enter で全体を表示します。' \
  '・ドライブ … 赤色で表示され、Enter で切り替えます。' \
  '・LZH 書庫 … フォルダと同じように中を見られます。' \
  '' \
  'ｷｰﾎﾞｰﾄﾞだけで素早く操作できます。Ctrl+F で検索、Ctrl+U で EUC 変換。' \
  | iconv -f UTF-8 -t CP932 > "$home/Readme_はじめに.txt"
printf '%s\r\n' '議事録' '出席者: 山田、佐藤、鈴木' '決定事項: 次回は来週の月曜日' \
  | iconv -f UTF-8 -t CP932 > "$home/議事録_12月.txt"
printf 'item,price\r\nA,100\r\nB,250\r\n' > "$home/見積書.csv"
cp tests/data/fixtures/lzh/names.lzh "$home/資料.lzh"
printf 'memo\r\n' > "$home/memo.txt"
touch -d '2026-12-01 10:00' "$home"/* "$home"/*/

# A private profile: the start folder above, the window filling the screen.
# Backslashes are doubled in the file.
mkdir -p "$work/config/Ostrel"
start="c:$(printf '%s' "$home" | sed 's|/|\\\\|g')"
cat > "$work/config/Ostrel/Trovik32.conf" <<CONF
[Path]
StartPath=$start

[WinPos]
left=0
top=0
right=$width
bottom=$height
CONF

export XDG_CONFIG_HOME=$work/config
xvfb-run -a -s "-screen 0 ${width}x${height}x24 -nolisten tcp" bash -c '
  out=$1 program=$2 log=$3
  QT_QPA_PLATFORM=xcb "$program" > "$log" 2>&1 & pid=$!
  w=""
  for _ in $(seq 1 100); do
    w=$(xdotool search --onlyvisible --name "Trovik32" 2> /dev/null | head -1) || true
    [ -n "$w" ] && break
    kill -0 $pid 2> /dev/null || break
    sleep 0.1
  done
  if [ -z "$w" ]; then echo "screenshot.sh: no window appeared" >&2; cat "$log" >&2; kill $pid 2> /dev/null; exit 1; fi
  sleep 1
  # No window manager: the keyboard follows the pointer, so it rests on the window.
  eval "$(xdotool getwindowgeometry --shell "$w")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + 40)); sleep 0.3
  xdotool key r; sleep 1
  import -window root "$out"
  kill $pid 2> /dev/null; wait $pid 2> /dev/null || true
' screenshot "$out" "$(realpath "$build/trovik32")" "$work/log"
echo "saved $out"
