#!/bin/sh
# Runs on an X display of its own (scripts/xvfb-exec): starts the program, waits for its
# message box by title, counts the boxes and the visible main windows, dismisses the box
# with Enter, waits for the program to end, and reports each finding as name=value on
# standard output.
prog="$1"
box='^Coult not start AutoCAD$'
main='^Vormex - AutoCAD Sheafrun Utility$'

count() { xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -c . ; }
alive() { kill -0 "$pid" 2>/dev/null; }

"$prog" &
pid=$!

ids=""
i=0
while [ $i -lt 600 ] && alive; do
    ids=$(xdotool search --onlyvisible --name "$box" 2>/dev/null)
    [ -n "$ids" ] && break
    sleep 0.1
    i=$((i + 1))
done
# Give a second box, if one were coming, the time to show up.
[ -n "$ids" ] && sleep 1
echo "boxes=$(count "$box")"
echo "mainwindows=$(count "$main")"

extra=0
if [ -n "$ids" ]; then
    id=$(echo "$ids" | head -n 1)
    xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
    xdotool key --clearmodifiers Return
    i=0
    while [ $i -lt 300 ] && alive; do
        more=$(xdotool search --onlyvisible --name "$box" 2>/dev/null | head -n 1)
        if [ -n "$more" ] && [ "$more" != "$id" ]; then
            extra=$((extra + 1))
            id="$more"
            xdotool windowfocus "$id"
            xdotool key --clearmodifiers Return
        fi
        sleep 0.1
        i=$((i + 1))
    done
fi
echo "laterboxes=$extra"
if alive; then
    echo "ended=0"
    kill "$pid"
    wait "$pid"
else
    wait "$pid"
    status=$?
    echo "ended=1"
    echo "exit=$status"
fi
