; Graphics and the scene map of the test game. A tile is eight ROW lines of eight pixel
; values (0 lightest .. 3 darkest in the monochrome palette); ROW packs a line into the two
; bit planes of the 2-bit-per-pixel format.
        .macro ROW pixels
        low = 0
        high = 0
        .irpc pixel, pixels
        low = low * 2 + (pixel & 1)
        high = high * 2 + (pixel / 2)
        .endm
        .db low, high
        .endm

; =============================================================================================
; Block A: copied to 0x8000; map numbers and sprite tiles 0-10.
        .area _TILES_A
TilesA::
T_BLANK == 0
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 00000000
T_BEE_A == 1                    ; wings up
        ROW 00011000
        ROW 00111100
        ROW 01111110
        ROW 02323200
        ROW 23232323
        ROW 02323200
        ROW 00303000
        ROW 00000000
T_BEE_B == 2                    ; wings down
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 02323200
        ROW 23232323
        ROW 02323200
        ROW 01111110
        ROW 00111100
T_STAR_A == 3
        ROW 00010000
        ROW 00010000
        ROW 00121000
        ROW 11232110
        ROW 00121000
        ROW 00101000
        ROW 01000100
        ROW 00000000
T_STAR_B == 4
        ROW 00000000
        ROW 00010000
        ROW 00010000
        ROW 01121100
        ROW 00010000
        ROW 00010000
        ROW 00000000
        ROW 00000000
T_LETTER_D == 5
        ROW 33333000
        ROW 33003300
        ROW 33000330
        ROW 33000330
        ROW 33000330
        ROW 33003300
        ROW 33333000
        ROW 00000000
T_LETTER_A == 6
        ROW 00333000
        ROW 03303300
        ROW 33000330
        ROW 33000330
        ROW 33333330
        ROW 33000330
        ROW 33000330
        ROW 00000000
T_LETTER_P == 7
        ROW 33333300
        ROW 33000330
        ROW 33000330
        ROW 33333300
        ROW 33000000
        ROW 33000000
        ROW 33000000
        ROW 00000000
T_LETTER_L == 8
        ROW 33000000
        ROW 33000000
        ROW 33000000
        ROW 33000000
        ROW 33000000
        ROW 33000000
        ROW 33333330
        ROW 00000000
T_LETTER_I == 9
        ROW 33333300
        ROW 00330000
        ROW 00330000
        ROW 00330000
        ROW 00330000
        ROW 00330000
        ROW 33333300
        ROW 00000000
T_LETTER_X == 10
        ROW 33000330
        ROW 03303300
        ROW 00333000
        ROW 00333000
        ROW 03303300
        ROW 33000330
        ROW 33000330
        ROW 00000000
TilesAEnd::

; =============================================================================================
; Block B: copied to 0x8800; map numbers 128 and up. Trees stand on the hills: around
; the crown their pixels have the hill's value 1. Its area starts GFX_OFFSET bytes into
; the bank, so its tiles do not sit on 16-byte boundaries of the bank.
        .area _TILES_B
TilesB::
T_SKY == 128
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 00000000
        ROW 00000000
T_CLOUD_L == 129
        ROW 00000000
        ROW 00000222
        ROW 00022111
        ROW 00211111
        ROW 02111111
        ROW 02111111
        ROW 00222222
        ROW 00000000
T_CLOUD_R == 130
        ROW 00000000
        ROW 22000000
        ROW 11220000
        ROW 11112000
        ROW 11111200
        ROW 11111200
        ROW 22222000
        ROW 00000000
T_SUN_TL == 131
        ROW 00000222
        ROW 00022111
        ROW 00211111
        ROW 02111111
        ROW 02111111
        ROW 21111111
        ROW 21111111
        ROW 21111111
T_SUN_TR == 132
        ROW 22200000
        ROW 11122000
        ROW 11111200
        ROW 11111120
        ROW 11111120
        ROW 11111112
        ROW 11111112
        ROW 11111112
T_SUN_BL == 133
        ROW 21111111
        ROW 21111111
        ROW 21111111
        ROW 02111111
        ROW 02111111
        ROW 00211111
        ROW 00022111
        ROW 00000222
T_SUN_BR == 134
        ROW 11111112
        ROW 11111112
        ROW 11111112
        ROW 11111120
        ROW 11111120
        ROW 11111200
        ROW 11122000
        ROW 22200000
T_HILL_L == 135
        ROW 00000002
        ROW 00000021
        ROW 00000211
        ROW 00002111
        ROW 00021111
        ROW 00211111
        ROW 02111111
        ROW 21111111
T_HILL_R == 136
        ROW 20000000
        ROW 12000000
        ROW 11200000
        ROW 11120000
        ROW 11112000
        ROW 11111200
        ROW 11111120
        ROW 11111112
T_HILL == 137
        ROW 11111111
        ROW 11111111
        ROW 11121111
        ROW 11111111
        ROW 11111111
        ROW 11111211
        ROW 11111111
        ROW 11111111
