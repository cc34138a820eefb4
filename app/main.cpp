// Entry point of the game. The engine is being built up in layers; for now the
// program opens its log, reads its configuration and reports what it found.
#include "engine/Ini.h"
#include "engine/Log.h"

#include <crt.h>

#include <cstdio>

int main() {
    crt_use_c_locale();
    std::string title = ReadIniString("config.ini", "preloader", "title");
    g_Log.Print("purple", "--------------------------------");
    g_Log.PrintBold("purple", "           Initializing         ");
    g_Log.Print("purple", "--------------------------------");
    g_Log.Print("black", "title = %s", title.c_str());
    printf("%s: engine foundation only; the playable game is not assembled yet. See log.html.\n",
           title.empty() ? "kolvar" : title.c_str());
    return 0;
}
