; exbnkcod.dat: the start of ROM bank 33 of the colour ROM (0x4000- while bank 33 is selected).
;   0x000-0x07F  the 64 colour words, written by the program
;   0x080-0x0FF  ColourInit, run once from ROM before the game starts
;   0x100-0x11F  the places the scan writes (0x103-0x104: LD A,page; 0x11A-0x11C: CALL $FFxx):
;                kept as a record of what the scan found, not run
;   0x120-0x12F  the settings the program writes (layout.inc, SETTING_*)
;   0x130-0x47F  the rest of ColourInit
;   0x480-0x4BF  the dictionary probe, copied to 0xD000 of WRAM banks 2-7
;   0x4C0-0x11BF the runtime, copied to 0xD100 of WRAM bank 2
;   0x11C0-      the runtime's code in WRAM bank 7, copied to 0xD030 there
; The program places the whole file at the start of bank 33; the rest of the bank is zero.
        .module extrabank
        .include "hardware.inc"
        .include "layout.inc"
        .globl ColourInit, RuntimeImageSize, GameWordJump, GameByteJump

PROBE_IN_ROM   = 0x4480
RUNTIME_IN_ROM = 0x44C0
BANK7_IN_ROM   = RUNTIME_IN_ROM + RUNTIME_END - RUNTIME
ZERO_SOURCE    = 0x5800          ; bank 33 from 0x1800 on holds nothing but zeros
rHDMA1 = 0xFF51
rHDMA2 = 0xFF52
rHDMA3 = 0xFF53
rHDMA4 = 0xFF54
rHDMA5 = 0xFF55
rOPRI = 0xFF6C
SAVED_SP = 0xC0F0                ; WRAM bank 0 before the game starts: free

; =============================================================================================
        .area _COLOUR_INIT (ABS)
        .org 0x4080
