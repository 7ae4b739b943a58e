#include "model/journal_file.h"

#include <cerrno>

std::FILE* OpenJournalFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    return _wfopen(path.c_str(), mode[0] == 'a' ? L"ab" : L"wb");
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::error_code RewriteJournalFile(const std::filesystem::path& file,
                                   const std::function<void(std::FILE*)>& write) {
    std::filesystem::path temporary = file;
    temporary += ".part";
    std::FILE* out = OpenJournalFile(temporary, "wb");
    if (out == nullptr)
        return std::error_code(errno, std::generic_category());
    write(out);
    std::error_code error;
    if (std::fflush(out) != 0 || std::ferror(out))
        error = std::make_error_code(std::errc::io_error);
    std::fclose(out);
    if (!error)
        std::filesystem::rename(temporary, file, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    }
    return error;
}
