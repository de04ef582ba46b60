/* Who makes the tool: shown in the banner and carried by the Windows version
   record. Plain macros, so that the resource compiler can read them too. */
#pragma once

#define FEGAUS_MAKER_NAME "FEGAUS-Projekt"
#define FEGAUS_WEB_ADDRESS "https://fegaus.example.org"
