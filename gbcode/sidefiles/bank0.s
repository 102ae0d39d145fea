; bnk0cod.dat: the fragments that go into bank 0 of the colour ROM.
; The program places them side by side, DmaHook, EntryHook, CopyHook, CopyTail and, where
; there is room, StoreHooks from low to high addresses, in room at the end of bank 0 that the
; game never uses, or else in 0xFF bytes below the header that it cannot run (the scan keeps
; them together, see engine/Scan.cpp). So the 102 bytes (366 with StoreHooks, 508 with
; their last pieces) are one block of code with several ways in (DmaHook at 0, EntryHook at
; 14, CopyHook at 32, ...) that may run from one fragment into the next. It is assembled here
; as that block, at offsets 0-507; the build cuts the fragments out into their places in
; bnk0cod.dat (each after one skipped byte: EntryHook at 1, DmaHook at 20, CopyHook at 35,
; CopyTail at 68, StoreHooks at 107). Only the places the program writes
; (engine/SideFileLayout.h) are fixed. Everything that does not have to be in bank 0 runs
; from WRAM bank 2 (runtime.s).
        .module bank0
        .include "hardware.inc"
        .include "layout.inc"
        .globl ColourInit, RuntimeEntry, FrameWork, LcdOffJump, FollowShades, FollowTwins
        .globl SpritesPass

        .area _BANK0_FRAGMENTS (ABS)


; ---------------------------------------------------------------------------------------------
; EntryHook (block 14-31): the cartridge entry jump leads here. Runs the colour set-up in
; bank 33; the set-up returns with ROM bank 1, WRAM bank 1 and the registers a monochrome
; Game Boy's boot ROM leaves, and the game starts at its own entry.
        .org 14
EntryHook::
        ld a,#COLOUR_BANK_LOW
        ld (MBC_ROM_BANK),a     ; bank 33 (MBC1 takes bits 0-4 here ...)
        ld (MBC_HIGH_BITS),a    ; (... and bit 5 from bit 0 here; MBC3: a RAM bank, unused yet)
        call ColourInit
        nop
        nop
        nop
        nop
EntryHookJump::
        jp 0x0000               ; operand = the game's entry, written by the program
        .iif ne, EntryHookJump - EntryHook - 15, .error 1
        .iif ne, . - EntryHook - 18, .error 1

