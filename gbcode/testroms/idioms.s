; Small monochrome programs, each built around one habit of real games that the colour code
; has to live with. The idiom tests colour each through the engine and run it beside its
; original. A settings file assembled in front of this one picks the habit (one flag at 1):
;   LATE_DMA        the vertical-blank handler waits for line LATE_DMA_LINE before its OAM DMA
;                   call, then rewrites eight map entries
;   ROWS_AFTER_DMA  right after the DMA call the handler stores three map rows (96 bytes) from
;                   a WRAM buffer with plain LD (HL+),A
;   STAT_COPY       the main loop copies 512 bytes (16 tiles, then 8 map rows) with the LCD on,
;                   each byte after a wait on STAT for a mode in which VRAM is free
;   TIMER_IN_DMA    the DMA call is made with interrupts on and a fast timer running; the timer
;                   handler counts the times it finds another WRAM or VRAM bank than the game's
;   LCD_OFF_LOADS   every 30 frames the LCD goes off for new tiles and a new map, both through
;                   the copy loop, and on again
;   SCROLL_X        the background's horizontal scroll: map columns the game never wrote show
;   SPRITE_OBP1     the bee takes its shades from OBP1, which differs from OBP0
;   ZERO_LCDC       the LCD goes off by writing 0 to LCDC, as many games do, rather than by
;                   clearing bit 7 alone (which keeps the tile addressing in view)
;   REACH           three tiles reach VRAM other than through the copy loop (a loop reading
;                   through BC, a 1-bit font letter unpacked, an unrolled copy from bank 1) and
;                   show in three map entries written directly, which the scene had given the
;                   sky; then the game idles
; END_FRAME: the frame at which the game stops (its counter stays there, nothing changes any
; more), so that the colour run, which starts later, ends in the same state as the original.
; Graphics and the start-up scene come from art.s: block A (bank BANK_A) to 0x8000, block B
; (bank BANK_B) to 0x8800, the 0x8000 tile addressing. One sprite, the DMA call at the start
; of the blank unless LATE_DMA.
        .module idioms
        .include "hardware.inc"

; --- Variables (WRAM bank 0)
wFrame      == 0xC0F0       ; two bytes: vertical blanks since the LCD came on, up to END_FRAME
wVBlankFlag == 0xC0F2
wWork       == 0xC0F3       ; rounds of the habit done (copies, scenes shown)
wCheck      == 0xC0F4       ; two bytes: L + E after each round, summed (what the copy left)
GAME_STATE_SIZE == 6        ; wFrame up to here: the same in monochrome and in colour at the end
wTicks      == 0xC0F8       ; two bytes: timer interrupts
wTicksInDma == 0xC0FA       ; two bytes: of those, taken between the EI and the DI around the DMA call
wForeignSvbk == 0xC0FC      ; timer interrupts that found SVBK selecting a bank other than 1 (up to 255)
wForeignVbk == 0xC0FD       ; timer interrupts that found VRAM bank 1 selected (up to 255)
wInDma      == 0xC0FE
VARIABLES_SIZE = 16
wShadowOAM  == 0xC100
wRows       == 0xC200       ; ROWS_AFTER_DMA: the three map rows the handler stores
STACK_TOP   = 0xCFF0
hDma        = 0xFF80
OAM_PAGE    = 0xC1

; --- Places shared with the tests
SPRITE_Y    == 64
OBP1_SHADES == 0x1B         ; OBP1: the shades of OBP0 (0xE4) the other way round
LATE_DMA_LINE == 150
LATE_ROW    == 17           ; LATE_DMA: the row whose first eight entries change after the call
ROWS_FIRST  == 14           ; ROWS_AFTER_DMA: rows 14-16
STAT_COPIES == 12           ; STAT_COPY: copies made
STAT_MAP_ROW == 4           ; STAT_COPY: rows 4-11 copied
SCENES      == 3            ; LCD_OFF_LOADS: scenes loaded after the first, at frames 30, 60, 90
SCENE_EVERY == 30
REACH_LOOP_TILE     == 0x40 ; REACH: where each tile goes in VRAM (0x8000 + 16 n) ...
REACH_UNPACKED_TILE == 0x70
REACH_UNROLLED_TILE == 0xD0
REACH_LOOP_CELL     == VRAM_MAP0 + 5 * 32 + 3   ; ... and the map entry that shows it
REACH_UNPACKED_CELL == VRAM_MAP0 + 5 * 32 + 9
REACH_UNROLLED_CELL == VRAM_MAP0 + 5 * 32 + 15
TIMER_FIRST == 208          ; TIMER_IN_DMA: TIMA at the EI, less the frame number mod 64: the
                            ; first interrupt comes 192-444 machine cycles later, after the OAM
                            ; transfer (the CPU could not fetch the handler during it) ...
