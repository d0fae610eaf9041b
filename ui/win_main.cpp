#include <windows.h>

#include "bas_vek_search.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  return vek::ui::Main(instance, showCommand);
}
