// Gang densities lowered in the zone records the host fills.
#include <gtest/gtest.h>

#include "save_test_session.h"

namespace {

constexpr uint32_t kMissionFlag = 0x8F1B64;
constexpr uint32_t kScriptVariables = 0x74B248;

class SpawnScaling : public SaveSession {
protected:
    // Zone 0 with the four densities, looked up through the hooked routine.
    sim::ZoneLookup Lookup(int16_t triads, int16_t leone, int16_t cartel, int16_t yardies) {
        sim::SetZoneDensities(0, triads, leone, cartel, yardies);
        const sim::ZoneLookup lookup = sim::LookUpZone(0);
        EXPECT_TRUE(lookup.call.registersKept);
        EXPECT_TRUE(lookup.call.stackBalanced);
        return lookup;
    }

    std::vector<int16_t> Densities(const sim::ZoneLookup& z) {
        return {z.Density(sim::zone::Triads), z.Density(sim::zone::Leone), z.Density(sim::zone::Cartel),
                z.Density(sim::zone::Yardies)};
    }

    std::vector<int16_t> LookupAll(int16_t density) { return Densities(Lookup(density, density, density, density)); }

    static void SetKills(uint32_t triads, uint32_t leone, uint32_t cartel, uint32_t yardies) {
        const uint32_t kills[] = {triads, leone, cartel, yardies};
        for (int g = 0; g < kGangCount; ++g) fearState.gangs[g].kills = kills[g];
    }

    using D = std::vector<int16_t>;
};

bool DensityOffset(uint32_t offset) {
    return offset >= 38 && offset < 50 && offset != 42 && offset != 43 && offset != 44 && offset != 45;
}

}  // namespace

TEST_F(SpawnScaling, EachStageLowersTheDensityItsMultiplierAndRoundsHalfUp) {
    SetKills(99, 100, 200, 300);
    const sim::ZoneLookup z = Lookup(30, 30, 30, 30);
    EXPECT_EQ(Densities(z), (D{30, 23, 15, 8}));
    EXPECT_EQ(fearState.scaled, 3u);
    EXPECT_EQ(fearState.zones, 1u);
    EXPECT_EQ(sim::routines.runs[3], 1);
    for (uint32_t offset = 0; offset < sim::kZoneRecordBytes; ++offset) {
        if (DensityOffset(offset)) continue;
        EXPECT_EQ(z.record[offset], sim::ZoneFillByte(0, offset)) << offset;
    }

    SetKills(199, 299, 1000000, 2147483646);
    EXPECT_EQ(LookupAll(1000), (D{750, 500, 250, 250}));

    // 1 x 0.25 rounds to 0 and is raised to 1: unchanged, not counted.
    SetKills(300, 300, 300, 300);
    fearState.scaled = 0;
    EXPECT_EQ(LookupAll(1), (D{1, 1, 1, 1}));
    EXPECT_EQ(LookupAll(2), (D{1, 1, 1, 1}));  // 0.5 + 0.5 = 1
    EXPECT_EQ(LookupAll(3), (D{1, 1, 1, 1}));  // 0.75 + 0.5 = 1.25
    EXPECT_EQ(fearState.scaled, 8u);

    // Single precision: 5 x 0.7f is 3.5 in float (3.4999999 in double), so 4.
    settings.stageSpawnMultiplier[2] = 0.7f;
    EXPECT_EQ(LookupAll(5), (D{4, 4, 4, 4}));

    // A multiplier of 1 changes nothing and counts nothing.
    settings.stageSpawnMultiplier[2] = 1.0f;
    fearState.scaled = 0;
    EXPECT_EQ(LookupAll(777), (D{777, 777, 777, 777}));
    EXPECT_EQ(fearState.scaled, 0u);
}

