// The German texts as the tool writes them, built independently of its own
// conversion so that a mistake there cannot hide.
#pragma once

#include <string>

// utf8 with ä ö ü Ä ß turned into their code page 850 bytes and every "\n"
// written as lineEnd.
std::string expectedText(const std::string& utf8, const char* lineEnd);
