#pragma once
// Writing and reading the files of a site's local copy. Every write goes to a temporary
// file beside the target and is renamed into place when complete, so a failed or
// aborted write never leaves a partial file under the final name and never destroys the
// copy an earlier crawl stored.

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

class CFileWriter {
public:
    CFileWriter() = default;
    ~CFileWriter() { Discard(); }
    CFileWriter(const CFileWriter&) = delete;
    CFileWriter& operator=(const CFileWriter&) = delete;

    // Creates the target's missing folders and opens a temporary file beside it.
    std::error_code Open(const std::string& target);
    bool IsOpen() const { return m_file != nullptr; }
    std::error_code Write(const char* data, std::size_t size);
    // Closes the temporary file and renames it over the target.
    std::error_code Commit();
    // Closes and deletes the temporary file; the target is left as it was.
    void Discard();
    // Whether what was written so far equals the target's content, byte for byte.
    bool SameAsTarget();
    std::size_t BytesWritten() const { return m_written; }

private:
    std::FILE* m_file = nullptr;
    std::filesystem::path m_temporary;
    std::filesystem::path m_target;
    std::size_t m_written = 0;
};

// Stores buffer at path; an empty buffer writes nothing.
std::error_code SaveContent(std::string_view buffer, const std::string& path);

// Whether the file at path holds exactly content.
bool FileHolds(const std::string& path, std::string_view content);

// Reads a whole file into text; fails with file_too_large when it holds more than limit.
std::error_code ReadWholeFile(const std::string& path, std::string& text, std::size_t limit);

// The file's modification time, or nothing when it does not exist.
std::optional<std::filesystem::file_time_type> FileModified(const std::string& path);

// Marks an unchanged file as stored now, without touching its content.
std::error_code RenewModificationTime(const std::string& path);

#ifndef _WIN32
// Writes all of bytes to a file descriptor, through interrupted writes; the error of the
// write that failed, if one did.
std::error_code WriteAllTo(int descriptor, std::string_view bytes);
#endif

// Whether a save error is the platform's access-denied error, which a fetch ignores.
bool IsAccessDenied(const std::error_code& error);

// The system's text for a save error.
std::string SaveErrorText(const std::error_code& error);
