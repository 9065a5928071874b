// archive_bench <folder>: how long one Add File to Archive takes (the four
// entries: initialise, open, add, close) on archives of about 2 MB and
// 160 MB, made here in the game's shape (format 0, a (listfile), compressed
// files), side by side with StormLib's own add into the archive in place
// followed by an fsync of it, which is as fast as an add can be but leaves a
// broken archive when it is cut short. Our add starts the worker, checks the
// archive, lets StormLib work on a scratch copy, appends what is new, syncs,
// switches the header and syncs again: the figures include all of that.
#include <StormLib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

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

// StormLib alone, in place: open, add (the same flags as the library's),
// close, fsync.
bool StormLibInPlace(const std::string& archive, const std::string& sheet, const char* name) {
  HANDLE mpq = nullptr;
  if (!SFileOpenArchive(archive.c_str(), 0, 0, &mpq)) return false;
  const bool added = SFileAddFileEx(mpq, sheet.c_str(), name, MPQ_FILE_IMPLODE | MPQ_FILE_ENCRYPTED | MPQ_FILE_REPLACEEXISTING,
                                    MPQ_COMPRESSION_PKWARE, MPQ_COMPRESSION_NEXT_SAME);
  const bool closed = SFileCloseArchive(mpq);
  const int fd = open(archive.c_str(), O_RDWR);
  const bool synced = fd >= 0 && fsync(fd) == 0;
  if (fd >= 0) close(fd);
  return added && closed && synced;
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
  constexpr int kRuns = 7;
  {
    std::ofstream out(sheet, std::ios::binary);
    for (int i = 0; i < 5000; ++i) out << "Sword" << i << "\tssd\t" << i % 99 << "\t12\t34\r\n";
  }
  std::printf("### Adding a %lld KB sheet to an archive, %d runs each, side by side with StormLib in place\n\n",
              FileBytes(sheet) / 1024, kRuns);
  std::printf("| archive | ours: median (fastest, slowest) | StormLib in place + fsync: median (fastest, slowest) | ours / StormLib |\n"
              "|---|---|---|---|\n");
  const char* name = "data\\global\\excel\\weapons.txt";
  for (const int files : {2, 153}) {  // about 2 MB and 160 MB
    const std::string ours = folder + "/ours-" + std::to_string(files) + ".mpq";
    const std::string theirs = folder + "/stormlib-" + std::to_string(files) + ".mpq";
    MakeArchive(ours, files);
    MakeArchive(theirs, files);
    std::vector<double> oursMs, theirsMs;
    for (int run = 0; run < kRuns; ++run) {  // the two take turns, so both see the same machine
      QElapsedTimer timer;
      timer.start();
      const uint32_t handle = initialize() == 1 ? open(ours.c_str(), 5, 20000) : 0;
      const bool added = handle && add(handle, sheet.c_str(), name, 0x00010201) == 1;
      const bool closed = handle && close(handle, 0) == 1;
      oursMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
      timer.restart();
      const bool inPlace = StormLibInPlace(theirs, sheet, name);
      theirsMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
      if (!added || !closed || !inPlace) return std::fprintf(stderr, "archive_bench: an add to %s failed\n", ours.c_str()), 1;
    }
    std::sort(oursMs.begin(), oursMs.end());
    std::sort(theirsMs.begin(), theirsMs.end());
    std::printf("| %.1f MB | %.0f ms (%.0f, %.0f) | %.0f ms (%.0f, %.0f) | %.2f |\n", static_cast<double>(FileBytes(theirs)) / 1e6,
                oursMs[kRuns / 2], oursMs.front(), oursMs.back(), theirsMs[kRuns / 2], theirsMs.front(), theirsMs.back(),
                oursMs[kRuns / 2] / theirsMs[kRuns / 2]);
    std::remove(ours.c_str());
    std::remove(theirs.c_str());
  }
  dlclose(library);
  return 0;
}
