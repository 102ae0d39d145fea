// Shows changes to the project in a colour ROM that is already running, without starting it
// again: new colours within the frame, new palette assignments as soon as the next frame.
// The colour runtime keeps its state in the Game Boy's memory (engine/RuntimeLayout.h);
// these functions change that state the way the runtime itself would have set it up had
// the ROM been written with the project as it is now.
#pragma once

#include <array>
#include <cstdint>

#include "engine/Binary.h"
#include "Emulator.h"

namespace dapplix {

// The 15-bit word the hardware holds for colour c of palette p of a set of the model.
std::uint16_t ColourWord(const Model& model, int set, int palette, int colour);

// The colour a palette RAM entry gets when the runtime follows a shade register: pixel value
// v shows the project colour of the shade that the register gives v (bits 2v..2v+1).
int ShadeOf(std::uint8_t shadeRegister, int pixelValue);

// New colours: palette RAM now, so the frame being drawn next shows them, and the
// runtime's copy, which it rewrites palette RAM from whenever a shade register changes.
void PushColours(Emulator& emulator, const Model& model);

struct AssignmentPush {
    int dictionaryEntries = 0;
    int dictionaryParts = 0;
    int colouredVramTiles = 0;  // VRAM tiles whose record is not 0 afterwards
};

// New palette assignments (and redrawn tiles): the tile dictionary in WRAM banks 3-6, the
// runtime's palette record of every tile now in VRAM, the attributes of both maps and the
// runtime's settings, and the palette bits of the sprites in OAM.
// Redrawn images reach VRAM only when the game loads them again (or after a reset).
AssignmentPush PushAssignments(Emulator& emulator, Model& model);

// What of the project a running colour ROM shows, to tell which kind of change came since.
struct ProjectFingerprint {
    PaletteTable colours{};
    std::uint64_t tiles = 0;  // a hash of the offsets, palette numbers and redrawn tiles
    bool operator==(const ProjectFingerprint&) const = default;
};
ProjectFingerprint FingerprintOf(const Model& model);

}  // namespace dapplix
