// The emulated shell link object: IShellLinkA over the link model, IPersistFile over host files
// in the real link file format.
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/emulated/control.h"
#include "platform/emulated/machine.h"
#include "platform/emulated/shell_link_file.h"

namespace emu {
namespace {

constexpr std::size_t kLargestLinkFile = 256u << 20;

std::string Text(LPCSTR text) { return text ? std::string(text) : std::string(); }

std::string Narrow(LPCOLESTR text) {
  std::u16string wide;
  if (text)
    for (; *text; ++text) wide += *text;
  return detail::WideToAnsi(wide);
}

// Copies 8-bit text into a caller's buffer of `cch` characters, cut to fit as the real getters
// do.
HRESULT CopyOut(const std::string& text, LPSTR buffer, int cch) {
  if (!buffer || cch <= 0) return E_INVALIDARG;
  const std::size_t length = std::min(text.size(), static_cast<std::size_t>(cch) - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return S_OK;
}

// A target without a drive or share is taken relative to the current directory, as the link
// object resolves it when it is set.
std::string FullPath(const std::string& path) {
  const bool absolute = (path.size() >= 3 && path[1] == ':' && path[2] == '\\') ||
                        path.rfind("\\\\", 0) == 0;
  if (path.empty() || absolute) return path;
  return detail::CurrentDirectory() + path;
}

std::string Get(const std::optional<std::u16string>& text) {
  return text ? detail::WideToAnsi(*text) : std::string();
}

std::optional<std::u16string> Put(LPCSTR text) {
  const std::string value = Text(text);
  if (value.empty()) return std::nullopt;
  return detail::AnsiToWide(value);
}

class ShellLink : public IShellLinkA, public IPersistFile, public detail::ComObject {
 public:
  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    const char* name = riid == IID_IPersistFile ? "IPersistFile"
                       : riid == IID_IShellLinkA ? "IShellLinkA"
                       : riid == IID_IPersist    ? "IPersist"
                       : riid == IID_IUnknown    ? "IUnknown"
                                                 : "other";
    detail::Call call("ShellLink::QueryInterface", "", name);
    if (!ppv) return static_cast<HRESULT>(call.done(E_POINTER));
    *ppv = nullptr;
    if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
    if (riid == IID_IUnknown || riid == IID_IShellLinkA)
      *ppv = static_cast<IShellLinkA*>(this);
    else if (riid == IID_IPersistFile || riid == IID_IPersist)
      *ppv = static_cast<IPersistFile*>(this);
    else
      return static_cast<HRESULT>(call.done(E_NOINTERFACE));
    AddRefCount();
    return static_cast<HRESULT>(call.done(S_OK));
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }
  ULONG STDMETHODCALLTYPE Release() override {
    detail::Call call("ShellLink::Release", "");
    return ReleaseCount();
  }

  // IShellLinkA
  HRESULT STDMETHODCALLTYPE GetPath(LPSTR pszFile, int cch, WIN32_FIND_DATAA* pfd,
                                    DWORD) override {
    Gate call("IShellLinkA::GetPath");
    if (call.refused()) return call.result();
    const std::string target = detail::WideToAnsi(file_.targetPath);
    if (pfd) {
      std::memset(pfd, 0, sizeof *pfd);
      const std::string leaf = target.substr(target.rfind('\\') + 1);
      std::strncpy(pfd->cFileName, leaf.c_str(), MAX_PATH - 1);
    }
    const HRESULT hr = CopyOut(target, pszFile, cch);
    return call.finish(FAILED(hr) ? hr : target.empty() ? S_FALSE : S_OK);
  }
  HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDescription(LPSTR psz, int cch) override {
    return Getter("IShellLinkA::GetDescription", Get(file_.description), psz, cch);
  }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR text) override {
    return Setter("IShellLinkA::SetDescription", text, [&] { file_.description = Put(text); });
  }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR psz, int cch) override {
    return Getter("IShellLinkA::GetWorkingDirectory", Get(file_.workingDirectory), psz, cch);
  }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR text) override {
    return Setter("IShellLinkA::SetWorkingDirectory", text,
                  [&] { file_.workingDirectory = Put(text); });
  }
  HRESULT STDMETHODCALLTYPE GetArguments(LPSTR psz, int cch) override {
    return Getter("IShellLinkA::GetArguments", Get(file_.arguments), psz, cch);
  }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR text) override {
    return Setter("IShellLinkA::SetArguments", text, [&] { file_.arguments = Put(text); });
  }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD* hotKey) override {
    Gate call("IShellLinkA::GetHotkey");
    if (call.refused()) return call.result();
    if (!hotKey) return call.finish(E_INVALIDARG);
    *hotKey = file_.hotKey;
    return call.finish(S_OK);
  }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD hotKey) override {
    return Setter("IShellLinkA::SetHotkey", "", [&] { file_.hotKey = hotKey; });
  }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int* showCommand) override {
    Gate call("IShellLinkA::GetShowCmd");
    if (call.refused()) return call.result();
    if (!showCommand) return call.finish(E_INVALIDARG);
    *showCommand = file_.showCommand;
    return call.finish(S_OK);
  }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int showCommand) override {
    return Setter("IShellLinkA::SetShowCmd", "", [&] { file_.showCommand = showCommand; });
  }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR psz, int cch, int* index) override {
    Gate call("IShellLinkA::GetIconLocation");
    if (call.refused()) return call.result();
    if (!index) return call.finish(E_INVALIDARG);
    *index = file_.iconIndex;
    return call.finish(CopyOut(Get(file_.iconLocation), psz, cch));
  }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR text, int index) override {
    return Setter("IShellLinkA::SetIconLocation", text, [&] {
      file_.iconLocation = Put(text);
      file_.iconIndex = index;
    });
  }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR text, DWORD) override {
    return Setter("IShellLinkA::SetRelativePath", text, [&] { file_.relativePath = Put(text); });
  }
  HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetPath(LPCSTR text) override {
    return Setter("IShellLinkA::SetPath", text,
                  [&] { SetLinkTarget(file_, detail::AnsiToWide(FullPath(Text(text)))); });
  }

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR fileName, DWORD mode) override {
    const std::string path = Narrow(fileName);
    detail::Call call("IPersistFile::Load", path, "", "mode=" + std::to_string(mode));
    if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
    if (!detail::ComIsOpen()) return static_cast<HRESULT>(call.done(CO_E_NOTINITIALIZED));
    const std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0)
      return static_cast<HRESULT>(call.done(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)));
    if (!S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > kLargestLinkFile)
      return static_cast<HRESULT>(call.done(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)));
    std::ifstream in(host, std::ios::binary);
    const std::vector<BYTE> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    ShellLinkFile loaded;
    const HRESULT hr = ParseShellLink(bytes.data(), bytes.size(), &loaded);
    if (FAILED(hr)) return static_cast<HRESULT>(call.done(hr));
    file_ = std::move(loaded);
    currentFile_ = path;
    dirty_ = false;
    return static_cast<HRESULT>(call.done(S_OK));
  }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR fileName, BOOL remember) override {
    const std::string path = fileName ? Narrow(fileName) : currentFile_;
    detail::Call call("IPersistFile::Save", path, "", remember ? "remember" : "");
    if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
    if (!detail::ComIsOpen()) return static_cast<HRESULT>(call.done(CO_E_NOTINITIALIZED));
    if (path.empty()) return static_cast<HRESULT>(call.done(E_INVALIDARG));
    const std::vector<BYTE> bytes = WriteShellLink(file_);
    if (bytes.empty()) return static_cast<HRESULT>(call.done(E_FAIL));
    const std::string host = HostPath(path);
    if (host.empty())
      return static_cast<HRESULT>(call.done(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)));
    struct stat st;
    if (stat(host.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR)))
      return static_cast<HRESULT>(call.done(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)));
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    if (!out) return static_cast<HRESULT>(call.done(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) return static_cast<HRESULT>(call.done(HRESULT_FROM_WIN32(ERROR_DISK_FULL)));
    if (remember) currentFile_ = path;
    dirty_ = false;
    return static_cast<HRESULT>(call.done(S_OK));
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* fileName) override {
    if (!fileName) return E_POINTER;
    const std::u16string wide = detail::AnsiToWide(currentFile_);
    auto* copy = static_cast<OLECHAR*>(detail::TaskAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(OLECHAR));
    *fileName = copy;
    return S_OK;
  }

 private:
  // The journal entry and fault plan of one method use; a link refuses work outside COM.
  class Gate {
   public:
    explicit Gate(const char* name, const std::string& argument = {})
        : call_(name, "", "", argument) {
      if (call_.forced())
        result_ = static_cast<HRESULT>(call_.done(call_.forcedResult()));
      else if (!detail::ComIsOpen())
        result_ = static_cast<HRESULT>(call_.done(CO_E_NOTINITIALIZED));
      else
        return;
      refused_ = true;
    }
    bool refused() const { return refused_; }
    HRESULT result() const { return result_; }
    HRESULT finish(HRESULT hr) { return static_cast<HRESULT>(call_.done(hr)); }

   private:
    detail::Call call_;
    bool refused_ = false;
    HRESULT result_ = S_OK;
  };

  HRESULT Getter(const char* name, const std::string& text, LPSTR buffer, int cch) {
    Gate call(name);
    if (call.refused()) return call.result();
    return call.finish(CopyOut(text, buffer, cch));
  }
  template <class Change>
  HRESULT Setter(const char* name, LPCSTR text, Change change) {
    Gate call(name, Text(text));
    if (call.refused()) return call.result();
    change();
    dirty_ = true;
    return call.finish(S_OK);
  }

  ShellLinkFile file_;
  std::string currentFile_;
  bool dirty_ = false;
};

}  // namespace

namespace detail {
IShellLinkA* NewShellLink() { return new ShellLink(); }
}  // namespace detail

}  // namespace emu
