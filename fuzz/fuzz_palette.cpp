// Feeds arbitrary text to the palette file reader. A file it accepts holds components
// 0..255 only, and the colours it gives a palette set come back unchanged through either
// format the program writes.
#include "FuzzModel.h"
#include "engine/PaletteFiles.h"

using namespace dapplix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<Rgb8> colours;
    std::string error;
    if (!DecodePaletteFile(std::string(reinterpret_cast<const char*>(data), size), colours, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    for (const Rgb8& colour : colours)
        for (int component : colour)
            if (component < 0 || component > 255) std::abort();
    static auto model = MakeModel();
    const int taken = ApplyPaletteColours(*model, kSpriteSet, colours);
    if (taken != std::min<int>(int(colours.size()), kPalettes * kColours)) std::abort();
    for (const PaletteFileFormat format : {PaletteFileFormat::Jasc, PaletteFileFormat::Gimp}) {
        std::vector<Rgb8> again;
        if (!DecodePaletteFile(EncodePaletteFile(*model, kSpriteSet, format), again, error)) std::abort();
        static auto reloaded = MakeModel();
        ApplyPaletteColours(*reloaded, kSpriteSet, again);
        if (reloaded->Pals[kSpriteSet] != model->Pals[kSpriteSet]) std::abort();
    }
    return 0;
}
