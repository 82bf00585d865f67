#pragma once
// Small string routines of the script language. Texts are Shift-JIS byte strings.

#include <cstdint>
#include <string>
#include <vector>

using TStringDynArray = std::vector<std::string>;

// The first Size bytes of Text; all of Text when Size is at least its length; empty when Size is
// 0 or less.
std::string CopyLeft(const std::string& Text, int32_t Size);

// Replaces Pieces by the pieces of Text cut at every Separator, found from the left without
// overlap and never starting on the second byte of a two-byte character. k separators give k + 1
// pieces, empty ones included. The cut works on Text followed by one more Separator, so a Text
// that ends in the first part of the separator loses that part: "///" at "//" gives two empty
// pieces. An empty Separator leaves Pieces as it was.
void Split(const std::string& Text, const std::string& Separator, TStringDynArray& Pieces);
