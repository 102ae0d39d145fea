; The colour runtime: copied by ColourInit from bank 33 into WRAM bank 2 and run there, with
; WRAM bank 2 in view and IE cleared (Shared in bank 0 sees to both). It never runs code
; from VRAM and never touches VRAM while the PPU draws.
;
; It keeps one palette record per VRAM tile (REC_U / REC_S in VRAM bank 1) and gives map
; entries (attributes) and sprites (OAM palette bits) the record of the tile they show.
; Records come from the tile's 16 bytes: a hash of them is looked up in a dictionary that
; the program built from the project (every tile given a palette, by its bytes), kept in
; WRAM banks 3-6. A tile is looked at when the copy loop stores its last byte with the LCD
; off, and otherwise by a sweep over VRAM that runs in vertical blank when time is left.
        .module runtime
        .include "hardware.inc"
        .include "layout.inc"
        .globl RuntimeEntry, RuntimeImageSize, ProbeStubSize

VBLANK_WORK_END = 148       ; leave the game lines 148-153 of vertical blank (684 cycles)
SWEEP_LAST_START = 146      ; a tile takes about two lines to look at
SPRITES_LAST_START = 150    ; all 40 sprites take four lines
REFRESH_CHUNK = 8           ; map entries at a time
kPalettes = 8


; =============================================================================================
        .area _PROBE_STUB (ABS)
        .org PROBE_STUB
; The dictionary probe. The same bytes sit at 0xD000 in WRAM banks 2-6, so the code goes on
; running while it switches to the bank of the slot and back. Interrupts are off and it does
; not touch the stack between the switches.
; In: A = WRAM bank, HL = home slot, D = tag bits 0-7, E = tag bits 8-12 << 3.
; Out: A = palette 0-7 (0: not in the dictionary), WRAM bank 2 in view. Uses BC, HL.
Probe::
        ldh (rSVBK),a
1$:     ld a,(hl+)
        ld c,a
        ld a,(hl+)
        ld b,a
        or c
        jr z,3$                 ; an empty slot ends the search: not there (A = 0)
        ld a,c
        cp d
        jr nz,2$
        ld a,b
        and #0xF8
        cp e
        jr nz,2$
        ld a,b
        and #7
        jr 3$
2$:     ld a,h                  ; next slot; after the last one, the first above the stub
        cp #>(DICT_SLOT_BASE + 0x1000)
        jr nz,1$
        ld hl,#DICT_SLOT_BASE + PROBE_STUB_SIZE
        jr 1$
3$:     ld b,a
        ld a,#2
        ldh (rSVBK),a
        ld a,b
        ret
ProbeEnd:
ProbeStubSize = ProbeEnd - Probe
        .iif gt, ProbeStubSize - PROBE_STUB_SIZE, .error 1

; =============================================================================================
        .area _RUNTIME (ABS)
        .org RUNTIME

; --- From Shared: IE is 0, WRAM bank 2 is in view, the carry is the hook's: set for the
;     frame's work, clear for a copied byte. Returns A = 0 with BC, DE and HL as the game had
;     them (DE advanced for a copied byte, as INC DE would).
RuntimeEntry::
        push hl
        push de
        push bc
        jr c,1$
        call CopiedByte
        pop bc
        pop de
        inc de
        pop hl
        xor a
        ret
1$:     call FrameWork
        pop bc
        pop de
        pop hl
        xor a
        ret

; --- A byte the copy loop stored at DE in VRAM while the LCD is off: VRAM is free to use.
CopiedByte:
        ld a,(vDictBanks)
        and a
        ret z                   ; no tile has a palette: records and attributes stay 0
        ld a,d
        cp #>VRAM_MAP0
        jr nc,CopiedMapEntry
        ld a,e
        or #0xF0
        inc a
        ret nz                  ; the tile is complete only with its last byte
        ld a,e
        and #0xF0
        ld l,a
        ld h,d
        push hl
        call IdentifyTile
        pop hl
        jp SetRecord

; A map entry takes the record of the tile it names, under the tile addressing in use now.
CopiedMapEntry:
        ld a,(de)
        ld l,a
        call RecordPage
        ld a,#1
        ldh (rVBK),a
        ld a,(hl)
        ld (de),a
        xor a
        ldh (rVBK),a
        ret

; H = REC_U or REC_S, the record table that map numbers use under LCDC bit 4 now.
RecordPage:
        ldh a,(rLCDC)
        and #LCDC_TILES8000
        ld h,#>REC_S
        ret z
        dec h
        ret

