# Compresses a text file into Yaz0 and Yay0, in the smallest form and in the classic encoder's
# form, and expands each again with unyaz. Sourced by examples/demo.sh (see lib.sh).
say "Yaz0, the smallest file the format allows: named after the input"
run yaz timetable.txt
made timetable.yaz0
say "unyaz expands it to the same bytes"
run unyaz timetable.yaz0 back.txt
same timetable.txt back.txt
say "/c: the classic encoder's bytes (slightly larger), for rebuilding original files"
run yaz /c timetable.txt classic.yaz0
run unyaz classic.yaz0 back-classic.txt
same timetable.txt back-classic.txt
say "/y: Yay0"
run yaz /y timetable.txt
made timetable.yay0
run unyaz timetable.yay0 back-yay0.txt
same timetable.txt back-yay0.txt
say "An existing output is replaced only when you say so"
run -i $'n\nagain.yaz0\n' yaz timetable.txt
same timetable.yaz0 again.yaz0
