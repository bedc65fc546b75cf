#include "ServiceFolders.h"

#include <shlobj.h>
#include <windows.h>

namespace trv::service {
namespace {

// %ProgramData%, the machine's folder for programs' data (C:\ProgramData).
std::filesystem::path ProgramData() {
  PWSTR folder = nullptr;
  std::filesystem::path path = L"C:\\ProgramData";
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &folder))) path = folder;
  CoTaskMemFree(folder);
  return path;
}

}  // namespace

std::filesystem::path ServiceFolders::Configuration() {
  return ProgramData() / L"Travinel";
}

std::filesystem::path ServiceFolders::Logs() {
  return Configuration() / L"logs";
}

}  // namespace trv::service
