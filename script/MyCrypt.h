#pragma once
// The reversible scrambling of story files.

#include <string>

// Every byte at or above 0x20 XOR 0x1B; bytes below 0x20 unchanged. The mask is below 0x20, so
// scrambled bytes stay at or above 0x20: the call is its own inverse, and line ends, TABs and
// Ctrl-Z keep their meaning in a scrambled file.
std::string Crypt(const std::string& Text);
