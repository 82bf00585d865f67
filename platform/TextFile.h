#pragma once
// Reading text files line by line, as story files are read.
//
// File names are given as the program writes them (Shift-JIS, '\' between folders); errors name
// the file in the form messages show it (DisplayFileName).

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// True when Name is an existing file; a folder, or a name that cannot exist here, is not one.
bool FileExists(const std::string& name);

// The working folder, where relative names are looked up, as messages show it (Shift-JIS).
std::string CurrentFolder();

// Yields the lines of a text file:
// - a line ends at LF; a CR is never part of a line (with the LF after it, it is part of the line
//   end; a CR on its own is dropped);
// - the last line needs no line end, and a file that ends with a line end has no empty line after
//   it;
// - a Ctrl-Z (0x1A) as the first byte of a line ends the file; anywhere else it is an ordinary
//   byte, as is NUL;
// - lines may be of any length.
class TTextFileReader {
 public:
  // Raises EInOutError naming the file when it cannot be opened.
  explicit TTextFileReader(const std::string& fileName);

  // The next line, without its line end. False at the end of the file, with Line emptied.
  // Raises EInOutError naming the file when reading fails.
  bool ReadLine(std::string& line);

 private:
  struct TCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  // Refills the buffer when it is used up; false at the end of the file.
  bool Fill();

  std::string displayName_;
  std::unique_ptr<std::FILE, TCloser> file_;
  std::vector<char> buffer_;
  std::size_t next_ = 0;  // first unread byte in buffer_
  std::size_t end_ = 0;   // one past the last valid byte in buffer_
  bool ended_ = false;    // end of file, or a Ctrl-Z at the start of a line, was reached
};

}  // namespace platform
