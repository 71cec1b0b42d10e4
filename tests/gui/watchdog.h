// The watchdog of the window suites, for suites of other folders that show windows.
#pragma once
#include "gui_driver.h"
