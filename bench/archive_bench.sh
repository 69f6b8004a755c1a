#!/usr/bin/env bash
# archive_bench.sh BUILD_DIR
#
# Times libunlha32 against lhasa's own command-line tool:
#   archive_list_2000   listing an archive of 2,000 small members:
#                       `unlha32_bench LIB list ARCHIVE` (FindFirst/FindNext
#                       over all members) vs `lhasa l ARCHIVE > /dev/null`
#   archive_extract_5mb extracting one 5 MB -lh5- member:
#                       `unlha32_bench LIB extract ARCHIVE MEMBER` (into a
#                       memory buffer) vs `lhasa p ARCHIVE MEMBER > /dev/null`
#
# Both sides are measured the same way: the wall time of a whole process
# (start, dynamic loading, work, exit), one process per run, runs of the two
# interleaved, median of RUNS runs (default 15). The archives are made with
# jlha (jlha-utils) in a temporary folder that is removed afterwards.
#
# Two more compare the library with itself, on hostile input:
#   archive_list_refused_20000  listing 20,000 members whose headers lhasa
#                       refuses (method -lk7-), read by the library's own
#                       header walk, vs 20,000 ordinary -lh0- members
#   archive_sfx_search_hostile  UnlhaCheckArchive on a 1 MiB "MZ" stub
#                       packed with level 2 header look-alikes, vs the same
#                       stub without them (the search's work is bounded)
#
# Output, one line each:
#   archive_list_2000 VALUE ms baseline=V ratio=R
#   archive_extract_5mb VALUE ms baseline=V ratio=R
#   archive_list_refused_20000 VALUE ms baseline=V ratio=R
#   archive_sfx_search_hostile VALUE ms baseline=V ratio=R
# where ratio = ours / baseline (goal: <= 1.2 against lhasa).
set -euo pipefail

BUILD=${1:?usage: archive_bench.sh BUILD_DIR}
RUNS=${RUNS:-15}

BUILD=$(cd "$BUILD" && pwd)
LIB=$BUILD/libunlha32.so
BENCH=$BUILD/unlha32_bench
[[ -x $BENCH ]] || BENCH=$BUILD/unlha32/unlha32_bench
for f in "$LIB" "$BENCH"; do
  [[ -e $f ]] || { echo "archive_bench: $f not found (build the targets unlha32 and unlha32_bench)" >&2; exit 2; }
done
for tool in jlha lhasa awk perl; do
  command -v "$tool" >/dev/null || { echo "archive_bench: $tool is not installed" >&2; exit 2; }
done

TMP=$(mktemp -d /tmp/archive_bench.XXXXXX)
trap 'rm -rf "$TMP"' EXIT

