// lmpqapi.dll's side of its worker on Windows: the worker started beside the
// library with pipes for its standard streams, requests and replies through
// them, a worker that ends or stops answering costing only the entry that
// waited, and no worker left running afterwards. A stand-in worker answers.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "archive/lmpqapi.h"

namespace {
namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The library copied into a folder of its own, with the stand-in worker
// beside it (or none), loaded from there; its entries by ordinal.
struct LibraryInFolder {
  fs::path folder;
  HMODULE module = nullptr;
  LmpqInitializeFn initialize = nullptr;
  LmpqOpenArchiveFn open = nullptr;
  LmpqAddFileFn add = nullptr;
  LmpqCloseArchiveFn close = nullptr;

  LibraryInFolder(const std::string& name, bool withWorker) {
    folder = fs::temp_directory_path() / ("tw-lmpqapi-" + name + "-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(TW_LMPQAPI_DLL, folder / "lmpqapi.dll");
    if (withWorker) fs::copy_file(TW_STANDIN_WORKER, folder / "lmpqapi-worker.exe");
    module = LoadLibraryA((folder / "lmpqapi.dll").string().c_str());
    if (!module) return;
    initialize = Entry<LmpqInitializeFn>(9);
    open = Entry<LmpqOpenArchiveFn>(11);
    add = Entry<LmpqAddFileFn>(2);
    close = Entry<LmpqCloseArchiveFn>(5);
  }
  template <typename Fn>
  Fn Entry(int ordinal) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
  }
  ~LibraryInFolder() {
    if (module) FreeLibrary(module);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

struct Case {
  const char* name;
  bool withWorker;
  const char* mode;        // the stand-in's TW_WORKER_MODE
  uint32_t initialized;    // what initialise returns
  uint32_t handle;         // what open returns
  const char* log;         // the requests the worker saw, and whether it ended by itself
};

TEST(WindowsWorkerChannel, EachWorkerBehaviourHasItsResult) {
  const Case cases[] = {
      {"no-worker", false, "answer", 0, 0, ""},
      {"answers", true, "answer", 1, 1,
       "open C:\\a.mpq 5 20000\nadd C:\\w.txt data\\global\\excel\\w.txt 66049\nclose\nended\n"},
      {"quits", true, "quit", 1, 0, ""},
      {"silent", true, "silent", 1, 0, "open C:\\a.mpq 5 20000\n"},  // killed: it never ends by itself
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LibraryInFolder lib(c.name, c.withWorker);
    ASSERT_NE(lib.module, nullptr);
    ASSERT_TRUE(lib.initialize && lib.open && lib.add && lib.close);
    const fs::path log = lib.folder / "requests.log";
    _putenv_s("TW_WORKER_LOG", log.string().c_str());
    _putenv_s("TW_WORKER_MODE", c.mode);
    _putenv_s("LMPQAPI_WORKER_TIMEOUT_MS", "2000");

    EXPECT_EQ(lib.initialize(), c.initialized);
    const auto before = std::chrono::steady_clock::now();
    const uint32_t handle = lib.open("C:\\a.mpq", 5, 20000);
    EXPECT_EQ(handle, c.handle);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));  // a hung worker is given up
    if (handle) {
      EXPECT_EQ(lib.add(handle, "C:\\w.txt", "data\\global\\excel\\w.txt", 0x00010201), 1u);
      EXPECT_EQ(lib.close(handle, 0), 1u);
      EXPECT_EQ(lib.add(handle, "C:\\w.txt", "x\\y.txt", 0x00010201), 0u);  // closed handles are gone
    }
    EXPECT_EQ(ReadText(log), c.log);
  }
}

}  // namespace
