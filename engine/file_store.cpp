#include "engine/file_store.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "model/clock.h"
#include "model/file_path.h"

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kWriteBufferBytes = 256 * 1024;

std::error_code LastError() {
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

std::FILE* OpenForWriting(const fs::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wbx");
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

std::FILE* OpenForReading(const fs::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"rb");
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

// A short name, so that a target whose name is already as long as the file system
// allows still gets a temporary sibling.
fs::path TemporarySibling(const fs::path& target) {
    static std::atomic<unsigned long> counter{0};
    const std::string name = ".quarn-" + std::to_string(counter.fetch_add(1)) + ".part";
    return target.parent_path() / name;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
} // namespace

std::error_code CFileWriter::Open(const std::string& target) {
    Discard();
    m_target = ToFsPath(target);
    std::error_code error;
    fs::create_directories(m_target.parent_path(), error);
    if (error)
        return error;
    for (int attempt = 0; attempt < 100 && m_file == nullptr; ++attempt) {
        m_temporary = TemporarySibling(m_target);
        errno = 0;
        m_file = OpenForWriting(m_temporary);
        if (m_file == nullptr && errno != EEXIST)
            return LastError();
    }
    if (m_file == nullptr)
        return std::make_error_code(std::errc::file_exists);
    // Bodies arrive in small pieces; a larger buffer saves a system call for most of them.
    std::setvbuf(m_file, nullptr, _IOFBF, kWriteBufferBytes);
    m_written = 0;
    return {};
}

std::error_code CFileWriter::Write(const char* data, std::size_t size) {
    if (m_file == nullptr)
        return std::make_error_code(std::errc::bad_file_descriptor);
    errno = 0;
    if (size != 0 && std::fwrite(data, 1, size, m_file) != size)
        return LastError();
    m_written += size;
    return {};
}

std::error_code CFileWriter::Commit() {
    if (m_file == nullptr)
        return std::make_error_code(std::errc::bad_file_descriptor);
    errno = 0;
    const bool flushed = std::fflush(m_file) == 0;
    const std::error_code flushError = flushed ? std::error_code() : LastError();
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    std::error_code error = flushError;
    if (!error && !closed)
        error = LastError();
    if (!error)
        fs::rename(m_temporary, m_target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(m_temporary, ignored);
    }
    m_temporary.clear();
    return error;
}

bool CFileWriter::SameAsTarget() {
    if (m_file == nullptr || std::fflush(m_file) != 0)
        return false;
    std::error_code error;
    if (fs::file_size(m_target, error) != m_written || error)
        return false;
    const std::unique_ptr<std::FILE, FileCloser> written(OpenForReading(m_temporary));
    const std::unique_ptr<std::FILE, FileCloser> target(OpenForReading(m_target));
    if (!written || !target)
        return false;
    constexpr std::size_t kChunk = 64 * 1024;
    auto ours = std::make_unique<char[]>(kChunk);
    auto theirs = std::make_unique<char[]>(kChunk);
    for (;;) {
        const std::size_t read = std::fread(ours.get(), 1, kChunk, written.get());
        if (std::fread(theirs.get(), 1, kChunk, target.get()) != read ||
            std::memcmp(ours.get(), theirs.get(), read) != 0)
            return false;
        if (read < kChunk)
            return std::feof(written.get()) && std::feof(target.get());
    }
}

void CFileWriter::Discard() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temporary.empty()) {
        std::error_code ignored;
        fs::remove(m_temporary, ignored);
        m_temporary.clear();
    }
}

bool FileHolds(const std::string& path, std::string_view content) {
    std::error_code error;
    if (fs::file_size(ToFsPath(path), error) != content.size() || error)
        return false;
    std::string text;
    return !ReadWholeFile(path, text, content.size()) && text == content;
}

std::error_code SaveContent(std::string_view buffer, const std::string& path) {
    if (buffer.empty())
        return {};
    CFileWriter writer;
    if (auto error = writer.Open(path))
        return error;
    if (auto error = writer.Write(buffer.data(), buffer.size()))
        return error;
    return writer.Commit();
}

std::error_code ReadWholeFile(const std::string& path, std::string& text, std::size_t limit) {
    text.clear();
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(OpenForReading(ToFsPath(path)));
    if (!file)
        return LastError();
    char piece[65536];
    for (;;) {
        const std::size_t got = std::fread(piece, 1, sizeof piece, file.get());
        if (got == 0)
            break;
        if (text.size() + got > limit) {
            text.clear();
            return std::make_error_code(std::errc::file_too_large);
        }
        text.append(piece, got);
    }
    if (std::ferror(file.get())) {
        text.clear();
        return LastError();
    }
    return {};
}

std::optional<fs::file_time_type> FileModified(const std::string& path) {
    std::error_code error;
    const auto modified = fs::last_write_time(ToFsPath(path), error);
    if (error)
        return std::nullopt;
    return modified;
}

std::error_code RenewModificationTime(const std::string& path) {
    std::error_code error;
    // The precise clock is never behind the coarse one the crawl's start came from.
    fs::last_write_time(ToFsPath(path), fs::file_time_type::clock::now(), error);
    return error;
}

bool IsAccessDenied(const std::error_code& error) {
    return error == std::errc::permission_denied || error == std::errc::operation_not_permitted;
}

std::string SaveErrorText(const std::error_code& error) {
    return error.message();
}

#ifndef _WIN32
std::error_code WriteAllTo(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written == 0 ? std::make_error_code(std::errc::io_error) : LastError();
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}
#endif
