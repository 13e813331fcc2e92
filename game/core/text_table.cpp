// The text table: what the sprite font and the engine font draw by text id. Kept as UTF-8
// here and turned into Shift-JIS once, through the project's one conversion.
#include "engine/tessra.h"
#include "game/core/draw_list.h"

namespace velmora {

namespace {

// Ids 0..303; every id from 304 up has no text.
constexpr int kTextsWithContent = 304;
constexpr const char* kTextsUtf8[kTextsWithContent] = {
    "VELMORA",                          // 0
    "ver1.00",                          // 1
    "YES",                              // 2
    "NON",                              // 3
    "MAPX",                             // 4
    "MAPY",                             // 5
    "SIZEX",                            // 6
    "SIZEY",                            // 7
    "MAPSIZEX",                         // 8
    "MAPSIZEY",                         // 9
    "BACKGROUND",                       // 10
    "",                                 // 11
    "WEATHER",                          // 12
    "TIMESPEED",                        // 13
    "ENEMYRATE",                        // 14
    "BGM",                              // 15
    "STARTPOS1",                        // 16
    "STARTPOS2",                        // 17
    "STARTPOS3",                        // 18
    "STARTPOS4",                        // 19
    "STARTPOS5",                        // 20
    "STARTPOS6",                        // 21
    "STARTPOS7",                        // 22
    "STARTPOS8",                        // 23
    "EXIT1 MAP",                        // 24
    "EXIT1 OUT",                        // 25
    "EXIT2 MAP",                        // 26
    "EXIT2 OUT",                        // 27
    "EXIT3 MAP",                        // 28
    "EXIT3 OUT",                        // 29
    "EXIT4 MAP",                        // 30
    "EXIT4 OUT",                        // 31
    "EXIT5 MAP",                        // 32
    "EXIT5 OUT",                        // 33
    "EXIT6 MAP",                        // 34
    "EXIT6 OUT",                        // 35
    "EXIT7 MAP",                        // 36
    "EXIT7 OUT",                        // 37
    "EXIT8 MAP",                        // 38
    "EXIT8 OUT",                        // 39
    "ENTREE1",                          // 40
    "ENTREE2",                          // 41
    "ENTREE3",                          // 42
    "ENTREE4",                          // 43
    "ENTREE5",                          // 44
    "ENTREE6",                          // 45
    "ENTREE7",                          // 46
    "ENTREE8",                          // 47
    "MAP",                              // 48
    "OUT OF MAP",                       // 49
    "NEWMAP",                           // 50
    "DELETE",                           // 51
    "COPYMAP",                          // 52
    "ARE YOU SURE?",                    // 53
    "HEADTYPE",                         // 54
    "BODYTYPE",                         // 55
    "FUTABA",                           // 56
    "CLOVER",                           // 57
    "BONBON",                           // 58
    "FLYING",                           // 59
    "OSHARE",                           // 60
    "KING",                             // 61
    "AFURO",                            // 62
    "BRIEF",                            // 63
    "TREEFOLK",                         // 64
    "KINOKO",                           // 65
    "LOTUS",                            // 66
    "NEGI",                             // 67
    "SEED",                             // 68
    "BALL",                             // 69
    "TIMEUP",                           // 70
    "AIRBORN",                          // 71
    "NORMAL",                           // 72
    "SPEED",                            // 73
    "METAL",                            // 74
    "TOUGH",                            // 75
    "ATTACK UP",                        // 76
    "RANGE UP",                         // 77
    "LIFEMAXUP",                        // 78
    "GUARD UP",                         // 79
    "POISON",                           // 80
    "MUTEKING",                         // 81
    "RECOVERY",                         // 82
    "LIFE EXTEND",                      // 83
    "TIME EXTEND",                      // 84
    "HIDDEN",                           // 85
    "ON",                               // 86
    "OFF",                              // 87
    "NONE",                             // 88
    "BOSSGATE",                         // 89
    "KILLGATE",                         // 90
    "BGCLOUD",                          // 91
    "AUTOSWITCH",                       // 92
    "CROSSFIRE",                        // 93
    "EVENT7",                           // 94
    "EVENT8",                           // 95
    "SUNNY",                            // 96
    "RAIN",                             // 97
    "SNOW",                             // 98
    "NIGHT",                            // 99
    "MISTY",                            // 100
    "NOON",                             // 101
    "DARKNESS",                         // 102
    "HOTHELL",                          // 103
    "EXIT",                             // 104
    "SCREEN MODE",                      // 105
    "WINDOW SIZE",                      // 106
    "COLOUR MODE",                      // 107
    "FRAME CONTROL",                    // 108
    "FRAME RATE",                       // 109
    "FOG LEVEL",                        // 110
    "TUTRIAL",                          // 111
    "VOLUME BGM",                       // 112
    "VOLUME SE",                        // 113
    "KEYASSIGN",                        // 114
    "",                                 // 115
    "FULLSCREEN",                       // 116
    "FULLEXTEND",                       // 117
    "WINDOWMODE",                       // 118
    "32BIT",                            // 119
    "16BIT",                            // 120
    "60FPS",                            // 121
    "30FPS",                            // 122
    "20FPS",                            // 123
    "VSYNC",                            // 124
    "TIMER",                            // 125
    "",                                 // 126
    "",                                 // 127
    "NONE",                             // 128
    "GENERATOR",                        // 129
    "BREAK WALL",                       // 130
    "COLOUR GATE",                      // 131
    "SWITCH GATE",                      // 132
    "LEAF PEOPLE",                      // 133
    "UFO LEAF",                         // 134
    "FIELD ITEM",                       // 135
    "KABOCHA",                          // 136
    "EVENT CONTROL",                    // 137
    "CANDLE",                           // 138
    "BIG ONE LEAF",                     // 139
    "KANAME STONE",                     // 140
    "ENEMY13",                          // 141
    "ENEMY14",                          // 142
    "ENEMY15",                          // 143
    "ENEMY16",                          // 144
    "ENEMY17",                          // 145
    "ENEMY18",                          // 146
    "ENEMY18",                          // 147
    "ENEMY20",                          // 148
    "ENEMY21",                          // 149
    "ENEMY22",                          // 150
    "ENEMY23",                          // 151
    "ENEMY24",                          // 152
    "ENEMY25",                          // 153
    "ENEMY26",                          // 154
    "ENEMY27",                          // 155
    "ENEMY28",                          // 156
    "ENEMY29",                          // 157
    "ENEMY30",                          // 158
    "DOLLITEM",                         // 159
    "ON",                               // 160
    "OFF",                              // 161
    "AUTO",                             // 162
    "",                                 // 163
    "ﾀｲﾄﾙﾆﾓﾄﾞﾙ",                        // 164
    "ｹﾞｰﾑｦﾂﾂﾞｹﾙ",                       // 165
    "ｻｲｼｮｶﾗﾔﾘﾅｵｽ",                      // 166
    "ｷｰｺﾝﾌｨｸﾞｽﾙ",                       // 167
    "CHIP",                             // 168
    "SORT",                             // 169
    "OBJT",                             // 170
    "MOVR",                             // 171
    "VRAM",                             // 172
    "USED",                             // 173
    "",                                 // 174
    "",                                 // 175
    "ATTACK UP",                        // 176
    "RANGE UP",                         // 177
    "LIFEMAXUP",                        // 178
    "GUARD UP",                         // 179
    "POISON",                           // 180
    "MUTEKING",                         // 181
    "RECOVERY",                         // 182
    "LIFE EXTEND",                      // 183
    "TIME EXTEND",                      // 184
    "SUKA",                             // 185
    "FELLOW LEAF",                      // 186
    "GET ICON",                         // 187
    "ICON",                             // 188
    "TUTRIAL",                          // 189
    "RESULT3",                          // 190
    "RESULT4",                          // 191
    "TIME BEGIN",                       // 192
    "TIME LIMIT",                       // 193
    "ENEMY LEVEL",                      // 194
    "ITEM RATE",                        // 195
    "",                                 // 196
    "",                                 // 197
    "PLAY TIME",                        // 198
    "TOTALTIME",                        // 199
    "EXIT",                             // 200
    "SHOT",                             // 201
    "SUBACTION",                        // 202
    "DIRECTION",                        // 203
    "MENU",                             // 204
    "SNAPSHOT",                         // 205
    "DEFAULT",                          // 206
    "",                                 // 207
    "♪夢望郷",                          // 208
    "♪翠嶺公ブレイク",                  // 209
    "♪ハイ！ハイ！最高にハイ！",        // 210
    "♪SunliteFlowers",                  // 211
    "♪星祭りの庭",                      // 212
    "♪平安京ベジタリアン",              // 213
    "♪",                                // 214
    "♪",                                // 215
    "♪星は無邪気な夜の姫君",            // 216
    "♪太陽の海",                        // 217
    "♪遥かなる地球郷(オールドアース)",  // 218
    "♪星の後夜祭",                      // 219
    "",                                 // 220
    "",                                 // 221
    "",                                 // 222
    "",                                 // 223
    "320 240",                          // 224
    "640 480",                          // 225
    "800 600",                          // 226
    "1024 768",                         // 227
    "1280 1024",                        // 228
    "1600 1200",                        // 229
    "1920 1080",                        // 230
    "1920 1200",                        // 231
    "RED BOTTLE",                       // 232
    "GREEN BOTTLE",                     // 233
    "HIDDEN ITEMS",                     // 234
    "MOONPHASE ORB",                    // 235
    "GENERATOR",                        // 236
    "BANANA",                           // 237
    "BLUE BOTTLE",                      // 238
    "INVINCIBLE",                       // 239
    "YELLOW BOTTLE",                    // 240
    "DIG HOLE",                         // 241
    "POISON",                           // 242
    "SWITCHES",                         // 243
    "BLAST ATTACK",                     // 244
    "TIME UP",                          // 245
    "LEAF BOMBER",                      // 246
    "SPACESHIP",                        // 247
    "LEAF PEOPLE",                      // 248
    "CLOVER LEAF",                      // 249
    "SEEDER LEAF",                      // 250
    "FLYING LEAF",                      // 251
    "OSHARE LEAF",                      // 252
    "ROYAL LEAF",                       // 253
    "AFURO LEAF",                       // 254
    "BRIEF PEOPLE",                     // 255
    "TREEFOLK LEAF",                    // 256
    "KINOKO LEAF",                      // 257
    "LOTUS LEAF",                       // 258
    "NEGI LEAF",                        // 259
    "SPACE KABOCHA",                    // 260
    "RED LEAF",                         // 261
    "METAL LEAF",                       // 262
    "FAT LEAF",                         // 263
    "",                                 // 264
    "",                                 // 265
    "",                                 // 266
    "",                                 // 267
    "",                                 // 268
    "",                                 // 269
    "",                                 // 270
    "",                                 // 271
    "",                                 // 272
    "",                                 // 273
    "",                                 // 274
    "",                                 // 275
    "",                                 // 276
    "",                                 // 277
    "",                                 // 278
    "",                                 // 279
    "",                                 // 280
    "",                                 // 281
    "",                                 // 282
    "",                                 // 283
    "",                                 // 284
    "",                                 // 285
    "",                                 // 286
    "",                                 // 287
    "",                                 // 288
    "",                                 // 289
    "",                                 // 290
    "",                                 // 291
    "",                                 // 292
    "",                                 // 293
    "",                                 // 294
    "",                                 // 295
    "",                                 // 296
    "",                                 // 297
    "",                                 // 298
    "",                                 // 299
    "",                                 // 300
    "",                                 // 301
    "",                                 // 302
    "",                                 // 303
};

const char* const* SjisTexts() {
    static const char* const* table = [] {
        static const char* texts[kTextsWithContent];
        for (int i = 0; i < kTextsWithContent; ++i) texts[i] = tessra::SjisText(kTextsUtf8[i]);
        return texts;
    }();
    return table;
}

}  // namespace

const char* GetText(int id) {
    if (!IsTextPresent(id)) return "";
    return SjisTexts()[id];
}

bool IsTextPresent(int id) {
    return id >= 0 && id < kTextsWithContent;
}

}  // namespace velmora