; ColourInit: called once by EntryHook with bank 33 in view, before the game's first
; instruction. A and F are kept by EntryHook; BC, DE and HL are the game's to set.
ColourInit::
; --- Palette RAM and VRAM refuse writes while a line is drawn: wait for vertical blank and
;     switch the LCD off (the game's LCDC stays on the stack for the end).
        ldh a,(rLCDC)
        push af
        rla
        jr nc,2$
1$:     ldh a,(rLY)
        cp #VBLANK_FIRST_LINE
        jr c,1$
        xor a
        ldh (rLCDC),a
2$:
; --- The 64 colours into palette RAM, as the shade registers' usual 0xE4 shows them; the
;     words alternate background, sprite.
        ld hl,#PALETTE_WORDS
        ld a,#PAL_AUTO_INCREMENT
        ldh (rBCPS),a
        ldh (rOCPS),a
3$:     ld a,(hl+)
        ldh (rBCPD),a
        ld a,(hl+)
        ldh (rBCPD),a
        ld a,(hl+)
        ldh (rOCPD),a
        ld a,(hl+)
        ldh (rOCPD),a
        bit 7,l
        jr z,3$
; --- VRAM bank 1 cleared (no tile has a record, every attribute 0) by general DMA from the
;     zeros of bank 33, 2 KiB at a time.
        ld a,#1
        ldh (rVBK),a
        ld a,#>ZERO_SOURCE
        ldh (rHDMA1),a
        xor a
        ldh (rHDMA2),a
        ldh (rHDMA4),a
        ld b,#0x80
4$:     ld a,b
        ldh (rHDMA3),a
        ld a,#0x7F              ; 128 blocks of 16 bytes
        ldh (rHDMA5),a
        ld a,b
        add a,#0x08
        ld b,a
        cp #0xA0
        jr nz,4$
        xor a
        ldh (rVBK),a
        jp ColourInitTail
InitHeadEnd:
        .iif gt, InitHeadEnd - ColourInit - 0x80, .error 1

; =============================================================================================
; What the scan writes, where it has always written it. Not run: the DMA hook in bank 0 calls
; the game's routine itself.
        .area _SCAN_FIELDS (ABS)
        .org 0x4100
ScanFields:
        .db 0x00, 0x00, 0x00
ScanDmaPage::
        ld a,#0x00              ; 0x103: the OAM buffer page, or LD H,A / NOP
        .db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00
        .db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00
ScanDmaCall::
        call 0xFF80             ; 0x11A: the game's DMA routine
        .db 0x00, 0x00, 0x00
ColourSettings::
        .db 0x01                ; palettes in use (the program writes them)
        .db 0x00                ; dictionary parts
        .db 0x00                ; flags
        .db 0x00
        .db 0, 1, 2, 3, 4, 5, 6, 7      ; twins: none (the program writes them)
        .org 0x412E
ColourCodeLength::
        .dw BANK7_IN_ROM - 0x4000 + BANK7_CODE_END - BANK7_CODE  ; bytes of this file the code takes
        .iif ne, ScanDmaPage - ScanFields - 0x03, .error 1
        .iif ne, ScanDmaCall - ScanFields - 0x1A, .error 1
        .iif ne, ColourSettings - ScanFields - 0x20, .error 1

; =============================================================================================
        .area _COLOUR_INIT_TAIL (ABS)
        .org 0x4130
ColourInitTail:
; --- The rest runs at double speed (the LCD and interrupts are off): the copies are most of
;     the set-up's time, and every frame of it is a frame the game starts late. The game
;     starts at normal speed.
        call SwitchSpeed
; --- WRAM bank 2: the runtime, the probe, variables and the project's colours. Bank 2 stays
;     in view until the end.
        ld a,#2
        ldh (rSVBK),a
        call CopyRuntime
        call CopyProbe
        ld a,#CODE_WRAM_BANK    ; bank 7: the probe too, and the code above it (BANK7_COPY_CYCLES)
        ldh (rSVBK),a
        call CopyProbe
        ld hl,#BANK7_IN_ROM
        ld de,#BANK7_CODE
        ld bc,#BANK7_CODE_END - BANK7_CODE
        call CopyBytes
        ld a,#2
        ldh (rSVBK),a
        ld hl,#RUNTIME_VARS
        ld b,#RUNTIME_VARS_SIZE
        xor a
1$:     ld (hl+),a
        dec b
        jr nz,1$
        ld hl,#PALETTE_WORDS    ; background p colour c at 16p+4c, sprite at +2
        ld de,#USER_COLOURS     ; background at +8p+2c, sprite at +0x40+8p+2c
        ld b,#32
2$:     ld a,(hl+)
        ld (de),a
        inc e
        ld a,(hl+)
        ld (de),a
        dec e
        set 6,e
        ld a,(hl+)
        ld (de),a
        inc e
        ld a,(hl+)
        ld (de),a
        inc e
        res 6,e
        dec b
        jr nz,2$
        ld a,(COLOUR_SETTINGS + SETTING_PALETTES_USED)
        or #1
        ld (vPalettesUsed),a
        ld hl,#vUsedList                ; the palettes in use as a list of index bytes, for
        ld bc,#0x0800 | PAL_AUTO_INCREMENT ; the shades (B: palettes to look at, C: palette p's
9$:     rrca                            ; index, PAL_AUTO_INCREMENT + 8p)
        jr nc,10$
        ld (hl),c
        inc l
10$:    .rept 8
        inc c
        .endm
        dec b
        jr nz,9$
        ld a,l
        sub #<vUsedList
        ld (vUsedCount),a
        ld a,(COLOUR_SETTINGS + SETTING_DICT_BANKS)
        ld (vDictBanks),a
; --- Where StoreHooks is placed, the runtime may finish a copy loop at once: it reads the
;     game's stack through bank 0's GameWord, found from the cartridge entry's jump.
        ld a,(COLOUR_SETTINGS + SETTING_FLAGS)
        bit FLAG_STORE_HOOKS,a
        jr z,13$
        ld (vLoopRest),a
        ld hl,#ENTRY_JUMP_OPERAND
        ld a,(hl+)
        ld h,(hl)
        ld l,a
        ld bc,#GAME_WORD_FROM_ENTRY
        add hl,bc
        ld de,#GameWordJump + 1
        call PutHl
        ld bc,#GAME_BYTE_SET_FROM_WORD
        add hl,bc
        ld de,#GameByteJump + 1
        call PutHl
