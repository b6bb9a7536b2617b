// Assembly entry stubs for the hooks whose handlers must control registers or
// leave through the trampoline with the caller's stack. Each stub addresses
// its trampoline as hookSites[id].trampoline.
#include "host/handler_entries.h"

#include "host/hook_engine.h"

// MarkPlayerDamage is a C++ __thiscall function; the stub reaches it through this pointer.
extern "C" void* const markPlayerDamageAddress;
void* const markPlayerDamageAddress = reinterpret_cast<void*>(&MarkPlayerDamage);

#define QB_STRINGIFY(x) #x
#define QB_STRING(x) QB_STRINGIFY(x)
#define QB_TRAMPOLINE(id) \
    "dword ptr [_hookSites + " #id " * " QB_STRING(QB_HOOK_SITE_BYTES) " + " QB_STRING(QB_HOOK_TRAMPOLINE_OFFSET) "]"

asm(R"(
    .intel_syntax noprefix
    .text

    # Hook 0: the wrapped routine gets ECX and EDX exactly as the host passed
    # them; the tick runs afterwards as an ordinary cdecl call.
    .globl _FearTickEntry
_FearTickEntry:
    call )" QB_TRAMPOLINE(0) R"(
    push eax
    call _FearTick
    pop eax
    ret

    # Hook 1: count first, then leave through the trampoline with every
    # register and the stack as the host gave them.
    .globl _CountKillEntry
_CountKillEntry:
    pushad
    push dword ptr [esp + 36]
    call _CountKill
    add esp, 4
    popad
    jmp )" QB_TRAMPOLINE(1) R"(

    # Hook 2: damage that is not the player's goes straight to the host
    # method; otherwise the __thiscall handler takes over the call.
    .globl _MarkPlayerDamageEntry
_MarkPlayerDamageEntry:
    pushad
    push dword ptr [esp + 36]
    push ecx
    call _DamageIsPlayers
    add esp, 8
    test al, al
    popad
    jz 1f
    jmp dword ptr [_markPlayerDamageAddress]
1:
    jmp )" QB_TRAMPOLINE(2) R"(

    # Hook 4: the host routine first, with every register as received; the
    # reset after it keeps the host's registers.
    .globl _ResetOnNewGameEntry
_ResetOnNewGameEntry:
    call )" QB_TRAMPOLINE(4) R"(
    pushad
    call _ResetOnNewGame
    popad
    ret

    .att_syntax prefix
)");