; --- Carry set while there is vertical-blank time for more work (or the LCD is off).
WindowOpen:
        ldh a,(rLCDC)
        rla
        ccf
        ret c
        ldh a,(rLY)
        sub #VBLANK_FIRST_LINE
        cp #VBLANK_WORK_END - VBLANK_FIRST_LINE
        ret

; --- Once a frame, after the game's OAM DMA. Everything runs only in vertical blank (or with
;     the LCD off) and stops at line VBLANK_WORK_END.
FrameWork:
        call WindowOpen
        ret nc
        call FollowShades
; One chunk of the refresh first, so that sprites in every slot cannot starve it; the sprites
; still end well inside vertical blank. Then more of the refresh and the sweep while the
; window is open.
        ld a,(vDictBanks)
        and a
        call nz,RefreshChunk
        ld hl,#vSpriteRecords
        ld a,(hl+)
        or (hl)
        call nz,SpritesThisFrame
        ld a,(vDictBanks)
        and a
        ret z                   ; no tile has a palette: attributes and records stay 0
        call Refresh
        jp Sweep

; --- Palette RAM follows BGP and OBP0: pixel value v of palette p shows the project colour
;     of the shade the register gives v. After a register changes, its palettes are rewritten
;     one at a time while the window is open, over as many frames as it takes.
FollowShades:
        ldh a,(rBGP)
        ld hl,#vBgp
        call FollowCheck
        jr z,1$
        ld de,#USER_COLOURS
        ld c,#<rBCPS
        call FollowRegister
        ret nc
1$:     ldh a,(rOBP0)
        ld hl,#vObp0
        call FollowCheck
        ret z
        ld de,#USER_COLOURS + 0x40
        ld c,#<rOCPS
        jr FollowRegister

; Z when the register A has been applied in full (HL: its variables); A and HL kept.
FollowCheck:
        cp (hl)
        ret nz
        inc l
        ld b,a
        ld a,(hl)
        dec l
        cp #kPalettes
        ld a,b
        ret

; A = the register now, HL = its variables (the value being applied, then the next palette
; to write: 8 when all are done), DE = the set's colours (8 bytes a palette), C = the set's
; palette index register. Carry clear when the window closed before the set was done.
FollowRegister:
        cp (hl)
        jr z,1$
        ld (hl),a               ; a new value: all palettes again
        inc l
        ld (hl),#0
        dec l
1$:     ld b,a
        inc l
2$:     ld a,(hl)
        cp #kPalettes
        ccf
        ret c                   ; all written
        push hl
        push de
        push bc
        call WritePalette
        pop bc
        pop de
        pop hl
        inc (hl)
        call WindowOpen
        ret nc
        jr 2$

; Palette A of the set at DE, for the shade register B, through index register C.
WritePalette:
        ld l,a
        add a,a
        add a,a
        add a,a                 ; 8 bytes a palette, and 8 palette RAM bytes a palette
        push af
        ld a,(vPalettesUsed)
        inc l
3$:     rrca                    ; bit p of the palettes in use into the carry
        dec l
        jr nz,3$
        jr nc,5$                ; no tile has this palette: nothing would show it
        pop af
        push af
        or #PAL_AUTO_INCREMENT
        ldh (c),a
        inc c
        pop af
        add a,e
        ld e,a                  ; DE: the palette's four colours
        ld a,b
        ld b,#4
4$:     push af
        and #3
        add a,a                 ; offset of the shade's colour
        add a,e
        ld l,a
        ld h,d
        ld a,(hl+)
        ldh (c),a
        ld a,(hl)
        ldh (c),a
        pop af
        rrca
        rrca
        dec b
        jr nz,4$
        ret
5$:     pop af
        ret

; --- Sprites: right after the DMA, the OAM entries of the slots the game uses get the record
;     of their tile ORed into their attribute (monochrome games leave attribute bits 0-3
;     clear), in OAM itself. Every 16th frame all 40 are done and the slots in use counted
;     again (up to the last one on screen); a sprite that appears in a higher slot meanwhile
;     waits for that frame.
SpritesThisFrame:
        ld hl,#vFrames
        inc (hl)
        ld a,(hl)
        and #0x0F
        jr z,1$
        ldh a,(rLCDC)
        rla
        jr nc,1$                ; LCD off: all of them, there is time
        ld a,(vSpriteSlots)
        and a
        ret z
        ld b,a
        ldh a,(rLY)
        cp #SPRITES_LAST_START
        ret nc                  ; they could not be done before the frame is drawn
        cp #VBLANK_FIRST_LINE
        ret c
        ld a,b
        jr ColourSprites
1$:     ld a,#OAM_SIZE / 4
        call ColourSprites
