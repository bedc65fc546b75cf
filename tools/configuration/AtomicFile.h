#pragma once

#include <optional>
#include <string>

namespace trv::config {

// Whole-file reading and replacing for configuration files (paths in UTF-8). A replaced file is
// written beside itself first and renamed over the old one, so a reader, or the next run after
// a failure, finds the old content or the new one, never a part. Failures raise Exception with
// a message in Portuguese.
class AtomicFile {
 public:
  // The file's content; nothing when it does not exist.
  static std::optional<std::string> Read(const std::string& path);
  // Creates the missing folders, then writes the content in place of the file's (readable by
  // every user: the service and the browsers do not run as the administrator).
  static void Replace(const std::string& path, const std::string& content);
  // Deletes the file; a missing file is no failure.
  static void Remove(const std::string& path);
  // Puts back what Read gave: the old content, or no file.
  static void Restore(const std::string& path, const std::optional<std::string>& content);
};

}  // namespace trv::config
