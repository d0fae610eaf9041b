// vekgrep's standard output and error: UTF-8 with LF line ends, or UTF-16 to a Windows
// console so that Japanese shows whatever the console's code page.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

namespace vek::cli {

// Buffered: the text reaches the stream at Flush, at a size, and at the end; on a terminal
// also at the end of each line written.
class Output {
 public:
  explicit Output(std::FILE* stream);
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(std::u16string_view text);
  void WriteBytes(std::string_view bytes);  // passed through as they are
  void WriteUtf8(std::string_view text);
  void Flush();
  // The first failure to write, if any; what comes after it is dropped.
  std::error_code error() const { return error_; }
  bool IsTerminal() const { return terminal_; }
  // Makes a terminal understand SGR colour sequences; false when it cannot.
  bool EnableColor();

 private:
  void WriteStream(std::string_view bytes);  // to the stream, noting the first failure
  // After a write: out when the buffer is full, or on a terminal at a line's end.
  template <typename Text>
  void Settle(const Text& pending);

  std::FILE* stream_;
  bool terminal_ = false;
  bool console_ = false;  // a Windows console, written as UTF-16
  std::error_code error_;
  std::string pending_;
  std::u16string pendingWide_;
};

}  // namespace vek::cli