; The slots in use: up to the last sprite whose Y puts it on screen.
        ld hl,#OAM + OAM_SIZE - 4
        ld b,#OAM_SIZE / 4
2$:     ld a,(hl)
        dec a
        cp #159
        jr c,3$
        ld a,l
        sub #4
        ld l,a
        dec b
        jr nz,2$
3$:     ld a,b
        ld (vSpriteSlots),a
        ret

; The first A (1-40) OAM entries: a jump into an unrolled run of steps, one a sprite.
ColourSprites:
        ld c,a
        ld b,#0
        ld h,b
        ld l,a
        add hl,hl
        add hl,hl
        add hl,hl
        ld a,l
        sub c
        ld l,a
        ld a,h
        sbc a,b                 ; HL = 7 bytes a step x A
        ld h,a
        ld a,#<SpriteStepsEnd
        sub l
        ld l,a
        ld a,#>SpriteStepsEnd
        sbc a,h
        ld h,a
        push hl
        ld a,#1
        ldh (rVBK),a            ; the records
        ld hl,#OAM + 2          ; the first sprite's tile
        ld d,#>REC_U
        ret                     ; into the steps
SpriteSteps:
        .rept OAM_SIZE / 4
        ld e,(hl)
        inc l
        ld a,(de)
        or (hl)
        ld (hl+),a
        inc l
        inc l
        .endm
SpriteStepsEnd:
        xor a
        ldh (rVBK),a
        ret
        .iif ne, SpriteStepsEnd - SpriteSteps - 7 * OAM_SIZE / 4, .error 1

; --- The refresh: map entries of the visible background rows (and of the window map while
;     the window is on) get the record of the tile they name, REFRESH_CHUNK entries at a time.
Refresh:
        call WindowOpen
        ret nc
        call RefreshChunk
        ret z                   ; the pass is over
        jr Refresh

; One chunk of REFRESH_CHUNK entries; Z once the pass has done its rows.
RefreshChunk:
        ld hl,#vRefreshLeft
        ld a,(hl)
        and a
        call z,StartRefreshPass
        ld hl,#vRefreshPos
        ld e,(hl)
        inc l
        ld d,(hl)
        ld bc,#vRefreshBuffer
        .rept REFRESH_CHUNK
        ld a,(de)
        ld (bc),a
        inc c
        inc e
        .endm
        ld a,e
        sub #REFRESH_CHUNK
        ld e,a
        ld c,#<vRefreshBuffer
        call RecordPage
        ld a,#1
        ldh (rVBK),a
        .rept REFRESH_CHUNK
        ld a,(bc)
        ld l,a
        ld a,(hl)
        ld (de),a
        inc c
        inc e
        .endm
        xor a
        ldh (rVBK),a
        ; next half row; after a whole row, the row below (rows wrap within the map). A
        ; pass ends after its rows, so with the LCD off the refresh stops there too.
        ld a,e
        and #0x1F
        jr nz,3$
        ld a,d
        and #0xFC
        ld b,a                  ; the map's first page
        ld a,e
        and a
        jr nz,1$
        inc d
        ld a,d
        and #0x03
        or b
        ld d,a
1$:     ld hl,#vRefreshLeft
        dec (hl)
        call 2$
        ld a,(vRefreshLeft)
        and a
        ret
2$:     ld hl,#vRefreshPos
        ld (hl),e
        inc l
        ld (hl),d
        ret
3$:     call 2$
        or #1                   ; NZ: the pass goes on
        ret

; The next pass starts at the first visible row of the map the background shows: 19 rows
; cover the screen at any vertical scroll. With the window on, every other pass does the
; window map's rows instead.
StartRefreshPass:
        ld a,#19
        ld (hl),a
        ldh a,(rLCDC)
        ld b,a
        ld hl,#vRefreshPos + 1
        and #0x20               ; window on?
        jr z,1$
        ld a,(hl)
        and #0x04               ; was the last pass on map 1?
        ld c,a
        ld a,b
        and #0x40               ; window map: 0x9800 or 0x9C00
        rrca
        rrca
        rrca
        rrca                    ; 0 or 4
        cp c
        jr z,1$                 ; the window shares the last pass's map: do the background
        or #>VRAM_MAP0
        ld d,a
        ld e,#0
        jr 2$
1$:     ld a,b
        and #0x08               ; background map
        rrca                    ; 0 or 4
        or #>VRAM_MAP0
        ld d,a
        ldh a,(rSCY)
        and #0xF8
        ld l,a                  ; row x 8
        xor a
        sla l
        rla
        sla l
        rla                     ; row x 32 in A:L
        or d
        ld d,a
        ld e,l
