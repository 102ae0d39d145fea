; The colour runtime: copied by ColourInit from bank 33 into WRAM bank 2 and run there, with
; WRAM bank 2 in view and IE cleared (Shared in bank 0 sees to both). It never runs code
; from VRAM and never touches VRAM while the PPU draws.
;
; It keeps one palette record per VRAM tile (REC_U / REC_S in VRAM bank 1) and gives map
; entries (attributes) and sprites (OAM palette bits) the record of the tile they show.
; Records come from the tile's 16 bytes: a hash of them is looked up in a dictionary that
; the program built from the project (every tile given a palette, by its bytes), read in
; ROM bank 32 on MBC1 and copied into WRAM banks 3-6 otherwise. A tile is looked at when
; the copy loop stores its last byte with the LCD off (and the rest of a usual copy loop is
; then done at once), and otherwise by a sweep over VRAM that runs in vertical blank or
; while the game waits, when time is left.
        .module runtime
        .include "hardware.inc"
        .include "layout.inc"
        .globl RuntimeEntry, RuntimeImageSize, ProbeStubSize, GameWordJump, GameByteJump

VBLANK_WORK_END = 146       ; more refresh chunks start before this line and end by 148,
                            ; leaving the game lines 148-153 of vertical blank (684 cycles)
SWEEP_LAST_START = 146      ; a tile takes about two lines to look at
SPRITES_END_LINE = 149      ; the sprite pass ends before line 149: the game keeps 5 lines
LATE_RETURN_LINE = 150      ; a frame's work that returns on this line or later: the next is light
LATE_SHRINK_END = 151       ; the slot count brought down after a pass that had no time for it
LATE_LAST_START = 150       ; a palette takes under a line
FADE_LAST_START = 153       ; the next palette of a set, which ends in line 153 (under 90 cycles)
CHUNK_LAST_START = 148      ; the frame's first refresh chunk ends by line 150
OFF_BUDGET = 4              ; chunks, tiles or palettes a call does while the LCD is off
STARVED_FRAMES = 8          ; frames without a chunk before one may end by line 153
LATE_CHUNK_LAST_START = 150 ; (seen before line 150, it starts in line 151 at the latest and
                            ; ends in line 152; the way back to the game is still in the blank)
LATE_TWIN_LAST_START = 151  ; a starved twin palette (under a line) starts before this line
REFRESH_CHUNK = 8           ; map entries at a time
STEPS_IN_A_PASS = 12        ; sprite steps unrolled (four passes for all 40 slots)

        .macro ENTRY_TAKES_RECORD ; the map entry at DE gets record L of table H (VRAM bank 1)
        ld a,#1
        ldh (rVBK),a
        ld a,(hl)
        ld (de),a
        xor a
        ldh (rVBK),a
        .endm

        .macro LATE_CHECK_AFTER skip ; the frame's work returns through LateCheck (LCD on)
        ldh a,(rLCDC)
        rla
        jr nc,skip
        ld hl,#LateCheck
        push hl
skip:
        .endm

        .macro EFFECTIVE_BGP    ; A = BGP, or 0 while LCDC bit 0 is clear: a monochrome Game
        ldh a,(rLCDC)           ; Boy then shows the background and the window white, where
        rra                     ; a Game Boy Color in colour mode shows them as ever (a game
        sbc a,a                 ; redraws its screen behind it). Uses L.
        ld l,a
        ldh a,(rBGP)
        and l
        .endm

        .macro SHADES_WAITING changed, obp1, done, shown ; NZ when some shade waits to be written
        .if shown               ; a register that differs from what palette RAM shows marks
        EFFECTIVE_BGP           ; its side as waiting (vShadesBusy bit 0: BGP and OBP0, bit
        .else                   ; 1: OBP1); 'shown' 0: BGP as it is, in the 7 cycles fewer
        ldh a,(rBGP)            ; that a check timed against the game's own loop needs (a
        .endif                  ; background off then looks changed, and the frame's work,
        ld hl,#vBgp             ; which looks again, finds nothing to write)
        cp (hl)
        jr nz,changed
        ld l,#<vObp0
        ldh a,(rOBP0)
        cp (hl)
        jr z,obp1
changed:
        ld hl,#vShadesBusy
        set 0,(hl)
obp1:
        ld a,(vObp1Seen)        ; (the twins show only sprites on OBP1)
        and a
        jr z,done
        ld hl,#vObp1
        ldh a,(rOBP1)
        cp (hl)
        jr z,done
        ld hl,#vShadesBusy
        set 1,(hl)
