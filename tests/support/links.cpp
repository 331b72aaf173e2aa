#include "tests/support/links.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/holders.h"
#include "platform/wide_text.h"
#include "tests/support/lane.h"

namespace testlink {

bool LinkProps::operator==(const LinkProps& o) const {
  return target == o.target && arguments == o.arguments && description == o.description &&
         iconLocation == o.iconLocation && iconIndex == o.iconIndex &&
         workingDirectory == o.workingDirectory && hotKey == o.hotKey &&
         showCommand == o.showCommand;
}

std::ostream& operator<<(std::ostream& out, const LinkProps& p) {
  return out << "{target=" << p.target << " args=" << p.arguments << " desc=" << p.description
             << " icon=" << p.iconLocation << "," << p.iconIndex << " wd=" << p.workingDirectory
             << " hotkey=" << p.hotKey << " show=" << p.showCommand << "}";
}

LinkProps Sample(const std::string& tag) {
  LinkProps p;
  p.target = "C:\\Program Files\\Pelmora Old\\" + tag + ".exe";
  p.arguments = "/open \"" + tag + ".pel\"";
  p.description = "Starts " + tag;
  p.iconLocation = "C:\\Program Files\\Pelmora Old\\icons.dll";
  p.iconIndex = 3;
  p.workingDirectory = "C:\\Program Files\\Pelmora Old";
  p.hotKey = static_cast<WORD>((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | 'P');
  p.showCommand = SW_SHOWMAXIMIZED;
  return p;
}

namespace {
WideString Wide(const std::string& text) {
  WideString wide;
  EXPECT_TRUE(AnsiToWide(text, 32768, &wide)) << text;
  return wide;
}
std::string Field(HRESULT (IShellLinkA::*get)(LPSTR, int), IShellLinkA* link) {
  char text[1024] = "";
  (link->*get)(text, sizeof text);
  return text;
}
}  // namespace

LinkProps PropsOf(IShellLinkA* link) {
  LinkProps p;
  char text[1024] = "";
  link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
  p.target = text;
  p.arguments = Field(&IShellLinkA::GetArguments, link);
  p.description = Field(&IShellLinkA::GetDescription, link);
  p.workingDirectory = Field(&IShellLinkA::GetWorkingDirectory, link);
  text[0] = '\0';
  link->GetIconLocation(text, sizeof text, &p.iconIndex);
  p.iconLocation = text;
  link->GetHotkey(&p.hotKey);
  link->GetShowCmd(&p.showCommand);
  return p;
}

void Write(const std::string& windowsPath, const LinkProps& props) {
  ComScope com;
  ComPtr<IShellLinkA> link;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             link.putVoid()),
            S_OK);
  link->SetPath(props.target.c_str());
  link->SetArguments(props.arguments.c_str());
  link->SetDescription(props.description.c_str());
  link->SetIconLocation(props.iconLocation.c_str(), props.iconIndex);
  link->SetWorkingDirectory(props.workingDirectory.c_str());
  link->SetHotkey(props.hotKey);
  link->SetShowCmd(props.showCommand);
  ComPtr<IPersistFile> file;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, file.putVoid()), S_OK);
  ASSERT_EQ(file->Save(Wide(windowsPath).c_str(), TRUE), S_OK) << windowsPath;
}

std::optional<LinkProps> Read(const std::string& windowsPath) {
  ComScope com;
  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.putVoid())))
    return std::nullopt;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.putVoid()))) return std::nullopt;
  if (FAILED(file->Load(Wide(windowsPath).c_str(), STGM_READ))) return std::nullopt;
  return PropsOf(link.get());
}

std::vector<BYTE> Bytes(const std::string& windowsPath) {
  std::ifstream in(lane::FsPath(windowsPath), std::ios::binary);
  return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void PutBytes(const std::string& windowsPath, const std::vector<BYTE>& bytes) {
  std::ofstream out(lane::FsPath(windowsPath), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << windowsPath;
}

bool Exists(const std::string& windowsPath) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(lane::FsPath(windowsPath), error));
}

std::vector<std::string> List(const std::string& windowsFolder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(lane::FsPath(windowsFolder), error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void MakeFolder(const std::string& windowsFolder) {
  std::error_code error;
  std::filesystem::create_directories(lane::FsPath(windowsFolder), error);
}

void RemoveAll(const std::string& windowsPath) {
  std::error_code error;
  std::filesystem::remove_all(lane::FsPath(windowsPath), error);
}

}  // namespace testlink
