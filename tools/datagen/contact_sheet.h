// The contact sheet: one labelled PNG showing every picture of the data set, read back from
// the written TGA files, so a person can review the whole set at a glance.
#pragma once

#include <filesystem>

namespace tarvola::datagen {

// Tiles (seamless pictures) are shown as a 2 x 2 repeat cut around the seams; 640 x 480
// pictures at half size. Returns false (after printing why) on failure.
bool writeContactSheet(const std::filesystem::path& dataDir, const std::filesystem::path& pngPath);

}  // namespace tarvola::datagen
