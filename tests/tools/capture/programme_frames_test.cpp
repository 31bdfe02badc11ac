// The whole programme as pictures: frames captured offline at fixed times in every scene, with
// the music's own syncs, must keep their pixels. The committed values are ImageMagick's pixel
// signatures (independent of the PNG encoder); any unintended change to any operation of any
// scene shows here. After an intended change, the failure message prints the new values. The
// capture starts in a folder without data/, so it must find the data set beside itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "support/child_process.h"

namespace tarvola {
namespace {

namespace fs = std::filesystem;

struct Expected {
  const char* time;
  const char* signature;
};

// At 30 fps: two frames per scene slot (1 logo, 2 interference slow and at full speed,
// 3 metaballs after a cut and in the dimming, 4 credits, 5 tunnel with plasma and in late mode,
// 6 finale in two scenes of its cycle), and one inside every window where a scene shows an
// effect a sync started (tarvola-capture --list-sync-windows), where a fault in that effect shows.
constexpr Expected kFrames[] = {
    {"4", "2b380e672569b0a63db0667eaee25960cd47b3a3040582d0a164f0d0a0b8891c"},
    {"8.2", "30f2437fb786d5a4aacc1d22a5ca543452b970a24040455509d70a22409abcad"},
    {"10", "de88de019eedb96957de0e1ff6190f4289d13e7ae0892b0e00df80523bacb7ce"},
    {"12", "34a796a58305c269c790a0ccd16b2742175c88617d505a1190e4c796d7335b5b"},
    {"18", "159c44335e2e7b21c2b424b2d36ab06038866c7eab36e454a95849a45e0db559"},
    {"22.8", "d54caec3ee00437f0f75ae8451775baa96f0b78a6c6143ddc2286ff335b50351"},
    {"23.3", "737d2cf33828b55c32402599cb13d6a971f42b2cff06c92c6e7cc512d7fa55d5"},
    {"24.2", "983d831a924e114fe3038871e8cc6745797987912c8a5e2d51efb419d97b8a63"},
    {"28.2", "3bc794eb6d156ec309ed451d6c449c9ba537154de3108e874db517a36bb01e35"},
    {"30", "ff19b0cc6c62ec97a2c5a1b48bdd9d51140c34bbc16019ca7242bba86d0b3e16"},
    {"31.3", "1bad47d3c665fb73d556d1edc51eecccdebcab0a6535fbce4209e3cf09ab2a3c"},
    {"32.2", "c36acd7cbe26ec634d5680b74459ee7eab2bdd14c87f12287973d5db2fd43707"},
    {"36.2", "4a2e30d134e9dddc5936fc954e12ca9f23143289a509cab7e4cac71f9f72f0d3"},
    {"39.3", "7cb9e4d87e38550bf44944d686d7c7dfabcce52e93fd55c8620849efb51a8c35"},
    {"43.2", "0ab874c733177dd8b4323543c1a8ab981d0464451bacb46783d7d1ff5015eae1"},
    {"43.7", "ba331f22749a5838e1da54dc4fa2fb45cc3392243ef0d940e1e07a9df4221db7"},
    {"44.9", "811e1d8be293929cae8555742dfc8706e4dc0e93b5daa4afea68efad1b7815b9"},
    {"46.9", "efe08d0a855eb63d5be92e9b87de455852f4368d64f881a642779284d5a3f148"},
    {"48.9", "bc4db7a819ea3dfb86cb6de7942fac6220e03cdecbf681f63d7e3cdeb5a4cb93"},
    {"50.9", "ceb62980cfb333bfaf92b9c47f285f9568de1f440b2eaaffdc7fec506fc6ac7b"},
    {"53", "300826a3f091221ab144119fd9746584e71b3318aacfff55b885749ad2643501"},
    {"54.9", "f895798498fa046e8331d29958657dd937c1331fbfdc770e1319014c923d2944"},
    {"56.9", "ca5ab3ddf9fdae7527695942e334edd1a61fa1c04227917acf0e4d2cf40dfb1a"},
    {"58.9", "804f4cffd3350f6c3fef2337da542f063ef7e863859260b8da47eb6cc1d8b17a"},
    {"60.9", "69360c7e0fc465e451948f293bf079f013939b6e3fc1261ec86c5ef446c19a39"},
    {"62.9", "66465283c7f3005e49d5f29bdc64279377e824d320f6eacaad30f8e6b83beeda"},
    {"64.9", "c014677af648a3e6344272537746d817b73fb709f7a983a2333e786c3ffb5e09"},
    {"66.9", "3630831fe5f45813f4473332e336a8ac834a3557db9048b66c690cfe1a33a4e9"},
    {"68.9", "adbcd30a63dad144efceeea28f937212c539faf3c1b5aa8be8695b0b081a8ff3"},
    {"70.9", "5e8fe8998d5ae118675feaa52b37ec6b7890a57ad293322c9475feb68f9b6e63"},
    {"72.9", "d9722b58d6956797d5020c5f93f234faa2a3d8c0235df9432ab25d8e7a028b1a"},
    {"74.9", "3cc41bb55907a032c04a00a88bce76f2d2a1aba6c06280a61d37a2f33004b98f"},
    {"76.9", "07406b97b9ceaee465d889f2d5411c704f660516c4713bde41e16d1eac1f579c"},
    {"78.9", "c1f920727023183e5d8dddd0397d7328739bde1b677acacca3ea3ab3087b4b5a"},
    {"79.6", "fe6c3fdb7f7b0a3fbaf79113f9889f6389abfe2fe1e75ae08fd6b5af5a131bff"},
    {"85", "56d52a2c61b1110a211d8570a6bb3df0d3b4a63d67247f204d84c1b5fcf39335"},
    {"100", "2853ce8b4bd17038c16c86f57aecf693e082b40bed9fa829e86d1e43114b571a"},
    {"115", "7ac167dcd126f8ef03aca2a4a4d4fe636fe701620bbcfc72795c6876f9cd8503"},
    {"124.2", "184ddf5551b10edf15f7d798abeb8aa263e9c199a3f1697e7368d5be01f7d4ad"},
    {"125.2", "89d42f2810ea2fb3decb518ff30128383335c547dbdeb9890d752f037d16f558"},
    {"126.2", "300ad9d058c2b76f9e5b462c4c1815c5e5c6eeb98f502e00ca48b4ad632bd859"},
    {"127.2", "cd9980c9f3b4fcd6b582d5cad0b62ea33bb945f4239f100972c66f480e99b8ff"},
    {"128.2", "0833a4419a9063447b6caab4713775444d5f452be3ff24cc232256b3765217ea"},
    {"129.2", "f1ba56048d2983e5115b7adcc100c876d4156cec7138cfe0c0810a557658aac0"},
    {"130", "c14532b97c5e469dca9d9d2601ba2f94ea51dae34928bd66fa7dc32d4979d6b1"},
    {"130.2", "584464a5555e52219a0a3bc56ac964c9dcf5cb5267493021cbce814bc0f8850a"},
    {"131.2", "43f4f0c6c6457c300445a7c7021d834bcedf75cc1fa1a06264047441285ef85c"},
    {"132.3", "b78ab1a2d0cae2bdafe3d2b6ff585da7bf173f6180723a7cf2fb487c44030cbf"},
    {"133.4", "b59585f69c7b768182700b31f44bc497794a3d8e7ddfe3d1f9297e8aaca0cc23"},
    {"134.4", "fe6fa54556099c68b804927c8ade9ec52641f39dd004fbf679c2518eef0c45e5"},
    {"135.4", "70cb9e3d472981d3022f5b7bb66e5ed3f2cd729aa59ba383195973c2101d682c"},
    {"136.4", "829c435e794b52542160d583814ee0ae7d1207380e09001b8b0ab147d3bf424c"},
    {"137.4", "4c73d9c4ba22eb44152a9204405f08a77125ae6188d0137fb29a7d42b094c321"},
    {"139.4", "d77cf6be4c5fa30366c9e55c07b60c1b0bc8bbed5f5ebf0b62601dac05721efa"},
    {"140.3", "ff8711093fa9f9eb884378d1313625cd035cca96d87f2df83788b2830b15a471"},
    {"141", "a0e01a7971591a61690c74cc82d63bbe0c04969472a8137dc0b46ae7c9ef8395"},
    {"148.3", "74f75cb91260dc2e8c78ce32536067532634650a1128e51264e91bfc405165b4"},
    {"149.2", "c5336e8c8fcc7123a20c63a34a61ca21be52bc9a061d621081275fa45085439d"},
    {"150.2", "c7d06f7815f95a4b693ff0d03c690852493792438314a470701bf7dd601052a5"},
    {"151.2", "3d84a11ec769ed47a0201b5ad30bf08b5b4c882e6c9c1efe285b5b15adcc3621"},
    {"152.3", "8286aaec8e88d5d5689f3a7f05a346c3e926c268d64604a333847184adf2d517"},
    {"153.4", "1b410e01f189144cc5e602700af75d22cf48e11ca5bbb9b7f8c703692993d5e9"},
    {"156.3", "b7460329270cd6b730ac7024580809f7994cf1930ad54dbe00fdb8ddf66c8591"},
    {"160.3", "07b55269c45c74bb988082b6d8ce9c14af00e2306093978dd661aec88e850d18"},
    {"161.2", "d66017a157d3a0f68cd6ae49e3a6a87d962b6ccdc3ac26d826466d3439ba9e70"},
    {"162.2", "13937e798859dc38e6d5ebce23433258a38c1170732df972d1ec35bfb9955c01"},
    {"163.2", "2fe16a37b15f40b0ddb3172fc08b6e6da7d167c88f183d333f1d4d6b5f8eaf0c"},
    {"164.3", "9d7fdc874c5bbfc0793eeb90e14df1948bcc98a885f3f0a14b3faf3312447513"},
    {"164.8", "10efd1ae37df548c3825bc89fdb12cd0011bb953f3d2975a87bcc193bb27f8d1"},
    {"165.3", "a9f3550208ba7eb9b4ef4485c7e754420d33c9afd5e3ef4a781327c84ad64aaf"},
    {"165.8", "7f8dab6fbab0d52310438df96264255e2cc6b5613473183ea8f1963cec0be2f5"},
};

// The frame a committed time renders (--frames-at: the first frame at or after it).
int64_t frameAt(const char* time) { return int64_t(std::ceil(std::strtod(time, nullptr) * 30 - 1e-7)); }

TEST(ProgrammeFrames, KeepTheirPixels) {
  const testing::ScratchDir scratch;
  const fs::path& dir = scratch.path();
  std::string times;
  for (const Expected& frame : kFrames) times.append(times.empty() ? "" : ",").append(frame.time);
  const pid_t pid =
      testing::spawn({TARVOLA_CAPTURE, "--no-progress", "--fps", "30", "--png", dir.string(), "--frames-at", times}, {},
                     dir, dir / "log.txt");
  ASSERT_EQ(testing::waitExit(pid, testing::milliseconds(240000)), std::optional<int>(0))
      << testing::readFile(dir / "log.txt");

  std::string actual;
  bool allMatch = true;
  for (const Expected& frame : kFrames) {
    const fs::path png = dir / ("frame-at-" + std::string(frame.time) + ".png");
    std::string signature = testing::runCommand("/usr/bin/identify -format '%#' " + png.string());
    allMatch = allMatch && signature == frame.signature;
    actual.append("    {\"").append(frame.time).append("\", \"").append(signature).append("\"},\n");
  }
  EXPECT_TRUE(allMatch) << "frames differ from the committed ones; now:\n" << actual;
}

// Every sync effect window of the programme holds a committed time: a frame after the take (the
// metaballs shake from the frame after it) up to the window's last frame.
TEST(ProgrammeFrames, EverySyncEffectWindowHoldsACommittedTime) {
  const testing::ScratchDir scratch;
  const fs::path listing = scratch.path() / "windows.txt";
  ASSERT_EQ(testing::run({TARVOLA_CAPTURE, "--fps", "30", "--list-sync-windows"}, {}, listing), 0)
      << testing::readFile(listing);
  std::istringstream lines(testing::readFile(listing));
  int windows = 0;
  for (std::string line; std::getline(lines, line);) {
    long long first = 0, last = 0;
    const size_t at = line.find("(frames ");
    ASSERT_NE(at, std::string::npos) << line;
    ASSERT_EQ(std::sscanf(line.c_str() + at, "(frames %lld-%lld", &first, &last), 2) << line;
    ++windows;
    bool held = false;
    for (const Expected& frame : kFrames) held = held || (frameAt(frame.time) > first && frameAt(frame.time) <= last);
    EXPECT_TRUE(held) << "no committed time inside " << line;
  }
  EXPECT_GT(windows, 0);
}

}  // namespace
}  // namespace tarvola
