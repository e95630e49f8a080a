// Makes a synthetic tree for the scan benchmark: nested folders of site-like names holding
// cookie files and other files, deterministic for given arguments.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
  fs::path root;
  long files = 200000;
  long folders = 20000;
  int solPercent = 20;
  int depth = 6;
};

std::uint64_t state = 0x2545F4914F6CDD1DULL;
std::uint64_t NextRandom() {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}

int Usage() {
  std::fprintf(stderr,
               "usage: vesk_make_tree ROOT [FILES=200000] [FOLDERS=20000] [SOL_PERCENT=20] [DEPTH=6]\n"
               "Creates ROOT with FOLDERS nested folders (at most DEPTH deep) holding FILES files,\n"
               "SOL_PERCENT of them named *.sol in mixed case.\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  Options o;
  o.root = argv[1];
  if (argc > 2) o.files = std::atol(argv[2]);
  if (argc > 3) o.folders = std::atol(argv[3]);
  if (argc > 4) o.solPercent = std::atoi(argv[4]);
  if (argc > 5) o.depth = std::atoi(argv[5]);
  if (o.files < 0 || o.folders < 1 || o.depth < 1) return Usage();

  // Folders: each new one goes below a random existing folder that is not yet at full depth.
  std::vector<std::pair<fs::path, int>> folders{{o.root, 0}};
  fs::create_directories(o.root);
  for (long i = 1; i < o.folders; ++i) {
    std::size_t parent = NextRandom() % folders.size();
    while (folders[parent].second >= o.depth) parent = NextRandom() % folders.size();
    fs::path path = folders[parent].first / ("site" + std::to_string(i) + ".example");
    fs::create_directory(path);
    folders.emplace_back(path, folders[parent].second + 1);
  }
  const char* kSolNames[] = {".sol", ".SOL", ".Sol"};
  const char* kOtherNames[] = {".txt", ".solx", ".dat", ".so"};
  long sol = 0;
  for (long i = 0; i < o.files; ++i) {
    const fs::path& folder = folders[NextRandom() % folders.size()].first;
    const bool isSol = static_cast<int>(NextRandom() % 100) < o.solPercent;
    const std::string ext = isSol ? kSolNames[NextRandom() % 3] : kOtherNames[NextRandom() % 4];
    std::ofstream file(folder / ("f" + std::to_string(i) + ext), std::ios::binary);
    file.write("\x00\xbf", 2) << i;  // a little binary content, as cookies have
    sol += isSol;
  }
  std::printf("%ld folders, %ld files, %ld cookies in %s\n", o.folders, o.files, sol, o.root.string().c_str());
  return 0;
}
