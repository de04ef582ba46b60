#include "app/run_settings.h"

RunSettings runSettings{
    .maxAgeDays = 0, .timeBasis = TimeBasis::LastWrite, .quiet = false, .testRun = false, .pattern = {}};
RunTotals runTotals{};
std::int32_t todayDay = 0;
