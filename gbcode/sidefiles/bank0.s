; bnk0cod.dat: the four fragments that go into bank 0 of the colour ROM.
; The program reads each fragment after one skipped byte and places it in free space of
; bank 0 (positions differ from ROM to ROM), so fragments use relative jumps only and
; reach each other solely through the address the program writes into CopyHook.
        .module bank0
        .include "hardware.inc"
        .include "layout.inc"
        .globl ColourInit, DmaRuntime, ColourMapEntry, RecordTilePalette

        .area _BANK0_FRAGMENTS (ABS)

; ---------------------------------------------------------------------------------------------
; Offset 0: skipped by the program.
        .org 0x0000
        .db 0x00

; ---------------------------------------------------------------------------------------------
; EntryHook (offsets 1-18): the cartridge entry jump leads here. Runs the colour set-up
; in bank 33, then continues at the game's own entry with the A and F the boot ROM left
; (A = 0x11 tells a game it runs on colour hardware).
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

; ---------------------------------------------------------------------------------------------
; Offset 19: skipped.
        .org 0x0013
        .db 0x00

; ---------------------------------------------------------------------------------------------
; DmaHook (offsets 20-33): every CALL of the game's OAM DMA routine in high RAM leads here.
; The game's A (the buffer page, for a routine that takes it in A) travels to the runtime in
; H, not on the stack: with the game's stack in 0xD000-0xDFFF a push made while WRAM bank 1 is
; in view must be popped while bank 1 is in view again, which holds for HL here.
        .org 0x0014
DmaHook::
        push hl
        ld h,a
        ld a,#2
        ldh (rSVBK),a           ; the runtime lives in WRAM bank 2
        call DmaRuntime
        xor a
        ldh (rSVBK),a           ; 0 selects WRAM bank 1, the game's
        pop hl
        ret                     ; A = 0, Z set: what the usual DMA wait loop leaves
        .iif ne, . - DmaHook - 14, .error 1

; ---------------------------------------------------------------------------------------------
; Offset 34: skipped.
        .org 0x0022
        .db 0x00

; ---------------------------------------------------------------------------------------------
; CopyHook (offsets 35-66): replaces LD A,(HL+) / LD (DE),A / INC DE. It copies first and
; saves AF at once, so the caller gets back exactly what the three instructions leave: A the
; byte, HL and DE advanced, BC and every flag unchanged. Only the first byte of a tile and
; bytes of a tile map need colour work; everything else returns at once.
        .org 0x0023
CopyHook::
        ld a,(hl+)
        ld (de),a
        inc de
        push af                 ; the byte and the caller's flags
        ld a,d                  ; DE is one past the destination
        cp #0xA0
        jr nc, CopyHookDone     ; WRAM, cartridge RAM, OAM, high RAM
        cp #0x98
        jr nc, CopyHookColour   ; a tile map (the last map byte, 0x9FFF, is left to the refresh)
        ld a,e
        dec a
        and #0x0F
        jr nz, CopyHookDone     ; not the first byte of a tile
CopyHookColour:
        ldh a,(rIE)
        push af
        xor a
        ldh (rIE),a             ; no interrupt while WRAM bank 2 and other ROM/VRAM banks are in view
CopyHookJump::
        jp 0x0000               ; operand = address of CopyTail, written by the program
CopyHookDone:
        pop af
        ret
        .db 0x00, 0x00
        .iif ne, CopyHookJump - CopyHook - 25, .error 1
        .iif ne, . - CopyHook - 32, .error 1

; ---------------------------------------------------------------------------------------------
; Offset 67: skipped.
        .org 0x0043
        .db 0x00

; ---------------------------------------------------------------------------------------------
; CopyTail (offsets 68-105): runs the colour work in WRAM bank 2 with interrupts masked,
; then restores the interrupt mask and the byte with the caller's flags.
        .org 0x0044
CopyTail::
        ld a,#2
        ldh (rSVBK),a
        dec a
        ldh (rVBK),a            ; the records and the attribute maps are in VRAM bank 1
        push hl
        push bc
        dec hl                  ; HL, DE: the byte's source and destination
        dec de
        ld a,d
        cp #0x98
        jr c,1$
        call ColourMapEntry
        jr 2$
1$:     call RecordTilePalette
2$:     inc de
        pop bc
        pop hl
        xor a
        ldh (rVBK),a            ; the game's VRAM bank 0
        ldh (rSVBK),a           ; 0 selects WRAM bank 1
        pop af
        ldh (rIE),a
        pop af
        ret
CopyTailEnd:
        .iif gt, CopyTailEnd - CopyTail - 38, .error 1
