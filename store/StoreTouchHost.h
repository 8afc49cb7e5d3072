#pragma once

#include "store/TarnStore.h"
#include "touch/TouchHost.h"

// Direct touch reading and changing the store: the preference, the pages, widget swaps and the
// settings window.
TouchHost storeTouchHost(TarnStore& store);
