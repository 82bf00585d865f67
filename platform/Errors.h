#pragma once
// The error kinds the program raises. Everything derives from std::exception so that the
// application's default exception report can show any of them.

#include <stdexcept>
#include <string>

namespace platform {

// An index outside its array, or arithmetic that would overflow: raised instead of touching
// memory that does not belong to the array.
class ERangeError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

// A file that exists but cannot be opened or read.
class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A picture that cannot be decoded (bitmap reader, JPEG decoder, size limit).
class EGraphicError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace platform
