// The prop table. A few props have a fixed sprite, place and shadow (the built-in maps and the
// menus name them); the rest take their place and shadow from what they show.
#include "game/core/prop_table.h"

namespace velmora {

namespace {

struct FixedProp {
    int entry;
    int32_t sprite, dx, dy, shadow;
    PropArt art;
};

constexpr FixedProp kFixed[] = {
    {0, 3136, 0, 0, 0, PropArt::kNoProp},       {1, 3173, 0, -16, 1, PropArt::kBoulder},
    {2, 3158, 0, 0, 1, PropArt::kStump},        {8, 3143, 0, -16, 5, PropArt::kMarker},
    {10, 3153, 0, -16, 2, PropArt::kLogPile},   {12, 3142, 0, -32, 7683, PropArt::kTallTree},
    {13, 3160, 0, -4, 3, PropArt::kBush},       {16, 3144, 0, 0, 0, PropArt::kFlowerPatch},
    {32, 3161, 0, -8, 6, PropArt::kPot},        {58, 3209, 0, -16, 7695, PropArt::kLamp},
    {67, 3231, 0, 0, 7680, PropArt::kMushroom}, {80, 3213, 0, -24, 0, PropArt::kStatue},
};
constexpr int kFixedCount = static_cast<int>(sizeof(kFixed) / sizeof(kFixed[0]));
constexpr int kEntriesInUse = 109;

// Where a prop of each kind stands and which shadow it casts.
struct ArtPlace {
    int32_t dy, shadow;
    int width, height;
};
constexpr ArtPlace kPlace[static_cast<int>(PropArt::kCount)] = {
    {-16, 1, 32, 48},     // tree
    {-32, 7683, 48, 80},  // tall tree
    {-16, 1, 32, 48},     // pine
    {-16, 1, 32, 48},     // boulder
    {0, 1, 32, 48},       // stump
    {-4, 3, 32, 48},      // bush
    {-4, 3, 32, 48},      // flower bush
    {-16, 7695, 32, 48},  // lamp
    {-8, 4, 32, 48},      // barrel
    {-8, 4, 32, 48},      // sign
    {0, 7680, 32, 48},    // mushroom
    {-16, 5, 32, 48},     // marker
    {-16, 2, 96, 48},     // log pile
    {0, 0, 32, 48},       // flower patch
    {-8, 6, 32, 48},      // pot
    {-24, 0, 32, 64},     // statue
    {-8, 1, 32, 48},      // crate
    {0, 0, 32, 48},       // pebbles
    {-8, 0, 32, 48},      // reeds
    {-16, 1, 32, 48},     // well
    {0, 0, 32, 32},       // no prop
};

const FixedProp* FixedBySprite(int32_t id) {
    for (const FixedProp& f : kFixed)
        if (f.sprite == id) return &f;
    return nullptr;
}

const FixedProp* FixedByEntry(int entry) {
    for (const FixedProp& f : kFixed)
        if (f.entry == entry) return &f;
    return nullptr;
}

// The kinds the free sprites cycle through (the tall tree and log pile only where fixed).
constexpr PropArt kCycle[] = {
    PropArt::kTree,       PropArt::kPine,        PropArt::kBoulder, PropArt::kBush,
    PropArt::kFlowerBush, PropArt::kLamp,        PropArt::kBarrel,  PropArt::kSign,
    PropArt::kMushroom,   PropArt::kFlowerPatch, PropArt::kPot,     PropArt::kCrate,
    PropArt::kPebbles,    PropArt::kReeds,       PropArt::kWell,    PropArt::kStump};
constexpr int kCycleCount = static_cast<int>(sizeof(kCycle) / sizeof(kCycle[0]));

struct Table {
    PropEntry entries[kPropEntries];
};

Table Build() {
    Table t{};
    // Entries without a fixed sprite take the free sprites in order.
    int32_t next = kFirstPropSprite;
    for (int i = 0; i < kEntriesInUse; ++i) {
        if (const FixedProp* f = FixedByEntry(i)) {
            t.entries[i] = PropEntry{f->sprite, f->dx, f->dy, f->shadow};
            continue;
        }
        while (FixedBySprite(next)) ++next;
        const ArtPlace& p = kPlace[static_cast<int>(GetPropArt(next))];
        t.entries[i] = PropEntry{next, 0, p.dy, p.shadow};
        ++next;
    }
    (void)kFixedCount;
    return t;
}

}  // namespace

const PropEntry* GetPropTable() {
    static const Table table = Build();
    return table.entries;
}

PropArt GetPropArt(int32_t id) {
    if (const FixedProp* f = FixedBySprite(id)) return f->art;
    const int k = static_cast<int>(id - kFirstPropSprite);
    return kCycle[((k % kCycleCount) + kCycleCount) % kCycleCount];
}

void GetPropArtSize(PropArt art, int* width, int* height) {
    const ArtPlace& p = kPlace[static_cast<int>(art)];
    *width = p.width;
    *height = p.height;
}

}  // namespace velmora

namespace velmora {

int32_t GetPropLift(int32_t id) {
    for (int i = 0; i < kPropEntries; ++i)
        if (GetPropTable()[i].sprite == id) return -GetPropTable()[i].dy;
    return -kPlace[static_cast<int>(GetPropArt(id))].dy;
}

}  // namespace velmora
