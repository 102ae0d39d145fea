#include "widgets/SheetImage.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include "engine/Files.h"

namespace dapplix {

namespace {
constexpr std::size_t kMaxPictureBytes = 16u << 20;
}

bool SaveSheetPng(const TileSheet& sheet, const std::string& path, std::string& error) {
    QImage image(sheet.width, sheet.height, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (std::uint32_t colour : sheet.colours) table.push_back(0xFF000000u | colour);
    image.setColorTable(table);
    for (int y = 0; y < sheet.height; ++y)
        std::copy_n(sheet.indices.data() + std::size_t(y) * std::size_t(sheet.width), sheet.width, image.scanLine(y));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        error = "Couldn't write " + path + ": the picture could not be encoded.";
        return false;
    }
    return WriteFileAtomically(path, reinterpret_cast<const std::uint8_t*>(png.constData()), std::size_t(png.size()), error);
}

bool LoadSheetPicture(const std::string& path, int& width, int& height, std::vector<std::uint32_t>& pixels,
                      std::string& error) {
    // Read through the engine's reader, which refuses FIFOs and devices without waiting.
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error, kMaxPictureBytes)) return false;
    QImage image;
    if (!image.loadFromData(bytes.data(), int(bytes.size()))) {
        error = "Couldn't read " + path + ": it is not a picture.";
        return false;
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    width = image.width();
    height = image.height();
    pixels.clear();
    pixels.reserve(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) pixels.push_back(line[x] & 0xFFFFFF);
    }
    return true;
}

}  // namespace dapplix
