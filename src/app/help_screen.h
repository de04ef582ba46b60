// The banner box and the help screen.
#pragma once

// The box that opens every run and the help screen; silenced by quiet mode.
void printBanner();

// The banner (unless quiet) and the help text; ends the process with status 0.
[[noreturn]] void printHelpScreen();
