#!/bin/sh
# Runs on an X display of its own (scripts/xvfb-exec): starts the window program on the
# built-in engine, waits for its main window, counts it and any could-not-start message
# box, lets the window fill its lists, ends the program and reports each finding as
# name=value on standard output.
prog="$1"
box='^Coult not start AutoCAD$'
main='^Vormex - AutoCAD Sheafrun Utility$'

count() { xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -c . ; }
alive() { kill -0 "$pid" 2>/dev/null; }

"$prog" &
pid=$!

i=0
while [ $i -lt 600 ] && alive; do
    [ "$(count "$main")" -gt 0 ] && break
    [ "$(count "$box")" -gt 0 ] && break
    sleep 0.1
    i=$((i + 1))
done
# A box that would follow the window gets the time to show up.
sleep 1
echo "mainwindows=$(count "$main")"
echo "boxes=$(count "$box")"
if alive; then
    echo "running=1"
    kill "$pid"
    wait "$pid" 2>/dev/null
else
    echo "running=0"
fi
