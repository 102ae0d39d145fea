; A small monochrome "game" that behaves like typical cartridges do, for the end-to-end tests
; of the colour ROM (and, in one build, the demo ROM). A one-line-per-setting file assembled
; in front of this one chooses the variant:
;   BANK_A, BANK_B   banks of the two graphics blocks (copied to 0x8000 and 0x8800)
;   GFX_OFFSET       byte offset of block B within its bank (block A starts at offset 0)
;   DMA_PAGE_IN_A    1: the OAM DMA routine takes the page in A; 0: it loads it itself
;   OAM_PAGE         page of the OAM buffer (0xC1.. or 0xD0-0xDF)
;   HDMA_ROUTINE     high-RAM address of the DMA routine
;   STACK_TOP        initial stack pointer
;   BG_TILES_8800    1: the background uses the 0x8800 tile addressing (LCDC bit 4 clear)
;   ALL_SPRITES      1: all 40 sprites are on screen; 0: one sprite
;   BANK0_FULL_END   1: the last 0x400 bytes of bank 0 hold data, so no free room at its end
;   MBC2             1: an MBC2 cartridge: banks selected at 0x2100, a frame count kept in its
;                    half-byte RAM
        .module game
        .include "hardware.inc"

; --- Variables (WRAM), clear of the OAM buffer pages the variants use.
wFrame      == 0xC0F0       ; two bytes: vertical blanks since the LCD came on
wVBlankFlag == 0xC0F2
wKeys       == 0xC0F3       ; bit 0 right, 1 left, 2 up, 3 down
wCheckIndex == 0xC0F4       ; CheckCopySequence: the case being run
wLogPtr     == 0xC0F5       ; two bytes: where the next case's registers go
wRegisterLog == 0xC400      ; 64 cases x 8 bytes, then the registers after one DMA call
REGISTER_LOG_SIZE == 64 * 8 + 8
wSceneCopy  == 0xCA00       ; the scene map copied to WRAM (360 bytes)
wRamCount   == 0xC0F7       ; MBC2: the frame count read back from cartridge RAM (low four bits)
GAME_STATE_SIZE == 8        ; wFrame up to here: the same in monochrome and in colour
wBankError  == 0xC0F8       ; set when the timer handler saw another WRAM bank at 0xD000
wTimerTicks == 0xC0F9       ; two bytes: timer interrupts during start-up
wBankMarker == 0xD800       ; MARKER here in WRAM bank 1, the game's
MARKER      == 0x5A
wShadowOAM  == OAM_PAGE * 0x100
hDma        == HDMA_ROUTINE

; --- Screen layout shared with the tests
SPRITE_Y    == 64           ; OAM Y of the bee (screen line 48)
STAR_X      == 18           ; map entry rewritten by the VBlank handler
STAR_Y      == 1
SUN_X       == 15           ; 2 x 2 map entries written once by code other than the copy loop
SUN_Y       == 4

; --- The cartridge: where the game writes its ROM bank number
        .if MBC2
BANK_SELECT = 0x2100        ; MBC2 takes it where address bit 8 is set
RAM_ENABLE  = 0x0000        ; and the RAM switch where bit 8 is clear
CART_RAM_COUNTER = 0xA1FF   ; the last of its 512 half-bytes
        .else
BANK_SELECT = MBC_ROM_BANK
        .endif

; =============================================================================================
        .area _HEADER (ABS)
        .org 0x0040             ; vertical blank interrupt
        jp VBlankHandler
        .org 0x0050             ; timer interrupt
        jp TimerHandler
        .org 0x0100             ; cartridge entry: NOP, then the jump the colour program redirects
        nop
        jp Start

; =============================================================================================
        .area _CODE
; --- Start-up: LCD off in vertical blank, then graphics, maps and sprites.
Start::
        di
        ld sp,#STACK_TOP
1$:     ldh a,(rLY)
        cp #VBLANK_FIRST_LINE
        jr c,1$
        xor a
        ldh (rLCDC),a

; Variables and the OAM buffer cleared
        ld hl,#wFrame
        ld b,#11
2$:     ld (hl+),a
        dec b
        jr nz,2$
        ld hl,#wShadowOAM
        ld b,#OAM_SIZE
3$:     ld (hl+),a
        dec b
        jr nz,3$
        .if MBC2
        ld a,#0x0A              ; cartridge RAM on, its counter at 0
        ld (RAM_ENABLE),a
        xor a
        ld (CART_RAM_COUNTER),a
        .endif

; The OAM DMA routine into high RAM (its bytes are in bank 0, where the colour program finds them)
        ld hl,#DmaRoutine
        ld c,#<hDma
        ld b,#DmaRoutineEnd - DmaRoutine
4$:     ld a,(hl+)
        ldh (c),a
        inc c
        dec b
        jr nz,4$

; The copy sequence and the DMA call, checked before anything is on screen
        call CheckCopySequence