# --- The archives ------------------------------------------------------------
mkdir -p "$TMP/small" "$TMP/large"
(
  cd "$TMP/small"
  for i in $(seq -w 1 2000); do
    printf 'member %s of the listing benchmark\r\n' "$i" > "m$i.txt"
  done
  jlha aqo5 "$TMP/list2000.lzh" ./*.txt > /dev/null 2>&1
)
# 5 MB of pseudo-random text (deterministic), compressible like prose.
awk 'BEGIN {
  srand(20240607);
  n = split("the of and to in is that for it as was with be by on not he this are or his from at which but have an they you were her she there been one all we their has would when if so no what up out who them some could him into its then two more these time may do like other than my first over only new also any very", w, " ");
  total = 0;
  while (total < 5242880) {
    line = "";
    k = 6 + int(rand() * 10);
    for (i = 0; i < k; i++) line = line w[1 + int(rand() * n)] (rand() < 0.1 ? "," : "") " ";
    line = line int(rand() * 100000) ".\r";
    print line; total += length(line) + 1;
  }
}' > "$TMP/large/big5mb.txt"
truncate -s 5242880 "$TMP/large/big5mb.txt"
( cd "$TMP/large" && jlha aqo5 "$TMP/extract5mb.lzh" big5mb.txt > /dev/null 2>&1 )

# 20,001 level 0 stored members holding "data": the first -lh0-, the others
# with the method given; then the end mark.
members() {
  perl -e '
    my ($method, $n) = @ARGV;
    sub crc16 { my $c = 0; for my $b (unpack "C*", shift) { $c ^= $b; for (1 .. 8) { $c = $c & 1 ? ($c >> 1) ^ 0xA001 : $c >> 1 } } $c }
    sub member { my ($name, $m) = @_; my $d = "data";
      my $h = $m . pack("VVvvCCC", 4, 4, 0x6000, 0x2A67, 0x20, 0, length $name) . $name . pack("v", crc16($d));
      my $sum = 0; $sum += $_ for unpack "C*", $h;
      return pack("CC", length $h, $sum & 0xFF) . $h . $d }
    binmode STDOUT;
    print member("first.txt", "-lh0-");
    print member(sprintf("m%05d.txt", $_), $method) for 1 .. $n;
    print "\0";' -- "$1" 20000
}
members -lk7- > "$TMP/refused20000.lzh"
members -lh0- > "$TMP/plain20000.lzh"
# 1 MiB "MZ" stubs: plain, and with a level 2 look-alike claiming a 65535-byte
# header every 7 bytes.
perl -e 'binmode STDOUT; print "MZ", "\x90" x (1 << 20)' > "$TMP/stub.exe"
perl -e '
  my $b = "MZ" . ("\x90" x (1 << 20));
  for (my $o = 2; $o < (1 << 20) - 32; $o += 7) {
    substr($b, $o, 7) = "\xFF\xFF-lh5-"; substr($b, $o + 20, 1) = "\x02";
  }
  binmode STDOUT; print $b' > "$TMP/hostile.exe"

COUNT=$(lhasa l "$TMP/list2000.lzh" | grep -c 'm[0-9]*\.txt$' || true)
[[ $COUNT -eq 2000 ]] || { echo "archive_bench: list archive has $COUNT members, expected 2000" >&2; exit 1; }
lhasa v "$TMP/extract5mb.lzh" | grep -q -- '-lh5-' || { echo "archive_bench: big member is not -lh5-" >&2; exit 1; }

# Sanity: the library sees the same thing.
OURS_COUNT=$("$BENCH" "$LIB" list "$TMP/list2000.lzh")
[[ $OURS_COUNT -eq 2000 ]] || { echo "archive_bench: library listed $OURS_COUNT members" >&2; exit 1; }
OURS_BYTES=$("$BENCH" "$LIB" extract "$TMP/extract5mb.lzh" big5mb.txt 8388608)
[[ $OURS_BYTES -eq 5242880 ]] || { echo "archive_bench: library extracted $OURS_BYTES bytes" >&2; exit 1; }
cmp -s <(lhasa pq "$TMP/extract5mb.lzh" big5mb.txt) "$TMP/large/big5mb.txt" || { echo "archive_bench: lhasa p output differs" >&2; exit 1; }
for f in refused20000 plain20000; do
  N=$("$BENCH" "$LIB" list "$TMP/$f.lzh")
  [[ $N -eq 20001 ]] || { echo "archive_bench: library listed $N members of $f.lzh" >&2; exit 1; }
done
for f in stub hostile; do
  [[ $("$BENCH" "$LIB" check "$TMP/$f.exe") -eq 0 ]] || { echo "archive_bench: $f.exe taken for an archive" >&2; exit 1; }
done

# --- Timing --------------------------------------------------------------------
# Wall time of one command in microseconds (bash's EPOCHREALTIME, no extra
# process around the measured one).
usec() {
  local t0 t1
  t0=${EPOCHREALTIME/./}
  "$@" > /dev/null
  t1=${EPOCHREALTIME/./}
  echo $((t1 - t0))
}

median() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# bench NAME OURS_CMD... -- BASE_CMD...
bench() {
  local name=$1; shift
  local ours=() base=()
  while [[ $1 != -- ]]; do ours+=("$1"); shift; done
  shift
  base=("$@")
  local o_file=$TMP/$name.ours b_file=$TMP/$name.base
  : > "$o_file"; : > "$b_file"
  # Warm-up: page cache, dynamic loader caches.
  "${ours[@]}" > /dev/null; "${base[@]}" > /dev/null
  local i
  for ((i = 0; i < RUNS; i++)); do
    usec "${ours[@]}" >> "$o_file"
    usec "${base[@]}" >> "$b_file"
  done
  local o b
  o=$(median < "$o_file")
  b=$(median < "$b_file")
  awk -v n="$name" -v o="$o" -v b="$b" 'BEGIN { printf "%s %.2f ms baseline=%.2f ratio=%.2f\n", n, o / 1000, b / 1000, o / b }'
}

bench archive_list_2000 "$BENCH" "$LIB" list "$TMP/list2000.lzh" -- lhasa l "$TMP/list2000.lzh"
bench archive_extract_5mb "$BENCH" "$LIB" extract "$TMP/extract5mb.lzh" big5mb.txt 8388608 -- lhasa p "$TMP/extract5mb.lzh" big5mb.txt
bench archive_list_refused_20000 "$BENCH" "$LIB" list "$TMP/refused20000.lzh" -- "$BENCH" "$LIB" list "$TMP/plain20000.lzh"
bench archive_sfx_search_hostile "$BENCH" "$LIB" check "$TMP/hostile.exe" -- "$BENCH" "$LIB" check "$TMP/stub.exe"
