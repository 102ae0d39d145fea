; exbnkcod.dat: the first 512 bytes of ROM bank 33 of the colour ROM (0x4000-0x41FF while
; bank 33 is selected).
;   0x000-0x07F  the 64 colour words, written by the program
;   0x080-0x0FF  ColourInit, run once from ROM before the game starts, and the sprite code
;                it copies into VRAM bank 1
;   0x100-       the runtime, copied to WRAM bank 2 at 0xD100 and run there; it holds the
;                two places the program patches: 0x103-0x104 (LD A,page) and 0x11B (the
;                game's DMA routine in CALL $FFxx at 0x11A)
;   after it     the rest of ColourInit
        .module extrabank
        .include "hardware.inc"
        .include "layout.inc"
        .globl ColourInit, DmaRuntime, ColourMapEntry, RecordTilePalette

RUNTIME_IN_ROM = 0x4100                  ; where the runtime's bytes lie in bank 33
REFRESH_LAST_LINE = 152                  ; the refresh leaves the last two lines of vertical blank
TableMarker = RUNTIME_IN_ROM + 0x1A      ; CALL (0xCD) in bank 33; a palette number 0-7 in a table bank

; =============================================================================================
        .area _COLOUR_INIT (ABS)
        .org 0x4080
; ColourInit: called once by EntryHook with bank 33 in view, before the game's first
; instruction. A and F are kept by EntryHook; BC, DE and HL are the game's to set.
ColourInit::
; --- Palette RAM and VRAM refuse writes while a line is drawn: wait for vertical blank and
;     switch the LCD off (the game's LCDC stays on the stack for the tail).
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

; --- The 64 colours into palette RAM; the words alternate background, sprite.
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

; --- The runtime into WRAM bank 2, which stays in view until the tail leaves.
        ld a,#2
        ldh (rSVBK),a
        ld hl,#RUNTIME_IN_ROM
        ld de,#RUNTIME
        ld b,#RuntimeSize
        call CopyBytes

; --- VRAM bank 1 cleared: no tile has a palette yet and every map attribute is 0. Then the
;     code that runs from there, in vertical blank only: the DMA call for OAM buffers at
;     0xD000-0xDFFF (see DmaCallTemplate), followed by the sprite colouring, SpriteStep
;     once per sprite.
        ld a,#1
        ldh (rVBK),a
        ld hl,#VRAM_TILES
        xor a
4$:     ld (hl+),a
        ld (hl+),a
        ld (hl+),a
        ld (hl+),a
        bit 5,h                 ; up to 0xA000
        jr z,4$
        ld hl,#DmaCallTemplate - RUNTIME + RUNTIME_IN_ROM
        ld de,#DmaStubVram
        ld b,#DmaCallTemplateEnd - DmaCallTemplate
        call CopyBytes
        .iif ne, DmaStubVram + DmaCallTemplateEnd - DmaCallTemplate - ColourSpritesVram, .error 1
; Only MBC1 (types 1-3) reaches the palette tables. With another mapper every record stays 0,
; so the sprite colouring and the refresh would change nothing: both become a bare RET, and
; the DMA hook leaves the game nearly all of vertical blank.
        ld a,(CART_TYPE)
        cp #4
        jr c,5$
        ld a,#0xC9              ; RET
        ld (RefreshAttributes),a
        jr 7$
5$:     ld c,#OAM_SIZE / 4
6$:     ld hl,#SpriteStep
        ld b,#SpriteStepEnd - SpriteStep
        call CopyBytes
        dec c
        jr nz,6$
7$:     ld a,#0xC9              ; RET
        ld (de),a
        xor a
        ldh (rVBK),a
        jp ColourInitTail

; One sprite of the sprite colouring: HL at its tile in OAM, D the page of the records.
; A monochrome game leaves attribute bits 0-3 clear (the monochrome hardware ignores them),
; so OR puts in the palette; the DMA has just written the attribute afresh.
SpriteStep:
        ld e,(hl)
        inc l
        ld a,(de)               ; the record of the sprite's tile
        or (hl)
        ld (hl+),a
        inc l
        inc l                   ; the next sprite's tile
SpriteStepEnd:
InitHeadEnd:
InitHeadSize = InitHeadEnd - ColourInit
        .iif gt, InitHeadSize - 0x80, .error 1

; =============================================================================================
        .area _RUNTIME (ABS)
        .org RUNTIME

; --- OAM DMA (from DmaHook; WRAM bank 2 in view, the game's A in H; HL is DmaHook's to
;     restore). Calls the game's routine, then gives every sprite its tile's palette and
;     refreshes a slice of attributes.
DmaRuntime::
        ld a,h                  ; the page, when the game passes it in A
        push de
        push bc
DmaPageLoad::                   ; LD A,page found in the ROM, or LD H,A / NOP (written by the program)
        ld a,#0xC0
        ld b,a
        ldh a,(rIE)
        push af
        xor a
        ldh (rIE),a             ; no interrupt while WRAM bank 2 or VRAM bank 1 is in view
        ld a,b
        sub #0xD0
        cp #0x10                ; carry: the OAM buffer is at 0xD000-0xDFFF
        jr nc,DmaFromWram
        jr DmaThroughVram
        nop

; --- The call of the game's DMA routine with WRAM bank 1 in view (A for the routine comes
;     from H). Code in WRAM bank 2 cannot switch to bank 1 under itself, so for a buffer at
;     0xD000-0xDFFF ColourInit copies these bytes to VRAM bank 1 and the runtime calls that
;     copy; for other buffers it enters here at DmaCallFromWram.
DmaCallTemplate:
        xor a
        ldh (rSVBK),a
DmaCallFromWram:
        ld a,h
DmaCallGame::                   ; CALL $FFxx, xx written by the program
        call 0xFF80
        ld a,#2
        ldh (rSVBK),a
        ret
DmaCallTemplateEnd:

DmaThroughVram:
        ldh a,(rLCDC)           ; the VRAM copy must stay readable until the routine returns
        rla
        jr nc,1$
0$:     ldh a,(rLY)
        sub #VBLANK_FIRST_LINE
        cp #8                   ; lines 144-151 leave more than the transfer takes
        jr nc,0$
1$:     ld a,#1
        ldh (rVBK),a
        call DmaStubVram
        jr DmaColour
DmaFromWram:
        call DmaCallFromWram
DmaColour:
        ldh a,(rSTAT)           ; sprites and attributes only in vertical blank
        and #3
        dec a
        jr nz,4$
        inc a
        ldh (rVBK),a            ; VRAM bank 1: the records, and the sprite code
        ld hl,#OAM + 2
        ld d,#>RECORDS_LOW
        call ColourSpritesVram
        call RefreshAttributes
4$:     xor a
        ldh (rVBK),a
        pop af
        ldh (rIE),a
        pop bc
        pop de
        ret

; --- The refresh: up to 16 attribute-map entries a frame, walking 0x9800-0x9FFF, so that
;     map entries the game writes without the copy loop get their attribute. It stops at
;     line REFRESH_LAST_LINE, leaving the rest of vertical blank to the game.
RefreshAttributes:
        ldh a,(rLCDC)           ; B = record page of map numbers 0-127 under the addressing in use
        and #LCDC_TILES8000
        ld b,#>RECORDS_HIGH
        jr z,0$
        dec b
0$:     ld hl,#RefreshPos
        ld e,(hl)
        inc l
        ld a,(hl)
        and #0x07
        or #>VRAM_MAP0
        ld d,a                  ; DE within 0x9800-0x9FFF whatever the variable held
1$:     ldh a,(rLY)
        cp #REFRESH_LAST_LINE
        jr nc,3$
        xor a
        ldh (rVBK),a
        ld a,(de)               ; the tile number, from VRAM bank 0
        ld l,a
        ld h,#>RECORDS_LOW
        rla
        jr c,2$
        ld h,b
2$:     ld a,#1
        ldh (rVBK),a
        ld a,(hl)
        ld (de),a               ; its attribute, in VRAM bank 1
        inc de
        ld a,e
        and #0x0F
        jr nz,1$
3$:     ld hl,#RefreshPos+1
        ld (hl),d
        dec l
        ld (hl),e
        ret

; --- A copied byte (from CopyTail; interrupts masked, WRAM bank 2 and VRAM bank 1 in view).
;     HL and DE are its source and destination; BC and HL are free to use, DE must stay.
; A tile-map entry takes the record of the tile it names.
ColourMapEntry::
        ld l,(hl)
        ld h,#>RECORDS_LOW
        bit 7,l
        jr nz,1$                ; tiles 128-255 lie at 0x8800-0x8FFF in both addressing modes
        ldh a,(rLCDC)
        and #LCDC_TILES8000
        jr nz,1$
        inc h                   ; tiles 0-127 at 0x9000-0x97FF
1$:     ld a,(hl)
        ld (de),a
        ret

; The first byte of a tile records the tile's palette: from the table of the bank it comes
; from, palette 0 for a tile from anywhere else.
RecordTilePalette::
        ld c,#0
        ld a,h
        sub #0x40
        cp #0x40
        jr nc,2$                ; not from the switchable ROM window
        ld a,(CART_TYPE)
        cp #4
        jr nc,2$                ; tables are reached through MBC1's bank bit 5 (types 1-3)
        ld a,#1
        ld (MBC_HIGH_BITS),a    ; bank b+32 is bank b's palette table
        ld a,(TableMarker)
        cp #8
        jr nc,1$                ; bank 33 stands where bank 1's table would be: bank 1 has none
        ld c,(hl)
1$:     xor a
        ld (MBC_HIGH_BITS),a
2$:     ld a,d                  ; record of VRAM tile (DE - 0x8000) / 16
        and #0x0F
        or e
        swap a
        ld l,a
        ld h,#>RECORDS_LOW
        bit 4,d
        jr z,3$
        inc h                   ; tiles at 0x9000-0x97FF: RECORDS_HIGH
3$:     ld (hl),c
        ret
RuntimeEnd:
RuntimeSize = RuntimeEnd - DmaRuntime

        .iif ne, DmaPageLoad - DmaRuntime - 0x03, .error 1
        .iif ne, DmaCallGame - DmaRuntime - 0x1A, .error 1

; =============================================================================================
; The rest of ColourInit, stored in bank 33 after the runtime's bytes.
        .area _COLOUR_INIT_TAIL (ABS)
        .org RUNTIME_IN_ROM + RuntimeSize
ColourInitTail:
; --- LCD back as the game had it, then vertical blank again, where the boot ROM leaves a game.
        pop af
        ldh (rLCDC),a
        rla
        jr nc,8$
7$:     ldh a,(rLY)
        cp #VBLANK_FIRST_LINE
        jr nz,7$
8$:

; --- Leave through WRAM 0xC000: code in bank 33 cannot bring back ROM bank 1 under itself.
        ld hl,#LeaveTemplate
        ld de,#0xC000
        ld b,#LeaveTemplateEnd - LeaveTemplate
        call CopyBytes
        jp 0xC000

CopyBytes:
        ld a,(hl+)
        ld (de),a
        inc de
        dec b
        jr nz,CopyBytes
        ret

; Run at 0xC000: ROM bank 1 and WRAM bank 1, as the game expects them at its entry.
LeaveTemplate:
        ld a,#1
        ld (MBC_ROM_BANK),a
        xor a
        ld (MBC_HIGH_BITS),a
        ldh (rSVBK),a
        ret
LeaveTemplateEnd:
ColourInitTailEnd:
BytesAfterRuntimeStart = RuntimeSize + ColourInitTailEnd - ColourInitTail
        .iif gt, BytesAfterRuntimeStart - 0x100, .error 1
