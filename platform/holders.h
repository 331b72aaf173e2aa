// Owners for the platform resources the operations hold, so that an early return or an
// exception cannot leak them and release order follows acquisition order in reverse.
#pragma once

#include <utility>

#include "platform/windows_api.h"

// An open registry key that closes itself. Predefined roots are never held here.
class UniqueHkey {
 public:
  UniqueHkey() = default;
  explicit UniqueHkey(HKEY key) : key_(key) {}
  UniqueHkey(UniqueHkey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  UniqueHkey& operator=(UniqueHkey&& other) noexcept {
    if (this != &other) reset(std::exchange(other.key_, nullptr));
    return *this;
  }
  UniqueHkey(const UniqueHkey&) = delete;
  UniqueHkey& operator=(const UniqueHkey&) = delete;
  ~UniqueHkey() { reset(); }

  HKEY get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  // Closes the held key (if any) and takes `key` instead.
  void reset(HKEY key = nullptr) {
    if (key_) RegCloseKey(key_);
    key_ = key;
  }

 private:
  HKEY key_ = nullptr;
};

// An open file handle (or a directory search, with `close` FindClose) that closes itself.
template <BOOL(WINAPI* close)(HANDLE)>
class UniqueFileHandle {
 public:
  explicit UniqueFileHandle(HANDLE handle) : handle_(handle) {}
  UniqueFileHandle(const UniqueFileHandle&) = delete;
  UniqueFileHandle& operator=(const UniqueFileHandle&) = delete;
  ~UniqueFileHandle() {
    if (valid()) close(handle_);
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

 private:
  HANDLE handle_;
};
using UniqueHandle = UniqueFileHandle<CloseHandle>;
using UniqueFind = UniqueFileHandle<FindClose>;

// One CoInitialize/CoUninitialize pair. The result of CoInitialize is not looked at: the pair
// is closed whatever it said, because the tool's COM scopes are counted, not judged.
// Close() ends the scope early where the order of work asks for it; it ends only once.
class ComScope {
 public:
  ComScope() { CoInitialize(nullptr); }
  ~ComScope() { Close(); }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  void Close() {
    if (open_) CoUninitialize();
    open_ = false;
  }

 private:
  bool open_ = true;
};

// One counted reference to a COM interface, released when the holder lets go of it.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* object) : object_(object) {}
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.object_, nullptr));
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Releases what is held and offers the slot to a call that hands out a reference.
  T** put() {
    reset();
    return &object_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  void reset(T* object = nullptr) {
    if (object_) object_->Release();
    object_ = object;
  }
  // Gives up the reference without releasing it.
  T* detach() { return std::exchange(object_, nullptr); }

 private:
  T* object_ = nullptr;
};

// A block the shell handed out (an item ID list, a string), freed through the shell's task
// allocator; without one, through CoTaskMemFree, which frees from that same allocator.
template <class T>
class ShellMemory {
 public:
  explicit ShellMemory(IMalloc* allocator) : allocator_(allocator) {}
  ShellMemory(const ShellMemory&) = delete;
  ShellMemory& operator=(const ShellMemory&) = delete;
  ~ShellMemory() { reset(); }

  T* get() const { return block_; }
  T** put() {
    reset();
    return &block_;
  }
  // Gives the block up without freeing it.
  T* release() { return std::exchange(block_, nullptr); }
  void reset() {
    if (block_) {
      if (allocator_)
        allocator_->Free(block_);
      else
        CoTaskMemFree(block_);
    }
    block_ = nullptr;
  }

 private:
  IMalloc* allocator_;
  T* block_ = nullptr;
};
