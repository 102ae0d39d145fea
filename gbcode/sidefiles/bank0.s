; bnk0cod.dat: the four fragments that go into bank 0 of the colour ROM.
; The program reads each fragment after one skipped byte and places it at the end of bank 0,
; in room the game never uses; where depends on the ROM, so the fragments reach each other
; only through the addresses the program writes into them (see engine/SideFileLayout.h).
; Everything that does not have to be in bank 0 runs from WRAM bank 2 (runtime.s).
        .module bank0
        .include "hardware.inc"
        .include "layout.inc"
        .globl ColourInit, RuntimeEntry

        .area _BANK0_FRAGMENTS (ABS)

; ---------------------------------------------------------------------------------------------
; Offset 0: skipped by the program.
        .org 0x0000
        .db 0x00

; ---------------------------------------------------------------------------------------------
; EntryHook (offsets 1-18): the cartridge entry jump leads here. Runs the colour set-up
; in bank 33, then continues at the game's own entry with the registers a monochrome Game
; Boy's boot ROM leaves (the set-up puts its A and F where the POP below finds them).
        .org 0x0001
EntryHook::
        push af
        ld a,#COLOUR_BANK_LOW
        ld (MBC_ROM_BANK),a
        ld a,#1
        ld (MBC_HIGH_BITS),a    ; MBC1: bank bit 5 -> bank 33; MBC3: cartridge RAM bank 1, unused yet
        call ColourInit         ; returns with ROM bank 1 and WRAM bank 1 selected
        pop af
EntryHookJump::
        jp 0x0000               ; operand = the game's entry, written by the program
        .iif ne, EntryHookJump - EntryHook - 15, .error 1
        .iif ne, . - EntryHook - 18, .error 1

; ---------------------------------------------------------------------------------------------
; Offset 19: skipped.
        .org 0x0013
        .db 0x00

; ---------------------------------------------------------------------------------------------
; DmaHook (offsets 20-33): every CALL of the game's OAM DMA routine in high RAM leads here.
; The game's routine runs first, exactly when the game asked for it and with the game's A;
; the colour work follows through Shared with the carry set.
        .org 0x0014
DmaHook::
DmaHookCall::
        call 0xFF80             ; operand low byte = the game's routine, written by the program
        push af                 ; A and F as the game's routine left them
        scf                     ; carry: the frame's work (a copied byte arrives with carry clear)
DmaHookJump::
        jp 0x0000               ; operand = address of CopyTail (Shared), written by the program
        .db 0, 0, 0, 0, 0, 0
        .iif ne, DmaHookCall - DmaHook, .error 1
        .iif ne, DmaHookJump - DmaHook - 5, .error 1
        .iif ne, . - DmaHook - 14, .error 1

; ---------------------------------------------------------------------------------------------
; Offset 34: skipped.
        .org 0x0022
        .db 0x00

; ---------------------------------------------------------------------------------------------
; CopyHook (offsets 35-66): replaces LD A,(HL+) / LD (DE),A / INC DE. The byte is stored
; first, at the time the game meant, and the caller gets back exactly what the three
; instructions leave: A the byte, HL and DE advanced, BC and every flag unchanged. Only a
; byte stored into VRAM while the LCD is off goes on to the runtime (tile recognition, map
; attributes); with the LCD on there is no time to spare, and the frame work catches up.
        .org 0x0023
CopyHook::
        ld a,(hl+)
        ld (de),a
        push af                 ; the byte and the caller's flags
        ld a,d
        cp #0xA0
        jr nc,CopyHookDone      ; WRAM, cartridge RAM, high RAM: the usual case
        cp #0x80
        jr c,CopyHookDone
        ldh a,(rLCDC)
        rla                     ; carry: LCD on
        jr nc,CopyHookVram      ; carry clear on to Shared: "a copied byte"
CopyHookDone:
        inc de
        pop af
        ret
        .db 0, 0, 0, 0, 0
CopyHookVram:
CopyHookJump::
        jp 0x0000               ; operand = address of CopyTail, written by the program
        .db 0, 0, 0, 0
        .iif ne, CopyHookJump - CopyHook - 25, .error 1
        .iif ne, . - CopyHook - 32, .error 1

; ---------------------------------------------------------------------------------------------
; Offset 67: skipped.
        .org 0x0043
        .db 0x00

; ---------------------------------------------------------------------------------------------
; CopyTail (offsets 68-105), "Shared": the way into the runtime in WRAM bank 2 for both hooks.
; The caller has pushed its AF; its carry, which reaches the runtime untouched, tells why it
; was called. (The stack cannot carry it: with the game's stack at 0xD000-0xDFFF, what is
; pushed here lands in WRAM bank 1 and the runtime sees bank 2 there.) IE is cleared
; before WRAM bank 2 comes into view and restored only after bank 1 is back, so no interrupt
; handler of the game ever runs with the runtime's bank at 0xD000 (an interrupt that arrives
; meanwhile is taken right after).
        .org 0x0044
CopyTail::
        ldh a,(rIE)
        push af                 ; IE (popped again once bank 1 is back)
        ld a,#0                 ; (loads leave the caller's carry to the runtime)
        ldh (rIE),a
        ld a,#2
        ldh (rSVBK),a
        call RuntimeEntry       ; returns A = 0
        ldh (rSVBK),a           ; 0 selects WRAM bank 1, the game's
        pop af
        ldh (rIE),a
        pop af
        ret
CopyTailEnd:
        .iif gt, CopyTailEnd - CopyTail - 38, .error 1
        .org 0x0043 + 1 + 38 - 1
        .db 0x00
