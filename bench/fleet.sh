#!/usr/bin/env bash
# Fleet archive benchmarks; prints medians and ratios.
#   1. Ingest of a card (8 recordings of SIZE_MB/8 MB with their logs) into an
#      empty archive on the same disk: rovixtool ingest (each copy hashed while
#      copied, flushed, named, catalogued with its track) against cp -r of the
#      card followed by sha256sum of every copy, with and without sync.
#   2. The place question over a generated catalogue of VEHICLE_DAYS
#      vehicle-days (50 vehicles, 8 hours a day of one-minute recordings, one
#      position a second, all within about 50 x 6 km): rovixtool find, warm.
#   3. The day report of a month for the same 50 vehicles.
#   4. The same three on a PostgreSQL catalogue: a throwaway server (initdb
#      into WORK, Unix socket only, default durability), the same card ingested
#      with --catalogue, the same catalogue generated in SQL, the same questions.
# Targets: ingest >= 0.9x cp + sha256sum; find under 100 ms over 1,000
# vehicle-days; report under 1 s.
# Usage: bench/fleet.sh [RUNS]   (5 by default; BUILD=build-bench by default, Release;
#        WORK= a folder on the disk to measure, /var/tmp by default; SIZE_MB=1024;
#        VEHICLE_DAYS=1000, a multiple of 50; INGEST=0 skips the ingest;
#        PG=0 skips PostgreSQL, which needs Debian's postgresql package)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${1:-5}
SIZE_MB=${SIZE_MB:-1024}
VEHICLE_DAYS=${VEHICLE_DAYS:-1000}
BUILD=${BUILD:-build-bench}

cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target rovixtool rovixmediagen_cli >/dev/null

