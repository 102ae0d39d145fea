// The model the fuzz targets start from: default palettes and side-file code whose every
// byte is known (each fragment filled with its own value, the colour code bank counting
// up), so that a scan or a write that puts a byte in the wrong place shows in the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/Binary.h"
#include "engine/Palette.h"

namespace dapplix {

inline std::unique_ptr<Model> MarkedModel() {
    auto model = std::make_unique<Model>();
    SetDefaultPals(*model);
    for (std::size_t i = 0; i < model->ExtraBankCode.size(); ++i) model->ExtraBankCode[i] = static_cast<std::uint8_t>(i);
    model->ExtraBankCodeAsRead = model->ExtraBankCode;
    model->EntryHookCode.fill(0xE1);
    model->CopyHookCode.fill(0xC1);
    model->CopyTailCode.fill(0x71);
    model->DmaHookCode.fill(0xD1);
    return model;
}

}  // namespace dapplix
