// The host's pedestrian routines as the simulator plays them, and the
// quellsim verbs for pedestrians. Every call the plugin makes into them is
// recorded in the trace:
//   credit ped=5                                   kill credit routine (0x420F60) ran
//   damage ped=5 amount=10 -> health=95 armour=0 result=1
//   fright ped=5 -> 1                              fright test (0x4C5700) and its answer
//   order ped=5 clear 0                            clear order (0x4D82C0) with its code
//   order ped=5 give 9 target=player               give order (0x4D83E0): player, vehicle, ped=N, none or other
//   order ped=5 walk 3                             send walking (0x4D2750) with the direction
#include "world_peds.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host_routines.h"
#include "quellsim.h"
#include "sim.h"
#include "world.h"

namespace sim {

DamageCall lastDamage;

namespace {

constexpr int kNoAnswer = -1;

DamageEffect nextDamageEffect;
uint8_t damageResult;
int frightAnswers[kPoolSlots];
uint8_t defaultFrightAnswer;
int frightTests;
bool playerLookupNull;

bool IsVehicleOfSomeone(const uint8_t* target) {
    for (int slot = 0; slot < kPoolSlots; ++slot) {
        if (Field<uint8_t*>(PedAt(slot), ped::Vehicle) == target) return true;
    }
    return false;
}

std::string TargetName(const uint8_t* target) {
    if (!target) return "none";
    if (target == Player()) return "player";
    const int slot = SlotOfPed(target);
    if (slot >= 0) return "ped=" + std::to_string(slot);
    return IsVehicleOfSomeone(target) ? "vehicle" : "other";
}

void ApplyDamage(uint8_t* victim, float amount) {
    float& armour = Field<float>(victim, ped::Armour);
    float& health = Field<float>(victim, ped::Health);
    const float fromArmour = armour < amount ? armour : amount;
    armour -= fromArmour;
    health -= amount - fromArmour;
}

void ApplyDamageEffect(uint8_t* victim) {
    const DamageEffect effect = nextDamageEffect;
    nextDamageEffect = DamageEffect::None;
    const int slot = SlotOfPed(victim);
    if (slot < 0 || effect == DamageEffect::None) return;
    if (effect == DamageEffect::FreeVictimSlot) {
        KillPed(victim);
        FreeSlot(slot);
        Trace("pool slot=%d freed", slot);
        return;
    }
    const int32_t type = Field<int32_t>(victim, ped::PedType);
    const float health = Field<float>(victim, ped::Health);
    const float x = Field<float>(victim, ped::X), y = Field<float>(victim, ped::Y), z = Field<float>(victim, ped::Z);
    FreeSlot(slot);
    uint8_t* newcomer = SpawnPed(slot, type, x, y, z);
    Field<float>(newcomer, ped::Health) = health;
    Trace("pool slot=%d reused", slot);
}

}  // namespace

int SlotOfPed(const void* object) {
    const uint8_t* p = static_cast<const uint8_t*>(object);
    const uint8_t* base = PedAt(0);
    if (p < base || p >= base + kPoolSlots * ped::Size) return -1;
    if ((p - base) % ped::Size != 0) return -1;
    return static_cast<int>((p - base) / ped::Size);
}

void ResetPedRoutines() {
    nextDamageEffect = DamageEffect::None;
    damageResult = 1;
    lastDamage = DamageCall{};
    for (int& answer : frightAnswers) answer = kNoAnswer;
    defaultFrightAnswer = 1;
    frightTests = 0;
    playerLookupNull = false;
}

void SetNextDamageEffect(DamageEffect effect) { nextDamageEffect = effect; }
void SetDamageResult(uint8_t result) { damageResult = result; }

void SetFrightAnswer(int slot, uint8_t answer) {
    if (slot < 0) {
        defaultFrightAnswer = answer;
    } else if (slot < kPoolSlots) {
        frightAnswers[slot] = answer;
    }
}
int FrightTests() { return frightTests; }
void SetPlayerLookupNull(bool isNull) { playerLookupNull = isNull; }

CallResult CreditKill(uint8_t* victim) {
    return CallHost(addr::SiteKillCredit, {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(victim)), 0}, false);
}

