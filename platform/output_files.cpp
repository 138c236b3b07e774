#include "platform/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <random>
#include <streambuf>

#include "platform/interruption.h"

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
  std::string backup;     // during a commit: a hard link that keeps the replaced target
  bool placed = false;    // during a commit: the new file is in the target's place
  bool hadTarget = false;  // during a commit: the target existed before it
  int temporarySlot = -1;
  int backupSlot = -1;
  int fd = -1;  // the temporary file, or the target written through
  std::ostream* external = nullptr;  // standard output
  std::unique_ptr<DescriptorBuffer> buffer;
  std::unique_ptr<std::ostream> stream;

  ~Output() { Abandon(); }
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
    if (fd < 0) return std::nullopt;
    stream->flush();
    int error = buffer->error();
    if (error == 0 && !*stream) error = EIO;
    if (error == 0 && !target.empty() && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    fd = -1;
    if (error != 0) return path + ": " + Reason(error);
    return std::nullopt;
  }
  // Keeps the target under a second name (a hard link beside it), so that it can be put back.
  // False when it cannot be kept; a target that does not exist needs nothing.
  bool KeepTarget() {
    struct stat status {};
    if (::lstat(target.c_str(), &status) != 0) return errno == ENOENT;
    hadTarget = true;
    for (int attempt = 0; attempt < 100; ++attempt) {
      backup = temporary;  // built by appending: GCC 12 warns falsely of overlap on a + b
      backup += ".old";
      backup += std::to_string(attempt);
      if (::link(target.c_str(), backup.c_str()) == 0) {
        backupSlot = RememberFileToRemove(backup.c_str());
        return true;
      }
      if (errno != EEXIST) break;
    }
    backup.clear();
    return false;
  }
  // Puts the new file in place; false with errno set when the rename fails.
  bool Place() {
    if (::rename(temporary.c_str(), target.c_str()) != 0) return false;
    ForgetFile(temporarySlot);
    temporarySlot = -1;
    temporary.clear();
    placed = true;
    return true;
  }
  // Puts the replaced target back, or removes the new file where there was none.
  void PutBack() {
    if (!placed) return;
    if (!backup.empty()) {
      // Should the rename back fail, the earlier file stays under the kept link's name instead
      // of being removed with it.
      ::rename(backup.c_str(), target.c_str());
      DropBackup(false);
    } else if (!hadTarget) {
      ::unlink(target.c_str());
    }
    placed = false;
  }
  // Files are removed before they are forgotten: a second signal in between removes them again,
  // harmlessly, where the other order let it end the program with the file still there.
  void DropBackup(bool remove = true) {
    if (remove && !backup.empty()) ::unlink(backup.c_str());
    ForgetFile(backupSlot);
    backupSlot = -1;
    backup.clear();
  }
  void Abandon() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (!temporary.empty()) ::unlink(temporary.c_str());
    ForgetFile(temporarySlot);
    temporarySlot = -1;
    temporary.clear();
    DropBackup();
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
    if (error != nullptr) {
      // ENXIO is what opening a pipe without a reader says; "No such device or address" would
      // not tell the user what to do.
      *error = path + ": " + (reason == ENXIO ? std::string("no program reads this pipe") : Reason(reason));
    }
    return nullptr;
  };
  if (path == "-") {
    output->external = &standardOutput_;
    outputs_.push_back(std::move(output));
    return &standardOutput_;
  }
  if (path.empty()) return fail(ENOENT);

  struct stat status {};
  std::string target = path;
  bool existing = false;
  if (::stat(path.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) return fail(EISDIR);
    if (!S_ISREG(status.st_mode) || LeadsIntoDevices(path)) {
      // Written straight through; a regular file behind /dev/stdout is appended to, as the shell
      // opened it for this program's standard output. A pipe is opened without waiting, so that
      // one nobody reads is refused instead of hanging the program.
      const int flags = O_WRONLY | O_CLOEXEC | O_NONBLOCK | (S_ISREG(status.st_mode) ? O_APPEND : 0);
      const int fd = ::open(path.c_str(), flags);
      if (fd < 0) return fail(errno);
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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
    existing = true;
  } else if (errno != ENOENT) {
    return fail(errno);
  } else if (struct stat link {}; ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    // A link to a file yet to be made: the file is made where the link leads.
    fs::path current = path;
    std::error_code failure;
    for (int links = 0; links < 40 && fs::is_symlink(current, failure); ++links) {
      const fs::path next = fs::read_symlink(current, failure);
      if (failure) return fail(failure.value());
      current = next.is_absolute() ? next : current.parent_path() / next;
    }
    target = current.string();
  }

  // A new file is made as any file the user makes (the umask applies).
  // The file is made and remembered as one step: a second signal between the two would end the
  // program and leave the new file behind, so it is held back until both are done.
  int fd = -1;
  int createError = 0;
  {
    const CommitSection oneStep;
    fd = CreateTemporary(target, 0666, output->temporary);
    createError = errno;
    if (fd >= 0) output->temporarySlot = RememberFileToRemove(output->temporary.c_str());
  }
  if (fd < 0) return fail(createError);
  if (existing) {
    // An existing file keeps its owner where the system lets us give it (root, or a group of
    // ours), then its permissions: exactly, whatever the umask, since a change of owner may
    // clear set-id bits.
    if (status.st_uid != ::geteuid() || status.st_gid != ::getegid()) {
      if (::fchown(fd, status.st_uid, status.st_gid) != 0) {
        (void)::fchown(fd, static_cast<uid_t>(-1), status.st_gid);
      }
    }
    if (::fchmod(fd, status.st_mode & 07777) != 0) {
      const int reason = errno;
      ::close(fd);
      ::unlink(output->temporary.c_str());
      output->temporary.clear();
      return fail(reason);
    }
  }
  output->target = target;
  output->Open(fd);
  std::ostream& out = output->out();
  outputs_.push_back(std::move(output));
  return &out;
}

bool OutputFiles::Commit(std::string* error, const std::function<bool(std::string*)>& alongside) {
  std::optional<std::string> failure;
  for (auto& output : outputs_) {
    const auto reason = output->Finish();
    if (reason && !failure) failure = reason;
  }
  if (!failure) {
    const CommitSection section;
    // Targets that cannot be kept (a file system without hard links) are replaced last, when
    // nothing after them can fail any more but the other half of the decision.
    std::vector<Output*> order;
    std::vector<Output*> unkept;
    std::vector<std::string> folders;
    for (auto& output : outputs_) {
      if (output->temporary.empty()) continue;
      (output->KeepTarget() ? order : unkept).push_back(output.get());
      const fs::path parent = fs::path(output->target).parent_path();
      const std::string folder = parent.empty() ? std::string(".") : parent.string();
      if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    order.insert(order.end(), unkept.begin(), unkept.end());
    for (Output* output : order) {
      if (!output->Place()) {
        failure = output->path + ": " + Reason(errno);
        break;
      }
    }
    // The renames are durable once their folders are synced. A folder that cannot be opened for
    // it (no read permission) or a file system that cannot sync folders is left to the system.
    for (const std::string& folder : folders) {
      if (failure) break;
      const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) continue;
      if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) failure = folder + ": " + Reason(errno);
      ::close(fd);
    }
    if (!failure && alongside) {
      std::string why;
      if (!alongside(&why)) failure = why;
    }
    if (failure) {
      for (Output* output : order) output->PutBack();
    }
    for (Output* output : order) output->DropBackup();
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