TIMER_MODULO == 0xC0        ; ... then one every 256 (the handler takes up to 130)

        .iif ne, BANK_A - 1, .error 1   ; the unrolled copy of REACH reads bank 1

; Switches the LCD off (in a vertical blank the caller has waited for).
        .macro LCD_OFF
        .if ZERO_LCDC
        xor a
        .else
        ldh a,(rLCDC)
        and #0xFF - LCDC_ON
        .endif
        ldh (rLCDC),a
        .endm

; =============================================================================================
        .area _HEADER (ABS)
        .org 0x0040             ; vertical blank interrupt
        jp VBlankHandler
        .org 0x0050             ; timer interrupt
        jp TimerHandler
        .org 0x0100             ; cartridge entry
        nop
        jp Start

; =============================================================================================
        .area _CODE
Start::
        di
        ld sp,#STACK_TOP
1$:     ldh a,(rLY)
        cp #VBLANK_FIRST_LINE
        jr c,1$
        LCD_OFF
        xor a
        ld hl,#wFrame
        ld b,#VARIABLES_SIZE
2$:     ld (hl+),a
        dec b
        jr nz,2$
        ld hl,#wShadowOAM
        ld b,#OAM_SIZE
3$:     ld (hl+),a
        dec b
        jr nz,3$
        ld hl,#DmaRoutine       ; the OAM DMA routine into high RAM
        ld c,#<hDma
        ld b,#DmaRoutineEnd - DmaRoutine
4$:     ld a,(hl+)
        ldh (c),a
        inc c
        dec b
        jr nz,4$

        xor a
        call LoadScene
        .if REACH
        call ReachTiles
        .endif

        ld hl,#wShadowOAM       ; one sprite: the bee
        ld (hl),#SPRITE_Y
        inc l
        ld (hl),#8
        inc l
        ld (hl),#T_BEE_A
        .if SPRITE_OBP1
        inc l
        ld (hl),#0x10           ; the bee's shades from OBP1
        .endif

        ld a,#0xE4
        ldh (rBGP),a
        ldh (rOBP0),a
        ld a,#OBP1_SHADES
        ldh (rOBP1),a
        ld a,#SCROLL_X
        ldh (rSCX),a
        ld a,#LCDC_ON | LCDC_TILES8000 | LCDC_OBJ_ON | LCDC_BG_ON
        ldh (rLCDC),a
        .if LCD_OFF_LOADS
        ld hl,#wWork            ; the first scene is on screen
        inc (hl)
        .endif
        .if TIMER_IN_DMA
        ld a,#IEF_VBLANK | IEF_TIMER
        .else
        ld a,#IEF_VBLANK
        .endif
        ldh (rIE),a
        xor a
        ldh (rIF),a
        ei

; --- Once a frame: the habit's work, the bee to its place; nothing after END_FRAME but what
;     is left of the copies
MainLoop::
        halt
        nop
        ld a,(wVBlankFlag)
        and a
        jr z,MainLoop
        xor a
        ld (wVBlankFlag),a
        .if STAT_COPY
        call StatCopyRound
        .endif
        call AtEnd
        jr z,MainLoop
        ld a,(wFrame)           ; the bee one pixel to the right a frame
        add a,#8
        ld (wShadowOAM + 1),a
        .if ROWS_AFTER_DMA
        call FillRows
        .endif
        .if LCD_OFF_LOADS
        call NextScene
        .endif
        jr MainLoop