CallResult DamagePed(uint8_t* victim, void* attacker, float amount, uint32_t weapon, uint32_t bodyPart, uint32_t flag) {
    uint32_t amountBits;
    memcpy(&amountBits, &amount, 4);
    return CallHost(addr::SitePedDamage,
                    {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(attacker)), weapon, amountBits, bodyPart, flag},
                    true, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(victim)));
}

// ---------------------------------------------------------------- host routines

void __cdecl SimKillCredit(uint8_t* victim, uint32_t) {
    ++routines.runs[1];
    Trace("credit ped=%d", SlotOfPed(victim));
}

uint8_t __thiscall SimPedDamage(uint8_t* victim, uint8_t* attacker, uint32_t weapon, float amount, uint32_t bodyPart,
                                uint32_t flag) {
    ++routines.runs[2];
    lastDamage = {lastDamage.count + 1, victim, attacker, weapon, amount, bodyPart, flag};
    ApplyDamage(victim, amount);
    Trace("damage ped=%d amount=%g -> health=%g armour=%g result=%d", SlotOfPed(victim), amount,
          Field<float>(victim, ped::Health), Field<float>(victim, ped::Armour), damageResult);
    ApplyDamageEffect(victim);
    return damageResult;
}

uint8_t* __cdecl SimFindPlayerPed() { return playerLookupNull ? nullptr : Player(); }

// The player's vehicle while seated in one, else the player.
uint8_t* __cdecl SimFindPlayerEntity() {
    uint8_t* vehicle = Field<uint8_t*>(Player(), ped::Vehicle);
    return Field<uint8_t>(Player(), ped::InVehicle) && vehicle ? vehicle : Player();
}

uint8_t __thiscall SimPedFrightTest(uint8_t* p, uint8_t*) {
    ++frightTests;
    const int slot = SlotOfPed(p);
    const int own = slot >= 0 ? frightAnswers[slot] : kNoAnswer;
    const uint8_t answer = own == kNoAnswer ? defaultFrightAnswer : static_cast<uint8_t>(own);
    Trace("fright ped=%d -> %d", slot, answer);
    return answer;
}

void __thiscall SimPedClearOrder(uint8_t* p, int32_t order) {
    Field<int32_t>(p, ped::Order) = order;
    Field<uint8_t*>(p, ped::OrderTarget) = nullptr;
    Trace("order ped=%d clear %d", SlotOfPed(p), order);
}

// A new order also settles the host's wish to renew the old one.
void __thiscall SimPedGiveOrder(uint8_t* p, int32_t order, uint8_t* target) {
    Field<int32_t>(p, ped::Order) = order;
    Field<uint8_t*>(p, ped::OrderTarget) = target;
    Field<uint8_t>(p, ped::OrderFlags) &= ~0x40;
    Trace("order ped=%d give %d target=%s", SlotOfPed(p), order, TargetName(target).c_str());
}

void __thiscall SimPedWalkAway(uint8_t* p, int32_t direction) { Trace("order ped=%d walk %d", SlotOfPed(p), direction); }

// ---------------------------------------------------------------- quellsim verbs