TOOL="$ROOT/$BUILD/src/rovixtool"
GEN="$ROOT/$BUILD/tools/mediagen/rovixmediagen"
WORK=$(mktemp -d "${WORK:-/var/tmp}/rovix-fleet-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

median() { # hyperfine JSON -> median seconds of each command, in order
  python3 -c 'import json,sys; print(" ".join("%.6f" % r["median"] for r in json.load(open(sys.argv[1]))["results"]))' "$1"
}

# ---- 4. (prepared here) a throwaway PostgreSQL server, run as the postgres
# user when this is root (the server refuses root)
PG=${PG:-1}
PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
[ -x "$PGBIN/initdb" ] || PG=0
if [ "$PG" != 0 ]; then
  AS=()
  if [ "$(id -u)" = 0 ]; then
    chown postgres "$WORK"
    AS=(runuser -u postgres --)
  fi
  "${AS[@]}" "$PGBIN/initdb" -D "$WORK/pg" -U rovix -A trust -E UTF8 --locale=C >/dev/null
  printf "listen_addresses = ''\nunix_socket_directories = '%s'\nshared_buffers = 256MB\n" "$WORK" >>"$WORK/pg/postgresql.conf"
  "${AS[@]}" "$PGBIN/pg_ctl" -D "$WORK/pg" -l "$WORK/pg.log" -w start >/dev/null
  trap '"${AS[@]}" "$PGBIN/pg_ctl" -D "$WORK/pg" -m immediate stop >/dev/null 2>&1; rm -rf "$WORK"' EXIT
  pgurl() { echo "postgresql:///$1?host=$WORK&user=rovix"; }
  psqlq() { psql -X -q -A -t -v ON_ERROR_STOP=1 -d "$(pgurl "$1")" -c "$2"; }
fi

# ---- 1. ingest
if [ "${INGEST:-1}" != 0 ]; then
card="$WORK/card/DCIM/100MEDIA_M"
mkdir -p "$card"
each=$((SIZE_MB / 8))
for i in 0 1 2 3 4 5 6 7; do
  stamp="210315-08$((10 + i))00"
  rec="$card/FILE${stamp}_M.MP4"
  "$GEN" recording "$rec" --seconds 60 --seed $((i + 1)) --start "$stamp" >/dev/null
  "$GEN" nmea "$card/FILE${stamp}_M.NMEA" --seconds 60 --seed $((i + 1)) --start "$stamp" >/dev/null
  # Grown to size by a "free" box of random bytes after the movie: still a
  # valid MP4 the scan admits, as large as a real recording.
  python3 - "$rec" "$each" <<'PY'
import os, struct, sys
path, mb = sys.argv[1], int(sys.argv[2])
pad = mb * 1048576 - os.path.getsize(path)
with open(path, 'ab') as f:
    f.write(struct.pack('>I', pad) + b'free')
    left = pad - 8
    while left > 0:
        n = min(left, 1 << 24)
        f.write(os.urandom(n))
        left -= n
PY
done
size=$(du -sb "$WORK/card" | cut -f1)
clean="sh -c 'rm -rf $WORK/dest && mkdir $WORK/dest'"
shell_copy="cp -r $WORK/card $WORK/dest/ && cd $WORK/dest && find . -type f -exec sha256sum {} + >/dev/null"

echo "== Ingest of a $SIZE_MB MB card, 8 recordings and their logs (median of $RUNS runs) =="
hyperfine -N -w 1 -r "$RUNS" --prepare "$clean" --export-json "$WORK/ingest.json" \
  "sh -c '$shell_copy'" \
  "sh -c '$shell_copy && sync -f .'" \
  "$TOOL ingest --archive $WORK/dest --vehicle bench $WORK/card" >/dev/null
read -r sh shs rv < <(median "$WORK/ingest.json")
pv=0
if [ "$PG" != 0 ]; then
  pgclean="sh -c 'rm -rf $WORK/dest && mkdir $WORK/dest && psql -X -q -d \"$(pgurl postgres)\" -c \"DROP DATABASE IF EXISTS ingest\" -c \"CREATE DATABASE ingest\"'"
  hyperfine -N -w 1 -r "$RUNS" --prepare "$pgclean" --export-json "$WORK/ingest-pg.json" \
    "$TOOL ingest --archive $WORK/dest --catalogue $(pgurl ingest) --vehicle bench $WORK/card" >/dev/null
  pv=$(median "$WORK/ingest-pg.json")
fi
python3 - "$size" "$sh" "$shs" "$rv" "$pv" <<'PY'
import sys
size = int(sys.argv[1]); sh, shs, rv, pv = map(float, sys.argv[2:])
mb = size / 1e6
print('%-40s %9s %10s %10s' % ('', 'median_s', 'MB/s', 'ingest'))
print('%-40s %9.3f %10.1f %9.2fx' % ('cp -r + sha256sum', sh, mb / sh, sh / rv))
print('%-40s %9.3f %10.1f %9.2fx' % ('cp -r + sha256sum + sync', shs, mb / shs, shs / rv))
print('%-40s %9.3f %10.1f' % ('rovixtool ingest (fsync, SQLite)', rv, mb / rv))
if pv > 0:
    print('%-40s %9.3f %10.1f   (%.2fx cp + sha256sum + sync)' % ('rovixtool ingest (fsync, PostgreSQL)', pv, mb / pv, shs / pv))
PY
fi

# ---- 2. and 3. a generated catalogue
echo
days=$((VEHICLE_DAYS / 50))
arch="$WORK/fleet"
mkdir -p "$arch" "$WORK/empty"
"$TOOL" ingest --archive "$arch" --vehicle none "$WORK/empty" >/dev/null # makes the catalogue
start=$(date -u -d 2024-03-01 +%s)
t0=$(date +%s.%N)
sqlite3 "$arch/catalogue.sqlite" <<SQL
PRAGMA synchronous=OFF;
BEGIN;
WITH RECURSIVE v(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM v WHERE n<50),
  d(n) AS (SELECT 0 UNION ALL SELECT n+1 FROM d WHERE n<$days-1),
  m(n) AS (SELECT 0 UNION ALL SELECT n+1 FROM m WHERE n<479)
INSERT INTO files(id,sha256,size,archive_path,original_path,card,vehicle,role,ingested_at)
  SELECT (v.n*1000+d.n)*1000+m.n, printf('%064d',(v.n*1000+d.n)*1000+m.n), 1,
         printf('v%02d/%d/%d.MP4',v.n,d.n,m.n), '', '', printf('v%02d',v.n), 'recording', 0 FROM v,d,m;
INSERT INTO recordings(id,file_id,vehicle,type,camera,kind,start_seconds,day,duration,distance_m,driving_s,top_kmh,harsh)
  SELECT id, id, vehicle, (id%97=0), 1, 5, $start + ((id/1000)%1000)*86400 + 8*3600 + (id%1000)*60,
         date($start + ((id/1000)%1000)*86400, 'unixepoch'), 60, 600, 60, 36 + id%40, (id%53=0) FROM files;
WITH RECURSIVE s(n) AS (SELECT 0 UNION ALL SELECT n+1 FROM s WHERE n<59)
INSERT INTO track(recording_id,second,lat,lon,speed_kmh)
  SELECT r.id, s.n,
         48.0 + (((r.id/1000000)*37 + ((r.id/1000)%1000)*11) % 50)*0.01 + (((r.id%1000)/10)%20)*0.0005,
         11.0 + ((r.id%10)*60 + s.n)*0.000135, 36
  FROM recordings r, s ORDER BY r.id, s.n;
INSERT INTO track_boxes(min_lat,max_lat,min_lon,max_lon,min_t,max_t,recording_id,first_second,last_second)
  SELECT min(t.lat), max(t.lat), min(t.lon), max(t.lon), r.start_seconds+min(t.second), r.start_seconds+max(t.second),
         t.recording_id, min(t.second), max(t.second)
  FROM track t JOIN recordings r ON r.id=t.recording_id GROUP BY t.recording_id, t.second/32;
INSERT INTO day_totals
  SELECT vehicle, day, SUM(distance_m), SUM(driving_s), MAX(top_kmh), SUM(harsh), SUM(type=1), COUNT(*)
  FROM recordings GROUP BY vehicle, day;
COMMIT;
SQL
t1=$(date +%s.%N)
seconds=$(sqlite3 "$arch/catalogue.sqlite" "SELECT count(*) FROM track")
dbsize=$(du -sb "$arch/catalogue.sqlite" | cut -f1)
python3 -c "import sys; print('catalogue: %d vehicle-days, %d seconds of track, %.0f MB, generated in %.0f s' % ($VEHICLE_DAYS, $seconds, $dbsize/1e6, $t1-$t0))"
near="48.2500,11.0400"
qday=$(date -u -d "@$((start + days / 2 * 86400))" +%F)
passes=$("$TOOL" find --archive "$arch" --near $near --radius 100 --from "$qday 10:00" --to "$qday 12:00" | wc -l)
allpasses=$("$TOOL" find --archive "$arch" --near $near --radius 100 | wc -l)
last=$(date -u -d "@$((start + (days - 1) * 86400))" +%F)
echo "== Place question, 100 m: $passes passes in 2 hours of one day, $allpasses in the whole archive; report of $(date -u -d @$start +%F)..$last, 50 vehicles (median of $RUNS runs, warm) =="
hyperfine -N -w 2 -r "$RUNS" --export-json "$WORK/query.json" \
  "$TOOL find --archive $arch --near $near --radius 100 --from '$qday 10:00' --to '$qday 12:00'" \
  "$TOOL find --archive $arch --near $near --radius 100" \
  "$TOOL report --archive $arch --from $(date -u -d @$start +%F) --to $last" >/dev/null
read -r f1 f2 rp < <(median "$WORK/query.json")
python3 - "$f1" "$f2" "$rp" <<'PY'
import sys
f1, f2, rp = map(float, sys.argv[1:])
print('find, one day 10:00-12:00        %8.1f ms   (goal < 100 ms)' % (f1 * 1000))
print('find, the whole archive          %8.1f ms' % (f2 * 1000))
print('report, the month, 50 vehicles   %8.1f ms   (goal < 1000 ms)' % (rp * 1000))
PY

# ---- 4. the same catalogue on PostgreSQL
[ "$PG" != 0 ] || exit 0
echo
psqlq postgres "CREATE DATABASE fleet" >/dev/null
"$TOOL" report --catalogue "$(pgurl fleet)" --from 2000-01-01 --to 2000-01-01 >/dev/null # makes the schema
t0=$(date +%s.%N)
psql -X -q -v ON_ERROR_STOP=1 -d "$(pgurl fleet)" <<SQL
SET synchronous_commit = off;
BEGIN;
INSERT INTO files(id,sha256,size,archive_path,original_path,card,vehicle,role,ingested_at)
  SELECT (v*1000+d)*1000+m, lpad(((v*1000+d)*1000+m)::text, 64, '0'), 1,
         convert_to(format('v%s/%s/%s.MP4', lpad(v::text, 2, '0'), d, m), 'UTF8'), '', '',
         convert_to('v' || lpad(v::text, 2, '0'), 'UTF8'), 'recording', 0
  FROM generate_series(1, 50) v, generate_series(0, $days - 1) d, generate_series(0, 479) m;
INSERT INTO recordings(id,file_id,vehicle,type,camera,kind,start_seconds,day,duration,distance_m,driving_s,top_kmh,harsh)
  SELECT id, id, vehicle, (id%97=0)::int, 1, 5, $start + ((id/1000)%1000)*86400 + 8*3600 + (id%1000)*60,
         to_char(to_timestamp($start + ((id/1000)%1000)*86400) AT TIME ZONE 'UTC', 'YYYY-MM-DD'),
         60, 600, 60, 36 + id%40, (id%53=0)::int FROM files;
INSERT INTO track(recording_id,second,lat,lon,speed_kmh)
  SELECT r.id, s,
         48.0 + (((r.id/1000000)*37 + ((r.id/1000)%1000)*11) % 50)*0.01 + (((r.id%1000)/10)%20)*0.0005,
         11.0 + ((r.id%10)*60 + s)*0.000135, 36
  FROM recordings r, generate_series(0, 59) s ORDER BY r.id, s;
INSERT INTO track_cells(cell,min_t,max_t,recording_id,first_second,last_second)
  SELECT floor((t.lat + 90) / 0.01)::bigint * 65536 + floor((t.lon + 180) / 0.01)::bigint,
         r.start_seconds + min(t.second), r.start_seconds + max(t.second), t.recording_id, min(t.second), max(t.second)
  FROM track t JOIN recordings r ON r.id=t.recording_id
  GROUP BY t.recording_id, r.start_seconds, t.second/32, 1;
INSERT INTO day_totals
  SELECT vehicle, day, SUM(distance_m), SUM(driving_s), MAX(top_kmh), SUM(harsh), SUM((type=1)::int), COUNT(*)
  FROM recordings GROUP BY vehicle, day;
COMMIT;
ANALYZE;
SQL
t1=$(date +%s.%N)
seconds=$(psqlq fleet "SELECT count(*) FROM track")
dbsize=$(psqlq fleet "SELECT pg_database_size('fleet')")
python3 -c "print('PostgreSQL catalogue: %d vehicle-days, %d seconds of track, %.0f MB, generated in %.0f s' % ($VEHICLE_DAYS, $seconds, $dbsize/1e6, $t1-$t0))"
cat="--catalogue $(pgurl fleet)"
ppasses=$("$TOOL" find $cat --near $near --radius 100 --from "$qday 10:00" --to "$qday 12:00" | wc -l)
pall=$("$TOOL" find $cat --near $near --radius 100 | wc -l)
echo "== PostgreSQL: $ppasses passes in 2 hours of one day, $pall in the whole archive (SQLite: $passes, $allpasses) =="
hyperfine -N -w 2 -r "$RUNS" --export-json "$WORK/query-pg.json" \
  "$TOOL find $cat --near $near --radius 100 --from '$qday 10:00' --to '$qday 12:00'" \
  "$TOOL find $cat --near $near --radius 100" \
  "$TOOL report $cat --from $(date -u -d @$start +%F) --to $last" >/dev/null
read -r g1 g2 gp < <(median "$WORK/query-pg.json")
python3 - "$f1" "$f2" "$rp" "$g1" "$g2" "$gp" <<'PY'
import sys
f1, f2, rp, g1, g2, gp = map(float, sys.argv[1:])
print('%-34s %10s %12s' % ('', 'SQLite', 'PostgreSQL'))
print('%-34s %7.1f ms %9.1f ms' % ('find, one day 10:00-12:00', f1 * 1000, g1 * 1000))
print('%-34s %7.1f ms %9.1f ms' % ('find, the whole archive', f2 * 1000, g2 * 1000))
print('%-34s %7.1f ms %9.1f ms' % ('report, the month, 50 vehicles', rp * 1000, gp * 1000))
PY
