// Tile pictures (engine/TileSheet.h) as indexed PNG files.
#pragma once

#include <string>

#include "engine/TileSheet.h"

namespace dapplix {

// Writes the sheet as an indexed PNG, all or nothing.
bool SaveSheetPng(const TileSheet& sheet, const std::string& path, std::string& error);

// Reads any picture Qt reads as 0xRRGGBB pixels; false (error set) when it cannot.
bool LoadSheetPicture(const std::string& path, int& width, int& height, std::vector<std::uint32_t>& pixels,
                      std::string& error);

}  // namespace dapplix
