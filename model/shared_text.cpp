#include "model/shared_text.h"

CSharedText g_strSitesDir;
