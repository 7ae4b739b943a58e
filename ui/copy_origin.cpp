#include "ui/copy_origin.h"

#include <QUrl>
#include <map>
#include <memory>
#include <string>
#include <system_error>

#include "engine/copy_server.h"
#include "model/file_path.h"

namespace fs = std::filesystem;

QString CopyOriginAddress(const fs::path& siteFolder, const fs::path& file) {
    // Started on first use and kept to the end of the run; GUI thread only.
    static std::map<fs::path, std::unique_ptr<CCopyServer>> servers;
    std::error_code error;
    const fs::path root = fs::canonical(siteFolder, error);
    if (error)
        return {};
    const fs::path relative = fs::canonical(file, error).lexically_relative(root);
    if (error || relative.empty() || *relative.begin() == "..")
        return {};
    auto& server = servers[root];
    if (!server) {
        auto started = std::make_unique<CCopyServer>();
        std::string why;
        if (!started->Start(root, 0, why))
            return {};
        server = std::move(started);
    }
    const std::u8string path = relative.generic_u8string();
    QUrl address;
    address.setScheme(QStringLiteral("http"));
    address.setHost(QStringLiteral("127.0.0.1"));
    address.setPort(server->Port());
    address.setPath(QLatin1Char('/') + QString::fromUtf8(reinterpret_cast<const char*>(path.data()),
                                                         static_cast<qsizetype>(path.size())));
    return address.toString(QUrl::FullyEncoded);
}
