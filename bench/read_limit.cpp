// The machine's read limit for a search: every file of a list opened, read whole in 1 MiB
// pieces into one buffer and closed, one after the other, in this one thread. What a search
// cannot beat with one thread reading; the best of several rounds.
//
//   read_limit LIST [ROUNDS]    LIST: file names, each ended by a NUL byte (find -print0)
//
// Prints "files N bytes B" and "read MB/s SECONDS" (10^6 bytes per second of the best round).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ReadList(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> names;
  for (std::string name; std::getline(in, name, '\0');) names.push_back(name);
  return names;
}

// The bytes read, or -1 when a file cannot be read.
long long ReadAll(const std::vector<std::string>& names, std::vector<char>& buffer) {
  long long total = 0;
  for (const std::string& name : names) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;) total += got;
    ::close(fd);
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: read_limit LIST [ROUNDS]\n", stderr);
    return 2;
  }
  const std::vector<std::string> names = ReadList(argv[1]);
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<char> buffer(1 << 20);
  long long bytes = 0;
  double best = 1e300;
  for (int round = 0; round < rounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    bytes = ReadAll(names, buffer);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (bytes < 0) {
      std::perror("read_limit");
      return 2;
    }
    best = std::min(best, took.count());
  }
  std::printf("files %zu bytes %lld\nread %.0f %.4f\n", names.size(), bytes, bytes / best / 1e6,
              best);
}
