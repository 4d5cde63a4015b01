#!/bin/sh
# varnesk-station's resident memory while it plays an IQ recording in real
# time: the station runs in a fresh folder (both channels, text log, feed to
# a UDP port nobody reads, sharing server on 127.0.0.1) and its VmRSS is
# sampled every INTERVAL seconds until the file ends.
#   bench/station_rss.sh BUILD IQFILE [INTERVAL] > samples.csv
# Prints "seconds,rss_kib" lines; the station's own lines go to OUT/station.log.
set -eu
build=$1
iq=$(readlink -f "$2")
interval=${3:-30}
out=$(mktemp -d)
printf '[Wave]\nDual=2\nSource=%s\n[Txt]\nLog=1\n[Net]\nTcpIp=1\nServer=1\nServerPortNo=49987\n[Feed]\nEnabled=1\nTargets=udp:127.0.0.1:49988\n' \
    "$iq" > "$out/varnesk.ini"
"$build/app/varnesk-station" --dir "$out" --listen 127.0.0.1 --exit-at-end 2> "$out/station.log" &
pid=$!
start=$(date +%s)
echo "# station folder $out" >&2
while kill -0 $pid 2>/dev/null; do
    rss=$(awk '/^VmRSS:/ {print $2}' /proc/$pid/status 2>/dev/null || true)
    [ -n "$rss" ] && echo "$(( $(date +%s) - start )),$rss"
    sleep "$interval"
done
wait $pid