; ---------------------------------------------------------------------------------------------
; DmaHook (block 0-13): every CALL of the game's OAM DMA routine in high RAM leads here. The
; game's routine runs first, exactly when the game asked for it and with the game's A; the
; colour work follows through Shared with the carry set (the frame's work) and Z clear (OAM
; has just been filled: the sprites can be coloured), unless the call came on line
; FRAME_LAST_LINE or later, too late for any of it: then the game gets its time back at once.
; (LY reads 0 for most of line 153, and with the LCD off, where the frame's work has a budget.)
        .org 0
DmaHook::
DmaHookCall::
        call 0xFF80             ; operand low byte = the game's routine, written by the program
        push af                 ; A and F as the game's routine left them
        ldh a,(rLY)
        cp #FRAME_LAST_LINE     ; carry: in time (a copied byte arrives with carry clear), and
        jr c,Shared             ; NZ: after a DMA
        pop af
        ret
        .iif ne, DmaHookCall - DmaHook, .error 1
        .iif gt, . - DmaHook - 14, .error 1

; ---------------------------------------------------------------------------------------------
; CopyHook (block 32-63): replaces LD A,(HL+) / LD (DE),A / INC DE. The byte is stored
; first, at the time the game meant, and the caller gets back exactly what the three
; instructions leave: A the byte, HL and DE advanced, BC and every flag unchanged. Only the
; last byte of a tile and a map entry, stored while the LCD is off, go on to the runtime
; (the tile is recognised, the map entry gets its attribute); with the LCD on there is no
; time to spare and the frame's work catches up. The checks run from the cheapest way out:
; a byte for RAM, then the other fifteen bytes of a tile, then the LCD.
        .org 32
CopyHook::
        ld a,(hl+)
        ld (de),a
CopyHookStored::                ; (a byte just stored at DE, A = the byte)
        push af                 ; the byte and the caller's flags
        ld a,d
        cp #0xA0
        jr nc,CopyHookDone      ; WRAM, cartridge RAM, high RAM: the usual case
CopyHookBelowRam::              ; (A = D, below 0xA0: CopyHookPair's way in)
        cp #0x98
CopyHookMapBranch::
        jr nc,CopyHookVram      ; a map entry (offset = MapEntryFast's where the program places it)
        ld a,e
        or #0xF0
        inc a                   ; zero for the last byte of a tile
        jr nz,CopyHookDone
        ld a,d
        cp #0x80
        jr c,CopyHookDone       ; (below VRAM: not a tile)
CopyHookVram::
        ldh a,(rLCDC)           ; (CopyTail looks at the LCD)
CopyHookJump::
        jp 0x0000               ; operand = address of CopyTail, written by the program
CopyHookDone:
        inc de
        pop af
        ret
        .iif ne, CopyHookJump - CopyHook - 25, .error 1
        .iif ne, CopyHookMapBranch - CopyHook - 10, .error 1
        .iif gt, . - CopyHook - 32, .error 1

; ---------------------------------------------------------------------------------------------
; CopyTail (block 64-101): with the LCD on (A = LCDC), back to the copy loop; else "Shared": the way
; into the runtime in WRAM bank 2 for every hook.
; The caller has pushed its AF; its carry and Z, which reach the runtime untouched, tell why
; it was called. (The stack cannot carry it: with the game's stack at 0xD000-0xDFFF, what is
; pushed here lands in WRAM bank 1 and the runtime sees bank 2 there.) IE is cleared
; before WRAM bank 2 comes into view and restored only after bank 1 is back, so no interrupt
; handler of the game ever runs with the runtime's bank at 0xD000 (an interrupt that arrives
; meanwhile is taken right after).
        .org 64
CopyTail::
        rla
        jr c,CopyHookDone       ; the LCD is on (a stored byte goes on with carry clear)
Shared:
        ldh a,(rIE)
        push af                 ; IE (popped again once bank 1 is back)
        ld a,#0                 ; (loads leave the caller's flags to the runtime)
        ldh (rIE),a
        ld a,#2
        ldh (rSVBK),a
SharedCall::
        call RuntimeEntry       ; returns A = 0 (and DE advanced for a copied byte)
        ldh (rSVBK),a           ; 0 selects WRAM bank 1, the game's
        pop af
        ldh (rIE),a
        pop af
        ret

; PollHook: replaces the CP $90 / JR NZ,-6 of a vertical-blank wait, LDH A,(LY) / CP $90 /
; JR NZ,-6, in a game that polls for the blank instead of (or besides) calling its DMA
; routine there: the game's own first read of LY stays where it was (A = LY), so a poll that
; comes at the very end of line 144 still finds it, as the original does. It waits as the
; game did, then the frame's work runs (carry set, Z set: no sprites, OAM may be stale), and
; the game gets back A = $90 and the flags of the CP, as its loop would have left them.
PollHook::
        cp #0x90
        jr z,PollFound
PollLoop:
        ldh a,(rLY)
        cp #0x90
        jr nz,PollLoop
PollFound:
        push af
        scf
        jr Shared
CopyTailEnd:
        .iif ne, CopyTailEnd - CopyTail - 38, .error 1
        .iif ne, PollHook - CopyTail - 24, .error 1

; ---------------------------------------------------------------------------------------------
; StoreHooks (block 102-365): the other ways games store bytes in VRAM with the LCD off, the
; copy hook's map entries (MapEntryFast) and the waits' hooks (IdlePoll, IdleHalt,
; IdleHook, PadHook), and the runtime's window on the game's stack (GameWord, GameByteSet). Each
; store hook stores its byte first, as the game's instructions would, then
; hands the address to the copy hook's checks (CopyHookStored) as DE, keeping the game's
; DE. The caller gets back what its instructions leave: A the byte, the same flags, the
; pointers advanced.
; The scan places this fragment above CopyTail when bank 0 has room for it.
        .org 102
StoreHooks::
; VramByteOther: what VramByteHook (at the end of the fragment) leaves to the copy hook's
; checks, once it stored the byte: a tile byte, or a map entry stored while LCDC is 0.
VramByteOther:
        push de
        ld d,b
        ld e,c
        jr StoredAtDe
; CopyHookBc: replaces LD A,(HL+) / LD (BC),A / INC BC in a tight loop.
CopyHookBc::
        ld a,(hl+)
        ld (bc),a
        inc bc
        push de
        ld d,b
        ld e,c
        jr StoredBeforeDe
; CopyHookHl: replaces LD A,(DE) / LD (HL+),A / INC DE in a tight loop.
CopyHookHl::
        ld a,(de)
        ld (hl+),a
        inc de
        push de
        ld d,h
        ld e,l
StoredBeforeDe:
        dec de
StoredAtDe:
StoreHooksCall::
        call CopyHookStored     ; operand = CopyHook's checks, written by the program
        pop de
        ret

; MapEntryFast: where CopyHook's branch for a map entry goes when this fragment is placed
; (its jump, for a tile's last byte, still goes to CopyTail). A map entry stored while the
; LCD is off takes the record of the tile it names right here, from VRAM bank 1, without the
; way into the runtime; while LCDC is 0 the tile addressing is the one last shown
; (LCDC_SEEN, kept by the runtime). No interrupt of the game may run while VRAM bank 1 is in
; view: with the LCD off the vertical-blank and LCD interrupts cannot come, so IE is cleared
; meanwhile (MapEntryMasked) only in a game that enables the timer, serial or joypad
; interrupt.
        .macro ATTRIBUTE_FROM_RECORD    ; L = the tile's number, VRAM bank 1 in view
        ldh a,(rLCDC)
        and a
        jr nz,1$
        ld a,(LCDC_SEEN)
1$:     and #LCDC_TILES8000
        swap a
        xor #>REC_S             ; REC_U under 0x8000 addressing, else REC_S
        ld h,a
        ld a,(hl)
        ld (de),a
        .endm
MapEntryFast::
        ldh a,(rLCDC)
        add a,a                 ; carry: the LCD is on
        jr c,CopyHookDone
        push hl
        ld a,(de)
        ld l,a                  ; the tile's number
        ldh a,(rIE)
        ld h,a
        and #IEF_TIMER | IEF_SERIAL | IEF_JOYPAD
        jr nz,MapEntryMasked
        inc a
        ldh (rVBK),a
        ATTRIBUTE_FROM_RECORD
        xor a
        ldh (rVBK),a
        pop hl
        inc de
        pop af
        ret
MapEntrySlow:
        and a                   ; carry clear: a stored byte (or the idle work below)
        jr Shared

; IdlePoll: in place of PollHook when this fragment is placed. The lines the game would
; spend reading LY until the next line 144 are the runtime's, as in the waits below; then
; PollHook waits for line 144 as the game did and the frame's work follows, or, when the
; runtime found at the end of the wait that the frame's work has nothing to do (E = 0),
; PollQuiet waits alone and the game has line 144 as its own loop would give it. When the
; runtime timed line 144 to the cycle itself (E = $90, a game with no interrupt enabled),
; it comes back just so that the game goes on on the cycle its own loop would have (see
; PollSync), with A = $90 and the flags of its CP: the loop's RET and NOP would otherwise
; make every such frame a few cycles longer than the original's. A poll whose own read of LY found
; line 144 has the frame's work at once.
IdlePoll::
        cp #0x90                ; (A = LY as the game read it)
        jr z,PollFound
        push de
        ld de,#0x4001           ; D: a poll (as a halt: no byte to watch); E: the frame's
IdlePollCall::                  ; work, unless the runtime says otherwise
        call 0x0000             ; operand = IdleWork, written by the program
        ld a,e
        pop de
        cp #0x90
        ret z                   ; timed by the runtime
        and a
        jr nz,PollLoop
PollQuiet:
        ldh a,(rLY)
        cp #0x90
        jr nz,PollQuiet
        ret

; IdleHalt and IdleHook: the time a game waits is the runtime's. IdleHalt replaces HALT /
; NOP / LD A,(nnnn) (a game waiting for its vertical-blank interrupt), IdleHook replaces the
; LD A,(nnnn) of a loop that waits for the byte to change. Both hand the wait to the runtime
; first, which works in the horizontal blanks until an interrupt the game has enabled is
; pending or the frame's last lines come; then the game's own instructions.
IdleHalt::
        push de
        ld d,#0                 ; (a halt)
IdleHaltCall::
        call 0x0000             ; operand = IdleWork, written by the program
        pop de
        halt
        nop
        jr IdleLoad
IdleHook::
        push de
        ld d,#0x20              ; (a loop on the byte)
IdleHookCall::
        call 0x0000             ; operand = IdleWork, written by the program
        pop de
IdleLoad::
        ld a,(0x0000)           ; operand = the byte the game waits on, written by the program
        ret
; To the runtime with D = IE (bits 0-4) and the kind of wait (bit 5: a loop on a byte, bit
; 6: a poll of LY, both: a wait for a key, a slice at a time, neither: a halt): below VRAM, so it is not taken for a stored byte; E =
; the byte now. Not in the lines just before the vertical blank: its interrupt must find the
; game as it would have (the way in and out alone takes most of a line); nor on line 144,
; where a poll of LY is over and must find LY at 144 still (such a poll gets E back as it
; gave it); a loop not in the blank at all, where its byte changes and the game, seeing it,
; has the blank's work to do.
IdleWork::
        ldh a,(rLY)
        sub #IDLE_LAST_LINE
        cp #VBLANK_FIRST_LINE + 1 - IDLE_LAST_LINE
        ret c
        bit 5,d
        jr z,1$
        cp #LINES_PER_FRAME - IDLE_LAST_LINE
        ret c
1$:
IdleWorkCall::
        call 0x0000             ; operand = IdleLoad, written by the program
        ld e,a
        push af
        ldh a,(rIE)
        and #0x1F
        or d
        ld d,a
        jr MapEntrySlow

; MapEntryMasked: MapEntryFast in a game whose enabled interrupts could come meanwhile (H = IE).
MapEntryMasked:
        ld a,h
        push af
        xor a
        ldh (rIE),a
        inc a
        ldh (rVBK),a
        ATTRIBUTE_FROM_RECORD
        xor a
        ldh (rVBK),a
        pop af
        ldh (rIE),a
        pop hl
        inc de
        pop af
        ret

; GameWord and GameByteSet: for the runtime, which runs with WRAM bank 2 in view and so
; cannot see what the game pushed at 0xD000-0xDFFF before the hooks switched banks (the
; return address of a copy hook's call, the registers it saved): a word read, a byte
; written, with the game's bank 1 in view meanwhile (IE is 0; the stack is not touched
; between the switches). The set-up tells the runtime where they are (GAME_WORD_FROM_ENTRY).
GameWord::                      ; BC = the word at HL
        xor a
        ldh (rSVBK),a
        ld a,(hl+)
        ld c,a
        ld b,(hl)
        ld a,#2
        ldh (rSVBK),a
        ret
GameByteSet::                   ; the byte at HL = C
        xor a
        ldh (rSVBK),a
        ld (hl),c
        ld a,#2
        ldh (rSVBK),a
        ret

; PadHook: replaces the CALL of the keys' read in a loop that waits for a key (CALL nnnn /
; AND B / JR Z back to the call, GBDK's waitpad). A title screen waiting there gets no other
; time for its colours: between two reads the runtime takes a slice (one chunk of the
; refresh and three tiles of the sweep, a few lines of the picture) and then the game reads the
; keys with its registers as it left them, so a press is seen a slice late at most.
PadHook::
        push af
        push de
        ld d,#0x60              ; (a wait for a key: a slice at a time)
PadHookCall::
        call 0x0000             ; operand = IdleWork, written by the program
        pop de
        pop af
PadRead::
        jp 0x0000               ; operand = the game's read of the keys, written by the program

; VramByteHook: jumped to in place of LD A,(HL) / LD (BC),A / RET at the end of a routine
; that waits for the STAT mode first (GBDK's set_vram_byte, which such games call for each
; map entry of a screen): one map entry or tile byte. A map entry stored while the LCD is off
; takes its record here, as in MapEntryFast but without the detour through the copy hook's
; checks (about 50 cycles of the 120 an entry took): BC stays the entry's address, and IE is
; cleared while VRAM bank 1 is in view whatever the game enables, which costs a game without
; a timer 10 cycles and saves the bytes of a second way. The rest goes to VramByteOther.
VramByteHook::
        ld a,(hl)
        ld (bc),a
        push af                 ; the byte and the caller's flags
        ld a,b
        and #0xF8
        cp #0x98
        jr nz,VramByteAny       ; a tile byte
        ldh a,(rLCDC)
        add a,a                 ; carry: the LCD is on (the frame's work catches up)
        jr c,VramByteDone
        jr z,VramByteAny        ; LCDC 0: the addressing last shown, which MapEntryFast knows
        push hl
        and #LCDC_TILES8000 << 1
        swap a
        rrca
        xor #>REC_S             ; REC_U under 0x8000 addressing, else REC_S
        ld h,a
        ld a,(bc)
        ld l,a                  ; the tile's number
        ldh a,(rIE)
        push af
        xor a
        ldh (rIE),a
        inc a
        ldh (rVBK),a
        ld a,(hl)
        ld (bc),a
        xor a
        ldh (rVBK),a
        pop af
        ldh (rIE),a
        pop hl
VramByteDone:
        pop af
        ret
VramByteAny:
        pop af
VramByteOtherJump::
        jp 0x0000               ; operand = VramByteOther's address, written by the program

; LcdOffWait: replaces LDH A,(LY) / CP $91 / JR C,-6 (three NOPs after the call) where a
; routine waits for the blank to switch the LCD off (GBDK's display_off). Nothing of the
; frame's work in that blank would ever be shown, and the game's own vertical-blank handler
; runs on after its DMA call: a frame's work there brings the game back to its poll after
; line 153 (with a timer interrupt taken right after, four frames in a row), and it keeps
; its old screen a frame more each time. So the next frame's work is left out and its
; sprites coloured here once the LCD is off: FrameWork's first instruction becomes a jump
; to LcdOffSkip, which puts it back. Only where that frame's work will come (the wait
; starts before the blank, with the vertical-blank interrupt enabled); then the game's own
; loop. With CopyHookPair below, the store hooks' last pieces: the program places them
; without these where the room ends before them.
LcdOffWait::
        ldh a,(rLY)
        cp #VBLANK_FIRST_LINE
        jr nc,1$
        ldh a,(rIE)
        bit 0,a                 ; (IEF_VBLANK)
        jr z,1$
        push af
        xor a
        ldh (rIE),a
        ld a,#2
        ldh (rSVBK),a
        ld a,#OPCODE_JR
        ld (FrameWork),a
        ld a,#LcdOffJump
        ld (FrameWork + 1),a
        xor a
        ldh (rSVBK),a
        pop af
        ldh (rIE),a
1$:     ldh a,(rLY)
        cp #VBLANK_FIRST_LINE + 1
        jr c,1$
; The LCD goes off here rather than a few cycles later in the game's own code (which finds it
; off): palette RAM is then free, and a fade's step that is still waiting (a blank full of
; sprites, or the one just left to the game) is written now, out of any blank, rather than
; after the next screen's first frame has shown the shades before it. In the game's own time
; (a load follows, with nothing on screen); the twins once a sprite on OBP1 has been seen.
        ldh a,(rLCDC)
        and #0xFF - LCDC_ON
        ldh (rLCDC),a
        push hl
        push de
        push bc
        ldh a,(rIE)
        push af
        xor a
        ldh (rIE),a
        ld a,#2
        ldh (rSVBK),a
        ld a,(vSpritesOnly)     ; the sprites of the blank just left, which LcdOffSkip
        cp #2                   ; marked after the DMA call: the game may switch the LCD on
        jr nz,3$                ; again before its next one. The pass alone (the slot count
        xor a                   ; is looked after in the frames), and not in the first frames'
        ld (vSpritesOnly),a     ; work of all, while the count is still the 40 assumed: the
        ld a,(vFrameCount)      ; game's first load would wait for a pass over them
        cp #4
        call nc,SpritesPass
3$:     ld a,(vFollowAfter)     ; (not before the shades are followed at all)
        and a
        jr nz,2$
        dec a
        ld (vOffBudget),a       ; every palette: no line to wait for
        call FollowShades
        ld a,(vObp1Seen)
        and a
        call nz,FollowTwins
        xor a
        ld (vOffBudget),a       ; (spent: what comes next with the LCD off sets its own)
2$:     xor a
        ldh (rSVBK),a
        pop af
        ldh (rIE),a
        pop bc
        pop de
        pop hl
        ret

; CopyHookPair: the first of the two copies in the loop at the heart of GBDK's memcpy (and
; memset), LD A,(HL+) / LD (DE),A / INC DE twice, DEC C / JR NZ, DEC B / JR NZ back, RET,
; whose second copy calls the copy hook. A copy to RAM gives the runtime nothing to do, yet
; through two calls a pair costs about 60 cycles where the loop takes 16 (a game's start-up
; copies kilobytes this way): from RAM on, the rest of the loop runs here, instruction for
; instruction as the game's, and its RET is taken here too (what the loop leaves, the
; carry of the count's odd bit included, is left alike). Into VRAM, the byte stored goes on
; to the copy hook's checks past their own look at RAM (2 cycles more than the copy hook).
CopyHookPair::
        ld a,(hl+)
        ld (de),a
        push af                 ; the byte and the caller's flags
        ld a,d
        cp #0xA0
CopyHookPairBack::
        jp c,0x0000             ; operand = CopyHookBelowRam's address, written by the program
        pop af
        inc de
        jr 2$
1$:     ld a,(hl+)
        ld (de),a
        inc de
2$:     ld a,(hl+)
        ld (de),a
        inc de
        dec c
        jr nz,1$
        dec b
        jr nz,1$
        inc sp                  ; (the loop's return address: its RET is this one)
        inc sp
        ret
        .iif ne, (LCDC_TILES8000 << 1) - 0x20, .error 1
        .iif ne, (REC_S ^ 0x100) - REC_U, .error 1
StoreHooksEnd:
        .iif ne, StoreHooksEnd - StoreHooks - 406, .error 1
        .iif ne, LcdOffWait - StoreHooks - 264, .error 1
        .iif ne, CopyHookPair - StoreHooks - 378, .error 1
        .iif ne, GameWord - (StoreHooks - 102 + 14) - GAME_WORD_FROM_ENTRY, .error 1  ; (EntryHook at 14)
        .iif ne, GameByteSet - GameWord - GAME_BYTE_SET_FROM_WORD, .error 1
        .iif ne, GameWord - StoreHooksCall - 3 - GAME_WORD_FROM_STORED_RETURN, .error 1
        .iif ne, GameWord - CopyHookBc - GAME_WORD_FROM_COPY_BC, .error 1
        .iif ne, StoreHooksCall - StoreHooks - 20, .error 1
        .iif ne, IdlePoll - StoreHooks - 70, .error 1
        .iif ne, IdlePollCall - StoreHooks - 78, .error 1
        .iif ne, IdleHalt - StoreHooks - 96, .error 1
        .iif ne, IdleHook - StoreHooks - 107, .error 1
        .iif ne, IdleHaltCall - StoreHooks - 99, .error 1
        .iif ne, IdleHookCall - StoreHooks - 110, .error 1
        .iif ne, IdleLoad - StoreHooks - 114, .error 1
        .iif ne, IdleWork - StoreHooks - 118, .error 1
        .iif ne, IdleWorkCall - StoreHooks - 132, .error 1
        .iif ne, PadHook - StoreHooks - 200, .error 1
        .iif ne, PadHookCall - StoreHooks - 204, .error 1
        .iif ne, PadRead - StoreHooks - 209, .error 1
