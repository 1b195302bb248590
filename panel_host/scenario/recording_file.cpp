#include "scenario/recording_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#  include <cstdio>
#  include <io.h>
#  include <process.h>
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#else
#  include <fcntl.h>
#  include <sys/stat.h>
#  include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// The file a recording replaces: a link's target, so that the link stays.
std::string targetOf(const std::string& path)
{
    std::error_code failure;
    if (fs::is_symlink(path, failure)) {
        fs::path target = fs::weakly_canonical(fs::absolute(path, failure), failure);
        if (!failure)
            return target.string();
    }
    return path;
}

bool exists(const std::string& path)
{
    std::error_code failure;
    return fs::exists(path, failure);
}

std::string failed(const std::string& path, const std::string& why)
{
    return "cannot write the recording to " + path + ": " + why + "; " +
           (exists(path) ? "the file there is left as it was" : "nothing was written");
}

// The file `path` names (a link's target), into `target`; false with
// `error` set when it is a folder, which a recording cannot replace.
bool replaceableTarget(const std::string& path, std::string& target, std::string& error)
{
    target = targetOf(path);
    std::error_code failure;
    if (fs::is_directory(target, failure)) {
        error = failed(path, "it is a folder");
        return false;
    }
    return true;
}

#if !defined(_WIN32)

// A new file beside `path`, hidden, made for this write alone.
int newFileBeside(const std::string& path, std::string& name)
{
    fs::path file(path);
    name = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    return ::mkstemp(name.data());
}

bool writeAll(int file, const std::string& text)
{
    const char* at = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t written = ::write(file, at, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// The old file's permissions, or those a new file gets (mkstemp's are
// the owner's alone).
mode_t modeFor(const std::string& path)
{
    struct stat old = {};
    if (::stat(path.c_str(), &old) == 0)
        return old.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The rename is kept on the disk too: the folder is flushed after it.
void flushFolder(const std::string& path)
{
    fs::path folder = fs::path(path).parent_path();
    int handle = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
}

// Writes, flushes and closes the new file; errno says why it could not.
bool fill(int file, const std::string& text, mode_t mode)
{
    bool whole = writeAll(file, text) && ::fchmod(file, mode) == 0 && ::fsync(file) == 0;
    int saved = errno;
    if (::close(file) != 0 && whole) {
        whole = false;
        saved = errno;
    }
    errno = saved;
    return whole;
}

#endif

}  // namespace

#if !defined(_WIN32)

namespace {

// The hidden new file beside `path`'s target, open for writing; -1 with
// `error` set when there is none.
int openBeside(const std::string& path, std::string& target, std::string& partial, std::string& error)
{
    if (!replaceableTarget(path, target, error))
        return -1;
    int file = newFileBeside(target, partial);
    if (file < 0)
        error = failed(path, std::strerror(errno));
    return file;
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& text, std::string& error)
{
    std::string target;
    std::string partial;
    int file = openBeside(path, target, partial, error);
    if (file < 0)
        return false;
    if (!fill(file, text, modeFor(target)) || ::rename(partial.c_str(), target.c_str()) != 0) {
        const int why = errno;
        ::unlink(partial.c_str());
        error = failed(path, std::strerror(why));
        return false;
    }
    flushFolder(target);
    return true;
}

bool canReplaceFile(const std::string& path, std::string& error)
{
    std::string target;
    std::string partial;
    int file = openBeside(path, target, partial, error);
    if (file < 0)
        return false;
    ::close(file);
    ::unlink(partial.c_str());
    return true;
}

#else

namespace {

std::string partialName(const std::string& path)
{
    static int count = 0;
    fs::path file(path);
    return (file.parent_path() /
            ("." + file.filename().string() + "." + std::to_string(_getpid()) + "-" + std::to_string(++count)))
        .string();
}

// Writes and flushes the new file; false when it could not.
bool fill(const std::string& partial, const std::string& text)
{
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool whole = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0 &&
                 _commit(_fileno(file)) == 0;
    return std::fclose(file) == 0 && whole;
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& text, std::string& error)
{
    std::string target;
    if (!replaceableTarget(path, target, error))
        return false;
    const std::string partial = partialName(target);
    if (!fill(partial, text)) {
        const int why = errno;
        std::remove(partial.c_str());
        error = failed(path, std::strerror(why));
        return false;
    }
    if (!MoveFileExA(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        std::remove(partial.c_str());
        error = failed(path, "the new file could not replace it (error " + std::to_string(GetLastError()) + ")");
        return false;
    }
    return true;
}

bool canReplaceFile(const std::string& path, std::string& error)
{
    std::string target;
    if (!replaceableTarget(path, target, error))
        return false;
    const std::string partial = partialName(target);
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (file == nullptr) {
        error = failed(path, std::strerror(errno));
        return false;
    }
    std::fclose(file);
    std::remove(partial.c_str());
    return true;
}

#endif