13$:
        ld hl,#vBgp                     ; palette RAM shows the shades of 0xE4 now
        ld (hl),#0xE4
        inc l
        ld (hl),#8
        ld hl,#vObp0
        ld (hl),#0xE4
        inc l
        ld (hl),#8
        ld a,#OAM_SIZE / 4
        ld (vSpriteSlots),a
        ld a,#(OAM_SIZE / 4 + SPRITE_STEPS_SPARE + 9) / 10 ; the lines all 40 need, as SlotsCounted reckons them
        ld (vNeedLines),a
        ld a,#FOLLOW_AFTER
        ld (vFollowAfter),a
        ld a,#>VRAM_MAP0
        ld (vRefreshPos + 1),a
        ld a,#>VRAM_TILES
        ld (vSweepTile + 1),a
        ld hl,#vObp1                    ; the twins still hold colours of their own
        ld (hl),#0xE4
        inc l
        ld (hl),#0                      ; (written once a sprite on OBP1 is seen)
; --- The twins, and the table the sprite pass sends OBP1 sprites through (VRAM bank 1; the
;     LCD is off).
        ld hl,#COLOUR_SETTINGS + SETTING_TWINS
        ld de,#vTwins
        ld bc,#8
        call CopyBytes
        ld hl,#vTwins                   ; any palette with a twin?
        ld b,#0
        ld c,#8
7$:     ld a,(hl+)
        cp b
        jr z,8$
        ld (vHasTwins),a                ; (not 0: a twin is never palette 0)
8$:     inc b
        dec c
        jr nz,7$
        ld a,#1
        ldh (rVBK),a
        ld hl,#TWIN_TABLE
5$:     ld a,l
        bit 4,a
        jr z,6$
        and #7
        add a,#<vTwins
        ld e,a
        ld d,#>vTwins
        ld a,(de)
        ld e,a
        ld a,l
        and #0xF8
        or e
6$:     ld (hl+),a
        ld a,l
        and a
        jr nz,5$
        ld a,#0x91                      ; LCDC as the boot ROM leaves it
        ld (LCDC_SEEN),a
        xor a
        ldh (rVBK),a

; --- The dictionary: parts of 4 KiB in ROM bank 32, copied into WRAM banks 3-6 where the
;     runtime cannot read them in ROM.
        ld a,(COLOUR_SETTINGS + SETTING_DICT_BANKS)
        and a
        jr z,DictDone
        ld c,a
        ld a,(CART_TYPE)
        cp #4
        jr nc,DictMbc3
; MBC1: in its mode 1 the 0x0000-0x3FFF window shows bank 32 (bit 5 is already set), while
; 0x4000-0x7FFF keeps bank 33. The runtime reads the dictionary there itself (ProbeRom),
; unless the game has banks of cartridge RAM, which mode 1 would select under it: then the
; dictionary is copied, as for MBC3. Interrupts are still off.
        ld a,(RAM_SIZE)
        cp #RAM_SIZE_32K
        jr nc,11$
        ld a,#1
        ld (vDictInRom),a
        jr DictDone
11$:    ld a,#1
        ld (MBC1_MODE),a
        ld hl,#0x0000
        call CopyDictionary
        xor a
        ld (MBC1_MODE),a
        jr DictDone
; MBC3: bank 32 is selected directly, at 0x4000.
DictMbc3:
        ld hl,#0x4000
        call CopyDictionary
DictDone:
        call SwitchSpeed

; --- LCD back as the game had it. Switched on, it starts a frame at line 0, where the boot
;     ROM of a monochrome Game Boy leaves a game too.
        pop af
        ldh (rLCDC),a

; --- Sprites drawn over each other as on a monochrome Game Boy (by X coordinate, not by OAM
;     index); a game that reads the register to tell the hardware apart also sees this.
        ld a,#1
        ldh (rOPRI),a
