#include "tools/databuild/art_goal.h"

namespace databuild {

void PaintGoalTile(const View& v) {
    v.Fill(0, 0, 32, 32, Rgb(92, 168, 72));  // the meadow's grass around it
    v.Disc(16, 18, 14, Rgb(168, 152, 120));
    v.Disc(16, 18, 12, Rgb(236, 212, 132));
    v.Ring(16, 18, 12, 1.2, Rgb(150, 112, 48));
    // The arch: two posts and a beam.
    v.Fill(5, 6, 4, 20, Rgb(176, 124, 40));
    v.Fill(23, 6, 4, 20, Rgb(176, 124, 40));
    v.Fill(6, 6, 2, 20, Rgb(228, 180, 72));
    v.Fill(24, 6, 2, 20, Rgb(228, 180, 72));
    v.Thick(4, 5, 27, 5, 2.0, Rgb(240, 196, 80));
    v.Line(4, 3, 27, 3, Rgb(255, 236, 160));
    // A star in the gateway.
    v.Tri(16, 10, 12.5, 19, 19.5, 19, Rgb(255, 248, 200));
    v.Tri(16, 22, 12.5, 13.5, 19.5, 13.5, Rgb(255, 248, 200));
    v.Disc(16, 16.5, 1.5, Rgb(255, 255, 255));
}

}  // namespace databuild