; Z when the game is over: wFrame has reached END_FRAME.
AtEnd:
        ld a,(wFrame)
        cp #<END_FRAME
        ret nz
        ld a,(wFrame + 1)
        cp #>END_FRAME
        ret

; wCheck += L + E.
AddCheck:
        ld a,l
        add a,e
        ld hl,#wCheck
        add a,(hl)
        ld (hl+),a
        ret nc
        inc (hl)
        ret

; --- Block A to 0x8000, block B (from tile A of it on, A = 0 or 1) to 0x8800, the scene's 18
;     rows of 20 to the first map: all through the copy loop, with the LCD off.
LoadScene:
        push af
        ld a,#BANK_A
        ld (MBC_ROM_BANK),a
        ld hl,#TilesA
        ld de,#VRAM_TILES
        ld bc,#TilesAEnd - TilesA
        call CopyMem
        ld a,#BANK_B
        ld (MBC_ROM_BANK),a
        pop af
        swap a
        ld e,a
        ld d,#0
        ld hl,#TilesB
        add hl,de
        ld de,#0x8800
        ld bc,#TilesBEnd - TilesB
        call CopyMem
        call AddCheck
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
2$:     dec c
        jr nz,1$
        jp AddCheck

        .include "testroms/copyloops.inc"

; --- Vertical blank: the OAM DMA call (late, or with the timer running), the map rows, the
;     frame counter
VBlankHandler:
        push af
        push bc
        push de
        push hl
        .if LATE_DMA
1$:     ldh a,(rLY)
        cp #LATE_DMA_LINE
        jr nz,1$
        .endif
        .if TIMER_IN_DMA
        call ArmTimer
        ei
        .endif
DmaCallSite::
        call hDma
        .if TIMER_IN_DMA
        ld b,#20                ; a little more work with interrupts on
2$:     dec b
        jr nz,2$
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
        dec b
        jr nz,3$
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
        dec c
        jr nz,4$
        .endif
        call AtEnd
        jr z,5$
        ld hl,#wFrame
        inc (hl)
        jr nz,5$
        inc hl
        inc (hl)
5$:     ld a,#1
        ld (wVBlankFlag),a
        pop hl
        pop de
        pop bc
        pop af
        reti

; --- The OAM DMA routine as it is copied to high RAM
        ret                     ; (keeps a stray LD A,nn from standing before the routine)
DmaRoutine:
        ld a,#OAM_PAGE
        ldh (rDMA),a
        ld a,#40                ; 160 machine cycles for the transfer
1$:     dec a
        jr nz,1$
        ret
DmaRoutineEnd:

; --- Timer: counts, and notes a foreign WRAM or VRAM bank. (A monochrome Game Boy reads both
;     registers as 0xFF: there every interrupt counts as foreign.)
TimerHandler:
        push af
        push hl
        ldh a,(rSVBK)
        and #6                  ; 0 and 1 both select bank 1
        ld hl,#wForeignSvbk
        call nz,CountUpTo255
        ldh a,(rVBK)
        and #1
        ld hl,#wForeignVbk
        call nz,CountUpTo255
        ld hl,#wTicks
        call Count16
        ld a,(wInDma)
        and a
        ld hl,#wTicksInDma
        call nz,Count16
        pop hl
        pop af
        reti

CountUpTo255:
        inc (hl)
        ret nz
        dec (hl)
        ret

Count16:
        inc (hl)
        ret nz
        inc hl
        inc (hl)
        ret

        .if TIMER_IN_DMA
; The timer from scratch for this frame's DMA call: its first interrupt a little later each
; frame (64 steps of 4 machine cycles), then every 256 machine cycles.
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

        .if ROWS_AFTER_DMA
; The three rows the handler stores next: block B map numbers that move on by one a frame.
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
        dec b
        jr nz,1$
        ret
        .endif

        .if STAT_COPY
