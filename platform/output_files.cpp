#include "platform/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <random>
#include <streambuf>

namespace asmpic::platform {

namespace {

namespace fs = std::filesystem;

std::string Reason(int error) {
  return std::strerror(error);
}

// A stream buffer over a file descriptor that keeps the system's reason for the first failed
// write, so that a full disk is reported as such.
class DescriptorBuffer : public std::streambuf {
 public:
  explicit DescriptorBuffer(int fd) : fd_(fd), buffer_(1 << 16) { Reset(); }
  int error() const { return error_; }

 protected:
  int_type overflow(int_type ch) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    if (count <= 0) return 0;  // an empty picture's planes: no bytes, and maybe no address
    if (count <= epptr() - pptr()) {
      std::memcpy(pptr(), data, static_cast<std::size_t>(count));
      pbump(static_cast<int>(count));
      return count;
    }
    // Large blocks (a whole plane) go straight to the file instead of through the buffer.
    if (!Drain() || !WriteAll(data, static_cast<std::size_t>(count))) return 0;
    return count;
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  void Reset() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
  bool Drain() {
    const bool written = WriteAll(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    Reset();
    return written;
  }
  bool WriteAll(const char* data, std::size_t count) {
    if (error_ != 0) return false;
    while (count > 0) {
      const ssize_t written = ::write(fd_, data, count);
      if (written < 0) {
        if (errno == EINTR) continue;
        error_ = errno;
        return false;
      }
      data += written;
      count -= static_cast<std::size_t>(written);
    }
    return true;
  }

  int fd_;
  std::vector<char> buffer_;
  int error_ = 0;
};

// Whether the path or a link it passes through leads into /dev or /proc (/dev/stdout, /dev/fd/3,
// /proc/self/fd/1): those name whatever a descriptor is, even a regular file, and are written
// through, never replaced.
bool LeadsIntoDevices(const std::string& path) {
  fs::path current = path;
  for (int links = 0; links < 40; ++links) {
    const std::string text = current.string();
    if (text.rfind("/dev/", 0) == 0 || text.rfind("/proc/", 0) == 0) return true;
    std::error_code failure;
    if (!fs::is_symlink(current, failure)) return false;
    const fs::path target = fs::read_symlink(current, failure);
    if (failure) return false;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  return false;
}

// A temporary file beside `target`, created with `mode` (before the umask): its descriptor and
// path, or -1 with errno set.
int CreateTemporary(const fs::path& target, mode_t mode, std::string& temporary) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  static thread_local std::mt19937 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ".";  // built by appending: GCC 12 warns falsely of overlap on "." + name
    name += target.filename().string();
    name += ".tmp";
    name += std::to_string(random() % 1000000);
    temporary = (folder / name).string();
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

struct FileIdentity {
  dev_t device;
  ino_t inode;
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat status {};
  const int result = path == "-" ? ::fstat(STDOUT_FILENO, &status) : ::stat(path.c_str(), &status);
  if (result != 0) return std::nullopt;
  return FileIdentity{status.st_dev, status.st_ino};
}

}  // namespace

struct OutputFiles::Output {
  std::string path;       // as named
  std::string target;     // the regular file that the temporary one replaces; empty: written through
  std::string temporary;  // the temporary file beside the target
  int fd = -1;            // the temporary file, or the target written through
  std::ostream* external = nullptr;  // standard output
  std::unique_ptr<DescriptorBuffer> buffer;
  std::unique_ptr<std::ostream> stream;

