#include "web/access_token.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "web/web_files.h"

namespace web {

namespace {

constexpr std::size_t tokenBytes = 24;

bool tokenCharacter(unsigned char c) { return std::isalnum(c) != 0 || c == '-' || c == '_' || c == '.' || c == '~'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The parts of a query, "a=1&b=2" -> {"a=1", "b=2"}.
std::vector<std::string_view> queryParts(std::string_view target, std::string_view& path)
{
    std::vector<std::string_view> parts;
    std::size_t mark = target.find('?');
    path = target.substr(0, mark);
    if (mark == std::string_view::npos)
        return parts;
    std::string_view query = target.substr(mark + 1);
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        parts.push_back(query.substr(0, amp));
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    return parts;
}

bool namedPart(std::string_view part, std::string_view name)
{
    return part.size() >= name.size() && part.substr(0, name.size()) == name &&
           (part.size() == name.size() || part[name.size()] == '=');
}

bool writeNewToken(const std::string& file, std::string& token, std::string& error)
{
    if (!makeToken(token, error))
        return false;
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "--token-file: cannot make " + file + ": " + std::strerror(errno);
        return false;
    }
    std::string line = token + "\n";
    bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        error = "--token-file: cannot write " + file;
        return false;
    }
    return true;
}

}  // namespace

bool makeToken(std::string& token, std::string& error)
{
    unsigned char bytes[tokenBytes];
    std::size_t got = 0;
    while (got < tokenBytes) {
        ssize_t read = ::getrandom(bytes + got, tokenBytes - got, 0);
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0) {
            error = std::string("cannot read the system's random source: ") + std::strerror(errno);
            return false;
        }
        got += static_cast<std::size_t>(read);
    }
    static const char digits[] = "0123456789abcdef";
    token.clear();
    for (unsigned char byte : bytes) {
        token += digits[byte >> 4];
        token += digits[byte & 15];
    }
    return true;
}

bool tokenFromFile(const std::string& file, std::string& token, bool& made, std::string& error)
{
    made = false;
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            error = "--token-file: cannot read " + file + ": " + std::strerror(errno);
            return false;
        }
        made = writeNewToken(file, token, error);
        return made;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "--token-file: " + file + " is not a file";
        return false;
    }
    if ((info.st_mode & (S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        error = "--token-file: " + file + " can be read or written by others (mode " + mode +
                "); make it its owner's alone: chmod 600 " + file;
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
        error = "--token-file: cannot read " + file;
        return false;
    }
    std::string_view key = trimmed(line);
    if (key.size() < minTokenLength || key.size() > maxTokenLength ||
        !std::all_of(key.begin(), key.end(), [](char c) { return tokenCharacter(static_cast<unsigned char>(c)); })) {
        error = "--token-file: the first line of " + file + " is not a key: " + std::to_string(minTokenLength) +
                " to " + std::to_string(maxTokenLength) + " letters, digits, '-', '_', '.' or '~'";
        return false;
    }
    token = std::string(key);
    return true;
}

bool sameToken(std::string_view given, std::string_view key)
{
    // Every byte of the key is looked at, however early the guess goes
    // wrong: the time of an answer tells nothing of how close it came.
    volatile unsigned char difference = given.size() == key.size() ? 0 : 1;
    for (std::size_t i = 0; i < key.size(); ++i) {
        unsigned char guessed = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        difference = difference | (guessed ^ static_cast<unsigned char>(key[i]));
    }
    return difference == 0 && !key.empty();
}

std::optional<std::string> bearerToken(std::string_view authorization)
{
    authorization = trimmed(authorization);
    constexpr std::string_view scheme = "bearer ";
    if (authorization.size() <= scheme.size())
        return std::nullopt;
    for (std::size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(authorization[i])) != scheme[i])
            return std::nullopt;
    return std::string(trimmed(authorization.substr(scheme.size())));
}

std::optional<std::string> cookieValue(std::string_view header, std::string_view name)
{
    while (!header.empty()) {
        std::size_t end = header.find(';');
        std::string_view pair = trimmed(header.substr(0, end));
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=')
            return std::string(pair.substr(name.size() + 1));
        header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
    }
    return std::nullopt;
}

std::optional<std::string> queryValue(std::string_view target, std::string_view name)
{
    std::string_view path;
    for (std::string_view part : queryParts(target, path))
        if (namedPart(part, name)) {
            std::string decoded;
            std::string_view value = part.size() > name.size() ? part.substr(name.size() + 1) : std::string_view();
            if (!percentDecode(std::string(value), decoded))
                return std::string();
            return decoded;
        }
    return std::nullopt;
}

std::string withoutQueryValue(std::string_view target, std::string_view name)
{
    std::string_view path;
    std::string kept;
    for (std::string_view part : queryParts(target, path))
        if (!namedPart(part, name) && !part.empty())
            kept.append(kept.empty() ? "" : "&").append(part);
    return std::string(path) + (kept.empty() ? "" : "?" + kept);
}

}  // namespace web