; A fast timer interrupt runs through the start-up copies below (not through a DMA call:
; during the transfer the CPU cannot fetch the handler); the handler checks that it always
; sees the game's WRAM bank at 0xD000, where the colour code switches banks
        ld a,#MARKER
        ld (wBankMarker),a
        ld a,#0xF0
        ldh (rTMA),a
        ldh (rTIMA),a
TimerOn::                       ; (hookcost turns the timer off here for its timings)
        ld a,#0x05              ; timer on, 262144 Hz: an interrupt every 64 machine cycles
        ldh (rTAC),a
        ld a,#IEF_TIMER
        ldh (rIE),a
        xor a
        ldh (rIF),a
        ei

; Level data into WRAM through the copy loop, as games keep maps and tables in RAM
        ld a,#BANK_B
        ld (BANK_SELECT),a
        ld hl,#SceneMap
        ld de,#wSceneCopy
        ld bc,#20 * 18
        call CopyMem

; Both tile maps filled with sky by a plain store loop
        ld hl,#VRAM_MAP0
        ld bc,#0x0800
5$:     ld a,#T_SKY
        ld (hl+),a
        dec bc
        ld a,b
        or c
        jr nz,5$

; Graphics through the copy loop: block A (sprites, letters) to 0x8000; with the 0x8800
; addressing block A also goes to 0x9000, where map numbers 0-127 then point
        ld a,#BANK_A
        ld (BANK_SELECT),a
        ld hl,#TilesA
        ld de,#VRAM_TILES
        ld bc,#TilesAEnd - TilesA
        call CopyMem
        .if BG_TILES_8800
        ld hl,#TilesA
        ld de,#0x9000
        ld bc,#TilesAEnd - TilesA
        call CopyMem
        .endif
; block B (scenery), which starts GFX_OFFSET bytes into its bank, to 0x8800 (map numbers 128-)
        ld a,#BANK_B
        ld (BANK_SELECT),a
        ld hl,#TilesB
        ld de,#0x8800
        ld bc,#TilesBEnd - TilesB
        call CopyMem

; The scene: 18 rows of 20 entries through the row loop
        ld hl,#SceneMap
        ld de,#VRAM_MAP0
        ld c,#18
6$:     ld b,#20
        call CopyRow
        ld a,e
        add a,#12
        ld e,a
        jr nc,7$
        inc d
7$:     dec c
        jr nz,6$

; The sun: four map entries written directly, so only the attribute refresh colours them
        ld hl,#VRAM_MAP0 + SUN_Y * 32 + SUN_X
        ld a,#T_SUN_TL
        ld (hl+),a
        inc a
        ld (hl),a
        ld hl,#VRAM_MAP0 + (SUN_Y + 1) * 32 + SUN_X
        inc a
        ld (hl+),a
        inc a
        ld (hl),a

; Timer off again before the game proper starts
        di
        xor a
        ldh (rTAC),a

; Sprites: the bee, and in one variant 39 more stars
        ld hl,#wShadowOAM
        ld a,#SPRITE_Y
        ld (hl+),a
        ld a,#8
        ld (hl+),a
        ld a,#T_BEE_A
        ld (hl+),a
        xor a
        ld (hl+),a
        .if ALL_SPRITES
        ld de,#0x1808           ; first star: OAM Y 24, X 8
        ld b,#39
8$:     ld a,d
        ld (hl+),a
        ld a,e
        ld (hl+),a
        add a,#12
        ld e,a
        cp #8 + 13 * 12
        jr c,9$
        ld e,#8
        ld a,d
        add a,#10
        ld d,a
9$:     ld a,b
        and #1
        add a,#T_STAR_A         ; stars alternate between the two star tiles
        ld (hl+),a
        xor a
        ld (hl+),a
        dec b
        jr nz,8$
        .endif

; Monochrome palettes, LCD on, vertical blank interrupt on
        ld a,#0xE4
        ldh (rBGP),a
        ldh (rOBP0),a
        .if BG_TILES_8800
        ld a,#LCDC_ON | LCDC_OBJ_ON | LCDC_BG_ON
        .else
        ld a,#LCDC_ON | LCDC_TILES8000 | LCDC_OBJ_ON | LCDC_BG_ON
        .endif
        ldh (rLCDC),a
        ld a,#IEF_VBLANK
        ldh (rIE),a
        xor a
        ldh (rIF),a
        ei

; --- Main loop: once per frame read the keys, move and animate the bee
MainLoop::
        halt
        nop
        ld a,(wVBlankFlag)
        and a
        jr z,MainLoop
        xor a
        ld (wVBlankFlag),a
        call ReadKeys
        ld hl,#wShadowOAM + 1   ; the bee's X: one pixel a frame, two while right is held
        inc (hl)
        ld a,(wKeys)
        rra
        jr nc,1$
        inc (hl)
1$:     ld a,(wFrame)           ; wings up and down every 16 frames
        and #0x10
        ld a,#T_BEE_A
        jr z,2$
        ld a,#T_BEE_B
