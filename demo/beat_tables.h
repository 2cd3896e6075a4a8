// The music's timing as constants: the phase thresholds, the fifteen beat tables and the three
// zoom lists that the beat events read.
//
// This is the one place these numbers live. The demo fills its beat-table arrays from these
// lists at start-up, and the media generator composes the song on the same lists, so every
// beat event lands on an accent of the music. The header depends on nothing but <span>, so
// any program of the project can include it.
//
// All values are music ticks: 30 per second of music, sample frame t x 1470 at 44,100 Hz.
#pragma once

#include <span>

namespace beat_tables {

// A tick the music never reaches; it ends every beat table.
inline constexpr int kSentinel = 100000;

// Sample frames per tick at the song's 44,100 Hz.
inline constexpr int kFramesPerTick = 1470;

// Ticks per beat at the music's 120 beats per minute.
inline constexpr int kTicksPerBeat = 15;

// End thresholds of phases 1 to 10, indexed by phase - 1: a phase ends in the first frame in
// which the clock is above its threshold. Phase 11 has none.
inline constexpr int kPhaseEnd[10] = {235, 475, 715, 1675, 2155, 2635, 2995, 3475, 3959, 4200};

// The last threshold: the song must still be playing past it.
inline constexpr int kLastTick = 4200;

// The beat tables, each ascending and ending with kSentinel. The names are the demo's table
// names.
inline constexpr int sincTuntaraTun[] = {278, 338, 398, 458, 518, 578, 638, 698, kSentinel};
inline constexpr int sincScrollPow[] = {716,  770,  775,  830,  835,  890,  895,      960,
                                        1010, 1015, 1070, 1075, 1130, 1135, 1195,     1250,
                                        1255, 1310, 1315, 1370, 1375, 1435, 1490,     1495,
                                        1550, 1555, 1610, 1615, 1640, 1645, kSentinel};
inline constexpr int sincScrollflash[] = {960, 1195, 1435, kSentinel};
inline constexpr int sincScrollclap[] = {732,  762,  792,  822,  852,  882,      905,  928,  972,
                                         1002, 1032, 1062, 1092, 1122, 1144,     1168, 1212, 1242,
                                         1272, 1302, 1332, 1362, 1384, 1408,     1452, 1482, 1512,
                                         1542, 1572, 1603, 1624, 1648, kSentinel};
inline constexpr int sincCubeMapRiick[] = {1683, 1698, 1714, 1729, 1743, 1759, 1774, 1789,
                                           1804, 1818, 1834, 1848, 1864, 1879, 1894, 1908,
                                           1924, 1938, 1954, 1968, 1984, 1998, 2014, 2028,
                                           2044, 2058, 2074, 2104, 2118, 2134, 2148, kSentinel};
inline constexpr int sincCubeMapPow[] = {1796, 1916, 2036, kSentinel};
inline constexpr int sincCubeMapClap[] = {1931, kSentinel};
inline constexpr int sincHamClap[] = {2172, 2202, 2232, 2262, 2292, 2322, 2345, 2367,     2412,
                                      2442, 2472, 2502, 2532, 2562, 2585, 2607, kSentinel};
inline constexpr int sincHamPow[] = {2195, 2215, 2255, 2271, 2276, 2315, 2335, 2360, 2396,     2450,
                                     2455, 2495, 2510, 2515, 2570, 2575, 2600, 2610, kSentinel};
inline constexpr int sincbolazoom[] = {2756, 2876, kSentinel};
inline constexpr int sincbolaflash[] = {2891, kSentinel};
inline constexpr int sincSaludosPow[] = {3050, 3055, 3110, 3115, 3170, 3175, 3235, 3290,
                                         3295, 3350, 3355, 3410, 3415, 3440, 3445, kSentinel};
inline constexpr int sincSaludosClap[] = {3011, 3034, 3071, 3102, 3131, 3154,
                                          3192, 3222, 3252, 3274, 3312, 3342,
                                          3372, 3404, 3424, 3448, 3462, kSentinel};
inline constexpr int sincConstructorClap[] = {3491, 3521, 3551, 3581, 3612,     3642,
                                              3665, 3686, 3731, 3761, 3791,     3821,
                                              3851, 3881, 3905, 3926, kSentinel};
inline constexpr int sincConstructorPow[] = {3515, 3530, 3535, 3575, 3590, 3595,     3650,
                                             3655, 3680, 3685, 3716, 3770, 3775,     3815,
                                             3830, 3835, 3890, 3895, 3920, kSentinel};

// What a table's events do to the picture, which is also what the music plays on its ticks.
enum class BeatKind {
    Stab,  // the logo bounces: a melodic stab
    Pow,   // a heavy jolt: a heavy hit
    Flash, // a strong flash: a crash
    Clap,  // a flash and a spin kick: a clap or snare
    Riick, // a spin kick on the off-beats: a short zap
    Zoom,  // a slow camera zoom: a deep boom
};

// One beat table: its name, its phase (the first, for the table shared by phases 2 and 3),
// what it marks and its ticks with the sentinel.
struct BeatTable {
    const char* name;
    int phase;
    BeatKind kind;
    std::span<const int> ticks;

    // The values without the sentinel.
    std::span<const int> values() const { return ticks.first(ticks.size() - 1); }
};

// The fifteen tables in the order the demo fills them at start-up.
inline constexpr BeatTable kBeatTables[15] = {
    {"sincTuntaraTun", 2, BeatKind::Stab, sincTuntaraTun},
    {"sincScrollPow", 4, BeatKind::Pow, sincScrollPow},
    {"sincScrollflash", 4, BeatKind::Flash, sincScrollflash},
    {"sincScrollclap", 4, BeatKind::Clap, sincScrollclap},
    {"sincCubeMapRiick", 5, BeatKind::Riick, sincCubeMapRiick},
    {"sincCubeMapPow", 5, BeatKind::Pow, sincCubeMapPow},
    {"sincCubeMapClap", 5, BeatKind::Clap, sincCubeMapClap},
    {"sincHamClap", 6, BeatKind::Clap, sincHamClap},
    {"sincHamPow", 6, BeatKind::Pow, sincHamPow},
    {"sincbolazoom", 7, BeatKind::Zoom, sincbolazoom},
    {"sincbolaflash", 7, BeatKind::Flash, sincbolaflash},
    {"sincSaludosPow", 8, BeatKind::Pow, sincSaludosPow},
    {"sincSaludosClap", 8, BeatKind::Clap, sincSaludosClap},
    {"sincConstructorClap", 9, BeatKind::Clap, sincConstructorClap},
    {"sincConstructorPow", 9, BeatKind::Pow, sincConstructorPow},
};

// The zoom lists read by beat events after start-up, one item per event of their table:
// phase 4 reads Int items into a Float, phases 5 and 7 read Float items.
inline constexpr int kPhase4Zoom[30] = {1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3,
                                        1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3};
inline constexpr float kPhase5Zoom[3] = {1.5f, 3.5f, 0.75f};
inline constexpr float kPhase7Zoom[2] = {2.5f, 1.0f};

} // namespace beat_tables