2$:     ld hl,#vRefreshPos
        ld (hl),e
        inc l
        ld (hl),d
        ret
3$:     call 2$
        jp Refresh

; --- The sweep: one VRAM tile after another is looked at again, whatever put it there. With
;     the LCD off it goes on to the end of VRAM, where its walk starts over.
Sweep:
        ldh a,(rLCDC)
        rla
        jr nc,1$
        ldh a,(rLY)
        cp #SWEEP_LAST_START
        ret nc
        cp #VBLANK_FIRST_LINE
        ret c
1$:     ld hl,#vSweepTile
        ld a,(hl+)
        ld h,(hl)
        ld l,a
        push hl
        call IdentifyTile
        pop hl
        push hl
        call SetRecord
        pop hl
        ld a,l
        add a,#16
        ld l,a
        jr nc,2$
        inc h
        ld a,h
        cp #>VRAM_MAP0
        jr nz,2$
        ld h,#>VRAM_TILES
        call 3$
        ldh a,(rLCDC)
        rla
        ret nc                  ; LCD off: one whole pass is enough
        jr Sweep
2$:     call 3$
        jr Sweep
3$:     ld a,l
        ld (vSweepTile),a
        ld a,h
        ld (vSweepTile + 1),a
        ret

; --- The palette of the tile at HL in VRAM bank 0 (VRAM must be readable): its 16 bytes are
;     hashed as the program hashes the project's tiles (engine/TileDictionary.cpp), and the
;     hash is looked up. Out: A = palette 0-7. Uses everything.
IdentifyTile:
        ld bc,#0
        ld d,b
        ld e,b
        .rept 8
        ld a,(hl+)              ; low bit plane of a row
        add a,b
        rlca
        ld b,a                  ; b = rlc(b + low)
        ld a,(hl+)              ; high bit plane
        xor c
        add a,b
        rlca
        ld c,a                  ; c = rlc((c ^ high) + b)
        add a,d
        rlca
        ld d,a                  ; d = rlc(d + c)
        xor b
        add a,e
        ld e,a                  ; e = e + (d ^ b)
        .endm
; Slot index: b and the low three bits of c (11 bits); part: bits 3-4 of c, masked to the
; number of parts; tag: d and the low five bits of e.
        ld a,(vDictBanks)
        dec a
        ld l,a
        ld a,c
        rrca
        rrca
        rrca
        and l
        add a,#DICT_FIRST_BANK
        push af
        ld a,e
        and #0x1F
        add a,a
        add a,a
        add a,a
        ld e,a
        ld a,c
        and #7
        add a,a
        sla b
        adc a,#>DICT_SLOT_BASE
        ld h,a
        ld l,b
        cp #>DICT_SLOT_BASE
        jr nz,1$
        ld a,l
        cp #PROBE_STUB_SIZE
        jr nc,1$
        ld a,h
        add a,#0x08             ; slots 0-31 hold the stub: their tiles start 1024 slots on
        ld h,a
1$:     pop af
        jp PROBE_STUB

; --- Records the palette A of the VRAM tile at HL (0x8000-0x97F0). VRAM must be writable.
SetRecord:
        ld b,a
        ld a,l
        swap a
        and #0x0F
        ld c,a
        ld a,h
        swap a
        and #0xF0
        or c
        ld l,a                  ; the tile's number in its 256-tile half
        ld a,#1
        ldh (rVBK),a
        bit 4,h
        jr nz,3$                ; 0x9000-0x97FF: only REC_S knows it
        ld h,#>REC_U
        ld a,(hl)
        ld (hl),b
        ld c,a
        bit 7,l
        jr z,1$
        inc h                   ; 0x8800-0x8FFF: REC_S names it the same
        ld (hl),b
1$:     ; keep count of coloured sprite tiles
        ld hl,#vSpriteRecords
        ld a,c
        and a
        jr z,2$
        ld a,b
        and a
        jr nz,4$
        ld a,(hl)               ; a coloured tile lost its palette
        sub #1
        ld (hl+),a
        jr nc,4$
        dec (hl)
        jr 4$
2$:     ld a,b
        and a
        jr z,4$
        inc (hl)                ; an uncoloured tile gained one
        jr nz,4$
        inc hl
        inc (hl)
        jr 4$
3$:     ld h,#>REC_S
        ld (hl),b
4$:     xor a
        ldh (rVBK),a
        ret

RuntimeImageEnd:
RuntimeImageSize = RuntimeImageEnd - RuntimeEntry
        .iif gt, RuntimeImageSize - (RUNTIME_END - RUNTIME), .error 1
