// Uncompressed 32-bit TGA files as the demo's loader reads them: an 18-byte header with no
// image ID and no colour map, image type 2, depth 32, then blue-green-red-alpha pixels with
// the bottom row first (descriptor 0x08: eight alpha bits, bottom-left origin).
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace tarvola::datagen {

// pixels: width * height values 0xAARRGGBB, row 0 on top. Returns false (after printing why)
// when the file cannot be written or the size does not fit the 16-bit header fields.
bool writeTga(const std::filesystem::path& path, int width, int height, const std::vector<uint32_t>& pixels);

// Reads back a file written by writeTga (for the contact sheet); row 0 on top.
bool readTga(const std::filesystem::path& path, int& width, int& height, std::vector<uint32_t>& pixels);

}  // namespace tarvola::datagen
