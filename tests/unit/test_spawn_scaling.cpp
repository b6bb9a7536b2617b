// Gang densities lowered in the zone records the host fills.
#include <gtest/gtest.h>

#include "save_test_session.h"

namespace {

using D = std::vector<int16_t>;

class SpawnScaling : public SaveSession {
protected:
    // Zone 0 with these densities in GangId order, looked up through the hooked
    // routine; every byte that is no density stays as the host wrote it.
    static D Lookup(const D& densities) {
        sim::SetZoneDensities(0, densities[0], densities[1], densities[2], densities[3]);
        const sim::ZoneLookup z = sim::LookUpZone(0);
        EXPECT_TRUE(z.call.registersKept && z.call.stackBalanced);
        for (uint32_t offset = 0; offset < sim::kZoneRecordBytes; ++offset) {
            const bool density = offset >= 38 && offset < 50 && (offset < 42 || offset > 45);
            EXPECT_TRUE(density || z.record[offset] == sim::ZoneFillByte(0, offset)) << offset;
        }
        return {z.Density(sim::zone::Triads), z.Density(sim::zone::Leone), z.Density(sim::zone::Cartel),
                z.Density(sim::zone::Yardies)};
    }
    static D LookupAll(int16_t density) { return Lookup(D(4, density)); }

    static void SetKills(const uint32_t (&kills)[kGangCount]) {
        for (int g = 0; g < kGangCount; ++g) fearState.gangs[g].kills = kills[g];
    }
};

}  // namespace

TEST_F(SpawnScaling, EachStageLowersDensitiesFrom1To1000ByItsMultiplierRoundingHalfUp) {
    const struct {
        uint32_t kills[kGangCount];
        D density, expected;
    } cases[] = {
        {{99, 100, 200, 300}, D(4, 30), {30, 23, 15, 8}},
        {{199, 299, 1000000, 2147483646}, D(4, 1000), {750, 500, 250, 250}},
        {{300, 300, 300, 300}, {1, 2, 3, 4}, {1, 1, 1, 1}},  // 0.25 + 0.5 truncates to 0, raised to 1
        {{300, 300, 300, 300}, {0, -5, 1001, -32768}, {0, -5, 1001, -32768}},
        {{300, 300, 300, 300}, {32767, 1000, 1, 4}, {32767, 250, 1, 1}},
    };
    uint32_t scaled = 0;
    for (const auto& c : cases) {
        SetKills(c.kills);
        EXPECT_EQ(Lookup(c.density), c.expected) << c.density[0];
        for (int g = 0; g < kGangCount; ++g) scaled += c.density[g] != c.expected[g];
        EXPECT_EQ(fearState.scaled, scaled) << c.density[0];
    }
    EXPECT_EQ(fearState.zones, 5u);
    EXPECT_EQ(sim::routines.runs[3], 5);

    // Single precision: 5 x 0.7f and 150 x 0.01f come to exactly 3.5 and 1.5 in float, just below in double.
    settings.stageSpawnMultiplier[2] = 0.7f;
    EXPECT_EQ(LookupAll(5), D(4, 4));
    settings.stageSpawnMultiplier[2] = 0.01f;
    EXPECT_EQ(LookupAll(150), D(4, 2));
    settings.stageSpawnMultiplier[2] = 1.0f;
    scaled = fearState.scaled;
    EXPECT_EQ(LookupAll(777), D(4, 777));
    EXPECT_EQ(fearState.scaled, scaled);
}

TEST_F(SpawnScaling, OnlyHostileGangsPastTheFirstStageAreScaled) {
    SetKills({100, 100, 100, 100});
    sim::SetPedTypeHostile(7, false);  // Leone
    sim::SetPedTypeMissing(11);        // Yardies
    EXPECT_EQ(LookupAll(30), (D{23, 30, 23, 30}));

    // A second threshold below the first: the first multiplier is never used.
    sim::SetPedTypeHostile(7, true);
    sim::SetPedTypeHostile(11, true);
    settings.stageKills[0] = 250;
    settings.stageKills[1] = 200;
    SetKills({249, 250, 299, 300});
    EXPECT_EQ(LookupAll(30), (D{30, 15, 15, 8}));
}

TEST_F(SpawnScaling, PreserveMissionsHoldsOffWhileAMissionRunsOrItsFlagIsUnusable) {
    constexpr uint32_t kScriptVariables = 0x74B248;
    SetKills({300, 300, 300, 300});
    const D scaled(4, 8), kept(4, 30);
    for (bool mission : {true, false}) {
        sim::SetMission(mission);
        EXPECT_EQ(LookupAll(30), mission ? kept : scaled);
    }
    for (uint32_t unusable : {0u, 2u, 0x1FFFEu, 0x20000u, 0xFFFFFFFCu}) {
        sim::SetMissionFlagOffset(unusable);
        EXPECT_EQ(LookupAll(30), kept) << unusable;
    }
    for (uint32_t usable : {4u, 0x1FFFCu}) {
        sim::SetMissionFlagOffset(usable);
        for (uint32_t flag : {0u, 1u}) {
            sim::Mem<uint32_t>(kScriptVariables + usable) = flag;
            EXPECT_EQ(LookupAll(30), flag ? kept : scaled) << usable;
        }
    }
    // Without PreserveMissions neither a mission nor an unusable offset matters.
    settings.PreserveMissions = false;
    sim::SetMissionFlagOffset(0x20000);
    EXPECT_EQ(LookupAll(30), scaled);
    sim::SetMissionFlagOffset(sim::kMissionFlagOffsetDefault);
    sim::SetMission(true);
    EXPECT_EQ(LookupAll(30), scaled);
}

TEST_F(SpawnScaling, ZonesCountEveryCallEvenWhenNothingIsScaled) {
    SetKills({300, 300, 300, 300});
    settings.Enabled = false;
    EXPECT_EQ(LookupAll(30), D(4, 30));
    settings.Enabled = true;
    fearState.active = false;
    EXPECT_EQ(LookupAll(30), D(4, 30));
    fearState.active = true;
    const sim::CallResult nullRecord = sim::CallHost(0x4B6FB0, {3, 0}, false);
    EXPECT_TRUE(nullRecord.registersKept && nullRecord.stackBalanced);
    EXPECT_EQ(sim::routines.runs[3], 3);
    EXPECT_EQ(fearState.zones, 3u);
    EXPECT_EQ(fearState.scaled, 0u);

    // Each fill is scaled once: the effect follows the counts, never compounds.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(LookupAll(30), D(4, 8));
    SetKills({0, 0, 0, 0});
    EXPECT_EQ(LookupAll(30), D(4, 30));
    EXPECT_EQ(fearState.zones, 7u);
    EXPECT_EQ(fearState.scaled, 12u);
}
