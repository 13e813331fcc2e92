// Sprite ids: the numbers the game's code draws by, named once. The sheet layout
// (sprite_layout.h) gives each a picture and the data builder paints that picture, so code,
// table and art cannot drift apart.
#pragma once

#include <cstdint>

namespace velmora::sprite {

// Fixed uses.
inline constexpr int32_t kDefault = 0;     // every id before it is cut: a blank 8 x 8
inline constexpr int32_t kRateMark = 1;    // "FPS" beside the frame-rate meter, 24 x 16
inline constexpr int32_t kWhite = 2;       // plain white 8 x 8, stretched for fills
inline constexpr int32_t kWindow = 128;    // the 480 x 360 window panel
inline constexpr int32_t kLifeBar = 130;   // stretched life gauge
inline constexpr int32_t kHudPanel = 133;  // a player's HUD panel
inline constexpr int32_t kTab = 134;       // 134..141: page tabs and colour buttons
inline constexpr int32_t kEditorArrowL = 142;
inline constexpr int32_t kEditorArrowR = 143;
inline constexpr int32_t kTitleItem = 144;  // 144..151: title menu items
inline constexpr int32_t kLifeCap = 152;    // the end of the life bar's maximum
inline constexpr int32_t kChecker = 154;    // 154..157: checker tiles (outside cells)
inline constexpr int32_t kEditorGrid = 158;
inline constexpr int32_t kEditorBackdrop = 159;
inline constexpr int32_t kPaletteIcon = 160;   // 160..174: the editor's palette, by tool
inline constexpr int32_t kEditorCursor = 176;  // 176, 177
inline constexpr int32_t kStartMode = 179;     // 179..182
inline constexpr int32_t kEditorIndex = 183;   // an editor index label (178 + 1..15)
inline constexpr int32_t kAreaNode = 184;      // 184, 185 (an area that exists)
inline constexpr int32_t kEditorFlag = 186;    // 186..189
inline constexpr int32_t kHurtIcon = 190;
inline constexpr int32_t kFlagButtonA = 191;
inline constexpr int32_t kFlame = 193;       // drawn additively
inline constexpr int32_t kClockPlate = 192;  // behind the world clock
inline constexpr int32_t kChainLabel = 194;
inline constexpr int32_t kFlagButtonB = 195;
inline constexpr int32_t kBackdropLeaf = 198;
inline constexpr int32_t kPanelCorner = 199;
inline constexpr int32_t kPanelEdgeH = 200;
inline constexpr int32_t kPanelEdgeV = 201;
inline constexpr int32_t kPanelTitle = 202;
inline constexpr int32_t kPanelEmblem = 203;
inline constexpr int32_t kLogo = 204;
inline constexpr int32_t kFlagButtonC = 205;
inline constexpr int32_t kWarningA = 206;
inline constexpr int32_t kCurtain = 207;
inline constexpr int32_t kTitleStrip = 208;
inline constexpr int32_t kTallyLabel = 209;  // 209..212
inline constexpr int32_t kWarningB = 213;
inline constexpr int32_t kPointer = 214;
inline constexpr int32_t kHudPanelBase = 215;
inline constexpr int32_t kNoise = 224;       // 224..230
inline constexpr int32_t kPicture = 232;     // 232..247: item-get and roulette pictures
inline constexpr int32_t kDifficulty = 256;  // 256..258

// The sprite font: byte c is sprite 480 + c (bytes 32..95 and 160..223).
inline constexpr int32_t kFontBase = 480;
inline constexpr int32_t kKeyIcon = 514;
inline constexpr int32_t kMinus = 525;
inline constexpr int32_t kDigit = 528;  // 528..537
inline constexpr int32_t kArrowLeft = 540;
inline constexpr int32_t kPercent = 541;
inline constexpr int32_t kArrowRight = 542;
inline constexpr int32_t kTitleGlyph = 544;  // 544 + 1..26: letters of a stage title

inline constexpr int32_t kSmallDigit = 576;  // 576..585, pitch 6
inline constexpr int32_t kLargeDigit = 586;  // 586..595, pitch 14
inline constexpr int32_t kStageBadge = 597;  // 597..605 (moon phases 597..600 too)
inline constexpr int32_t kStageBannerL = 606;
inline constexpr int32_t kStageBannerR = 607;
inline constexpr int32_t kClearBanner = 608;  // 608..610
inline constexpr int32_t kClockPhase = 611;   // 611..622
inline constexpr int32_t kClockPlateEnd = 623;
inline constexpr int32_t kStageName = 624;  // 624..628

// Effects.
inline constexpr int32_t kSpark = 896;  // 896..903
inline constexpr int32_t kStar = 904;   // 904..911
inline constexpr int32_t kBlast = 928;
inline constexpr int32_t kBlastA = 936;
inline constexpr int32_t kBlastB = 944;
inline constexpr int32_t kCloud = 960;
inline constexpr int32_t kRain = 961;
inline constexpr int32_t kSplash = 962;  // 962..965, animated

// Players and companions (fixed grids, eight directions of four frames).
inline constexpr int32_t kPlayer = 1024;     // 1024..1119 (three characters)
inline constexpr int32_t kCompanion = 1120;  // 1120..1151
inline constexpr int32_t kSpirit = 1152;
inline constexpr int32_t kCompanionHead = 1184;  // 1184..1187
inline constexpr int32_t kSparkle = 1188;        // drawn additively
inline constexpr int32_t kShot = 1280;           // 1280..1283 (1280 also its shadow)
inline constexpr int32_t kBlink = 1284;
inline constexpr int32_t kDigCursor = 1285;  // 1285..1288
inline constexpr int32_t kHole = 1289;       // 1289..1292: hole and its digging stages
inline constexpr int32_t kMound = 1293;      // a filled-in hole with a leaf buried in it
inline constexpr int32_t kPortrait = 1344;   // 1344..1359
inline constexpr int32_t kFieldItem = 1408;  // 1408..1439
inline constexpr int32_t kDoll = 1418;
inline constexpr int32_t kIconOnHead = 1413;
inline constexpr int32_t kIcon = 1440;  // 1440..1471

inline constexpr int32_t kAnimated = 1536;  // 1536..2047: loops of four frames

// Walkers and stage objects.
inline constexpr int32_t kHeldForm = 2052;  // 2052 + 16k, k 0..7
inline constexpr int32_t kLegsA = 2112;     // 2112..2115
inline constexpr int32_t kLegsB = 2128;     // 2128..2131
inline constexpr int32_t kLeafBody = 2192;  // 2192..2213
inline constexpr int32_t kSaucerBig = 2215;
inline constexpr int32_t kKabochaFace = 2216;  // 2216..2287 (grid)
inline constexpr int32_t kGenerator = 2288;    // 2288..2290
inline constexpr int32_t kBreakWall = 2291;
inline constexpr int32_t kGeneratorBroken = 2292;
inline constexpr int32_t kSaucer = 2293;
inline constexpr int32_t kBeam = 2296;
inline constexpr int32_t kColorGate = 2304;  // 2304..2319 (open at +8)
inline constexpr int32_t kSwitchGateOpen = 2320;
inline constexpr int32_t kSwitchGateShut = 2321;
inline constexpr int32_t kCandle = 2322;
inline constexpr int32_t kLeafKing = 2323;
inline constexpr int32_t kBigLeaf = 2324;  // 2324..2327, 2329..2346
inline constexpr int32_t kKanameStone = 2328;
inline constexpr int32_t kBossPart = 2347;  // 2347..2354
inline constexpr int32_t kBigLeafSingle = 2355;

// Map.
inline constexpr int32_t kEdgeShade = 3104;   // 3104..3135
inline constexpr int32_t kProp = 3136;        // 3136..3263
inline constexpr int32_t kTile = 3584;        // 3584..4047 (grid)
inline constexpr int32_t kShadow = 7680;      // 7680..7698
inline constexpr int32_t kTargetMark = 7689;  // also animated

}  // namespace velmora::sprite
