// The five built-in stages as text: per stage its time limit (units of 600 frames), the world
// clock's start (units of 800 frames) and level; per area its music track, weather, population
// level, floor (the map character whose ground lies under entries and objects), exits and a
// map of one character a cell (the legend is in stages.cpp).
#pragma once

namespace databuild {

inline constexpr const char kStageLayouts[] = R"TEXT(
# Stage 0: the meadow. Few walkers and room to learn: dig in front of a walker, let it fall,
# fill the hole in. A path leads through a gap in the hedge to the second field and the goal.
stage 0
time 18
clock 2
level 0
area 0
music 3
weather 0
population 2
floor .
exit 0 1 0
map
TTTTTTTTTTTTTTTTTTTTTTTTTT
T,,......*......,,,......T
T,0.............,,..w....T
T..:....................,T
T..::::::::::::.....t....T
T..:.........,:..........T
T..:..w......,:.....a....T
T..:.........,:.........,T
T..:....*.....::::::::...T
T..:.....................T
T,.:......,,........w....T
T,.:......,,..w..........T
T..:::::::::::::.........T
T.......w......:....*....T
T.....*........:.........T
T.....,,.......:::::::::PT
T,,...,,.............,,..T
TTTTTTTTTTTTTTTTTTTTTTTTTT
end
area 1
music 3
weather 0
population 3
floor .
exit 0 0 0
map
TTTTTTTTTTTTTTTTTTTTTTTTTT
T....,,.....*.......,,...T
T.0.........w............T
T::::::::.........g......T
T.......:................T
T..,,...:....hhhhhh......T
T..,,...:....h,,,,h..w...T
T.......::::.h,x,,h......T
T..w.......:.h,,,,h......T
T..........:.hhh.hh......T
T..t.......:.............T
T..........::::::::......T
T,.....*..........:...w..T
T,,...............:......T
T.........w.......::::::GT
T....,,..........,,......T
TTTTTTTTTTTTTTTTTTTTTTTTTT
end
endstage

# Stage 1: the forest. Clover and seeder leaves, two breeders among the trees, hedges that
# make narrow lanes, and a second area in a clearing.
stage 1
time 20
clock 3
level 1
area 0
music 4
weather 0
population 4
floor .
exit 0 1 0
map
TTTTTTTTTTTTTTTTTTTTTTTTTTTTTT
T.0..T......T.....,,....T....T
T....T..v...T...........T..v.T
T....T......T....g......T....T
T....hhh..hhh...........hh.hhT
T.............T...T..........T
T..w....,,....T.A.T.....e....T
T.......,,....T...T..........T
TTT.TTTTT...........TTT..TTTTT
T........*...v...............T
T..g.........TT..TT......w...T
T............T,,,,T..........T
T...e........T,V,,T....*.....T
T............T,,,,T..........T
ThhhhhhhhhhhhT....ThhhhhhhhhhT
T.......v..............v.....T
T..*.......................P.T
TTTTTTTTTTTTTTTTTTTTTTTTTTTTTT
end
area 1
music 4
weather 1
population 5
floor .
exit 0 0 0
map
TTTTTTTTTTTTTTTTTTTTTTTTTTTT
T.0......T.........T.......T
T........T...v.....T..g....T
T..ttt...T.........T.......T
T........TTTT.TTTTTT...e...T
T....v..............,,.....T
T........*....,,....,,.....T
TTTTTT.......,,X,,.......TTT
T....T........,,.....v.....T
T..k.T......*..............T
T....T...........TTTTT..TTTT
T........g.......T.........T
T..e.............T....w....T
T.......,,.......T.........T
T..v....,,..........*.....GT
TTTTTTTTTTTTTTTTTTTTTTTTTTTT
end
endstage

# Stage 2: the river. Bridges over the water, red leaves that run, a candle that breeds
# pumpkins, and a gate opened by the switch across the river. It rains on the far bank, where
# a UFO cruises over the open sand.
stage 2
time 22
clock 4
level 2
area 0
music 5
weather 0
population 5
floor .
exit 0 1 0
map
TTTTTTTTTTTTTTTTTTTTTTTTTTTTTT
T.0........~~~~.........,,...T
T..........~~~~....r.........T
T...w......~~~~..........C...T
T..........bbbb..............T
T....,,....~~~~......ssss....T
T....,,....~~~~.....ssssss...T
T..........~~~~....ss~~~~s...T
T..r.......~~~~.....ssssss.A.T
T..........~~~~......ssss....T
T......+...bbbb..............T
T..........~~~~....w.....r...T
T.g........~~~~..............T
Tfffffff...~~~~...ffff|ffffffT
T..........~~~~...f.........PT
T...,,.....~~~~...f..w.......T
T...,,.....~~~~...f..........T
TTTTTTTTTTTTTTTTTTTTTTTTTTTTTT
end
area 1
music 5
weather 2
population 6
floor s
exit 0 0 0
map
###########################
#ss0sssss~~~~~~~~sssssssss#
#sssssss~~~~~~~~~sssrsssss#
#ssssssssbbbbbbbbsssssssss#
#sssrssss~~~~~~~~sssssssss#
#ssssssss~~~~~~~~ssssYssss#
#~~~~~~~~~~~~~~~~~bbb~~~~~#
#~~~~~~~~~~~~~~~~~bbb~~~~~#
#sssssssssssssssssssssssss#
#sssKsssssssssssssVsssssss#
#ssssssssssCsssssssssrssss#
#sssssssssssssssssssssssss#
#ssrssssssssUsssssssssssss#
#sssssssssss~~~~ssssssssGs#
#sssssssssss~~~~ssssssssss#
###########################
end
endstage

# Stage 3: the ruins, from evening into night. Stamping stones guard the paved halls, metal
# leaves shrug off shots, fat leaves fill holes in, a UFO hangs over the great hall; below lies
# a cave.
stage 3
time 24
clock 7
level 3
area 0
music 6
weather 0
population 6
floor =
exit 0 1 0
map
BBBBBBBBBBBBBBBBBBBBBBBBBBBBBB
B=0==B=====S======B==========B
B====B============B====M=====B
B====B==BBBBBBBB==B==========B
B=========B====B======BBBBB==B
B==M======B=X==B======B==g==BB
B=========B====B======B=====BB
BBBBBB====BBB=BB======BB=BBBBB
B=========================S==B
B====F=====S=========M=======B
B==============U=============B
B===BBBBBBBBB===BBBBBBBBB====B
B===B=======B===B=======B====B
B===B==w====B===B===F===B==P=B
B===B=======B===B=======B====B
B============================B
B==S=================w=======B
BBBBBBBBBBBBBBBBBBBBBBBBBBBBBB
end
area 1
music 7
weather 0
population 6
floor c
exit 0 0 0
map
############################
#c0ccccc#cccccccccccccccccc#
#ccccccc#cccccnccccccccMccc#
#cccMccc#cccccccc####cccccc#
#ccccccccccccccc#cc#ccccccc#
#####cccccc###cc#cc#cccFccc#
#ccc#ccccccc#cccccccccccccc#
#ccc#cccgccc#ccccccc########
#ccccccccccc#cccccccccccccc#
#ccccc###ccccccccSccccccccc#
#ccccc#cccccncccccccccccccc#
#cMccc#ccccccccccccc#cccccc#
#ccccc#cccccccc####c#cccGcc#
#ccccccccccccccccccc#cccccc#
#cccccccccccccccccccccccccc#
############################
end
endstage

# Stage 4: the last stage. A field where every kind of leaf comes together and a giant walks,
# then the arena where the boss waits; defeat everything there, then touch the guard light.
stage 4
time 30
clock 5
level 4
area 0
music 9
weather 0
population 8
floor .
exit 0 1 0
map
TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT
T.0......hhhh..........hhhh....T
T........h..h....r.....h..h....T
T..w.....h.gh..........hYXh..e.T
T........hh.h....M.....hh.h....T
T..............................T
T.....e.........O........r.....T
T..............................T
TTTTTT...TTTTTT....TTTTTT...TTTT
T....................F.........T
T..M......S..........C.....w...T
T..............................T
T....hhhhhh.....k.....hhhhhh...T
T....h....h...........h....h...T
T..r.h..V.h...........h..A.h...T
T....hh.hhh....F......hhh.hh..PT
T...................r..........T
TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT
end
area 1
music 8
weather 0
population 4
floor =
exit 0 1 0
map
BBBBBBBBBBBBBBBBBBBBB
B===================B
B=========Z=========B
B===================B
B===================B
B===================B
B===================B
B===================B
B===================B
B=========E=========B
B===================B
B===================B
B===================B
B=========0=========B
B===================B
BBBBBBBBBBBBBBBBBBBBB
end
endstage
)TEXT";

}  // namespace databuild
