; A monochrome program that paces itself as some games do: no interrupt enabled, a poll of LY
; for line 144 once a frame, and work between the polls that takes a cycle more each frame
; (0-7 more, over and over), so that the poll's first read of line 144 falls on each of its
; loop's 8 cycles in turn. How early the program goes on after the poll shows in a read of
; LY a fixed time later: still line 144 (wEarly) or line 145 already (wLate). Coloured, with
; its poll hooked, it must count the same.
        .module pollpace
        .include "hardware.inc"

wFrame      == 0xC000       ; polls passed
wEarly      == 0xC001
wLate       == 0xC002
PACE_DELAY  == 26           ; 4n + 1 cycles between the poll and the read that tells

        .area _HEADER (ABS)
        .org 0x0100
        nop
        jp Start

        .area _CODE
Start::
        di
        ld sp,#0xFFFE
        xor a
        ldh (rIE),a
        ld (wFrame),a
        ld (wEarly),a
        ld (wLate),a
Loop::
1$:     ldh a,(rLY)             ; the poll
        cp #VBLANK_FIRST_LINE
        jr nz,1$
        ld b,#PACE_DELAY
2$:     dec b
        jr nz,2$
        ldh a,(rLY)
        cp #VBLANK_FIRST_LINE
        ld hl,#wEarly
        jr z,3$
        inc hl                  ; (wLate)
3$:     inc (hl)
        ld hl,#wFrame
        inc (hl)
        ld a,(hl)
        and #7                  ; this many cycles more: bit 0 one, bit 1 two, bit 2 four
        rra
        jr c,4$
4$:     rra
        jr nc,5$
        jr 5$
5$:     rra
        jr nc,6$
        nop
        nop
        jr 6$
6$:     jp Loop
