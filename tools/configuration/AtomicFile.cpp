#include "AtomicFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/Exception.h"

namespace trv::config {
namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

[[noreturn]] void Fail(const std::string& what, const std::string& path,
                       const std::error_code& error = {}) {
  std::string message = what + " " + path;
  if (error) message += ": " + error.message();
  throw Exception(message);
}

void WriteNew(const fs::path& path, const std::string& content, const std::string& shown) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) Fail("não foi possível criar", shown);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  file.close();
  if (!file) Fail("não foi possível gravar", shown);
}

}  // namespace

std::optional<std::string> AtomicFile::Read(const std::string& path) {
  std::error_code error;
  const fs::path file = PathOf(path);
  if (!fs::exists(file, error)) {
    if (error) Fail("não foi possível ler", path, error);
    return std::nullopt;
  }
  std::ifstream stream(file, std::ios::binary);
  if (!stream) Fail("não foi possível abrir", path);
  std::string content((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  if (stream.bad()) Fail("não foi possível ler", path);
  return content;
}

void AtomicFile::Replace(const std::string& path, const std::string& content) {
  const fs::path file = PathOf(path);
  std::error_code error;
  fs::create_directories(file.parent_path(), error);
  if (error) Fail("não foi possível criar a pasta de", path, error);
  // Beside the file, so the rename stays within one file system; its name does not end in
  // .json, so the browsers never read it as a policy file.
  fs::path temporary = file;
  temporary += ".travinel-novo";
  try {
    WriteNew(temporary, content, path);
  } catch (const Exception&) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw;
  }
  const auto readable = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read;
  fs::permissions(temporary, readable, fs::perm_options::replace, error);
  if (!error) fs::rename(temporary, file, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    Fail("não foi possível substituir", path, error);
  }
}

void AtomicFile::Remove(const std::string& path) {
  std::error_code error;
  fs::remove(PathOf(path), error);
  if (error) Fail("não foi possível apagar", path, error);
}

void AtomicFile::Restore(const std::string& path, const std::optional<std::string>& content) {
  if (content) {
    Replace(path, *content);
  } else {
    Remove(path);
  }
}

}  // namespace trv::config
