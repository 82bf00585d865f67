#include "platform/FileNames.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/Cp932.h"
#include "platform/ShiftJis.h"

namespace platform {

namespace {

bool Exists(const std::string& path, bool wantFolder = false) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  return !wantFolder || S_ISDIR(info.st_mode);
}

// The parts of a Shift-JIS name between its separators, in UTF-8. Empty parts (doubled or
// trailing separators) are left out, as the file system ignores them too.
std::vector<std::string> SplitName(std::string_view name) {
  TCp932Converter converter(TCp932Converter::TDirection::ToUtf8);
  std::vector<std::string> parts;
  std::size_t start = 0;
  const auto cut = [&](std::size_t end) {
    if (end > start) {
      parts.push_back(
          converter.Convert(name.substr(start, end - start), TCp932Converter::TInvalid::Keep));
    }
  };
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = CharLength(name, i);
    if (length == 1 && (name[i] == '\\' || name[i] == '/')) {
      cut(i);
      start = i + 1;
    }
    i += length;
  }
  cut(name.size());
  return parts;
}

std::string Join(const std::string& folder, const std::string& part) {
  if (folder.empty()) return part;
  if (folder == "/") return folder + part;
  return folder + "/" + part;
}

// The entry of Folder that equals Part when case is ignored; when Part must be a folder, only
// folders count. The least such entry in byte order, or nothing.
std::optional<std::string> FindIgnoringCase(const std::string& folder, const std::string& part,
                                            bool wantFolder) {
  struct TCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
  };
  std::unique_ptr<DIR, TCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
  if (!dir) return std::nullopt;
  const std::string wanted = FoldFileNameCase(part);
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (FoldFileNameCase(name) != wanted) continue;
    if (best && name >= *best) continue;
    if (wantFolder && !Exists(Join(folder, std::string(name)), true)) continue;
    best = std::string(name);
  }
  return best;
}

}  // namespace

std::string FoldFileNameCase(std::string_view utf8) {
  std::string folded(utf8);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    char& c = folded[i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c + ('a' - 'A'));
    } else if (c == '\xEF' && i + 2 < folded.size() && folded[i + 1] == '\xBC') {
      // U+FF21..U+FF3A are EF BC A1..BA; their small forms U+FF41..U+FF5A are EF BD 81..9A.
      const auto last = static_cast<unsigned char>(folded[i + 2]);
      if (last >= 0xA1 && last <= 0xBA) {
        folded[i + 1] = '\xBD';
        folded[i + 2] = static_cast<char>(last - 0xA1 + 0x81);
      }
      i += 2;
    }
  }
  return folded;
}

TResolvedName ResolveFileName(std::string_view name) {
  const bool absolute = !name.empty() && (name.front() == '\\' || name.front() == '/');
  const std::vector<std::string> parts = SplitName(name);

  std::string exact = absolute ? "/" : "";
  for (const std::string& part : parts) exact = Join(exact, part);
  if (Exists(exact)) return {exact, TNameMatch::Exact};

  std::string found = absolute ? "/" : "";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    const std::string& part = parts[i];
    const std::string asWritten = Join(found, part);
    // "." and ".." have no case, and a part that exists as written is taken as it is.
    if (part == "." || part == ".." || Exists(asWritten, !last)) {
      found = asWritten;
      continue;
    }
    const std::optional<std::string> entry = FindIgnoringCase(found, part, !last);
    if (!entry) return {exact, TNameMatch::Missing};
    found = Join(found, *entry);
  }
  return {found, parts.empty() ? TNameMatch::Missing : TNameMatch::IgnoringCase};
}

}  // namespace platform