; One copy of 512 bytes with the LCD on while STAT_COPIES are not done: the first 16 tiles of
; block B (from its first or second tile on, in turn) to 0x8800, then 256 bytes of the scene
; to rows 4-11 of the map (from its first or second row on).
StatCopyRound:
        ld a,(wWork)
        cp #STAT_COPIES
        ret nc
        ld a,#BANK_B
        ld (MBC_ROM_BANK),a
        ld a,(wWork)
        and #1
        swap a
        ld e,a
        ld d,#0
        ld hl,#TilesB
        add hl,de
        ld de,#0x8800
        ld bc,#256
        call StatCopy
        call AddCheck
        ld a,(wWork)
        and #1
        ld hl,#SceneMap
        jr z,1$
        ld hl,#SceneMap + 20
1$:     ld de,#VRAM_MAP0 + STAT_MAP_ROW * 32
        ld bc,#256
        call StatCopy
        call AddCheck
        ld hl,#wWork
        inc (hl)
        ret

; HL source, DE destination, BC count: each byte once STAT shows a mode in which VRAM is free
; (0 or 1).
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
; Every SCENE_EVERY frames, up to SCENES times: the LCD off at the start of a blank, block B
; one tile on (or back), the scene again, the LCD on. Interrupts stay off meanwhile and the
; blank that passed is not taken late.
NextScene:
        ld a,(wWork)
        ld b,a
        xor a
        ld c,#SCENE_EVERY
1$:     add a,c                 ; A = SCENE_EVERY x scenes shown so far
        dec b
        jr nz,1$
        ld b,a
        ld a,(wFrame)
        cp b
        ret nz
        ld a,(wWork)
        cp #SCENES + 1
        ret nc
        di
2$:     ldh a,(rLY)             ; out of this blank, to the start of the next
        cp #VBLANK_FIRST_LINE
        jr nc,2$
3$:     ldh a,(rLY)
        cp #VBLANK_FIRST_LINE
        jr c,3$
        LCD_OFF
        ld a,(wWork)
        and #1
        call LoadScene
        ld a,#LCDC_ON | LCDC_TILES8000 | LCDC_OBJ_ON | LCDC_BG_ON
        ldh (rLCDC),a
        ld hl,#wWork
        inc (hl)
        xor a
        ldh (rIF),a
        ei
        ret
        .endif

        .if REACH
; With the LCD off, three tiles put in VRAM past the copy loop, and a map entry for each.
ReachTiles:
        ld a,#BANK_B            ; a flower of block B, read through BC, stored through HL
        ld (MBC_ROM_BANK),a
        ld bc,#TilesB + (T_FLOWER - 0x80) * 16
        ld hl,#VRAM_TILES + REACH_LOOP_TILE * 16
        ld e,#16
1$:     ld a,(bc)
        ld (hl+),a
        inc bc
        dec e
        jr nz,1$
        ld de,#GlyphD           ; a letter of a 1-bit font: each byte stored twice
        ld hl,#VRAM_TILES + REACH_UNPACKED_TILE * 16
        ld b,#8
2$:     ld a,(de)
        inc de
        ld (hl+),a
        ld (hl+),a
        dec b
        jr nz,2$
        ld hl,#REACH_LOOP_CELL
        ld (hl),#REACH_LOOP_TILE
        ld hl,#REACH_UNPACKED_CELL
        ld (hl),#REACH_UNPACKED_TILE
        ld hl,#REACH_UNROLLED_CELL
        ld (hl),#REACH_UNROLLED_TILE
        ld a,#BANK_A            ; the letter X of block A in bank 1, copied by 16 copy
        ld (MBC_ROM_BANK),a     ; sequences in a row: no loop, so the copy loop's hook
        ld hl,#TilesA + T_LETTER_X * 16  ; leaves them alone
        ld de,#VRAM_TILES + REACH_UNROLLED_TILE * 16
        .rept 16
        ld a,(hl+)
        ld (de),a
        inc de
        .endm
        ret

; A 1-bit picture of a letter, one byte a row: pixel value 3 where a bit is set.
        .macro BITS pixels
        byte = 0
        .irpc pixel, pixels
        byte = byte * 2 + pixel / 3
        .endm
        .db byte
        .endm
GlyphD:                         ; the D of block A (T_LETTER_D) once unpacked
        BITS 33333000
        BITS 33003300
        BITS 33000330
        BITS 33000330
        BITS 33000330
        BITS 33003300
        BITS 33333000
        BITS 00000000
        .endif
