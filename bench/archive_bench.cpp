// archive_bench <folder>: how long one Add File to Archive takes (the four
// entries: initialise, open, add, close) on archives of about 2 MB and
// 200 MB, made here in the game's shape (format 0, a (listfile), compressed
// files). Each add checks the archive, copies it, stores the sheet, reads the
// copy back, syncs it and renames it over: the figures include all of that.
#include <StormLib.h>
#include <dlfcn.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archive/lmpqapi.h"

namespace {
// Files of 1 MiB: a little sheet text, the rest noise that does not
// compress, as sounds and pictures in the game's archives barely do.
void MakeArchive(const std::string& path, int files) {
  std::remove(path.c_str());
  HANDLE mpq = nullptr, out = nullptr;
  SFILE_CREATE_MPQ settings{};
  settings.cbSize = sizeof settings;
  settings.dwMpqVersion = 0;
  settings.dwFileFlags1 = MPQ_FILE_EXISTS;  // a (listfile)
  settings.dwSectorSize = 0x1000;
  settings.dwMaxFileCount = static_cast<DWORD>(files + 16);
  SFileCreateArchive2(path.c_str(), &settings, &mpq);
  std::mt19937 rng(7);
  std::string bytes(1 << 20, '\0');
  for (int i = 0; i < files; ++i) {
    for (size_t at = 0; at < bytes.size(); ++at)
      bytes[at] = at < bytes.size() / 32 ? "name\tcode\t12\r\n"[at % 14] : static_cast<char>(rng());
    const std::string name = "data\\global\\file" + std::to_string(i) + ".dat";
    SFileCreateFile(mpq, name.c_str(), 0, static_cast<DWORD>(bytes.size()), 0, MPQ_FILE_COMPRESS | MPQ_FILE_ENCRYPTED, &out);
    SFileWriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), MPQ_COMPRESSION_ZLIB);
    SFileFinishFile(out);
  }
  SFileCloseArchive(mpq);
}

long long FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return static_cast<long long>(in.tellg());
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return std::fprintf(stderr, "usage: archive_bench <folder>\n"), 2;
  const std::string folder = argv[1];
  void* library = dlopen(TW_LMPQAPI_PATH, RTLD_NOW);
  if (!library) return std::fprintf(stderr, "archive_bench: %s\n", dlerror()), 1;
  auto initialize = reinterpret_cast<LmpqInitializeFn>(dlsym(library, LMPQ_NAME_INITIALIZE));
  auto open = reinterpret_cast<LmpqOpenArchiveFn>(dlsym(library, LMPQ_NAME_OPEN_ARCHIVE));
  auto add = reinterpret_cast<LmpqAddFileFn>(dlsym(library, LMPQ_NAME_ADD_FILE));
  auto close = reinterpret_cast<LmpqCloseArchiveFn>(dlsym(library, LMPQ_NAME_CLOSE_ARCHIVE));

  const std::string sheet = folder + "/weapons.txt";
  {
    std::ofstream out(sheet, std::ios::binary);
    for (int i = 0; i < 2000; ++i) out << "Sword" << i << "\tssd\t" << i % 99 << "\t12\t34\r\n";
  }
  std::printf("### Adding a %lld KB sheet to an archive (initialise, open, add, close), 5 runs each\n\n",
              FileBytes(sheet) / 1024);
  std::printf("| archive | median add | fastest | slowest | of the median: open (check, copy) | add | close (read back, sync, rename) |\n"
              "|---|---|---|---|---|---|---|\n");
  constexpr int kRuns = 5;
  for (const int files : {2, 191}) {  // about 2 MB and 200 MB
    const std::string archive = folder + "/d2data-" + std::to_string(files) + ".mpq";
    MakeArchive(archive, files);
    struct Run {
      double total, open, add, close;
    };
    std::vector<Run> runs;
    for (int run = 0; run < kRuns; ++run) {
      QElapsedTimer timer;
      timer.start();
      auto lap = [&] { return static_cast<double>(timer.nsecsElapsed()) / 1e6; };
      const uint32_t handle = initialize() == 1 ? open(archive.c_str(), 5, 20000) : 0;
      const double opened = lap();
      const bool added = handle && add(handle, sheet.c_str(), "data\\global\\excel\\weapons.txt", 0x00010201) == 1;
      const double stored = lap();
      const bool closed = handle && close(handle, 0) == 1;
      const double total = lap();
      if (!added || !closed) return std::fprintf(stderr, "archive_bench: the add to %s failed\n", archive.c_str()), 1;
      runs.push_back({total, opened, stored - opened, total - stored});
    }
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.total < b.total; });
    const Run& median = runs[kRuns / 2];
    std::printf("| %.1f MB | %.0f ms | %.0f ms | %.0f ms | %.0f ms | %.0f ms | %.0f ms |\n",
                static_cast<double>(FileBytes(archive)) / 1e6, median.total, runs.front().total, runs.back().total,
                median.open, median.add, median.close);
    std::remove(archive.c_str());
  }
  dlclose(library);
  return 0;
}
