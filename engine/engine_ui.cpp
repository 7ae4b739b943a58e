#include "engine/engine_ui.h"

std::atomic<bool> g_bBeepWhenDone{false};
