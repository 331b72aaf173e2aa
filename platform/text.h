// Text, the one exception type and the ordered name list the operations work with.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

// 8-bit text in the ANSI code page, with value semantics. An empty text and a missing value
// are the same thing to every operation.
using AnsiString = std::string;

// The tool's one exception type: a message and nothing else.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const AnsiString& message) : std::runtime_error(message) {}
  AnsiString Message() const { return what(); }
};

// Raised by the registry accessor when a value cannot be read as text.
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

// Ordered texts: not sorted, duplicates allowed, in the order they were added.
class TStringList {
 public:
  void Add(const AnsiString& text) { items_.push_back(text); }
  void Clear() { items_.clear(); }
  int Count() const { return static_cast<int>(items_.size()); }
  const AnsiString& operator[](int index) const { return items_.at(static_cast<std::size_t>(index)); }

 private:
  std::vector<AnsiString> items_;
};
