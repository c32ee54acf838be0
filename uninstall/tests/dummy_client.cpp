// Stand-in for an installed client process in the end-to-end tests: it only waits to be ended.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ::Sleep(120000);  // ends by itself if a test forgets it
  return 0;
}
