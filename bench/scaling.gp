# Search and load time against corpus size, from the CSV korvel-bench --csv
# writes. Usage: gnuplot -c bench/scaling.gp SCALING.csv SCALING.png
csv = ARG1
set terminal pngcairo size 1500,520 font ",10" noenhanced
set output ARG2
set datafile separator ","
set logscale xy
set grid
set key top left
set format x "%.0s%c"
set xlabel "aligned pairs"
set ylabel "median ms"

# Rows of one item, by its CSV key in column 4.
rows(item) = sprintf("< awk -F, '$4 == \"%s\"' %s", item, csv)
compared = "word phrase lemma_phrase absent_word regex alternation5 zh_word zh_alternation"
filtered = "filter_include filter_exclude"

# One scale for both search panels, so that they compare at a glance.
stats sprintf("< awk -F, 'NR > 1 && $4 !~ /^(load.*|page|export)$/ { print $7; if ($8 > 0) print $8 }' %s", csv) \
  using 1 nooutput
set yrange [STATS_min / 1.5 : STATS_max * 1.5]

set multiplot layout 1,3 title "Korvel and ripgrep against corpus size (median of runs)"
set title "Korvel search"
plot for [q in compared." ".filtered] rows(q) using 1:7 with linespoints title q
set title "rg search, same queries"
plot for [q in compared] rows(q) using 1:8 with linespoints title q
set title "Load: Korvel SetFiles vs rg -c ''"
set yrange [*:*]
plot rows("load") using 1:7 with linespoints title "Korvel SetFiles", \
     rows("load_first") using 1:7 with linespoints dashtype 2 title "Korvel SetFiles, first in the process", \
     rows("load") using 1:8 with linespoints title "rg -c ''"
unset multiplot