2$:     ld (wShadowOAM + 2),a
        .if MBC2
        ld hl,#CART_RAM_COUNTER ; a frame count in cartridge RAM
        inc (hl)
        ld a,(hl)
        and #0x0F               ; MBC2 keeps four bits; the upper ones read as 1s there
        ld (wRamCount),a
        .endif
        jr MainLoop

ReadKeys:
        ld a,#0x20              ; direction keys
        ldh (rP1),a
        ldh a,(rP1)
        ldh a,(rP1)
        cpl
        and #0x0F
        ld (wKeys),a
        ld a,#0x30
        ldh (rP1),a
        ret

; --- Vertical blank: sprites to OAM, the twinkling star, the frame counter
VBlankHandler:
        push af
        push bc
        push de
        push hl
        .if DMA_PAGE_IN_A
        ld a,#OAM_PAGE
        .endif
DmaCallSite::
        call hDma
        ld a,(wFrame)           ; the star's map entry changes every 128 frames
        and #0x80
        ld a,#T_STAR_A
        jr z,1$
        ld a,#T_STAR_B
1$:     ld (VRAM_MAP0 + STAR_Y * 32 + STAR_X),a
        ld hl,#wFrame
        inc (hl)
        jr nz,2$
        inc hl
        inc (hl)
2$:     ld a,#1
        ld (wVBlankFlag),a
        pop hl
        pop de
        pop bc
        pop af
        reti

; --- Timer: counts, and notes a foreign WRAM bank at 0xD000
TimerHandler:
        push af
        push hl
        ld a,(wBankMarker)
        cp #MARKER
        jr z,1$
        ld a,#1
        ld (wBankError),a
1$:     ld hl,#wTimerTicks
        inc (hl)
        jr nz,2$
        inc hl
        inc (hl)
2$:     pop hl
        pop af
        reti

        .include "testroms/copyloops.inc"

; --- The copy sequence run with all 16 flag combinations towards four kinds of destination
;     (WRAM, the first and the second byte of a tile, a map entry), from block A in its
;     switchable bank. After each run AF, BC, DE and HL go to wRegisterLog; the tests compare
;     the log of the colour ROM with that of the monochrome one. Then one DMA call, logged
;     the same way without F.
CheckCopySequence::
        ld a,#BANK_A
        ld (BANK_SELECT),a
        ld hl,#wRegisterLog
        call StoreLogPtr
        xor a
        ld (wCheckIndex),a
1$:     ld a,(wCheckIndex)
        and #0x30               ; destination kind: index bits 4-5
        rrca
        rrca
        rrca                    ; 2 bytes a table entry
        ld e,a
        ld d,#0
        ld hl,#CheckDestinations
        add hl,de
        ld e,(hl)
        inc hl
        ld d,(hl)
        ld a,(wCheckIndex)
        swap a                  ; flags: index bits 0-3 as Z N H C
        and #0xF0
        ld c,a
        ld b,#0xC3              ; A before the copy: anything
        push bc
        pop af
        ld bc,#0x5AA5
        ld hl,#TilesA + 0x20
        ld a,(hl+)              ; the sequence the colour program replaces with a call
        ld (de),a
        inc de
        call LogRegisters
        ld hl,#wCheckIndex
        inc (hl)
        bit 6,(hl)
        jr z,1$
        ; one DMA call with known registers
        ld bc,#0x1357
        ld de,#0x2468
        ld hl,#0x9BDF
        .if DMA_PAGE_IN_A
        ld a,#OAM_PAGE
        .endif
        call hDma
        and a                   ; the flags of the usual wait loop are not part of the log
        call LogRegisters
        ret

; AF, BC, DE, HL as they are at the call go to wRegisterLog.
LogRegisters:
        push hl
        push de
        push bc
        push af
        ld a,(wLogPtr)
        ld l,a
        ld a,(wLogPtr + 1)
        ld h,a
        ld b,#4
1$:     pop de                  ; AF, then BC, DE, HL
        ld (hl),e
        inc hl
        ld (hl),d
        inc hl
        dec b
        jr nz,1$
StoreLogPtr:
        ld a,l
        ld (wLogPtr),a
        ld a,h
        ld (wLogPtr + 1),a
        ret

CheckDestinations:
        .dw 0xC800              ; WRAM
        .dw 0x8000              ; the first byte of tile 0 (loaded again later)
        .dw 0x8011              ; the second byte of tile 1
        .dw 0x9BFF              ; a map entry off screen

; --- The OAM DMA routine as it is copied to high RAM
        ret                     ; (keeps a stray LD A,nn from standing before the routine)
DmaRoutine:
        .if DMA_PAGE_IN_A
        ldh (rDMA),a
        .else
        ld a,#OAM_PAGE
        ldh (rDMA),a
        .endif
        ld a,#40                ; 160 machine cycles for the transfer
1$:     dec a
        jr nz,1$
        ret
DmaRoutineEnd:

; =============================================================================================
        .if BANK0_FULL_END
; Data up to the end of bank 0: the colour program must find free room further down.
        .area _BANK0_TABLE (ABS)
        .org 0x3C00
        .rept 0x400
        .db 0x5A
        .endm
        .endif
