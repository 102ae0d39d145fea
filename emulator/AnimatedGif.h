// Short animated captures of the Play window as GIF files, which every browser and chat
// program shows. Game Boy frames use at most 64 colours at once, so each frame carries its
// own colour table and loses nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace dapplix {

struct GifFrame {
    std::vector<std::uint32_t> pixels;  // width x height, 0x00BBGGRR as the core gives them
    int delayCentiseconds = 2;          // how long it shows
};

// A looping animation of the frames, scaled up by an integer factor. Frames with more than 256 colours keep the 256 met first; the others take
// the nearest of those.
std::vector<std::uint8_t> EncodeAnimatedGif(const std::vector<GifFrame>& frames, int width, int height,
                                            int scale);

}  // namespace dapplix
