#pragma once
// Finding the file a story names.
//
// Stories are written on a system whose file names ignore case and separate folders with '\',
// in Shift-JIS. Here names are UTF-8 and case matters, so a story folder copied over as it was
// made ("DAT\Story.TXT", "#image BG.JPG" for a file saved as bg.jpg) would not play. Every file
// the program opens is looked up through ResolveFileName, which bridges both differences.

#include <string>
#include <string_view>

namespace platform {

// How a name was found.
enum class TNameMatch {
  Exact,         // the name, converted to UTF-8, is the file's own name
  IgnoringCase,  // only a case-blind comparison of one or more of its parts found the file
  Missing,       // neither found anything
};

struct TResolvedName {
  std::string Path;  // UTF-8, '/' between parts; for a missing file the name as converted
  TNameMatch Match = TNameMatch::Missing;
};

// Looks up Name (Shift-JIS, '\' or '/' between parts, relative to the current folder unless it
// begins with a separator):
// 1. the name is cut into parts at '\' and '/' that are characters of their own (the second
//    byte of a two-byte character is no separator) and each part becomes UTF-8;
// 2. when the path so formed exists, it is the answer;
// 3. otherwise, part by part from the left, a part that does not exist as written is matched
//    against the entries of its folder with ASCII and full-width Latin letters compared
//    regardless of case; among several such entries the least in byte order wins, so the
//    answer never depends on the order in which the folder lists its entries.
// Bytes that are not Shift-JIS stay as they are. Never raises: a failed look-up is Missing.
TResolvedName ResolveFileName(std::string_view name);

// Name with ASCII letters and full-width Latin letters (U+FF21..U+FF3A) in lower case; every
// other byte unchanged. UTF-8 in, UTF-8 out.
std::string FoldFileNameCase(std::string_view utf8);

}  // namespace platform
