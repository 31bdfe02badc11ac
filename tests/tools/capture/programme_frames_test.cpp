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
// effect a sync started (tarvola-capture --list-sync-windows), where the effect is strong: a
// blur on the frame it starts, a pulse at its height, a flash or a shake a few frames in.
constexpr Expected kFrames[] = {
    {"4", "2b380e672569b0a63db0667eaee25960cd47b3a3040582d0a164f0d0a0b8891c"},
    {"8.2", "30f2437fb786d5a4aacc1d22a5ca543452b970a24040455509d70a22409abcad"},
    {"8.6", "69bba8957b102a8861d0a4aea22d43928e47238a562c77b36d015da2b404e4e4"},
    {"11.5", "db364af6b4d38555057c6c33c0b1c33f31c661b20b41cee18c869cfe89e89c9c"},
    {"12", "34a796a58305c269c790a0ccd16b2742175c88617d505a1190e4c796d7335b5b"},
    {"16.5", "c26e76f3ee44e923481d4e2bc7e018cd5a808b358fa6de8092867189a7635dc9"},
    {"22.7", "61613a3efc3a96972530782d031d5b88fdb036ba8590d3c584e6c0c992b342d7"},
    {"23", "4b1625b16179ac8c0efbb0f6bd83c79ad7cd508d2f326331898285be09fbd855"},
    {"24.2", "983d831a924e114fe3038871e8cc6745797987912c8a5e2d51efb419d97b8a63"},
    {"28.2", "3bc794eb6d156ec309ed451d6c449c9ba537154de3108e874db517a36bb01e35"},
    {"30", "ff19b0cc6c62ec97a2c5a1b48bdd9d51140c34bbc16019ca7242bba86d0b3e16"},
    {"31", "3c5468a4ac717c76af32d34406149943ac310665c97bf515ce543ca030b2cdaf"},
    {"32.2", "c36acd7cbe26ec634d5680b74459ee7eab2bdd14c87f12287973d5db2fd43707"},
    {"36.2", "4a2e30d134e9dddc5936fc954e12ca9f23143289a509cab7e4cac71f9f72f0d3"},
    {"39", "db5ea7d95af1e8e5a431da95bf1fabb8bf2743fde6b8fc9c9efb27c529d5f5dd"},
    {"43.2", "0ab874c733177dd8b4323543c1a8ab981d0464451bacb46783d7d1ff5015eae1"},
    {"43.7", "ba331f22749a5838e1da54dc4fa2fb45cc3392243ef0d940e1e07a9df4221db7"},
    {"44.6", "bb2b5a1ceae89223e726f5593337324641ebb80745f11debdf469c9edca516d2"},
    {"46.6", "517094815e62b36cebd2d7d66d5f023e09d072c43315e8a7d977348c76e6f989"},
    {"48.6", "756cd57388bcb6c0cb699ae95c91c6035143eb899b48bc25b68f05b6413ea35e"},
    {"50.6", "3021a56bfb1b860ad8c842d93b36047fe51a702cd34beef42405683e34d97b40"},
    {"52.6", "4428acf3b503828b6ec06bf28d6b7a48bead5ab71b4d0e4d7cb398f499c0a924"},
    {"53", "300826a3f091221ab144119fd9746584e71b3318aacfff55b885749ad2643501"},
    {"54.6", "dbd051225f0a1ce3e36195675247e82e823be407aa5d1c593e5a04ce50d52b3d"},
    {"56.6", "59871458c796b326454eed3263af0f359df39e5fa0480b6d728946ce7fb9dc03"},
    {"58.6", "33ae9cbe1a739525146f92fd1ddc2949e1e22058ebc72c87c97c56146993c447"},
    {"60.6", "4e342f84a07e78120ddedbfd28ba440d50ab96a85144c7206f8ab07eda7ea0cb"},
    {"62.6", "a934a054fd486cb2963644e19bc65e8728c6f038ddb9fe226101675ec86d1fa0"},
    {"64.6", "5f09b01a941e368657abf85e8136125ba46b9d497fa003f10b026c9ad7ad6fe5"},
    {"66.6", "f00ef01cb019956e29fabf88c7b370a3990417b984e5532134c7673311893191"},
    {"68.6", "e267250f720ef15b4f092f4b0d6c7b26ef7dc8a5c053f15bf5b5796d35b9fac0"},
    {"70.6", "d13ce4f27804f8aa71eaa9c6b4f3ea5b59d9a3e751fc160e1dfeef7ef9de152c"},
    {"72.6", "c7b5a0adc436e7b3b0ee8be09561915114d2de652fa8111d84d14c998f949959"},
    {"74.6", "0cc926f29ab1fa36bb6610fae31b52ecbadb6dcbaddc021cab23fcd4f455790b"},
    {"76.6", "fead936c011098c39c6ac1ccf039189127959f65b89f55b1998f87b9e0f8f364"},
    {"78.6", "e8a065c87db74cd4806bc769372405a9ca70d6e8f168c1d3701a264367aade8a"},
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
    {"132.1", "930785b7dfb8ab071ca694aaca04d2846446700e78a07090311c629089ca41a7"},
    {"133.1", "699e4504ad328583041c402c0d966691ac586df7d41cf5ede104c03431252bae"},
    {"134.1", "d245aa7aa9d123d113350b343b8e426a5424de01d44d69a6a2e401d43dd091ce"},
    {"135.1", "7ecda45ba4a9b101d23a2559e4e05ab73feda1966c342dedf541cf65b80fe128"},
    {"136.1", "afb25175955bd95bec7f159b12640d76cd1dfdb20b0336269fc29e365d12e372"},
    {"137.1", "cbc10959ea06e71819f9a25fab340a6163d097d5ccbbcf6e39c3c2888887359b"},
    {"139.1", "edb4cdf4ebcf738b5a43e2fe57332ce310809513960ee1940b0478027beec891"},
    {"140.1", "62530ba08cd010519c24e7d851347ec89a0aeff5b6fc4759e124ca74a6f8a65c"},
    {"141", "a0e01a7971591a61690c74cc82d63bbe0c04969472a8137dc0b46ae7c9ef8395"},
    {"148.1", "54dd3c4da8b9654582f7f658cf327072d5c65eb9c9128b5924fddec433ed7068"},
    {"148.2", "c26cb6abf1248c265e04e58101622d49ffe83b71ee6d826f7374f4cbc4ca95c9"},
    {"149.2", "c5336e8c8fcc7123a20c63a34a61ca21be52bc9a061d621081275fa45085439d"},
    {"150.2", "c7d06f7815f95a4b693ff0d03c690852493792438314a470701bf7dd601052a5"},
    {"151.2", "3d84a11ec769ed47a0201b5ad30bf08b5b4c882e6c9c1efe285b5b15adcc3621"},
    {"152.1", "86b52455b4418ba5ec6aa9950b4fbadc617e4d77ede9dc69efb80a5530c598d6"},
    {"153.1", "14d62757085fc8ccbeec43c320a57ecedc6af396076ef0877727b0ca949efbe9"},
    {"156.1", "9f14222a0534cb2f85442691cc884a4265ca51e52359971d230eced7880dec2a"},
    {"160.1", "d2301539a16a4307594c0970e6c650fc72c58f69d7e008c4dc8da8931206f742"},
    {"160.2", "7f3c73ffdfa25065d829c216165ffa8cb003c54681115fcaaa9572fc3c9c31f8"},
    {"161.2", "d66017a157d3a0f68cd6ae49e3a6a87d962b6ccdc3ac26d826466d3439ba9e70"},
    {"162.2", "13937e798859dc38e6d5ebce23433258a38c1170732df972d1ec35bfb9955c01"},
    {"163.2", "2fe16a37b15f40b0ddb3172fc08b6e6da7d167c88f183d333f1d4d6b5f8eaf0c"},
    {"164.1", "388534b8e5cf8de1d8fa568222d7ce3a4aa0b9d12441bb63b62ee663c6d42c8e"},
    {"164.6", "d00f85618f13799d95f045ba639dc481c3469e3ccfff847fa25159bd84acb088"},
    {"165.1", "facf55fc374a8f6b17f9b55a5d1e4aae78986d2048b3cbf4f72e5594b84f85e0"},
    {"165.6", "60bc04dc8ef64b57919be75b95c3f00ca9bbf1e70fa109c42634851b9db11234"},
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

// Every sync effect window of the programme holds a committed time.
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
    for (const Expected& frame : kFrames) held = held || (frameAt(frame.time) >= first && frameAt(frame.time) <= last);
    EXPECT_TRUE(held) << "no committed time inside " << line;
  }
  EXPECT_GT(windows, 0);
}

}  // namespace
}  // namespace tarvola