; --- Leave through WRAM 0xC000: code in bank 33 cannot bring back ROM bank 1 under itself.
        ld hl,#LeaveTemplate
        ld de,#0xC000
        ld bc,#LeaveTemplateEnd - LeaveTemplate
        call CopyBytes
        jp 0xC000

; BC bytes from HL to DE.
; BC bytes from HL to DE: eight at a time, then the rest one by one (the set-up copies the
; runtime and up to 16 KiB of dictionary before the game starts, and every frame of it is a
; frame the game starts late).
CopyBytes:
        ld a,c
        push af                 ; the rest: BC mod 8
        srl b
        rr c
        srl b
        rr c
        srl b
        rr c
        ld a,b
        or c
        jr z,2$
1$:     .rept 8
        ld a,(hl+)
        ld (de),a
        inc de
        .endm
        dec bc
        ld a,b
        or c
        jr nz,1$
2$:     pop af
        and #7
        ret z
        ld c,a
3$:     ld a,(hl+)
        ld (de),a
        inc de
        dec c
        jr nz,3$
        ret

; HL into (DE) and (DE + 1), low byte first.
PutHl:
        ld a,l
        ld (de),a
        inc de
        ld a,h
        ld (de),a
        ret

SwitchSpeed:
        SWITCH_SPEED

; The probe into 0xD000 of the WRAM bank in view: the whole room up to IDLE_TILE, whatever
; the probe's size, so that the copy's time does not change with it (see CopyRuntime).
CopyProbe:
        ld hl,#PROBE_IN_ROM
        ld de,#PROBE_STUB
        ld bc,#IDLE_TILE - PROBE_STUB
        jr CopyBytes

; The runtime's whole area from bank 33 into WRAM bank 2, two bytes a pop, then a wait, so
; that the copy takes RUNTIME_COPY_CYCLES (double speed) whatever the runtime's size (and
; with bank 7's copies after it, which take a fixed BANK7_COPY_CYCLES, what the set-up took
; before there were any): the game then starts on the same cycle, after the same frames, however the runtime changes. (Key
; presses scripted by frame, as in the comparisons with the original, meet the game in the
; same state; a game's start that moved by a few dozen cycles has shown them meeting it
; elsewhere.) The budget is what the copy took byte by byte when the area was 0xA00 bytes,
; less the 55 cycles of one more block of 8 in the probe's copy that follows it (which became
; 48 bytes instead of 40 when two of LoopRest's went into the probe's room), and the 56 that
; the list of palettes in use takes as index bytes (7 cycles more a palette): the set-up
; takes what it took before. The area may grow to 0xE40 bytes within the budget (the copy
; takes 77 cycles a 16 bytes).
RUNTIME_COPY_CYCLES = 17639 - 55 - 56 - BANK7_COPY_CYCLES
BANK7_COPY_CYCLES = 983         ; the switch to bank 7, its two copies and the switch back
        .iif ne, BANK7_CODE_END - BANK7_CODE - 0x50, .error 1 ; (what 983 counts: 48 + 80 bytes)
RUNTIME_COPY_BLOCKS = (RUNTIME_END - RUNTIME) / 16
RUNTIME_COPY_WAIT = RUNTIME_COPY_CYCLES - 36 - 77 * RUNTIME_COPY_BLOCKS  ; 7 a turn, then single cycles
RUNTIME_COPY_TURNS = RUNTIME_COPY_WAIT / 7
        .iif lt, RUNTIME_COPY_TURNS - 1, .error 1
        .iif ne, RUNTIME & 0x0F, .error 1       ; (INC L within a block of 16)
        .iif gt, RUNTIME_COPY_BLOCKS - 255, .error 1
CopyRuntime:                            ; (the CALL: 6 cycles)
        ld (SAVED_SP),sp                ; 5
        ld sp,#RUNTIME_IN_ROM           ; 3
        ld hl,#RUNTIME                  ; 3
        ld b,#RUNTIME_COPY_BLOCKS       ; 2
