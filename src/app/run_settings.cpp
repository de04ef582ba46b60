#include "app/run_settings.h"

RunSettings runSettings{0, TimeBasis::LastWrite, false, false, {}};
RunTotals runTotals{};
std::int32_t todayDay = 0;
