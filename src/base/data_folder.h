// Where the data set lives. The loaders open "data/NAME" relative to the working directory; a
// host that starts somewhere else first finds the folder that holds data/ and makes it the
// working directory. Looked for, in this order: the working directory, the executable's own
// directory (a build tree, an unpacked zip), and the installed share folder beside bin/
// (PREFIX/share/tarvola).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvola {

struct DataFolderSearch {
  std::vector<std::filesystem::path> looked;  // the candidate folders, in the order tried
  std::filesystem::path found;                // the first holding a data/ directory; empty for none
};

// The candidates as above, each checked for a data/ directory. The executable's path comes from
// the operating system (argv[0] is not trusted); without one only the working directory is tried.
DataFolderSearch findDataFolder();

// The candidates' data/ folders as one line for a message: "A, B or C".
std::string describeLooked(const DataFolderSearch& search);

// Makes `folder` the working directory; false (with `error`) when that fails.
bool enterDataFolder(const std::filesystem::path& folder, std::string& error);

}  // namespace tarvola