namespace {

using Words = std::vector<std::string>;

struct GangName {
    const char* name;
    int32_t pedType;
};
constexpr GangName kGangNames[] = {{"triads", 8}, {"leone", 7}, {"cartel", 12}, {"yardies", 11}};

void Need(const Words& w, size_t count, const char* usage) {
    if (w.size() < count) ScriptError(std::string("usage: ") + usage);
}

int ParseSlot(const std::string& word) {
    const long slot = ParseInt(word);
    if (slot < 0 || slot >= kPoolSlots) ScriptError("no such pool slot: " + word);
    return static_cast<int>(slot);
}

int32_t ParsePedType(const std::string& word) {
    for (const GangName& gang : kGangNames) {
        if (word == gang.name) return gang.pedType;
    }
    const long type = ParseInt(word);
    if (type < 0 || type > 15) ScriptError("no such ped type: " + word);
    return static_cast<int32_t>(type);
}

float OptionalZ(const Words& w, size_t index) { return w.size() > index ? ParseFloat(w[index]) : 0.0f; }

uint8_t* Vehicle(const Words& w, size_t index) {
    if (w[index] == "none") return nullptr;
    return NewVehicle(ParseFloat(w[index]), ParseFloat(w[index + 1]), OptionalZ(w, index + 2));
}

void CheckDiscipline(const CallResult& result, const char* what) {
    if (!result.registersKept || !result.stackBalanced) ScriptError(std::string(what) + " broke the host's registers or stack");
}

uint8_t* ParseTarget(const std::string& word) {
    if (word == "player") return Player();
    if (word == "none") return nullptr;
    return PedAt(ParseSlot(word));
}

void SetPedField(uint8_t* p, const std::string& field, const std::string& value) {
    if (field == "health") Field<float>(p, ped::Health) = ParseFloat(value);
    else if (field == "armour") Field<float>(p, ped::Armour) = ParseFloat(value);
    else if (field == "state") Field<uint32_t>(p, ped::State) = static_cast<uint32_t>(ParseInt(value));
    else if (field == "controllable") Field<uint8_t>(p, ped::Controllable) = static_cast<uint8_t>(ParseInt(value));
    else if (field == "order") Field<int32_t>(p, ped::Order) = static_cast<int32_t>(ParseInt(value));
    else if (field == "target") Field<uint8_t*>(p, ped::OrderTarget) = ParseTarget(value);
    else if (field == "orderflags") Field<uint8_t>(p, ped::OrderFlags) = static_cast<uint8_t>(ParseInt(value));
    else if (field == "threat") Field<uint32_t>(p, ped::Threat) = static_cast<uint32_t>(ParseInt(value));
    else if (field == "engage") Field<uint8_t>(p, ped::Engage) = static_cast<uint8_t>(ParseInt(value));
    else if (field == "type") Field<int32_t>(p, ped::PedType) = ParsePedType(value);
    else ScriptError("unknown pedestrian field: " + field);
}

void ShowPed(int slot) {
    uint8_t* p = PedAt(slot);
    const std::string target = TargetName(Field<uint8_t*>(p, ped::OrderTarget));
    Trace("ped %d type=%d order=%d target=%s threat=%u engage=%u state=%u health=%g armour=%g vehicle=%d", slot,
          Field<int32_t>(p, ped::PedType), Field<int32_t>(p, ped::Order), target.c_str(),
          Field<uint32_t>(p, ped::Threat) & 1, (Field<uint8_t>(p, ped::Engage) >> 1) & 1, Field<uint32_t>(p, ped::State),
          Field<float>(p, ped::Health), Field<float>(p, ped::Armour), Field<uint8_t>(p, ped::InVehicle));
}

// ped spawn|move|free|die|set|seat|unseat|fright|show ...
void RunPed(const Words& w) {
    Need(w, 3, "ped VERB SLOT ...");
    const std::string& verb = w[1];
    const int slot = ParseSlot(w[2]);
    uint8_t* p = PedAt(slot);
    if (verb == "spawn") {
        Need(w, 6, "ped spawn SLOT TYPE X Y [Z]");
        SpawnPed(slot, ParsePedType(w[3]), ParseFloat(w[4]), ParseFloat(w[5]), OptionalZ(w, 6));
    } else if (verb == "move") {
        Need(w, 5, "ped move SLOT X Y [Z]");
        MovePed(p, ParseFloat(w[3]), ParseFloat(w[4]), OptionalZ(w, 5));
    } else if (verb == "free") {
        FreeSlot(slot);
    } else if (verb == "die") {
        KillPed(p);
    } else if (verb == "set") {
        Need(w, 5, "ped set SLOT FIELD VALUE");
        SetPedField(p, w[3], w[4]);
    } else if (verb == "seat") {
        Need(w, 4, "ped seat SLOT X Y [Z] | ped seat SLOT none");
        if (w[3] != "none") Need(w, 5, "ped seat SLOT X Y [Z]");
        SeatPed(p, Vehicle(w, 3));
    } else if (verb == "unseat") {
        UnseatPed(p);
    } else if (verb == "fright") {
        Need(w, 4, "ped fright SLOT 0|1");
        SetFrightAnswer(slot, static_cast<uint8_t>(ParseInt(w[3])));
    } else if (verb == "show") {
        ShowPed(slot);
    } else {
        ScriptError("unknown ped verb: " + verb);
    }
}

// player move|seat|unseat|in-play|out-of-play|health|state ...
void RunPlayer(const Words& w) {
    Need(w, 2, "player VERB ...");
    const std::string& verb = w[1];
    uint8_t* p = Player();
    if (verb == "move") {
        Need(w, 4, "player move X Y [Z]");
        MovePed(p, ParseFloat(w[2]), ParseFloat(w[3]), OptionalZ(w, 4));
    } else if (verb == "seat") {
        Need(w, 4, "player seat X Y [Z]");
        SeatPed(p, Vehicle(w, 2));
    } else if (verb == "unseat") {
        UnseatPed(p);
    } else if (verb == "in-play" || verb == "out-of-play") {
        SetPlayerInPlay(verb == "in-play");
    } else if (verb == "health") {
        Need(w, 3, "player health VALUE");
        Field<float>(p, ped::Health) = ParseFloat(w[2]);
    } else if (verb == "state") {
        Need(w, 3, "player state VALUE");
        Field<uint32_t>(p, ped::State) = static_cast<uint32_t>(ParseInt(w[2]));
    } else {
        ScriptError("unknown player verb: " + verb);
    }
}

// damage SLOT AMOUNT [by player|player-entity|none|SLOT]
void RunDamage(const Words& w) {
    Need(w, 3, "damage SLOT AMOUNT [by player|player-entity|none|SLOT]");
    uint8_t* victim = PedAt(ParseSlot(w[1]));
    void* attacker = Player();
    if (w.size() >= 5 && w[3] == "by") {
        const std::string& who = w[4];
        if (who == "player-entity") attacker = SimFindPlayerEntity();
        else if (who == "none") attacker = nullptr;
        else if (who != "player") attacker = PedAt(ParseSlot(who));
    }
    CheckDiscipline(DamagePed(victim, attacker, ParseFloat(w[2])), "damage");
}

// gang NAME|TYPE hostile|calm|missing
void RunGang(const Words& w) {
    Need(w, 3, "gang NAME hostile|calm|missing");
    const int32_t type = ParsePedType(w[1]);
    if (w[2] == "hostile" || w[2] == "calm") SetPedTypeHostile(type, w[2] == "hostile");
    else if (w[2] == "missing") SetPedTypeMissing(type);
    else ScriptError("unknown gang state: " + w[2]);
}

// mission start|stop|offset N
void RunMission(const Words& w) {
    Need(w, 2, "mission start|stop|offset N");
    if (w[1] == "start" || w[1] == "stop") {
        SetMission(w[1] == "start");
    } else if (w[1] == "offset") {
        Need(w, 3, "mission offset N");
        SetMissionFlagOffset(static_cast<uint32_t>(ParseInt(w[2])));
    } else {
        ScriptError("unknown mission verb: " + w[1]);
    }
}

// damage-effect none|free|reuse: what the next damage does to the victim's slot
void RunDamageEffect(const Words& w) {
    Need(w, 2, "damage-effect none|free|reuse");
    if (w[1] == "none") SetNextDamageEffect(DamageEffect::None);
    else if (w[1] == "free") SetNextDamageEffect(DamageEffect::FreeVictimSlot);
    else if (w[1] == "reuse") SetNextDamageEffect(DamageEffect::ReuseVictimSlot);
    else ScriptError("unknown damage effect: " + w[1]);
}

}  // namespace

bool RunPedCommand(const std::vector<std::string>& w) {
    if (w.empty()) return false;
    const std::string& verb = w[0];
    if (verb == "ped") RunPed(w);
    else if (verb == "player") RunPlayer(w);
    else if (verb == "credit") {
        Need(w, 2, "credit SLOT");
        CheckDiscipline(CreditKill(PedAt(ParseSlot(w[1]))), "credit");
    } else if (verb == "damage") RunDamage(w);
    else if (verb == "damage-effect") RunDamageEffect(w);
    else if (verb == "gang") RunGang(w);
    else if (verb == "mission") RunMission(w);
    else return false;
    return true;
}

}  // namespace sim
