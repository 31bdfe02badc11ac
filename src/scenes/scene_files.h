// The data set's files as the run loads them, each named once: the start-up's three and every
// scene's pictures and mesh, opened relative to the working directory. The inits and start-up
// load them by these names; tarvola-capture --list-scenes prints which slot uses which.
#pragma once

#include "scenes/scene_table.h"

namespace tarvola {

// Start-up: shown while loading, the letterbox over every frame, the music.
inline constexpr char kLoadingFile[] = "data/loading.tga";
inline constexpr char kLetterboxFile[] = "data/wscr.tga";
inline constexpr char kMusicFile[] = "data/kyr.it";

// Scene 1.
inline constexpr char kLogoTileFile[] = "data/vok.tga";
inline constexpr char kFadeMaskFile[] = "data/fade.tga";
// Scene 2.
inline constexpr char kPolarTextureFile[] = "data/s02_tex6.tga";
// Scene 3: the metaballs' texture and light map; the room's mesh, texture, light map and bumps.
inline constexpr char kMetaballTextureFile[] = "data/s02_tex7.tga";
inline constexpr char kMetaballLightmapFile[] = "data/s02_lightmap2.tga";
inline constexpr char kBoxMeshFile[] = "data/box.3ds";
inline constexpr char kBoxTextureFile[] = "data/plat32.tga";
inline constexpr char kBoxLightmapFile[] = "data/s02_lightmap6.tga";
inline constexpr char kBoxBumpFile[] = "data/plat_b2.tga";
// Scene 4.
inline constexpr char kCreditsFile[] = "data/cred.tga";
// Scene 5: wall texture, environment map, height map, the two plasmas.
inline constexpr char kGridTextureFile[] = "data/tex0132.tga";
inline constexpr char kGridEnvMapFile[] = "data/tomsaenv2.tga";
inline constexpr char kGridHeightFile[] = "data/tex01b2.tga";
inline constexpr char kPlasmaAFile[] = "data/plasma1.tga";
inline constexpr char kPlasmaBFile[] = "data/plasma2.tga";

// The files each slot's own init loads, null-terminated (Scene 6 loads none: it replays the
// pictures of Scenes 2, 3 and 5).
inline constexpr int kMaxSceneFiles = 6;
inline constexpr const char* kSceneFiles[kSceneCount][kMaxSceneFiles + 1] = {
    {kLogoTileFile, kFadeMaskFile, nullptr},
    {kPolarTextureFile, nullptr},
    {kMetaballTextureFile, kMetaballLightmapFile, kBoxMeshFile, kBoxTextureFile, kBoxLightmapFile, kBoxBumpFile,
     nullptr},
    {kCreditsFile, nullptr},
    {kGridTextureFile, kGridEnvMapFile, kGridHeightFile, kPlasmaAFile, kPlasmaBFile, nullptr},
    {nullptr},
};

}  // namespace tarvola