done:
        ld a,(vShadesBusy)
        and a
        .endm

        .macro CHUNK_START      ; DE = the refresh's next entry (a pass set up when none runs)
        ld hl,#vRefreshLeft
        ld a,(hl)
        and a
        call z,StartRefreshPass
        ld hl,#vRefreshPos
        ld e,(hl)
        inc l
        ld d,(hl)
        .endm

        .macro TILE_NUMBER      ; L = the number of the VRAM tile at HL in its 256-tile half (uses C)
        ld a,l
        swap a
        and #0x0F
        ld c,a
        ld a,h
        swap a
        and #0xF0
        or c
        ld l,a
        .endm
        .macro SLOT_TEST next, done, absent ; the dictionary slot at HL; D and E: the tag looked for
        ld a,(hl+)              ; (bits 0-7, and bits 8-12 shifted left by 3). The tags along a
        cp d                    ; probe only go down (the program orders them so, and an empty
        jr c,absent             ; slot is tag 0): a smaller one ends the search, A to be 0; a
        jr nz,next              ; larger one goes to next with HL on the slot's second byte;
        ld a,(hl)               ; the tag itself to done with A = its palette (0 when the slot
        and #0xF8               ; is empty and the tag looked for is 0). Uses A.
        cp e
        jr c,absent
        jr nz,next
        ld a,(hl)
        and #7
        jr done
        .endm
IDLE_TILE_LAST = 120        ; a tile looked up while the game waits starts before this line
LOOP_FAST_BYTES = 320       ; a copy loop's rest this long or longer runs at double speed: on the
                            ; hardware the two switches take about 4100 cycles, what 20 tiles save
IDLE_AGAIN = 4              ; DIV ticks between a loop's calls on the byte it waits on
IDLE_SHRINK_END = 153       ; the slot count of a wait in the blank stops on this line
IDLE_SLOTS_LAST = 130       ; the waits keep the slot count in a wait that reaches it before this line
POLL_SYNC_LINE = 135        ; a poll timed to the cycle catches the start of this line first
POLL_SYNC_WAIT = 6          ; the last wait before line 144 (4n + 4 cycles), then the way back
POLL_PHASE_READ = 4         ; where the game's loop reads LY, in cycles, from the count
POLL_PHASE_MIDDLE = 7       ; the phase taken when the wait did some work
POLL_WORK_END = 147         ; a poll that starts in the blank before this line has the frame's work
kPalettes = 8


; =============================================================================================
        .area _PROBE_STUB (ABS)
        .org PROBE_STUB
; The dictionary probe. The same bytes sit at 0xD000 in WRAM banks 2-7, so the code goes on
; running while it switches to the bank of the slot and back. Interrupts are off and it does
; not touch the stack between the switches.
; In: A = WRAM bank, HL = home slot, D = tag bits 0-7, E = tag bits 8-12 << 3.
; Out: A = palette 0-7 (0: not in the dictionary), WRAM bank 2 in view. Uses BC, HL.
Probe::
        ldh (rSVBK),a
1$:     SLOT_TEST 2$, 3$, 4$
2$:     inc hl                  ; next slot; after the last one, the first above the stub
        ld a,h
        cp #>(DICT_SLOT_BASE + 0x1000)
        jr nz,1$
        ld hl,#DICT_SLOT_BASE + PROBE_STUB_SIZE
        jr 1$
4$:     xor a
3$:
ProbeDone:                      ; (from any of WRAM banks 2-7: back in bank 2 with A)
        ld b,a
        ld a,#2
        ldh (rSVBK),a
        ld a,b
        ret
RowsLoopAt:                     ; (LoopRest's, in bank 2) the return address of the copy
        .dw 0                   ; hook's call in the last tile rows loop recognised; 0: none yet
        .db 0, 0
; Into WRAM bank 7, whose code goes on right after these bytes (ProbeRom, below).
ProbeRomEntry:
        ld a,#CODE_WRAM_BANK
        ldh (rSVBK),a
ProbeEnd:
ProbeStubSize = ProbeEnd - Probe
        .iif ne, ProbeStubSize - (IDLE_TILE - PROBE_STUB), .error 1
        .iif ne, ProbeRomEntry - Probe - (PROBE_ROM_ENTRY - PROBE_STUB), .error 1

; =============================================================================================
        .area _BANK7_CODE (ABS)
        .org BANK7_CODE
; WRAM bank 7 from IDLE_TILE on (bank 2 keeps its variables at the same addresses): code
; that reads none of the runtime's variables, entered from bank 2 through the switch just
; above it and left through ProbeDone, which the probe's copy in bank 7 holds too.

; The probe of a colour ROM on MBC1: the slots are read in ROM bank 32 itself, which MBC1's
; mode 1 shows at 0x0000-0x3FFF, so the set-up copies no dictionary into WRAM (16 KiB of it
; took two frames of the game's start). Bank 0 is out of view meanwhile: interrupts are off
; and nothing here calls into it. In and out as Probe, but B = the part.
ProbeRom:
        ld a,b
        swap a
        add a,h
        sub #>DICT_SLOT_BASE
        ld h,a                  ; part p at 0x1000 p
        ld a,#1
        ld (MBC_HIGH_BITS),a
        ld (MBC1_MODE),a
1$:     SLOT_TEST 2$, 3$, 4$
2$:     inc hl                  ; next slot; after the part's last, its first above the stub
        ld a,l
        and a
        jr nz,1$
        ld a,h
        and #0x0F
        jr nz,1$
        ld a,h
        sub #0x10
        ld h,a
        ld l,#PROBE_STUB_SIZE
        jr 1$
4$:     xor a
3$:     ld b,a
        xor a
        ld (MBC1_MODE),a        ; bank 0 again, and the game's banks above it
        ld (MBC_HIGH_BITS),a
        jp ProbeDone + 1
Bank7CodeEnd:
        .iif gt, Bank7CodeEnd - ProbeRom - (BANK7_CODE_END - BANK7_CODE), .error 1

; =============================================================================================
        .area _RUNTIME (ABS)
        .org RUNTIME

; --- From Shared: IE is 0, WRAM bank 2 is in view, the carry is the hook's: set for the
;     frame's work (Z clear right after the game's OAM DMA, set after a vertical-blank wait),
;     clear for a copied byte. Returns A = 0 with BC, DE and HL as the game had them (DE
;     advanced for a copied byte, as INC DE would).
RuntimeEntry::
        jr c,3$
        ld a,d
        cp #>VRAM_MAP0
        jr nc,MapEntryCopied
        cp #>VRAM_TILES
        jp c,IdleTime           ; (D: the game's IE, from IdleHalt or IdleHook)
        push hl
        push de
        push bc
        call TileByteCopied
        pop bc
        pop de
        inc de
        pop hl
        xor a
        ret
3$:     push hl
        push de
        push bc
        ld c,#0                 ; C: not 0 when the frame's work follows the game's OAM DMA
        jr z,2$
        inc c
2$:     call FrameWork
        pop bc
        pop de
        pop hl
        xor a
        ret

; --- A map entry the copy loop stored at DE while the LCD is off (VRAM is free to use)
;     takes the record of the tile it names, under the tile addressing in use now. The
;     usual byte of a screen load: it keeps BC and HL without pushing them.
MapEntryCopied:
        ld a,(vDictBanks)
        and a
        jr z,1$                 ; no tile has a palette: attributes stay 0
        push hl
        ld a,(de)
        ld l,a
        call RecordPage
        ENTRY_TAKES_RECORD
        pop hl
1$:     inc de
        xor a
        ret

; --- The last byte of a tile the copy loop stored at DE while the LCD is off (the hooks in
;     bank 0 pass on no other byte of a tile): the tile is looked up, and where the loop is
;     one of the usual forms, the rest of it is done here at once (LoopRest).
TileByteCopied:
        ld a,(vDictBanks)
        and a
        ret z                   ; no tile has a palette: records stay 0
        call LookUpTileAt
        ld a,(vLoopRest)
        and a
        ret z

; --- The rest of a copy loop, in one go. A screen load through the copy hook takes each
;     byte through bank 0 (about 40 cycles against the loop's 13) and the way into the
;     runtime at each tile's end; here a tile costs about 100 cycles and the runtime is
;     entered once a loop. Taken only where the hook's caller is the game's own loop in one
;     of the forms below, with the LCD off and the rest within the tile area. A timer, serial
;     or joypad interrupt that the game enables and that comes meanwhile stops it at the end
;     of a tile: the game takes it and goes on with its own loop. The game then runs the
;     loop's end itself, with the count at the step reached, and leaves the loop with every
;     register and flag as its own passes would have left them.
;       BC counted:  LD A,(HL+) / LD (DE),A / INC DE / DEC BC / LD A,B / OR C / JR NZ or JP NZ
;       DE counted:  LD A,(HL+) / LD (BC),A / INC BC / DEC DE / LD A,D / OR E / JR NZ or JP NZ
;                    (through CopyHookBc, LoopRestBcHook)
;       tile rows:   LD B,16 / STAT wait / the copy / DEC B / JR NZ (the wait) / DEC C / JR NZ
; The stack, from SP: the return into RuntimeEntry, the game's BC, DE, HL (pushed there),
; the return into Shared, then what bank 0 pushed with the game's WRAM bank in view: IE,
; the copy hook's AF, the return address of the hook's call.
LR_BC = 2
LR_DE = 4
LR_HL = 6
LR_IE = 10
LR_AF = 12
LR_RETURN = 14
LoopRest:
        ld hl,#LR_IE
        add hl,sp
        call GameWordJump
        ld a,b
        and #IEF_TIMER | IEF_SERIAL | IEF_JOYPAD
        ld (vLoopIe),a
        ld hl,#LR_RETURN + 2
        ld e,#GAME_WORD_FROM_STORED_RETURN
        call ReturnInBankZero   ; HL: where the hook returns to
        ret nc
        cp h                    ; the store hooks' call? (it returns to GameWord - 160)
        jr nz,2$
        ld a,e
        cp l
        jr z,LoopRestBcHook
2$:     ld a,(RowsLoopAt)       ; the tile rows loop found here before? (bank 0 does not change)
        cp l
        jr nz,3$
        ld a,(RowsLoopAt + 1)
        cp h
        jr z,LoopRestRowsCount
3$:     push hl
        ld de,#LoopBcForm
        ld b,#3
        call MatchBytes         ; (HL: 3 bytes on when they match)
        jr nz,LoopRestRows
        pop bc
        call JumpsBackToCall
        ret nz
LoopRestBc:
        ld hl,#LR_BC            ; count: BC - 1 more
        add hl,sp
        ld a,(hl+)
        ld b,(hl)
        ld c,a
        dec bc
        xor a
        jr LoopRestCopy
; CopyHookBc's loop, LD A,(HL+) / LD (BC),A / INC BC / DEC DE / LD A,D / OR E / JR NZ or
; JP NZ back to the call: the store hook keeps the game's DE, the count, on the stack, and the
; game's return address above it. (A set_vram_byte routine's caller returns there too: the
; call before it must be CopyHookBc's, at GameWord - 178.)
LR_COUNT = LR_RETURN + 2
LoopRestBcHook:
        ld hl,#LR_RETURN + 6
        ld e,#GAME_WORD_FROM_COPY_BC
        call ReturnInBankZero   ; HL: the game's return address
        ret nc
        dec hl
        cp (hl)
        ret nz
        dec hl
        ld a,e
        cp (hl)
        ret nz
        dec hl
        ld a,(hl+)
        cp #0xCD
        ret nz
        inc hl
        inc hl
        ld de,#LoopDeForm
        ld b,#3
        call MatchBytes         ; DEC DE / LD A,D / OR E
        ret nz
        call JumpsBackToCall
        ret nz
        ld hl,#LR_COUNT
        add hl,sp
        call GameWordJump
        dec bc                  ; count: DE - 1 more
        ld a,#2
        jr LoopRestCopy
LoopRestRows:
        pop hl
        push hl
        ld de,#LoopRowsAfter
        ld b,#LoopRowsAfterEnd - LoopRowsAfter
        call MatchBytes
        pop hl
        ret nz
        push hl
        ld de,#-(LoopRowsBeforeEnd - LoopRowsBefore) - 3
        add hl,de
        ld de,#LoopRowsBefore
        ld b,#LoopRowsBeforeEnd - LoopRowsBefore
        call MatchBytes
        pop hl
        ret nz
        ld a,l                  ; (a game whose timer stops the rest at each tile's end comes
        ld (RowsLoopAt),a       ; back here for every tile: 14 bytes compared each time took
        ld a,h                  ; 200 cycles of its 540)
        ld (RowsLoopAt + 1),a
LoopRestRowsCount:
        ld hl,#LR_BC            ; count: 16 in each of C - 1 more rows (this row ends here:
        add hl,sp               ; B = 1)
        ld a,(hl+)
        and a
        ret z                   ; (C = 0: 256 rows)
        ld c,a
        ld a,(hl)
        dec a
        ret nz
        ld h,a
        ld l,c
        dec l
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        ld b,h                  ; BC = 16 (C - 1)
        ld c,l
        ld a,#1
; BC more bytes from the game's HL to DE + 1 and on (A: 0 for the BC form, 1 for rows, 2 for
; the DE-counted form).
LoopRestCopy:
        push af
        ld a,b
        or c
        jr z,13$
        ld hl,#LR_DE + 2
        add hl,sp
        ld a,(hl+)
        ld d,(hl)
        ld e,a
        inc de                  ; where the next byte goes, in the tile area: the rest stops
        ld a,d                  ; where the area ends and the game's loop goes on from there
        sub #>VRAM_TILES        ; (into the map, whose entries take their records through the
        cp #>(VRAM_MAP0 - VRAM_TILES) ; hook, or, as GBDK's tile loader does, back to
        jr nc,13$               ; 0x8800; such a loop got no rest at all while the whole
                                ; count had to end in the tile area)
        ld hl,#LR_HL + 2
        add hl,sp
        ld a,(hl+)
        ld h,(hl)
        ld l,a
        push hl                 ; and read below 0xD000: WRAM bank 1 (and its echo) is out of
        add hl,bc               ; view here, the runtime's bank 2 in its place
        ld a,h
        pop hl
        jr c,13$
        cp #0xD0
        jr nc,13$
        ld a,(vLoopIe)          ; a long rest (LOOP_FAST_BYTES or more) in a game that enables
        and a                   ; no timer, serial or joypad interrupt runs at double speed,
        jr nz,4$                ; the LCD being off: no game code runs meanwhile and no
        ld a,d                  ; interrupt can come, so the game only finds its load done
        cp #>VRAM_MAP0 - 2      ; sooner, as in the original (LoopRestEnd switches back);
        jr nc,4$                ; not within 512 bytes of the map, where the rest stops
        ld a,c
        sub #<LOOP_FAST_BYTES
        ld a,b
        sbc a,#>LOOP_FAST_BYTES
        call nc,SwitchSpeed
4$:     ld a,e                  ; a whole tile from its start: 8 bytes a turn
        and #0x0F
        jr nz,8$
        ld a,b
        and a
        jr nz,9$
        ld a,c
        cp #16
        jr c,8$
9$:     push bc
        ld b,#2
10$:    .rept 7
        ld a,(hl+)
        ld (de),a
        inc e
        .endm
        ld a,(hl+)
        ld (de),a
        inc de
        dec b
        jr nz,10$
        pop bc
        ld a,c
        sub #16
        ld c,a
        jr nc,12$
        dec b
        jr 12$
13$:    jp LoopRestNone
14$:    ld a,c                  ; with a whole tile more to go, its first 15 bytes: the game's
        and #0xF0               ; loop stores the last itself, and its hook comes back here
        or b                    ; with the tile (at its first byte it would have stored the
        jr z,LoopRestEnd        ; tile's 16 through the hook, 40 cycles a byte: a game whose
                                ; timer comes every few tiles spent a quarter of its loads so)
15$:    ld a,(hl+)
        ld (de),a
        inc e
        ld a,e
        inc a
        and #0x0F
        jr nz,15$
        ld a,c
        sub #15
        ld c,a
        jr nc,LoopRestEnd
        dec b
        jr LoopRestEnd
8$:     ld a,(hl+)              ; else a byte at a time
        ld (de),a
        inc de
        dec bc
        ld a,e
        and #0x0F
        jr nz,5$
12$:    push hl                 ; a tile's last byte: looked up
        push de
        push bc
        dec de
        call LookUpTileFrom
        pop bc
        pop de
        pop hl
        ld a,b
        or c
        jr z,LoopRestEnd
        ld a,d
        cp #>VRAM_MAP0
        jr z,LoopRestEnd
        ldh a,(rIF)             ; an interrupt the game takes while it waits for nothing but
        push hl                 ; its loop: it gets it now, and its loop goes on from here
        ld hl,#vLoopIe
        and (hl)
        pop hl
        jr nz,14$
5$:     ld a,b
        or c
        jr nz,4$
; The game's registers as its loop leaves them with BC bytes still to go: HL, DE (RuntimeEntry
; still adds 1), the count at the step that has BC more to copy, which the game's own DEC
; takes on from, and for rows A = the last byte copied, as LD A,(HL+) left it.
LoopRestEnd:
        ldh a,(rKEY1)
        rla
        call c,SwitchSpeed      ; (bit 7: at double speed)
        dec de
        push hl
        ld hl,#LR_DE + 4
        add hl,sp
        ld (hl),e
        inc hl
        ld (hl),d
        pop de
        ld hl,#LR_HL + 2
        add hl,sp
        ld (hl),e
        inc hl
        ld (hl),d
        pop af
        ld hl,#LR_BC
        add hl,sp
        inc bc
        and a
        jr nz,7$
        ld (hl),c               ; BC form: BC + 1
        inc hl
        ld (hl),b
        ret