  std::ostream& out() { return external != nullptr ? *external : *stream; }
  void Open(int descriptor) {
    fd = descriptor;
    buffer = std::make_unique<DescriptorBuffer>(fd);
    stream = std::make_unique<std::ostream>(buffer.get());
  }
  // Flushes, syncs and closes; the reason when anything failed.
  std::optional<std::string> Finish() {
    if (external != nullptr) {
      external->flush();
      if (!*external) return std::string("standard output: cannot be written");
      return std::nullopt;
    }
    stream->flush();
    int error = buffer->error();
    if (error == 0 && !*stream) error = EIO;
    if (error == 0 && !target.empty() && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    fd = -1;
    if (error != 0) return path + ": " + Reason(error);
    return std::nullopt;
  }
  void Abandon() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (!temporary.empty()) ::unlink(temporary.c_str());
    temporary.clear();
  }
};

OutputFiles::OutputFiles(std::ostream& standardOutput) : standardOutput_(standardOutput) {}

OutputFiles::~OutputFiles() {
  Discard();
}

std::ostream* OutputFiles::Stage(const std::string& path, std::string* error) {
  auto output = std::make_unique<Output>();
  output->path = path;
  const auto fail = [&](int reason) -> std::ostream* {
    if (error != nullptr) *error = path + ": " + Reason(reason);
    return nullptr;
  };
  if (path == "-") {
    output->external = &standardOutput_;
    outputs_.push_back(std::move(output));
    return &standardOutput_;
  }
  if (path.empty()) return fail(ENOENT);

  struct stat status {};
  mode_t mode = 0666;  // a new file: as any file the user makes, the umask applies
  std::string target = path;
  if (::stat(path.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) return fail(EISDIR);
    if (!S_ISREG(status.st_mode) || LeadsIntoDevices(path)) {
      // Written straight through; a regular file behind /dev/stdout is appended to, as the shell
      // opened it for this program's standard output.
      const int flags = O_WRONLY | O_CLOEXEC | (S_ISREG(status.st_mode) ? O_APPEND : 0);
      const int fd = ::open(path.c_str(), flags);
      if (fd < 0) return fail(errno);
      output->Open(fd);
      std::ostream& out = output->out();
      outputs_.push_back(std::move(output));
      return &out;
    }
    // A file we may not write stays as it is, although a rename would get past it.
    if (::access(path.c_str(), W_OK) != 0) return fail(errno);
    // Through a link, the file it names is replaced and the link stays.
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return fail(errno);
    target = resolved;
    mode = status.st_mode & 07777;
  } else if (errno != ENOENT) {
    return fail(errno);
  }

  const int fd = CreateTemporary(target, mode, output->temporary);
  if (fd < 0) return fail(errno);
  if (mode != 0666) ::fchmod(fd, mode);  // an existing file keeps its permissions
  output->target = target;
  output->Open(fd);
  std::ostream& out = output->out();
  outputs_.push_back(std::move(output));
  return &out;
}

bool OutputFiles::Commit(std::string* error) {
  std::optional<std::string> failure;
  for (auto& output : outputs_) {
    const auto reason = output->Finish();
    if (reason && !failure) failure = reason;
  }
  if (!failure) {
    for (auto& output : outputs_) {
      if (output->temporary.empty()) continue;
      if (::rename(output->temporary.c_str(), output->target.c_str()) != 0) {
        failure = output->path + ": " + Reason(errno);
        break;
      }
      output->temporary.clear();
    }
  }
  Discard();
  if (failure && error != nullptr) *error = *failure;
  return !failure;
}

void OutputFiles::Discard() {
  for (auto& output : outputs_) output->Abandon();
  outputs_.clear();
}

std::optional<std::pair<std::size_t, std::size_t>> FindSameFile(const std::vector<std::string>& paths) {
  const auto same = [](const std::string& a, const std::string& b) {
    if (a == b) return true;
    const auto first = IdentityOf(a);
    const auto second = IdentityOf(b);
    if (first && second) return first->device == second->device && first->inode == second->inode;
    if (first || second || a == "-" || b == "-") return false;
    // Two files yet to be made.
    std::error_code failure;
    const fs::path x = fs::weakly_canonical(fs::absolute(a), failure);
    const fs::path y = fs::weakly_canonical(fs::absolute(b), failure);
    return !failure && x == y;
  };
  for (std::size_t i = 0; i < paths.size(); ++i) {
    for (std::size_t j = i + 1; j < paths.size(); ++j) {
      if (same(paths[i], paths[j])) return std::pair{i, j};
    }
  }
  return std::nullopt;
}

}  // namespace asmpic::platform
