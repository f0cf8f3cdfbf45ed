#include "Settings.h"

TarvexSettings settings;
