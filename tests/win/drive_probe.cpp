// Reads and changes the drive letters of the Wine session for the tests:
//   drive_probe mask                 the logical-drive bit mask, in decimal
//   drive_probe query W:             the letter's current target (exit 1: none)
//   drive_probe define W: TARGET     a raw-target definition, as another program would make
//   drive_probe remove W: TARGET     removes exactly that definition
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && !wcscmp(argv[1], L"mask")) {
    std::printf("%lu\n", (unsigned long)GetLogicalDrives());
    return 0;
  }
  if (argc >= 3 && !wcscmp(argv[1], L"query")) {
    wchar_t target[4096];
    if (!QueryDosDeviceW(argv[2], target, 4096)) return 1;
    char utf8[8192];
    WideCharToMultiByte(CP_UTF8, 0, target, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s\n", utf8);
    return 0;
  }
  if (argc >= 4 && !wcscmp(argv[1], L"define")) return DefineDosDeviceW(DDD_RAW_TARGET_PATH, argv[2], argv[3]) ? 0 : 1;
  if (argc >= 4 && !wcscmp(argv[1], L"remove"))
    return DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, argv[2],
                            argv[3])
               ? 0
               : 1;
  std::fprintf(stderr, "usage: drive_probe mask | query L: | define L: TARGET | remove L: TARGET\n");
  return 2;
}
