#pragma once
// Test access to the engine's private primitives and state, and a scratch story folder.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "script/ZelkScript.h"

class TZelkScriptProbe {
 public:
  static TStringDynArray Tokenize(const std::string& line) {
    TStringDynArray tokens{"stale"};
    TZelkScript::Tokenize(line, tokens);
    return tokens;
  }
  static bool IsLabel(const std::string& text, int32_t index) {
    return TZelkScript::IsLabel(text, index);
  }
  static bool IsCommand(const std::string& line, const std::string& word, TStringDynArray& tokens) {
    return TZelkScript::IsCommand(line, word, tokens);
  }
  static bool BeginsWithLabel(const std::string& line) {
    return TZelkScript::BeginsWithLabel(line);
  }
  static const std::vector<TScriptUnit>& Units(const TZelkScript& s) { return s.Units; }
  static void UseLineDelivery(TZelkScript& s, TLineProc line, TSimpleProc clear) {
    s.LineHandler = line;
    s.ClearHandler = clear;
  }
};

// A fresh folder that is the current directory while the object lives, so that stories can be
// named as the program names them ("dat\story.txt").
class TStoryFolder {
 public:
  TStoryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvi-script-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
    std::filesystem::create_directory("dat");
  }
  ~TStoryFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TStoryFolder(const TStoryFolder&) = delete;
  TStoryFolder& operator=(const TStoryFolder&) = delete;

  // Writes Bytes exactly as given to the relative path Name (with '/' between folders).
  static void Write(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + name);
  }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};