T_GRASS == 138
        ROW 22222222
        ROW 21222122
        ROW 22222222
        ROW 22122221
        ROW 22222222
        ROW 12222122
        ROW 22222222
        ROW 22212222
T_TREE_TL == 139
        ROW 11111133
        ROW 11113322
        ROW 11132222
        ROW 11322223
        ROW 13222232
        ROW 13222222
        ROW 32223222
        ROW 32222222
T_TREE_TR == 140
        ROW 33111111
        ROW 22331111
        ROW 22223111
        ROW 22222311
        ROW 22222231
        ROW 22322231
        ROW 22222223
        ROW 22222223
T_TREE_BL == 141
        ROW 32222222
        ROW 13223222
        ROW 11322222
        ROW 11133222
        ROW 11111333
        ROW 11111113
        ROW 11111113
        ROW 11111113
T_TREE_BR == 142
        ROW 32222223
        ROW 22222231
        ROW 22223311
        ROW 22233111
        ROW 33311111
        ROW 31111111
        ROW 31111111
        ROW 31111111
T_ROOF_L == 143
        ROW 00000003
        ROW 00000033
        ROW 00000333
        ROW 00003322
        ROW 00033222
        ROW 00332222
        ROW 03322222
        ROW 33333333
T_ROOF_R == 144
        ROW 30000000
        ROW 33000000
        ROW 33300000
        ROW 22330000
        ROW 22233000
        ROW 22223300
        ROW 22222330
        ROW 33333333
T_WALL_WINDOW == 145
        ROW 01111111
        ROW 01111111
        ROW 01333331
        ROW 01300031
        ROW 01300031
        ROW 01333331
        ROW 01111111
        ROW 01111111
T_WALL_DOOR == 146
        ROW 11111110
        ROW 11111110
        ROW 11333110
        ROW 11322310
        ROW 11322310
        ROW 11323310
        ROW 11322310
        ROW 11322310
T_FLOWER == 147
        ROW 22222222
        ROW 22202222
        ROW 22030222
        ROW 22202222
        ROW 22232222
        ROW 22232222
        ROW 22222222
        ROW 22222222
T_WATER == 148
        ROW 11111111
        ROW 10011111
        ROW 11111001
        ROW 11111111
        ROW 11001111
        ROW 11111111
        ROW 11111100
        ROW 11111111
T_GROUND == 149
        ROW 33333333
        ROW 33233333
        ROW 33333323
        ROW 33333333
        ROW 32333333
        ROW 33333233
        ROW 33333333
        ROW 33323333
TilesBEnd::

; The scene, 20 x 18 map numbers, copied row by row to the top left of the first map.
sky = T_SKY
cl1 = T_CLOUD_L
cl2 = T_CLOUD_R
hup = T_HILL_L
hdn = T_HILL_R
hil = T_HILL
grs = T_GRASS
tt1 = T_TREE_TL
tt2 = T_TREE_TR
tb1 = T_TREE_BL
tb2 = T_TREE_BR
rf1 = T_ROOF_L
rf2 = T_ROOF_R
wwi = T_WALL_WINDOW
wdo = T_WALL_DOOR
flo = T_FLOWER
wat = T_WATER
gnd = T_GROUND
SceneMap::
        .db sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky
        .db sky,sky,sky,sky,sky,sky,  5,  6,  7,  7,  8,  9, 10,sky,sky,sky,sky,sky,sky,sky
        .db sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,cl1,cl2,sky,sky,sky,sky,sky
        .db sky,sky,cl1,cl2,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky
        .db sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky
        .db sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky
        .db sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky
        .db sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,sky,hup,hdn,sky,sky,sky,sky
        .db sky,sky,sky,hup,hdn,sky,sky,sky,sky,sky,sky,sky,sky,hup,hil,hil,hdn,sky,sky,sky
        .db sky,sky,hup,hil,hil,hdn,sky,sky,sky,sky,sky,sky,hup,hil,hil,hil,hil,hdn,sky,sky
        .db sky,hup,hil,hil,hil,hil,hdn,sky,sky,sky,sky,hup,hil,hil,hil,hil,hil,hil,hdn,sky
        .db hup,hil,tt1,tt2,hil,hil,hil,hdn,sky,rf1,rf2,hil,hil,hil,hil,tt1,tt2,hil,hil,hdn
        .db hil,hil,tb1,tb2,hil,hil,hil,hil,hil,wwi,wdo,hil,hil,hil,hil,tb1,tb2,hil,hil,hil
        .db grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs
        .db grs,grs,flo,grs,grs,grs,grs,flo,grs,grs,grs,grs,grs,flo,grs,grs,grs,flo,grs,grs
        .db grs,grs,grs,grs,wat,wat,wat,wat,wat,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs,grs
        .db gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd
        .db gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd,gnd
