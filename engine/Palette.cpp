#include "Palette.h"

namespace dapplix {

void SetDefaultPals(Model& model) {
    // Light to dark, the same four greys for sprites and background: a sprite meant to blend
    // with the background in monochrome still does in colour before the user picks colours.
    constexpr std::int16_t kGreys[kColours][kComponents] = {{31, 31, 31}, {20, 20, 20}, {9, 9, 9}, {0, 0, 0}};
    const auto& kSprite = kGreys;
    const auto& kBackground = kGreys;
    for (int palette = 0; palette < kPalettes; ++palette) {
        for (int colour = 0; colour < kColours; ++colour) {
            for (int component = 0; component < kComponents; ++component) {
                model.Pals[kSpriteSet][palette][colour][component] = kSprite[colour][component];
                model.Pals[kBackgroundSet][palette][colour][component] = kBackground[colour][component];
            }
        }
    }
}

std::uint32_t PalToRgb(const Model& model, int set, int scale, int colour, int palette) {
    const auto& c = model.Pals[set][palette][colour];
    // Components are 0..31 and the scale 6 or 8, so a channel never passes 248.
    const auto channel = [&](int component) { return static_cast<std::uint32_t>(c[component] * scale); };
    return (channel(0) << 16) | (channel(1) << 8) | channel(2);
}

}  // namespace dapplix