7$:     dec a
        jr nz,LoopRestDeCount
        dec bc                  ; rows: C = BC / 16 + 1, B = BC % 16 + 1 (1 at a row's end)
        ld a,c
        and #0xF0
        or b
        swap a
        inc a
        ld (hl+),a
        ld a,c
        and #0x0F
        inc a
        ld (hl),a
        dec de
        ld a,(de)
        ld c,a
        ld hl,#LR_AF + 1
        add hl,sp
        jr GameByteJump
LoopRestNone:
        pop af
        ret
SwitchSpeed:
        SWITCH_SPEED
; CopyHookBc's loop: BC the next place to store (HL = LR_BC), the game's DE the count + 1.
LoopRestDeCount:
        push bc
        ld hl,#LR_DE + 2
        add hl,sp
        ld a,(hl+)
        ld d,(hl)
        ld e,a
        inc de
        ld hl,#LR_BC + 2
        add hl,sp
        ld (hl),e
        inc hl
        ld (hl),d
        pop bc
        ld hl,#LR_COUNT
        add hl,sp
        call GameByteJump
        inc hl
        ld c,b
        jr GameByteJump

; Z when the instruction at HL, 3 bytes after the return address of a copy hook's call, jumps
; back to that call while NZ: JR NZ,-8, or JP NZ to the call. Uses A, DE, HL.
JumpsBackToCall:
        ld a,(hl+)
        cp #0x20
        jr nz,1$
        ld a,(hl)
        cp #0xF8
        ret
1$:     cp #0xC2
        ret nz
        ld a,(hl+)
        ld e,a
        ld d,(hl)
        ld a,l                  ; the call: 8 bytes before HL now
        sub #8
        ld l,a
        jr nc,2$
        dec h
2$:     cp e
        ret nz
        ld a,h
        cp d
        ret

; Z when the B bytes at HL are those at DE. Uses A, B, DE, HL.
MatchBytes:
        ld a,(de)
        cp (hl)
        ret nz
        inc de
        inc hl
        dec b
        jr nz,MatchBytes
        ret
LoopBcForm:
        .db 0x0B, 0x78, 0xB1                                ; DEC BC / LD A,B / OR C
LoopDeForm:
        .db 0x1B, 0x7A, 0xB3                                ; DEC DE / LD A,D / OR E
LoopRowsBefore:
        .db 0x06, 0x10, 0xF0, 0x41, 0xE6, 0x02, 0x20, 0xFA  ; LD B,16 / LDH A,(STAT) / AND 2 / JR NZ
LoopRowsBeforeEnd:                                          ; (then the copy hook's call)
LoopRowsAfter:
        .db 0x05, 0x20, 0xF4, 0x0D, 0x20, 0xE9              ; DEC B / JR NZ / DEC C / JR NZ
LoopRowsAfterEnd:
; Bank 0's GameWord and GameByteSet, where ColourInit found them.
GameWordJump::
        jp 0x0000
GameByteJump::
        jp 0x0000

; The return address at HL + SP (SP before the call), read in the game's WRAM bank, into HL
; with carry set when it is in bank 0 (carry clear: a loop elsewhere, not taken); then A:E =
; GameWord - E, where bank 0's hooks return to. Uses BC.
ReturnInBankZero:
        add hl,sp
        call GameWordJump
        ld a,b
        cp #0x40
        ret nc
        ld h,b
        ld l,c
        ld a,(GameWordJump + 1)
        sub e
        ld e,a
        ld a,(GameWordJump + 2)
        sbc a,#0
        scf
        ret

; H = REC_U or REC_S, the record table that map numbers use under LCDC bit 4 now.
RecordPage:
        ldh a,(rLCDC)
        and a
        jr nz,1$
        ld a,(LcdcCopied)       ; a game that switched the LCD off by writing 0: as last shown
1$:     and #LCDC_TILES8000
        ld h,#>REC_S
        ret z
        dec h
        ret

; A = LCDC, not as copied yet (HL = LcdcCopied), VRAM free: copied if the LCD is on.
NewLcdcSeen:
        bit 7,a
        ret z
        ld (hl),a
        ld b,a
        ld a,#1
        ldh (rVBK),a
        ld a,b
        ld (LCDC_SEEN),a
        xor a
        ldh (rVBK),a
        ret
LcdcCopied:
        .db 0x91                ; LCDC as last seen with the LCD on (at first as the boot ROM
                                ; leaves it)

; --- Carry set while there is vertical-blank time for more work (or the LCD is off).
;     LateWindowOpen: the same for a palette of a fade, which may start until
;     LATE_LAST_START: palette RAM is free in the whole blank, and a frame whose shades
;     change has little else to do (the rest of the work stops at VBLANK_WORK_END).
WindowOpen:
        ld b,#VBLANK_WORK_END - VBLANK_FIRST_LINE
        jr WindowCheck
; Carry when a fade's step may begin: where there are many sprites, the background's palettes
; in use must all fit before the blank's end (about 0.7 line each, n - n/4 lines counted),
; since what is left would go on behind the sprites, in the blank's last lines again, a few
; palettes a frame, with the background a step apart from itself for frames on end; a step
; shown a frame late is far less seen. Never later than LateWindowOpen.
BackgroundSetFits:
        ld a,(vUsedCount)
        ld b,a
        srl a
        srl a
        sub b
        add a,#FADE_LAST_START + 1 - VBLANK_FIRST_LINE
        cp #LATE_LAST_START - VBLANK_FIRST_LINE
        jr c,2$
        ld a,#LATE_LAST_START - VBLANK_FIRST_LINE
2$:     ld b,a
        jr WindowCheck
LateWindowOpen:
        ld b,#LATE_LAST_START - VBLANK_FIRST_LINE
WindowCheck:
        ldh a,(rLCDC)
        rla
        jr c,1$
        ld a,(vOffBudget)       ; LCD off: as much as fits in a blank, so that a game that
        sub #1                  ; switches the LCD on next is not kept waiting
        ccf
        ret nc
        ld (vOffBudget),a
        ret
1$:     ldh a,(rLY)
        sub #VBLANK_FIRST_LINE
        cp b
        ret

; The game switches the LCD off in this blank (LcdOffWait in bank 0 made FrameWork jump
; here): FrameWork gets its first instruction back and the blank is left to the game, whose
; own handler goes on after its DMA call and whose wait must still find a line of the blank
; after it (with forty sprites and a timer interrupt right behind, it missed the blank for
; four frames in a row). After a DMA call the sprites are marked 2: LcdOffWait colours them
; once the LCD is off, for a game that switches it on again at once, and writes a fade's
; step that waited.
LcdOffSkip:
        ld hl,#FrameWork
        ld (hl),#0xF0           ; LDH A,(n)
        inc hl
        ld (hl),#<rLY
        ld a,c
        and a
        ret z
        inc a                   ; (C = 1 after a DMA call)
        ld (vSpritesOnly),a
        ret
LcdOffJump = (LcdOffSkip - FrameWork - 2) & 0xFF  ; (back: FrameWork follows)
        .globl LcdOffJump

; --- Once a frame, after the game's OAM DMA or its wait for the blank. Everything runs only
;     in vertical blank (or, within a budget, with the LCD off), most urgent first: the
;     sprites (the DMA has just put them back to palette 0), as many as fit before line
;     SPRITES_END_LINE; the shades when a register changed (seldom, and seen at once); one
;     chunk of the refresh or, every other frame, one tile of the sweep (a tile must be
;     known before its map entries can show its palette); then more of the refresh and of
;     the sweep while the blank leaves time. After a frame whose work ended late, the next
;     does the sprites alone (LateCheck).
;     The shades are followed only from the FOLLOW_AFTER-th time on: a game that waits for
;     the blank a few times while it starts up and never again would otherwise keep the
;     shades of its start-up (the boot's BGP of 0xFC, an unset OBP0) for good.
;     In: C not 0 when the work follows the game's OAM DMA (else OAM may not hold this
;     frame's sprites, and they are left alone).
FrameWork::                     ; (LcdOffWait may turn the LDH into JR LcdOffSkip)
        ldh a,(rLY)             ; the usual call: in the blank, in time (LY reads 0 with the
        sub #VBLANK_FIRST_LINE  ; LCD off)
        cp #FRAME_LAST_LINE - VBLANK_FIRST_LINE
        jr c,4$
        ldh a,(rLCDC)           ; with the LCD on, a call this late (or outside the blank)
        rla                     ; leaves no time for anything: back to the game at once
        ret c
        ld a,#OFF_BUDGET        ; LCD off: a budget takes the place of the line
        ld (vOffBudget),a
4$:     ld hl,#vFrameCount
        inc (hl)
        ld l,#<vStarved         ; one frame more since the refresh's last chunk (light
        inc (hl)                ; frames count too: a starved chunk that ends late is
        jr nz,14$               ; followed by one)
        dec (hl)
14$:
        ld a,c                  ; after a DMA call: the sprites first (the DMA has just put
        and a                   ; them back to palette 0)
        jr z,13$
        SpritesCall = .         ; (an assignment: 13$ is still in reach)
        call SpritesThisFrame   ; (ShadesFirst for a frame, when a fade's step waits)
        ld hl,#vSpritesOnly     ; after a frame whose work ended late, or a wait that found
        srl (hl)                ; nothing else to do, the sprites alone (the mark, 1, is
        ret c                   ; taken)
13$:    ldh a,(rLCDC)           ; (after the sprites) LCDC as last seen with the LCD on, for
        ld hl,#LcdcCopied       ; map entries stored while LCDC is 0, and its copy in VRAM
        cp (hl)                 ; bank 1 for bank 0's MapEntryFast
        call nz,NewLcdcSeen
        SHADES_WAITING 10$, 11$, 12$, 1
        jr z,16$                ; the usual frame: nothing waits
        LATE_CHECK_AFTER 17$    ; palettes may take the blank's last lines
        call ShadesWaiting
        ld a,(vShadesBusy)
        and #2
        call nz,TwinShades
16$:
        ld a,(vDictBanks)
        and a
        ret z                   ; no tile has a palette: attributes and records stay 0
        ld hl,#vIdleDid         ; the time the game waited since the last frame did the
        ld a,(hl)               ; refresh and the sweep: the blank is the game's
        ld (hl),#0
        and a
        ret nz
        LATE_CHECK_AFTER 18$    ; so may the refresh and the sweep
        ld hl,#vStarved
        ld a,(hl)               ; the usual case: too late for a chunk or a tile (LY is 0
        cp #STARVED_FRAMES      ; with the LCD off; a line of the next frame, after work
                                ; that ran late, passes too: FirstChunk and FirstTile look
                                ; again as LY - 144) ...
        ldh a,(rLY)
        jr nc,8$
        cp #CHUNK_LAST_START - 1 ; (getting to the chunk or tile takes most of a line)
        ret nc
        jr 6$
8$:     cp #CHUNK_LAST_START    ; ... but a starved refresh has its chunk
        jr c,6$
        cp #LATE_CHUNK_LAST_START
        ret nc
        ld a,(vRefreshLeft)     ; a pass not set up yet: only that, this frame (with the
        and a                   ; chunk it would not end in the blank)
        jr nz,7$
        ld hl,#vRefreshLeft
        jp StartRefreshPass
7$:     ld (hl),#0
        jp RefreshChunk
6$:     call FirstRefreshWork
        call Refresh
        jp Sweep

; After work that may end late with the LCD on (armed by LATE_CHECK_AFTER, where such work
; begins: the frames that do the sprites and the checks alone end early, and cost nothing
; here): a return after line 150 (or in the next frame) makes the next frame's work light.
LateCheck:
        ldh a,(rLY)
        sub #VBLANK_FIRST_LINE
        cp #LATE_RETURN_LINE - VBLANK_FIRST_LINE
        sbc a,a                 ; (0xFF in time, 0 late)
        inc a
        ld (vSpritesOnly),a
        ret

; Some palette waits to be written: BGP and OBP0 here, the twins in TwinShades. The first
; FOLLOW_AFTER frames only count down (whether or not there is time).
ShadesWaiting:
        ld hl,#vFollowAfter
        ld a,(hl)
        and a
        jr z,1$
        dec (hl)
        ret
1$:     ld a,(vShadesBusy)
        rra
        ret nc
        ld a,(vNeedLines)       ; few sprites (a line at most): a step may begin late in the
        cp #2                   ; blank, and what it cannot hold goes on right after them in
        jr nc,4$                ; the next
        call LateWindowOpen
        jp c,FollowShades
        jr 3$
4$:     call BackgroundSetFits  ; more: see there
        jr nc,3$
        call FollowShades       ; a background set that still does not end in this blank goes
        ld a,(vShadesBusy)      ; on first thing in the next, and the frame's work ends here
        rra                     ; (the blank is over); the sprites' set goes on behind the
        ret nc                  ; sprites
        ld a,(vUsedCount)
        ld hl,#vBgp + 1
        cp (hl)
        ret z
        pop af
        jr ShadesFirstNext
2$:     ld (hl),a
        ret
3$:     ld hl,#ShadesMissed     ; no time: when the values were the same at the last miss,
        ldh a,(rBGP)            ; a fade's step (which lasts a few frames) waits, and the
        cp (hl)                 ; next frame's work starts with it; a register changed every
        ld (hl+),a              ; frame goes on waiting behind the sprites
        ldh a,(rOBP0)
        jr nz,2$
        cp (hl)
        ld (hl),a
        ret nz
ShadesFirstNext:                ; the next frame's work starts with the shades
        ld hl,#SpritesCall + 1
        ld (hl),#<ShadesFirst
        inc hl
        ld (hl),#>ShadesFirst
        ret
ShadesMissed:
        .db 0, 0                ; BGP and OBP0 when the last palette found no time

; In place of the sprite pass: the step of a fade that twice found no time after the sprites
; (a game whose sprites take the blank would never fade), then the sprites in what is left of
; the blank; again the next frame while the step is not all written (the sprites' palettes
; after the background's), then the sprites first again. The shades' window is seen to: the
; frame's work started in time.
ShadesFirst:
        call FollowShades
        ld a,(vShadesBusy)
        rra
        jr c,1$
        ld hl,#SpritesCall + 1
        ld (hl),#<SpritesThisFrame
        inc hl
        ld (hl),#>SpritesThisFrame
1$:     ldh a,(rLY)             ; (LY - 144 under the pass's end: LY reads 0 with the LCD
        sub #VBLANK_FIRST_LINE  ; off, and the next frame's lines are past it)
        cp #SPRITES_END_LINE - VBLANK_FIRST_LINE
        jp c,SpritesThisFrame
        pop af                  ; else the frame's work ends here
        ret

; The refresh's first chunk, or every other frame the sweep's first tile (a starved refresh
; always goes first).
FirstRefreshWork:
        ld hl,#vStarved
        ld a,(hl)
        cp #STARVED_FRAMES
        jr nc,FirstChunk
        ld a,(vFrameCount)
        rra
        jr nc,FirstChunk
        jr FirstTile

; One chunk of the refresh if none ran yet this frame (vStarved: frames since the last one,
; 0 once it ran) and it can end by line 150: it takes about two lines.
; After STARVED_FRAMES frames without one (many sprites, a late DMA call), the chunk may
; start until LATE_CHUNK_LAST_START and end by line 153: that frame the game keeps less of
; the blank, rather than the background never catching up. The line is looked at as
; LY - 144: a line of the next frame (work before this one ran late) counts as too late.
FirstChunk:
        ld hl,#vStarved
        ld a,(hl)
        and a
        ret z
        ld b,#CHUNK_LAST_START - VBLANK_FIRST_LINE
        cp #STARVED_FRAMES
        jr c,2$
        ld b,#LATE_CHUNK_LAST_START - VBLANK_FIRST_LINE
2$:     ldh a,(rLCDC)
        rla
        jr nc,1$
        ldh a,(rLY)
        sub #VBLANK_FIRST_LINE
        cp b
        ret nc
1$:     ld (hl),#0
        jp RefreshChunk

; One tile of the sweep if it can end by line 150 (a tile takes about two lines).
FirstTile:
        ldh a,(rLCDC)
        rla
        jp nc,Sweep
        ldh a,(rLY)
        sub #VBLANK_FIRST_LINE
        cp #CHUNK_LAST_START - VBLANK_FIRST_LINE
        ret nc
        jp SweepOne

; --- Palette RAM follows BGP, OBP0 and OBP1: pixel value v of palette p shows the project
;     colour of the shade the register gives v. Sprites on OBP1 show palette p through its
;     twin, a sprite palette no tile uses (vTwins, chosen by the program), written with p's
;     colours under OBP1; without a free palette they share p with OBP0. After a register
;     changes, the palettes in use are rewritten one at a time while the window is open, over
;     as many frames as it takes, after the sprite pass (the sprites lose their palettes
;     with every DMA; a fade a frame late does not show). The twins come last: few games use
;     OBP1, and they wait until a sprite on OBP1 has been seen.
FollowShades::
        call FollowMain
        ret nc
        ld hl,#vShadesBusy
        res 0,(hl)
        ret

; After the sprite pass, while the twins wait, if a palette can still be written (setting
; up takes about two lines). Only a sprite on OBP1 shows a twin: until one has been seen,
; they wait.
TwinShades:
        ld a,(vFollowAfter)
        and a
        ret nz
        ld b,#LATE_LAST_START - 2 - VBLANK_FIRST_LINE
        ld a,(vTwinsWaited)     ; twins that found no time for a while: one palette that
        cp #STARVED_FRAMES      ; ends in the blank's last lines, as a starved refresh chunk
        jr c,1$
        ld b,#LATE_TWIN_LAST_START - VBLANK_FIRST_LINE
1$:     call WindowCheck
        ld hl,#vTwinsWaited
        jr c,FollowTwins
        inc (hl)                ; no time this frame
        ret nz
        dec (hl)
        ret
FollowTwins::
        ld hl,#vTwinsWaited
        ld (hl),#0
        ld a,#OPCODE_JR
        ld (FollowTwinJump),a
        ldh a,(rOBP1)
        ld hl,#vObp1
        ld e,#<(USER_COLOURS + 0x40 - PAL_AUTO_INCREMENT)
        ld c,#<rOCPS
        call FollowRegister
        ret nc
        ld hl,#vShadesBusy
        res 1,(hl)
        ret

; BGP and OBP0; carry clear when the window closed before both were done.
FollowMain:
        ld a,#OPCODE_CP
        ld (FollowTwinJump),a
        EFFECTIVE_BGP
        ld hl,#vBgp
        ld e,#<(USER_COLOURS - PAL_AUTO_INCREMENT)
        ld c,#<rBCPS
        call FollowRegister
        ret nc
        jr nz,1$                ; BGP had nothing to write: OBP0 in the same time
        ld b,#FADE_LAST_START - 1 - VBLANK_FIRST_LINE
        call WindowCheck        ; else OBP0 goes on as the next palette of the same fade
        ret nc                  ; would (sprites a frame behind the background show)
1$:     ldh a,(rOBP0)
        ld hl,#vObp0
        ld e,#<(USER_COLOURS + 0x40 - PAL_AUTO_INCREMENT)
        ld c,#<rOCPS           ; (on into FollowRegister)

; A = the register now, HL = its variables (the value being applied, then how many of the
; palettes in use are written: vUsedCount when all are), E = the low byte of the set's colours
; less PAL_AUTO_INCREMENT (8 bytes a palette; the variables and the colours share a page), C =
; the set's palette index register. The first palette left is written at once (the caller
; saw to the time), the next ones while the window is open. Carry clear when the window
; closed before the set was done; when it was done, Z clear if there was nothing to write
; (the time the caller saw to is still there).
; A fade rewrites every palette in use at each step, all in one blank if it can: the loop
; takes 82 cycles a palette (eight in about five and a half lines, what a game with forty
; sprites leaves after its DMA routine). Where each shade's colour sits in a palette goes
; straight into the loop's additions; the list of palettes in use holds each one's index
; byte (PAL_AUTO_INCREMENT + 8p, ColourInit, and the Play window's pushes), and the twins'
; detour is a jump that FollowMain turns into a compare and FollowTwins back.
FollowRegister:
        cp (hl)
        jr z,3$
        ld (hl),a               ; a new value: all palettes again
        inc l
        ld (hl),#0
        dec l
        jr 1$
3$:     ld b,a                  ; the same value: anything left to write?
        inc l
        ld a,(vUsedCount)
        dec a
        cp (hl)
        dec l
        ld a,b
        ret c                   ; all written (carry: on to the next register)
1$:     push hl
        ld b,a                  ; 2 x the shade of each pixel value, into the loop
        and #3
        add a,a
        ld (FollowShade + 2),a
        ld a,b
        and #0x0C
        rrca
        ld (FollowShade + 2 + 8),a
        ld a,b
        swap a
        ld b,a
        and #3
        add a,a
        ld (FollowShade + 2 + 16),a
        ld a,b
        and #0x0C
        rrca
        ld (FollowShade + 2 + 24),a
        inc l
        ld a,(hl)               ; the palettes in use written so far: B, the place of the
        add a,#<vUsedList       ; next one in the list, whose end is a byte under 0x80 (the
        ld b,a                  ; rest of the list is 0, and vNeedLines follows it)
        ld l,a
        ld a,(hl)
FollowLoop:                     ; A: the index byte of palette p, the next in use
        ld l,a
        add a,e
        ld d,a                  ; D: p's colours
        ld a,l                  ; A: where they go
FollowTwinJump:
        jr FollowTwin           ; (but while OBP1 is followed, its opcode a CP: the offset its operand)
FollowIndex:
        ldh (c),a
        inc c
FollowShade:
        .irp shade, 0, 1, 2, 3
        ld a,d
        add a,#0                ; 2 x the shade of pixel value 'shade'
        ld l,a
        ld a,(hl+)
        ldh (c),a
        ld a,(hl)
        ldh (c),a
        .endm
        dec c
FollowNext:
        inc b
        ld l,b
        ld a,(hl)
        cp #PAL_AUTO_INCREMENT
        jr c,FollowDone
        ld d,a
        ldh a,(rLY)             ; the window: a set written over two frames shows as two
        sub #VBLANK_FIRST_LINE  ; fades on screen, so it goes on to the blank's last line
        cp #FADE_LAST_START - VBLANK_FIRST_LINE
        ld a,d
        jr c,FollowLoop
        push bc
        call LateWindowOpen     ; (which gives the LCD off its budget)
        pop bc
        ld a,d
        jr c,FollowLoop
        pop hl                  ; the window closed first (carry clear: B is past the list's
        inc l                   ; start)
        ld a,b
        sub #<vUsedList
        ld (hl),a
        ret
FollowDone:
        pop hl                  ; all written: carry and Z
        inc l
        ld a,b
        sub #<vUsedList
        ld (hl),a
        xor a
        scf
        ret
        .iif ne, vUsedList + 8 - vNeedLines, .error 1 ; (a count of lines ends a full list)
; Sprites on OBP1 show palette p through its twin: A = p's index byte, the twin's instead
; (none: the palette follows OBP0 alone).
FollowTwin:
        rrca
        rrca
        rrca
        and #7
        add a,#<vTwins
        ld l,a
        sub #<vTwins
        cp (hl)
        jr z,FollowNext
        ld a,(hl)
        add a,a
        add a,a
        add a,a
        or #PAL_AUTO_INCREMENT
        jr FollowIndex
OPCODE_CP = 0xFE
        .iif ne, (USER_COLOURS + 0x7F) / 256 - RUNTIME_VARS / 256, .error 1 ; H stays on one page

; --- Sprites: right after the DMA, the OAM entries of the slots the game uses get the record
;     of their tile ORed into their attribute (monochrome games leave attribute bits 0-3
;     clear), in OAM itself; only as many as can be done before line SPRITES_END_LINE. While OBP1
;     differs from OBP0 and some palette has a twin, each attribute also goes through the
;     twin table, which sends a sprite on OBP1 to its palette's twin; that pass runs even
;     when no tile has a palette (sprites on OBP1 then show palette 0's twin).
SpritesThisFrame:
        ld a,(vFrameCount)      ; the slots are looked after a piece at a time, every fourth
        and #3                  ; frame when that leaves time for sprites (the usual frame
        dec a                   ; does nothing here): in turn four slots for a sprite on
        jr z,9$                 ; OBP1 until one is seen (less than a line), then the top
        sub #2                  ; slots; or the top slots, then, when they stayed, the slots
        jr nz,SpritesPass       ; above the count (a change of the count takes up to two
        ld a,(vShrinking)       ; lines). While the top slots come off, they are looked at
        and a                   ; every other frame. None of it when the game's waits
        jr z,SpritesPass        ; looked after the count since the last piece (IdleSlots;
        ldh a,(rLY)             ; the mark, 1, is taken)
        jr 8$
9$:     ld hl,#vSlotsReady      ; the first piece: OAM holds the game's sprites now, and
        ld a,(hl)               ; the waits may keep the count from here on. When it is the
        and a                   ; first frame's work of all, right after the game's first
        jr nz,10$               ; DMA call, the count is still the 40 assumed and a pass
        inc (hl)                ; over them would take the game's blank: no pass this once
        ld a,(vFrameCount)
        dec a
        ret z
10$:    ld hl,#vSlotsKept
        srl (hl)
        jr c,SpritesPass
        ld a,(vFrameCount)
        bit 2,a
        ldh a,(rLY)             ; (the flags of the bit kept)
        jr nz,7$
        cp #SPRITES_END_LINE - 1 ; (on line 148 or later, nothing more: the checks of a piece
        jr nc,SpritesPass       ; would take the line the pass needs)
        call Obp1Probe
        ldh a,(rLY)
8$:     cp #SPRITES_END_LINE - 2
        jr nc,SpritesPass
        call ShrinkNoting
        jr SpritesPass
7$:     cp #SPRITES_END_LINE - 2
        jr nc,SpritesPass
        call ShrinkNoting
        jr nz,SpritesPass
        ldh a,(rLY)
        cp #SPRITES_END_LINE - 1
        call c,GrowSlots
SpritesPass::                   ; (LcdOffWait, with the LCD off, comes in here: the pass alone)
        ld b,#4                 ; B: lines of blank left (with the LCD off, four), taken
        ldh a,(rLCDC)           ; after the count, which may have used some
        rla
        jr nc,1$
        ldh a,(rLY)             ; (the frame's work started in the blank, before line 150)
        cpl
        add a,#SPRITES_END_LINE + 1 ; SPRITES_END_LINE - LY, carry while LY is not past it
        ret nc
        ret z
        ld b,a                  ; (line LY may be almost over: B whole lines at least)
1$:     ld a,(vObp1Seen)
        and a
        jr z,2$
        ldh a,(rOBP1)
        ld c,a
        ldh a,(rOBP0)
        cp c
        jp nz,TwinPass
2$:     ld hl,#vSpriteRecords
        ld a,(hl+)
        or (hl)
        ret z                   ; no sprite tile has a palette
        ld a,(vNeedLines)
        dec a
        cp b
        jr c,5$                 ; time for all the slots in use
        ld a,b                  ; 10 steps a line, less the spare
        add a,a
        add a,a
        add a,b
        add a,a
        sub #SPRITE_STEPS_SPARE
        call StepsFor           ; the first A of them
        ld a,(vFrameCount)
        and #7
        jp nz,RunSteps
        ld de,#LateShrink       ; (every eighth such frame, after the steps)
        push de
        jp RunSteps
5$:     ld a,#1                 ; all of them, the usual case
        ldh (rVBK),a
        ld hl,#OAM + 2
        ld d,#>REC_U
SpritePasses:
        ld c,#OAM_SIZE / 4 / STEPS_IN_A_PASS ; (the operands: the passes and the steps for the
SpriteJump:                                  ; slots in use, SlotsCounted)
        jp SpriteSteps

; After a pass that had no time for every slot counted, every eighth frame: the top slots
; that are off screen come off, until line LATE_SHRINK_END. Where the DMA call comes this
; late, the pieces before the pass never find the time for it, and a count left at the 40
; it starts with (or at a crowded scene's) would keep every later pass on slots no sprite
; uses. The game gives up a line of its blank in those frames (the frame's work ends here),
; and gets two or three back in all the others.
LateShrink:
        ld hl,#vSpritesOnly
        ld (hl),#1
        ld b,#LATE_SHRINK_END
        jr ShrinkSlots

; Until a sprite on OBP1 has been seen, four slots in use are looked at every eighth frame
; while OBP1 differs from OBP0 and some palette has a twin (most games never use OBP1, and
; the twin pass costs 9 cycles more a sprite).
Obp1Probe:
        ld hl,#vObp1Seen
        ld a,(hl)
        and a
        ret nz
        ld a,(vHasTwins)
        and a
        ret z
        ldh a,(rOBP1)
        ld c,a
        ldh a,(rOBP0)
        cp c
        ret z
        inc l                   ; vObp1Probe
        ld b,#4                 ; four slots at a time
2$:     ld c,(hl)               ; this one, or the first when it is past the slots in use
        ld a,(vSpriteSlots)
        dec a
        cp c
        jr nc,1$
        ld c,#0
1$:     ld a,c
        inc a
        ld (hl),a               ; the next one after it
        ld a,c
        add a,a
        add a,a
        add a,#3
        ld e,a
        ld d,#>OAM
        call OamRead
        ret nc
        and #0x10
        jr nz,3$
        dec b
        jr nz,2$
        ret
3$:     dec l
        ld (hl),a
        ld hl,#vShadesBusy      ; from now on the twins show: bring them up to date
        set 1,(hl)
        ret

; The slots in use, up to the last sprite whose Y puts it on screen, kept up to date a little
; before each pass: the top slots leave the count while they are off screen (26 cycles
; each, the first at once, the others before line B: SPRITES_END_LINE - 2 as a rule), and
; one slot above the count (a different one each time) raises the count to it when it is on
; screen.
ShrinkSlots:
        ld hl,#vSpriteSlots
        ld c,(hl)               ; the count before
        ld a,c
        and a
        ret z
        add a,a
        add a,a
        sub #4
        ld e,a
        ld d,#>OAM              ; DE: the top slot's Y
1$:     ld a,(de)
        dec a
        cp #159
        jr c,SlotsCounted       ; on screen: the count ends with it
        dec (hl)
        jr z,SlotsCounted
        ld a,e
        sub #4
        ld e,a
        ldh a,(rLY)
        cp b
        jr c,1$
        jr SlotsCounted

; ShrinkSlots, noting whether the count came down (vShrinking). Z: it stayed.
ShrinkNoting:
        ld b,#SPRITES_END_LINE - 2
        call ShrinkSlots
        ld hl,#vShrinking
        ld (hl),#0
        ret z
        inc (hl)
        ret

GrowSlots:
        ld hl,#vSpriteSlots
        ld c,(hl)               ; the count before
        ld a,c                  ; the slot right above the count first (where a game puts
        cp #OAM_SIZE / 4        ; its next sprite, usually)
        ret nc
        ld b,a
        call SlotOnScreen
        jr c,8$
        ld a,(vGrowProbe)       ; then the probe, which walks the slots above the count
        inc a
        cp #OAM_SIZE / 4
        jr c,6$
        ld a,c
6$:     cp c
        jr nc,7$
        ld a,c
7$:     ld (vGrowProbe),a
        cp #OAM_SIZE / 4
        ret nc                  ; (all 40 counted already)
        ld b,a
        call SlotOnScreen
        ret nc                  ; off screen
8$:     inc b
        ld (hl),b               ; on screen: the count reaches it
; C = the count before; a new count gets its steps, and the lines they need (as many as
; the step count of SpritesThisFrame takes for them: (count + SPRITE_STEPS_SPARE) / 10,
; rounded up). Z: the count stayed.
SlotsCounted:
        ld a,(hl)
        cp c
        ret z
        ld b,a
        add a,#SPRITE_STEPS_SPARE + 9
        ld c,#0xFF
1$:     inc c
        sub #10
        jr nc,1$
        ld a,c
        ld (vNeedLines),a
        ld a,b
        call StepsFor
        ld a,c
        ld (SpritePasses + 1),a
        ld a,l
        ld (SpriteJump + 1),a
        ld a,h
        ld (SpriteJump + 2),a
        and a                   ; (NZ: the count changed)
        ret

; Carry set when the sprite in OAM slot A is on screen (its Y is 1-159); clear when it is not,
; or when its Y could not be read (a wait's work stopped: the count then stays). Uses DE.
SlotOnScreen:
        add a,a
        add a,a
        ld e,a
        ld d,#>OAM
        call OamRead
        ret nc
        dec a
        cp #159
        ret

; A = the OAM byte at DE, carry set; carry clear when it could not be read. The frame's work
; reads OAM at once (the blank); while a wait is worked in, IdleSlots points this at
; IdleOamByte, which reads at the start of a horizontal blank (OAM is free there).
OamRead:
        jp OamNow               ; (the operand: OamNow, or IdleOamByte in a wait)
OamNow:
        ld a,(de)
        scf
        ret
IdleOamByte:
        call IdleSync
        ret nc
        ld a,(de)               ; (carry still set)
        push af
        ldh a,(rSTAT)           ; a horizontal blank that ended before the read (a line
        and #3                  ; with many sprites has a short one): OAM gave 0xFF, so
        jr nz,1$                ; again in the next
        pop af
        ret
1$:     pop af
        jr IdleOamByte

; HL = where the steps for the first A (0-40) sprites start (7 bytes a step), C = the passes
; through them: one for each STEPS_IN_A_PASS sprites begun, the first over what the others
; leave.
StepsFor:
        ld c,#1
2$:     cp #STEPS_IN_A_PASS + 1
        jr c,1$
        sub #STEPS_IN_A_PASS
        inc c
        jr 2$
1$:     ld b,a
        add a,a
        add a,a
        add a,a
        sub b                   ; 7 x A (under 256)
        ld b,a
        ld a,#<SpriteStepsEnd
        sub b
        ld l,a
        ld a,#>SpriteStepsEnd
        sbc a,#0
        ld h,a
        ret

; The steps from HL on, C passes, with the records in view (VRAM bank 1). Twelve steps a
; pass: twenty took 5 cycles less for each pass saved, and the 56 bytes went to the
; runtime's other work.
RunSteps:
        push hl
        ld a,#1
        ldh (rVBK),a
        ld hl,#OAM + 2          ; the first sprite's tile
        ld d,#>REC_U
        ret                     ; into the steps
SpriteSteps::
        .rept STEPS_IN_A_PASS
        ld e,(hl)
        inc l
        ld a,(de)
        or (hl)
        ld (hl+),a
        inc l
        inc l
        .endm
SpriteStepsEnd:
        dec c
        jr nz,SpriteSteps
        xor a
        ldh (rVBK),a
        ret
        .iif ne, SpriteStepsEnd - SpriteSteps - 7 * STEPS_IN_A_PASS, .error 1

; The pass through the twin table, a loop of 20 cycles a sprite: 5 a line, less 4.
TwinPass:
        ld a,b
        add a,a
        add a,a
        add a,b
        sub #4
        ld hl,#vSpriteSlots
        cp (hl)
        jr c,1$
        ld a,(hl)
1$:     and a
        ret z
        add a,a
        add a,a
        add a,#2
        ld (TwinPassEnd + 1),a  ; where the loop stops: the tile after the last sprite's
        ld a,#1
        ldh (rVBK),a
        ld hl,#OAM + 2
        ld d,#>REC_U
        ld b,#>TWIN_TABLE
TwinPassLoop:
        ld e,(hl)
        inc l
        ld a,(de)
        or (hl)
        ld c,a
        ld a,(bc)
        ld (hl+),a
        inc l
        inc l
        ld a,l
TwinPassEnd:
        cp #0                   ; (the operand: set above)
        jr nz,TwinPassLoop
        xor a
        ldh (rVBK),a
        ret

; --- The refresh: map entries of the visible background rows (and of the window map while
;     the window is on) get the record of the tile they name, REFRESH_CHUNK entries at a time.
Refresh:
        call WindowOpen
        ret nc
        call RefreshChunk
        ret z                   ; the pass is over
        jr Refresh

; One chunk of REFRESH_CHUNK entries; Z once the pass has done its rows. (RefreshNext: the
; position after a chunk, with E past its last entry.)
RefreshChunk:
        CHUNK_START
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
        ; the next chunk of the row (its columns wrap within it); after the row's last,
        ; the row below from its first column (rows wrap within the map). A pass ends after
        ; its rows, so with the LCD off the refresh stops there too.
RefreshNext:
        ld a,e
        and #0x1F
        jr nz,4$
        ld a,e                  ; past column 31 (INC E left D alone): column 0 of the row
        sub #32
        ld e,a
4$:     and #0x1F
        ld hl,#vRefreshColEnd
        cp (hl)
        jr nz,3$
        ld a,e
        and #0xE0
        add a,#32
        ld e,a
        jr nc,1$
        ld a,d
        and #0xFC
        ld b,a                  ; the map's first page
        inc d
        ld a,d
        and #0x03
        or b
        ld d,a
1$:     ld a,(vRefreshColStart)
        or e
        ld e,a
        ld hl,#vRefreshLeft
        dec (hl)
        call 2$
        ld hl,#vRefreshLeft
        ld a,(hl)
        and a
        ret nz
        ldh a,(rLY)             ; the next pass is set up at once: it reads only registers,
        cp #LATE_CHUNK_LAST_START - 1 ; so the next chunk can start late in the blank; but not
        jr nc,5$                ; after line 150, where a late chunk still has to end; LY
        and a                   ; reads 0 in most of line 153 too, where only the LCD off
        jr nz,6$                ; leaves time
        ldh a,(rLCDC)
        rla
        jr c,5$
6$:     call StartRefreshPass
5$:     xor a                   ; (Z: over)
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
; cover the screen at any vertical scroll. Of each row it does the 21 columns the screen
; shows at the horizontal scroll, in whole chunks: 24 columns from the chunk the first one
; is in, or the whole row when that is not enough. With the window on, every other pass
; does the window map's rows instead (their first 24 columns).
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
        xor a
        ld e,a
        ld b,#24
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
        ldh a,(rSCX)
        ld c,a
        and #0xC0               ; the chunk of the first column shown: (SCX / 8) & 0x18
        rrca
        rrca
        rrca
        or l
        ld e,a
        and #0x1F
        add a,#24
        bit 5,c                 ; (SCX / 8) & 7 of 4 or more: 24 columns are not enough
        jr z,3$
        add a,#8
3$:     ld b,a
2$:     ld hl,#vRefreshPos
        ld (hl),e
        inc l
        ld (hl),d
        ld a,e
        and #0x1F
        ld (vRefreshColStart),a
        ld a,b
        and #0x1F
        ld (vRefreshColEnd),a
        ret

; --- The sweep: one VRAM tile after another is looked at again, whatever put it there. With
;     the LCD off it takes its share of the budget.
Sweep:
        ldh a,(rLCDC)
        rla
        jr c,4$
        ld hl,#vOffBudget       ; LCD off: a tile takes one unit of the budget
        ld a,(hl)
        and a
        ret z
        dec (hl)
        jr 1$
4$:     ldh a,(rLY)
        cp #SWEEP_LAST_START
        ret nc
        cp #VBLANK_FIRST_LINE
        ret c
1$:     call SweepOne
        jr Sweep

; The next tile of the sweep, whatever the time.
SweepOne:
        ld hl,#vSweepTile
        ld a,(hl+)
        ld h,(hl)
        ld l,a
        push hl
        call IdentifyTile
        pop hl
        push hl
        call SetRecord
        pop hl
; HL: the tile just looked at; the sweep goes on with the next.
SweepNext:
        ld a,l
        add a,#16
        ld l,a
        jr nc,3$
        inc h
        ld a,h
        cp #>VRAM_MAP0
        jr nz,3$
        ld h,#>VRAM_TILES
3$:     ld a,l
        ld (vSweepTile),a
        ld a,h
        ld (vSweepTile + 1),a
        ret

; The tile whose bytes include DE's, copied from the 16 bytes before HL: where those are in
; the game's switchable ROM bank, the program's table for that bank (in bank 32 + the bank,
; shown at 0x4000 while MBC1's upper bits are 1) may give the palette its look-up would find,
; at the tile's first byte (bit 7 set): about 50 cycles instead of the hash and the probe.
; Only where the dictionary is read in ROM: the tables then belong to it (the Play window's
; pushes put a new dictionary in WRAM), and the MBC is MBC1 with its upper bits free.
LookUpTileFrom:
        ld a,(vDictInRom)
        and a
        jr z,LookUpTileAt
        ld bc,#-16
        add hl,bc
        ld a,h
        sub #0x40
        cp #0x40
        jr nc,LookUpTileAt      ; (not all in 0x4000-0x7FFF)
        ld a,#1
        ld (MBC_HIGH_BITS),a
        ld a,(0x7FFF)
        cp #PALETTE_TABLE_MARK  ; (bank 33, when the game has bank 1 in view, has none)
        ld b,(hl)
        ld a,#0
        ld (MBC_HIGH_BITS),a
        jr nz,LookUpTileAt
        bit 7,b
        jr z,LookUpTileAt       ; not known there: looked up
        ld a,b
        and #7
        ld h,d
        ld l,e
        jp SetRecord
; The tile whose bytes include DE's is looked up and its record written. Uses everything.
; A blank tile takes the palette its first look-up found (BLANK_PALETTE): the hash and the
; probe cost 250-300 cycles, and a game that clears the tiles of a screen at each load
; stores more blank tiles than any other (`sushinights`: 357 of its 872).
LookUpTileAt:
        ld a,e
        and #0xF0
        ld e,a                  ; DE: the tile, for the look-up (quicker than POP and PUSH)
        ld l,a
        ld h,d
        push hl
        ld b,#4
1$:     .rept 2                 ; (INC L within the tile: it starts 16 bytes aligned)
        ld a,(hl+)
        or (hl)
        jr nz,3$
        inc l
        .endm
        dec b
        jr nz,1$
        ld a,(BLANK_PALETTE)
        cp #kPalettes
        jr c,2$                 ; looked up before
        pop hl
        push hl
        call IdentifyTile
        ld (BLANK_PALETTE),a
2$:     pop hl
        jp SetRecord
3$:     ld h,d
        ld l,e
        call IdentifyTile
        pop hl
        jp SetRecord

; --- The palette of the tile at HL in VRAM bank 0 (VRAM must be readable): its 16 bytes are
;     hashed as the program hashes the project's tiles (engine/TileDictionary.cpp), and the
;     hash is looked up. Out: A = palette 0-7. Uses everything.
IdentifyTile:
        ld bc,#0
        ld d,b
        ld e,b
9$:     .rept 2                 ; (four turns of two rows: HL starts a tile, 16 bytes aligned)
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
        ld a,l
        and #0x0F
        jr nz,9$
; Slot index: b and the low three bits of c (11 bits); part: bits 3-4 of c, masked to the
; number of parts; tag: d's complement and the low five bits of e.
        ld a,d
        cpl
        ld d,a
        ld a,(vDictBanks)
        dec a
        ld l,a
        ld a,c
        rrca
        rrca
        rrca
        and l
        push af                 ; the part
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
1$:     ld a,(vDictInRom)
        and a
        jr nz,2$
        pop af
        add a,#DICT_FIRST_BANK  ; its WRAM bank
        jp PROBE_STUB
2$:     pop bc                  ; B: the part
        jp PROBE_ROM_ENTRY      ; (ProbeRom, in WRAM bank 7)

; --- Records the palette A of the VRAM tile at HL (0x8000-0x97F0). VRAM must be writable.
SetRecord:
        ld b,a
        TILE_NUMBER
        ld a,#1
        ldh (rVBK),a
        bit 4,h
        jr nz,SetRecordS        ; 0x9000-0x97FF: only REC_S knows it
        ld h,#>REC_U
        ld a,(hl)
        ld (hl),b
        ld c,a
        bit 7,l
        jr z,CountSpriteRecord
        inc h                   ; 0x8800-0x8FFF: REC_S names it the same
        ld (hl),b
; The count of coloured sprite tiles, after the record of one went from C to B; then VRAM
; bank 0 again.
CountSpriteRecord:
        ld hl,#vSpriteRecords
        ld a,c
        and a
        jr z,1$
        ld a,b
        and a
        jr nz,RecordDone
        ld a,(hl)               ; a coloured tile lost its palette
        sub #1
        ld (hl+),a
        jr nc,RecordDone
        dec (hl)
        jr RecordDone
1$:     ld a,b
        and a
        jr z,RecordDone
        inc (hl)                ; an uncoloured tile gained one
        jr nz,RecordDone
        inc hl
        inc (hl)
        jr RecordDone
SetRecordS:
        ld h,#>REC_S
        ld (hl),b
RecordDone:
        xor a
        ldh (rVBK),a
        ret

; --- The game waits for an interrupt, for a byte an interrupt changes, for the blank or for a
;     key (IdleHalt, IdleHook, IdlePoll, PadHook); D = the interrupts it has enabled. The horizontal
;     blanks of that time go to the refresh and the sweep, one access of VRAM at a time,
;     until one of those interrupts is pending or line IDLE_LAST_LINE comes (the vertical
;     blank's interrupt then comes as it would have), with the LCD on and some tile given a
;     palette. A game that takes LCD interrupts is left its time: it may time raster effects
;     to the line.
; A loop on a byte (D bit 5) tests the byte after each call: only a call that finds the byte
; as the last one did and comes right after that one's return (under IDLE_AGAIN ticks of
; DIV, 64 cycles each) belongs to a wait that goes on. Any other returns at once, so that a
; byte already set, or set meanwhile, ends the wait when it would have. A halt sleeps until
; an interrupt and a poll of LY (D bit 6) spins until line 144, whatever the byte holds; a
; poll also learns whether the frame's work is wanted after it (E, QuietFrame), and a poll
; that starts in the blank has it at once. In a game with no interrupt enabled, a poll with
; nothing else to do is timed to the cycle (PollSync). A wait for a key (PadHook, D bits 5
; and 6) reads the keys after every call: it gets a slice (IdleSlice), whatever the byte.
IdleTime:
        push hl
        push bc
        push de
        bit 6,d
        jr z,3$
        ld a,d                  ; a poll in a game with no interrupt enabled and no tile
        and #0x1F               ; given a palette, with nothing new since the last frame's
        jr nz,8$                ; work: the wait is timed from the game's read of LY
        ld a,(vDictBanks)
        and a
        jr nz,9$
        call PollNothingNew
        jr c,9$
        ld de,#0
        call PollSync
        ld a,e
        pop de
        ld e,a
        jr 4$
9$:     ld a,#POLL_SYNC_LINE - 2 ; else the wait leaves the lines from here on to PollSync
        ld (IdleLast + 1),a
8$:     bit 5,d                 ; (bits 5 and 6: a wait for a key, which never comes as
        jp nz,20$               ; early as the blank; out of the timed polls' way)
        ldh a,(rLY)             ; a poll of LY that starts early in the blank: the frame's
                                ; work now, while the game waits for the next one (it would
                                ; otherwise come a frame later, after line 144); from
        sub #VBLANK_FIRST_LINE  ; POLL_WORK_END on, a set of palettes might not end in
        cp #POLL_WORK_END - VBLANK_FIRST_LINE ; the blank
        jr nc,3$
        ld c,#0
        call FrameWork
        pop de
        push de
3$:     ld a,d
        and #0x1F
        ld (IdleMask + 1),a
        ld c,#0                 ; C: not 0 once the wait was worked in
        and #IEF_LCD
        jr nz,1$
        bit 5,d
        jr z,2$                 ; a halt or a poll of LY: whatever the byte holds
        ld hl,#vIdleByte
        ld a,e
        cp (hl)
        ld (hl),a
        jr nz,1$
        ld a,(vIdleReturned)
        ld b,a
        ldh a,(rDIV)
        sub b
        cp #IDLE_AGAIN
        jr nc,1$
        ccf                     ; (carry clear: the whole wait)
2$:     call IdleRun
        call IdlePending        ; (an interrupt that ended the wait is not kept waiting, nor
        jr nz,1$                ; is the blank's: the check takes most of a line)
        ldh a,(rLY)
        cp #VBLANK_FIRST_LINE - 1
        jr nc,1$
        ld c,#1
1$:     pop de
        bit 6,d
        jr nz,5$                ; a poll of LY: E tells the bank-0 code
        dec c                   ; a halt or a loop that was worked in until the lines before
        jr nz,4$                ; the blank (a call that returns at once, or for an
5$:     call QuietFrame         ; interrupt, must stay quick) and found nothing else to do:
        bit 6,d                 ; the frame's work that follows the next DMA call does the
        jr nz,7$                ; sprites alone (the game keeps more of the blank; a shade
        dec e                   ; the game changes in between is followed a frame later)
        jr z,4$
        ld a,#1
        ld (vSpritesOnly),a
4$:     ldh a,(rDIV)            ; (as the game gets the call back)
        ld (vIdleReturned),a
        pop bc
        pop hl
        xor a
        ret
7$:     ld a,d                  ; a poll in a game with no interrupt enabled left its
        and #0x1F               ; last lines to PollSync (the limit back as the other
        jr nz,4$                ; waits have it) ...
        ld hl,#IdleLast + 1
        ld (hl),#IDLE_LAST_LINE
        ld a,e                  ; ... and, with nothing to do, is timed here
        and a
        call z,PollSync
        jr 4$
20$:    ld a,d                  ; a wait for a key: a slice (carry set), unless the game
        and #0x1F               ; takes LCD interrupts; it reads the keys again after it
        ld (IdleMask + 1),a
        and #IEF_LCD
        scf
        call z,IdleRun
        pop de
        jr 7$                   ; (in a game with no interrupt enabled the limit comes back)

; A poll of LY with nothing else to do in a game with no interrupt enabled: the start of
; line 144 is timed to the cycle, and the call returns E = $90 so that the game goes on
; on the cycle its own loop would have (through the way back, a fixed number of cycles,
; see IdlePoll). A game whose frame takes about a frame would otherwise lose one now and
; then to the few cycles the hooked loop's return takes, or gain one where the original
; found line 144 a few cycles too late.
; How: the start of line POLL_SYNC_LINE is caught by reads of LY 7 cycles apart; then each
; read comes 113 cycles after the last, one cycle earlier in its line each time, until one
; finds the line before it: that line starts on the very next cycle, and the lines to 144
; are counted from there. The game's loop reads LY every 8 cycles, so it goes on 0-7 cycles
; after line 144 starts, by where in its 8 its first read fell. D = 0: this call came a
; fixed number of cycles after that read, and E counts the reads of the catch, so that
; place is known to the cycle and the game goes on as its loop would. Else (the wait did
; some work) the middle of the 8.
; (Returns E = 0, the game's own loop, when the wait ended in lines 134-143.)
PollSync:
        ldh a,(rLY)
        sub #POLL_SYNC_LINE - 1
        cp #VBLANK_FIRST_LINE - (POLL_SYNC_LINE - 1)
        ret c
        ld b,#POLL_SYNC_LINE
        ld c,#<rLY
1$:     inc e                   ; 7 cycles a read
        ldh a,(c)
        cp b
        jr nz,1$
        nop                     ; (the first step as long as the others)
2$:     inc b                   ; 113 cycles a read (every count below is in cycles)
        ld l,#26
3$:     dec l
        jr nz,3$
        nop
        ldh a,(c)
        cp b
        jr z,2$
        ld a,#VBLANK_FIRST_LINE - 1
        sub b                   ; the whole lines before line 143's (never none: the catch
        jr c,11$                ; leaves at most seven reads to the line before; the way out
        jr z,11$                ; is for safety, as long as a RET not taken)
4$:     ld l,#27                ; 114 a line
5$:     dec l
        jr nz,5$
        nop
        dec a
        jr nz,4$
        ld a,d                  ; the game's loop: 0-7 cycles more
        and a
        ld a,e
        jr z,6$
        ld a,#POLL_PHASE_MIDDLE
        sub b
6$:     add a,b
        add a,#POLL_PHASE_READ
        and #7
        rra
        jr c,7$
7$:     rra
        jr nc,8$
        jr 8$
8$:     rra
        jr nc,9$
        nop
        nop
        jr 9$
9$:     ld l,#POLL_SYNC_WAIT
10$:    dec l
        jr nz,10$
        nop
        nop
        nop
        ld e,#0x90
        ret
11$:    ld e,#0                 ; (E counted the reads: the game's own loop, as above)
        ret

; Carry clear when a poll's frame's work would have nothing to do (as QuietFrame, for a
; game with no tile given a palette), in the same number of cycles whatever it finds.
PollNothingNew:
        ldh a,(rLCDC)
        ld hl,#LcdcCopied
        cp (hl)
        jr nz,1$
        ld hl,#vBgp
        ldh a,(rBGP)
        cp (hl)
        jr nz,1$
        ld l,#<vObp0
        ldh a,(rOBP0)
        cp (hl)
        jr nz,1$
        ld a,(vObp1Seen)        ; (OBP1 only once a sprite on it was seen, as the frame's
        and a                   ; work; the same cycles either way)
        jr z,2$
        ld l,#<vObp1
        ldh a,(rOBP1)
        cp (hl)
        jr nz,1$
        jr 3$
2$:     ld l,#2
4$:     dec l
        jr nz,4$
        nop
        nop
3$:     ld a,(vShadesBusy)
        and a
        ret z
1$:     scf
        ret

; E = 0 when the frame's work that follows a poll of LY would have nothing to do, checked at
; the end of the wait so that the game gets line 144 as its own loop would: the LCD on with
; the LCDC last seen, no shade waiting or changed (the frame's own check, SHADES_WAITING),
; and the refresh and the sweep done in the wait (or no tile with a palette). Else E = 1.
; A register the game changes in the lines left before the blank is followed a frame later
; (or by the DMA hook).
QuietFrame:
        ld e,#1
        ldh a,(rLCDC)
        ld hl,#LcdcCopied
        cp (hl)
        ret nz
        SHADES_WAITING 3$, 4$, 5$, 0 ; (what changed is marked now, as the frame's work would)
        ret nz
        ld hl,#vDictBanks
        ld a,(hl)
        and a
        jr z,2$
        ld l,#<vIdleDid
        ld a,(hl)
        and a
        ret z                   ; the refresh and the sweep still want the blank
        ld (hl),#0              ; (taken, as the frame's work would take it)
2$:     dec e
        ret
IdleRun:                        ; (carry set: a slice, one chunk and three tiles)
        ld a,(vDictBanks)
        inc a
        dec a
        ret z
        ldh a,(rLCDC)
        bit 7,a
        ret z
        jr c,IdleSlice
        ldh a,(rLY)             ; a wait that starts in the blank: the sprite slots the game
        cp #VBLANK_FIRST_LINE   ; no longer uses leave the count while OAM is free ...
        call nc,IdleShrink
2$:     ldh a,(rLY)             ; ... then, as the wait sleeps through the next picture,
        cp #VBLANK_FIRST_LINE   ; the blank's end first
        jr c,3$
        call IdlePending
        ret nz
        jr 2$
3$:     call IdleSlots
1$:     call IdleChunk
        ret nc
        call IdleTile
        ret nc
        jr 1$
IdleSlice:                      ; (three tiles: a wait for a key has few other turns, and a
        call IdleChunk          ; new screen waits for the sweep to reach its tiles more than
        ret nc                  ; for the refresh to reach its entries)
        call IdleTile
        ret nc
        call IdleTile
        jp c,IdleTile
        ret

; The top slots whose sprite is off screen leave the count, as many as the blank's lines
; before 153 allow (the game's DMA has filled OAM already). About 50 cycles a slot.
IdleShrink:
        ld hl,#vSpriteSlots
        ld c,(hl)               ; the count before
1$:     call IdlePending        ; (an interrupt the game enabled: at once)
        jr nz,2$
        ldh a,(rLY)
        sub #VBLANK_FIRST_LINE
        cp #IDLE_SHRINK_END - VBLANK_FIRST_LINE
        jr nc,2$
        ld a,(hl)
        and a
        jr z,2$
        dec a
        call SlotOnScreen
        jr c,2$
        dec (hl)
        jr 1$
2$:     jp SlotsCounted

; The slot count looked after in the wait's horizontal blanks, as the frame's work would in
; a piece (the top slots that are off screen leave it; when they stay, the slot right above
; it, then the probe's, join it if on screen; four slots for a sprite on OBP1), every wait,
; and the frame's work leaves it alone (vSlotsKept). A few lines of the wait; the refresh
; has the rest.
IdleSlots:
        ldh a,(rLY)             ; (a wait that starts this late leaves its last lines to the
        cp #IDLE_SLOTS_LAST     ; refresh: the count's steps take a line after its last read)
        ret nc
        ld a,(vSlotsReady)      ; (not before the game's first DMA call: the game may not
        and a                   ; have put its sprites in OAM yet, and the count would come
        ret z                   ; down to 0)
        ld hl,#IdleOamByte
        call 1$
        call IdleSlotsWork
        ld hl,#OamNow
1$:     ld a,l
        ld (OamRead + 1),a
        ld a,h
        ld (OamRead + 2),a
        ret
IdleSlotsWork:
        ld hl,#vSpriteSlots
        ld c,(hl)               ; the count before
1$:     ld a,(hl)
        and a
        jr z,2$
        add a,a
        add a,a
        sub #4
        ld e,a
        ld d,#>OAM
        call OamRead
        jr nc,2$                ; (the work stopped)
        dec a
        cp #159
        jr c,2$                 ; on screen
        dec (hl)
        jr 1$
2$:     call SlotsCounted
        call z,GrowSlots        ; (when the count did not come down)
        call Obp1Probe
        call IdlePending        ; all of it done, none of it stopped by the wait's end (an
        ret nz                  ; interrupt stays pending, the line stays late): the
        ldh a,(rLY)             ; frame's work need not look
        cp #IDLE_LAST_LINE
        ret nc
        ld a,#1
        ld (vSlotsKept),a
        ret

; Carry set at the start of a horizontal blank (VRAM free for 27 cycles or more after the
; return); clear when the work stops.
IdleSync:
        ldh a,(rLY)
IdleLast:
        cp #IDLE_LAST_LINE      ; (the operand: set by IdleTime)
        ret nc
IdleWait:
        call IdlePending
        ret nz                  ; (carry clear)
        ldh a,(rSTAT)           ; the line being drawn ...
        and #3
        cp #3
        jr nz,IdleWait
2$:     ldh a,(rSTAT)           ; ... and its end
        and #3
        cp #3
        jr z,2$
        scf
        ret

; NZ (and carry clear) when an interrupt the game has enabled is pending.
IdlePending:
        ldh a,(rIF)
IdleMask:
        and #0                  ; (the operand: the game's IE, set by IdleTime)
        ret

; A chunk of the refresh, an entry a horizontal blank; carry clear when the work stopped
; first (the chunk is done again next time).
IdleChunk:
        CHUNK_START
        call RecordPage
        ld b,#REFRESH_CHUNK
1$:     call IdleSync
        ret nc
        ld a,(de)
        ld l,a
        ENTRY_TAKES_RECORD
        inc e
        dec b
        jr nz,1$
        call RefreshNext
        xor a                   ; (the refresh is not starved, and the frame's work can
        ld (vStarved),a         ; leave it to the waits)
        inc a
        ld (vIdleDid),a
        scf
        ret

; A tile of the sweep: its bytes copied four a horizontal blank, looked up from the copy (not
; started after line IDLE_TILE_LAST: a look-up can take a few lines), its record written in
; another; carry clear when the work stopped first. The record is written here, not through
; SetRecord, whose first VRAM access would come too late in the horizontal blank: the
; table is chosen before the blank, and the accesses follow it at once.
IdleTile:
        ld hl,#vSweepTile
        ld a,(hl+)
        ld h,(hl)
        ld l,a
        ld de,#IDLE_TILE
        ld b,#4
1$:     call IdleSync
        ret nc
        .rept 4
        ld a,(hl+)
        ld (de),a
        inc e
        .endm
        dec b
        jr nz,1$
        ldh a,(rLY)
        cp #IDLE_TILE_LAST
        ret nc
        dec hl                  ; the tile's last byte: its number is the tile's
        push hl
        ld hl,#IDLE_TILE
        call IdentifyTile
        ld b,a                  ; B: the palette
        pop hl
        TILE_NUMBER
        ld a,h
        ld h,#>REC_S
        bit 4,a
        jr nz,2$                ; 0x9000-0x97FF: REC_S only (numbers below 128)
        ld h,#>REC_U
2$:     ld d,a                  ; D: the tile's page
        call IdleSync
        ret nc
        ld a,#1
        ldh (rVBK),a
        ld a,(hl)
        ld (hl),b
        bit 7,l
        jr z,3$
        inc h                   ; 0x8800-0x8FFF: REC_S names it the same
        ld (hl),b
3$:     ld c,a
        xor a
        ldh (rVBK),a
        bit 4,d
        call z,CountSpriteRecord
        ld hl,#vSweepTile
        ld a,(hl+)
        ld h,(hl)
        ld l,a
        call SweepNext
        scf
        ret

RuntimeImageEnd:
RuntimeImageSize = RuntimeImageEnd - RuntimeEntry
        .iif gt, RuntimeImageSize - (BLANK_PALETTE - RUNTIME), .error 1

        .org BLANK_PALETTE
        .db 0xFF                ; not known yet

