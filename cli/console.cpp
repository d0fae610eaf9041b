#include "console.h"

#include <cerrno>

#include "text_convert.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vek::cli {
namespace {
constexpr std::size_t kFlushSize = 1 << 18;
constexpr int kPipeSize = 1 << 20;
}  // namespace

#ifdef _WIN32
namespace {
HANDLE ConsoleHandle(std::FILE* stream) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}
}  // namespace

Output::Output(std::FILE* stream) : stream_(stream) {
  console_ = terminal_ = ConsoleHandle(stream) != nullptr;
  // Redirected output is UTF-8 with LF line ends, byte for byte.
  if (!console_) _setmode(_fileno(stream), _O_BINARY);
}

bool Output::EnableColor() {
  HANDLE handle = ConsoleHandle(stream_);
  if (!handle) return true;
  DWORD mode = 0;
  GetConsoleMode(handle, &mode);
  return SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void Output::Flush() {
  if (console_) {
    if (!pendingWide_.empty()) {
      DWORD written = 0;
      WriteConsoleW(ConsoleHandle(stream_), pendingWide_.data(),
                    static_cast<DWORD>(pendingWide_.size()), &written, nullptr);
      pendingWide_.clear();
    }
    return;
  }
  WriteStream(pending_);
  pending_.clear();
}
#else
Output::Output(std::FILE* stream) : stream_(stream) {
  terminal_ = ::isatty(fileno(stream)) != 0;
#ifdef F_SETPIPE_SZ
  // A pipe of the default 64 KiB makes writer and reader take turns for every few hundred
  // lines; a larger one lets many hits flow in a few writes. Best effort.
  struct stat st {};
  if (::fstat(fileno(stream), &st) == 0 && S_ISFIFO(st.st_mode))
    ::fcntl(fileno(stream), F_SETPIPE_SZ, kPipeSize);
#endif
}

bool Output::EnableColor() {
  return true;
}

void Output::Flush() {
  WriteStream(pending_);
  pending_.clear();
}
#endif

void Output::WriteStream(std::string_view bytes) {
  if (!error_ && !bytes.empty()) {
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size() ||
        std::fflush(stream_) != 0)
      error_ = std::error_code(errno ? errno : EIO, std::generic_category());
  }
}

Output::~Output() {
  Flush();
}

template <typename Text>
void Output::Settle(const Text& pending) {
  if (pending.size() >= kFlushSize || (terminal_ && !pending.empty() && pending.back() == '\n'))
    Flush();
}

void Output::Write(std::u16string_view text) {
  if (console_) {
    pendingWide_.append(text);
    Settle(pendingWide_);
    return;
  }
  AppendUtf8(text, pending_);
  Settle(pending_);
}

void Output::WriteUtf8(std::string_view text) {
  if (console_) {
    Write(Utf8ToUtf16(text));
    return;
  }
  WriteBytes(text);
}

void Output::WriteBytes(std::string_view bytes) {
  if (console_) {
    pendingWide_.append(bytes.begin(), bytes.end());
    Settle(pendingWide_);
    return;
  }
  if (bytes.size() >= kFlushSize) {
    // Large text goes out as it is rather than through a copy.
    Flush();
    WriteStream(bytes);
    return;
  }
  pending_.append(bytes);
  Settle(pending_);
}

}  // namespace vek::cli
