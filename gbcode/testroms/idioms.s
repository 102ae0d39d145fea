; Small monochrome programs, each around one habit of real games that the colour code has to
; live with; the idiom tests run each beside its colour ROM. The settings file assembled in
; front picks the habit (one flag at 1):
;   LATE_DMA        the blank handler's OAM DMA call waits for line LATE_DMA_LINE; eight map
;                   entries are rewritten after it
;   ROWS_AFTER_DMA  right after the DMA call, three map rows (96 bytes) stored from WRAM
;   STAT_COPY       512 bytes copied with the LCD on, each after a STAT wait for free VRAM
;   TIMER_IN_DMA    the DMA call with interrupts on and a fast timer, whose handler counts the
;                   times it finds another WRAM or VRAM bank than the game's
;   LCD_OFF_LOADS   every 30 frames new tiles and a new map through the copy loop, LCD off
;   TIMER_IN_LOADS  ... with a fast timer interrupt enabled while they load (its handler as
;                   TIMER_IN_DMA's)
;   STAGE_IN_WRAM1  ... block A's tiles first copied to WRAM bank 1 (0xD000), then from there
;   MEMCPY          ... both of block A's copies by GBDK's memcpy (a byte, then pairs; the
;                   one to WRAM a byte longer, so that it starts with the odd byte)
;   ROW_COPY        ... block B's tiles by GBDK's tile loader loop (16 bytes a row after a STAT
;                   wait, 0x9800 going on at 0x8800), started ROW_COPY tiles below 0x9800
;   LOAD_TAIL       ... block A's copy LOAD_TAIL bytes longer, into the first bytes of the tile
;                   after it: the load ends in the middle of a tile
;   ZERO_LCDC       the LCD switched off by writing 0 to LCDC, not by clearing bit 7 alone
;   TILES8800       the background's tiles by 0x8800 addressing: block A at 0x9000, and one
;                   tile on at 0x8000 for the sprites (so that numbers 0-127 differ there)
;   OTHER_STORES    the scenes' tiles of block A and map stored by other loops: through BC
;                   (its last tile a byte at a time as GBDK's set_vram_byte stores it),
;                   through HL, and one entry at a time by set_vram_byte (also with the LCD
;                   on, every frame, into the map not shown)
;   SCROLL_X        map columns the game never wrote scroll into view
;   SPRITE_OBP1     the bee takes its shades from OBP1, which differs from OBP0
;   REACH           a letter of a 1-bit font unpacked into VRAM past the copy loop, shown by
;                   a map entry written directly
;   LINE_WAIT       40 sprites on OBP1, BGP changed every frame and more work in the handler
;                   after the DMA call; every 16 frames the main loop waits for line 145-153
;                   as GBDK's display_off does, and switches the LCD off and on
;   FADE_STEPS      ... BGP and OBP0 not changed every frame but stepped through a fade out and
;                   in, a step every eight frames
;   BG_OFF          every eight frames the background goes off (LCDC bit 0) or on again
;   BUSY_WAIT       the main loop waits for the blank's flag in a loop on it, not in a HALT
;   POLL_WAIT       ... after polling LY for line 144 with interrupts off
;   PAD_WAIT        before its main loop the game reads the keys until Start is held (CALL /
;                   AND B / JR Z, as GBDK's waitpad), and notes it in wKeySeen
;   PLAIN_WAIT      the main loop waits for the blank's flag through HL, a loop that the
;                   colour code does not take as a wait (it gets no time there)
; LATE_DMA_LINE is the line LATE_DMA waits for (150 unless the build says otherwise), and
; LINE_WAIT_FRAME the frame of each 16 in which LINE_WAIT's main loop waits (0 unless ...),
; and LINE_WAIT_LOOPS the handler's loops of 4 cycles after its DMA call (70: 280 cycles).
; The game stops at END_FRAME, so that the colour run, which starts later, ends in the same
; state. Graphics and scene from art.s: block A (bank BANK_A) to 0x8000, block B to 0x8800.
        .module idioms
        .include "hardware.inc"

; --- Variables (WRAM bank 0)
wFrame      == 0xC0F0       ; two bytes: vertical blanks since the LCD came on, up to END_FRAME
wVBlankFlag == 0xC0F2
wWork       == 0xC0F3       ; rounds of the habit done (copies, scenes shown)
GAME_STATE_SIZE == 4        ; wFrame up to here: the same in monochrome and in colour at the end
wTicksInDma == 0xC0FA       ; two bytes: timer interrupts between the EI and the DI around the DMA call
wForeignSvbk == 0xC0FC      ; not 0 once a timer interrupt found SVBK on another bank than 1 ...
wForeignVbk == 0xC0FD       ; ... or VRAM bank 1
wInDma      == 0xC0FE
wKeySeen    == 0xC0FF       ; PAD_WAIT: 1 once the game saw Start
wShadowOAM  == 0xC100       ; (cleared with the variables: 16 + 160 bytes from wFrame)
wRows       == 0xC200       ; ROWS_AFTER_DMA: the three map rows the handler stores
STACK_TOP   = 0xCFF0
WRAM1_STAGE = 0xD000         ; STAGE_IN_WRAM1: block A on its way to VRAM
hDma        = 0xFF80
OAM_PAGE    = 0xC1

; --- Places shared with the tests
SPRITE_Y    == 64
OBP1_SHADES == 0x1B         ; OBP1: the shades of OBP0 (0xE4) the other way round
LATE_ROW    == 17           ; LATE_DMA: the row whose first eight entries change after the call
ROWS_FIRST  == 14           ; ROWS_AFTER_DMA: rows 14-16
STAT_COPIES == 12           ; STAT_COPY: copies made
STAT_MAP_ROW == 4           ; STAT_COPY: rows 4-11 copied
SCENES      == 3            ; LCD_OFF_LOADS: scenes loaded after the first, at frames 30, 60, 90
SCENE_EVERY == 30
REACH_TILE  == 0x70         ; REACH: the letter's tile number, and the map entry that shows it
REACH_CELL  == VRAM_MAP0 + 5 * 32 + 9
TIMER_FIRST == 208          ; TIMER_IN_DMA: TIMA at the EI less frame mod 64 (the first interrupt
TIMER_MODULO == 0xC0        ; after the OAM transfer), then one every 256 machine cycles

        .macro LCD_OFF          ; (in a blank the caller waited for)
        .if ZERO_LCDC
        xor a
        .else
        ldh a,(rLCDC)
        and #0xFF - LCDC_ON
        .endif
        ldh (rLCDC),a
        .endm

        .macro CALL_IF flag, routine    ; in the builds of one habit only
        .if flag
        call routine
        .endif
        .endm

        .macro COPY_MEM                 ; BC bytes from HL to DE
        .if MEMCPY
        call CopyPairs
        .else
        call CopyMem
        .endif
        .endm

        .macro LOOP reg, label          ; reg less one, and again from label while not 0
        dec reg
        jr nz,label
        .endm

        .macro WHILE_LY cond, line      ; waits while LY against line gives cond (c: before it, nc: at or past it)
        ldh a,(rLY)
        cp #line
        jr cond,.-4
        .endm

        .area _HEADER (ABS)
        .org 0x0040             ; vertical blank interrupt
        jp VBlankHandler
        .org 0x0050             ; timer interrupt
        jp TimerHandler
        .org 0x0100             ; cartridge entry
        nop
        jp Start

        .area _CODE
Start::
        di
        ld sp,#STACK_TOP
        call WaitBlank
        LCD_OFF
        xor a
        ld hl,#wFrame
        ld b,#16 + OAM_SIZE
2$:     ld (hl+),a
        LOOP b, 2$
        ld hl,#DmaRoutine       ; the OAM DMA routine into high RAM
        ld de,#hDma
        ld bc,#DmaRoutineEnd - DmaRoutine
        call CopyMem

        xor a
        call LoadScene
        CALL_IF REACH, ReachTiles

        ld hl,#wShadowOAM       ; one sprite: the bee
        ld (hl),#SPRITE_Y
        inc l
        ld (hl),#8
        inc l
        ld (hl),#T_BEE_A
        inc l
        ld (hl),#0x10 * SPRITE_OBP1     ; the bee's shades from OBP1 or OBP0
        .if LINE_WAIT
        ld b,#OAM_SIZE / 4 - 1  ; 39 more bees in a row below it
        ld c,#16
3$:     inc l
        ld (hl),#SPRITE_Y + 16
        inc l
        ld (hl),c
        inc l
        ld (hl),#T_BEE_A
        inc l
        ld (hl),#0x10
        ld a,c
        add a,#4
        ld c,a
        LOOP b, 3$
        .endif

        ld a,#0xE4
        ldh (rBGP),a
        ldh (rOBP0),a
        ld a,#OBP1_SHADES
        ldh (rOBP1),a
        ld a,#SCROLL_X
        ldh (rSCX),a
        call LcdOn
        ld a,#LCD_OFF_LOADS     ; (the first scene is on screen)
        ld (wWork),a
        ld a,#IEF_VBLANK | (IEF_TIMER * TIMER_IN_DMA)
        ldh (rIE),a
        xor a
        ldh (rIF),a
        ei
        .if PAD_WAIT
        ld b,#KEY_START
1$:     call ReadButtons
        and b
        jr z,1$
        ld a,#1
        ld (wKeySeen),a
        .endif

; --- Once a frame: the habit's work, the bee one pixel on; after END_FRAME only the copies
MainLoop::
        .if POLL_WAIT
        di
1$:     ldh a,(rLY)
        cp #VBLANK_FIRST_LINE
        jr nz,1$
        ei
        nop                     ; (the handler runs here, before the flag is read)
        .endif
        .if BUSY_WAIT
        ld a,(wVBlankFlag)
        and a
        jr z,MainLoop
        .else
        .if PLAIN_WAIT
        ld hl,#wVBlankFlag
2$:     ld a,(hl)
        and a
        jr z,2$
        .else
        halt
        nop
        ld a,(wVBlankFlag)
        and a
        jr z,MainLoop
        .endif
        .endif
        xor a
        ld (wVBlankFlag),a
        CALL_IF STAT_COPY, StatCopyRound
        call AtEnd
        jr z,MainLoop
        ld a,(wFrame)
        add a,#8
        ld (wShadowOAM + 1),a
        CALL_IF ROWS_AFTER_DMA, FillRows
        CALL_IF LCD_OFF_LOADS, NextScene
        CALL_IF OTHER_STORES, StoreRowLcdOn
        CALL_IF LINE_WAIT, LineWaitRound
        jr MainLoop

AtEnd:                          ; Z when wFrame has reached END_FRAME
        ld a,(wFrame)
        cp #<END_FRAME
        ret nz
        ld a,(wFrame + 1)
        cp #>END_FRAME
        ret

; --- With the LCD off, through the copy loop: block A to 0x8000, block B from its tile A on
;     (0 or 1) to 0x8800, the scene's 18 rows of 20 to the first map.
LoadScene:
        push af
        ld a,#BANK_A
        ld (MBC_ROM_BANK),a
        ld hl,#TilesA
        .if STAGE_IN_WRAM1
        ld de,#WRAM1_STAGE
        ld bc,#TilesAEnd - TilesA + MEMCPY
        COPY_MEM
        ld hl,#WRAM1_STAGE
        .endif
        .if OTHER_STORES
        ld bc,#VRAM_TILES + 0x1000 * TILES8800
        ld de,#TilesAEnd - TilesA - 16
        call CopyMemBc
        ld d,#16                ; the last tile a byte at a time, as set_vram_byte stores it
5$:     call SetVramByte
        inc hl
        inc bc
        LOOP d, 5$
        .else
        ld de,#VRAM_TILES + 16 * TILES8800
        ld bc,#TilesAEnd - TilesA + LOAD_TAIL
        COPY_MEM
        .endif
        .if TILES8800           ; (the other copy of block A, a tile on at 0x8000 for the sprites)
        ld hl,#TilesA
        ld de,#VRAM_TILES + 0x1000 - (0x1000 - 16) * OTHER_STORES
        ld bc,#TilesAEnd - TilesA
        call CopyMem
        .endif
        pop af
        call TilesBFrom
        .if ROW_COPY
        ld de,#VRAM_MAP0 - 16 * ROW_COPY
        ld c,#(TilesBEnd - TilesB) / 16 + ROW_COPY  ; (block B's last tiles land on 0x8800 too)
        call CopyTileRows
        .else
        ld bc,#TilesBEnd - TilesB
        call CopyMem
        .endif
        .if OTHER_STORES
        jr SceneByOtherStores
        .endif
        ld hl,#SceneMap
        ld de,#VRAM_MAP0
        ld c,#18
1$:     ld b,#20
        call CopyRow
        ld a,e
        add a,#12
        ld e,a
        jr nc,2$
        inc d
2$:     LOOP c, 1$
        ret

; HL = tile A (0 or 1) of block B, its bank in view; DE = 0x8800.
TilesBFrom:
        swap a
        ld e,a
        ld d,#0
        ld hl,#TilesB
        add hl,de
        ld a,#BANK_B
        ld (MBC_ROM_BANK),a
        ld de,#0x8800
        ret

WaitBlank:                      ; until line VBLANK_FIRST_LINE or later
        WHILE_LY c, VBLANK_FIRST_LINE
        ret

LcdOn:
        ld a,#LCDC_ON | LCDC_TILES8000 * (1 - TILES8800) | LCDC_OBJ_ON | LCDC_BG_ON
        ldh (rLCDC),a
        ret

        .include "testroms/copyloops.inc"

        .if MEMCPY
CopyPairs:                      ; BC bytes from HL to DE as GBDK's memcpy: the odd byte, then pairs
        ld a,b
        or c
        ret z
        srl b
        rr c
        jr nc,1$
        ld a,(hl+)
        ld (de),a
        inc de
1$:     inc b
        inc c
        jr 3$
2$:     ld a,(hl+)
        ld (de),a
        inc de
        ld a,(hl+)
        ld (de),a
        inc de
3$:     dec c
        jr nz,2$
        dec b
        jr nz,2$
        ret
        .endif

        .if ROW_COPY
; GBDK's tile loader's loop, byte for byte: C tiles from HL to DE, each row of 16 bytes after
; a STAT wait; a destination that reaches 0x9800 goes on at 0x8800.
CopyTileRows:
1$:     bit 3,d
        jr z,2$
        res 4,d
2$:     ld b,#16
3$:     ldh a,(rSTAT)
        and #2
        jr nz,3$
        ld a,(hl+)
        ld (de),a
        inc de
        dec b
        jr nz,3$
        dec c
        jr nz,1$
        ret
        .endif

        .if OTHER_STORES
; The scene's rows 0-8 one entry at a time, rows 9-17 through HL (the sky's tiles are block
; A's, whose records differ by the addressing; the hills' are block B's, at 0x8800 on).
SceneByOtherStores:
        ld hl,#SceneMap
        ld bc,#VRAM_MAP0
        ld e,#9
2$:     ld d,#20
3$:     call SetVramByte
        inc hl
        inc bc
        LOOP d, 3$
        push hl
        ld h,b
        ld l,c
        call NextMapRow
        ld b,h
        ld c,l
        pop hl
        LOOP e, 2$
        ld d,h                  ; DE: the next byte, HL: its entry
        ld e,l
        ld h,b
        ld l,c
        ld c,#9
1$:     ld b,#20
        call CopyRowHl
        call NextMapRow
        LOOP c, 1$
        ret

NextMapRow:                     ; HL on by the 12 entries past the screen's edge
        ld a,l
        add a,#12
        ld l,a
        ret nc
        inc h
        ret

CopyRowHl:                      ; B bytes from DE to HL
        ld a,(de)
        ld (hl+),a
        inc de
        LOOP b, CopyRowHl
        ret

CopyMemBc:                      ; DE bytes from HL to BC
        ld a,(hl+)
        ld (bc),a
        inc bc
        dec de
        ld a,d
        or e
        jr nz,CopyMemBc
        ret

StoreRowLcdOn:                  ; with the LCD on, while the screen is drawn: a row of the
        ld hl,#wFrame           ; map not shown, one entry at a time
        ld bc,#VRAM_MAP0 + 0x400
        ld d,#20
1$:     call SetVramByte
        inc bc
        LOOP d, 1$
        ret

SetVramByte:                    ; as GBDK's: a STAT wait by absolute address, then the byte
        ld a,(rSTAT)
        and #2                  ; (modes 2 and 3)
        jr nz,SetVramByte
        ld a,(hl)
        ld (bc),a
        ret
        .endif

; --- Vertical blank: the OAM DMA call (late, or with the timer on), map writes, the counter
VBlankHandler:
        .irp reg, af,bc,de,hl
        push reg
        .endm
        .if LATE_DMA
        WHILE_LY nz, LATE_DMA_LINE
        .endif
        .if TIMER_IN_DMA
        call ArmTimer
        ei
        .endif
DmaCallSite::
        call hDma
        .if BG_OFF
        call BgOffStep
        .endif
        .if TIMER_IN_DMA
        ld b,#20                ; a little more with interrupts on
2$:     LOOP b, 2$
        di
        xor a
        ld (wInDma),a
        .endif
        .if LATE_DMA
        ld hl,#VRAM_MAP0 + LATE_ROW * 32
        ld a,(wFrame)
        ld c,a
        ld b,#8
3$:     ld a,c                  ; letters D, A, P, L in turn, one on each frame
        and #3
        add a,#T_LETTER_D
        ld (hl+),a
        inc c
        LOOP b, 3$
        .endif
        .if ROWS_AFTER_DMA
        ld hl,#VRAM_MAP0 + ROWS_FIRST * 32
        ld de,#wRows
        ld c,#3
4$:     .rept 32
        ld a,(de)
        inc e
        ld (hl+),a
        .endm
        LOOP c, 4$
        .endif
        .if LINE_WAIT
        .if FADE_STEPS
        call FadeStep
        .else
        ldh a,(rBGP)            ; a shade that changes every frame
        xor #0x01
        ldh (rBGP),a
        .endif
        ld b,#LINE_WAIT_LOOPS   ; and 4 cycles a loop of the handler's own after the DMA call
5$:     LOOP b, 5$
        .endif
        call AtEnd
        ld hl,#wFrame
        call nz,Count16
        ld a,#1
        ld (wVBlankFlag),a
        .irp reg, hl,de,bc,af
        pop reg
        .endm
        reti

; --- The OAM DMA routine for high RAM
        ret                     ; (keeps a stray LD A,nn from standing before the routine)
DmaRoutine:
        ld a,#OAM_PAGE
        ldh (rDMA),a
        ld a,#40                ; 160 machine cycles for the transfer
1$:     LOOP a, 1$
        ret
DmaRoutineEnd:

; --- Timer: counts, and notes a foreign WRAM or VRAM bank
TimerHandler:
        push af
        push hl
        ldh a,(rSVBK)
        and #6                  ; 0 and 1 both select bank 1
        jr z,1$
        ld (wForeignSvbk),a
1$:     ldh a,(rVBK)
        and #1
        jr z,2$
        ld (wForeignVbk),a
2$:     ld a,(wInDma)
        and a
        ld hl,#wTicksInDma
        call nz,Count16
        pop hl
        pop af
        reti

Count16:
        inc (hl)
        ret nz
        inc hl
        inc (hl)
        ret

        .if TIMER_IN_DMA
; The timer from scratch for this frame's DMA call, its first interrupt a little later each frame.
ArmTimer:
        xor a
        ldh (rTAC),a
        ld a,(wFrame)
        and #63
        ld b,a
        ld a,#TIMER_FIRST
        sub b
        ldh (rTIMA),a
        ld a,#TIMER_MODULO
        ldh (rTMA),a
        ldh a,(rIF)
        and #0xFF - IEF_TIMER
        ldh (rIF),a
        ld a,#1
        ld (wInDma),a
        ld a,#0x05              ; on, 262144 Hz
        ldh (rTAC),a
        ret
        .endif

        .if TIMER_IN_LOADS
; A timer interrupt every 512 cycles while a scene loads, counted in wTicksInDma.
ArmLoadTimer:
        ld a,#0x80
        ldh (rTMA),a
        ldh (rTIMA),a
        ld a,#1
        ld (wInDma),a
        ldh a,(rIE)
        or #IEF_TIMER
        ldh (rIE),a
        ld a,#0x05              ; on, 262144 Hz
        ldh (rTAC),a
        ei
        ret
StopLoadTimer:
        di
        xor a
        ldh (rTAC),a
        ld (wInDma),a
        ldh a,(rIE)
        and #0xFF - IEF_TIMER
        ldh (rIE),a
        ret
        .endif

        .if ROWS_AFTER_DMA
; The three rows the handler stores next: block B tiles, one on each frame.
FillRows:
        ld a,(wFrame)
        ld c,a
        ld hl,#wRows
        ld b,#96
1$:     ld a,c
        and #15
        add a,#0x80
        ld (hl+),a
        inc c
        LOOP b, 1$
        ret
        .endif

        .if STAT_COPY
; Until STAT_COPIES are done, with the LCD on: 16 tiles of block B (from its first or second
; on, in turn) to 0x8800, then 256 bytes of the scene (from its first or second row) to rows 4-11.
StatCopyRound:
        ld a,(wWork)
        cp #STAT_COPIES
        ret nc
        and #1
        call TilesBFrom
        ld bc,#256
        call StatCopy
        ld a,(wWork)
        and #1
        ld hl,#SceneMap
        jr z,1$
        ld hl,#SceneMap + 20
1$:     ld de,#VRAM_MAP0 + STAT_MAP_ROW * 32
        ld bc,#256
        call StatCopy
        ld hl,#wWork
        inc (hl)
        ret

; HL source, DE destination, BC count: each byte once STAT shows mode 0 or 1 (VRAM free).
StatCopy::
        ldh a,(rSTAT)
        and #2
        jr nz,StatCopy
        ld a,(hl+)
        ld (de),a
        inc de
        dec bc
        ld a,b
        or c
        jr nz,StatCopy
        ret
        .endif

        .if LCD_OFF_LOADS
; Every SCENE_EVERY frames, SCENES times: at the start of a blank the LCD off, block B one tile
; on (or back), the scene again, the LCD on; interrupts off meanwhile, the missed blank dropped.
NextScene:
        ld a,(wWork)
        ld b,a
        xor a
        ld c,#SCENE_EVERY
1$:     add a,c                 ; A = SCENE_EVERY x scenes shown so far
        LOOP b, 1$
        ld b,a
        ld a,(wFrame)
        cp b
        ret nz
        ld a,(wWork)
        cp #SCENES + 1
        ret nc
        di
        WHILE_LY nc, VBLANK_FIRST_LINE  ; out of this blank, to the start of the next
        call WaitBlank
        LCD_OFF
        CALL_IF TIMER_IN_LOADS, ArmLoadTimer
        ld a,(wWork)
        and #1
        call LoadScene
        CALL_IF TIMER_IN_LOADS, StopLoadTimer
        call LcdOn
        ld hl,#wWork
        inc (hl)
        xor a
        ldh (rIF),a
        ei
        ret
        .endif

        .if REACH
; With the LCD off: the letter into VRAM past the copy loop, and a map entry for it.
ReachTiles:
        ld de,#GlyphD           ; each byte stored twice
        ld hl,#VRAM_TILES + REACH_TILE * 16
        ld b,#8
1$:     ld a,(de)
        inc de
        ld (hl+),a
        ld (hl+),a
        LOOP b, 1$
        ld hl,#REACH_CELL
        ld (hl),#REACH_TILE
        ret

GlyphD:                         ; the D of block A (T_LETTER_D) as a 1-bit letter, a byte a row
        .db 0xF8, 0xCC, 0xC6, 0xC6, 0xC6, 0xCC, 0xF8, 0x00
        .endif

        .if PAD_WAIT
KEY_START = 0x08
; A: the buttons held (bit 0 A, 1 B, 2 Select, 3 Start).
ReadButtons:
        ld a,#0x10              ; the buttons' row
        ldh (rP1),a
        ldh a,(rP1)
        ldh a,(rP1)             ; (the second read is the settled one)
        cpl
        and #0x0F
        push af
        ld a,#0x30              ; neither row
        ldh (rP1),a
        pop af
        ret
        .endif

        .if BG_OFF
; Every eight frames LCDC bit 0 goes the other way: a monochrome Game Boy shows the
; background white while it is clear, as games have it while they redraw a screen.
BgOffStep:
        ld a,(wFrame)
        and #7
        ret nz
        ldh a,(rLCDC)
        xor #LCDC_BG_ON
        ldh (rLCDC),a
        ret
        .endif

        .if FADE_STEPS
; Every eight frames BGP and OBP0 take the next step of a fade to white and back.
FadeStep:
        ld a,(wFrame)
        ld b,a
        and #7
        ret nz
        ld a,b
        rrca
        rrca
        rrca
        and #7
        ld e,a
        ld d,#0
        ld hl,#FadeShades
        add hl,de
        ld a,(hl)
        ldh (rBGP),a
        ldh (rOBP0),a
        ret
FadeShades:
        .db 0xE4, 0x90, 0x40, 0x00, 0x00, 0x40, 0x90, 0xE4
        .endif

        .if LINE_WAIT
; Every 16 frames, as GBDK's display_off: out of lines 146-153, then on to line 145 or later
; (a blank handler that ends in the next frame keeps it waiting); the LCD off and on again.
LineWaitRound:
        ld a,(wFrame)
        and #15
        cp #LINE_WAIT_FRAME
        ret nz
        WHILE_LY nc, 146
        WHILE_LY c, 145
        LCD_OFF
        call LcdOn
        ld hl,#wWork
        inc (hl)
        ret
        .endif