1$:     .rept 7                         ; 77 a block of 16 bytes, 76 the last (a block
        pop de                          ; starts at a multiple of 16: only its last step
        ld (hl),e                       ; may cross a page)
        inc l
        ld (hl),d
        inc l
        .endm
        pop de
        ld (hl),e
        inc l
        ld (hl),d
        inc hl
        dec b
        jr nz,1$
        ld a,(SAVED_SP)                 ; 12
        ld l,a
        ld a,(SAVED_SP + 1)
        ld h,a
        ld sp,hl
        ld bc,#RUNTIME_COPY_TURNS       ; 7 a turn, 2 more
2$:     dec bc
        ld a,b
        or c
        jr nz,2$
        .rept RUNTIME_COPY_WAIT - 7 * RUNTIME_COPY_TURNS
        nop
        .endm
        ret                             ; 4

; C parts of 4 KiB from HL into WRAM banks 3, 4...; WRAM bank 2 again at the end. The copy
; runs from WRAM bank 0 (DictCopyTemplate), as bank 33 is out of view while MBC3 shows bank
; 32 at 0x4000; MBC1 in mode 1 already shows bank 32 at 0x0000 (HL = 0), and the template's
; bank writes leave bank 33 where it is there (MBC1 reads 32 in bits 0-4 as 1).
CopyDictionary:
        push hl
        push bc
        ld hl,#DictCopyTemplate
        ld de,#0xC000
        ld bc,#DictCopyTemplateEnd - DictCopyTemplate
        call CopyBytes
        pop bc
        pop hl
        jp 0xC000

; Run at 0xC000: bank 32 at 0x4000 during the copy (MBC3), then bank 33 again. CopyProbe
; reads bank 33, so the probe is put in place afterwards, from bank 33. Pops two bytes at a
; time: 4.7 cycles a byte.
DictCopyTemplate:
        push bc
        ld a,#DICT_ROM_BANK
        ld (MBC_ROM_BANK),a
        ld a,#DICT_FIRST_BANK
1$:     ldh (rSVBK),a
        push af
        push bc
        ld (SAVED_SP),sp
        ld sp,hl
        ld hl,#DICT_SLOT_BASE
2$:     .rept 8
        pop de
        ld (hl),e
        inc l
        ld (hl),d
        inc l
        .endm
        jr nz,2$
        inc h
        ld a,h
        cp #>(DICT_SLOT_BASE + 0x1000)
        jr nz,2$
        ld hl,#0
        add hl,sp
        ld a,(SAVED_SP)
        ld e,a
        ld a,(SAVED_SP + 1)
        ld d,a
        ld b,h
        ld c,l
        ld h,d
        ld l,e
        ld sp,hl
        ld h,b
        ld l,c
        pop bc
        pop af
        inc a
        dec c
        jr nz,1$
        ld a,#COLOUR_BANK_LOW
        ld (MBC_ROM_BANK),a
        pop bc
        ld a,#DICT_FIRST_BANK   ; the probe into each part, now that bank 33 is back
3$:     ldh (rSVBK),a
        push af
        push bc
        call CopyProbe
        pop bc
        pop af
        inc a
        dec c
        jr nz,3$
        ld a,#2
        ldh (rSVBK),a
        ret
DictCopyTemplateEnd:

; Run at 0xC000: ROM bank 1 and WRAM bank 1, and the registers the monochrome Game Boy's
; boot ROM leaves (AF 0x01B0, BC 0x0013, DE 0x00D8, HL 0x014D): the game must take the paths
; it takes on a monochrome Game Boy, not ones it keeps for colour hardware, which would
; fight the colour code.
LeaveTemplate:
        ld a,#1
        ld (MBC_ROM_BANK),a
        xor a
        ld (MBC_HIGH_BITS),a
        ldh (rSVBK),a
        ld hl,#0x01B0
        push hl
        pop af
        ld bc,#0x0013
        ld de,#0x00D8
        ld hl,#0x014D
        ret
LeaveTemplateEnd:
ColourInitTailEnd:
        .iif gt, ColourInitTailEnd - ColourInitTail - (PROBE_IN_ROM - 0x4130), .error 1