TEST_F(SpawnScaling, OnlyDensitiesFromOneToAThousandAreTouched) {
    SetKills(300, 300, 300, 300);
    EXPECT_EQ(Densities(Lookup(0, -5, 1001, -32768)), (D{0, -5, 1001, -32768}));
    EXPECT_EQ(Densities(Lookup(32767, 1000, 1, 4)), (D{32767, 250, 1, 1}));
    EXPECT_EQ(fearState.scaled, 2u);
}

TEST_F(SpawnScaling, OnlyHostileGangsPastTheFirstStageAreScaled) {
    SetKills(100, 100, 100, 100);
    sim::SetPedTypeHostile(7, false);  // Leone
    sim::SetPedTypeMissing(11);        // Yardies
    EXPECT_EQ(LookupAll(30), (D{23, 30, 23, 30}));

    // A second threshold below the first: the first multiplier is never used.
    sim::SetPedTypeHostile(7, true);
    sim::SetPedTypeHostile(11, true);
    settings.stageKills[0] = 250;
    settings.stageKills[1] = 200;
    SetKills(249, 250, 299, 300);
    EXPECT_EQ(LookupAll(30), (D{30, 15, 15, 8}));
}

TEST_F(SpawnScaling, PreserveMissionsHoldsOffWhileAMissionRunsOrItsFlagIsUnusable) {
    SetKills(300, 300, 300, 300);
    sim::SetMission(true);
    EXPECT_EQ(LookupAll(30), (D{30, 30, 30, 30}));

    sim::SetMission(false);
    EXPECT_EQ(LookupAll(30), (D{8, 8, 8, 8}));

    for (uint32_t unusable : {0u, 2u, 0x1FFFEu, 0x20000u, 0xFFFFFFFCu}) {
        sim::SetMissionFlagOffset(unusable);
        EXPECT_EQ(LookupAll(30), (D{30, 30, 30, 30})) << unusable;
    }
    for (uint32_t usable : {4u, 0x1FFFCu}) {
        sim::SetMissionFlagOffset(usable);
        sim::Mem<uint32_t>(kScriptVariables + usable) = 0;
        EXPECT_EQ(LookupAll(30), (D{8, 8, 8, 8})) << usable;
        sim::Mem<uint32_t>(kScriptVariables + usable) = 1;
        EXPECT_EQ(LookupAll(30), (D{30, 30, 30, 30})) << usable;
    }

    settings.PreserveMissions = false;
    sim::Mem<uint32_t>(kMissionFlag) = 0x20000;
    EXPECT_EQ(LookupAll(30), (D{8, 8, 8, 8}));
    sim::SetMissionFlagOffset(sim::kMissionFlagOffsetDefault);
    sim::SetMission(true);
    EXPECT_EQ(LookupAll(30), (D{8, 8, 8, 8}));
}

TEST_F(SpawnScaling, ZonesCountEveryCallEvenWhenNothingIsScaled) {
    SetKills(300, 300, 300, 300);
    settings.Enabled = false;
    EXPECT_EQ(LookupAll(30), (D{30, 30, 30, 30}));
    settings.Enabled = true;
    fearState.active = false;
    EXPECT_EQ(LookupAll(30), (D{30, 30, 30, 30}));
    fearState.active = true;

    const sim::CallResult nullRecord = sim::CallHost(0x4B6FB0, {3, 0}, false);
    EXPECT_TRUE(nullRecord.registersKept);
    EXPECT_TRUE(nullRecord.stackBalanced);
    EXPECT_EQ(sim::routines.runs[3], 3);
    EXPECT_EQ(fearState.zones, 3u);
    EXPECT_EQ(fearState.scaled, 0u);

    // Each fill is scaled once: the effect follows the counts, never compounds.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(LookupAll(30), (D{8, 8, 8, 8}));
    SetKills(0, 0, 0, 0);
    EXPECT_EQ(LookupAll(30), (D{30, 30, 30, 30}));
    EXPECT_EQ(fearState.zones, 7u);
    EXPECT_EQ(fearState.scaled, 12u);
}
